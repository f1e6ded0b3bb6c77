// What ends a run's work early: Ctrl+C, SIGTERM (systemctl stop) or SIGHUP
// (the terminal closed), or standard output that can no longer be written.
// The handlers only raise a flag; the main thread looks at it every few tens
// of milliseconds and stops the running tasks, whose work is kept.
#pragma once

namespace lumora::cli {

// Installs the handlers of SIGINT, SIGTERM and SIGHUP (once; later calls do
// nothing).
void install_interrupt_handler();
// True once one of those signals has arrived or stop_for_output() was
// called. Any thread.
bool interrupted();
// The signal that arrived first; 0 when none did.
int interrupt_signal();
// Raises the flag without a signal: output failed (see standard_output.h).
void stop_for_output();
// The exit code of an interrupted run: 128 + the signal (130 for Ctrl+C,
// 143 for SIGTERM); 1 when output failed.
int interrupted_exit_code();

}  // namespace lumora::cli
