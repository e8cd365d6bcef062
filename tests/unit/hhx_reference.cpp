#include "unit/hhx_reference.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <sstream>

#include "platform/file.h"
#include "platform/file_find.h"
#include "platform/path.h"
#include "unit/test_util.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <unistd.h>
#endif

namespace hhx::test {

namespace {

ReferenceKey LoadKey() {
    ReferenceKey key{};
    const std::string path = SystemPath(HHX_KEY_FILE_PATH);
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        ADD_FAILURE() << "cannot read the key file " << path;
        return key;
    }
    unsigned bytes[512];
    unsigned count = 0;
    std::string line;
    while (std::getline(in, line)) {
        std::istringstream words(line.substr(0, line.find('#')));
        std::string word;
        while (words >> word) {
            if (count == 512) {
                ADD_FAILURE() << "key file holds more than 512 bytes";
                return key;
            }
            bytes[count++] = static_cast<unsigned>(std::stoul(word, nullptr, 16));
        }
    }
    if (count != 512) {
        ADD_FAILURE() << "key file holds " << count << " bytes, not 512";
        return key;
    }
    for (unsigned i = 0; i < 256; ++i) {
        key.K[i] = static_cast<unsigned char>(bytes[i]);
        key.H[i] = static_cast<unsigned char>(bytes[256 + i]);
    }
    return key;
}

}  // namespace

const ReferenceKey& BuildKey() {
    static const ReferenceKey key = LoadKey();
    return key;
}

unsigned char ReferenceTransform(unsigned char c, unsigned char k) {
    if (c == 0x00 || c == 0xFF) return c;
    if (c == k || (c ^ k) == 0xFF) return c;
    return static_cast<unsigned char>(c ^ k);
}

DecodedFile DecodeHhx(const std::string& fileBytes) {
    DecodedFile decoded;
    const ReferenceKey& key = BuildKey();
    const std::string signature("VarnoquelKesh72\0", 16);
    if (fileBytes.size() < 32 || (fileBytes.size() - 32) % 64 != 0) {
        decoded.error = "size " + std::to_string(fileBytes.size()) + " is not 32 + a multiple of 64";
        return decoded;
    }
    if (fileBytes.compare(0, 16, signature) != 0) {
        decoded.error = "bad signature";
        return decoded;
    }
    const unsigned o = static_cast<unsigned char>(fileBytes[16]);
    decoded.keyOffset = o;
    const unsigned addend = key.H[1];
    if (static_cast<unsigned char>(fileBytes[17]) != addend) {
        decoded.error = "key addend is not H[1]";
        return decoded;
    }
    for (unsigned i = 2; i < 16; ++i) {
        if (static_cast<unsigned char>(fileBytes[16 + i]) != key.H[o % 64 + i]) {
            decoded.error = "key header byte " + std::to_string(i) + " is not H[o mod 64 + i]";
            return decoded;
        }
    }
    decoded.payload.reserve(fileBytes.size() - 32);
    for (std::size_t at = 32; at < fileBytes.size(); ++at) {
        const unsigned j = static_cast<unsigned>((at - 32) % 64);
        const unsigned char k = static_cast<unsigned char>((key.K[(o + j) % 256] + addend) % 256);
        decoded.payload += static_cast<char>(ReferenceTransform(static_cast<unsigned char>(fileBytes[at]), k));
    }
    return decoded;
}

std::string SystemPath(const std::string& buildPath) {
#ifdef _WIN32
    if (!buildPath.empty() && buildPath[0] == '/') {
        std::string path = "Z:" + buildPath;
        for (char& c : path) {
            if (c == '/') c = '\\';
        }
        return path;
    }
#endif
    return buildPath;
}

std::map<std::string, std::string> FolderFiles(const std::string& folder) {
    std::map<std::string, std::string> files;
    CFileFind finder;
    bool more = finder.FindFile(WithTrailingSeparator(folder) + "*");
    while (more) {
        more = finder.FindNextFile();
        if (finder.IsDots() || finder.IsDirectory()) continue;
        files[finder.GetFileName()] = ReadBytes(finder.GetFilePath());
    }
    return files;
}

std::string SmallDiskSlot(const std::string& name) {
    const char* base = std::getenv("HHX_SMALL_DISK");
    if (!base || !*base) return {};
    std::string folder = SystemPath(base);
    while (EndsWithSeparator(folder)) folder.pop_back();
    folder += "-" + name;
    CFileFind probe;
    if (!probe.FindFile(folder)) return {};
    probe.FindNextFile();
    if (!probe.IsDirectory()) return {};
    return WithTrailingSeparator(folder);
}

void RemoveFolder(const std::string& folder) {
    for (const auto& file : FolderFiles(folder)) CFile::TryRemove(WithTrailingSeparator(folder) + file.first);
#ifdef _WIN32
    RemoveDirectoryA(folder.c_str());
#else
    rmdir(folder.c_str());
#endif
}

}  // namespace hhx::test
