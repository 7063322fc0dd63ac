#include "platform/linux/udisks_open.h"

#include <fcntl.h>
#include <systemd/sd-bus.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>

namespace kr {
namespace {
// polkit may wait for the user to type a password: longer than the bus's default.
constexpr uint64_t kAnswerWithin = 120ull * 1000 * 1000;  // microseconds
}  // namespace

std::string UdisksBlockObjectPath(const std::string& kernelName) {
  std::string path = "/org/freedesktop/UDisks2/block_devices/";
  for (unsigned char c : kernelName) {
    if ((c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z')) {
      path += char(c);
    } else {
      char hex[4];
      std::snprintf(hex, sizeof hex, "_%02x", c);
      path += hex;
    }
  }
  return path;
}

int OpenThroughUdisks(const std::string& node, bool writable, std::string& why) {
  const size_t slash = node.rfind('/');
  const std::string object = UdisksBlockObjectPath(slash == std::string::npos ? node : node.substr(slash + 1));
  sd_bus* bus = nullptr;
  sd_bus_message* call = nullptr;
  sd_bus_message* reply = nullptr;
  sd_bus_error error = SD_BUS_ERROR_NULL;
  int fd = -1;
  int r = sd_bus_open_system(&bus);
  if (r < 0) {
    why = std::string("no system bus: ") + std::strerror(-r);
  } else {
    // polkit may ask the user (through an authentication agent) before it decides.
    sd_bus_set_allow_interactive_authorization(bus, 1);
    r = sd_bus_message_new_method_call(bus, &call, "org.freedesktop.UDisks2", object.c_str(),
                                       "org.freedesktop.UDisks2.Block", "OpenForBenchmark");
    if (r >= 0) r = sd_bus_message_append(call, "a{sv}", 1, "writable", "b", int(writable));
    if (r < 0) {
      why = std::string("cannot build the request: ") + std::strerror(-r);
    } else if ((r = sd_bus_call(bus, call, kAnswerWithin, &error, &reply)) < 0) {
      why = error.message ? error.message : std::strerror(-r);
    } else {
      int passed = -1;
      r = sd_bus_message_read(reply, "h", &passed);
      // The descriptor belongs to the message: keep a copy of our own.
      if (r < 0 || (fd = ::fcntl(passed, F_DUPFD_CLOEXEC, 3)) < 0)
        why = std::string("no descriptor in the answer: ") + std::strerror(r < 0 ? -r : errno);
    }
  }
  sd_bus_error_free(&error);
  sd_bus_message_unref(reply);
  sd_bus_message_unref(call);
  sd_bus_flush_close_unref(bus);
  if (fd < 0) why = "udisks2: " + why;
  return fd;
}

}  // namespace kr
