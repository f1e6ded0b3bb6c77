#include "lumora/sim/tls_identity.h"

#include <openssl/evp.h>
#include <openssl/x509.h>
#include <openssl/x509v3.h>

namespace lumora::sim {
namespace {

bool add_extension(X509* certificate, int nid, const char* value) {
  X509V3_CTX context;
  X509V3_set_ctx_nodb(&context);
  X509V3_set_ctx(&context, certificate, certificate, nullptr, nullptr, 0);
  X509_EXTENSION* extension = X509V3_EXT_conf_nid(nullptr, &context, nid, value);
  if (!extension) return false;
  const bool added = X509_add_ext(certificate, extension, -1) == 1;
  X509_EXTENSION_free(extension);
  return added;
}

bool fill(X509* certificate, EVP_PKEY* key) {
  X509_set_version(certificate, 2);
  ASN1_INTEGER_set(X509_get_serialNumber(certificate), 1);
  X509_gmtime_adj(X509_getm_notBefore(certificate), -24L * 3600);
  X509_gmtime_adj(X509_getm_notAfter(certificate), 365L * 24 * 3600);
  X509_NAME* name = X509_get_subject_name(certificate);
  X509_NAME_add_entry_by_txt(name, "O", MBSTRING_ASC,
                             reinterpret_cast<const unsigned char*>("LumoraFM simulator"), -1, -1, 0);
  X509_NAME_add_entry_by_txt(name, "CN", MBSTRING_ASC,
                             reinterpret_cast<const unsigned char*>("www.lumorafm.com"), -1, -1, 0);
  return X509_set_issuer_name(certificate, name) == 1 && X509_set_pubkey(certificate, key) == 1 &&
         add_extension(certificate, NID_subject_alt_name, "DNS:www.lumorafm.com,IP:127.0.0.1") &&
         X509_sign(certificate, key, EVP_sha256()) > 0;
}

}  // namespace

TlsIdentity make_tls_identity() {
  TlsIdentity identity{{X509_new(), &X509_free}, {EVP_EC_gen("P-256"), &EVP_PKEY_free}};
  if (!identity.certificate || !identity.key || !fill(identity.certificate.get(), identity.key.get())) {
    identity.certificate.reset();
    identity.key.reset();
  }
  return identity;
}

}  // namespace lumora::sim
