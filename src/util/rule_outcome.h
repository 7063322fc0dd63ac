// The answer of a rule that both front ends ask (may this test be switched
// on in bulk, may this file name be used, may this module be fetched): yes,
// or no with the reason in the system's words.
#pragma once

#include <string>
#include <utility>

namespace kr {

struct RuleOutcome {
  bool allowed = true;
  std::string reason;  // why not; empty when allowed

  static RuleOutcome Allow() { return {}; }
  static RuleOutcome Refuse(std::string why) { return {false, std::move(why)}; }
  explicit operator bool() const { return allowed; }
};

}  // namespace kr
