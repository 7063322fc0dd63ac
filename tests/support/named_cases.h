// Tables of cases as parameterised tests, each case a named entry: ctest
// and the gtest output then name the case that failed, and one case can be
// run alone (ctest -R 'HttpBadResponse.*/Status404').
//
//   struct Case { const char* name; ... };
//   class Suite : public ::testing::TestWithParam<Case> {};
//   TEST_P(Suite, Behaviour) { const Case& c = GetParam(); ... }
//   INSTANTIATE_TEST_SUITE_P(Group, Suite, ::testing::ValuesIn(Cases()), test::ByCaseName());
//
// A case type also gets a PrintTo giving its name, so gtest does not print
// its bytes.
#pragma once

#include <gtest/gtest.h>

#include <cctype>
#include <string>
#include <string_view>

namespace kr::test {

// A test name made of a case's own words: letters and digits kept, every
// word started with a capital ("body shorter than Content-Length" becomes
// "BodyShorterThanContentLength").
inline std::string CaseName(std::string_view words) {
  std::string name;
  bool start = true;
  for (char ch : words) {
    const unsigned char u = static_cast<unsigned char>(ch);
    if (!std::isalnum(u)) {
      start = true;
      continue;
    }
    name += start ? char(std::toupper(u)) : ch;
    start = false;
  }
  return name.empty() ? "Unnamed" : name;
}

// Names every case of a parameterised suite by its `name`.
struct ByCaseName {
  template <class Case>
  std::string operator()(const ::testing::TestParamInfo<Case>& info) const {
    return CaseName(info.param.name);
  }
};

}  // namespace kr::test
