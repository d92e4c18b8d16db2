// The main window.
#include "app/telvora_dlg.h"

#include <QComboBox>
#include <QCoreApplication>
#include <optional>
#include <span>
#include <string>

#include "app/main_loop.h"
#include "app/password_change.h"
#include "app/settings_file.h"
#include "link/link_loop.h"
#include "link/link_state.h"
#include "pages/basic_page.h"
#include "pages/numbers_page.h"
#include "pages/shared_texts.h"
#include "platform/codepage.h"
#include "platform/qt/busy_indication.h"
#include "platform/qt/prompts.h"
#include "platform/qt/window_icon.h"
#include "relay/internet_page.h"
#include "resources/strings.h"
#include "resources/templates.h"

namespace telvora {

namespace {
constexpr int kStatusLine = 1000;
constexpr int kSearchRestart = 1001;
constexpr int kPortIndicator = 1002;
constexpr int kPortSelector = 1003;
constexpr int kPassword = 1004;
constexpr int kLoadSettings = 1007;
constexpr int kSaveSettings = 1008;
constexpr int kNewPassword = 1009;
constexpr int kConfirmation = 1010;
constexpr int kChangePassword = 1011;
constexpr char16_t kDefaultPassword[] = u"5807";
constexpr int kBasicPageIndex = 0;
constexpr int kNumbersPageIndex = 1;
constexpr int kInternetPageIndex = 2;
// The vertical bars separate description and pattern pairs; the open dialog's filter has
// always had a blank before its second bar.
constexpr std::string_view kSaveSettingsFilter = "MyType Files (*.cfg)| *.cfg|All Files (*.*)|*.*|";
constexpr std::string_view kLoadSettingsFilter =
    "MyType Files (*.cfg)| *.cfg | All Files (*.*)|*.*|";

QString SettingsSuffix() {
  return QString::fromUtf8(kSettingsExtension.data(),
                           static_cast<qsizetype>(kSettingsExtension.size()));
}

template <std::size_t N>
std::span<std::uint8_t, N> Part(SettingsImage& image, std::size_t offset) {
  return std::span<std::uint8_t, N>(image.data() + offset, N);
}

template <std::size_t N>
std::span<const std::uint8_t, N> Part(const SettingsImage& image, std::size_t offset) {
  return std::span<const std::uint8_t, N>(image.data() + offset, N);
}
}  // namespace

// Disables what would start another transfer and shows the wait cursor; the window
// itself keeps answering.
class CTelvoraDlg::Busy final : public TransferScope {
 public:
  explicit Busy(CTelvoraDlg& dlg) : dlg_(dlg), indication_(dlg.CommandControls()) {
    ++dlg_.transferDepth_;
  }
  ~Busy() override { --dlg_.transferDepth_; }

 private:
  CTelvoraDlg& dlg_;
  BusyIndication indication_;
};

CTelvoraDlg::CTelvoraDlg(QWidget* parent)
    : QtDialog(*FindTemplate(kMainWindowTemplate), parent),
      loop_(this),
      search_(port_, engine_, *this, [this] { return CurrentPassword(); }) {
  setWindowIcon(TelvoraIcon());
  basic_ = new Czaklad(*this);
  sheet_ = new QtPropertySheet(this);
  numbers_ = new Ccisla(*this);
  internet_ = new Cinternet(*this);
}

CTelvoraDlg::~CTelvoraDlg() {
  loop_.StopTimer();
  if (MainMessageLoop() == &loop_) SetMainMessageLoop(nullptr);
}

void CTelvoraDlg::OnInitDialog() {
  setWindowTitle(QString::fromUtf8(kAppTitle.data(), static_cast<qsizetype>(kAppTitle.size())));
  ResetLinkForStartup();
  SetMainMessageLoop(&loop_);
  EnablePortDataNotices(true);
  if (programFolder_.empty()) {
    programFolder_ = std::filesystem::path(QCoreApplication::applicationDirPath().toStdString());
  }

  search_.Restart();
  loop_.StartTimer();
  SetText(kPassword, kDefaultPassword);
  SetText(kNewPassword, kDefaultPassword);
  SetText(kConfirmation, kDefaultPassword);

  sheet_->AddPage(basic_);
  sheet_->AddPage(numbers_);
  // The relay settings have their own tab, so that the server and user come from edits
  // the user can see.
  sheet_->AddPage(internet_);
  sheet_->move(10, 0);
  sheet_->SetActivePage(1);
  sheet_->SetActivePage(2);
  sheet_->SetActivePage(0);
  internet_->TakeRelaySettings();

  FillPortSelector();
  ImeiText = StringU16(kStrImeiUnread);

  SetHandler(kSearchRestart, Notification::kClicked, [this] { OnSearchRestart(); });
  SetHandler(kPortSelector, Notification::kSelectionChanged, [this] { OnPortChosen(); });
  SetHandler(kChangePassword, Notification::kClicked, [this] { OnPasswordChange(); });
  SetHandler(kSaveSettings, Notification::kClicked, [this] { OnSaveSettings(); });
  SetHandler(kLoadSettings, Notification::kClicked, [this] { OnLoadSettings(); });
  SetCancelHandler([this] { OnCancel(); });

  // Room for the sheet above the bottom row of controls.
  const QSize page = sheet_->sizeHint();
  sheet_->resize(page);
  const QSize own = sizeHint();
  resize(std::max(own.width(), page.width() + 20), own.height());
  // A fixed dialog with a caption, a system menu and a minimise box.
  setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                 Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint);
  setFixedSize(size());
}

