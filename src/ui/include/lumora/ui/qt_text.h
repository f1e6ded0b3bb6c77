// GBK texts at the widget boundary: the widgets hold UTF-16, the program GBK.
#pragma once

#include <QString>
#include <string_view>

#include "lumora/text/text.h"
#include "lumora/controls/controls.h"

namespace lumora {

QString qstring_of_gbk(std::string_view gbk);
// A character GBK lacks becomes "?".
Text gbk_of_qstring(const QString& s);
// A control name (UTF-8 source literal) as the widget's objectName.
QString qstring_of_name(ControlName name);

}  // namespace lumora
