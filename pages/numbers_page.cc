// The telephone numbers page.
#include "pages/numbers_page.h"

#include <QListWidget>
#include <QTimer>

#include <algorithm>
#include <array>
#include <utility>

#include "link/block_io.h"
#include "link/commands.h"
#include "platform/codepage.h"
#include "platform/qt/prompts.h"
#include "resources/strings.h"
#include "resources/templates.h"

namespace telvora {

namespace {
constexpr int kNumberEdit = 1085;
constexpr int kAddButton = 1084;
constexpr int kDeleteButton = 1039;
constexpr int kNumberList = 1083;
constexpr int kLoadButton = 1053;
constexpr int kSaveButton = 1091;
constexpr int kTimeoutSeconds = 5;
constexpr int kRows = static_cast<int>(kNumberEntries);

bool IsRow(int row) {
  return row >= 0 && row < kRows;
}
}  // namespace

Ccisla::Ccisla(PageHost& host, QWidget* parent)
    : QtDialog(*FindTemplate(kNumbersPageTemplate), parent), host_(host) {
  SetHandler(kAddButton, Notification::kClicked, [this] { OnAdd(); });
  SetHandler(kDeleteButton, Notification::kClicked, [this] { OnDelete(); });
  SetHandler(kNumberList, Notification::kSelectionChanged, [this] { OnSelChange(); });
  SetHandler(kLoadButton, Notification::kClicked, [this] { OnLoadNumbers(); });
  SetHandler(kSaveButton, Notification::kClicked, [this] { OnSaveNumbers(); });
  revert_.setSingleShot(true);
  revert_.setInterval(0);
  connect(&revert_, &QTimer::timeout, this, &Ccisla::UndoRefusedMove);

  SetCurSel(kRingCountCombo, 0);
  ClearItems(kNumberList);
  for (const std::u16string& row : DefaultNumberRows()) AddItem(kNumberList, row);
  SetNumberDefaults(block_);
  currentEntry_ = 0;
  SetCurSel(kNumberList, 0);
  ShowEntry(0);
}

std::vector<QWidget*> Ccisla::CommandControls() const {
  return Controls({kLoadButton, kSaveButton});
}

std::vector<FieldProblem> Ccisla::StoreEntry(int entry, NumberBlock& block) const {
  if (!IsRow(entry)) return {};
  return ::telvora::StoreEntry(*this, static_cast<std::size_t>(entry), block);
}

void Ccisla::ShowEntry(int entry) {
  if (!IsRow(entry)) return;
  ::telvora::ShowEntry(block_, static_cast<std::size_t>(entry), *this);
  // The value shown now is one the block holds, so nothing is refused any more.
  MarkProblems(kNumberEntryFields, {}, *this);
}

std::vector<FieldProblem> Ccisla::StoreShownEntry(NumberBlock& block) {
  std::vector<FieldProblem> problems = StoreEntry(currentEntry_, block);
  MarkProblems(kNumberEntryFields, problems, *this);
  for (const FieldProblem& p : problems) {
    SetInvalid(p.controlId, true, Utf8ToUtf16(p.message));
  }
  return problems;
}

void Ccisla::TellProblems(const std::vector<FieldProblem>& problems) {
  const std::string text = "Číslo " + std::to_string(currentEntry_ + 1) +
                           " v seznamu nelze uložit:\n" + ProblemsText(problems);
  ShowMessageBox(this, Utf8ToUtf16(text));
}

std::vector<std::u16string> Ccisla::Rows() const {
  std::vector<std::u16string> rows;
  const int count = std::min(ItemCount(kNumberList), kRows);
  rows.reserve(static_cast<std::size_t>(count));
  for (int i = 0; i < count; ++i) rows.push_back(ItemText(kNumberList, i));
  return rows;
}

void Ccisla::GatherNumbers(NumberBlock& block) const {
  const std::vector<std::u16string> rows = Rows();
  ::telvora::GatherNumbers(rows, block);
}

void Ccisla::ReplaceRow(int row, std::u16string_view text) {
  DeleteItem(kNumberList, row);
  InsertItem(kNumberList, row, text);
}

void Ccisla::SpreadNumbers() {
  const std::vector<std::u16string> rows = ::telvora::SpreadNumbers(block_);
  for (int i = 0; i < kRows; ++i) ReplaceRow(i, rows[static_cast<std::size_t>(i)]);
  SetCurSel(kNumberList, 0);
  currentEntry_ = 0;
  ShowEntry(0);
}

bool Ccisla::PackBlock(std::span<std::uint8_t, kNumberBlockSize> destination) {
  // What the user sees in the entry controls is what goes out, also into a settings file.
  NumberBlock packed = block_;
  const std::vector<FieldProblem> problems = StoreShownEntry(packed);
  if (!problems.empty()) {
    TellProblems(problems);
    return false;
  }
  GatherNumbers(packed);
  block_ = packed;
  std::copy(block_.bytes.begin(), block_.bytes.end(), destination.begin());
  return true;
}

void Ccisla::UnpackBlock(std::span<const std::uint8_t, kNumberBlockSize> source) {
  std::copy(source.begin(), source.end(), block_.bytes.begin());
  SpreadNumbers();
}

void Ccisla::OnAdd() {
  const int row = GetCurSel(kNumberList);
  if (!IsRow(row)) return;
  ReplaceRow(row, GetText(kNumberEdit));
  SetCurSel(kNumberList, row);
}

void Ccisla::OnDelete() {
  const int row = GetCurSel(kNumberList);
  if (!IsRow(row)) return;
  ReplaceRow(row, kEmptyNumber);
  SetCurSel(kNumberList, row);
}

void Ccisla::OnSelChange() {
  if (revert_.isActive()) return;
  // A mouse press makes the row current before it selects it, and the list reports the
  // change in between: the current row is the one the user chose.
  const auto* list = qobject_cast<QListWidget*>(Control(kNumberList));
  const int row = list != nullptr ? list->currentRow() : GetCurSel(kNumberList);
  if (row == currentEntry_) return;
  const std::vector<FieldProblem> problems = StoreShownEntry(block_);
  if (!problems.empty()) {
    // The typed value belongs to the entry it was typed for: the selection goes back there,
    // the text stays for the user to correct. Both wait until the list has finished
    // handling the click that moved the selection.
    refused_ = problems;
    revert_.start();
    return;
  }
  if (!IsRow(row)) return;
  ShowEntry(row);
  currentEntry_ = row;
}

void Ccisla::UndoRefusedMove() {
  SetCurSel(kNumberList, currentEntry_);
  TellProblems(std::exchange(refused_, {}));
}

void Ccisla::OnLoadNumbers() {
  auto scope = host_.BeginTransfer();
  if (!scope) return;
  host_.ShowStatusString(kStrTransferRunning);
  const BlockRead read =
      ReadBlock(engine_, host_.CurrentPassword(), kNumberAddress, kNumberLength, kTimeoutSeconds);
  if (!ReportBlockTransfer(host_, OutcomeOf(read.result), false)) return;
  UnpackBlock(std::span<const std::uint8_t, kNumberBlockSize>(read.bytes.data(), kNumberBlockSize));
}

void Ccisla::OnSaveNumbers() {
  auto scope = host_.BeginTransfer();
  if (!scope) return;
  std::array<std::uint8_t, kNumberBlockSize> packed{};
  if (!PackBlock(packed)) return;
  host_.ShowStatusString(kStrTransferRunning);
  const TransferResult r =
      WriteBlock(engine_, host_.CurrentPassword(), kNumberAddress, packed, kTimeoutSeconds);
  ReportBlockTransfer(host_, OutcomeOf(r), true);
}

}  // namespace telvora
