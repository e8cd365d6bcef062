// The two key tables, supplied to the build from the key file (see keys/).
#pragma once

namespace hhx {
extern const unsigned char kKeystreamTable[256];  // K: any 256 bytes
extern const unsigned char kHeaderTable[256];     // H: a permutation of 0..255
extern const char kKeyFingerprint[];              // short hash of the key file's bytes
}  // namespace hhx
