#include "output/PortAudioLibrary.h"

#include <alsa/asoundlib.h>
#include <portaudio.h>

#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <unistd.h>

namespace mplay {
namespace {

std::mutex g_paMutex;
bool g_paReady = false;

void IgnoreAlsaError(const char*, int, const char*, int, const char*, ...) {}

// Before main, while the process has one thread: the environment must not change under a
// thread that reads it. Probing must never start a JACK server.
const bool g_librariesQuieted = [] {
    snd_lib_error_set_handler(IgnoreAlsaError);
    setenv("JACK_NO_START_SERVER", "1", 0);
    return true;
}();

} // namespace

// ALSA takes an error handler; the JACK client library prints while PortAudio connects.
QuietStderr::QuietStderr() {
    std::fflush(stderr);
    m_saved = dup(STDERR_FILENO);
    const int null = open("/dev/null", O_WRONLY | O_CLOEXEC);
    if (m_saved >= 0 && null >= 0) {
        dup2(null, STDERR_FILENO);
    }
    if (null >= 0) {
        close(null);
    }
}

QuietStderr::~QuietStderr() {
    std::fflush(stderr);
    if (m_saved >= 0) {
        dup2(m_saved, STDERR_FILENO);
        close(m_saved);
    }
}

std::mutex& PortAudioMutex() {
    return g_paMutex;
}

bool EnsurePortAudio() {
    if (g_paReady) {
        return true;
    }
    QuietStderr quiet;
    g_paReady = Pa_Initialize() == paNoError;
    return g_paReady;
}

bool ReprobePortAudio() {
    if (g_paReady) {
        Pa_Terminate();
        g_paReady = false;
    }
    return EnsurePortAudio();
}

void AbortPortAudioStream(void*& stream, std::atomic<bool>& stopping) {
    if (stream == nullptr) {
        return;
    }
    std::lock_guard lock(PortAudioMutex());
    stopping.store(true);
    Pa_AbortStream(stream);
    Pa_CloseStream(stream);
    stream = nullptr;
}

} // namespace mplay
