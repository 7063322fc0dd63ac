// A block device node the user may not open, asked of udisks2 over the
// system bus: Block.OpenForBenchmark hands out a descriptor when polkit
// allows it (an administrator's session, or after asking for a password).
#pragma once

#include <string>

namespace kr {

// The object path udisks2 gives the block device of a kernel name: letters
// and digits kept, every other byte as "_" and two hex digits ("dm-0" ->
// ".../block_devices/dm_2d0").
std::string UdisksBlockObjectPath(const std::string& kernelName);

// A descriptor of `node` (opened for direct I/O; for writing when asked)
// from udisks2, or -1 with `why` saying what refused it (no system bus, no
// udisks2, polkit's answer).
int OpenThroughUdisks(const std::string& node, bool writable, std::string& why);

}  // namespace kr
