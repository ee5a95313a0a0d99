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
const QString kPracticeSection = QStringLiteral("Practice");
const QString kVoiceKey = QStringLiteral("voice");
const QString kWidthKey = QStringLiteral("width");
const QString kHeightKey = QStringLiteral("height");
constexpr int kVoiceGroups = 3;
constexpr int kMinSide = 200, kMaxSide = 10000;

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

int ReadPracticeVoice(const ProgramPaths& paths) {
    const int group = ReadSetting(paths, kPracticeSection, kVoiceKey, 0);
    return group >= 0 && group < kVoiceGroups ? group : 0;
}

bool WritePracticeVoice(const ProgramPaths& paths, int group) {
    return WriteSetting(paths, kPracticeSection, kVoiceKey,
                        group >= 0 && group < kVoiceGroups ? group : 0);
}

QSize ReadPracticeSize(const ProgramPaths& paths) {
    const int w = ReadSetting(paths, kPracticeSection, kWidthKey, 0);
    const int h = ReadSetting(paths, kPracticeSection, kHeightKey, 0);
    if (w < kMinSide || w > kMaxSide || h < kMinSide || h > kMaxSide)
        return {};
    return {w, h};
}

bool WritePracticeSize(const ProgramPaths& paths, QSize size) {
    return WriteSetting(paths, kPracticeSection, kWidthKey, size.width()) &&
           WriteSetting(paths, kPracticeSection, kHeightKey, size.height());
}

} // namespace sonavix
