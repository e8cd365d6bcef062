#include "platform/path.h"
#include "platform/win32/wide.h"

#include <windows.h>

namespace hhx {

namespace {

std::wstring ToWide(const std::string& text, UINT codePage, DWORD flags) {
    if (text.empty()) return {};
    const int inLength = static_cast<int>(text.size());
    const int length = MultiByteToWideChar(codePage, flags, text.data(), inLength, nullptr, 0);
    if (length <= 0) return {};
    std::wstring wide(static_cast<size_t>(length), L'\0');
    MultiByteToWideChar(codePage, flags, text.data(), inLength, &wide[0], length);
    return wide;
}

std::string FromWide(const std::wstring& wide, UINT codePage) {
    if (wide.empty()) return {};
    const int inLength = static_cast<int>(wide.size());
    const int length = WideCharToMultiByte(codePage, 0, wide.data(), inLength, nullptr, 0, nullptr, nullptr);
    if (length <= 0) return {};
    std::string out(static_cast<size_t>(length), '\0');
    WideCharToMultiByte(codePage, 0, wide.data(), inLength, &out[0], length, nullptr, nullptr);
    return out;
}

}  // namespace

std::wstring Utf8ToWide(const std::string& utf8) { return ToWide(utf8, CP_UTF8, 0); }

std::wstring AnsiToWide(const std::string& ansi) { return ToWide(ansi, CP_ACP, 0); }

std::string WideToAnsi(const std::wstring& wide) { return FromWide(wide, CP_ACP); }

bool IsValidUtf8(const std::string& text) {
    return text.empty() || !ToWide(text, CP_UTF8, MB_ERR_INVALID_CHARS).empty();
}

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

std::string AnsiToUtf8(const std::string& ansi) { return FromWide(AnsiToWide(ansi), CP_UTF8); }

std::string Utf8ToAnsi(const std::string& utf8) { return WideToAnsi(Utf8ToWide(utf8)); }

}  // namespace hhx
