// The internet page (template 134): the relay server and user, and the relay log.
#pragma once

#include <QWidget>
#include <span>
#include <string>
#include <string_view>

#include "link/fin.h"
#include "pages/page_host.h"
#include "platform/qt/qt_dialog.h"
#include "relay/internet_block.h"

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

  // Gathers the two edits into the block and copies it out.
  void PackBlock(std::span<std::uint8_t, kInternetBlockSize> destination);
  // Copies a whole block in and shows it; the relay settings follow the edits.
  void UnpackBlock(std::span<const std::uint8_t, kInternetBlockSize> source);
  const InternetBlock& CurrentBlock() const { return block_; }

  // Handlers of the page's buttons.
  void OnImeiToUser();
  void OnLoadData();
  void OnSaveData();

 private:
  PageHost& host_;
  Cfin engine_;
  InternetBlock block_{};
};

}  // namespace telvora
