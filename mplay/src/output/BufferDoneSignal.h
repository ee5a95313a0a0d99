#pragma once
// The completion signal between the audio system's thread and the playback worker: the device
// sets it once per finished buffer; the worker waits for it with a bound.
#include <chrono>

#include <semaphore.h>

namespace mplay {

class BufferDoneSignal {
  public:
    BufferDoneSignal();
    ~BufferDoneSignal();
    BufferDoneSignal(const BufferDoneSignal&) = delete;
    BufferDoneSignal& operator=(const BufferDoneSignal&) = delete;

    // Safe on a real-time thread: never blocks, never allocates.
    void Set();
    // Consumes one Set; false when none came within timeout.
    bool WaitFor(std::chrono::milliseconds timeout);
    // Consumes one Set if there is one, without waiting.
    bool TryConsume();
    // Forgets every Set not yet consumed, as a freshly created signal.
    void Reset();

  private:
    // A counting semaphore rather than a flag: a completion that arrives while nobody waits is
    // kept for the next wait instead of being merged with the one before it.
    sem_t m_sem;
};

} // namespace mplay
