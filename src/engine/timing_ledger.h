// The run time the recent real-time spans used, so that a span can wait for
// the host's real-time budget instead of being stopped by it.
#pragma once

#include <array>
#include <cstdint>

namespace kr {

struct SpanLedger {
  struct Entry {
    uint64_t endUs = 0;  // wall clock at the span's end, microseconds
    uint64_t cpuUs = 0;  // the span's thread CPU time
  };
  std::array<Entry, 32> entries{};
  uint32_t next = 0;

  void Add(uint64_t endUs, uint64_t cpuUs) {
    entries[next % entries.size()] = {endUs, cpuUs};
    ++next;
  }
  // CPU time of the spans that ended after `sinceUs`.
  uint64_t UsedSince(uint64_t sinceUs) const {
    uint64_t used = 0;
    for (const Entry& e : entries)
      if (e.cpuUs != 0 && e.endUs > sinceUs) used += e.cpuUs;
    return used;
  }
};

}  // namespace kr
