// Settings files from the main window's buttons: what the pages hand over goes into the file
// and comes back into the pages, and a bad file or a failed save changes nothing.
#include <QListWidget>
#include <QPushButton>
#include <QTest>

#include <sys/resource.h>

#include <array>
#include <csignal>
#include <fstream>
#include <iterator>
#include <sstream>

#include "app/settings_file.h"
#include "cli/cli.h"
#include "gui_fixture.h"
#include "link/commands.h"
#include "pages/basic_page.h"
#include "pages/numbers_page.h"
#include "relay/internet_page.h"
#include "relay/relay_state.h"

namespace telvora {
namespace {

namespace fs = std::filesystem;

constexpr int kLoadSettings = 1007;
constexpr int kSaveSettings = 1008;
constexpr int kUserName = 1058;  // basic page
constexpr int kUserId = 1184;    // internet page
constexpr int kList = 1083;
constexpr int kRingLength = 1086;

std::vector<std::uint8_t> ReadRaw(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void WriteRaw(const fs::path& path, const std::vector<std::uint8_t>& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()),
            static_cast<std::streamsize>(bytes.size()));
}

template <std::size_t N>
std::vector<std::uint8_t> Bytes(const std::array<std::uint8_t, N>& a) {
  return {a.begin(), a.end()};
}

std::vector<std::uint8_t> Slice(const std::vector<std::uint8_t>& v, std::size_t at, std::size_t n) {
  return {v.begin() + static_cast<std::ptrdiff_t>(at),
          v.begin() + static_cast<std::ptrdiff_t>(at + n)};
}

std::vector<std::string> Entries(const fs::path& folder) {
  std::vector<std::string> names;
  for (const auto& e : fs::directory_iterator(folder)) names.push_back(e.path().filename());
  std::sort(names.begin(), names.end());
  return names;
}

class SettingsWindowTest : public MainWindowTest {
 protected:
  void SetUp() override {
    MainWindowTest::SetUp();
    std::string pattern = (fs::temp_directory_path() / "telvora-window-XXXXXX").string();
    ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
    root_ = pattern;
    files_ = root_ / "files";
    SetFileDialogHook([this](const FileDialogRequest& r) -> std::optional<fs::path> {
      requests_.push_back(r);
      folderExisted_.push_back(fs::is_directory(r.folder));
      return answer_;
    });
  }
  void TearDown() override {
    SetFileDialogHook({});
    MainWindowTest::TearDown();
    std::error_code ec;
    fs::remove_all(root_, ec);
  }

  // The window on a simulated unit at com1, its program folder in the test's own folder.
  void OpenOnUnit() {
    ASSERT_TRUE(unit_.Start());
    PortMap::Instance().Set(1, unit_.DevicePath());
    Open();
    ASSERT_TRUE(Settled());
    unit_.ClearRequests();
    fs::create_directories(root_ / "program");
    fs::create_directories(files_);
    dlg_->SetProgramFolder(root_ / "program");
    // The basic page's values as a user starts from them.
    SetBasicDefaults(basic());
    QObject::connect(&dlg_->sheet(), &QTabWidget::currentChanged,
                     [this](int index) { activations_.push_back(index); });
  }

  Czaklad& basic() { return dlg_->basicPage(); }
  Ccisla& numbers() { return dlg_->numbersPage(); }
  Cinternet& internet() { return dlg_->internetPage(); }
  void ClickWindow(int id) { qobject_cast<QPushButton*>(dlg_->Control(id))->click(); }
  void Click(QtDialog& page, int id) { qobject_cast<QPushButton*>(page.Control(id))->click(); }
  void SelectRow(int row) {
    qobject_cast<QListWidget*>(numbers().Control(kList))
        ->setCurrentRow(row, QItemSelectionModel::ClearAndSelect);
  }
  void TypeNumber(int row, std::u16string_view number) {
    SelectRow(row);
    numbers().SetText(1085, number);
    Click(numbers(), 1084);
  }

