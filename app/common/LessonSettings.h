#pragma once
// The learner's lesson settings beside the theme in SetInfo.ini: the playback speed ([Play]
// speed, in percent) and the reader's zoom ([Reader] zoom, in percent). They are read and written
// with the same profile functions as the theme number, so a write changes only its own value and
// every other byte of the file stays. Any window may read them; the lesson window writes them.

#include "common/ProgramPaths.h"

#include <QSize>
#include <QString>

#include <array>

namespace sonavix {

// The speeds the learner picks from, in the order the S key steps through them.
inline constexpr std::array<int, 3> kSpeedPercents = {100, 75, 50};
inline constexpr int kNormalSpeedPercent = 100;

// A stored speed that is not one of the choices reads as 1.0×.
int KnownSpeedPercent(int percent);
// The next choice after percent, from the slowest back to 1.0×.
int NextSpeedPercent(int percent);
// 100 -> 1.0, 75 -> 0.75, 50 -> 0.5: what a play request is given.
double SpeedFactor(int percent);
// "1.0×", "0.75×", "0.5×".
QString SpeedLabel(int percent);

// The saved speed in percent (1.0× when none is saved), as the lesson window starts with it.
int ReadSpeedPercent(const ProgramPaths& paths);
// The saved speed as a play request's factor, for windows that play the lesson recordings.
inline double SavedPlaybackSpeed(const ProgramPaths& paths) {
    return SpeedFactor(ReadSpeedPercent(paths));
}
bool WriteSpeedPercent(const ProgramPaths& paths, int percent);

// The reader's zoom in percent of the documents' own type size, within these bounds.
inline constexpr int kMinZoomPercent = 100;
inline constexpr int kMaxZoomPercent = 400;
inline constexpr int kDefaultZoomPercent = 150;
int ReadZoomPercent(const ProgramPaths& paths);
bool WriteZoomPercent(const ProgramPaths& paths, int percent);

// The practice window's voice group (0 men, 1 women, 2 children; men when unknown) and size.
int ReadPracticeVoice(const ProgramPaths& paths);
bool WritePracticeVoice(const ProgramPaths& paths, int group);
// An invalid size when none is saved or the saved one is not a sensible window size.
QSize ReadPracticeSize(const ProgramPaths& paths);
bool WritePracticeSize(const ProgramPaths& paths, QSize size);

} // namespace sonavix
