// A refused certificate's words: the names it is for, however many and
// whatever bytes they hold, reach a person as short printable text.
#include "certificate_words.h"

#include <gtest/gtest.h>
#include <openssl/evp.h>
#include <openssl/x509.h>
#include <openssl/x509v3.h>

#include <memory>
#include <string>

namespace lumora {
namespace {

using CertificatePtr = std::unique_ptr<X509, void (*)(X509*)>;

// A bare certificate: a common name and, when given, alternative names.
CertificatePtr certificate(const std::string& common_name, const std::string& alternatives) {
  CertificatePtr c(X509_new(), &X509_free);
  X509_NAME_add_entry_by_txt(X509_get_subject_name(c.get()), "CN", MBSTRING_ASC,
                             reinterpret_cast<const unsigned char*>(common_name.data()),
                             static_cast<int>(common_name.size()), -1, 0);
  if (!alternatives.empty()) {
    X509V3_CTX context;
    X509V3_set_ctx_nodb(&context);
    X509V3_set_ctx(&context, c.get(), c.get(), nullptr, nullptr, 0);
    X509_EXTENSION* e =
        X509V3_EXT_conf_nid(nullptr, &context, NID_subject_alt_name, alternatives.c_str());
    EXPECT_NE(e, nullptr);
    X509_add_ext(c.get(), e, -1);
    X509_EXTENSION_free(e);
  }
  return c;
}

TEST(CertificateWords, NamesAreFewAndPrintable) {
  struct Case {
    const char* what;
    std::string common_name, alternatives, host;
    std::string words;
  };
  const Case cases[] = {
      {"alternative names before the common name", "cn.example", "DNS:a.example,IP:::1",
       "127.0.0.1", "certificate is for a.example, ::1, not 127.0.0.1"},
      {"many names", "cn.example",
       "DNS:a.example,DNS:b.example,DNS:c.example,DNS:d.example,DNS:e.example", "x.example",
       "certificate is for a.example, b.example, c.example and 2 more, not x.example"},
      {"only a common name, with a terminal escape", "\x1b[31mevil", "", "h.example",
       "certificate is for ?[31mevil, not h.example"},
      {"no name at all", "", "", "h\r\n.example", "certificate is for no name, not h??.example"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const CertificatePtr cert = certificate(c.common_name, c.alternatives);
    EXPECT_EQ(certificate_refusal_words(X509_V_ERR_HOSTNAME_MISMATCH, cert.get(), c.host),
              c.words);
  }
}

TEST(CertificateWords, OtherRefusalsSayWhatTheCheckSaid) {
  EXPECT_EQ(certificate_refusal_words(X509_V_ERR_CERT_REVOKED, nullptr, "h"),
            "certificate not trusted: certificate revoked");
  EXPECT_EQ(certificate_refusal_words(X509_V_ERR_CERT_HAS_EXPIRED, nullptr, "h"),
            "certificate expired on an unknown date");
}

}  // namespace
}  // namespace lumora
