// The task settings the album road gives the engine for one track.
#pragma once

#include "lumora/download/task_param.h"
#include "lumora/text/text.h"

namespace lumora {

// Download mode, ten connections, the walk's time-outs and block size for
// fetching `address` into the GBK `path`; every other field keeps its
// default. The event routine, a stall window and a rate cap are the
// caller's to add.
TaskParam walk_task_param(const Text& address, const Text& path);

}  // namespace lumora
