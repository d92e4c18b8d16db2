// The tabbed sheet that holds the configuration pages of the main window.
#pragma once

#include <QTabWidget>

namespace telvora {

class QtDialog;

class QtPropertySheet : public QTabWidget {
  Q_OBJECT

 public:
  explicit QtPropertySheet(QWidget* parent = nullptr);

  // Adds `page` as the next tab, captioned with its template's title; the sheet takes it
  // over. The page's controls exist from here on, shown or not. Returns its index.
  int AddPage(QtDialog* page);
  int PageCount() const { return count(); }
  QtDialog* Page(int index) const;

  // Shows page `index`; an index the sheet does not have changes nothing.
  void SetActivePage(int index);
  int ActivePageIndex() const { return currentIndex(); }
  QtDialog* ActivePage() const { return Page(currentIndex()); }
};

}  // namespace telvora