  // Values typed into all three pages.
  void TypeConfiguration() {
    basic().SetText(kUserName, u"Chata Bělá");
    TypeNumber(0, u"+420777000111");
    numbers().SetText(kRingLength, u"44");
    numbers().SetChecked(1047, true);  // ring on in1
    numbers().SetChecked(1062, true);  // system SMS
    internet().SetText(kUserId, u"chata-7");
  }

  void Save(const fs::path& path) {
    answer_ = path;
    ClickWindow(kSaveSettings);
  }
  void Load(const fs::path& path) {
    answer_ = path;
    ClickWindow(kLoadSettings);
  }

  // What every page holds and shows, to see that nothing changed.
  struct Pages {
    BasicBlock basic;
    NumberBlock numbers;
    InternetBlock internet;
    std::vector<std::u16string> rows;
    std::u16string userName;
    std::u16string ringLength;
    std::u16string userId;
    int activePage;
    friend bool operator==(const Pages&, const Pages&) = default;
  };
  Pages Take() {
    Pages p{basic().CurrentBlock(),      numbers().CurrentBlock(),
            internet().CurrentBlock(),   {},
            basic().GetText(kUserName),  numbers().GetText(kRingLength),
            internet().GetText(kUserId), dlg_->sheet().ActivePageIndex()};
    for (int i = 0; i < numbers().ItemCount(kList); ++i) {
      p.rows.push_back(numbers().ItemText(kList, i));
    }
    return p;
  }

  bool StatusShown(std::u16string_view text) const {
    return std::find(status_.begin(), status_.end(), text) != status_.end();
  }

