#include "lumora/sim/audio_server.h"

#include <httplib.h>

#include <algorithm>
#include <vector>

#include "lumora/sim/audio_bytes.h"
#include "lumora/sim/server_runner.h"
#include "lumora/sim/stop_signal.h"
#include "lumora/sim/tls_identity.h"

namespace lumora::sim {

struct AudioServer::Entry {
  AudioFile file;             // guarded by AudioServer::mutex_
  AudioFaults faults;         // guarded by AudioServer::mutex_
  bool dropped_once = false;  // guarded by AudioServer::mutex_
  std::uint64_t version = 0;  // guarded by AudioServer::mutex_
  std::string sha256;         // guarded by AudioServer::mutex_; "" until computed
};

struct AudioServer::SentLog {
  std::mutex mutex;
  std::map<std::string, std::vector<SentSpan>, std::less<>> spans;
};

namespace {

using Clock = std::chrono::steady_clock;
constexpr std::string_view kPrefix = "/audio/";
constexpr std::string_view kMoved = "moved/";
constexpr std::size_t kPiece = 16 * 1024;

// Bytes [start, start + length) of a file, as one answer sends them.
struct Transfer {
  std::string path;
  std::uint64_t seed = 0;
  std::uint64_t start = 0;
  std::uint64_t length = 0;
  std::optional<std::uint64_t> cut_after;  // body bytes before the cut
  std::uint64_t rate_cap = 0;
  bool close_at_end = false;  // the body is delimited by closing the connection
  Clock::time_point began{};
  std::vector<std::uint8_t> buffer = std::vector<std::uint8_t>(kPiece);
};

std::string ticket_of(const AudioFile& file) {
  return "lumora_ticket=t" + std::to_string(file.seed % 1000000007u);
}

// One range of a file of `size` bytes; nullopt when the request asks for
// none or for several (both served whole), `invalid` past the end.
struct Span {
  std::uint64_t start = 0;
  std::uint64_t length = 0;
  bool invalid = false;
};

std::optional<Span> requested_span(const httplib::Request& request, std::uint64_t size) {
  if (request.ranges.size() != 1) return std::nullopt;
  const auto [first, last] = request.ranges.front();
  Span span;
  if (first < 0) {  // "bytes=-n": the last n bytes
    const auto n = std::min<std::uint64_t>(static_cast<std::uint64_t>(last), size);
    span = {size - n, n};
  } else {
    const auto start = static_cast<std::uint64_t>(first);
    std::uint64_t end = last < 0 ? size : static_cast<std::uint64_t>(last) + 1;
    end = std::min(end, size);
    if (start >= end) return Span{0, 0, true};
    span = {start, end - start};
  }
  if (span.length == 0) span.invalid = true;
  return span;
}

template <typename Log>
bool send_piece(Transfer& t, StopSignal& stop, Log& sent, std::size_t offset,
                httplib::DataSink& sink) {
  if (offset >= t.length) {
    // A failed provider is the server library's only way to close at once.
    if (t.close_at_end) return false;
    sink.done();
    return true;
  }
  if (t.cut_after && offset >= *t.cut_after) return false;
  std::uint64_t piece = std::min<std::uint64_t>(kPiece, t.length - offset);
  if (t.cut_after) piece = std::min<std::uint64_t>(piece, *t.cut_after - offset);
  if (t.rate_cap > 0) {
    if (offset == 0) t.began = Clock::now();
    piece = std::min<std::uint64_t>(piece, std::max<std::uint64_t>(1, t.rate_cap / 20));
    const auto due = t.began + std::chrono::nanoseconds(static_cast<std::int64_t>(
                                   static_cast<double>(offset) * 1e9 / static_cast<double>(t.rate_cap)));
    if (!stop.wait_until(due)) return false;
  }
  fill_audio_bytes(t.seed, t.start + offset, {t.buffer.data(), static_cast<std::size_t>(piece)});
  if (!sink.write(reinterpret_cast<const char*>(t.buffer.data()), static_cast<std::size_t>(piece)))
    return false;
  std::lock_guard lock(sent.mutex);
  sent.spans[t.path].push_back({t.start + offset, piece});
  return true;
}

// Clients may send several Cookie lines; any of them may hold the ticket.
bool holds_cookie(const httplib::Request& request, const std::string& cookie) {
  const std::size_t lines = request.get_header_value_count("Cookie");
  for (std::size_t i = 0; i < lines; ++i) {
    if (request.get_header_value("Cookie", i).find(cookie) != std::string::npos) return true;
  }
  return false;
}

void answer_text(httplib::Response& response, int status, const char* text) {
  response.status = status;
  response.set_content(text, "text/plain");
}

void answer_redirect(httplib::Response& response, const AudioFile& file, const AudioFaults& faults,
                     const std::string& absolute, const std::string& relative) {
  response.status = 302;
  response.set_header("Location", faults.relative_redirect ? relative : absolute);
  if (faults.redirect_with_cookie) response.set_header("Set-Cookie", ticket_of(file) + "; path=/");
}

// Sets the status and the length and range headers of a file answer and
// says which bytes go out.
Transfer plan_body(const AudioFile& file, const std::optional<Span>& span, const AudioFaults& faults,
                   httplib::Response& response) {
  Transfer transfer;
  transfer.path = file.path;
  transfer.seed = file.seed;
  transfer.length = file.size;
  transfer.rate_cap = faults.rate_cap;
  response.status = 200;
  response.set_header("Accept-Ranges", "bytes");
  if (!faults.no_validators) {
    response.set_header("ETag", file.etag);
    response.set_header("Last-Modified", file.last_modified);
  }
  if (span && !faults.ignore_range) {
    response.status = 206;
    if (!faults.range_without_content_range) {
      transfer.start = span->start;
      transfer.length = span->length;
      response.set_header("Content-Range", "bytes " + std::to_string(span->start) + "-" +
                                               std::to_string(span->start + span->length - 1) + "/" +
                                               std::to_string(file.size));
    }
  }
  if (faults.no_content_length) {
    response.set_header("Connection", "close");
    transfer.close_at_end = true;
  } else {
    response.set_header("Content-Length", std::to_string(transfer.length));
  }
  return transfer;
}

// A version's validators: what a host sends for one content of a file.
void stamp(AudioFile& file, std::uint64_t version) {
  file.etag = '"';
  file.etag.append(std::to_string(file.seed)).append("-").append(std::to_string(file.size));
  file.etag.append("-").append(std::to_string(version)).append("\"");
  static constexpr const char* kDays[] = {"01", "02", "03", "04", "05", "06", "07"};
  file.last_modified = std::string("Mon, ") + kDays[version % 7] + " Jan 2024 " +
                       std::to_string(10 + version % 10) + ":00:00 GMT";
}

// A Range request keeps its range only while If-Range names the content.
bool if_range_holds(const httplib::Request& request, const AudioFile& file) {
  if (!request.has_header("If-Range")) return true;
  const std::string v = request.get_header_value("If-Range");
  return v == file.etag || v == file.last_modified;
}

}  // namespace

namespace {

std::unique_ptr<httplib::Server> make_server(const TlsIdentity* tls) {
  if (!tls) return std::make_unique<httplib::Server>();
  return std::make_unique<httplib::SSLServer>(tls->certificate.get(), tls->key.get());
}

}  // namespace

AudioServer::AudioServer(const AudioServerOptions& options)
    : scheme_(options.tls ? "https" : "http"), host_(options.host),
      sent_(std::make_shared<SentLog>()), stop_(std::make_shared<StopSignal>()),
      server_(make_server(options.tls)) {
  server_->Get(R"(/audio/.*)", [this](const httplib::Request& request, httplib::Response& response) {
    serve(request, response);
  });
  runner_ = std::make_unique<ServerRunner>(*server_, log_, nullptr, host_);
}

AudioServer::~AudioServer() { stop(); }

int AudioServer::port() const { return runner_->port(); }

std::string AudioServer::base_url() const {
  const bool v6 = host_.find(':') != std::string::npos;
  return scheme_ + "://" + (v6 ? "[" + host_ + "]" : host_) + ":" + std::to_string(port());
}

AudioFile AudioServer::add_file(std::uint64_t size, AudioFaults faults) {
  auto entry = std::make_shared<Entry>();
  std::lock_guard lock(mutex_);
  const std::uint64_t number = next_number_++;
  const std::string path = std::string(kPrefix) + std::to_string(number) + ".mp3";
  entry->file = {path, base_url() + path, size, 0x4C554D4F5241ull * 31 + number, {}, {}};
  stamp(entry->file, 0);
  entry->faults = faults;
  files_.emplace(path, entry);
  return entry->file;
}

bool AudioServer::set_faults(std::string_view path, AudioFaults faults) {
  std::lock_guard lock(mutex_);
  const auto it = files_.find(path);
  if (it == files_.end()) return false;
  it->second->faults = faults;
  it->second->dropped_once = false;
  return true;
}

std::shared_ptr<AudioServer::Entry> AudioServer::find(std::string_view path) const {
  std::lock_guard lock(mutex_);
  const auto it = files_.find(path);
  return it == files_.end() ? nullptr : it->second;
}

bool AudioServer::replace_content(std::string_view path, std::uint64_t size) {
  std::lock_guard lock(mutex_);
  const auto it = files_.find(path);
  if (it == files_.end()) return false;
  Entry& e = *it->second;
  e.file.size = size;
  e.file.seed += 0x9E3779B97F4A7C15ull;
  stamp(e.file, ++e.version);
  e.sha256.clear();
  return true;
}

std::optional<AudioFile> AudioServer::file(std::string_view path) const {
  const auto entry = find(path);
  if (!entry) return std::nullopt;
  std::lock_guard lock(mutex_);
  return entry->file;
}

std::string AudioServer::sha256(std::string_view path) const {
  const auto entry = find(path);
  if (!entry) return {};
  std::unique_lock lock(mutex_);
  if (!entry->sha256.empty()) return entry->sha256;
  const AudioFile f = entry->file;
  lock.unlock();
  std::string hash = audio_sha256(f.seed, f.size);
  lock.lock();
  if (entry->file.seed == f.seed && entry->file.size == f.size) entry->sha256 = hash;
  return hash;
}

std::string AudioServer::content(std::string_view path) const {
  const std::optional<AudioFile> f = file(path);
  return f ? audio_content(f->seed, f->size) : std::string();
}

std::vector<SentSpan> AudioServer::sent(std::string_view path) const {
  std::lock_guard lock(sent_->mutex);
  const auto it = sent_->spans.find(path);
  return it == sent_->spans.end() ? std::vector<SentSpan>{} : it->second;
}

std::uint64_t AudioServer::bytes_sent(std::string_view path) const {
  std::uint64_t total = 0;
  for (const SentSpan& s : sent(path)) total += s.length;
  return total;
}

void AudioServer::clear_sent() {
  std::lock_guard lock(sent_->mutex);
  sent_->spans.clear();
}

void AudioServer::stop() {
  stop_->raise();
  runner_->stop();
}

void AudioServer::serve(const httplib::Request& request, httplib::Response& response) {
  std::string_view rest = std::string_view(request.path).substr(kPrefix.size());
  const bool moved = rest.starts_with(kMoved);
  if (moved) rest.remove_prefix(kMoved.size());
  const auto entry = find(std::string(kPrefix) + std::string(rest));
  if (!entry) return answer_text(response, 404, "no such file\n");
  AudioFile file;
  AudioFaults faults;
  {
    std::lock_guard lock(mutex_);
    file = entry->file;
    faults = entry->faults;
  }
  if (faults.first_byte_delay.count() > 0 && !stop_->wait_until(Clock::now() + faults.first_byte_delay))
    return answer_text(response, 503, "stopping\n");
  if (faults.not_found) return answer_text(response, 404, "no such file\n");
  if (!faults.redirect_to.empty()) {
    response.status = 302;
    response.set_header("Location", faults.redirect_to);
    return;
  }
  if ((faults.redirect_with_cookie || faults.relative_redirect) && !moved) {
    const std::string target = std::string(kMoved) + std::string(rest);
    return answer_redirect(response, file, faults, base_url() + std::string(kPrefix) + target, target);
  }
  if (faults.redirect_with_cookie && !holds_cookie(request, ticket_of(file)))
    return answer_text(response, 403, "ticket cookie missing\n");

  const auto span = faults.no_validators || if_range_holds(request, file)
                        ? requested_span(request, file.size)
                                                  : std::optional<Span>();
  if (span && span->invalid) {
    response.set_header("Content-Range", "bytes */" + std::to_string(file.size));
    return answer_text(response, 416, "range not satisfiable\n");
  }
  AudioFaults answer_faults = faults;
  if (faults.unsized_whole_to_stale_range && request.has_header("Range") && !span)
    answer_faults.no_content_length = true;
  Transfer transfer = plan_body(file, span, answer_faults, response);
  if (faults.drop != AudioFaults::Drop::never && transfer.length > faults.drop_after_bytes &&
      request.method != "HEAD") {
    std::lock_guard lock(mutex_);
    if (faults.drop == AudioFaults::Drop::always || !entry->dropped_once) {
      entry->dropped_once = true;
      transfer.cut_after = faults.drop_after_bytes;
    }
  }
  auto shared = std::make_shared<Transfer>(std::move(transfer));
  response.set_content_provider(
      "audio/mpeg", [shared, stop = stop_, sent = sent_](std::size_t offset, httplib::DataSink& sink) {
        return send_piece(*shared, *stop, *sent, offset, sink);
      });
}

}  // namespace lumora::sim
