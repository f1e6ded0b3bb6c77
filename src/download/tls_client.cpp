#include "tls_client.h"

#include <arpa/inet.h>
#include <openssl/err.h>
#include <openssl/ssl.h>
#include <openssl/x509v3.h>

#include <cstdlib>

#include "certificate_words.h"
#include "tls_stream.h"

namespace lumora {
namespace {

TlsPeer* peer_of(SSL* ssl) { return static_cast<TlsPeer*>(SSL_get_app_data(ssl)); }

// Keeps the first refusal, in words, on the connection's peer record; the
// check itself still fails.
int note_refusal(int ok, X509_STORE_CTX* store) {
  if (ok) return ok;
  auto* ssl =
      static_cast<SSL*>(X509_STORE_CTX_get_ex_data(store, SSL_get_ex_data_X509_STORE_CTX_idx()));
  TlsPeer* peer = ssl ? peer_of(ssl) : nullptr;
  if (peer && peer->refusal == 0) {
    peer->refusal = X509_STORE_CTX_get_error(store);
    peer->refusal_words = certificate_refusal_words(
        peer->refusal, X509_STORE_CTX_get_current_cert(store), peer->host);
  }
  return ok;
}

int keep_session(SSL* ssl, SSL_SESSION* session) {
  if (TlsPeer* peer = peer_of(ssl)) peer->client.keep(peer->key, session);
  return 0;  // the library keeps its reference; the client took a copy
}

SSL_CTX* make_context() {
  SSL_CTX* context = SSL_CTX_new(TLS_client_method());
  if (!context) return nullptr;
  SSL_CTX_set_min_proto_version(context, TLS1_2_VERSION);
  SSL_CTX_set_max_proto_version(context, TLS1_3_VERSION);
  SSL_CTX_set_verify(context, SSL_VERIFY_PEER, note_refusal);
  SSL_CTX_set_default_verify_paths(context);
  // Sessions are kept per task (TlsClient), never in the shared context.
  SSL_CTX_set_session_cache_mode(context,
                                 SSL_SESS_CACHE_CLIENT | SSL_SESS_CACHE_NO_INTERNAL_STORE);
  SSL_CTX_sess_set_new_cb(context, keep_session);
  // A peer that closes without saying goodbye ends the stream as a plain
  // socket's close does; the body's length tells whether it came whole.
  SSL_CTX_set_options(context, SSL_OP_IGNORE_UNEXPECTED_EOF);
  SSL_CTX_set_read_ahead(context, 1);
  SSL_CTX_set_default_read_buffer_len(context, 64 * 1024);
  return context;
}

std::string variable(const char* name) {
  const char* value = std::getenv(name);
  return value ? value : "";
}

// Never freed: a context released after OpenSSL's own clean-up at exit
// would touch freed state.
struct Shared {
  std::mutex mutex;
  std::shared_ptr<SSL_CTX> context;
  std::string file, dir;  // the trust store's variables it was made with
};

std::shared_ptr<SSL_CTX> shared_context() {
  static Shared* const shared = new Shared;
  const std::string file = variable(X509_get_default_cert_file_env());
  const std::string dir = variable(X509_get_default_cert_dir_env());
  std::lock_guard lock(shared->mutex);
  if (!shared->context || file != shared->file || dir != shared->dir) {
    SSL_CTX* made = make_context();
    shared->context = made ? std::shared_ptr<SSL_CTX>(made, SSL_CTX_free) : nullptr;
    shared->file = file;
    shared->dir = dir;
  }
  return shared->context;
}

bool is_address_text(const Text& host) {
  unsigned char bytes[16];
  return ::inet_pton(AF_INET, host.c_str(), bytes) == 1 ||
         ::inet_pton(AF_INET6, host.c_str(), bytes) == 1;
}

// Sends the name (never an address: SNI carries names only) and makes the
// certificate check ask for it.
bool name_the_peer(SSL* ssl, const Text& host) {
  if (is_address_text(host))
    return X509_VERIFY_PARAM_set1_ip_asc(SSL_get0_param(ssl), host.c_str()) == 1;
  return SSL_set_tlsext_host_name(ssl, host.c_str()) == 1 && SSL_set1_host(ssl, host.c_str()) == 1;
}

Text openssl_words(const char* what) {
  const unsigned long error = ERR_get_error();
  ERR_clear_error();
  const char* reason = error ? ERR_reason_error_string(error) : nullptr;
  return Text(what) + (reason ? ": " + Text(reason) : Text());
}

}  // namespace

void SslFree::operator()(SSL* ssl) const { SSL_free(ssl); }

TlsClient::~TlsClient() {
  for (auto& [key, session] : sessions_) SSL_SESSION_free(session);
}

SslPtr TlsClient::open(const Text& host, TlsPeer& peer, Text& words) {
  std::shared_ptr<SSL_CTX> context;
  SSL_SESSION* session = nullptr;
  {
    std::lock_guard lock(mutex_);
    if (!context_) context_ = shared_context();
    context = context_;
    // A connection that ends badly spoils its own session object for
    // resumption; each one gets a copy, so the task's stays good.
    if (const auto it = sessions_.find(peer.key); it != sessions_.end())
      session = SSL_SESSION_dup(it->second);
  }
  SslPtr ssl(context ? SSL_new(context.get()) : nullptr);
  if (!ssl) {
    if (session) SSL_SESSION_free(session);
    words = openssl_words("TLS cannot be set up");
    return {};
  }
  SSL_set_app_data(ssl.get(), &peer);
  const bool named = name_the_peer(ssl.get(), host);
  if (session) {
    SSL_set_session(ssl.get(), session);
    SSL_SESSION_free(session);
  }
  if (!named) {
    words = openssl_words("TLS cannot be set up for this host");
    return {};
  }
  return ssl;
}

void TlsClient::keep(const std::string& peer_key, const SSL_SESSION* session) {
  SSL_SESSION* copy = SSL_SESSION_dup(session);
  if (!copy) return;
  std::lock_guard lock(mutex_);
  SSL_SESSION*& slot = sessions_[peer_key];
  if (slot) SSL_SESSION_free(slot);
  slot = copy;
}

}  // namespace lumora
