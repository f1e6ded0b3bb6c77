// The engine against Debian's own web servers on loopback: nginx, apache2
// (a static file, and a script whose answers come chunked), lighttpd and
// Python's http.server (HTTP/1.0, no ranges); the first three also over TLS
// with a certificate of an authority made for the test, and nginx on ::1
// alone. Each is started by the test with a config written into its folder;
// its access log counts what it sent.
#include <pwd.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>

#include "interop_fixture.h"

namespace lumora::test {
namespace {

// Per-connection pace of the "paced" paths: slow enough that a stop lands
// near half and that little is in flight past a piece's end when its
// connection closes, fast enough for a test of seconds.
constexpr int kPaceKiB = 2048;

struct HttpServer {
  const char* name;
  const char* package;
  // Writes the config into the test's folder (the access log of this run
  // under logs()/`tag`.log) and gives the command line.
  std::function<std::vector<std::string>(const InteropTest&, int port, const std::string& tag)>
      command;
  const char* path;        // the file at full speed
  const char* paced_path;  // the same paced per connection; nullptr: the server cannot
  bool ranges;
  int bytes_field;  // bytes sent in the access log, from the end; 0: not logged
  const char* log_folder = "";  // under logs()
  const char* host = "127.0.0.1";
  bool tls = false;
  // In an access log line over TLS, what a resumed session's handshake shows;
  // nullptr: the server does not log it.
  const char* resumed_mark = nullptr;
};

void write_file(const std::string& path, const std::string& text) {
  std::ofstream(path, std::ios::binary) << text;
}

std::vector<std::string> nginx(const InteropTest& t, int, const std::string& tag) {
  const std::string d = t.dir(), conf = d + "/run/nginx-" + tag + ".conf";
  write_file(conf, "worker_processes 1;\ndaemon off;\nmaster_process on;\n"
                   "pid " + d + "/run/nginx.pid;\nerror_log " + d + "/logs/nginx-error.log;\n"
                   "events { worker_connections 256; }\nhttp {\n"
                   "  log_format bytes '$request $status [$http_range] <$ssl_session_reused> "
                   "$body_bytes_sent';\n"
                   "  access_log " + d + "/logs/" + tag + ".log bytes;\n"
                   "  client_body_temp_path " + d + "/run;\n  proxy_temp_path " + d + "/run;\n"
                   "  fastcgi_temp_path " + d + "/run;\n  uwsgi_temp_path " + d + "/run;\n"
                   "  scgi_temp_path " + d + "/run;\n"
                   "  server {\n    listen " + t.host_and_port() + (t.tls() ? " ssl" : "") +
                   ";\n" +
                   (t.tls() ? "    ssl_certificate " + t.certificate_file() +
                                  ";\n    ssl_certificate_key " + t.key_file() + ";\n"
                            : "") +
                   "    location /f/ { alias " + d + "/www/; }\n"
                   "    location /paced/ { alias " + d + "/www/; limit_rate " +
                       std::to_string(kPaceKiB) + "k; }\n  }\n}\n");
  return {"/usr/sbin/nginx", "-e", d + "/logs/nginx-error.log", "-p", d + "/run", "-c", conf};
}

std::vector<std::string> apache(const InteropTest& t, int, const std::string& tag) {
  const std::string d = t.dir(), conf = d + "/run/apache-" + tag + ".conf";
  const std::string m = "/usr/lib/apache2/modules/";
  std::filesystem::create_directories(d + "/cgi");
  std::filesystem::copy_file(std::string(LUMORA_INTEROP_DIR) + "/ranged_stream.cgi",
                             d + "/cgi/ranged", std::filesystem::copy_options::skip_existing);
  std::string modules;
  for (const char* mod : {"mpm_event", "authz_core", "alias", "cgid", "ratelimit", "env", "rewrite"})
    modules += "LoadModule " + std::string(mod) + "_module " + m + "mod_" + mod + ".so\n";
  const std::string tls =
      !t.tls() ? ""
               : "LoadModule socache_shmcb_module " + m + "mod_socache_shmcb.so\n"
                 "LoadModule ssl_module " + m + "mod_ssl.so\n"
                 "SSLEngine on\nSSLCertificateFile " + t.certificate_file() + "\n"
                 "SSLCertificateKeyFile " + t.key_file() + "\n"
                 "SSLSessionCache shmcb:" + d + "/run/ssl_cache(512000)\n";
  const std::string pace = "  SetOutputFilter RATE_LIMIT\n  SetEnv rate-limit " +
                           std::to_string(kPaceKiB) + "\n";
  write_file(conf, "ServerRoot " + d + "/run\nServerName 127.0.0.1\n"
                   "Listen " + t.host_and_port() + "\n"
                   "PidFile " + d + "/run/apache.pid\nDefaultRuntimeDir " + d + "/run\n"
                   "Mutex file:" + d + "/run\n" + modules + tls +
                   "ScriptSock " + d + "/run/cgid.sock\n"
                   // As root it must hand its workers to a user.
                   "User nobody\nGroup nogroup\n"
                   "ErrorLog " + d + "/logs/apache-error.log\n"
                   // %B would be the answer's length even when the client closed early.
                   // %{...}x is known only with mod_ssl loaded.
                   "LogFormat \"%r %>s [%{Range}i] <" +
                       (t.tls() ? "%{SSL_SESSION_RESUMED}x" : "-") + "> %O\" bytes\n"
                   "CustomLog " + d + "/logs/" + tag + ".log bytes\n"
                   "DocumentRoot " + d + "/www\n"
                   "<Directory " + d + ">\n  Require all granted\n</Directory>\n"
                   "Alias /f/ " + d + "/www/\nAlias /paced/ " + d + "/www/\n"
                   "ScriptAlias /cgi/ " + d + "/cgi/\nScriptAlias /cgi-paced/ " + d + "/cgi/\n"
                   "<Location /paced/>\n" + pace + "</Location>\n"
                   // Apache drops a script's Content-Length and streams its
                   // answer chunked, and a download learns the size from its
                   // first request, which asks for no range: that one gets the
                   // static file, every ranged one the script.
                   "RewriteEngine on\n"
                   "RewriteCond %{HTTP:Range} !^$\n"
                   "RewriteRule ^/stream/(.*)$ /cgi/ranged/$1 [PT,L]\n"
                   "RewriteRule ^/stream/(.*)$ /f/$1 [PT,L]\n"
                   "RewriteCond %{HTTP:Range} !^$\n"
                   "RewriteRule ^/stream-paced/(.*)$ /cgi-paced/ranged/$1 [PT,L]\n"
                   "RewriteRule ^/stream-paced/(.*)$ /paced/$1 [PT,L]\n"
                   "<Location /cgi-paced/>\n" + pace + "</Location>\n");
  return {"/usr/sbin/apache2", "-f", conf, "-DFOREGROUND"};
}

std::vector<std::string> lighttpd(const InteropTest& t, int port, const std::string& tag) {
  const std::string d = t.dir(), conf = d + "/run/lighttpd-" + tag + ".conf";
  // It opens its logs as its own user: a folder of its own, owned by it.
  std::filesystem::create_directories(d + "/logs/lighttpd");
  if (const passwd* nobody = ::getpwnam("nobody"))
    ::chown((d + "/logs/lighttpd").c_str(), nobody->pw_uid, nobody->pw_gid);
  write_file(conf, "server.document-root = \"" + d + "/www\"\n"
                   "server.bind = \"" + t.host() + "\"\nserver.port = " + std::to_string(port) + "\n"
                   "server.pid-file = \"" + d + "/run/lighttpd.pid\"\n"
                   "server.errorlog = \"" + d + "/logs/lighttpd/error.log\"\n"
                   "server.username = \"nobody\"\nserver.groupname = \"nogroup\"\n"
                   "server.modules = ( \"mod_accesslog\", \"mod_alias\"" +
                       (t.tls() ? ", \"mod_openssl\" )\nssl.engine = \"enable\"\n"
                                  "ssl.pemfile = \"" + t.certificate_file() + "\"\n"
                                  "ssl.privkey = \"" + t.key_file() + "\"\n"
                                : " )\n") +
                   "mimetype.assign = ( \"\" => \"application/octet-stream\" )\n"
                   "accesslog.filename = \"" + d + "/logs/lighttpd/" + tag + ".log\"\n"
                   "accesslog.format = \"%r %>s [%{Range}i] %b\"\n"
                   "alias.url = ( \"/f/\" => \"" + d + "/www/\" )\n"
                   "$HTTP[\"url\"] =~ \"^/paced/\" {\n"
                   "  alias.url = ( \"/paced/\" => \"" + d + "/www/\" )\n"
                   "  connection.kbytes-per-second = " + std::to_string(kPaceKiB) + "\n}\n");
  return {"/usr/sbin/lighttpd", "-D", "-f", conf};
}

std::vector<std::string> python(const InteropTest& t, int port, const std::string&) {
  return {"/usr/bin/python3", "-m", "http.server", std::to_string(port), "--bind", "127.0.0.1",
          "--directory", t.www()};
}

const HttpServer kServers[] = {
    {"nginx", "nginx-light", nginx, "/f/", "/paced/", true, -1},
    {"apache2", "apache2", apache, "/f/", "/paced/", true, -1},
    {"apache2_chunked", "apache2", apache, "/stream/", "/stream-paced/", true, -1},
    {"lighttpd", "lighttpd", lighttpd, "/f/", "/paced/", true, -1, "lighttpd/"},
    {"python_http_server", "python3", python, "/", nullptr, false, 0},
    {"nginx_tls", "nginx-light", nginx, "/f/", "/paced/", true, -1, "", "127.0.0.1", true, "<r>"},
    {"apache2_tls", "apache2", apache, "/f/", "/paced/", true, -1, "", "127.0.0.1", true,
     "<Resumed>"},
    {"lighttpd_tls", "lighttpd-mod-openssl", lighttpd, "/f/", "/paced/", true, -1, "lighttpd/",
     "127.0.0.1", true},
    {"nginx_ipv6", "nginx-light", nginx, "/f/", "/paced/", true, -1, "", "::1"},
};

// Without a server-side pace the stop is timed by the engine's own cap.
constexpr int kCapWhenUnpaced = 8 << 20;

class HttpInterop : public InteropTest, public ::testing::WithParamInterface<HttpServer> {
 protected:
  void SetUp() override {
    InteropTest::SetUp();
    if (HasFatalFailure()) return;
    const std::string version = package_version(GetParam().package);
    ASSERT_NE(version, "") << GetParam().package << " is not installed (scripts/setup.sh)";
    RecordProperty("version", version);
    std::printf("%s %s\n", GetParam().package, version.c_str());
    if (GetParam().tls || std::string(GetParam().host) != host_) {
      ASSERT_NO_FATAL_FAILURE(listen_on(GetParam().host, GetParam().tls));
    }
  }
  void start(const std::string& tag) {
    start_server(GetParam().command(*this, port_, tag));
  }
  void restart(const std::string& tag) {
    server_.stop();
    start(tag);
  }
  std::string url(const char* prefix, const std::string& name) const {
    return (tls() ? "https://" : "http://") + host_and_port() + prefix + name;
  }
  std::string paced_url(const std::string& name) const {
    return url(GetParam().paced_path ? GetParam().paced_path : GetParam().path, name);
  }
  int cap() const { return GetParam().paced_path ? 0 : kCapWhenUnpaced; }
  std::string log_path(const std::string& tag) const {
    return logs() + "/" + GetParam().log_folder + tag + ".log";
  }
  LogTally tally(const std::string& tag) const {
    return tally_log(log_path(tag), GetParam().bytes_field);
  }
};

TEST_P(HttpInterop, WholeFileOverTenConnectionsIsExact) {
  publish("f.bin", kOldSeed);
  ASSERT_NO_FATAL_FAILURE(start("whole"));
  EXPECT_EQ(fetch(url(GetParam().path, "f.bin"), "f.bin"), TaskOutcome::kComplete)
      << engine_log();
  EXPECT_EQ(out_files(), std::vector<std::string>{"f.bin"});
  EXPECT_EQ(file_sha256(out("f.bin")), sha_of(kOldSeed));
  // The server's own count: ten requests at least where ranges are served.
  server_.stop();  // every answer logged
  if (GetParam().bytes_field != 0 && GetParam().ranges) {
    EXPECT_GE(tally("whole").entries, kConnections);
  }
  // One full handshake; every later connection resumes its session.
  if (const char* mark = GetParam().resumed_mark) {
    const LogTally all = tally("whole");
    const int resumed = lines_holding(log_path("whole"), mark);
    std::printf("[ sessions ] %s: %d handshakes, %d resumed\n", GetParam().name, all.entries,
                resumed);
    EXPECT_EQ(resumed, all.entries - 1);
  }
}

TEST_P(HttpInterop, StopAtHalfThenResumeFetchesOnlyTheRest) {
  publish("f.bin", kOldSeed);
  ASSERT_NO_FATAL_FAILURE(start("first"));
  const auto record = interrupt_at_half(paced_url("f.bin"), "f.bin", cap());
  ASSERT_TRUE(record);
  ASSERT_GT(record->received_total(), 0);
  ASSERT_NO_FATAL_FAILURE(restart("resume"));  // its own log: only the resume's requests are in it
  EXPECT_EQ(fetch(paced_url("f.bin"), "f.bin"), TaskOutcome::kComplete) << engine_log();
  EXPECT_EQ(out_files(), std::vector<std::string>{"f.bin"});
  EXPECT_EQ(file_sha256(out("f.bin")), sha_of(kOldSeed));
  if (GetParam().bytes_field == 0 || !GetParam().ranges) return;  // it can only start over
  server_.stop();  // every answer logged
  const LogTally sent = tally("resume");
  ASSERT_GE(sent.entries, 1);
  // apache2 pushes its rate limit's 0.2 s quantum at once, lighttpd up to 2 MB.
  expect_no_kept_bytes_asked(GetParam().name, *record,
                             asked_starts(log_path("resume"), LogKind::kHttpRequests), sent,
                             kBlock + kHeadAllowance);
}

TEST_P(HttpInterop, FileReplacedBetweenStopAndResumeEndsAsTheNewFile) {
  publish("f.bin", kOldSeed);
  ASSERT_NO_FATAL_FAILURE(start("first"));
  ASSERT_TRUE(interrupt_at_half(paced_url("f.bin"), "f.bin", cap()));
  // Same size, new content and time: only the validators can tell.
  publish("f.bin", kNewSeed);
  ASSERT_NO_FATAL_FAILURE(restart("resume"));
  EXPECT_EQ(fetch(paced_url("f.bin"), "f.bin"), TaskOutcome::kComplete) << engine_log();
  EXPECT_EQ(out_files(), std::vector<std::string>{"f.bin"});
  EXPECT_EQ(file_sha256(out("f.bin")), sha_of(kNewSeed));
}

INSTANTIATE_TEST_SUITE_P(Servers, HttpInterop, ::testing::ValuesIn(kServers),
                         [](const ::testing::TestParamInfo<HttpServer>& info) {
                           return std::string(info.param.name);
                         });

}  // namespace
}  // namespace lumora::test
