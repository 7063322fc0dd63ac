// The measured kernels of the memory tests. Each runs `passes` passes over
// one block and does nothing else: no allocation, no output, no waiting, so
// it may run inside a timed region.
//
// Read and write kernels make exactly one volatile access per element, in
// ascending address order, in groups of 8 (bytes), 16 (16-bit words) or 32
// (32-bit longwords) per loop iteration. The groups are expanded at compile
// time (one statement per element), and the volatile qualifiers keep the
// compiler from merging, widening or vectorising the accesses. The loop
// control (index below the element count, stepping by the group size) is the
// shape the loop-overhead calibrations of engine/timing.h run without the
// accesses.
//
// The block must hold a whole number of groups (128-byte multiples always
// do); a trailing partial group is not touched.
#pragma once

#include <cstdint>

#include "platform/exec.h"

namespace kr {

// Elements per loop iteration for an access width of 1, 2 or 4 bytes.
constexpr uint32_t GroupOfWidth(uint32_t width) { return width == 1 ? 8 : width == 2 ? 16 : 32; }

// Every element loaded once per pass into a volatile sink of its width.
void ReadKernel8(const uint8_t* block, uint32_t bytes, uint32_t passes);
void ReadKernel16(const uint8_t* block, uint32_t bytes, uint32_t passes);
void ReadKernel32(const uint8_t* block, uint32_t bytes, uint32_t passes);

// Every element stored once per pass with the value read anew from a
// volatile source that holds 0.
void WriteKernel8(uint8_t* block, uint32_t bytes, uint32_t passes);
void WriteKernel16(uint8_t* block, uint32_t bytes, uint32_t passes);
void WriteKernel32(uint8_t* block, uint32_t bytes, uint32_t passes);

// One host copy of the whole block per pass.
void CopyKernel(Exec& exec, const uint8_t* source, uint8_t* destination, uint32_t bytes, uint32_t passes);

// One fill of the block with zero bytes per pass; every fill really happens.
void FillKernel(uint8_t* block, uint32_t bytes, uint32_t passes);

// One allocation of `bytes` with `flags` and its release per pass. Stops at
// the first allocation that fails and returns false then.
bool AllocKernel(Exec& exec, uint32_t bytes, uint32_t flags, uint32_t passes);

}  // namespace kr
