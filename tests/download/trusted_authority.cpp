#include "trusted_authority.h"

#include <stdlib.h>

#include <filesystem>
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
  char pattern[] = "/tmp/lumora-trust-XXXXXX";
  if (::mkdtemp(pattern)) folder_ = pattern;
  trust_file_ = folder_ + "/authority.pem";
  if (const char* old = std::getenv(kVariable)) {
    had_variable_ = true;
    old_variable_ = old;
  }
  if (identity_ && !folder_.empty()) write_text_file(trust_file_, identity_.certificate_pem());
  ::setenv(kVariable, trust_file_.c_str(), 1);
}

TrustedAuthority::~TrustedAuthority() {
  if (had_variable_) ::setenv(kVariable, old_variable_.c_str(), 1);
  else ::unsetenv(kVariable);
  if (!folder_.empty()) std::filesystem::remove_all(folder_);
}

sim::TlsIdentity TrustedAuthority::issue(const sim::CertificateRequest& request) const {
  return sim::issue_tls_identity(identity_, request);
}

}  // namespace lumora::test
