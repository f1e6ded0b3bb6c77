#include "lumora/test_support/trusted_authority.h"

#include <stdlib.h>

#include <fstream>

namespace lumora::test {

namespace {
constexpr const char* kVariable = "SSL_CERT_FILE";
}  // namespace

bool write_text_file(const std::string& path, const std::string& text) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << text;
  out.close();
  return out.good();
}

TrustedAuthority::TrustedAuthority() : identity_(sim::make_tls_authority()) {
  if (const char* old = std::getenv(kVariable)) {
    had_variable_ = true;
    old_variable_ = old;
  }
  if (identity_) write_text_file(trust_file_, identity_.certificate_pem());
  ::setenv(kVariable, trust_file_.c_str(), 1);
}

TrustedAuthority::~TrustedAuthority() {
  if (had_variable_) ::setenv(kVariable, old_variable_.c_str(), 1);
  else ::unsetenv(kVariable);
}

sim::TlsIdentity TrustedAuthority::issue(const sim::CertificateRequest& request) const {
  return sim::issue_tls_identity(identity_, request);
}

}  // namespace lumora::test
