// The internet page on real widgets: relay settings, the block at 0x4000, the log.
#include <QPushButton>
#include <filesystem>
#include <fstream>

#include "gui_fixture.h"
#include "link/commands.h"
#include "relay/internet_page.h"
#include "relay/relay_state.h"

namespace telvora {
namespace {

class InternetPageTest : public MainWindowTest {
 protected:
  void OpenOnUnit() {
    ASSERT_TRUE(unit_.Start());
    PortMap::Instance().Set(1, unit_.DevicePath());
    Open();
    ASSERT_TRUE(Settled());
    unit_.ClearRequests();
  }
  Cinternet& page() { return dlg_->internetPage(); }
  void Click(int id) { qobject_cast<QPushButton*>(page().Control(id))->click(); }

  UnitSimulator unit_{FastUnit()};
};

TEST_F(InternetPageTest, DefaultsBecomeTheRelaySettings) {
  Open();
  EXPECT_FALSE(page().GetText(1033).empty());
  EXPECT_EQ(page().GetText(1184), u"Telvora");
  EXPECT_EQ(RelayServerName, page().GetText(1033));
  EXPECT_EQ(RelayUserId, u"Telvora");
  page().SetText(1033, u"relay.example.net");
  EXPECT_EQ(RelayServerName, u"relay.example.net");
}

TEST_F(InternetPageTest, ImeiButtonBeforeAnyQueryGivesNotRead) {
  Open();
  Click(1185);
  EXPECT_EQ(page().GetText(1184), u"nenačteno");
  EXPECT_EQ(RelayUserId, u"nenačteno");
}

TEST_F(InternetPageTest, ReadShowsTheUnitsSettingsAndWriteSendsThem) {
  OpenOnUnit();
  std::vector<std::uint8_t> block(128, 0);
  const std::string user = "unit-42";
  const std::string server = "10.1.2.3";
  std::copy(user.begin(), user.end(), block.begin());
  std::copy(server.begin(), server.end(), block.begin() + 64);
  unit_.WriteMemory(kInternetAddress, block);
  Click(1039);
  EXPECT_EQ(Status(), u"data načtena ");
  EXPECT_EQ(page().GetText(1184), u"unit-42");
  EXPECT_EQ(page().GetText(1033), u"10.1.2.3");
  EXPECT_EQ(RelayServerName, u"10.1.2.3");
  ASSERT_EQ(unit_.Requests().size(), 1U);
  EXPECT_EQ(unit_.Requests()[0].header.length, 128U);

  unit_.ClearRequests();
  page().SetText(1184, u"unit-7");
  Click(1053);
  EXPECT_EQ(Status(), u"data uložena");
  const auto got = unit_.Requests();
  ASSERT_EQ(got.size(), 1U);
  EXPECT_EQ(got[0].header.address, kInternetAddress);
  const auto stored = unit_.ReadMemory(kInternetAddress, 128);
  EXPECT_EQ(std::string(stored.begin(), stored.begin() + 6), "unit-7");
  EXPECT_EQ(stored[6], 0);
  EXPECT_EQ(stored[7], 0);
}

TEST_F(InternetPageTest, RefusedOrLostReadChangesNothing) {
  OpenOnUnit();
  page().SetText(1184, u"mine");
  const InternetBlock before = page().CurrentBlock();
  unit_.InjectNext(SimFault::Refuse(), 1);
  Click(1039);
  EXPECT_EQ(Status(), u"nesprávné heslo");
  unit_.InjectNext(SimFault::ShortAnswer(20), 1);
  Click(1039);
  EXPECT_EQ(Status(), u"chyba čtení dat");
  EXPECT_EQ(page().GetText(1184), u"mine");
  EXPECT_EQ(page().CurrentBlock(), before);
}

TEST_F(InternetPageTest, ClearingTheLogEmptiesViewAndLog) {
  Open();
  page().AppendLog(u"Socket vytvořen\n");
  EXPECT_EQ(page().GetText(1188), u"Socket vytvořen\n");
  Click(1189);
  EXPECT_TRUE(RelayLogText().empty());
  EXPECT_TRUE(page().GetText(1188).empty());
}

TEST_F(InternetPageTest, SettingsFileCarriesTheRelaySettings) {
  Open();
  const auto file = std::filesystem::temp_directory_path() /
                    ("telvora-relay-" + std::to_string(::getpid()) + ".cfg");
  SetFileDialogHook([&](const FileDialogRequest&) { return std::optional(file); });
  page().SetText(1033, u"relay.example.net");
  page().SetText(1184, u"unit-9");
  qobject_cast<QPushButton*>(dlg_->Control(1008))->click();
  ASSERT_EQ(Status(), u"nastavení uloženo");
  std::ifstream in(file, std::ios::binary);
  const std::string bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  ASSERT_EQ(bytes.size(), 2098U);
  EXPECT_EQ(bytes.substr(1970, 7), std::string("unit-9\0", 7));
  EXPECT_EQ(bytes.substr(2034, 18), std::string("relay.example.net\0", 18));

  page().SetText(1033, u"other");
  page().SetText(1184, u"other");
  qobject_cast<QPushButton*>(dlg_->Control(1007))->click();
  EXPECT_EQ(Status(), u"nastavení načteno");
  EXPECT_EQ(page().GetText(1033), u"relay.example.net");
  EXPECT_EQ(page().GetText(1184), u"unit-9");
  EXPECT_EQ(RelayServerName, u"relay.example.net");
  EXPECT_EQ(RelayUserId, u"unit-9");
  SetFileDialogHook({});
  std::filesystem::remove(file);
}

}  // namespace
}  // namespace telvora
