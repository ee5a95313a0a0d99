#pragma once
#include "mplay/MpegStream.h"

#include <atomic>
#include <cstdint>

namespace mplay {

// The one stream reader of the process; every playback reuses it.
extern MpegStream g_mpegStream;

// Plays size bytes of an MPEG audio stream from the first frame to the end of its sound, on the
// calling thread. Returns when the sound has ended, the playback failed, or a newer request cut
// it short: once *stopRequest is raised the device stops at once. speed goes through PlaySpeed;
// at 1.0 the decoded samples go to the device unchanged.
void PlayMemory(const uint8_t* data, uint32_t size, const std::atomic<bool>* stopRequest = nullptr,
                double speed = 1.0);

// Shown when no sound device opens. The application registers a function that shows the text
// (UTF-8) and returns once the user has dismissed it; without one the text goes to stderr.
using MessageFunction = void (*)(const char* utf8Text);
void SetDeviceFailureMessage(MessageFunction show);
// Shows kDeviceFailureText through the registered function, or on stderr.
void ShowDeviceFailureMessage();

extern const char* const kDeviceFailureText;

} // namespace mplay
