// The rules of a module transfer, asked by the Module Base window before it
// starts a transfer and by the transfers themselves: a module is fetched
// only when the Local database does not hold it, and mailed only when the
// Server database does not list it.
#pragma once

#include <string_view>

#include "engine/context.h"
#include "util/rule_outcome.h"

namespace kr {

// Refused with "Module is already 'Local'" when the Local database holds `serial`.
RuleOutcome MayDownload(const Context& ctx, std::string_view serial);
// Refused with "Module is already at 'Server'" when the Server database lists `serial`.
RuleOutcome MayUpload(const Context& ctx, std::string_view serial);

}  // namespace kr
