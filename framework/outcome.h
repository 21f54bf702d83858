// The one-byte outcome that framework operations return.
#pragma once

#include <cstdint>

namespace korvex::framework {

using Outcome = uint8_t;

inline constexpr Outcome kOutcomeDone = 0;       // the operation did what was asked
inline constexpr Outcome kOutcomeRejected = 1;   // refused (e.g. a validation failed)
inline constexpr Outcome kOutcomeNotUsable = 3;  // not usable here; in event handling: end the loop
inline constexpr Outcome kOutcomeDeclined = 4;   // the user declined (answered No)
inline constexpr Outcome kOutcomeFailed = 5;     // failed and reported; in event handling: event done

}  // namespace korvex::framework
