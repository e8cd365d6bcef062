#include "console.h"

#include <string>

#include <windows.h>

#include "platform/win32/wide.h"

namespace hhx::cli {

namespace {

HANDLE Handle(Stream stream) {  // not owned
    return GetStdHandle(stream == Stream::out ? STD_OUTPUT_HANDLE : STD_ERROR_HANDLE);
}

bool IsConsole(HANDLE handle) {
    DWORD mode;
    return handle != nullptr && handle != INVALID_HANDLE_VALUE && GetConsoleMode(handle, &mode) != 0;
}

void WriteBytes(HANDLE handle, const std::string& bytes) {
    const char* data = bytes.data();
    std::string::size_type left = bytes.size();
    while (left > 0) {
        DWORD put = 0;
        DWORD ask = left > 0x10000 ? 0x10000 : static_cast<DWORD>(left);
        if (!WriteFile(handle, data, ask, &put, nullptr) || put == 0) return;  // a closed pipe
        data += put;
        left -= put;
    }
}

}  // namespace

void Write(Stream stream, const std::string& utf8) {
    HANDLE handle = Handle(stream);
    if (handle == nullptr || handle == INVALID_HANDLE_VALUE) return;
    if (IsConsole(handle)) {
        // WriteConsoleW shows the text whatever the console's code page.
        std::wstring wide = hhx::Utf8ToWide(utf8);
        const wchar_t* data = wide.data();
        std::wstring::size_type left = wide.size();
        while (left > 0) {
            DWORD put = 0;
            DWORD ask = left > 0x4000 ? 0x4000 : static_cast<DWORD>(left);
            if (!WriteConsoleW(handle, data, ask, &put, nullptr) || put == 0) return;
            data += put;
            left -= put;
        }
        return;
    }
    // Files and pipes get UTF-8 with the system's line ends.
    std::string bytes;
    bytes.reserve(utf8.size() + 8);
    for (char c : utf8) {
        if (c == '\n') bytes += '\r';
        bytes += c;
    }
    WriteBytes(handle, bytes);
}

bool IsTerminal(Stream stream) { return IsConsole(Handle(stream)); }

int TerminalColumns(Stream stream) {
    CONSOLE_SCREEN_BUFFER_INFO info;
    if (GetConsoleScreenBufferInfo(Handle(stream), &info) && info.dwSize.X > 0) return info.dwSize.X;
    return 80;
}

void RewriteLine(Stream stream, const std::string& utf8) {
    Write(stream, "\r" + utf8);
    // Blank the rest of the line, which an earlier, longer text may still fill.
    HANDLE handle = Handle(stream);
    CONSOLE_SCREEN_BUFFER_INFO info;
    if (!GetConsoleScreenBufferInfo(handle, &info)) return;
    const SHORT left = info.dwSize.X - info.dwCursorPosition.X;
    if (left <= 0) return;
    DWORD filled = 0;
    FillConsoleOutputCharacterW(handle, L' ', static_cast<DWORD>(left), info.dwCursorPosition, &filled);
}

}  // namespace hhx::cli
