#pragma once
// One sound at a time across the process: playback passes and recordings take turns under one
// lock, and the newest request wins. A request raises the stop flag that whoever holds the turn
// watches, then waits for the turn; a request overtaken before its turn came never starts.
#include <atomic>
#include <cstdint>
#include <mutex>

namespace mplay {

// Asks whoever holds the turn to stop at once and returns the new request's number.
uint64_t TakeSoundRequest();
// True while no newer request has been taken.
bool IsNewestSoundRequest(uint64_t request);

// Held by the playback pass or the recording that is sounding or capturing.
std::mutex& SoundTurnMutex();
// With SoundTurnMutex held: false when a newer request has overtaken this one; otherwise clears
// the stop flag for the turn that begins.
bool BeginSoundTurn(uint64_t request);
// Raised by a newer request while a turn runs.
const std::atomic<bool>& SoundTurnStopFlag();

} // namespace mplay
