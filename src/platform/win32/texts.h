// The window layer's standard prompts, UTF-8. Shown through AfxMessageBox.
#pragma once

#include "platform/texts.h"

namespace hhx::texts {

inline constexpr char kInternalFailure[] = "内部应用程序出错。";
// Data exchange: a text that is not a number, a number out of range (%1, %2), a text that is
// too long (%1).
inline constexpr char kParseUnsigned[] = "“请填入一个正整数。”";
inline constexpr char kParseRange[] = "“请填入一个在%1和%2之间的整数。”";
inline constexpr char kParseStringSize[] = "“请填入不多于%1个的字符。”";

}  // namespace hhx::texts
