#include "common/LessonSettings.h"

#include "themes/ProfileIni.h"

#include <QDir>
#include <QFileInfo>

#include <algorithm>

namespace sonavix {
namespace {

const QString kPlaySection = QStringLiteral("Play");
const QString kSpeedKey = QStringLiteral("speed");
const QString kReaderSection = QStringLiteral("Reader");
const QString kZoomKey = QStringLiteral("zoom");

// The first file that holds the key wins, as for the theme.
int ReadSetting(const ProgramPaths& paths, const QString& section, const QString& key,
                int defaultValue) {
    int value = defaultValue;
    const QStringList files = paths.SettingsReadOrder();
    for (auto file = files.crbegin(); file != files.crend(); ++file)
        value = profile::ReadInt(section, key, value, *file);
    return value;
}

bool WriteSetting(const ProgramPaths& paths, const QString& section, const QString& key,
                  int value) {
    const QString file = paths.SettingsFile();
    QDir().mkpath(QFileInfo(file).path()); // the user's configuration folder may not exist yet
    return profile::WriteString(section, key, QString::number(value), file);
}

} // namespace

int KnownSpeedPercent(int percent) {
    return std::find(kSpeedPercents.begin(), kSpeedPercents.end(), percent) != kSpeedPercents.end()
               ? percent
               : kNormalSpeedPercent;
}

int NextSpeedPercent(int percent) {
    const auto at = std::find(kSpeedPercents.begin(), kSpeedPercents.end(), percent);
    if (at == kSpeedPercents.end() || at + 1 == kSpeedPercents.end())
        return kSpeedPercents.front();
    return *(at + 1);
}

double SpeedFactor(int percent) {
    return KnownSpeedPercent(percent) / 100.0;
}

QString SpeedLabel(int percent) {
    const int known = KnownSpeedPercent(percent);
    const QString number = known == 100 ? QStringLiteral("1.0") : QString::number(known / 100.0);
    return number + QChar(0x00D7);
}

int ReadSpeedPercent(const ProgramPaths& paths) {
    return KnownSpeedPercent(ReadSetting(paths, kPlaySection, kSpeedKey, kNormalSpeedPercent));
}

bool WriteSpeedPercent(const ProgramPaths& paths, int percent) {
    return WriteSetting(paths, kPlaySection, kSpeedKey, KnownSpeedPercent(percent));
}

int ReadZoomPercent(const ProgramPaths& paths) {
    const int zoom = ReadSetting(paths, kReaderSection, kZoomKey, kDefaultZoomPercent);
    return std::clamp(zoom, kMinZoomPercent, kMaxZoomPercent);
}

bool WriteZoomPercent(const ProgramPaths& paths, int percent) {
    return WriteSetting(paths, kReaderSection, kZoomKey,
                        std::clamp(percent, kMinZoomPercent, kMaxZoomPercent));
}

} // namespace sonavix
