#include "platform/file_find.h"

#include <cstdlib>
#include <string>

#include <dirent.h>
#include <fnmatch.h>
#include <sys/stat.h>

#include "platform/path.h"

namespace {

struct Entry {
    std::string name;
    bool isDirectory = false;
};

// Only '*' and '?' are wildcards, as on Win32: brackets and backslashes match themselves.
std::string EscapeForFnmatch(const std::string& mask) {
    std::string escaped;
    for (char c : mask) {
        if (c == '[' || c == ']' || c == '\\') escaped += '\\';
        escaped += c;
    }
    return escaped;
}

}  // namespace

struct CFileFind::Impl {
    DIR* dir = nullptr;  // owned
    std::string folder;  // absolute, with a trailing separator
    std::string mask;    // escaped for fnmatch
    Entry current;
    Entry next;
    bool hasCurrent = false;
    bool hasNext = false;

    ~Impl() {
        if (dir) closedir(dir);
    }

    // Reads entries up to the next one that matches; false at the end of the folder.
    bool Fetch(Entry& entry) {
        while (dirent* found = readdir(dir)) {
            if (fnmatch(mask.c_str(), found->d_name, FNM_CASEFOLD) != 0) continue;
            entry.name = found->d_name;
            // stat follows symbolic links: a link to a folder counts as a folder.
            struct stat st;
            entry.isDirectory = stat((folder + entry.name).c_str(), &st) == 0 && S_ISDIR(st.st_mode);
            return true;
        }
        return false;
    }
};

CFileFind::CFileFind() = default;

CFileFind::~CFileFind() = default;

bool CFileFind::FindFile(const std::string& pattern) {
    Close();
    std::string::size_type slash = pattern.rfind('/');
    std::string folder = slash == std::string::npos ? "." : pattern.substr(0, slash + 1);
    std::string mask = slash == std::string::npos ? pattern : pattern.substr(slash + 1);
    if (mask.empty()) return false;

    char* absolute = realpath(folder.c_str(), nullptr);
    if (!absolute) return false;
    auto impl = std::make_unique<Impl>();
    impl->folder = hhx::WithTrailingSeparator(absolute);
    std::free(absolute);
    impl->mask = EscapeForFnmatch(mask);
    impl->dir = opendir(impl->folder.c_str());
    if (!impl->dir || !impl->Fetch(impl->next)) return false;
    impl->hasNext = true;
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
    m_impl->hasNext = m_impl->Fetch(m_impl->next);
    return m_impl->hasNext;
}

bool CFileFind::IsDots() const {
    if (!m_impl || !m_impl->hasCurrent) return false;
    const std::string& name = m_impl->current.name;
    return name == "." || name == "..";
}

bool CFileFind::IsDirectory() const {
    return m_impl && m_impl->hasCurrent && m_impl->current.isDirectory;
}

std::string CFileFind::GetFileName() const {
    return m_impl && m_impl->hasCurrent ? m_impl->current.name : std::string();
}

std::string CFileFind::GetFilePath() const {
    return m_impl && m_impl->hasCurrent ? m_impl->folder + m_impl->current.name : std::string();
}

void CFileFind::Close() { m_impl.reset(); }

bool hhx::EntryExistsExactly(const std::string& folder, const std::string& name) {
    struct stat info;
    return lstat((folder + name).c_str(), &info) == 0;
}

bool hhx::NamesDifferingInCaseCanCoexist() { return true; }
