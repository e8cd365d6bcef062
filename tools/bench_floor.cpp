// The floor for hhxenc's I/O pattern: copies every *.mp3 (any case) directly in a folder to
// the same name with ".hhx", with one 64-byte read request and one 64-byte write per block
// and no transform. Built and run by tools/bench; not part of the product.
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>

#include <dirent.h>
#include <fcntl.h>
#include <strings.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

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

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: bench_floor FOLDER\n");
        return 2;
    }
    std::string folder = argv[1];
    if (folder.back() != '/') folder += '/';
    DIR* dir = opendir(folder.c_str());
    if (!dir) return 0;
    int count = 0;
    while (dirent* entry = readdir(dir)) {
        std::string name = entry->d_name;
        if (name.size() <= 4 || strcasecmp(name.c_str() + name.size() - 4, ".mp3") != 0) continue;
        struct stat st;
        if (stat((folder + name).c_str(), &st) != 0 || !S_ISREG(st.st_mode)) continue;
        if (!Copy(folder + name, folder + name.substr(0, name.size() - 4) + ".hhx")) {
            std::fprintf(stderr, "bench_floor: cannot copy %s\n", name.c_str());
            return 1;
        }
        ++count;
    }
    closedir(dir);
    std::printf("%d\n", count);
    return 0;
}
