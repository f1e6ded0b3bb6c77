#include "lumora/app/fonts.h"

#include <QApplication>
#include <QFont>

namespace lumora {

void prepare_fonts() {
  QFont::insertSubstitution(kLayoutFontFamily, QStringLiteral("WenQuanYi Micro Hei"));
  QApplication::setFont(QFont(kLayoutFontFamily, 9));
}

}  // namespace lumora
