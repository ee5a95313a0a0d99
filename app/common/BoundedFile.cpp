#include "common/BoundedFile.h"

#include <QFile>
#include <QFileInfo>

namespace sonavix {

std::optional<QByteArray> ReadBoundedFile(const QString& path, qint64 maxBytes) {
    if (!QFileInfo(path).isFile())
        return std::nullopt;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    // One byte past the bound tells a file at the limit from one beyond it.
    QByteArray bytes = file.read(maxBytes + 1);
    if (bytes.size() > maxBytes || file.error() != QFileDevice::NoError)
        return std::nullopt;
    return bytes;
}

} // namespace sonavix
