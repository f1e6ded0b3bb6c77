// The styling routine the Main window's "created" event applies to its list.
#pragma once

#include <QWidget>

namespace lumora {

class ListView;

// Report view, no border, text 0x606060, "微软雅黑" 9 points, header hidden,
// full-row selection, in that order. UI thread.
void style_album_list(QWidget* window, ListView* list);

}  // namespace lumora
