#include "platform/path.h"

#include <windows.h>

namespace hhx {

namespace {

// Converts between code pages through UTF-16; "" when the text cannot be converted.
std::string Convert(const std::string& text, UINT from, UINT to) {
    if (text.empty()) return {};
    const int inLength = static_cast<int>(text.size());
    int wideLength = MultiByteToWideChar(from, 0, text.data(), inLength, nullptr, 0);
    if (wideLength <= 0) return {};
    std::wstring wide(static_cast<size_t>(wideLength), L'\0');
    MultiByteToWideChar(from, 0, text.data(), inLength, &wide[0], wideLength);
    int outLength = WideCharToMultiByte(to, 0, wide.data(), wideLength, nullptr, 0, nullptr, nullptr);
    if (outLength <= 0) return {};
    std::string out(static_cast<size_t>(outLength), '\0');
    WideCharToMultiByte(to, 0, wide.data(), wideLength, &out[0], outLength, nullptr, nullptr);
    return out;
}

}  // namespace

char PathSeparator() { return '\\'; }

// Walks whole characters: the trail byte of a double-byte character may be 0x5C.
std::string::size_type FindLastSeparator(const std::string& path) {
    std::string::size_type last = std::string::npos;
    for (std::string::size_type i = 0; i < path.size(); ++i) {
        const BYTE c = static_cast<BYTE>(path[i]);
        if (IsDBCSLeadByteEx(CP_ACP, c) && i + 1 < path.size())
            ++i;
        else if (c == '\\')
            last = i;
    }
    return last;
}

bool EndsWithSeparator(const std::string& path) {
    const std::string::size_type last = FindLastSeparator(path);
    return last != std::string::npos && last + 1 == path.size();
}

std::string WithTrailingSeparator(const std::string& path) {
    return EndsWithSeparator(path) ? path : path + '\\';
}

std::string AnsiToUtf8(const std::string& ansi) { return Convert(ansi, CP_ACP, CP_UTF8); }

std::string Utf8ToAnsi(const std::string& utf8) { return Convert(utf8, CP_UTF8, CP_ACP); }

}  // namespace hhx
