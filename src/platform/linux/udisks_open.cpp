#include "platform/linux/udisks_open.h"

#include <dlfcn.h>
#include <fcntl.h>
#include <systemd/sd-bus.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>

namespace kr {
namespace {
// polkit may wait for the user to type a password: longer than the bus's default.
constexpr uint64_t kAnswerWithin = 120ull * 1000 * 1000;  // microseconds

// libsystemd is loaded when a node is first asked of udisks2, not at every
// start: it brings six libraries of its own that no other command needs.
// The header gives the functions' types; the library their addresses.
struct SdBus {
  decltype(&sd_bus_open_system) open_system = nullptr;
  decltype(&sd_bus_set_allow_interactive_authorization) set_allow_interactive_authorization = nullptr;
  decltype(&sd_bus_message_new_method_call) message_new_method_call = nullptr;
  decltype(&sd_bus_message_append) message_append = nullptr;
  decltype(&sd_bus_call) call = nullptr;
  decltype(&sd_bus_message_read) message_read = nullptr;
  decltype(&sd_bus_error_free) error_free = nullptr;
  decltype(&sd_bus_message_unref) message_unref = nullptr;
  decltype(&sd_bus_flush_close_unref) flush_close_unref = nullptr;
  std::string failure;  // why the library is not there; empty when it is
};

template <typename F>
bool Resolve(void* lib, const char* name, F& fn, std::string& failure) {
  fn = reinterpret_cast<F>(dlsym(lib, name));
  if (!fn && failure.empty()) failure = std::string("libsystemd.so.0 has no ") + name;
  return fn != nullptr;
}

// Loaded once for the process and kept (the library is never unloaded).
const SdBus& LoadSdBus() {
  static const SdBus bus = [] {
    SdBus b;
    void* lib = dlopen("libsystemd.so.0", RTLD_NOW | RTLD_LOCAL);
    if (!lib) {
      const char* err = dlerror();
      b.failure = std::string("cannot load libsystemd.so.0: ") + (err ? err : "not found");
      return b;
    }
    Resolve(lib, "sd_bus_open_system", b.open_system, b.failure);
    Resolve(lib, "sd_bus_set_allow_interactive_authorization", b.set_allow_interactive_authorization, b.failure);
    Resolve(lib, "sd_bus_message_new_method_call", b.message_new_method_call, b.failure);
    Resolve(lib, "sd_bus_message_append", b.message_append, b.failure);
    Resolve(lib, "sd_bus_call", b.call, b.failure);
    Resolve(lib, "sd_bus_message_read", b.message_read, b.failure);
    Resolve(lib, "sd_bus_error_free", b.error_free, b.failure);
    Resolve(lib, "sd_bus_message_unref", b.message_unref, b.failure);
    Resolve(lib, "sd_bus_flush_close_unref", b.flush_close_unref, b.failure);
    return b;
  }();
  return bus;
}
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
  const SdBus& sd = LoadSdBus();
  if (!sd.failure.empty()) {
    why = "udisks2: no system bus: " + sd.failure;
    return -1;
  }
  const size_t slash = node.rfind('/');
  const std::string object = UdisksBlockObjectPath(slash == std::string::npos ? node : node.substr(slash + 1));
  sd_bus* bus = nullptr;
  sd_bus_message* call = nullptr;
  sd_bus_message* reply = nullptr;
  sd_bus_error error = SD_BUS_ERROR_NULL;
  int fd = -1;
  int r = sd.open_system(&bus);
  if (r < 0) {
    why = std::string("no system bus: ") + std::strerror(-r);
  } else {
    // polkit may ask the user (through an authentication agent) before it decides.
    sd.set_allow_interactive_authorization(bus, 1);
    r = sd.message_new_method_call(bus, &call, "org.freedesktop.UDisks2", object.c_str(),
                                   "org.freedesktop.UDisks2.Block", "OpenForBenchmark");
    if (r >= 0) r = sd.message_append(call, "a{sv}", 1, "writable", "b", int(writable));
    if (r < 0) {
      why = std::string("cannot build the request: ") + std::strerror(-r);
    } else if ((r = sd.call(bus, call, kAnswerWithin, &error, &reply)) < 0) {
      why = error.message ? error.message : std::strerror(-r);
    } else {
      int passed = -1;
      r = sd.message_read(reply, "h", &passed);
      // The descriptor belongs to the message: keep a copy of our own.
      if (r < 0 || (fd = ::fcntl(passed, F_DUPFD_CLOEXEC, 3)) < 0)
        why = std::string("no descriptor in the answer: ") + std::strerror(r < 0 ? -r : errno);
    }
  }
  sd.error_free(&error);
  sd.message_unref(reply);
  sd.message_unref(call);
  sd.flush_close_unref(bus);
  if (fd < 0) why = "udisks2: " + why;
  return fd;
}

}  // namespace kr
