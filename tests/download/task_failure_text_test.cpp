#include <gtest/gtest.h>

#include <cerrno>

#include "lumora/download/task_failure.h"
#include "lumora/text/code_page.h"

namespace lumora {
namespace {

TEST(TaskFailureText, TheWordsCarryTheStatusAndTheSystemsReason) {
  struct Case {
    TaskFailure failure;
    const char* words;
  };
  const Case cases[] = {
      {{}, ""},
      {{FailureKind::kHttpStatus, "x", 404, 0}, "HTTP 404"},
      {{FailureKind::kConnectFailed, "x", 0, ECONNREFUSED}, "connection refused"},
      {{FailureKind::kConnectFailed, "x", 0, EHOSTUNREACH}, "cannot connect: No route to host"},
      {{FailureKind::kConnectFailed, "x", 0, 0}, "cannot connect"},
      {{FailureKind::kLocalFile, "x", 0, ENOSPC}, "local file error: No space left on device"},
      {{FailureKind::kLocalFile, "x", 0, EACCES}, "local file error: Permission denied"},
      {{FailureKind::kLocalFile, "x", 0, 0}, "local file error"},
      {{FailureKind::kConnectionLost, "x", 0, ECONNRESET},
       "connection lost: Connection reset by peer"},
      {{FailureKind::kNoSize, "x", 0, 0}, "no size: the server gave no length"},
      {{FailureKind::kCertificate, "certificate not trusted: self-signed", 0, 0},
       "certificate not trusted: self-signed"},
      {{FailureKind::kFtpRefused, gbk(u8"登录失败"), 0, 0}, "the FTP server refused: 登录失败"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.words);
    EXPECT_EQ(describe(c.failure), c.words);
  }
}

}  // namespace
}  // namespace lumora
