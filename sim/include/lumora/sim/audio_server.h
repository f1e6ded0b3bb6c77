// HTTP audio file server of the simulator: files of any size with
// position-dependent content (audio_bytes.h), Range support, and fault modes
// per file that imitate what hosts of audio files do wrong.
//
// Paths: "/audio/<n>.mp3" is a file's own address. "/audio/moved/<n>.mp3" is
// the target of its redirects; it serves the same file with every fault
// except the redirects, and answers 403 without the ticket cookie when
// `redirect_with_cookie` is on.
//
// Normal answers: 200 with Content-Length for the whole file; 206 with
// Content-Length and "Content-Range: bytes a-b/size" for one range
// ("bytes=a-", "bytes=a-b", "bytes=-n"); 416 for a range past the end.
// Keep-alive is supported; requests with "Connection: close" are closed.
// Served over HTTPS when given a certificate, and on 127.0.0.1 or ::1.
// Every file answer carries an ETag and a Last-Modified that change when the
// file's content does; a Range request whose If-Range matches neither is
// answered with the whole file.
#pragma once

#include <chrono>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "lumora/sim/request_log.h"

namespace httplib {
class Server;
struct Request;
struct Response;
}

namespace lumora::sim {

class ServerRunner;
struct StopSignal;
struct TlsIdentity;

struct AudioServerOptions {
  // HTTPS with this certificate (the server takes its own references);
  // nullptr: plain HTTP.
  const TlsIdentity* tls = nullptr;
  std::string host = "127.0.0.1";  // or "::1"
};

// Faults combine: e.g. a redirect to a target that drops connections.
struct AudioFaults {
  enum class Drop { never, once, always };

  // "302 Found" with "Set-Cookie: lumora_ticket=...; path=/" and an absolute
  // Location; the target answers 403 unless the request's Cookie holds
  // that name=value.
  bool redirect_with_cookie = false;
  // "302 Found" with the relative "Location: moved/<n>.mp3".
  bool relative_redirect = false;
  // "302 Found" to this address, another server's say (over the other
  // scheme); empty: none.
  std::string redirect_to = {};
  bool not_found = false;          // 404 with a short text body
  bool no_content_length = false;  // body delimited by closing the connection
  // Cut the connection after `drop_after_bytes` body bytes of an answer that
  // is longer: the file's first such answer only (once) or every one.
  Drop drop = Drop::never;
  std::uint64_t drop_after_bytes = 0;
  bool ignore_range = false;                 // 200 + the whole file to a Range request
  bool range_without_content_range = false;  // 206 + the whole file, no Content-Range
  std::uint64_t rate_cap = 0;                // bytes per second per answer; 0: no cap
  std::chrono::milliseconds first_byte_delay{0};  // before the status line goes out
  bool no_validators = false;  // neither ETag nor Last-Modified, If-Range ignored
  // A Range request whose If-Range no longer holds gets the whole file
  // without its length, as from a script a server streams chunked.
  bool unsized_whole_to_stale_range = false;
};

// Body bytes the server handed to the socket for one piece of an answer.
struct SentSpan {
  std::uint64_t start = 0;  // file offset
  std::uint64_t length = 0;
};

struct AudioFile {
  std::string path;  // "/audio/<n>.mp3"
  std::string url;   // base_url() + path
  std::uint64_t size = 0;
  std::uint64_t seed = 0;  // content: fill_audio_bytes(seed, ...)
  std::string etag;        // quoted, as sent
  std::string last_modified;
};

// Starts serving on construction, stops on destruction. Every member is
// thread-safe and may be called while requests are served.
class AudioServer {
 public:
  explicit AudioServer(const AudioServerOptions& options = {});
  ~AudioServer();
  AudioServer(const AudioServer&) = delete;
  AudioServer& operator=(const AudioServer&) = delete;

  int port() const;
  // "http://127.0.0.1:<port>", "https://..." or "http://[::1]:<port>"
  std::string base_url() const;

  // A new file with its own content; paths are never reused.
  AudioFile add_file(std::uint64_t size, AudioFaults faults = {});
  // Replaces the file's faults (and forgets a "once" drop already done).
  // False when there is no such file. `path` as in AudioFile::path.
  bool set_faults(std::string_view path, AudioFaults faults);
  // Gives the file new content of `size` bytes under the same address, with
  // a new ETag and Last-Modified, as a host does when a file is replaced.
  // False when there is no such file.
  bool replace_content(std::string_view path, std::uint64_t size);
  std::optional<AudioFile> file(std::string_view path) const;
  // What went out for `path` since the last clear_sent, piece by piece.
  std::vector<SentSpan> sent(std::string_view path) const;
  std::uint64_t bytes_sent(std::string_view path) const;
  void clear_sent();
  // Expected SHA-256 (lower-case hex) of the whole file; computed once and
  // kept. Empty for an unknown path.
  std::string sha256(std::string_view path) const;
  // The whole expected content; meant for small files.
  std::string content(std::string_view path) const;

  RequestLog& log() { return log_; }
  // Ends waits in progress (slow first byte, rate cap), then the server.
  void stop();

 private:
  struct Entry;
  void serve(const httplib::Request& request, httplib::Response& response);
  std::shared_ptr<Entry> find(std::string_view path) const;

  struct SentLog;
  const std::string scheme_, host_;
  RequestLog log_;
  std::shared_ptr<SentLog> sent_;
  std::shared_ptr<StopSignal> stop_;
  mutable std::mutex mutex_;
  std::map<std::string, std::shared_ptr<Entry>, std::less<>> files_;
  std::uint64_t next_number_ = 1;
  std::unique_ptr<httplib::Server> server_;
  std::unique_ptr<ServerRunner> runner_;
};

}  // namespace lumora::sim
