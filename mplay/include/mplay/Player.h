#pragma once
#include "mplay/MpegStream.h"

#include <atomic>
#include <cstddef>
#include <cstdint>

namespace mplay {

// The one stream reader of the process; every playback reuses it.
extern MpegStream g_mpegStream;

// Plays size bytes of an MPEG audio stream from the first frame to the end of its sound, on the
// calling thread. Returns when the sound has ended, the playback failed, or a newer request cut
// it short: once *stopRequest is raised the device stops at once. speed goes through PlaySpeed;
// at 1.0 the decoded samples go to the device unchanged. Not reentrant: the stream reader and
// the device are the process's one each, so at most one call may run at a time (the play
// worker's lock sees to that).
void PlayMemory(const uint8_t* data, uint32_t size, const std::atomic<bool>* stopRequest = nullptr,
                double speed = 1.0);

// Plays count mono 16-bit samples at rate Hz on both channels, on the calling thread, with
// PlayMemory's rules for stopRequest, speed and a device that does not open. A rate outside
// 8000..48000 Hz or no samples plays nothing. Not reentrant, like PlayMemory: the device is the
// process's one.
void PlaySamples(const int16_t* mono, size_t count, uint32_t rate,
                 const std::atomic<bool>* stopRequest = nullptr, double speed = 1.0);

// Called when no sound device opens, with what failed (kDeviceFailureText, English, for logs):
// the application shows its own words and returns once the user has dismissed them. Without a
// registered function the text goes to stderr.
using MessageFunction = void (*)(const char* what);
void SetDeviceFailureMessage(MessageFunction show);
// Reports kDeviceFailureText through the registered function, or on stderr.
void ShowDeviceFailureMessage();

extern const char* const kDeviceFailureText;

// Ends the wait of a playback in progress early, so that it sees a stop request just raised.
void WakePlayback();

} // namespace mplay
