#pragma once
#include "speech/Sound.h"

namespace sonavix::speech {

// Band-limited resampling to newRate; the pass band ends a little below the lower Nyquist
// frequency. Returns the sound unchanged when the rates agree.
Sound Resample(const Sound& sound, double newRate);

} // namespace sonavix::speech
