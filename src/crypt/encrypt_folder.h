// The folder batch run: every MP3 file lying directly in the working folder is encrypted
// into a ".hhx" file beside it.
#pragma once

#include <functional>
#include <string>

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
// True when the name ends in ".mp3" without regard to case (and is more than the extension).
bool IsSourceName(const std::string& name);
// The output name: the final ".mp3" replaced by ".hhx".
std::string OutputName(const std::string& sourceName);
}  // namespace hhx
