// SheetTabs: the sheet tabs under the grid, with the menu every spreadsheet gives them (挿入,
// 削除, 名前の変更, 移動またはコピー) and a double-click that renames. The tabs only ask: the
// window carries out each request through the host's sheet operations and shows the result.
#pragma once

#include <QTabBar>

class QMenu;

namespace tessarin::desktop {

class SheetTabs : public QTabBar {
  Q_OBJECT

 public:
  explicit SheetTabs(QWidget* parent = nullptr);

  // The menu of the tab at `index` (the caller owns it); its actions emit the signals below.
  QMenu* BuildMenu(int index);

 signals:
  // A new sheet before the sheet at `index` (0-based, as the tabs count).
  void insertWanted(int index);
  void deleteWanted(int index);
  void renameWanted(int index);
  void moveOrCopyWanted(int index);

 protected:
  void contextMenuEvent(QContextMenuEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;
};

}  // namespace tessarin::desktop
