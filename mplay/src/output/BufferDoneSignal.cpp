#include "output/BufferDoneSignal.h"

#include <cerrno>
#include <ctime>

namespace mplay {

BufferDoneSignal::BufferDoneSignal() {
    sem_init(&m_sem, 0, 0);
}

BufferDoneSignal::~BufferDoneSignal() {
    sem_destroy(&m_sem);
}

void BufferDoneSignal::Set() {
    sem_post(&m_sem);
}

bool BufferDoneSignal::WaitFor(std::chrono::milliseconds timeout) {
    // Measured on the monotonic clock, so that a change of the wall clock cannot stretch it.
    timespec deadline{};
    clock_gettime(CLOCK_MONOTONIC, &deadline);
    const auto ms = timeout.count() > 0 ? timeout.count() : 0;
    deadline.tv_sec += static_cast<time_t>(ms / 1000);
    deadline.tv_nsec += static_cast<long>(ms % 1000) * 1000000L;
    if (deadline.tv_nsec >= 1000000000L) {
        deadline.tv_sec += 1;
        deadline.tv_nsec -= 1000000000L;
    }
    for (;;) {
        if (sem_clockwait(&m_sem, CLOCK_MONOTONIC, &deadline) == 0) {
            return true;
        }
        if (errno != EINTR) {
            return false;
        }
    }
}

bool BufferDoneSignal::TryConsume() {
    for (;;) {
        if (sem_trywait(&m_sem) == 0) {
            return true;
        }
        if (errno != EINTR) {
            return false;
        }
    }
}

void BufferDoneSignal::Reset() {
    while (TryConsume()) {
    }
}

} // namespace mplay
