#pragma once

namespace hhx {

// The millisecond field (0..999) of the current UTC system time.
unsigned CurrentUtcMilliseconds();

}  // namespace hhx
