#include <sys/utsname.h>

#include "modules/module_record.h"

namespace kr {

std::string NativeBuildText() {
  utsname u{};
  std::string machine = uname(&u) == 0 ? std::string(u.machine) : std::string("unknown");
  std::string text = "Linux (" + machine + ")";
  if (text.size() > mod::kBuildWidth - 1) text.resize(mod::kBuildWidth - 1);
  return text;
}

}  // namespace kr
