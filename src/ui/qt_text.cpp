#include "lumora/ui/qt_text.h"

#include "lumora/text/code_page.h"

namespace lumora {

QString qstring_of_gbk(std::string_view gbk) {
  const std::u16string units = decode_to_utf16(gbk, kCodePageGbk);
  return QString::fromUtf16(units.data(), static_cast<qsizetype>(units.size()));
}

Text gbk_of_qstring(const QString& s) {
  return encode_from_utf16(std::u16string_view(reinterpret_cast<const char16_t*>(s.utf16()),
                                               static_cast<std::size_t>(s.size())),
                           kCodePageGbk);
}

QString qstring_of_name(ControlName name) {
  return QString::fromUtf8(reinterpret_cast<const char*>(name.data()),
                           static_cast<qsizetype>(name.size()));
}

}  // namespace lumora
