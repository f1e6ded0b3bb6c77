// The FTP reply reader over bytes as a control connection delivers them.
#include <gtest/gtest.h>

#include "lumora/download/ftp_reply.h"

namespace lumora {
namespace {

TEST(FtpReplyTest, CutsWholeRepliesOffTheFront) {
  struct Case {
    const char* pending;
    int code;              // 0: no reply yet
    const char* last;
    const char* left;
  } cases[] = {
      {"220 ready\r\n", 220, "220 ready", ""},
      {"220 ready\r\n331 more\r\n", 220, "220 ready", "331 more\r\n"},
      {"220 rea", 0, "", "220 rea"},
      {"230-Welcome\r\n230-more\r\n", 0, "", "230-Welcome\r\n230-more\r\n"},
      {"230-Welcome\r\n 230 not yet\r\n230 done\r\n", 230, "230 done", ""},
      // A line with another code inside a multi-line reply does not end it.
      {"230-Welcome\r\n220 inner\r\n230 done\n", 230, "230 done", ""},
      {"noise\r\n150 go\n", 150, "150 go", ""},
      {"2x0 bad\r\n", 0, "", "2x0 bad\r\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.pending);
    Text pending = c.pending;
    const auto reply = take_ftp_reply(pending);
    EXPECT_EQ(reply ? reply->code : 0, c.code);
    if (reply) {
      EXPECT_EQ(reply->last, c.last);
    }
    EXPECT_EQ(pending, c.left);
  }
}

TEST(FtpReplyTest, PassiveAddress) {
  struct Case {
    const char* reply;
    const char* host;  // nullptr: refused
    int port;
  } cases[] = {
      {"227 Entering Passive Mode (127,0,0,1,195,80).", "127.0.0.1", 195 * 256 + 80},
      {"227 =(10, 1, 2, 3, 0, 21)", "10.1.2.3", 21},
      {"227 (127,0,0,1,256,1)", nullptr, 0},
      {"227 (127,0,0,1,0,0)", nullptr, 0},
      {"227 (127,0,0,1,4)", nullptr, 0},
      {"227 (127,0,0,-1,4,1)", nullptr, 0},
      {"227 (1270,0,0,1,4,1)", nullptr, 0},
      {"227 Entering Passive Mode", nullptr, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.reply);
    const auto hp = passive_address(c.reply);
    ASSERT_EQ(hp.has_value(), c.host != nullptr);
    if (!hp) continue;
    EXPECT_EQ(hp->host, c.host);
    EXPECT_EQ(hp->port, c.port);
  }
}

TEST(FtpReplyTest, ExtendedPassivePort) {
  struct Case {
    const char* reply;
    int port;  // 0: refused
  } cases[] = {
      {"229 Entering Extended Passive Mode (|||6446|)", 6446},
      {"229 Entering Extended Passive Mode (!!!65535!)", 65535},
      {"229 (|||65536|)", 0},
      {"229 (|||0|)", 0},
      {"229 (|||123456|)", 0},
      {"229 (|||6446!)", 0},
      {"229 (|||6446|", 0},
      {"229 (||2|6446|)", 0},  // no address may come between the delimiters
      {"229 (|1|::1|6446|)", 0},
      {"229 (111222)", 0},
      {"229 Entering Extended Passive Mode", 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.reply);
    const auto port = extended_passive_port(c.reply);
    ASSERT_EQ(port.has_value(), c.port != 0);
    if (port) {
      EXPECT_EQ(*port, c.port);
    }
  }
}

}  // namespace
}  // namespace lumora
