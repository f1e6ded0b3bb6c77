// One running download: its parameters, segment table, local file, message
// queue, connections and control thread. Internal to the engine.
//
// Threads: the control thread runs run_control(); each connection runs on a
// thread of its own and calls the "for connections" members; the caller's
// thread reads the counters and asks for a stop. The counter lock guards the
// plan, the counters and the file's creation; the connection list is touched
// by the control thread only. The working file, its record and their lock
// are described in lumora/download/working_file.h.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <optional>
#include <string_view>
#include <vector>

#include "exchange_task.h"
#include "lumora/download/address.h"
#include "lumora/download/answer_head.h"
#include "lumora/download/local_file.h"
#include "lumora/download/resume_record.h"
#include "lumora/download/segment_plan.h"
#include "lumora/download/task_param.h"
#include "lumora/download/task_result.h"
#include "lumora/download/working_file.h"
#include "socket.h"
#include "stop_signal.h"
#include "tls_client.h"

namespace lumora {

class Connection;

class Task final : public ExchangeTask {
 public:
  Task(std::uint64_t id, TaskParam param, Address address);
  ~Task();

  // Control thread body: reopens the working file of an interrupted task
  // when it can be resumed, opens the first connection, runs the message
  // loop (saving the record as pieces end and every second) until every
  // connection has ended, then moves the whole file to its final name, keeps
  // the work after a stop or removes it after a failure, raises kind 4,
  // marks the task not alive and gives how it ended.
  TaskResult run_control();

  // Caller's thread.
  void request_stop();
  std::int64_t received() const;
  std::int64_t take_recent();
  bool alive() const { return alive_.load(); }
  // True on this task's control and connection threads.
  bool on_engine_thread() const;
  static bool on_any_engine_thread();

  // ExchangeTask, for the connections.
  void mark_engine_thread() const override;
  const TaskParam& param() const override { return param_; }
  const Address& address() const override { return address_; }
  const std::atomic<bool>& stop_mark() const override { return stop_mark_; }
  int stop_wake_fd() const override { return stop_signal_.fd(); }
  bool size_known() const override;
  std::int64_t size() const override;
  int open_connections() const override { return open_connections_.load(); }
  bool on_size_known(int connection, std::int64_t size, std::string_view answer_name,
                     int connections, std::size_t& piece) override;
  std::optional<std::size_t> take_piece(int connection) override;
  void release_piece(std::size_t piece) override;
  Segment piece(std::size_t index) const override;
  std::int64_t store(std::size_t piece, std::int64_t offset, const char* data,
                     std::size_t length) override;
  std::int64_t claim(std::size_t piece, std::size_t length, std::int64_t& offset) override;
  std::int64_t store_claimed(std::size_t piece, std::int64_t offset, int pipe_fd,
                             std::size_t length) override;
  void on_upload_size(int connection, std::int64_t size, std::size_t& piece) override;
  void count_sent(std::size_t piece, std::int64_t n) override;
  std::optional<Text> resume_validator() const override;
  bool resume_pending() const override;
  bool confirm_resume(const AnswerHead& answer, std::int64_t asked) override;
  bool confirm_resume_by_size(std::int64_t size, bool resumable) override;
  void note_validators(Text etag, Text last_modified) override;
  bool same_version(const AnswerHead& answer) override;
  void note_ranges_ignored() override;
  void fail() override;
  TlsClient& tls_client() override { return tls_client_; }
  bool logging() const override { return static_cast<bool>(param_.log_routine); }
  void log(int level, Text message) override;
  void report_trouble(TaskFailure trouble) override;
  void post_event(TaskEventKind kind, int connection, std::int64_t value,
                  std::int64_t value2) override;
  void post_connection_ended(int connection) override;

