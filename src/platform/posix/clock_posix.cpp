#include "platform/clock.h"

#include <time.h>

namespace hhx {

unsigned CurrentUtcMilliseconds() {
    timespec now{};
    clock_gettime(CLOCK_REALTIME, &now);
    return static_cast<unsigned>(now.tv_nsec / 1000000) % 1000;
}

}  // namespace hhx
