// Certificates and keys made in memory for the simulator's HTTPS servers and
// for tests: the search server's self-signed one, and a certificate
// authority of the tests' own with the certificates it issues. Nothing is
// read from or written to disk here; a test that needs a file (a trust
// store for SSL_CERT_FILE, a server's key file) writes the PEM texts.
#pragma once

#include <memory>
#include <string>
#include <vector>

typedef struct x509_st X509;
typedef struct evp_pkey_st EVP_PKEY;

namespace lumora::sim {

struct TlsIdentity {
  std::unique_ptr<X509, void (*)(X509*)> certificate;
  std::unique_ptr<EVP_PKEY, void (*)(EVP_PKEY*)> key;

  explicit operator bool() const { return certificate && key; }
  std::string certificate_pem() const;
  std::string key_pem() const;
};

// An EC P-256 key and a certificate for www.lumorafm.com and 127.0.0.1,
// valid from a day ago for a year. Null members when OpenSSL failed.
TlsIdentity make_tls_identity();

// What an issued certificate says: the names it is for (an address text
// becomes an IP name, anything else a DNS name), and when it is valid, in
// seconds from now.
struct CertificateRequest {
  std::vector<std::string> names = {"127.0.0.1", "::1", "localhost"};
  long valid_from_s = -24L * 3600;
  long valid_until_s = 365L * 24 * 3600;
};

// A self-signed certificate authority named `name`; null members on failure.
TlsIdentity make_tls_authority(const std::string& name = "LumoraFM test authority");
// A certificate signed by `authority`; null members on failure.
TlsIdentity issue_tls_identity(const TlsIdentity& authority, const CertificateRequest& request);

}  // namespace lumora::sim
