// The basic configuration page (template 130).
#pragma once

#include <QWidget>
#include <span>
#include <vector>

#include "link/fin.h"
#include "pages/basic_block.h"
#include "pages/block_field.h"
#include "pages/device_queries.h"
#include "pages/page_host.h"
#include "platform/qt/qt_dialog.h"
#include "relay/net.h"

namespace telvora {

class Czaklad : public QtDialog {
 public:
  // The controls exist and show their initial values once the constructor returns.
  Czaklad(PageHost& host, QWidget* parent = nullptr);

  // Buttons that start a transfer: held back while another one runs.
  std::vector<QWidget*> CommandControls() const;

  // Initial texts, numbers, item lists and choices; the current block is left alone.
  void InitTexts();

  // Gathers the controls into the current block. When a typed value is refused, the
  // controls are marked, the user is told, and false is returned with the block unchanged.
  bool GatherBlock();
  // Shows the current block in the controls.
  void SpreadBlock();

  // Gathers the controls into the current block and copies it out. When a typed value is
  // refused, the controls are marked, the user is told, and false is returned with the
  // block and `destination` unchanged.
  bool PackBlock(std::span<std::uint8_t, kBasicBlockSize> destination);
  // Copies a whole block in and shows it.
  void UnpackBlock(std::span<const std::uint8_t, kBasicBlockSize> source);
  const BasicBlock& CurrentBlock() const { return block_; }

  // The relay client of the firmware query, for when no port is open.
  Cnet& relay() { return net_; }

  // Handlers of the page's controls.
  void OnLoadData();
  void OnSaveData();
  void OnFirmware();
  void OnImei();
  void OnSignal();
  void OnReadClock();
  void OnWriteClock();
  void OnOperatorChange();
  void OnCredit();
  void OnVoltage();
  void OnTemperatures();

 private:
  // Gathers into the current block when every typed value is accepted; marks the refused
  // controls (and clears the others) either way.
  std::vector<FieldProblem> GatherMarked();
  void TellProblems(const std::vector<FieldProblem>& problems);
  // True for an answer to show; otherwise the status line says why there is none.
  bool Answered(const QueryAnswer& answer);
  // A refused edit loses its mark as soon as its text is acceptable again.
  void RecheckEdit(const BlockField& field);

  PageHost& host_;
  Cfin engine_;
  Cnet net_;
  BasicBlock block_{};
};

}  // namespace telvora
