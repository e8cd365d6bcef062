#include "console.h"

#include <cerrno>

#include <sys/ioctl.h>
#include <unistd.h>

namespace hhx::cli {

namespace {

int Fd(Stream stream) { return stream == Stream::out ? STDOUT_FILENO : STDERR_FILENO; }

}  // namespace

void Write(Stream stream, const std::string& utf8) {
    const char* data = utf8.data();
    std::string::size_type left = utf8.size();
    while (left > 0) {
        ssize_t put = ::write(Fd(stream), data, left);
        if (put < 0 && errno == EINTR) continue;
        if (put <= 0) return;  // a closed pipe: nothing more can be shown
        data += put;
        left -= static_cast<std::string::size_type>(put);
    }
}

bool IsTerminal(Stream stream) { return ::isatty(Fd(stream)) == 1; }

int TerminalColumns(Stream stream) {
    winsize size{};
    if (::ioctl(Fd(stream), TIOCGWINSZ, &size) == 0 && size.ws_col > 0) return size.ws_col;
    return 80;
}

void RewriteLine(Stream stream, const std::string& utf8) {
    // Carriage return, the text, then erase what an earlier, longer text left on the line.
    Write(stream, "\r" + utf8 + "\x1b[K");
}

}  // namespace hhx::cli
