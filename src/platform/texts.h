// The platform's standard prompts that every front end shows, UTF-8.
#pragma once

namespace hhx::texts {

inline constexpr char kOutOfMemory[] = "内存不足。";

}  // namespace hhx::texts
