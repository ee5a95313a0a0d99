#pragma once
#include <algorithm>
#include <cmath>

namespace mplay {

// How fast a recording plays: 1.0 as recorded (the decoded samples reach the device untouched),
// below 1.0 slower with the pitch kept (0.75, 0.5 for the learner), above it faster.
constexpr double kNormalSpeed = 1.0;
constexpr double kSlowestSpeed = 0.25;
constexpr double kFastestSpeed = 2.0;

// The speed a request plays at: clamped into range, a value that is not a number gives 1.0.
inline double PlaySpeed(double requested) {
    if (std::isnan(requested)) {
        return kNormalSpeed;
    }
    return std::clamp(requested, kSlowestSpeed, kFastestSpeed);
}

} // namespace mplay
