// The font the layout names, and the stand-in that renders it here.
#pragma once

#include <QString>

namespace lumora {

inline const QString kLayoutFontFamily = QStringLiteral("微软雅黑");

// Maps the layout's family onto WenQuanYi Micro Hei and makes it the
// application font (9 points). After QApplication exists, before any window.
void prepare_fonts();

}  // namespace lumora
