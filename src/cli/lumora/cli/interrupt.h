// Ctrl+C during `get`: the handler only raises a flag; the main thread looks
// at it every few tens of milliseconds and stops the running tasks.
#pragma once

namespace lumora::cli {

inline constexpr int kExitInterrupted = 130;

// Installs the SIGINT handler (once; later calls do nothing).
void install_interrupt_handler();
// True once SIGINT has arrived. Any thread.
bool interrupted();

}  // namespace lumora::cli
