#include "common/ProgramPaths.h"

#include "common/SymbolFont.h"

#include <QDir>
#include <QFileInfo>

#include <unistd.h>

namespace sonavix {
namespace {

const QString kSettingsName = QStringLiteral("SetInfo.ini");
const QString kAppFolder = QStringLiteral("sonavix/");

QString WithSlash(const QString& dir) {
    return dir.isEmpty() || dir.endsWith(QLatin1Char('/')) ? dir : dir + QLatin1Char('/');
}

QString AbsoluteOr(const QByteArray& value, const QString& fallback) {
    const QString dir = QFile::decodeName(value);
    return QDir::isAbsolutePath(dir) ? QDir::cleanPath(dir) : fallback;
}

// Any of the data's entries beside the executable means the data is there.
bool HoldsData(const QString& dir) {
    for (const char* entry : {"pho", "web", "Styles", kSymbolFontFile})
        if (QFileInfo::exists(dir + QLatin1String(entry)))
            return true;
    return false;
}

} // namespace

UserDirs UserDirs::FromEnvironment() {
    UserDirs user;
    user.home = AbsoluteOr(qgetenv("HOME"), QDir::homePath());
    user.configHome =
        AbsoluteOr(qgetenv("XDG_CONFIG_HOME"), user.home + QStringLiteral("/.config"));
    user.dataHome =
        AbsoluteOr(qgetenv("XDG_DATA_HOME"), user.home + QStringLiteral("/.local/share"));
    return user;
}

bool ProgramPaths::IsWritableDirectory(const QString& dir) {
    const QString path = dir.isEmpty() ? QStringLiteral(".") : dir;
    return ::access(QFile::encodeName(path).constData(), W_OK | X_OK) == 0;
}

ProgramPaths ProgramPaths::Resolve(const QString& programDir, const UserDirs& user,
                                   WritableProbe isWritable) {
    ProgramPaths paths;
    paths.m_programDir = programDir;
    paths.m_dataDir = programDir;
    const QString shared = QDir::cleanPath(programDir + QStringLiteral("../share/sonavix"));
    if (!HoldsData(programDir) && QFileInfo(shared).isDir()) {
        paths.m_dataDir = WithSlash(shared);
        paths.m_installed = true;
    }

    paths.m_besideProgramSettings = programDir + kSettingsName;
    const QString userSettings = WithSlash(user.configHome) + kAppFolder + kSettingsName;
    paths.m_settingsFile =
        !paths.m_installed && isWritable(programDir) ? paths.m_besideProgramSettings : userSettings;
    paths.m_learnerDataDir = WithSlash(user.dataHome) + kAppFolder;
    return paths;
}

QString ProgramPaths::SymbolFontFile() const {
    return Data(QString::fromLatin1(kSymbolFontFile));
}

QStringList ProgramPaths::SettingsReadOrder() const {
    QStringList files{m_settingsFile};
    if (m_besideProgramSettings != m_settingsFile)
        files.append(m_besideProgramSettings);
    return files;
}

} // namespace sonavix
