// Why a task failed or stalled, as data for its caller: the last trouble it
// met before it ended. The log tells the same to a reader; a caller that
// reports or decides on a failure reads this instead.
#pragma once

#include <string>

#include "lumora/text/text.h"

namespace lumora {

enum class FailureKind : int {
  kNone = 0,
  kHttpStatus,      // the server answered with an error status (http_status)
  kNoSize,          // no answer told the file's length
  kLocalFile,       // the file could not be made, opened, written or synced
  kResolveFailed,   // the host name (or the proxy's) did not resolve
  kConnectFailed,   // connecting failed at once (system_error: ECONNREFUSED, ...)
  kConnectTimeout,  // connecting did not finish in time
  kNoAnswer,        // connected, then nothing came (or could be sent) in time
  kConnectionLost,  // the connection broke, or sent what cannot be read
  kBadRedirect,     // a redirect without a usable address
  kFtpRefused,      // an FTP server refused the login, a command or the transfer
  kFileChanging,    // the file changed on the server too many times
  kBadAnswer,       // an answer head that contradicts itself (two lengths, say)
  kCertificate,     // the server's certificate was refused: untrusted, another
                    // host's, expired (message: why, in plain words)
};

struct TaskFailure {
  FailureKind kind = FailureKind::kNone;
  Text message;          // the error line the log got (GBK)
  int http_status = 0;   // with kHttpStatus
  int system_error = 0;  // errno, where a system call told it; else 0
  // With kLocalFile: no file could be made under the name (refused, or
  // every number taken), as against one made and then not written,
  // reserved, synced or moved.
  bool creating = false;
};

// The words a person reads for `failure` (UTF-8), with the system's own
// reason where a system call gave one: "HTTP 404", "connection refused",
// "local file error: No space left on device". Empty for kNone. Safe from
// any thread.
std::string describe(const TaskFailure& failure);

}  // namespace lumora
