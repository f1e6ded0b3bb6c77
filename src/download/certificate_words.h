// A refused certificate in words a person understands, for the task's
// failure: "certificate not trusted: self-signed", "certificate is for
// other.example, not 127.0.0.1", "certificate expired on 2024-05-01".
// Names and dates come from the certificate; anything but printable ASCII
// in them is shown as "?", so a peer cannot write to a terminal.
#pragma once

#include <string_view>
#include <vector>

#include "lumora/text/text.h"

typedef struct x509_st X509;

namespace lumora {

// `error` is the check's X509_V_ERR_* code, `certificate` the one it was
// about (may be null), `host` the name or address that was asked for.
Text certificate_refusal_words(int error, X509* certificate, std::string_view host);

// The names a certificate is for: its DNS and IP alternative names, or its
// common name when it has none.
std::vector<Text> certificate_names(X509* certificate);

}  // namespace lumora
