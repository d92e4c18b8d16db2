// The main window: status line, port selector, password fields, the settings-file
// buttons and the sheet of configuration pages; its timer is the program's main loop.
#pragma once

#include <QWidget>
#include <filesystem>
#include <memory>
#include <vector>

#include "app/port_search.h"
#include "link/fin.h"
#include "link/message_loop.h"
#include "link/uart.h"
#include "pages/page_host.h"
#include "platform/qt/property_sheet.h"
#include "platform/qt/qt_dialog.h"
#include "platform/qt/qt_message_loop.h"

namespace telvora {

class Czaklad;
class Ccisla;
class Cinternet;

class CTelvoraDlg final : public QtDialog,
                          public MessageHandler,
                          public PortSearchView,
                          public PageHost {
 public:
  explicit CTelvoraDlg(QWidget* parent = nullptr);
  ~CTelvoraDlg() override;

  // The start-up sequence; the first tick then begins the port search at COM1.
  void OnInitDialog();

  // MessageHandler: ticks and posted messages.
  void HandleMessage(unsigned message, std::uintptr_t wParam, std::intptr_t lParam) override;

  // PortSearchView
  void ShowStatusString(int stringId) override;
  void ShowStatusText(std::u16string_view text) override;
  void SetPortIndicator(bool checked) override;
  void SelectPortEntry(int index) override;
  void ShowMessageBoxString(int stringId) override;

  // PageHost
  std::u16string CurrentPassword() const override;
  std::unique_ptr<TransferScope> BeginTransfer() override;
  bool TransferRunning() const { return transferDepth_ > 0; }

  QtPropertySheet& sheet() { return *sheet_; }
  Czaklad& basicPage() { return *basic_; }
  Ccisla& numbersPage() { return *numbers_; }
  Cinternet& internetPage() { return *internet_; }
  PortSearch& search() { return search_; }
  QtMessageLoop& loop() { return loop_; }
  Cfin& engine() { return engine_; }
  const std::filesystem::path& programFolder() const { return programFolder_; }
  void SetProgramFolder(std::filesystem::path folder) { programFolder_ = std::move(folder); }

  // Handlers of the window's own controls.
  void OnSearchRestart();
  void OnPortChosen();
  void OnPasswordChange();
  void OnSaveSettings();
  void OnLoadSettings();
  void OnCancel();

 private:
  class Busy;
  friend class Busy;

  void FillPortSelector();
  std::vector<QWidget*> CommandControls() const;

  QtMessageLoop loop_;
  Cuart port_;
  Cfin engine_;
  Czaklad* basic_ = nullptr;
  QtPropertySheet* sheet_ = nullptr;
  Ccisla* numbers_ = nullptr;
  Cinternet* internet_ = nullptr;
  PortSearch search_;
  std::filesystem::path programFolder_;
  int transferDepth_ = 0;
  bool closing_ = false;
};

}  // namespace telvora
