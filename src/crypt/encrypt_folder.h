// The folder batch run: every MP3 file lying directly in the working folder is encrypted
// into a ".hhx" file beside it.
#pragma once

#include <functional>
#include <string>

#include "platform/file_find.h"

class CFile;

// Called with each source's full path before it is opened.
using ProgressHook = std::function<void(const std::string& sourcePath)>;

// The run's two process-wide file objects; closed whenever no source is being processed.
extern CFile g_fileSource;
extern CFile g_fileOutput;

// Encrypts the folder and returns how many files were completely written. A file error ends
// the run: both files are closed, the incomplete output is removed, and the error passes on.
int EncryptFolder(const std::string& workDir, const ProgressHook& progress);

namespace hhx {
// The message that reports a finished run to the operator, UTF-8.
std::string CompletionText(int count);
}  // namespace hhx

namespace hhx {
// True when the name ends in ".mp3" without regard to case (and is more than the extension).
bool IsSourceName(const std::string& name);
// The output name: the final ".mp3" replaced by ".hhx".
std::string OutputName(const std::string& sourceName);

// True when the folder (ending in a separator) also holds a source whose name differs from
// this one only in the letter case of its extension ("a.mp3" and "a.MP3"), which would write
// the same output. Such twins exist only on file systems that tell case apart.
bool HasCaseTwin(const std::string& folder, const std::string& sourceName);

// Walks the sources lying directly in a folder, in the order the directory search returns
// them: entries that are not directories and whose long name ends in ".mp3".
class SourceSearch {
public:
    // folder ends with a separator.
    explicit SourceSearch(const std::string& folder);
    // Makes the next source current; false when none is left.
    bool Next();
    std::string Name() const { return m_finder.GetFileName(); }
    std::string Path() const { return m_finder.GetFilePath(); }

private:
    CFileFind m_finder;
    bool m_more;
};
}  // namespace hhx
