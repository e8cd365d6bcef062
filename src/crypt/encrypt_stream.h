// The encrypted audio file (".hhx"): a 16-byte signature, a 16-byte key header, then the
// source transformed byte by byte in 64-byte payload blocks.
#pragma once

#include <cstddef>
#include <cstdint>

class CFile;

namespace hhx {

constexpr std::size_t kBlockSize = 64;
constexpr std::size_t kSignatureSize = 16;
constexpr std::size_t kKeyHeaderSize = 16;
extern const unsigned char kSignature[kSignatureSize];  // "VarnoquelKesh72" and one 0x00

// The run's output block buffer: made once per run, zero-filled, handed to every file of the
// run and never cleared, so a short last block carries what the buffer held before.
struct BlockBuffer {
    unsigned char bytes[kBlockSize] = {};
};

// The stored byte for source byte c under key byte k; its own inverse for a fixed k.
constexpr unsigned char TransformByte(unsigned char c, unsigned char k) {
    return (c == 0x00 || c == 0xFF || c == k || (c ^ k) == 0xFF) ? c : static_cast<unsigned char>(c ^ k);
}
// k_j = (K[(o + j) mod 256] + A) mod 256, A = H[1].
unsigned char KeyByte(unsigned keyOffset, unsigned j);
// The 16-byte key header for key offset o (0..255).
void BuildKeyHeader(unsigned keyOffset, unsigned char header[kKeyHeaderSize]);

// Writes one encrypted audio file from source (open for reading, read from its first byte)
// to output (just created, open for writing). Closes neither; raises CFileException on any
// failing file operation.
void EncryptStream(CFile& source, CFile& output, BlockBuffer& blockBuffer);

// Source of the key offset's clock; tests replace it. Returns the previous one.
using MillisecondClock = unsigned (*)();
MillisecondClock SetMillisecondClock(MillisecondClock clock);

}  // namespace hhx