  UnitSimulator unit_{FastUnit()};
  fs::path root_;
  fs::path files_;  // where the user keeps settings files
  std::optional<fs::path> answer_;
  std::vector<FileDialogRequest> requests_;
  std::vector<bool> folderExisted_;
  std::vector<int> activations_;
};

TEST_F(SettingsWindowTest, SaveWritesTheThreeBlocksThePagesWouldSend) {
  OpenOnUnit();
  TypeConfiguration();
  const fs::path config = root_ / "program" / "config";
  ASSERT_FALSE(fs::exists(config));
  const fs::path path = config / "chata.cfg";
  status_.clear();
  Save(path);

  ASSERT_EQ(requests_.size(), 1U);
  const FileDialogRequest& r = requests_[0];
  EXPECT_EQ(r.mode, FileDialogRequest::Mode::kSave);
  EXPECT_EQ(r.title, QStringLiteral("uložení nastavení"));
  EXPECT_EQ(r.folder, config);
  EXPECT_TRUE(folderExisted_[0]) << "the folder is made before the dialog opens";
  EXPECT_EQ(r.filter, "MyType Files (*.cfg)| *.cfg|All Files (*.*)|*.*|");
  EXPECT_EQ(r.default_suffix, QStringLiteral("cfg"));
  EXPECT_EQ(activations_, (std::vector<int>{1, 2, 0}));
  EXPECT_EQ(Status(), u"nastavení uloženo");
  EXPECT_TRUE(boxes_.empty());
  EXPECT_TRUE(unit_.Requests().empty()) << "saving a file sends nothing";
  EXPECT_EQ(Entries(config), std::vector<std::string>{"chata.cfg"});

  const std::vector<std::uint8_t> file = ReadRaw(path);
  ASSERT_EQ(file.size(), 2098U);

  // The basic page hands over the same block again.
  std::array<std::uint8_t, kBasicBlockSize> basicBlock{};
  ASSERT_TRUE(basic().PackBlock(basicBlock));
  EXPECT_EQ(Slice(file, 0, 690), Bytes(basicBlock));

  // The other two exactly as the unit receives them from the pages' own save buttons.
  unit_.ClearRequests();
  Click(numbers(), 1091);
  ASSERT_EQ(Status(), u"data uložena");
  Click(internet(), 1053);
  ASSERT_EQ(Status(), u"data uložena");
  EXPECT_EQ(Slice(file, 690, 1280), unit_.ReadMemory(kNumberAddress, kNumberLength));
  EXPECT_EQ(Slice(file, 1970, 128), unit_.ReadMemory(kInternetAddress, kInternetLength));

  EXPECT_EQ(std::string(file.begin() + 690, file.begin() + 704),
            std::string("+420777000111\0", 14));
  EXPECT_EQ(file[690 + 1024], 44);
}

TEST_F(SettingsWindowTest, SaveStoresTheEntryShownOnTheNumbersPage) {
  OpenOnUnit();
  SelectRow(3);
  numbers().SetChecked(1051, true);  // ring on the analog input
  numbers().SetChecked(1050, true);  // SMS on in2
  numbers().SetText(kRingLength, u"200");
  const fs::path path = files_ / "entry.cfg";
  Save(path);
  ASSERT_EQ(Status(), u"nastavení uloženo");
  const std::vector<std::uint8_t> file = ReadRaw(path);
  ASSERT_EQ(file.size(), 2098U);
  EXPECT_EQ(file[690 + 1216 + 3], 0x04);
  EXPECT_EQ(file[690 + 1152 + 3], 0x02);
  EXPECT_EQ(file[690 + 1024 + 3], 200);
  EXPECT_EQ(numbers().GetCurSel(kList), 3);
}

TEST_F(SettingsWindowTest, AValueAPageRefusesMeansNothingIsSaved) {
  OpenOnUnit();
  const fs::path path = files_ / "dum.cfg";
  const std::vector<std::uint8_t> earlier(2098, 0x5A);
  WriteRaw(path, earlier);
  SelectRow(2);
  numbers().SetText(kRingLength, u"300");
  status_.clear();
  Save(path);

  ASSERT_EQ(boxes_.size(), 1U);
  EXPECT_TRUE(boxes_[0].contains(QStringLiteral("délka zvonění"))) << boxes_[0].toStdString();
  EXPECT_TRUE(numbers().IsInvalid(kRingLength));
  EXPECT_FALSE(StatusShown(u"nastavení uloženo"));
  // The page with the refused value stays in view.
  EXPECT_EQ(dlg_->sheet().ActivePageIndex(), 1);
  EXPECT_EQ(ReadRaw(path), earlier);
  EXPECT_EQ(Entries(files_), std::vector<std::string>{"dum.cfg"});
}

TEST_F(SettingsWindowTest, LoadHandsThePagesExactlyTheSavedBlocks) {
  OpenOnUnit();
  TypeConfiguration();
  const fs::path path = files_ / "chata.cfg";
  Save(path);
  ASSERT_EQ(Status(), u"nastavení uloženo");
  const std::vector<std::uint8_t> file = ReadRaw(path);
  ASSERT_EQ(file.size(), 2098U);

  // Everything changes on every page before the file comes back.
  basic().SetText(kUserName, u"Jiný");
  TypeNumber(0, u"111");
  TypeNumber(9, u"222");
  numbers().SetText(kRingLength, u"99");
  internet().SetText(kUserId, u"jiny");
  std::array<std::uint8_t, kNumberBlockSize> scratch{};
  ASSERT_TRUE(numbers().PackBlock(scratch));
  ASSERT_NE(Bytes(numbers().CurrentBlock().bytes), Slice(file, 690, 1280));
  activations_.clear();
  status_.clear();
  requests_.clear();
  Load(path);

  ASSERT_EQ(requests_.size(), 1U);
  const FileDialogRequest& r = requests_[0];
  EXPECT_EQ(r.mode, FileDialogRequest::Mode::kOpen);
  EXPECT_TRUE(r.title.isEmpty());
  EXPECT_EQ(r.folder, root_ / "program" / "config");
  EXPECT_EQ(r.filter, "MyType Files (*.cfg)| *.cfg | All Files (*.*)|*.*|");
  EXPECT_EQ(r.default_suffix, QStringLiteral("cfg"));
  EXPECT_EQ(status_, (std::vector<std::u16string>{u"", u"nastavení načteno"}));
  EXPECT_EQ(activations_, (std::vector<int>{1, 2, 0}));
  EXPECT_TRUE(boxes_.empty());

  EXPECT_EQ(Bytes(basic().CurrentBlock().bytes), Slice(file, 0, 690));
  EXPECT_EQ(Bytes(numbers().CurrentBlock().bytes), Slice(file, 690, 1280));
  EXPECT_EQ(Bytes(internet().CurrentBlock().bytes), Slice(file, 1970, 128));
  EXPECT_EQ(basic().GetText(kUserName), u"Chata Bělá");
  EXPECT_EQ(numbers().ItemText(kList, 0), u"+420777000111");
  EXPECT_EQ(numbers().ItemText(kList, 9), u"x");
  EXPECT_EQ(numbers().GetCurSel(kList), 0);
  EXPECT_EQ(numbers().GetText(kRingLength), u"44");
  EXPECT_TRUE(numbers().IsChecked(1047));
  EXPECT_TRUE(numbers().IsChecked(1062));
  EXPECT_EQ(internet().GetText(kUserId), u"chata-7");
  EXPECT_EQ(RelayUserId, u"chata-7");
  EXPECT_TRUE(unit_.Requests().empty()) << "loading a file sends nothing";
}

TEST_F(SettingsWindowTest, AFileThatIsNotWholeChangesNoPage) {
  OpenOnUnit();
  TypeConfiguration();
  struct Case {
    const char* name;
    std::optional<std::size_t> size;  // none: no file; SIZE_MAX: a folder
    const char* reason;               // part of the message box
  };
  const Case cases[] = {
      {"missing.cfg", std::nullopt, "nelze otevřít"},
      {"empty.cfg", 0, "má 0 bajtů"},
      {"short.cfg", 2097, "má 2097 bajtů"},
      {"basic-only.cfg", 690, "má 690 bajtů"},
      {"long.cfg", 2099, "má 2099 bajtů"},
      {"folder.cfg", SIZE_MAX, "není soubor"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const fs::path path = files_ / c.name;
    if (c.size == SIZE_MAX) {
      fs::create_directory(path);
    } else if (c.size) {
      WriteRaw(path, std::vector<std::uint8_t>(*c.size, 0x41));
    }
    const Pages before = Take();
    status_.clear();
    boxes_.clear();
    activations_.clear();
    Load(path);
    EXPECT_EQ(status_, (std::vector<std::u16string>{u"", u"chyba načtení nastavení"}));
    ASSERT_EQ(boxes_.size(), 1U);
    EXPECT_TRUE(boxes_[0].contains(QString::fromStdString(path.string())))
        << boxes_[0].toStdString();
    EXPECT_TRUE(boxes_[0].contains(QString::fromUtf8(c.reason))) << boxes_[0].toStdString();
    EXPECT_TRUE(activations_.empty());
    EXPECT_TRUE(Take() == before);
  }
}

TEST_F(SettingsWindowTest, AFailedSaveSaysWhyAndKeepsTheEarlierFile) {
  OpenOnUnit();
  TypeConfiguration();
  const std::vector<std::uint8_t> earlier(2098, 0x5A);

  struct Case {
    const char* name;
    fs::path path;
    std::function<void()> before;
    std::function<void()> after;
    const char* reason;
  };
  const fs::path kept = files_ / "dum.cfg";
  rlimit saved{};
  ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &saved), 0);
  const Case cases[] = {
      // A place where no file can be made, whoever asks.
      {"read-only place", "/proc/telvora-settings.cfg", [] {}, [] {}, "nelze vytvořit"},
      {"a folder in the way", files_ / "folder.cfg",
       [&] { fs::create_directory(files_ / "folder.cfg"); }, [] {}, "nelze nahradit"},
      // The storage takes no more than 1000 bytes of a file.
      {"storage full", kept,
       [&] {
         WriteRaw(kept, earlier);
         std::signal(SIGXFSZ, SIG_IGN);
         rlimit small = saved;
         small.rlim_cur = 1000;
         ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
       },
       [&] {
         ::setrlimit(RLIMIT_FSIZE, &saved);
         std::signal(SIGXFSZ, SIG_DFL);
       },
       "chyba zápisu"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::vector<std::string> entries = Entries(files_);
    c.before();
    status_.clear();
    dlg_->SetText(1000, u"nastavení uloženo");
    boxes_.clear();
    Save(c.path);
    c.after();
    ASSERT_EQ(boxes_.size(), 1U);
    EXPECT_TRUE(boxes_[0].contains(QString::fromStdString(c.path.string())))
        << boxes_[0].toStdString();
    EXPECT_TRUE(boxes_[0].contains(QString::fromUtf8(c.reason))) << boxes_[0].toStdString();
    // An earlier success is not left standing either.
    EXPECT_NE(Status(), u"nastavení uloženo");
    if (c.path == kept) {
      EXPECT_EQ(ReadRaw(kept), earlier);
    }
  }
  EXPECT_TRUE(fs::is_directory(files_ / "folder.cfg"));
  EXPECT_EQ(Entries(files_), (std::vector<std::string>{"dum.cfg", "folder.cfg"}));
}

TEST_F(SettingsWindowTest, ANameWithoutExtensionBecomesACfgFile) {
  OpenOnUnit();
  TypeConfiguration();
  Save(files_ / "chata");
  ASSERT_EQ(Status(), u"nastavení uloženo");
  EXPECT_EQ(requests_.at(0).default_suffix, QStringLiteral("cfg"));
  EXPECT_EQ(Entries(files_), std::vector<std::string>{"chata.cfg"});
  EXPECT_EQ(ReadRaw(files_ / "chata.cfg").size(), 2098U);

  internet().SetText(kUserId, u"jiny");
  Load(files_ / "chata");
  EXPECT_EQ(Status(), u"nastavení načteno");
  EXPECT_EQ(internet().GetText(kUserId), u"chata-7");
}

TEST_F(SettingsWindowTest, CancelledDialogsChangeNothing) {
  OpenOnUnit();
  TypeConfiguration();
  const Pages before = Take();
  dlg_->SetText(1000, u"data uložena");
  answer_.reset();
  ClickWindow(kSaveSettings);
  EXPECT_EQ(Status(), u"data uložena");
  ClickWindow(kLoadSettings);
  EXPECT_EQ(Status(), u"");
  EXPECT_TRUE(Take() == before);
  EXPECT_TRUE(activations_.empty());
  EXPECT_TRUE(boxes_.empty());
  EXPECT_EQ(requests_.size(), 2U);
  EXPECT_TRUE(Entries(root_ / "program" / "config").empty());
}

TEST_F(SettingsWindowTest, TheCommandLineShowsWhatWasTypedIntoThePages) {
  OpenOnUnit();
  TypeConfiguration();
  const fs::path path = files_ / "chata.cfg";
  Save(path);
  ASSERT_EQ(Status(), u"nastavení uloženo");

  std::ostringstream out;
  std::ostringstream err;
  ASSERT_EQ(RunCli({"show", path.string()}, out, err), kExitDone) << err.str();
  const std::string json = out.str();
  EXPECT_NE(json.find("\"userName\": \"Chata Bělá\""), std::string::npos) << json;
  EXPECT_NE(json.find("{\"number\": \"+420777000111\", \"ringLength\": 44, \"ringCount\": 0, "
                      "\"smsMask\": 64, \"ringMask\": 1}"),
            std::string::npos)
      << json;
  EXPECT_NE(json.find("\"userId\": \"chata-7\""), std::string::npos) << json;
}

}  // namespace
}  // namespace telvora
