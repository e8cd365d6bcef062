// The floor for hhxenc's I/O pattern: copies every *.mp3 (any case) directly in a folder to
// the same name with ".hhx", with one 64-byte read request and one 64-byte write per block
// and no transform. Built and run by tools/bench; not part of the product. On Windows it uses
// the calls the Win32 file layer uses (FindFirstFileA, CreateFileA, ReadFile, WriteFile), so
// the floor under Wine pays the same per-call cost as hhxenc.exe.
#include <cstdio>
#include <cstring>
#include <string>

#ifdef _WIN32
#include <windows.h>
#else
#include <cerrno>

#include <dirent.h>
#include <fcntl.h>
#include <strings.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace {

bool IsSourceName(const std::string& name) {
    if (name.size() <= 4) return false;
    const char* ext = name.c_str() + name.size() - 4;
#ifdef _WIN32
    return _stricmp(ext, ".mp3") == 0;
#else
    return strcasecmp(ext, ".mp3") == 0;
#endif
}

#ifdef _WIN32

bool Copy(const std::string& from, const std::string& to) {
    HANDLE in = CreateFileA(from.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
    if (in == INVALID_HANDLE_VALUE) return false;
    HANDLE out = CreateFileA(to.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                             FILE_ATTRIBUTE_NORMAL, nullptr);
    if (out == INVALID_HANDLE_VALUE) {
        CloseHandle(in);
        return false;
    }
    unsigned char block[64];
    bool ok = true;
    for (;;) {
        DWORD got = 0;
        if (!ReadFile(in, block, sizeof block, &got, nullptr)) {
            ok = false;
            break;
        }
        if (got == 0) break;
        DWORD put = 0;
        if (!WriteFile(out, block, sizeof block, &put, nullptr) || put != sizeof block) {
            ok = false;
            break;
        }
    }
    CloseHandle(in);
    return CloseHandle(out) && ok;
}

// Calls visit(name) for every regular file directly in folder (which ends in a separator).
template <typename Visit>
bool ForEachFile(const std::string& folder, Visit visit) {
    WIN32_FIND_DATAA entry;
    HANDLE find = FindFirstFileA((folder + "*.mp3").c_str(), &entry);
    if (find == INVALID_HANDLE_VALUE) return true;
    bool ok = true;
    do {
        if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) continue;
        if (!visit(std::string(entry.cFileName))) {
            ok = false;
            break;
        }
    } while (FindNextFileA(find, &entry));
    FindClose(find);
    return ok;
}

const char kSeparator = '\\';

#else

bool Copy(const std::string& from, const std::string& to) {
    int in = open(from.c_str(), O_RDONLY | O_CLOEXEC);
    if (in < 0) return false;
    int out = open(to.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (out < 0) {
        close(in);
        return false;
    }
    unsigned char block[64];
    bool ok = true;
    for (;;) {
        ssize_t got = read(in, block, sizeof block);
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) {
            ok = got == 0;
            break;
        }
        if (write(out, block, sizeof block) != static_cast<ssize_t>(sizeof block)) {
            ok = false;
            break;
        }
    }
    close(in);
    return close(out) == 0 && ok;
}

template <typename Visit>
bool ForEachFile(const std::string& folder, Visit visit) {
    DIR* dir = opendir(folder.c_str());
    if (!dir) return true;
    bool ok = true;
    while (dirent* entry = readdir(dir)) {
        std::string name = entry->d_name;
        struct stat st;
        if (!IsSourceName(name) || stat((folder + name).c_str(), &st) != 0 || !S_ISREG(st.st_mode)) {
            continue;
        }
        if (!visit(name)) {
            ok = false;
            break;
        }
    }
    closedir(dir);
    return ok;
}

const char kSeparator = '/';

#endif

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: bench_floor FOLDER\n");
        return 2;
    }
    std::string folder = argv[1];
    if (folder.back() != '/' && folder.back() != kSeparator) folder += kSeparator;
    int count = 0;
    bool ok = ForEachFile(folder, [&](const std::string& name) {
        if (!IsSourceName(name)) return true;  // 8.3 short-name matches on Windows
        if (!Copy(folder + name, folder + name.substr(0, name.size() - 4) + ".hhx")) {
            std::fprintf(stderr, "bench_floor: cannot copy %s\n", name.c_str());
            return false;
        }
        ++count;
        return true;
    });
    if (!ok) return 1;
    std::printf("%d\n", count);
    return 0;
}
