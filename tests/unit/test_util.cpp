#include "unit/test_util.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <string>

#ifdef _WIN32
#include <windows.h>
#else
#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace hhx::test {

namespace {

std::atomic<unsigned> g_counter{0};

#ifdef _WIN32
constexpr char kSeparator = '\\';

std::string SystemTempFolder() {
    char buffer[MAX_PATH + 1];
    DWORD length = GetTempPathA(sizeof buffer, buffer);
    if (length == 0 || length > sizeof buffer) return "C:\\";
    std::string folder(buffer, length);
    if (folder.back() != '\\') folder += '\\';
    return folder;
}

bool CreateFolder(const std::string& path) { return CreateDirectoryA(path.c_str(), nullptr) != 0; }
unsigned long ProcessId() { return GetCurrentProcessId(); }

void RemoveTree(const std::string& folder) {  // folder ends with a separator
    WIN32_FIND_DATAA data;
    HANDLE find = FindFirstFileA((folder + "*").c_str(), &data);
    if (find != INVALID_HANDLE_VALUE) {
        do {
            std::string name = data.cFileName;
            if (name == "." || name == "..") continue;
            std::string full = folder + name;
            SetFileAttributesA(full.c_str(), FILE_ATTRIBUTE_NORMAL);
            if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                RemoveTree(full + "\\");
            else
                DeleteFileA(full.c_str());
        } while (FindNextFileA(find, &data));
        FindClose(find);
    }
    RemoveDirectoryA(folder.substr(0, folder.size() - 1).c_str());
}
#else
constexpr char kSeparator = '/';

// Resolved, so that paths built here compare equal to paths the system reports back.
std::string SystemTempFolder() {
    const char* env = std::getenv("TMPDIR");
    std::string folder = (env && *env) ? env : "/tmp";
    if (char* resolved = realpath(folder.c_str(), nullptr)) {
        folder = resolved;
        std::free(resolved);
    }
    if (folder.back() != '/') folder += '/';
    return folder;
}

bool CreateFolder(const std::string& path) { return mkdir(path.c_str(), 0700) == 0; }
unsigned long ProcessId() { return static_cast<unsigned long>(getpid()); }

void RemoveTree(const std::string& folder) {  // folder ends with a separator
    if (DIR* dir = opendir(folder.c_str())) {
        while (dirent* entry = readdir(dir)) {
            std::string name = entry->d_name;
            if (name == "." || name == "..") continue;
            std::string full = folder + name;
            struct stat st;
            if (lstat(full.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) {
                chmod(full.c_str(), 0700);
                RemoveTree(full + "/");
            } else {
                unlink(full.c_str());
            }
        }
        closedir(dir);
    }
    rmdir(folder.c_str());
}
#endif

}  // namespace

TempDir::TempDir() {
    const std::string base = SystemTempFolder();
    for (int attempt = 0; attempt < 1000; ++attempt) {
        std::string candidate = base + "hhx_test_" + std::to_string(ProcessId()) + "_" +
                                std::to_string(g_counter++);
        if (CreateFolder(candidate)) {
            m_path = candidate + kSeparator;
            return;
        }
    }
    ADD_FAILURE() << "cannot create a temporary folder under " << base;
    m_path = base;
}

TempDir::~TempDir() {
    if (m_path != SystemTempFolder()) RemoveTree(m_path);
}

void WriteBytes(const std::string& path, const std::string& bytes) {
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) {
        ADD_FAILURE() << "cannot create " << path;
        return;
    }
    size_t written = bytes.empty() ? 0 : std::fwrite(bytes.data(), 1, bytes.size(), f);
    bool closed = std::fclose(f) == 0;
    if (written != bytes.size() || !closed) ADD_FAILURE() << "cannot write " << path;
}

std::string ReadBytes(const std::string& path) {
    FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) {
        ADD_FAILURE() << "cannot open " << path;
        return {};
    }
    std::string bytes;
    char buffer[65536];
    size_t got;
    while ((got = std::fread(buffer, 1, sizeof buffer, f)) > 0) bytes.append(buffer, got);
    if (std::ferror(f)) ADD_FAILURE() << "cannot read " << path;
    std::fclose(f);
    return bytes;
}

bool FileExists(const std::string& path) {
#ifdef _WIN32
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
#else
    struct stat st;
    return stat(path.c_str(), &st) == 0;
#endif
}

void MakeDir(const std::string& path) {
    if (!CreateFolder(path)) ADD_FAILURE() << "cannot create folder " << path;
}

}  // namespace hhx::test
