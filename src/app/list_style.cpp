#include "lumora/app/list_style.h"

#include <QHeaderView>

#include "lumora/app/fonts.h"
#include "lumora/ui/list_view.h"

namespace lumora {

void style_album_list(QWidget*, ListView* list) {
  if (!list) return;
  // A ListView is always a report view: nothing to switch for the first step.
  list->setFrameShape(QFrame::NoFrame);
  QPalette palette = list->palette();
  palette.setColor(QPalette::Text, QColor(0x60, 0x60, 0x60));
  list->setPalette(palette);
  list->setFont(QFont(kLayoutFontFamily, 9));
  list->header()->hide();
  list->setSelectionBehavior(QAbstractItemView::SelectRows);
  // The list sits 4 px left of its clipping picture, as the layout places it;
  // this inner margin brings the text back into view, geometry unchanged.
  list->setStyleSheet(QStringLiteral("QTreeView { padding-left: %1px; }").arg(kAlbumTextInset));
}

}  // namespace lumora
