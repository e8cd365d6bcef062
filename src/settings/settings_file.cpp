#include "settings/settings_file.h"

#include <algorithm>
#include <string_view>

#include "platform/file.h"

namespace hhx {

namespace {

constexpr char kCtrlZ = '\x1A';
constexpr unsigned kChunk = 64 * 1024;

// Takes the next line from text, advancing it past the line's end; an exhausted text gives an
// empty line.
std::string TakeLine(std::string_view& text) {
    std::string_view::size_type lf = text.find('\n');
    if (lf == std::string_view::npos) {  // the last line: no line end, every CR is data
        std::string line(text);
        text = {};
        return line;
    }
    std::string_view line = text.substr(0, lf);
    text.remove_prefix(lf + 1);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    return std::string(line);
}

void AppendTextMode(std::string& out, const std::string& text) {
    for (char c : text) {
        if (c == '\n') out += '\r';
        out += c;
    }
}

// Writes all bytes, forces them to the disk and closes the file. A failure closes the file
// and raises the error naming the settings file.
void WriteAndClose(CFile& file, const std::string& bytes, const std::string& settingsPath) {
    try {
        for (std::string::size_type done = 0; done < bytes.size();) {
            unsigned count = static_cast<unsigned>(std::min<std::string::size_type>(kChunk, bytes.size() - done));
            file.Write(bytes.data() + done, count);
            done += count;
        }
        file.Flush();
        file.Close();
    } catch (const CFileException& e) {
        file.Abort();
        throw CFileException(e.m_cause, e.m_lOsError, settingsPath);
    }
}

// Creates (or empties) a temporary file beside path that no one else has open.
bool CreateTempBeside(const std::string& path, CFile& temp) {
    const unsigned flags = CFile::modeCreate | CFile::modeWrite | CFile::shareExclusive;
    if (temp.Open(path + ".tmp", flags)) return true;
    // Another copy of the tool may be saving right now and hold that name.
    for (int n = 1; n <= 9; ++n)
        if (temp.Open(path + "~" + std::to_string(n) + ".tmp", flags)) return true;
    return false;
}

}  // namespace

SettingsValues ParseSettings(const std::string& bytes) {
    std::string_view text(bytes);
    text = text.substr(0, text.find(kCtrlZ));
    SettingsValues values;
    values.sourceDirText = TakeLine(text);
    values.qaListFile = TakeLine(text);
    values.promptListFile = TakeLine(text);
    values.soundDir = TakeLine(text);
    return values;
}

std::string FormatSettings(const SettingsValues& values) {
    std::string bytes;
    AppendTextMode(bytes, values.sourceDirText + '\n');
    AppendTextMode(bytes, values.qaListFile + '\n');
    AppendTextMode(bytes, values.promptListFile + '\n');
    AppendTextMode(bytes, values.soundDir);
    return bytes;
}

LoadResult ReadSettingsFile(const std::string& path, SettingsValues& out) {
    CFile file;
    if (!file.Open(path, CFile::modeRead | CFile::shareDenyNone)) return LoadResult::notOpened;
    std::string bytes;
    try {
        char buffer[kChunk];
        while (unsigned got = file.Read(buffer, sizeof buffer)) bytes.append(buffer, got);
        file.Close();
    } catch (const CFileException& e) {
        file.Abort();
        throw CFileException(CFileException::generic, e.m_lOsError, path);
    }
    out = ParseSettings(bytes);
    return LoadResult::loaded;
}

bool WriteSettingsFile(const std::string& path, const SettingsValues& values) {
    const std::string bytes = FormatSettings(values);

    // The file must be writable where it is: a read-only or locked file, or a folder that
    // cannot be written, leaves everything as it was. Opening without modeCreate first tells
    // whether the file was there before this call.
    bool created = false;
    {
        CFile probe;
        if (!probe.Open(path, CFile::modeWrite | CFile::shareDenyNone)) {
            if (!probe.Open(path, CFile::modeCreate | CFile::modeNoTruncate | CFile::modeWrite |
                                      CFile::shareDenyNone))
                return false;
            created = true;
        }
        probe.Abort();
    }

    CFile temp;
    if (!CreateTempBeside(path, temp)) {
        if (created) CFile::TryRemove(path);
        return false;
    }
    const std::string tempPath = temp.GetFilePath();
    try {
        WriteAndClose(temp, bytes, path);
    } catch (const CFileException&) {
        CFile::TryRemove(tempPath);
        if (created) CFile::TryRemove(path);
        throw;
    }
    long replaceError = 0;
    if (CFile::TryReplace(tempPath, path, &replaceError)) return true;

    // Another open of the file that lets others write, but not delete or rename, it keeps the
    // name from being replaced (Win32): write in place, as the first open showed we may.
    CFile::TryRemove(tempPath);
    CFile file;
    if (!file.Open(path, CFile::modeCreate | CFile::modeWrite | CFile::shareDenyNone)) {
        if (created) CFile::TryRemove(path);
        CFileException::Cause cause = CFileException::OsErrorToCause(replaceError);
        throw CFileException(cause == CFileException::none ? CFileException::generic : cause,
                             replaceError, path);
    }
    WriteAndClose(file, bytes, path);
    return true;
}

}  // namespace hhx
