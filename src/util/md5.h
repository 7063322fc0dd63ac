// The MD5 message digest (RFC 1321) with a three-call interface: Md5Init,
// then Md5Append as often as needed, then Md5Finish. Used by the MD5
// Checksuming test and for module serials.
#pragma once

#include <cstddef>
#include <cstdint>

namespace kr {

struct Md5State {
  uint64_t bitCount = 0;  // message length so far, in bits (modulo 2^64)
  uint32_t abcd[4] = {};  // chaining words A, B, C, D
  uint8_t buffer[64] = {};  // bytes of an incomplete block
};

// Starts a new message.
void Md5Init(Md5State& s);
// Appends length bytes of data (data may be null when length is 0).
void Md5Append(Md5State& s, const void* data, size_t length);
// Pads the message, appends its bit count and writes the 16-byte digest
// (A, B, C, D, each low byte first). The state must be initialised again
// before further use.
void Md5Finish(Md5State& s, uint8_t digest[16]);

// Convenience: the digest of one buffer.
void Md5Digest(const void* data, size_t length, uint8_t digest[16]);

}  // namespace kr
