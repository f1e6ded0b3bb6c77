// A stand-in for the desktop's notification service, for tests: owns
// org.freedesktop.Notifications on the session bus that
// DBUS_SESSION_BUS_ADDRESS names, answers Notify, and prints each call as
// "APP\tSUMMARY\tBODY" on standard output. Prints "ready" once it owns the
// name; runs until killed.
#include <systemd/sd-bus.h>

#include <cstdint>
#include <cstdio>

namespace {

std::uint32_t g_next_id = 1;

int on_notify(sd_bus_message* call, void*, sd_bus_error*) {
  const char* app = nullptr;
  std::uint32_t replaces = 0;
  const char* icon = nullptr;
  const char* summary = nullptr;
  const char* body = nullptr;
  int r = sd_bus_message_read(call, "susss", &app, &replaces, &icon, &summary, &body);
  if (r < 0) return r;
  std::printf("%s\t%s\t%s\n", app, summary, body);
  std::fflush(stdout);
  return sd_bus_reply_method_return(call, "u", g_next_id++);
}

int on_capabilities(sd_bus_message* call, void*, sd_bus_error*) {
  return sd_bus_reply_method_return(call, "as", 1, "body");
}

const sd_bus_vtable kNotifications[] = {
    SD_BUS_VTABLE_START(0),
    SD_BUS_METHOD("Notify", "susssasa{sv}i", "u", on_notify, SD_BUS_VTABLE_UNPRIVILEGED),
    SD_BUS_METHOD("GetCapabilities", "", "as", on_capabilities, SD_BUS_VTABLE_UNPRIVILEGED),
    SD_BUS_VTABLE_END};

}  // namespace

int main() {
  sd_bus* bus = nullptr;
  if (sd_bus_open_user(&bus) < 0) return 1;
  if (sd_bus_add_object_vtable(bus, nullptr, "/org/freedesktop/Notifications",
                               "org.freedesktop.Notifications", kNotifications, nullptr) < 0)
    return 1;
  if (sd_bus_request_name(bus, "org.freedesktop.Notifications", 0) < 0) return 1;
  std::printf("ready\n");
  std::fflush(stdout);
  for (;;) {
    const int r = sd_bus_process(bus, nullptr);
    if (r < 0) return 1;
    if (r == 0 && sd_bus_wait(bus, UINT64_MAX) < 0) return 1;
  }
}
