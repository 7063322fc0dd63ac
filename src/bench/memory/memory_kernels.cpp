#include "bench/memory/memory_kernels.h"

#include <cstring>
#include <utility>

namespace kr {
namespace {

// Element types that may alias the byte buffers (and the ROM image) they
// are read from and written to.
using U8 = uint8_t;
using U16 = uint16_t __attribute__((may_alias));
using U32 = uint32_t __attribute__((may_alias));

// One element: a volatile load into the volatile sink.
template <typename T>
inline __attribute__((always_inline)) void ReadOne(const volatile T* p, volatile T& sink) {
  sink = *p;
}
// One element: a volatile store of the value read anew from the source.
template <typename T>
inline __attribute__((always_inline)) void WriteOne(volatile T* p, const volatile T& source) {
  *p = source;
}

// One group: element K of the group for every K, in ascending order, one
// statement per element.
template <typename T, size_t... K>
inline __attribute__((always_inline)) void ReadGroup(const volatile T* p, volatile T& sink, std::index_sequence<K...>) {
  (ReadOne(p + K, sink), ...);
}
template <typename T, size_t... K>
inline __attribute__((always_inline)) void WriteGroup(volatile T* p, const volatile T& source,
                                                      std::index_sequence<K...>) {
  (WriteOne(p + K, source), ...);
}

template <typename T>
inline void ReadLoop(const uint8_t* block, uint32_t bytes, uint32_t passes) {
  constexpr uint32_t kGroup = GroupOfWidth(sizeof(T));
  const volatile T* p = reinterpret_cast<const volatile T*>(block);
  volatile T sink = 0;
  const volatile T* end = p + bytes / uint32_t(sizeof(T)) / kGroup * kGroup;
  for (uint32_t pass = 0; pass < passes; ++pass)
    for (const volatile T* q = p; q < end; q += kGroup) ReadGroup(q, sink, std::make_index_sequence<kGroup>());
}

// One pass of the 32-bit read in a function of its own: the loop then has
// its own alignment and registers, whatever the pass loop around it looks
// like. Every pass still loads every element (the loads are volatile).
__attribute__((noinline)) void ReadPass32(const volatile U32* p, const volatile U32* end, volatile U32& sink) {
  constexpr uint32_t kGroup = GroupOfWidth(4);
  for (const volatile U32* q = p; q < end; q += kGroup) ReadGroup(q, sink, std::make_index_sequence<kGroup>());
}

template <typename T>
inline void WriteLoop(uint8_t* block, uint32_t bytes, uint32_t passes) {
  constexpr uint32_t kGroup = GroupOfWidth(sizeof(T));
  volatile T* p = reinterpret_cast<volatile T*>(block);
  volatile T source = 0;
  volatile T* end = p + bytes / uint32_t(sizeof(T)) / kGroup * kGroup;
  for (uint32_t pass = 0; pass < passes; ++pass)
    for (volatile T* q = p; q < end; q += kGroup) WriteGroup(q, source, std::make_index_sequence<kGroup>());
}

}  // namespace

__attribute__((noinline)) void ReadKernel8(const uint8_t* block, uint32_t bytes, uint32_t passes) {
  ReadLoop<U8>(block, bytes, passes);
}
__attribute__((noinline)) void ReadKernel16(const uint8_t* block, uint32_t bytes, uint32_t passes) {
  ReadLoop<U16>(block, bytes, passes);
}
__attribute__((noinline)) void ReadKernel32(const uint8_t* block, uint32_t bytes, uint32_t passes) {
  constexpr uint32_t kGroup = GroupOfWidth(4);
  const volatile U32* p = reinterpret_cast<const volatile U32*>(block);
  volatile U32 sink = 0;
  const volatile U32* end = p + bytes / 4u / kGroup * kGroup;
  for (uint32_t pass = 0; pass < passes; ++pass) ReadPass32(p, end, sink);
}

__attribute__((noinline)) void WriteKernel8(uint8_t* block, uint32_t bytes, uint32_t passes) {
  WriteLoop<U8>(block, bytes, passes);
}
__attribute__((noinline)) void WriteKernel16(uint8_t* block, uint32_t bytes, uint32_t passes) {
  WriteLoop<U16>(block, bytes, passes);
}
__attribute__((noinline)) void WriteKernel32(uint8_t* block, uint32_t bytes, uint32_t passes) {
  WriteLoop<U32>(block, bytes, passes);
}

void CopyKernel(Exec& exec, const uint8_t* source, uint8_t* destination, uint32_t bytes, uint32_t passes) {
  exec.CopyMemPasses(source, destination, bytes, passes);
}

__attribute__((noinline)) void FillKernel(uint8_t* block, uint32_t bytes, uint32_t passes) {
  for (uint32_t pass = 0; pass < passes; ++pass) {
    std::memset(block, 0, bytes);
    // Tells the compiler the filled bytes may be read here, so repeated
    // fills of the same block are neither merged nor dropped.
    asm volatile("" : : "r"(block) : "memory");
  }
}

bool AllocKernel(Exec& exec, uint32_t bytes, uint32_t flags, uint32_t passes) {
  for (uint32_t pass = 0; pass < passes; ++pass) {
    void* p = exec.AllocVec(bytes, flags);
    if (p == nullptr) return false;
    exec.FreeVec(p);
  }
  return true;
}

}  // namespace kr
