// Console output of hhxenc. Text is UTF-8; a Windows console gets it as UTF-16, so it shows
// right on any code page; files and pipes get UTF-8 bytes.
#pragma once

#include <string>

namespace hhx::cli {

enum class Stream { out, err };

// Writes the text as it is ("\n" ends a line).
void Write(Stream stream, const std::string& utf8);
// True when the stream is an interactive terminal (console), not a file or a pipe.
bool IsTerminal(Stream stream);
// Width of the terminal in columns; 80 when it cannot be told.
int TerminalColumns(Stream stream);
// Replaces the text of the terminal's current line (a live status line).
void RewriteLine(Stream stream, const std::string& utf8);

}  // namespace hhx::cli