 private:
  struct Message {
    enum class Type { kOpen, kEvent, kLog, kEnded };
    explicit Message(Type t, int n = 0, TaskEvent e = {}) : type(t), number(n), event(e) {}
    Type type;
    int number;  // kOpen: connections to open; kLog: level; kEnded: connection
    TaskEvent event;
    Text time, text;
  };

  void post(Message m);
  std::optional<Message> next_message();
  void handle(Message& m);
  void open_connections(int count);
  void join_connection(int id);
  int raise_direct(const TaskEvent& event, Text* save_path = nullptr);
  // Kind 2: with mode bit 0x10 the routine's answer becomes the task's mode
  // flags; false when they no longer ask for a download.
  bool decide_mode(int connection, std::int64_t size);
  bool create_file(int connection, std::int64_t size, Text path);
  Text settle_path(std::string_view answer_name) const;
  bool take_working_file(std::int64_t size, Text& path, bool renumber);
  void drain_queue();
  TaskOutcome finish();
  // What the caller receives once the task has ended as `outcome`.
  TaskResult result_of(TaskOutcome outcome) const;
  // Counts `n` reserved bytes of the piece once written, or fails the task.
  std::int64_t settle(std::size_t piece, bool written, std::int64_t n);
  bool finish_complete();
  // Resume: reopens the working file of the final name when its record is
  // trustworthy and for this address; the plan then holds what is stored.
  void prepare_resume();
  // The final name whose working file a resume looks for before any answer
  // has come; empty when only an answer can tell it.
  Text resume_path() const;
  void abandon_resume();
  // The record of the plan as it stands; `connections_running` when blocks
  // may still be on their way into the file.
  ResumeRecord record_locked(bool connections_running) const;
  // After every connection has ended: when the file changed on the server,
  // drops what is stored and opens a first connection again. False when
  // the task ends instead.
  bool start_over_if_changed();
  // Saves the record when a piece has ended or the interval has passed,
  // after flushing the data it claims. Control thread.
  void save_record_if_due();
  // Stops the task, as stalled, once stall_timeout_ms has passed with less
  // than kStallFloor bytes stored. Control thread.
  void give_up_if_stalled();

  const std::uint64_t id_;
  const TaskParam param_;
  const Address address_;

  std::atomic<int> mode_flags_{param_.mode_flags};
  std::atomic<bool> alive_{true};
  std::atomic<bool> stop_mark_{false};
  StopSignal stop_signal_;  // raised right after stop_mark_
  std::atomic<bool> stop_requested_{false};
  std::atomic<bool> failed_{false};
  std::atomic<bool> size_event_raised_{false};
  std::atomic<int> open_connections_{0};

  mutable std::mutex counter_mutex_;
  SegmentPlan plan_{param_.min_piece};
  std::int64_t received_ = 0;
  std::int64_t recent_ = 0;
  LocalFile file_;
  // Written only before the plan is cut, or by the control thread once
  // every connection has ended; read by the control thread after it has
  // seen the plan cut under the counter lock.
  WorkingFile working_;
  Text etag_, last_modified_;    // counter lock
  Text written_path_;            // counter lock; set as the task ends
  TaskFailure trouble_;          // counter lock
  bool resume_pending_ = false;  // counter lock
  bool changed_ = false;         // counter lock: the file changed on the server
  int restarts_ = 0;             // counter lock
  std::size_t saved_done_ = 0;   // control thread
  std::chrono::steady_clock::time_point last_save_{};
  std::chrono::steady_clock::time_point last_progress_{};  // control thread
  std::int64_t stall_mark_ = 0;  // control thread: bytes stored as the window began
  std::atomic<bool> stalled_{false};

  std::mutex event_mutex_;  // one direct event call at a time

  std::mutex queue_mutex_;
  std::condition_variable queue_cv_;
  std::deque<Message> queue_;

  TlsClient tls_client_;
  std::vector<std::unique_ptr<Connection>> connections_;  // control thread only
  int next_connection_id_ = 1;
};

}  // namespace lumora
