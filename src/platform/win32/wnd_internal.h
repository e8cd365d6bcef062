// Helpers shared by the window layer's source files; not part of its interface.
#pragma once

#include <windows.h>

#include <exception>
#include <string>

namespace hhx::wnd {

// UTF-8 to UTF-16; text that is not valid UTF-8 is taken as ANSI instead.
std::wstring Utf8ToWide(const std::string& utf8);

// Shows the box for an exception that ended an exchange or a handler: "out of memory" with
// memoryType, a file error's text or another exception's text with otherType. A
// CUserException shows nothing (its message was shown already).
void ReportException(std::exception_ptr e, UINT memoryType, UINT otherType);

}  // namespace hhx::wnd
