#include <windows.h>  // before file_find.h, which undoes its FindNextFile macro

#include "platform/file_find.h"

#include "platform/path.h"

namespace {

// The folder part of a search pattern in full-path form, ending with one separator.
std::string FullFolderOf(const std::string& pattern) {
    const std::string::size_type last = hhx::FindLastSeparator(pattern);
    std::string folder = last == std::string::npos ? std::string(".") : pattern.substr(0, last + 1);
    // "dir\\" names the same folder as "dir"; a root ("\", "C:\") keeps its separator.
    while (folder.size() > 1 && hhx::EndsWithSeparator(folder)) {
        const std::string shorter = folder.substr(0, folder.size() - 1);
        if (shorter.back() == ':' || !hhx::EndsWithSeparator(shorter)) break;
        folder = shorter;
    }
    char buffer[MAX_PATH];
    DWORD length = GetFullPathNameA(folder.c_str(), sizeof buffer, buffer, nullptr);
    std::string full;
    if (length >= sizeof buffer) {
        full.resize(length);
        length = GetFullPathNameA(folder.c_str(), length, &full[0], nullptr);
        full.resize(length);
    } else {
        full.assign(buffer, length);
    }
    if (full.empty()) full = folder;
    return hhx::WithTrailingSeparator(full);
}

}  // namespace

struct CFileFind::Impl {
    HANDLE find = INVALID_HANDLE_VALUE;  // owned
    std::string folder;                  // full path, with a trailing separator
    WIN32_FIND_DATAA current{};
    WIN32_FIND_DATAA next{};
    bool hasCurrent = false;
    bool hasNext = false;

    ~Impl() {
        if (find != INVALID_HANDLE_VALUE) FindClose(find);
    }
};

CFileFind::CFileFind() = default;

CFileFind::~CFileFind() = default;

bool CFileFind::FindFile(const std::string& pattern) {
    Close();
    auto impl = std::make_unique<Impl>();
    impl->find = FindFirstFileA(pattern.c_str(), &impl->next);
    if (impl->find == INVALID_HANDLE_VALUE) return false;
    impl->hasNext = true;
    impl->folder = FullFolderOf(pattern);
    m_impl = std::move(impl);
    return true;
}

bool CFileFind::FindNextFile() {
    if (!m_impl) return false;
    if (!m_impl->hasNext) {  // called again after the last entry: nothing is current
        m_impl->hasCurrent = false;
        return false;
    }
    m_impl->current = m_impl->next;
    m_impl->hasCurrent = true;
    // Any failure, "no more files" or another, ends the search after the current entry.
    m_impl->hasNext = ::FindNextFileA(m_impl->find, &m_impl->next) != 0;
    return m_impl->hasNext;
}

bool CFileFind::IsDots() const {
    if (!m_impl || !m_impl->hasCurrent) return false;
    const std::string name = m_impl->current.cFileName;
    return name == "." || name == "..";
}

bool CFileFind::IsDirectory() const {
    return m_impl && m_impl->hasCurrent &&
           (m_impl->current.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

std::string CFileFind::GetFileName() const {
    return m_impl && m_impl->hasCurrent ? std::string(m_impl->current.cFileName) : std::string();
}

std::string CFileFind::GetFilePath() const {
    return m_impl && m_impl->hasCurrent ? m_impl->folder + m_impl->current.cFileName : std::string();
}

void CFileFind::Close() { m_impl.reset(); }

bool hhx::EntryExistsExactly(const std::string& folder, const std::string& name) {
    // The lookup ignores case; the name it returns is the one stored on disk.
    WIN32_FIND_DATAA found;
    HANDLE find = FindFirstFileA((folder + name).c_str(), &found);
    if (find == INVALID_HANDLE_VALUE) return false;
    FindClose(find);
    return name == found.cFileName;
}

bool hhx::NamesDifferingInCaseCanCoexist() { return false; }
