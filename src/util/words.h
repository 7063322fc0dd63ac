// Blank-separated words of a line, as /proc and /sys files write them.
#pragma once

#include <string_view>
#include <vector>

namespace kr {

// The runs of characters other than ' ' in `line`, in order. The views point
// into `line`.
inline std::vector<std::string_view> SplitWords(std::string_view line) {
  std::vector<std::string_view> words;
  size_t i = 0;
  while (i < line.size()) {
    while (i < line.size() && line[i] == ' ') ++i;
    size_t start = i;
    while (i < line.size() && line[i] != ' ') ++i;
    if (i > start) words.push_back(line.substr(start, i - start));
  }
  return words;
}

}  // namespace kr
