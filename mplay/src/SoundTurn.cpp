#include "SoundTurn.h"

#include "mplay/Player.h"

namespace mplay {
namespace {

// Guards g_latestRequest, and orders the raising of g_stopTurn by a new request against its
// clearing by the turn that begins: a stop raised after a turn began always reaches that turn.
std::mutex g_requestMutex;
uint64_t g_latestRequest = 0;
std::atomic<bool> g_stopTurn{false};

std::mutex g_turnMutex;

} // namespace

uint64_t TakeSoundRequest() {
    std::lock_guard lock(g_requestMutex);
    ++g_latestRequest;
    g_stopTurn.store(true);
    // A pass waiting on its device sees the stop at once rather than at its next buffer.
    WakePlayback();
    return g_latestRequest;
}

bool IsNewestSoundRequest(uint64_t request) {
    std::lock_guard lock(g_requestMutex);
    return request == g_latestRequest;
}

std::mutex& SoundTurnMutex() {
    return g_turnMutex;
}

bool BeginSoundTurn(uint64_t request) {
    std::lock_guard lock(g_requestMutex);
    if (request != g_latestRequest) {
        return false;
    }
    g_stopTurn.store(false);
    return true;
}

const std::atomic<bool>& SoundTurnStopFlag() {
    return g_stopTurn;
}

} // namespace mplay
