// A self-signed certificate and its key, made in memory for the simulator's
// HTTPS server at start; nothing is read from or written to disk.
#pragma once

#include <memory>

typedef struct x509_st X509;
typedef struct evp_pkey_st EVP_PKEY;

namespace lumora::sim {

struct TlsIdentity {
  std::unique_ptr<X509, void (*)(X509*)> certificate;
  std::unique_ptr<EVP_PKEY, void (*)(EVP_PKEY*)> key;
};

// An EC P-256 key and a certificate for www.lumorafm.com and 127.0.0.1,
// valid from a day ago for a year. Null members when OpenSSL failed.
TlsIdentity make_tls_identity();

}  // namespace lumora::sim
