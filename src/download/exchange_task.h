// What a connection and its HTTP and FTP exchanges use of their task: the
// parameters and address they read, the pieces they take and fill, the stop
// mark, the events and log lines they report. The task implements it; an
// exchange can be driven against another implementation without the rest of
// the engine.
//
// Threads: every member may be called on any connection thread at once,
// unless it says otherwise.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>

#include "lumora/download/address.h"
#include "lumora/download/answer_head.h"
#include "lumora/download/segment_plan.h"
#include "lumora/download/task_failure.h"
#include "lumora/download/task_param.h"

namespace lumora {

class TlsClient;

class ExchangeTask {
 public:
  virtual ~ExchangeTask() = default;

  // Called first on each connection thread.
  virtual void mark_engine_thread() const = 0;

  // Fixed for the task's life; the references stay valid as long as it.
  virtual const TaskParam& param() const = 0;
  virtual const Address& address() const = 0;
  // Raised once the task is asked to stop or has failed.
  virtual const std::atomic<bool>& stop_mark() const = 0;
  // Readable once the stop mark is raised: for a connection's poll set.
  virtual int stop_wake_fd() const = 0;

  virtual bool size_known() const = 0;
  // Bytes; meaningful once size_known().
  virtual std::int64_t size() const = 0;
  virtual int open_connections() const = 0;
  // The first connection learnt the size: names and creates the file, cuts
  // the plan (`connections` pieces), gives it segment 0 in `piece` and asks
  // for the other connections. False when the task must fail (logged).
  virtual bool on_size_known(int connection, std::int64_t size, std::string_view answer_name,
                             int connections, std::size_t& piece) = 0;
  // The next piece for `connection`, split off a running one when none is
  // free; nothing once the plan is done.
  virtual std::optional<std::size_t> take_piece(int connection) = 0;
  // Gives back a piece the connection will not finish.
  virtual void release_piece(std::size_t piece) = 0;
  // Where the piece stands now.
  virtual Segment piece(std::size_t index) const = 0;

  // Results of store() and store_claimed() besides the bytes stored.
  static constexpr std::int64_t kStoreBadOffset = -1;
  static constexpr std::int64_t kStoreFailed = -2;
  // Stores a block whose first byte belongs at `offset`, clipped to the
  // piece's current end. Returns the bytes stored, kStoreBadOffset when
  // `offset` is not the piece's next offset, or kStoreFailed when the file
  // refused the write (logged; the task then fails).
  virtual std::int64_t store(std::size_t piece, std::int64_t offset, const char* data,
                             std::size_t length) = 0;
  // Claims up to `length` bytes at the piece's next offset (`offset`) for a
  // receive that goes from the socket into the file without the connection
  // buffer, so no split gives them away meanwhile. Returns the room, 0 when
  // the piece has none. Called again before store_claimed(), it widens the
  // claim (never below what it held). store_claimed() must follow, with the
  // bytes that arrived in `pipe_fd` (0 when none did).
  virtual std::int64_t claim(std::size_t piece, std::size_t length, std::int64_t& offset) = 0;
  // Moves the `length` claimed bytes waiting in `pipe_fd` into the file and
  // counts them. Same results as store().
  virtual std::int64_t store_claimed(std::size_t piece, std::int64_t offset, int pipe_fd,
                                     std::size_t length) = 0;
  // An upload's size is known (the local file's): the plan becomes one
  // piece, given to `connection` in `piece`; no file is made.
  virtual void on_upload_size(int connection, std::int64_t size, std::size_t& piece) = 0;
  // Counts `n` bytes of the piece as sent (an upload's progress).
  virtual void count_sent(std::size_t piece, std::int64_t n) = 0;

  // A resumed task's first connection: the validator its request sends
  // with If-Range until the server has confirmed the stored bytes.
  virtual std::optional<Text> resume_validator() const = 0;
  virtual bool resume_pending() const = 0;
  // Checks the first answer of a resumed task (to a request from `asked`)
  // against the record. True: the stored bytes stand and the further
  // connections are asked for. False: the table is dropped and the task
  // starts over as a fresh download; the caller's piece no longer exists.
  virtual bool confirm_resume(const AnswerHead& answer, std::int64_t asked) = 0;
  // The same check for a server that tells only the size and whether it
  // can start a transfer at an offset (FTP's SIZE and REST).
  virtual bool confirm_resume_by_size(std::int64_t size, bool resumable) = 0;
  // The validators of the answer that gave the size, for the record.
  virtual void note_validators(Text etag, Text last_modified) = 0;
  // Compares a piece answer's validators with those of the answer that gave
  // the size. False when they differ: the file changed on the server, so
  // what is stored is dropped and the task starts over once every
  // connection has ended (failing instead after too many changes); the
  // caller's attempt ends at once.
  virtual bool same_version(const AnswerHead& answer) = 0;
  // The server ignored a Range: no more splitting, each piece reads from 0.
  virtual void note_ranges_ignored() = 0;
  // A failure no retry can mend: every connection is asked to end.
  virtual void fail() = 0;
  // The task's TLS side, shared by its connections: what lets a later
  // connection resume an earlier one's session.
  virtual TlsClient& tls_client() = 0;

  // False when nobody reads the log: callers may skip building lines.
  virtual bool logging() const = 0;
  virtual void log(int level, Text message) = 0;
  // Logs the trouble's message as an error line and keeps the trouble as
  // the task's latest, which its caller reads when the task fails or
  // stalls. Troubles after the task has failed are logged only.
  virtual void report_trouble(TaskFailure trouble) = 0;
  virtual void post_event(TaskEventKind kind, int connection, std::int64_t value,
                          std::int64_t value2) = 0;
  // The connection's last word; its thread ends right after.
  virtual void post_connection_ended(int connection) = 0;
};

}  // namespace lumora
