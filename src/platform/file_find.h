// Search of one folder for entries whose names match a wildcard ("*.mp3") without regard to
// case. Returns files and directories, hidden and system files included.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

// <windows.h> makes FindNextFile a macro; the member keeps its own name where that header
// came first, and FindNextFileA below serves code that includes it afterwards.
#ifdef FindNextFile
#undef FindNextFile
#endif

class CFileFind {
public:
    CFileFind();
    ~CFileFind();
    CFileFind(const CFileFind&) = delete;
    CFileFind& operator=(const CFileFind&) = delete;

    // Starts a search with a pattern of the form folder + separator(s) + wildcard. False when
    // nothing matches or the folder cannot be searched.
    bool FindFile(const std::string& pattern);
    // Makes the next entry current. Returns false when the entry it has just made current is
    // the last one; that entry is still valid.
    bool FindNextFile();
    bool FindNextFileA() { return FindNextFile(); }
    bool IsDots() const;
    bool IsDirectory() const;
    // Name of the current entry (the long name on Win32).
    std::string GetFileName() const;
    // Full path of the current entry: the searched folder in full-path form, one separator, the name.
    std::string GetFilePath() const;
    void Close();

    struct Impl;

private:
    std::unique_ptr<Impl> m_impl;
};

namespace hhx {
// True when the folder (ending in a separator) holds an entry whose name is exactly this
// one, letter case included, even where the file system ignores case.
bool EntryExistsExactly(const std::string& folder, const std::string& name);
// True where one folder can hold names that differ only in letter case (POSIX); false on
// Windows, whose file systems ignore case.
bool NamesDifferingInCaseCanCoexist();
}  // namespace hhx
