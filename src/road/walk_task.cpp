#include "lumora/road/walk_task.h"

namespace lumora {

TaskParam walk_task_param(const Text& address, const Text& path) {
  TaskParam param;
  param.mode_flags = kModeDownload;
  param.url = address;
  param.save_path = path;
  param.connections = 10;
  param.connect_timeout_ms = 5000;
  param.send_timeout_ms = 5001;
  param.receive_timeout_ms = 10000;
  param.stop_wait_ms = 1000;
  param.receive_block_size = 10240;
  return param;
}

}  // namespace lumora
