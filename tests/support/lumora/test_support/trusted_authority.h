// A certificate authority made for a test, which the engine trusts while it
// lives: its certificate is written to a temporary file and SSL_CERT_FILE
// names that file (the engine reads the trust store's variables when it
// sets up a task's TLS). Make it before the tasks that need it, in the
// test's main thread.
#pragma once

#include <string>

#include "lumora/sim/tls_identity.h"
#include "lumora/test_support/temp_folder.h"

namespace lumora::test {

class TrustedAuthority {
 public:
  TrustedAuthority();
  // Puts SSL_CERT_FILE back as it was and removes the file.
  ~TrustedAuthority();
  TrustedAuthority(const TrustedAuthority&) = delete;
  TrustedAuthority& operator=(const TrustedAuthority&) = delete;

  // A certificate of this authority (by default for 127.0.0.1, ::1 and
  // localhost, valid now).
  sim::TlsIdentity issue(const sim::CertificateRequest& request = {}) const;
  const std::string& trust_file() const { return trust_file_; }
  // The file's folder, for a server's certificate and key files.
  const std::string& folder() const { return folder_; }

 private:
  sim::TlsIdentity identity_;
  TempFolder temp_{"lumora-trust"};
  std::string folder_ = temp_.string();
  std::string trust_file_ = folder_ + "/authority.pem";
  bool had_variable_ = false;
  std::string old_variable_;
};

// Writes `text` to `path`; false when it could not be written whole.
bool write_text_file(const std::string& path, const std::string& text);

}  // namespace lumora::test
