// Pages on tabs, activated by index.
#include "platform/qt/property_sheet.h"

#include "platform/qt/qt_dialog.h"

namespace telvora {

QtPropertySheet::QtPropertySheet(QWidget* parent) : QTabWidget(parent) {
  setFont(SharedDialogBuilder().Font());
  setUsesScrollButtons(false);
  setDocumentMode(false);
}

int QtPropertySheet::AddPage(QtDialog* page) {
  const std::string_view title = page->Template().title;
  const int index =
      addTab(page, QString::fromUtf8(title.data(), static_cast<qsizetype>(title.size())));
  adjustSize();
  return index;
}

QtDialog* QtPropertySheet::Page(int index) const {
  return index >= 0 && index < count() ? qobject_cast<QtDialog*>(widget(index)) : nullptr;
}

void QtPropertySheet::SetActivePage(int index) {
  if (index < 0 || index >= count()) {
    return;
  }
  setCurrentIndex(index);
}

}  // namespace telvora
