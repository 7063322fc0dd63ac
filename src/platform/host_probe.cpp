#include "platform/host_probe.h"

namespace kr {
namespace {
constexpr size_t kIdentificationMax = 31;  // a 32-byte record text with its terminator
}  // namespace

std::string CutIdentification(std::string_view ident) {
  size_t paren = ident.find('(');
  if (paren != std::string_view::npos) {
    ident = ident.substr(0, paren);
    while (!ident.empty() && (ident.back() == ' ' || ident.back() == '\t')) ident.remove_suffix(1);
  }
  if (ident.size() > kIdentificationMax) ident = ident.substr(0, kIdentificationMax);
  return std::string(ident);
}

}  // namespace kr
