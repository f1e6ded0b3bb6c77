#include "lumora/ui/accessible.h"

#include <QAccessibleWidget>

#include "list_accessible.h"
#include "lumora/ui/parts_bar.h"

namespace lumora {
namespace {

QAccessibleInterface* make_interface(const QString&, QObject* object) {
  if (auto* list = qobject_cast<ListView*>(object)) return new ListAccessible(list);
  if (auto* bar = qobject_cast<PartsBar*>(object))
    return new QAccessibleWidget(bar, QAccessible::StatusBar);
  return nullptr;
}

}  // namespace

void install_accessibility() {
  static bool installed = false;
  if (installed) return;
  installed = true;
  QAccessible::installFactory(make_interface);
}

}  // namespace lumora
