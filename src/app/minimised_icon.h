// Placement of the icon that the minimised dialog draws in its client area.
#pragma once

namespace hhx {

// Offset that centres an icon of iconExtent pixels in extent pixels: (extent - iconExtent + 1)
// / 2 with the quotient truncated toward zero, so 30 and 32 give 0, and 29 and 32 give -1.
constexpr int CentredIconOffset(int extent, int iconExtent) {
    return (extent - iconExtent + 1) / 2;
}

}  // namespace hhx
