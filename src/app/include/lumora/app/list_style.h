// The styling routine the Main window's "created" event applies to its list.
#pragma once

#include <QWidget>

namespace lumora {

class ListView;

// The inner left margin of the Album list's text, in pixels: the list starts
// 4 px left of the picture that clips it, so its text needs this much to show
// whole.
inline constexpr int kAlbumTextInset = 6;

// Report view, no border, text 0x606060, "微软雅黑" 9 points, header hidden,
// full-row selection, in that order; then the text inset. UI thread.
void style_album_list(QWidget* window, ListView* list);

}  // namespace lumora
