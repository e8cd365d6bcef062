// A decoder for ".hhx" files written apart from the product: it reads the key file itself
// (not the generated tables) and follows the file format step by step, so the tests can
// check the writer against it. Also small helpers shared by the crypt and CLI tests.
#pragma once

#include <map>
#include <string>

namespace hhx::test {

struct ReferenceKey {
    unsigned char K[256];
    unsigned char H[256];
};

// The build's key file, parsed here: hexadecimal byte pairs, '#' comments, K then H.
const ReferenceKey& BuildKey();

struct DecodedFile {
    std::string error;    // empty when the file is well formed
    unsigned keyOffset = 0;
    std::string payload;  // every block decoded: the source followed by 0..63 filler bytes
};

// Checks the signature and the key header and undoes the transform block by block.
DecodedFile DecodeHhx(const std::string& fileBytes);

// The byte transform written out from its rule.
unsigned char ReferenceTransform(unsigned char c, unsigned char k);

// A path the build system gave as a POSIX path, in the form this system opens: on Windows
// (under Wine) "/work/x" becomes "Z:\work\x".
std::string SystemPath(const std::string& buildPath);

// Names and bytes of the files (not folders) directly in a folder.
std::map<std::string, std::string> FolderFiles(const std::string& folder);

// A small file system of its own for one disk-full test: HHX_SMALL_DISK names a small file
// system, and tests that may run at the same time use its siblings HHX_SMALL_DISK-name
// (e.g. build/small-disk-folder), each a 64 KiB tmpfs. "" when unset or not there.
std::string SmallDiskSlot(const std::string& name);

// Deletes the given files and then the folder; errors are ignored.
void RemoveFolder(const std::string& folder);

}  // namespace hhx::test
