// Checking written files: each ".hhx" is decoded in memory and compared with its source.
// The decoder reads the key offset from the file and undoes the byte transform block by block.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

namespace hhx {

enum class VerifyStatus {
    match,             // decodes to the source, followed by 0..63 filler bytes
    missing,           // no output file
    wrongSize,         // not 32 + 64 * ceil(L / 64) bytes
    badHeader,         // signature or key header is not one this key writes
    mismatch,          // a payload byte decodes to something else than the source byte
    sourceUnreadable,  // the source cannot be opened or read (see error)
    outputUnreadable,  // the output exists but cannot be opened or read (see error)
    duplicateOutput,   // another source of the folder maps to the same output name
};

struct VerifyResult {
    VerifyStatus status = VerifyStatus::match;
    std::uint64_t sourceLength = 0;
    std::uint64_t outputLength = 0;    // for wrongSize
    std::uint64_t expectedLength = 0;  // for wrongSize
    std::uint64_t firstDifference = 0; // source offset of the first wrong byte, for mismatch
    std::string error;                 // file error text (UTF-8), for the unreadable cases
};

// The size of the encrypted file for a source of this length.
constexpr std::uint64_t EncryptedSize(std::uint64_t sourceLength) {
    return 32 + 64 * ((sourceLength + 63) / 64);
}

// Decodes the output in memory and compares it with the source. Never raises a file error.
VerifyResult VerifyFile(const std::string& sourcePath, const std::string& outputPath);

struct VerifiedFile {
    std::string sourcePath;
    std::string outputPath;
    VerifyResult result;
};

// Checks every source of the folder, chosen and named as EncryptFolder does, and reports
// each one. A later source whose output name an earlier one already took is reported as
// duplicateOutput. Returns how many sources did not match.
int VerifyFolder(const std::string& workDir, const std::function<void(const VerifiedFile&)>& report);

}  // namespace hhx
