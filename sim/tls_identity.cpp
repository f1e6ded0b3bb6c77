#include "lumora/sim/tls_identity.h"

#include <arpa/inet.h>
#include <openssl/bio.h>
#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/x509.h>
#include <openssl/x509v3.h>

#include <atomic>

namespace lumora::sim {
namespace {

bool add_extension(X509* certificate, X509* issuer, int nid, const std::string& value) {
  X509V3_CTX context;
  X509V3_set_ctx_nodb(&context);
  X509V3_set_ctx(&context, issuer, certificate, nullptr, nullptr, 0);
  X509_EXTENSION* extension = X509V3_EXT_conf_nid(nullptr, &context, nid, value.c_str());
  if (!extension) return false;
  const bool added = X509_add_ext(certificate, extension, -1) == 1;
  X509_EXTENSION_free(extension);
  return added;
}

void add_name_entry(X509_NAME* name, const char* field, const std::string& value) {
  X509_NAME_add_entry_by_txt(name, field, MBSTRING_ASC,
                             reinterpret_cast<const unsigned char*>(value.c_str()), -1, -1, 0);
}

// Distinct serial numbers: a client may cache what it has seen by issuer
// and serial.
long next_serial() {
  static std::atomic<long> serial{1000};
  return ++serial;
}

void set_validity(X509* certificate, long from_s, long until_s) {
  X509_gmtime_adj(X509_getm_notBefore(certificate), from_s);
  X509_gmtime_adj(X509_getm_notAfter(certificate), until_s);
}

std::string alternative_names(const std::vector<std::string>& names) {
  std::string out;
  for (const std::string& name : names) {
    unsigned char bytes[16];
    const bool address = ::inet_pton(AF_INET, name.c_str(), bytes) == 1 ||
                         ::inet_pton(AF_INET6, name.c_str(), bytes) == 1;
    if (!out.empty()) out += ',';
    out += address ? "IP:" : "DNS:";
    out += name;
  }
  return out;
}

bool fill(X509* certificate, EVP_PKEY* key) {
  X509_set_version(certificate, 2);
  ASN1_INTEGER_set(X509_get_serialNumber(certificate), 1);
  set_validity(certificate, -24L * 3600, 365L * 24 * 3600);
  X509_NAME* name = X509_get_subject_name(certificate);
  add_name_entry(name, "O", "LumoraFM simulator");
  add_name_entry(name, "CN", "www.lumorafm.com");
  return X509_set_issuer_name(certificate, name) == 1 && X509_set_pubkey(certificate, key) == 1 &&
         add_extension(certificate, certificate, NID_subject_alt_name,
                       "DNS:www.lumorafm.com,IP:127.0.0.1") &&
         X509_sign(certificate, key, EVP_sha256()) > 0;
}

TlsIdentity empty_identity() { return {{nullptr, &X509_free}, {nullptr, &EVP_PKEY_free}}; }

TlsIdentity new_identity() { return {{X509_new(), &X509_free}, {EVP_EC_gen("P-256"), &EVP_PKEY_free}}; }

template <typename Write>
std::string pem_text(Write write) {
  BIO* bio = BIO_new(BIO_s_mem());
  if (!bio) return {};
  std::string text;
  if (write(bio) == 1) {
    char* data = nullptr;
    const long length = BIO_get_mem_data(bio, &data);
    text.assign(data, static_cast<std::size_t>(length));
  }
  BIO_free(bio);
  return text;
}

}  // namespace

std::string TlsIdentity::certificate_pem() const {
  return pem_text([this](BIO* bio) { return PEM_write_bio_X509(bio, certificate.get()); });
}

std::string TlsIdentity::key_pem() const {
  return pem_text([this](BIO* bio) {
    return PEM_write_bio_PrivateKey(bio, key.get(), nullptr, nullptr, 0, nullptr, nullptr);
  });
}

TlsIdentity make_tls_identity() {
  TlsIdentity identity = new_identity();
  if (!identity || !fill(identity.certificate.get(), identity.key.get())) return empty_identity();
  return identity;
}

TlsIdentity make_tls_authority(const std::string& name) {
  TlsIdentity ca = new_identity();
  if (!ca) return empty_identity();
  X509* c = ca.certificate.get();
  X509_set_version(c, 2);
  ASN1_INTEGER_set(X509_get_serialNumber(c), next_serial());
  set_validity(c, -24L * 3600, 10L * 365 * 24 * 3600);
  add_name_entry(X509_get_subject_name(c), "CN", name);
  const bool made = X509_set_issuer_name(c, X509_get_subject_name(c)) == 1 &&
                    X509_set_pubkey(c, ca.key.get()) == 1 &&
                    add_extension(c, c, NID_basic_constraints, "critical,CA:TRUE") &&
                    add_extension(c, c, NID_key_usage, "critical,keyCertSign,cRLSign") &&
                    add_extension(c, c, NID_subject_key_identifier, "hash") &&
                    X509_sign(c, ca.key.get(), EVP_sha256()) > 0;
  return made ? std::move(ca) : empty_identity();
}

TlsIdentity issue_tls_identity(const TlsIdentity& authority, const CertificateRequest& request) {
  TlsIdentity leaf = new_identity();
  if (!leaf || !authority || request.names.empty()) return empty_identity();
  X509* c = leaf.certificate.get();
  X509* issuer = authority.certificate.get();
  X509_set_version(c, 2);
  ASN1_INTEGER_set(X509_get_serialNumber(c), next_serial());
  set_validity(c, request.valid_from_s, request.valid_until_s);
  add_name_entry(X509_get_subject_name(c), "CN", request.names.front());
  const bool made = X509_set_issuer_name(c, X509_get_subject_name(issuer)) == 1 &&
                    X509_set_pubkey(c, leaf.key.get()) == 1 &&
                    add_extension(c, issuer, NID_basic_constraints, "CA:FALSE") &&
                    add_extension(c, issuer, NID_authority_key_identifier, "keyid:always") &&
                    add_extension(c, issuer, NID_ext_key_usage, "serverAuth") &&
                    add_extension(c, issuer, NID_subject_alt_name,
                                  alternative_names(request.names)) &&
                    X509_sign(c, authority.key.get(), EVP_sha256()) > 0;
  return made ? std::move(leaf) : empty_identity();
}

}  // namespace lumora::sim
