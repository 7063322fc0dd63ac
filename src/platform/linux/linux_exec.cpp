#include "platform/linux/linux_exec.h"

#include <pthread.h>
#include <sched.h>
#include <sys/mman.h>
#include <sys/sysinfo.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace kr {
namespace {
// A small header before every block keeps its size for FreeVec.
constexpr size_t kHeader = 64;
constexpr size_t kPageAlignFrom = 64 * 1024;

uint64_t MemInfoBytes(const char* key) {
  FILE* f = std::fopen("/proc/meminfo", "r");
  if (!f) return 0;
  char line[256];
  uint64_t kb = 0;
  size_t klen = std::strlen(key);
  while (std::fgets(line, sizeof line, f)) {
    if (std::strncmp(line, key, klen) == 0 && line[klen] == ':') {
      kb = std::strtoull(line + klen + 1, nullptr, 10);
      break;
    }
  }
  std::fclose(f);
  return kb * 1024;
}

#ifndef MADV_POPULATE_WRITE
#define MADV_POPULATE_WRITE 23
#endif

// Makes every page of [p, p + size) resident and writable now, so that no
// later access (inside a timed region) takes a page fault for it. The kernel
// populates the pages in one call where it can (Linux 5.14 and later);
// otherwise one byte per page is written back with its own value, which
// faults the page in without changing the contents.
void MakeResident(unsigned char* p, size_t size) {
  if (size == 0) return;
  const auto page = uintptr_t(sysconf(_SC_PAGESIZE));
  const uintptr_t first = uintptr_t(p) & ~(page - 1);
  const uintptr_t end = uintptr_t(p) + size;
  if (madvise(reinterpret_cast<void*>(first), end - first, MADV_POPULATE_WRITE) == 0) return;
  volatile unsigned char* v = p;
  for (uintptr_t a = uintptr_t(p); a < end; a = (a & ~(page - 1)) + page) {
    const size_t i = size_t(a - uintptr_t(p));
    v[i] = v[i];
  }
}
}  // namespace

void* LinuxExec::AllocVec(size_t size, uint32_t flags) {
  if (flags & MEMF_CHIP) return nullptr;
  size_t align = size >= kPageAlignFrom ? size_t(sysconf(_SC_PAGESIZE)) : kHeader;
  if (align < kHeader) align = kHeader;
  void* raw = nullptr;
  if (size > SIZE_MAX - align) return nullptr;
  if (posix_memalign(&raw, align, size + align) != 0) return nullptr;
  auto* base = static_cast<unsigned char*>(raw);
  auto* user = base + align;
  std::memcpy(user - sizeof(size_t) * 2, &align, sizeof(size_t));
  std::memcpy(user - sizeof(size_t), &size, sizeof(size_t));
  if (flags & MEMF_CLEAR) std::memset(user, 0, size);
  else if (!(flags & MEMF_UNTOUCHED)) MakeResident(user, size);
  return user;
}

void LinuxExec::FreeVec(void* p) {
  if (!p) return;
  auto* user = static_cast<unsigned char*>(p);
  size_t align;
  std::memcpy(&align, user - sizeof(size_t) * 2, sizeof(size_t));
  std::free(user - align);
}

uint64_t LinuxExec::AvailMem(uint32_t flags) {
  if (flags & MEMF_CHIP) return 0;
  return MemInfoBytes("MemAvailable");
}

uint64_t LinuxExec::TotalMem(uint32_t flags) {
  if (flags & MEMF_CHIP) return 0;
  return MemInfoBytes("MemTotal");
}

void LinuxExec::Forbid() {
  if (forbidNest_++ > 0) return;
  cpu_set_t old;
  CPU_ZERO(&old);
  pinned_ = false;
  fifo_ = false;
  if (pthread_getaffinity_np(pthread_self(), sizeof old, &old) == 0) {
    int cpu = sched_getcpu();
    if (cpu >= 0) {
      cpu_set_t one;
      CPU_ZERO(&one);
      CPU_SET(cpu, &one);
      if (pthread_setaffinity_np(pthread_self(), sizeof one, &one) == 0) {
        static_assert(sizeof(cpu_set_t) <= sizeof savedMask_);
        std::memcpy(savedMask_, &old, sizeof old);
        pinned_ = true;
      }
    }
  }
  sched_param sp{};
  if (pthread_getschedparam(pthread_self(), &savedPolicy_, &sp) == 0) {
    savedPriority_ = sp.sched_priority;
    sched_param fifo{};
    fifo.sched_priority = sched_get_priority_min(SCHED_FIFO);
    if (pthread_setschedparam(pthread_self(), SCHED_FIFO, &fifo) == 0) fifo_ = fifoSeen_ = true;
  }
}

void LinuxExec::Permit() {
  if (forbidNest_ == 0) return;
  if (--forbidNest_ > 0) return;
  if (fifo_) {
    sched_param sp{};
    sp.sched_priority = savedPriority_;
    pthread_setschedparam(pthread_self(), savedPolicy_, &sp);
    fifo_ = false;
  }
  if (pinned_) {
    cpu_set_t old;
    std::memcpy(&old, savedMask_, sizeof old);
    pthread_setaffinity_np(pthread_self(), sizeof old, &old);
    pinned_ = false;
  }
}

uint32_t LinuxExec::CacheControl(uint32_t bits, uint32_t mask) {
  uint32_t old = cacr_;
  cacr_ = (cacr_ & ~mask) | (bits & mask);
  return old;
}

namespace {
int64_t ProcNumber(const char* path) {
  FILE* f = std::fopen(path, "r");
  if (!f) return 0;
  long long v = 0;
  if (std::fscanf(f, "%lld", &v) != 1) v = 0;
  std::fclose(f);
  return v;
}
}  // namespace

Exec::RealTimeBudget LinuxExec::SpanBudget() {
  if (!fifoSeen_) return {};
  static const RealTimeBudget host = [] {
    RealTimeBudget b{ProcNumber("/proc/sys/kernel/sched_rt_runtime_us"), ProcNumber("/proc/sys/kernel/sched_rt_period_us")};
    if (b.runtimeUs <= 0 || b.periodUs <= 0 || b.runtimeUs >= b.periodUs) b = {};
    return b;
  }();
  return host;
}

void LinuxExec::CopyMem(const void* src, void* dst, size_t size) { std::memcpy(dst, src, size); }

void LinuxExec::CopyMemPasses(const void* src, void* dst, size_t size, uint32_t passes) {
  for (uint32_t pass = 0; pass < passes; ++pass) {
    std::memcpy(dst, src, size);
    // The copied bytes may be read here: no pass is merged with the next or dropped.
    asm volatile("" : : "r"(dst), "r"(src) : "memory");
  }
}

}  // namespace kr
