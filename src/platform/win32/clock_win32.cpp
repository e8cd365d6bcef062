#include "platform/clock.h"

#include <windows.h>

namespace hhx {

unsigned CurrentUtcMilliseconds() {
    SYSTEMTIME now;
    GetSystemTime(&now);
    return now.wMilliseconds;
}

}  // namespace hhx
