// The real main window on the offscreen platform, its ports mapped to simulated units.
#pragma once

#include <gtest/gtest.h>

#include <QComboBox>
#include <QLineEdit>
#include <functional>
#include <memory>

#include "app/telvora_dlg.h"
#include "link/uart.h"
#include "platform/qt/prompts.h"
#include "tests/qt/qt_test_app.h"
#include "tools/unit_simulator.h"

namespace telvora {

inline UnitSimulatorOptions FastUnit() {
  UnitSimulatorOptions o;
  o.baud = 0;
  o.answerDelay = std::chrono::microseconds(200);
  return o;
}

class MainWindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    TestApplication();
    PortMap::Instance().ClearDefaults();
    PortMap::Instance().ClearExplicit();
    SetMessageBoxHook([this](const QString& text) { boxes_.push_back(text); });
  }
  void TearDown() override {
    if (dlg_) dlg_->close();
    dlg_.reset();
    SetMessageBoxHook({});
    PortMap::Instance().ClearExplicit();
  }

  // Builds the window; every status text it shows is recorded.
  void Open() {
    dlg_ = std::make_unique<CTelvoraDlg>();
    dlg_->SetHandler(1000, QtDialog::Notification::kTextChanged,
                     [this] { status_.push_back(dlg_->GetText(1000)); });
    dlg_->OnInitDialog();
    dlg_->show();
  }

  // Runs the window's loop until `done` holds or `seconds` pass.
  bool RunUntil(const std::function<bool()>& done, double seconds = 10) {
    const auto end = std::chrono::steady_clock::now() +
                     std::chrono::milliseconds(static_cast<long>(seconds * 1000));
    while (!done()) {
      if (std::chrono::steady_clock::now() >= end) return false;
      dlg_->loop().DispatchUntil(
          std::min(end, std::chrono::steady_clock::now() + std::chrono::milliseconds(50)));
    }
    return true;
  }

  bool Settled() {
    return RunUntil([this] { return dlg_->search().state() == PortSearch::kSettled; });
  }

  std::u16string Status() const { return dlg_->GetText(1000); }

  std::unique_ptr<CTelvoraDlg> dlg_;
  std::vector<std::u16string> status_;
  std::vector<QString> boxes_;
};

}  // namespace telvora
