// The settings file "SysSet.ini": four values, each known only by its line number, stored as
// bytes in the ANSI code page. Lines 1 to 3 end in CR LF, line 4 has no line end; with all four
// values empty the file is the six bytes CR LF CR LF CR LF. No sections, keys or quoting.
#pragma once

#include <string>

namespace hhx {

// Name of the settings file in the program's folder.
inline constexpr char kSettingsFileName[] = "SysSet.ini";

struct SettingsValues {
    std::string sourceDirText;   // line 1: the folder text as the folder field shows it
    std::string qaListFile;      // line 2
    std::string promptListFile;  // line 3
    std::string soundDir;        // line 4

    bool operator==(const SettingsValues& other) const {
        return sourceDirText == other.sourceDirText && qaListFile == other.qaListFile &&
               promptListFile == other.promptListFile && soundDir == other.soundDir;
    }
    bool operator!=(const SettingsValues& other) const { return !(*this == other); }
};

// Reads the file's bytes as a text-mode file is read: a byte 0x1A ends the file; a line ends at
// LF, and one CR right before that LF belongs to the line end (CR LF is one line end); any
// other CR is data. Values are taken whole, with nothing trimmed. Missing lines give empty
// values; lines after the fourth are ignored.
SettingsValues ParseSettings(const std::string& bytes);

// The file's bytes: the four values, a line end after each of the first three. The file is
// text, so every LF written, inside a value too, becomes CR LF.
std::string FormatSettings(const SettingsValues& values);

enum class LoadResult { loaded, notOpened };

// Opens the file read-only, letting other processes read and write it meanwhile. When it
// cannot be opened (missing, locked, a directory) returns notOpened and leaves out alone.
// A failing read raises CFileException (cause generic, naming path) after closing the file;
// out is then unchanged.
LoadResult ReadSettingsFile(const std::string& path, SettingsValues& out);

// Stores the values so that the file holds either its previous content or the whole new one.
// Returns false, writing nothing, when the file cannot be opened for writing (read-only,
// locked, in a folder that cannot be written, a directory of that name) or no temporary file
// can be created beside it. Otherwise the content goes to a temporary file in the same folder,
// which then replaces the file. A failure from then on (a full disk) removes the temporary
// file, leaves the previous file as it was (removes it when this call created it) and raises
// CFileException naming path. When the file cannot be replaced because another open of it
// allows writing but not renaming, the content is written into the file in place.
bool WriteSettingsFile(const std::string& path, const SettingsValues& values);

}  // namespace hhx
