// Host detection: fills the system-information record and the run-state host
// flags once at start-up.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/host_probe.h"

namespace kr {

struct Context;

// Runs, in this order: the Amithlon check, the chip-memory check, the MorphOS
// check, the processor names, the memory texts, the version texts. Fills
// ctx.sysinfo (starting from its defaults) and sets ctx.run.amithlon,
// noChipMemory, morphOS, memoryInfoReady and hostModel. Nothing here fails: a
// missing library or resident leaves the default text of its field.
void CollectSystemInfo(Context& ctx, HostProbe& probe);

// "%lu.%0.2lu MB" of bytes x 0.000001, hundredths truncated.
std::string MemoryText(uint64_t bytes);

// The release-table name for ROM pair R and version.library pair V: every
// matching row replaces the name, so the last match wins; "Unknown" when no
// row matches.
std::string ReleaseName(VersionPair rom, VersionPair versionLibrary);

// The revision that the "AmigaOS ROM Update" resident names: the number
// after the first blank, then the number after the point that follows it;
// 0 when the text has no such numbers.
uint16_t RevisionFromIdentification(std::string_view ident);

}  // namespace kr
