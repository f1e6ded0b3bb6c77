#include "tls_stream.h"

#include <openssl/err.h>
#include <openssl/ssl.h>
#include <openssl/x509.h>
#include <poll.h>
#include <sys/socket.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <string>

#include "certificate_words.h"

namespace lumora {
namespace {

using Clock = std::chrono::steady_clock;

// OpenSSL's own socket BIO writes with write(), which raises SIGPIPE on a
// closed connection; the engine must not change the program's signals.
int bio_fd(BIO* bio) {
  return static_cast<int>(reinterpret_cast<std::intptr_t>(BIO_get_data(bio)));
}

bool would_block() { return errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR; }

int bio_write(BIO* bio, const char* data, int length) {
  BIO_clear_retry_flags(bio);
  const ssize_t n = ::send(bio_fd(bio), data, static_cast<std::size_t>(length), MSG_NOSIGNAL);
  if (n < 0 && would_block()) BIO_set_retry_write(bio);
  return static_cast<int>(n);
}

int bio_read(BIO* bio, char* data, int length) {
  BIO_clear_retry_flags(bio);
  const ssize_t n = ::recv(bio_fd(bio), data, static_cast<std::size_t>(length), 0);
  if (n < 0 && would_block()) BIO_set_retry_read(bio);
  return static_cast<int>(n);
}

long bio_control(BIO*, int command, long, void*) { return command == BIO_CTRL_FLUSH ? 1 : 0; }

BIO_METHOD* make_socket_method() {
  BIO_METHOD* method = BIO_meth_new(BIO_get_new_index() | BIO_TYPE_SOURCE_SINK, "engine socket");
  if (method) {
    BIO_meth_set_write(method, bio_write);
    BIO_meth_set_read(method, bio_read);
    BIO_meth_set_ctrl(method, bio_control);
  }
  return method;
}

// Made once and kept for the process's life.
BIO* socket_bio(int fd) {
  static BIO_METHOD* const method = make_socket_method();
  BIO* bio = method ? BIO_new(method) : nullptr;
  if (bio) {
    BIO_set_data(bio, reinterpret_cast<void*>(static_cast<std::intptr_t>(fd)));
    BIO_set_init(bio, 1);
  }
  return bio;
}

short wanted_events(int error) { return error == SSL_ERROR_WANT_WRITE ? POLLOUT : POLLIN; }

bool wants_io(int error) { return error == SSL_ERROR_WANT_READ || error == SSL_ERROR_WANT_WRITE; }

// A handshake's wait that did not end ready; `overall`: it was cut to the
// handshake's own limit.
HandshakeFault wait_fault(IoStatus s, bool overall) {
  switch (s) {
    case IoStatus::kStopped: return HandshakeFault::kStopped;
    case IoStatus::kTimeout: return overall ? HandshakeFault::kTimedOut : HandshakeFault::kNoAnswer;
    default: return HandshakeFault::kBroken;
  }
}

Text reason_words() {
  const unsigned long error = ERR_get_error();
  ERR_clear_error();
  const char* reason = error ? ERR_reason_error_string(error) : nullptr;
  return reason ? Text(reason) : Text("unknown error");
}

}  // namespace

TlsStream::TlsStream(TlsClient& client, const Text& host, int port)
    : peer_(client, host + ":" + std::to_string(port), host) {
  ssl_ = client.open(host, peer_, setup_words_);
}

TlsStream::~TlsStream() { close(); }

IoStatus TlsStream::wait_wanted(int fd, int error, int timeout_ms, const StopMarks& marks) {
  return wait_socket(fd, wanted_events(error), timeout_ms, marks);
}

HandshakeResult TlsStream::handshake(int fd, const HandshakeLimits& limits,
                                     const StopMarks& marks) {
  HandshakeResult r;
  BIO* bio = ssl_ ? socket_bio(fd) : nullptr;
  if (!bio) {
    r.fault = HandshakeFault::kProtocol;
    r.words = ssl_ ? Text("TLS cannot be set up") : setup_words_;
    return r;
  }
  SSL_set_bio(ssl_.get(), bio, bio);
  const auto deadline = Clock::now() + std::chrono::milliseconds(limits.overall_ms);
  for (;;) {
    ERR_clear_error();
    const int done = SSL_connect(ssl_.get());
    if (done == 1) break;
    const int error = SSL_get_error(ssl_.get(), done);
    if (!wants_io(error)) {
      failed_ = true;
      return failed_handshake(error);
    }
    const int left = ms_until(deadline);
    const int wait = std::min(left, limits.wait_ms);
    const IoStatus s = wait_wanted(fd, error, wait, marks);
    if (s == IoStatus::kOk) continue;
    failed_ = true;
    r.fault = wait_fault(s, wait == left);
    return r;
  }
  r.resumed = SSL_session_reused(ssl_.get()) == 1;
  r.protocol = SSL_get_version(ssl_.get());
  return r;
}

HandshakeResult TlsStream::failed_handshake(int error) {
  HandshakeResult r;
  const long verified = SSL_get_verify_result(ssl_.get());
  if (peer_.refusal != 0) {
    r.fault = HandshakeFault::kCertificate;
    r.words = peer_.refusal_words;
  } else if (verified != X509_V_OK) {
    r.fault = HandshakeFault::kCertificate;
    r.words = certificate_refusal_words(static_cast<int>(verified),
                                        SSL_get0_peer_certificate(ssl_.get()), peer_.host);
  } else if (error == SSL_ERROR_SYSCALL || error == SSL_ERROR_ZERO_RETURN) {
    // The connection broke, or the peer closed it, before TLS was set up.
    r.fault = HandshakeFault::kBroken;
    socket_failure(SocketFault::kCall, error == SSL_ERROR_SYSCALL ? errno : 0);
  } else {
    r.fault = HandshakeFault::kProtocol;
    r.words = "TLS handshake failed: " + reason_words();
  }
  ERR_clear_error();
  return r;
}

IoStatus TlsStream::send_all(int fd, std::string_view data, int timeout_ms,
                             const StopMarks& marks) {
  const auto deadline = Clock::now() + std::chrono::milliseconds(timeout_ms);
  while (!data.empty()) {
    ERR_clear_error();
    std::size_t n = 0;
    if (SSL_write_ex(ssl_.get(), data.data(), data.size(), &n) == 1) {
      data.remove_prefix(n);
      continue;
    }
    const int error = SSL_get_error(ssl_.get(), 0);
    if (!wants_io(error)) return broken(error);
    // A retried write must offer the same bytes, which `data` still holds.
    const IoStatus ready = wait_wanted(fd, error, ms_until(deadline), marks);
    if (ready != IoStatus::kOk) return ready;
  }
  return IoStatus::kOk;
}

IoStatus TlsStream::receive(int fd, char* buffer, std::size_t size, std::size_t& got,
                            int timeout_ms, const StopMarks& marks) {
  got = 0;
  const auto deadline = Clock::now() + std::chrono::milliseconds(timeout_ms);
  for (;;) {
    ERR_clear_error();
    std::size_t n = 0;
    if (SSL_read_ex(ssl_.get(), buffer, size, &n) == 1) {
      got = n;
      // Records already here fill the rest, so a block is stored at once.
      while (got < size && SSL_read_ex(ssl_.get(), buffer + got, size - got, &n) == 1) got += n;
      ERR_clear_error();
      return IoStatus::kOk;
    }
    const int error = SSL_get_error(ssl_.get(), 0);
    if (error == SSL_ERROR_ZERO_RETURN) return IoStatus::kClosed;
    if (!wants_io(error)) return broken(error);
    const IoStatus ready = wait_wanted(fd, error, ms_until(deadline), marks);
    if (ready != IoStatus::kOk) return ready;
  }
}

IoStatus TlsStream::broken(int error) {
  failed_ = true;
  const int system_error = error == SSL_ERROR_SYSCALL ? errno : 0;
  ERR_clear_error();
  if (error == SSL_ERROR_SYSCALL && system_error == 0) return IoStatus::kClosed;
  return socket_failure(SocketFault::kCall, system_error);
}

void TlsStream::close() {
  if (!ssl_) return;
  // Only a connection that was set up and never failed has a goodbye to
  // say; freeing one without it would make its session unusable.
  if (!failed_ && SSL_is_init_finished(ssl_.get())) {
    SSL_shutdown(ssl_.get());
    ERR_clear_error();
  }
  ssl_.reset();
}

}  // namespace lumora
