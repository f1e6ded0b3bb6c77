#include "lumora/cli/desktop_notice.h"

#include <systemd/sd-bus.h>

#include <cstdint>
#include <cstring>

namespace lumora::cli {
namespace {

constexpr std::uint64_t kAnswerWithinUsec = 5'000'000;

struct Bus {
  sd_bus* bus = nullptr;
  ~Bus() { sd_bus_flush_close_unref(bus); }
};

struct Message {
  sd_bus_message* message = nullptr;
  ~Message() { sd_bus_message_unref(message); }
};

struct BusError {
  sd_bus_error error = SD_BUS_ERROR_NULL;
  ~BusError() { sd_bus_error_free(&error); }
};

std::string reason(int negative_errno, const sd_bus_error* error = nullptr) {
  if (error && sd_bus_error_is_set(error) && error->message) return error->message;
  return std::strerror(-negative_errno);
}

}  // namespace

std::string send_desktop_notice(const std::string& summary, const std::string& body) {
  Bus bus;
  if (const int r = sd_bus_open_user(&bus.bus); r < 0) return "no session bus: " + reason(r);
  Message call;
  int r = sd_bus_message_new_method_call(bus.bus, &call.message, "org.freedesktop.Notifications",
                                         "/org/freedesktop/Notifications",
                                         "org.freedesktop.Notifications", "Notify");
  if (r >= 0)
    r = sd_bus_message_append(call.message, "susssasa{sv}i", "lumorafm-cli", std::uint32_t{0}, "",
                              summary.c_str(), body.c_str(), 0, 0, std::int32_t{-1});
  if (r < 0) return "cannot make the notification: " + reason(r);
  BusError error;
  Message answer;
  r = sd_bus_call(bus.bus, call.message, kAnswerWithinUsec, &error.error, &answer.message);
  if (r < 0) return "the notification service did not take it: " + reason(r, &error.error);
  return {};
}

}  // namespace lumora::cli
