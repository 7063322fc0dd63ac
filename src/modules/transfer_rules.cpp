#include "modules/transfer_rules.h"

#include "modules/module_base.h"

namespace kr {

RuleOutcome MayDownload(const Context& ctx, std::string_view serial) {
  if (IsInDatabase(ctx, serial, Database::Local)) return RuleOutcome::Refuse("Module is already 'Local'");
  return RuleOutcome::Allow();
}

RuleOutcome MayUpload(const Context& ctx, std::string_view serial) {
  if (IsInDatabase(ctx, serial, Database::Server)) return RuleOutcome::Refuse("Module is already at 'Server'");
  return RuleOutcome::Allow();
}

}  // namespace kr
