// Wait cursor and disabled controls for the span of one transfer.
#include "platform/qt/busy_indication.h"

#include <QApplication>
#include <QCursor>

namespace telvora {

BusyIndication::BusyIndication(const std::vector<QWidget*>& controls) {
  QApplication::setOverrideCursor(QCursor(Qt::WaitCursor));
  for (QWidget* w : controls) {
    if (w == nullptr) {
      continue;
    }
    controls_.emplace_back(w, w->isEnabled());
    w->setEnabled(false);
  }
}

BusyIndication::~BusyIndication() {
  for (auto it = controls_.rbegin(); it != controls_.rend(); ++it) {
    if (it->first) {
      it->first->setEnabled(it->second);
    }
  }
  QApplication::restoreOverrideCursor();
}

}  // namespace telvora
