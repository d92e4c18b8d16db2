// The internet page (template 134): the relay server and user, and the relay log.
#pragma once

#include <QWidget>
#include <string>
#include <string_view>

#include "link/fin.h"
#include "pages/page_host.h"
#include "platform/qt/qt_dialog.h"

namespace telvora {

class Cinternet : public QtDialog {
 public:
  Cinternet(PageHost& host, QWidget* parent = nullptr);

  std::vector<QWidget*> CommandControls() const;
  // The relay settings from the page's edits.
  void TakeRelaySettings();
  // Appends to the relay log and shows the whole log in the view.
  void AppendLog(std::u16string_view text);
  void ClearLog();

 private:
  PageHost& host_;
  Cfin engine_;
};

}  // namespace telvora
