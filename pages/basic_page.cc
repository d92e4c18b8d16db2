// The basic configuration page: its block to and from the unit, and the live queries.
#include "pages/basic_page.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <ctime>
#include <string>

#include "link/block_io.h"
#include "link/commands.h"
#include "link/link_state.h"
#include "link/uart.h"
#include "pages/device_queries.h"
#include "pages/shared_texts.h"
#include "platform/codepage.h"
#include "platform/qt/prompts.h"
#include "relay/relay_query.h"
#include "resources/strings.h"
#include "resources/templates.h"

namespace telvora {

namespace {
constexpr int kLoadButton = 1061;
constexpr int kSaveButton = 1060;
constexpr int kFirmwareButton = 1017;
constexpr int kFirmwareEdit = 1018;
constexpr int kImeiButton = 1101;
constexpr int kImeiEdit = 1102;
constexpr int kSignalButton = 1103;
constexpr int kSignalEdit = 1104;
constexpr int kClockEdit = 1105;
constexpr int kReadClockButton = 1107;
constexpr int kWriteClockButton = 1108;
constexpr int kCreditCode = 1109;
constexpr int kOperatorCombo = 1110;
constexpr int kCreditButton = 1111;
constexpr int kVoltageButton = 1053;
constexpr int kVoltageEdit = 1054;
constexpr int kTemperatureButton = 1039;
constexpr int kTemperature1Edit = 1040;
constexpr int kTemperature2Edit = 1041;
constexpr int kModeCombos[] = {1024, 1025};

constexpr int kBlockTimeoutSeconds = 3;
constexpr std::size_t kCreditCodeMax = 15;

constexpr std::array<std::u16string_view, 4> kOperators = {u"Vodafone", u"Tmobile", u"O2",
                                                           u"Blesk mobil"};
constexpr int kDefaultOperator = 3;

std::u16string Decimal(std::int64_t value) {
  const std::string digits = std::to_string(value);
  return {digits.begin(), digits.end()};
}

// The signed 32-bit value at the start of the reply.
std::int32_t ReplyLe32() {
  const std::uint32_t v = static_cast<std::uint32_t>(TransferBuffer[0]) |
                          (static_cast<std::uint32_t>(TransferBuffer[1]) << 8) |
                          (static_cast<std::uint32_t>(TransferBuffer[2]) << 16) |
                          (static_cast<std::uint32_t>(TransferBuffer[3]) << 24);
  return static_cast<std::int32_t>(v);
}

std::tm LocalNow() {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  return local;
}
}  // namespace

Czaklad::Czaklad(PageHost& host, QWidget* parent)
    : QtDialog(*FindTemplate(kBasicPageTemplate), parent), host_(host) {
  SetHandler(kLoadButton, Notification::kClicked, [this] { OnLoadData(); });
  SetHandler(kSaveButton, Notification::kClicked, [this] { OnSaveData(); });
  SetHandler(kFirmwareButton, Notification::kClicked, [this] { OnFirmware(); });
  SetHandler(kImeiButton, Notification::kClicked, [this] { OnImei(); });
  SetHandler(kSignalButton, Notification::kClicked, [this] { OnSignal(); });
  SetHandler(kReadClockButton, Notification::kClicked, [this] { OnReadClock(); });
  SetHandler(kWriteClockButton, Notification::kClicked, [this] { OnWriteClock(); });
  SetHandler(kOperatorCombo, Notification::kSelectionChanged, [this] { OnOperatorChange(); });
  SetHandler(kCreditButton, Notification::kClicked, [this] { OnCredit(); });
  SetHandler(kVoltageButton, Notification::kClicked, [this] { OnVoltage(); });
  SetHandler(kTemperatureButton, Notification::kClicked, [this] { OnTemperatures(); });
  for (const BlockField& f : kBasicFields) {
    if (IsNumericEdit(f.kind) && f.controlId != 0) {
      SetHandler(f.controlId, Notification::kTextChanged, [this, &f] { RecheckEdit(f); });
    }
  }
  InitTexts();
}

std::vector<QWidget*> Czaklad::CommandControls() const {
  return Controls({kLoadButton, kSaveButton, kFirmwareButton, kImeiButton, kSignalButton,
                   kReadClockButton, kWriteClockButton, kCreditButton, kVoltageButton,
                   kTemperatureButton});
}

void Czaklad::InitTexts() {
  for (const int combo : kModeCombos) {
    ClearItems(combo);
    for (const int id : kInputModeItemStrings) AddItem(combo, StringU16(id));
  }
  // Chooses item 0 in both mode boxes, along with the texts and numbers.
  SetBasicDefaults(*this);
  ClearItems(kOperatorCombo);
  for (const std::u16string_view name : kOperators) AddItem(kOperatorCombo, name);
  SetCurSel(kOperatorCombo, kDefaultOperator);
  SetText(kCreditCode, OperatorCode(kDefaultOperator));
}

std::vector<FieldProblem> Czaklad::GatherMarked() {
  std::vector<FieldProblem> problems = GatherBasicBlock(*this, block_);
  MarkProblems(kBasicFields, problems, *this);
  for (const FieldProblem& p : problems) SetInvalid(p.controlId, true, Utf8ToUtf16(p.message));
  return problems;
}

void Czaklad::TellProblems(const std::vector<FieldProblem>& problems) {
  ShowMessageBox(this, Utf8ToUtf16("Základní konfiguraci nelze uložit, tyto hodnoty nejsou "
                                   "platné:\n" +
                                   ProblemsText(problems)));
}

void Czaklad::RecheckEdit(const BlockField& field) {
  if (!IsInvalid(field.controlId)) return;
  const std::vector<FieldProblem> problems =
      ValidateFields(std::span<const BlockField>(&field, 1), *this);
  if (problems.empty()) {
    SetInvalid(field.controlId, false);
  } else {
    SetInvalid(field.controlId, true, Utf8ToUtf16(problems.front().message));
  }
}

bool Czaklad::GatherBlock() {
  const std::vector<FieldProblem> problems = GatherMarked();
  if (problems.empty()) return true;
  TellProblems(problems);
  return false;
}

void Czaklad::SpreadBlock() {
  SpreadBasicBlock(block_, *this);
}

bool Czaklad::PackBlock(std::span<std::uint8_t, kBasicBlockSize> destination) {
  if (!GatherBlock()) return false;
  std::copy(block_.bytes.begin(), block_.bytes.end(), destination.begin());
  return true;
}

void Czaklad::UnpackBlock(std::span<const std::uint8_t, kBasicBlockSize> source) {
  std::copy(source.begin(), source.end(), block_.bytes.begin());
  SpreadBlock();
}

void Czaklad::OnLoadData() {
  auto scope = host_.BeginTransfer();
  if (!scope) return;
  host_.ShowStatusString(kStrTransferRunning);
  const BlockRead read = ReadBlock(engine_, host_.CurrentPassword(), kBasicAddress, kBasicLength,
                                   kBlockTimeoutSeconds);
  if (!ReportBlockTransfer(host_, OutcomeOf(read.result), false)) return;
  UnpackBlock(std::span<const std::uint8_t, kBasicBlockSize>(read.bytes.data(), kBasicBlockSize));
}

void Czaklad::OnSaveData() {
  auto scope = host_.BeginTransfer();
  if (!scope) return;
  const std::vector<FieldProblem> problems = GatherMarked();
  if (!problems.empty()) {
    // Nothing goes to the unit; the window is no longer busy while the user reads why.
    scope.reset();
    TellProblems(problems);
    return;
  }
  const BasicBlock packed = block_;
  host_.ShowStatusString(kStrTransferRunning);
  const TransferResult r = WriteBlock(engine_, host_.CurrentPassword(), kBasicAddress, packed.bytes,
                                      kBlockTimeoutSeconds);
  ReportBlockTransfer(host_, OutcomeOf(r), true);
}

bool Czaklad::Answered(const QueryAnswer& answer) {
  switch (answer.status) {
    case QueryStatus::kOk:
      return true;
    case QueryStatus::kRefused:
      host_.ShowStatusString(kStrWrongPassword);
      return false;
    case QueryStatus::kFailed:
      break;
  }
  // No reply, or one without the bytes the value needs: nothing older is shown as new.
  host_.ShowStatusString(kStrReadError);
  return false;
}

void Czaklad::OnFirmware() {
  auto scope = host_.BeginTransfer();
  if (!scope) return;
  host_.ShowStatusString(kStrTransferRunning);
  // With no port open the question goes through the relay, which reports its own end.
  const QueryAnswer answer = PortHandle() == PortHandleState::kNone
                                 ? QueryFirmwareThroughRelay(net_, host_.CurrentPassword())
                                 : QueryText(engine_, host_.CurrentPassword(), cmd::kFirmware);
  if (!Answered(answer)) return;
  host_.ShowStatusString(kStrDataRead);
  SetText(kFirmwareEdit, answer.text);
}

void Czaklad::OnImei() {
  auto scope = host_.BeginTransfer();
  if (!scope) return;
  host_.ShowStatusString(kStrTransferRunning);
  const QueryAnswer answer = QueryText(engine_, host_.CurrentPassword(), cmd::kImei);
  if (!Answered(answer)) return;
  host_.ShowStatusString(kStrDataRead);
  SetText(kImeiEdit, answer.text);
  ImeiText = answer.imei;
}

void Czaklad::OnSignal() {
  auto scope = host_.BeginTransfer();
  if (!scope) return;
  host_.ShowStatusString(kStrTransferRunning);
  const QueryAnswer answer = QueryText(engine_, host_.CurrentPassword(), cmd::kSignal);
  if (!Answered(answer)) return;
  host_.ShowStatusString(kStrDataRead);
  SetText(kSignalEdit, answer.text);
}

void Czaklad::OnReadClock() {
  auto scope = host_.BeginTransfer();
  if (!scope) return;
  host_.ShowStatusString(kStrTransferRunning);
  const QueryAnswer answer = QueryClock(engine_, host_.CurrentPassword());
  if (!Answered(answer)) return;
  host_.ShowStatusString(kStrDataRead);
  SetText(kClockEdit, answer.text);
}

void Czaklad::OnWriteClock() {
  auto scope = host_.BeginTransfer();
  if (!scope) return;
  const std::tm now = LocalNow();
  host_.ShowStatusString(kStrTransferRunning);
  const QueryAnswer answer = SetClock(engine_, host_.CurrentPassword(), now);
  if (!Answered(answer)) return;
  host_.ShowStatusString(kStrDataWritten);
}

void Czaklad::OnOperatorChange() {
  const std::u16string_view code = OperatorCode(GetCurSel(kOperatorCombo));
  if (!code.empty()) SetText(kCreditCode, code);
}

void Czaklad::OnCredit() {
  auto scope = host_.BeginTransfer();
  if (!scope) return;
  const std::u16string code = GetText(kCreditCode).substr(0, kCreditCodeMax);
  // The code as the unit will get it, in place of "přenos ": the operator's answer may take
  // a while, and the user sees what was asked.
  host_.ShowStatusText(DecodeCp1250(EncodeCp1250(code)));
  const QueryAnswer answer = QueryCredit(engine_, host_.CurrentPassword(), code);
  if (!Answered(answer)) return;
  host_.ShowStatusText(answer.text);
}

void Czaklad::OnVoltage() {
  auto scope = host_.BeginTransfer();
  if (!scope) return;
  host_.ShowStatusString(kStrTransferRunning);
  const QueryAnswer answer = QueryVoltage(engine_, host_.CurrentPassword());
  if (!Answered(answer)) return;
  SetText(kVoltageEdit, answer.text);
  host_.ShowStatusString(kStrDataRead);
  // Then the reading in tenths of a volt, exactly as the unit sent it.
  host_.ShowStatusText(Decimal(ReplyLe32()));
}

void Czaklad::OnTemperatures() {
  auto scope = host_.BeginTransfer();
  if (!scope) return;
  host_.ShowStatusString(kStrTransferRunning);
  const QueryAnswer answer = QueryTemperatures(engine_, host_.CurrentPassword());
  if (!Answered(answer)) return;
  SetText(kTemperature1Edit, answer.text);
  SetText(kTemperature2Edit, answer.text2);
  host_.ShowStatusString(kStrDataRead);
}

}  // namespace telvora