void CTelvoraDlg::FillPortSelector() {
  ClearItems(kPortSelector);
  auto* combo = qobject_cast<QComboBox*>(Control(kPortSelector));
  for (int n = 1; n <= kPortCount; ++n) {
    const std::string text = "com" + std::to_string(n);
    const int index = AddItem(kPortSelector, std::u16string(text.begin(), text.end()));
    const std::string device = PortMap::Instance().DeviceFor(n - 1);
    if (combo != nullptr && index >= 0) {
      combo->setItemData(index,
                         device.empty() ? QStringLiteral("—") : QString::fromStdString(device),
                         Qt::ToolTipRole);
    }
  }
  AddItem(kPortSelector, u"not open");
  SetCurSel(kPortSelector, -1);
}

std::vector<QWidget*> CTelvoraDlg::CommandControls() const {
  std::vector<QWidget*> all =
      Controls({kSearchRestart, kPortSelector, kChangePassword, kLoadSettings, kSaveSettings});
  for (QWidget* w : basic_->CommandControls()) all.push_back(w);
  for (QWidget* w : numbers_->CommandControls()) all.push_back(w);
  for (QWidget* w : internet_->CommandControls()) all.push_back(w);
  return all;
}

void CTelvoraDlg::HandleMessage(unsigned message, std::uintptr_t wParam, std::intptr_t lParam) {
  if (HandleLinkMessage(message, wParam, engine_, search_)) return;
  switch (message) {
    case WM_RELAY_STATUS: {
      const auto id = static_cast<int>(lParam);
      std::u16string text(StringU16(id));
      SetText(kStatusLine, text);
      text += u"\n";
      internet_->AppendLog(text);
      break;
    }
    default:
      break;
  }
}

void CTelvoraDlg::ShowStatusString(int stringId) {
  SetText(kStatusLine, StringU16(stringId));
}
void CTelvoraDlg::ShowStatusText(std::u16string_view text) {
  SetText(kStatusLine, text);
}
void CTelvoraDlg::SetPortIndicator(bool checked) {
  SetChecked(kPortIndicator, checked);
}
void CTelvoraDlg::SelectPortEntry(int index) {
  SetCurSel(kPortSelector, index);
}
void CTelvoraDlg::ShowMessageBoxString(int stringId) {
  ShowMessageBox(this, StringU16(stringId));
}

std::u16string CTelvoraDlg::CurrentPassword() const {
  return GetText(kPassword);
}

std::unique_ptr<TransferScope> CTelvoraDlg::BeginTransfer() {
  if (transferDepth_ > 0 || closing_) return nullptr;
  return std::make_unique<Busy>(*this);
}

void CTelvoraDlg::OnSearchRestart() {
  search_.Restart();
}

void CTelvoraDlg::OnPortChosen() {
  search_.ChooseManually(GetCurSel(kPortSelector));
}

