#pragma once
// The PortAudio library as the process shares it between wave output and capture: one lock for
// every call into it (it is not thread-safe), started once, and quiet while it probes.
#include <atomic>
#include <mutex>

namespace mplay {

std::mutex& PortAudioMutex();
// Called with PortAudioMutex held. Starts the library if it is not running; false when it cannot.
bool EnsurePortAudio();
// Called with PortAudioMutex held. PortAudio lists devices once, when it starts; a sound server
// that came up since then is found only by starting it again. No stream may be open.
// False when the library no longer starts.
bool ReprobePortAudio();
// Stops and closes a stream at once, under PortAudioMutex, and forgets it; stopping is raised
// first so that its callback, if still running, returns without touching the caller's buffers.
// Nothing to do when stream is null.
void AbortPortAudioStream(void*& stream, std::atomic<bool>& stopping);

// While one lives, stderr points at /dev/null: ALSA and JACK describe every device they fail to
// probe or open there, dozens of lines on a machine without a sound card or server.
class QuietStderr {
  public:
    QuietStderr();
    ~QuietStderr();
    QuietStderr(const QuietStderr&) = delete;
    QuietStderr& operator=(const QuietStderr&) = delete;

  private:
    int m_saved = -1;
};

} // namespace mplay
