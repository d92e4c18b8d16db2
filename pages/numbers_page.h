// The telephone numbers page (template 131).
#pragma once

#include <QTimer>
#include <QWidget>
#include <span>
#include <string>
#include <vector>

#include "link/fin.h"
#include "pages/block_field.h"
#include "pages/number_block.h"
#include "pages/page_host.h"
#include "platform/qt/qt_dialog.h"

namespace telvora {

class Ccisla : public QtDialog {
 public:
  Ccisla(PageHost& host, QWidget* parent = nullptr);

  std::vector<QWidget*> CommandControls() const;

  // Stores the entry shown in the controls, gathers the list rows into the block and copies
  // it out; false (the user told, the control marked, nothing changed) when a typed value is
  // refused.
  bool PackBlock(std::span<std::uint8_t, kNumberBlockSize> destination);
  // Copies a whole block in and shows it, row 0 selected; what the entry controls showed
  // before is dropped.
  void UnpackBlock(std::span<const std::uint8_t, kNumberBlockSize> source);
  const NumberBlock& CurrentBlock() const { return block_; }
  // The entry whose values the entry controls show.
  int CurrentEntry() const { return currentEntry_; }

  // Handlers of the page's controls.
  void OnAdd();
  void OnDelete();
  void OnSelChange();
  void OnLoadNumbers();
  void OnSaveNumbers();

 private:
  // The entry controls into entry `entry` of `block`; refused input comes back as problems
  // and leaves the block as it was.
  std::vector<FieldProblem> StoreEntry(int entry, NumberBlock& block) const;
  void ShowEntry(int entry);
  // Stores the shown entry into the page's block, or marks the refused controls and returns
  // the problems.
  std::vector<FieldProblem> StoreShownEntry(NumberBlock& block);
  void TellProblems(const std::vector<FieldProblem>& problems);
  std::vector<std::u16string> Rows() const;
  void GatherNumbers(NumberBlock& block) const;
  void SpreadNumbers();
  void ReplaceRow(int row, std::u16string_view text);
  // Puts the selection back on the entry whose typed value was refused, then says why.
  void UndoRefusedMove();

  PageHost& host_;
  Cfin engine_;
  NumberBlock block_{};
  int currentEntry_ = 0;
  // Runs UndoRefusedMove once the list has finished the click that moved the selection;
  // while it is due, further changes are ignored.
  QTimer revert_;
  std::vector<FieldProblem> refused_;
};

}  // namespace telvora
