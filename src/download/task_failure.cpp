#include "lumora/download/task_failure.h"

#include <cerrno>
#include <system_error>

#include "lumora/text/code_page.h"

namespace lumora {
namespace {

// The system's words for an errno; the category's message is thread-safe,
// unlike strerror.
std::string with_reason(std::string words, int error) {
  if (error == 0) return words;
  return words + ": " + std::generic_category().message(error);
}

}  // namespace

std::string describe(const TaskFailure& f) {
  switch (f.kind) {
    case FailureKind::kNone: return {};
    case FailureKind::kHttpStatus: return "HTTP " + std::to_string(f.http_status);
    case FailureKind::kNoSize: return "no size: the server gave no length";
    case FailureKind::kLocalFile: return with_reason("local file error", f.system_error);
    case FailureKind::kResolveFailed: return "host name not found";
    case FailureKind::kConnectFailed:
      if (f.system_error == ECONNREFUSED) return "connection refused";
      return with_reason("cannot connect", f.system_error);
    case FailureKind::kConnectTimeout: return "connection timed out";
    case FailureKind::kNoAnswer: return "the server stopped answering";
    case FailureKind::kConnectionLost: return with_reason("connection lost", f.system_error);
    case FailureKind::kBadRedirect: return "bad redirect";
    case FailureKind::kFtpRefused: return "the FTP server refused: " + gbk_to_utf8(f.message);
    case FailureKind::kFileChanging: return "the file kept changing on the server";
    case FailureKind::kBadAnswer: return "bad answer from the server";
    case FailureKind::kCertificate: return gbk_to_utf8(f.message);
  }
  return gbk_to_utf8(f.message);
}

}  // namespace lumora
