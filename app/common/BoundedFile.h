#pragma once
// Reading a file the program did not write itself (a skin, a settings file) with a bound on its
// size: a mistaken or hostile path can neither block the window nor make it load without limit.

#include <QByteArray>
#include <QString>

#include <optional>

namespace sonavix {

// The whole content of the regular file at path, or nullopt when it is not a regular file, cannot
// be opened or read, or holds more than maxBytes bytes. Devices and pipes are never opened, since
// reading one could block or never end.
std::optional<QByteArray> ReadBoundedFile(const QString& path, qint64 maxBytes);

} // namespace sonavix
