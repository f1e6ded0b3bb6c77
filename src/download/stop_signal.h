// A stop that wakes waiting threads: an eventfd that becomes readable, for
// good, once raised. A connection puts it in its poll set beside the socket,
// so a wait ends on data or on a stop, with no polling slices.
// Owned by the task; raise() and fd() may be called from any thread.
#pragma once

namespace lumora {

class StopSignal {
 public:
  // Throws std::system_error when no eventfd can be made.
  StopSignal();
  ~StopSignal();
  StopSignal(const StopSignal&) = delete;
  StopSignal& operator=(const StopSignal&) = delete;

  void raise();
  // Unreadable again, for a task that starts over once every waiting
  // thread has gone.
  void lower();
  // Readable (POLLIN) from the first raise() on; never read, so it stays so.
  int fd() const { return fd_; }

 private:
  int fd_;
};

}  // namespace lumora
