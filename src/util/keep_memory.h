// Keeps the rounds of a timed loop: the compiler must assume that the memory
// at p is read where KeepMemory stands, so no round can be dropped or merged
// with the next. Emits no instruction.
#pragma once

namespace kr {

inline void KeepMemory(const void* p) { asm volatile("" : : "r"(p) : "memory"); }

}  // namespace kr
