#include "crypt/encrypt_folder.h"

#include <cstdio>
#include <set>

#include "crypt/encrypt_stream.h"
#include "platform/file.h"
#include "platform/path.h"

CFile g_fileSource;
CFile g_fileOutput;

namespace hhx {

namespace {

constexpr char kSourceExtension[] = ".mp3";
constexpr std::string::size_type kExtensionLength = 4;

char LowerAscii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

}  // namespace

// The extension is plain ASCII, and '.' (0x2E) is never the trail byte of a double-byte
// character, so comparing the last four bytes is character-aware.
bool IsSourceName(const std::string& name) {
    if (name.size() <= kExtensionLength) return false;
    const std::string::size_type at = name.size() - kExtensionLength;
    for (std::string::size_type i = 0; i < kExtensionLength; ++i) {
        if (LowerAscii(name[at + i]) != kSourceExtension[i]) return false;
    }
    return true;
}

std::string CompletionText(int count) {
    char text[64];
    std::snprintf(text, sizeof text, "一共%d个文件处理结束。", count);
    return text;
}

std::string OutputName(const std::string& sourceName) {
    return sourceName.substr(0, sourceName.size() - kExtensionLength) + ".hhx";
}

bool HasCaseTwin(const std::string& folder, const std::string& sourceName) {
    // Skipped where no twin can exist: the lookups of missing names cost a whole folder scan
    // under some file systems, which would make a run quadratic in the number of files.
    if (!NamesDifferingInCaseCanCoexist()) return false;
    static const char* const kVariants[] = {".mp3", ".mP3", ".Mp3", ".MP3"};
    const std::string stem = sourceName.substr(0, sourceName.size() - kExtensionLength);
    const std::string extension = sourceName.substr(stem.size());
    for (const char* variant : kVariants) {
        if (extension != variant && EntryExistsExactly(folder, stem + variant)) return true;
    }
    return false;
}

SourceSearch::SourceSearch(const std::string& folder) : m_more(m_finder.FindFile(folder + "*.mp3")) {}

bool SourceSearch::Next() {
    while (m_more) {
        m_more = m_finder.FindNextFile();  // false on the last entry, which is still current
        if (m_finder.IsDots() || m_finder.IsDirectory()) continue;
        // The search also matches 8.3 short names ("x.mp3x" as "X~1.MP3"): not a source.
        if (IsSourceName(m_finder.GetFileName())) return true;
    }
    return false;
}

}  // namespace hhx

int EncryptFolder(const std::string& workDir, const ProgressHook& progress) {
    int count = 0;
    hhx::BlockBuffer blockBuffer;  // zero-filled, one for the whole run
    const std::string folder = hhx::WithTrailingSeparator(workDir);

    // Output names written in this run by sources that have a case twin: on a case-sensitive
    // file system "a.mp3" and "a.MP3" both map to "a.hhx", and the later one must not
    // overwrite the earlier one's output. Only such names are kept, so memory stays flat
    // however many files the folder holds.
    std::set<std::string> written;

    hhx::SourceSearch sources(folder);
    while (sources.Next()) {
        const std::string outputName = hhx::OutputName(sources.Name());
        const std::string sourcePath = sources.Path();
        if (progress) progress(sourcePath);
        if (written.count(outputName) != 0) continue;

        const std::string outputPath = folder + outputName;
        // Read only, so read-only files and media are processed; writers are shut out.
        if (!g_fileSource.Open(sourcePath, CFile::modeRead | CFile::shareDenyWrite)) continue;
        if (!g_fileOutput.Open(outputPath, CFile::modeCreate | CFile::modeReadWrite | CFile::shareDenyWrite)) {
            g_fileSource.Close();  // releases the file even when it raises
            continue;
        }
        try {
            hhx::EncryptStream(g_fileSource, g_fileOutput, blockBuffer);
            g_fileOutput.Close();
        } catch (...) {
            // No truncated output is left for the device; the error still names it.
            g_fileOutput.Abort();
            g_fileSource.Abort();
            CFile::TryRemove(outputPath);
            throw;
        }
        ++count;
        g_fileSource.Close();
        if (hhx::HasCaseTwin(folder, sources.Name())) written.insert(outputName);
    }
    return count;
}
