// Number texts shared by status windows, report and charts.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace kr {

// A double split for display as "%lu.%0.2lu" (scale 100) or "%lu.%0.1lu"
// (scale 10): the whole part and the fraction, both truncated, never rounded.
// Values from 2^31 upward are converted as the host's unsigned conversion does.
struct FixedSplit {
  uint32_t whole;
  uint32_t frac;
};
uint32_t TruncToU32(double v);
FixedSplit SplitFixed(double value, uint32_t scale);

// "12.34" for 12.3456 with scale 100; "7.0" for 7 with scale 10.
std::string FixedText(double value, uint32_t scale = 100);

// The runtime's linear congruential generator: state = state * 1103515245 +
// 12345 (mod 2^32), each draw returns state mod 2147483647.
class Lcg {
 public:
  explicit Lcg(uint32_t seed) : state_(seed) {}
  uint32_t Next() {
    state_ = state_ * 1103515245u + 12345u;
    return state_ % 2147483647u;
  }

 private:
  uint32_t state_;
};

// dos.library StrToLong: skips blanks and tabs, reads an optionally signed
// decimal number; returns the characters used, or -1 without digits. Digits
// beyond the ninth stop adding to the value (no overflow).
int StrToLong(std::string_view s, long& value);

// printf into a std::string (C locale number forms are used by every caller).
std::string Format(const char* fmt, ...) __attribute__((format(printf, 1, 2)));

// The size text of a byte count (short form): seven groups of three digits
// with unit letters, as the report's drive block and the free-space request
// show it.
std::string SizeText(uint64_t bytes);

}  // namespace kr