void CTelvoraDlg::OnPasswordChange() {
  const std::u16string next = GetText(kNewPassword);
  const std::u16string confirmation = GetText(kConfirmation);
  if (!NewPasswordWellTyped(next, confirmation)) {
    ShowMessageBoxString(kStrPasswordMistyped);
    return;
  }
  auto scope = BeginTransfer();
  if (!scope) return;
  ShowStatusString(kStrTransferRunning);
  const PasswordChange outcome = ChangeUnitPassword(engine_, CurrentPassword(), next, confirmation);
  if (closing_) return;
  if (const int id = StatusStringFor(outcome); id != 0) ShowStatusString(id);
}

void CTelvoraDlg::OnSaveSettings() {
  if (TransferRunning()) return;
  FileDialogRequest request;
  request.mode = FileDialogRequest::Mode::kSave;
  request.title = QString::fromUtf8(String(kStrSettingsSaveTitle).data(),
                                    static_cast<qsizetype>(String(kStrSettingsSaveTitle).size()));
  request.folder = DefaultSettingsFolder(programFolder());
  request.filter = kSaveSettingsFilter;
  request.default_suffix = SettingsSuffix();
  // A folder that cannot be made only means the dialog opens somewhere else.
  EnsureFolder(request.folder);
  std::optional<std::filesystem::path> chosen = AskFileName(this, request);
  if (!chosen) return;
  if (!chosen->has_extension() && chosen->has_filename()) {
    chosen->replace_extension(kSettingsExtension);
  }

  // Nothing is written unless every page hands over its whole block; a page that refuses a
  // typed value has told the user and stays in view with the value marked.
  ShowStatusText(u"");
  SettingsImage image{};
  sheet_->SetActivePage(kBasicPageIndex);
  if (!basic_->PackBlock(Part<kBasicBlockSize>(image, kSettingsBasicOffset))) return;
  sheet_->SetActivePage(kNumbersPageIndex);
  if (!numbers_->PackBlock(Part<kNumberBlockSize>(image, kSettingsNumbersOffset))) return;
  sheet_->SetActivePage(kInternetPageIndex);
  internet_->PackBlock(Part<kInternetBlockSize>(image, kSettingsInternetOffset));
  sheet_->SetActivePage(kBasicPageIndex);

  const SettingsFileStatus saved = SaveSettingsFile(*chosen, image);
  if (!saved.ok()) {
    // The status line must not go on claiming an earlier save.
    ShowStatusText(u"");
    ShowMessageBox(this, Utf8ToUtf16("Nastavení nebylo uloženo do souboru " + chosen->string() +
                                     ".\n" + saved.message));
    return;
  }
  ShowStatusString(kStrSettingsSaved);
}

void CTelvoraDlg::OnLoadSettings() {
  if (TransferRunning()) return;
  ShowStatusText(u"");
  FileDialogRequest request;
  request.mode = FileDialogRequest::Mode::kOpen;
  request.folder = DefaultSettingsFolder(programFolder());
  request.filter = kLoadSettingsFilter;
  request.default_suffix = SettingsSuffix();
  const std::optional<std::filesystem::path> chosen = AskFileName(this, request);
  if (!chosen) return;

  // The file is read whole before any page is touched: a wrong or broken file changes nothing.
  const SettingsLoad load = LoadSettingsFile(*chosen);
  if (!load.image) {
    ShowStatusString(kStrSettingsLoadError);
    ShowMessageBox(this, Utf8ToUtf16(std::string(String(kStrSettingsLoadError)) + ":\n" +
                                     load.status.message));
    return;
  }
  const SettingsImage& image = *load.image;
  sheet_->SetActivePage(kBasicPageIndex);
  basic_->UnpackBlock(Part<kBasicBlockSize>(image, kSettingsBasicOffset));
  sheet_->SetActivePage(kNumbersPageIndex);
  numbers_->UnpackBlock(Part<kNumberBlockSize>(image, kSettingsNumbersOffset));
  sheet_->SetActivePage(kInternetPageIndex);
  internet_->UnpackBlock(Part<kInternetBlockSize>(image, kSettingsInternetOffset));
  sheet_->SetActivePage(kBasicPageIndex);
  ShowStatusString(kStrSettingsLoaded);
}

void CTelvoraDlg::OnCancel() {
  closing_ = true;
  // A transfer waiting inside this window gives up now rather than after its time-out.
  AbortTransactions = true;
  loop_.StopTimer();
  port_.Close();
  WaitForReaderIdle();
  EnablePortDataNotices(false);
}

}  // namespace telvora
