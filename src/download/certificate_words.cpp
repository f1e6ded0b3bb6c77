#include "certificate_words.h"

#include <arpa/inet.h>
#include <openssl/x509.h>
#include <openssl/x509v3.h>

#include <cstdio>
#include <ctime>
#include <string>
#include <vector>

namespace lumora {
namespace {

constexpr std::size_t kMaxNameLength = 80;
constexpr std::size_t kMaxNamesShown = 3;

Text printable(std::string_view text) {
  Text out;
  for (char c : text.substr(0, kMaxNameLength)) out += c >= 0x20 && c < 0x7F ? c : '?';
  return out;
}

Text asn1_text(const ASN1_STRING* s) {
  return printable(std::string_view(reinterpret_cast<const char*>(ASN1_STRING_get0_data(s)),
                                    static_cast<std::size_t>(ASN1_STRING_length(s))));
}

Text ip_text(const ASN1_OCTET_STRING* ip) {
  const int length = ASN1_STRING_length(ip);
  char text[INET6_ADDRSTRLEN] = {};
  const int family = length == 4 ? AF_INET : length == 16 ? AF_INET6 : 0;
  if (family == 0 || !::inet_ntop(family, ASN1_STRING_get0_data(ip), text, sizeof text))
    return "?";
  return text;
}

Text common_name(X509* certificate) {
  X509_NAME* subject = X509_get_subject_name(certificate);
  const int at = X509_NAME_get_index_by_NID(subject, NID_commonName, -1);
  if (at < 0) return {};
  return asn1_text(X509_NAME_ENTRY_get_data(X509_NAME_get_entry(subject, at)));
}

Text date_text(const ASN1_TIME* time) {
  std::tm tm{};
  if (!time || ASN1_TIME_to_tm(time, &tm) != 1) return "an unknown date";
  char text[40];
  std::snprintf(text, sizeof text, "%04d-%02d-%02d", tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday);
  return text;
}

Text issuer_text(X509* certificate) {
  X509_NAME* issuer = X509_get_issuer_name(certificate);
  const int at = X509_NAME_get_index_by_NID(issuer, NID_commonName, -1);
  if (at < 0) return {};
  return asn1_text(X509_NAME_ENTRY_get_data(X509_NAME_get_entry(issuer, at)));
}

Text names_text(X509* certificate) {
  const std::vector<Text> names = certificate_names(certificate);
  if (names.empty()) return "no name";
  Text out;
  for (std::size_t i = 0; i < names.size() && i < kMaxNamesShown; ++i)
    out += (i ? ", " : "") + names[i];
  if (names.size() > kMaxNamesShown)
    out += " and " + std::to_string(names.size() - kMaxNamesShown) + " more";
  return out;
}

}  // namespace

std::vector<Text> certificate_names(X509* certificate) {
  std::vector<Text> names;
  if (!certificate) return names;
  auto* alt = static_cast<GENERAL_NAMES*>(
      X509_get_ext_d2i(certificate, NID_subject_alt_name, nullptr, nullptr));
  for (int i = 0; alt && i < sk_GENERAL_NAME_num(alt); ++i) {
    const GENERAL_NAME* name = sk_GENERAL_NAME_value(alt, i);
    if (name->type == GEN_DNS) names.push_back(asn1_text(name->d.dNSName));
    if (name->type == GEN_IPADD) names.push_back(ip_text(name->d.iPAddress));
  }
  GENERAL_NAMES_free(alt);
  if (names.empty()) {
    const Text cn = common_name(certificate);
    if (!cn.empty()) names.push_back(cn);
  }
  return names;
}

Text certificate_refusal_words(int error, X509* certificate, std::string_view host) {
  switch (error) {
    case X509_V_ERR_DEPTH_ZERO_SELF_SIGNED_CERT:
    case X509_V_ERR_SELF_SIGNED_CERT_IN_CHAIN:
      return "certificate not trusted: self-signed";
    case X509_V_ERR_UNABLE_TO_GET_ISSUER_CERT:
    case X509_V_ERR_UNABLE_TO_GET_ISSUER_CERT_LOCALLY:
    case X509_V_ERR_UNABLE_TO_VERIFY_LEAF_SIGNATURE: {
      const Text issuer = certificate ? issuer_text(certificate) : Text();
      return "certificate not trusted: unknown issuer" + (issuer.empty() ? "" : " " + issuer);
    }
    case X509_V_ERR_HOSTNAME_MISMATCH:
    case X509_V_ERR_IP_ADDRESS_MISMATCH:
      return "certificate is for " + names_text(certificate) + ", not " + printable(host);
    case X509_V_ERR_CERT_HAS_EXPIRED:
      return "certificate expired on " +
             date_text(certificate ? X509_get0_notAfter(certificate) : nullptr);
    case X509_V_ERR_CERT_NOT_YET_VALID:
      return "certificate not valid before " +
             date_text(certificate ? X509_get0_notBefore(certificate) : nullptr);
    default:
      return "certificate not trusted: " + Text(X509_verify_cert_error_string(error));
  }
}

}  // namespace lumora
