// The telephone numbers page (template 131).
#pragma once

#include <QWidget>

#include "link/fin.h"
#include "pages/page_host.h"
#include "platform/qt/qt_dialog.h"

namespace telvora {

class Ccisla : public QtDialog {
 public:
  Ccisla(PageHost& host, QWidget* parent = nullptr);

  std::vector<QWidget*> CommandControls() const;

 private:
  PageHost& host_;
  Cfin engine_;
};

}  // namespace telvora
