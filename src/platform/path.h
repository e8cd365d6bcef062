// Path and text helpers that must respect double-byte characters of the ANSI code page:
// the second byte of a double-byte character is never taken for a separator.
#pragma once

#include <string>

namespace hhx {

// '\\' on Windows, '/' on POSIX.
char PathSeparator();
// Index of the last separator, or std::string::npos.
std::string::size_type FindLastSeparator(const std::string& path);
// True when the path's last character is a separator.
bool EndsWithSeparator(const std::string& path);
// The path with one separator appended unless it already ends in one.
std::string WithTrailingSeparator(const std::string& path);
// Converts text in the ANSI code page to UTF-8 (identity on POSIX).
std::string AnsiToUtf8(const std::string& ansi);
// Converts UTF-8 to the ANSI code page (identity on POSIX).
std::string Utf8ToAnsi(const std::string& utf8);

}  // namespace hhx
