#include "crypt/encrypt_stream.h"

#include <cstdint>

#include "crypt/key_tables.h"
#include "platform/clock.h"
#include "platform/file.h"

namespace hhx {

const unsigned char kSignature[kSignatureSize] = {'V', 'a', 'r', 'n', 'o', 'q', 'u', 'e',
                                                  'l', 'K', 'e', 's', 'h', '7', '2', 0x00};

namespace {

MillisecondClock g_clock = &CurrentUtcMilliseconds;

}  // namespace

MillisecondClock SetMillisecondClock(MillisecondClock clock) {
    MillisecondClock previous = g_clock;
    g_clock = clock ? clock : &CurrentUtcMilliseconds;
    return previous;
}

unsigned char KeyByte(unsigned keyOffset, unsigned j) {
    return static_cast<unsigned char>(kKeystreamTable[(keyOffset + j) % 256] + kHeaderTable[1]);
}

void BuildKeyHeader(unsigned keyOffset, unsigned char header[kKeyHeaderSize]) {
    keyOffset %= 256;
    const unsigned window = keyOffset % 64;  // the index stays within 63 + 15
    for (unsigned i = 0; i < kKeyHeaderSize; ++i) header[i] = kHeaderTable[window + i];
    header[0] = static_cast<unsigned char>(keyOffset);
    header[1] = kHeaderTable[1];
}

void EncryptStream(CFile& source, CFile& output, BlockBuffer& blockBuffer) {
    output.Write(kSignature, kSignatureSize);

    // The clock is read once, after the signature is written.
    const unsigned keyOffset = g_clock() % 256;
    unsigned char header[kKeyHeaderSize];
    BuildKeyHeader(keyOffset, header);
    output.Write(header, kKeyHeaderSize);

    // Every block of the file uses the same 64 key bytes.
    unsigned char key[kBlockSize];
    for (unsigned j = 0; j < kBlockSize; ++j) key[j] = KeyByte(keyOffset, j);

    std::uint64_t remaining = source.GetLength();
    source.SeekToBegin();
    unsigned char input[kBlockSize];
    while (remaining > 0) {
        const unsigned n = remaining >= kBlockSize ? unsigned{kBlockSize} : static_cast<unsigned>(remaining);
        // A source that yields less than its measured length would leave stale input bytes.
        if (source.Read(input, kBlockSize) < n)
            throw CFileException(CFileException::endOfFile, -1, source.GetFilePath());
        for (unsigned j = 0; j < n; ++j) blockBuffer.bytes[j] = TransformByte(input[j], key[j]);
        // Always the whole block: bytes n..63 keep what the run's buffer held.
        output.Write(blockBuffer.bytes, kBlockSize);
        remaining -= n;
    }
}

}  // namespace hhx
