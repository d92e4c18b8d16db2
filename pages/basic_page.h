// The basic configuration page (template 130).
#pragma once

#include <QWidget>

#include "link/fin.h"
#include "pages/page_host.h"
#include "platform/qt/qt_dialog.h"

namespace telvora {

class Czaklad : public QtDialog {
 public:
  Czaklad(PageHost& host, QWidget* parent = nullptr);

  // Buttons that start a transfer: held back while another one runs.
  std::vector<QWidget*> CommandControls() const;

 private:
  PageHost& host_;
  Cfin engine_;
};

}  // namespace telvora
