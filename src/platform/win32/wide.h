// Text conversions through UTF-16 for the Win32 calls that take wide text. Interface texts
// are UTF-8, paths are ANSI; text that cannot be converted gives an empty result.
#pragma once

#include <string>

namespace hhx {

std::wstring Utf8ToWide(const std::string& utf8);
std::wstring AnsiToWide(const std::string& ansi);
std::string WideToAnsi(const std::wstring& wide);
// True when the bytes are valid UTF-8.
bool IsValidUtf8(const std::string& text);

}  // namespace hhx
