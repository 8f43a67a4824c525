// SheetTabs: the tab menu and the double-click on a tab.
#include "app/desktop/sheet_tabs.h"

#include <QContextMenuEvent>
#include <QMenu>
#include <QMouseEvent>

namespace tessarin::desktop {

SheetTabs::SheetTabs(QWidget* parent) : QTabBar(parent) {
  setObjectName(QStringLiteral("SheetTabs"));
  setShape(QTabBar::RoundedSouth);
  setExpanding(false);
  setDocumentMode(true);
}

QMenu* SheetTabs::BuildMenu(int index) {
  auto* menu = new QMenu(this);
  menu->setObjectName(QStringLiteral("SheetTabMenu"));
  menu->addAction(QStringLiteral("挿入(&I)"), this, [this, index] { emit insertWanted(index); });
  menu->addAction(QStringLiteral("削除(&D)"), this, [this, index] { emit deleteWanted(index); });
  menu->addAction(QStringLiteral("名前の変更(&R)"), this,
                  [this, index] { emit renameWanted(index); });
  menu->addAction(QStringLiteral("移動またはコピー(&M)..."), this,
                  [this, index] { emit moveOrCopyWanted(index); });
  return menu;
}

void SheetTabs::contextMenuEvent(QContextMenuEvent* event) {
  const int index = tabAt(event->pos());
  if (index < 0) return;
  // The menu is about the tab under the mouse, which becomes the current one first.
  setCurrentIndex(index);
  QMenu* menu = BuildMenu(index);
  menu->setAttribute(Qt::WA_DeleteOnClose);
  menu->popup(event->globalPos());
}

void SheetTabs::mouseDoubleClickEvent(QMouseEvent* event) {
  const int index = tabAt(event->position().toPoint());
  if (index >= 0 && event->button() == Qt::LeftButton) {
    emit renameWanted(index);
    return;
  }
  QTabBar::mouseDoubleClickEvent(event);
}

}  // namespace tessarin::desktop
