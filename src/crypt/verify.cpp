#include "crypt/verify.h"

#include <cstring>
#include <set>
#include <vector>

#include "crypt/encrypt_folder.h"
#include "crypt/encrypt_stream.h"
#include "platform/file.h"
#include "platform/path.h"

namespace hhx {

namespace {

// Verification is not bound to the writer's 64-byte pattern: it reads in large chunks.
constexpr unsigned kChunk = 1024 * static_cast<unsigned>(kBlockSize);

VerifyResult Unreadable(VerifyStatus status, const CFileException& error) {
    VerifyResult result;
    result.status = status;
    result.error = error.GetErrorMessage();
    return result;
}

// Reads exactly count bytes or raises endOfFile naming the file.
void ReadExactly(CFile& file, unsigned char* buffer, unsigned count) {
    if (file.Read(buffer, count) != count)
        throw CFileException(CFileException::endOfFile, -1, file.GetFilePath());
}

}  // namespace

VerifyResult VerifyFile(const std::string& sourcePath, const std::string& outputPath) {
    CFile source;
    CFile output;
    CFileException openError;
    if (!source.Open(sourcePath, CFile::modeRead | CFile::shareDenyWrite, &openError))
        return Unreadable(VerifyStatus::sourceUnreadable, openError);
    if (!output.Open(outputPath, CFile::modeRead | CFile::shareDenyWrite, &openError)) {
        if (openError.m_cause == CFileException::fileNotFound) {
            VerifyResult result;
            result.status = VerifyStatus::missing;
            return result;
        }
        return Unreadable(VerifyStatus::outputUnreadable, openError);
    }

    VerifyResult result;
    bool readingSource = true;
    try {
        result.sourceLength = source.GetLength();
        readingSource = false;
        result.outputLength = output.GetLength();
        result.expectedLength = EncryptedSize(result.sourceLength);
        if (result.outputLength != result.expectedLength) {
            result.status = VerifyStatus::wrongSize;
            return result;
        }

        unsigned char header[kSignatureSize + kKeyHeaderSize];
        ReadExactly(output, header, sizeof header);
        const unsigned keyOffset = header[kSignatureSize];
        unsigned char expectedHeader[kKeyHeaderSize];
        BuildKeyHeader(keyOffset, expectedHeader);
        if (std::memcmp(header, kSignature, kSignatureSize) != 0 ||
            std::memcmp(header + kSignatureSize, expectedHeader, kKeyHeaderSize) != 0) {
            result.status = VerifyStatus::badHeader;
            return result;
        }
        unsigned char key[kBlockSize];
        for (unsigned j = 0; j < kBlockSize; ++j) key[j] = KeyByte(keyOffset, j);

        std::vector<unsigned char> plain(kChunk);
        std::vector<unsigned char> stored(kChunk);
        std::uint64_t offset = 0;
        while (offset < result.sourceLength) {
            const std::uint64_t left = result.sourceLength - offset;
            const unsigned n = left >= kChunk ? kChunk : static_cast<unsigned>(left);
            const unsigned blocks = (n + kBlockSize - 1) / kBlockSize * kBlockSize;
            readingSource = true;
            ReadExactly(source, plain.data(), n);
            readingSource = false;
            ReadExactly(output, stored.data(), blocks);
            for (unsigned i = 0; i < n; ++i) {
                // The byte's index in its block picks the key byte; chunks are whole blocks.
                if (TransformByte(stored[i], key[i % kBlockSize]) != plain[i]) {
                    result.status = VerifyStatus::mismatch;
                    result.firstDifference = offset + i;
                    return result;
                }
            }
            offset += n;
        }
    } catch (const CFileException& error) {
        return Unreadable(readingSource ? VerifyStatus::sourceUnreadable : VerifyStatus::outputUnreadable, error);
    }
    return result;
}

int VerifyFolder(const std::string& workDir, const std::function<void(const VerifiedFile&)>& report) {
    int failures = 0;
    const std::string folder = WithTrailingSeparator(workDir);
    std::set<std::string> taken;
    SourceSearch sources(folder);
    while (sources.Next()) {
        VerifiedFile file;
        file.sourcePath = sources.Path();
        file.outputPath = folder + OutputName(sources.Name());
        if (HasCaseTwin(folder, sources.Name()) && !taken.insert(file.outputPath).second) {
            file.result.status = VerifyStatus::duplicateOutput;
        } else {
            file.result = VerifyFile(file.sourcePath, file.outputPath);
        }
        if (file.result.status != VerifyStatus::match) ++failures;
        if (report) report(file);
    }
    return failures;
}

}  // namespace hhx
