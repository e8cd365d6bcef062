#include "platform/path.h"

namespace hhx {

// '/' is a single-byte character in every encoding used here, so a plain byte search is
// character-aware.
char PathSeparator() { return '/'; }

std::string::size_type FindLastSeparator(const std::string& path) { return path.rfind('/'); }

bool EndsWithSeparator(const std::string& path) { return !path.empty() && path.back() == '/'; }

std::string WithTrailingSeparator(const std::string& path) {
    return EndsWithSeparator(path) ? path : path + '/';
}

std::string AnsiToUtf8(const std::string& ansi) { return ansi; }

std::string Utf8ToAnsi(const std::string& utf8) { return utf8; }

}  // namespace hhx
