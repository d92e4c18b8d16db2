// The main window on real widgets: the port selector, the search, the manual choice,
// the password change, the relay status message and closing.
#include <QKeyEvent>
#include <QPushButton>
#include <QTest>

#include "gui_fixture.h"
#include "link/commands.h"
#include "link/link_state.h"
#include "relay/internet_page.h"
#include "relay/relay_state.h"
#include "resources/strings.h"

namespace telvora {
namespace {

TEST_F(MainWindowTest, StartsSearchingWithDefaultsAndAFullPortSelector) {
  Open();
  EXPECT_EQ(dlg_->windowTitle(), QStringLiteral("Telvora v14-01-21-CZ"));
  EXPECT_EQ(Status(), u"vyhledávání portu");
  for (int id : {1004, 1009, 1010}) EXPECT_EQ(dlg_->GetText(id), u"5807") << id;
  ASSERT_EQ(dlg_->ItemCount(1003), 257);
  EXPECT_EQ(dlg_->ItemText(1003, 0), u"com1");
  EXPECT_EQ(dlg_->ItemText(1003, 255), u"com256");
  EXPECT_EQ(dlg_->ItemText(1003, 256), u"not open");
  EXPECT_EQ(dlg_->GetCurSel(1003), -1);
  EXPECT_EQ(dlg_->sheet().PageCount(), 3);
  EXPECT_EQ(dlg_->sheet().ActivePageIndex(), 0);
}

TEST_F(MainWindowTest, EnterLeavesTheWindowOpen) {
  Open();
  QWidget* edit = dlg_->Control(1004);
  edit->setFocus();
  QTest::keyClick(edit, Qt::Key_Return);
  QTest::keyClick(dlg_.get(), Qt::Key_Enter);
  EXPECT_TRUE(dlg_->isVisible());
  EXPECT_EQ(dlg_->GetText(1004), u"5807");
}

TEST_F(MainWindowTest, SearchFindsTheUnitAtCom3AndNeverOpensCom4) {
  UnitSimulator silent(FastUnit());
  UnitSimulator unit(FastUnit());
  UnitSimulator beyond(FastUnit());
  ASSERT_TRUE(silent.Start() && unit.Start() && beyond.Start());
  silent.InjectNext(SimFault::Silent(), 100);
  PortMap::Instance().Set(1, "/dev/telvora-missing");
  PortMap::Instance().Set(2, silent.DevicePath());
  PortMap::Instance().Set(3, unit.DevicePath());
  PortMap::Instance().Set(4, beyond.DevicePath());
  Open();
  ASSERT_TRUE(Settled());
  const std::vector<std::u16string> expected = {u"1", u"2", u"3", u"port nalezen !"};
  EXPECT_EQ(status_, expected);
  EXPECT_EQ(dlg_->GetCurSel(1003), 2);
  EXPECT_TRUE(dlg_->IsChecked(1002));
  EXPECT_EQ(beyond.RequestCount(), 0U);
  // The port's device is named where the user looks for it.
  auto* combo = qobject_cast<QComboBox*>(dlg_->Control(1003));
  EXPECT_EQ(combo->itemData(2, Qt::ToolTipRole).toString().toStdString(), unit.DevicePath());
}

TEST_F(MainWindowTest, NoPortAtAllEndsInNotOpen) {
  Open();
  ASSERT_TRUE(RunUntil([this] { return dlg_->search().state() == PortSearch::kGivenUp; }, 15));
  ASSERT_EQ(boxes_.size(), 1U);
  EXPECT_EQ(boxes_[0], QStringLiteral("port nenalezen ! "));
  EXPECT_EQ(Status(), u" ");
  EXPECT_EQ(dlg_->GetCurSel(1003), 256);
  EXPECT_FALSE(dlg_->IsChecked(1002));
  EXPECT_EQ(PortHandle(), PortHandleState::kNone);
}

TEST_F(MainWindowTest, ManualChoiceNotOpenAndRestart) {
  UnitSimulator unit(FastUnit());
  ASSERT_TRUE(unit.Start());
  PortMap::Instance().Set(2, unit.DevicePath());
  Open();
  ASSERT_TRUE(Settled());
  EXPECT_EQ(dlg_->GetCurSel(1003), 1);
  const std::uint64_t probes = unit.RequestCount();

  // "not open" closes the port and leaves the search where it was.
  auto* combo = qobject_cast<QComboBox*>(dlg_->Control(1003));
  combo->setCurrentIndex(256);
  emit combo->activated(256);
  EXPECT_EQ(PortHandle(), PortHandleState::kNone);
  EXPECT_FALSE(dlg_->IsChecked(1002));

  // Choosing the unit's port by hand announces it without a probe.
  combo->setCurrentIndex(1);
  emit combo->activated(1);
  EXPECT_TRUE(dlg_->IsChecked(1002));
  ASSERT_TRUE(Settled());
  EXPECT_EQ(Status(), u"port nalezen !");
  EXPECT_EQ(unit.RequestCount(), probes);

  // "?" starts again at COM1.
  status_.clear();
  qobject_cast<QPushButton*>(dlg_->Control(1001))->click();
  ASSERT_TRUE(Settled());
  const std::vector<std::u16string> expected = {u"vyhledávání portu", u"1", u"2",
                                                u"port nalezen !"};
  EXPECT_EQ(status_, expected);
}

TEST_F(MainWindowTest, PasswordChangeSendsOneFrameOrRefusesMistypedInput) {
  UnitSimulator unit(FastUnit());
  ASSERT_TRUE(unit.Start());
  PortMap::Instance().Set(1, unit.DevicePath());
  Open();
  ASSERT_TRUE(Settled());
  unit.ClearRequests();
  auto* save = qobject_cast<QPushButton*>(dlg_->Control(1011));

  struct Mistyped {
    std::u16string next;
    std::u16string confirmation;
  };
  const Mistyped cases[] = {
      {u"1234", u"1235"}, {u"1234", u"1234 "}, {u"12345", u"12345"}, {u"", u""}};
  for (const Mistyped& c : cases) {
    boxes_.clear();
    dlg_->SetText(1009, c.next);
    dlg_->SetText(1010, c.confirmation);
    save->click();
    ASSERT_EQ(boxes_.size(), 1U);
    EXPECT_EQ(boxes_[0], QStringLiteral("chybně napsané nové heslo "));
  }
  EXPECT_TRUE(unit.Requests().empty());

  dlg_->SetText(1009, u"4321");
  dlg_->SetText(1010, u"4321");
  save->click();
  EXPECT_EQ(Status(), u"data uložena");
  const auto got = unit.Requests();
  ASSERT_EQ(got.size(), 1U);
  EXPECT_EQ(got[0].header.command, cmd::kPassword);
  EXPECT_EQ(got[0].header.address, 128U);
  EXPECT_EQ(got[0].header.length, 5U);
  EXPECT_EQ(got[0].header.type, kTypeWrite);
  EXPECT_EQ(got[0].payload, (std::vector<std::uint8_t>{'4', '3', '2', '1', 0}));
  // The field of the current password is the user's to change.
  EXPECT_EQ(dlg_->GetText(1004), u"5807");
  save->click();
  EXPECT_EQ(Status(), u"nesprávné heslo");
}

TEST_F(MainWindowTest, PasswordChangeWithoutReplyReportsAFailedWrite) {
  UnitSimulator unit(FastUnit());
  ASSERT_TRUE(unit.Start());
  PortMap::Instance().Set(1, unit.DevicePath());
  Open();
  ASSERT_TRUE(Settled());
  unit.InjectNext(SimFault::Silent(), 1);
  // A close of the window ends the 500-second wait at once.
  QTimer::singleShot(1500, dlg_.get(), [this] { AbortTransactions = true; });
  qobject_cast<QPushButton*>(dlg_->Control(1011))->click();
  AbortTransactions = false;
  EXPECT_EQ(Status(), u"chyba uložení dat");
}

TEST_F(MainWindowTest, RelayStatusMessageShowsAndGrowsTheLog) {
  Open();
  ClearRelayLog();
  dlg_->loop().Post(WM_RELAY_STATUS, 0, 215);
  ASSERT_TRUE(RunUntil([this] { return Status() == u"konec přenosu"; }, 2));
  EXPECT_EQ(RelayLogText(), u"konec přenosu\n");
  EXPECT_EQ(dlg_->internetPage().GetText(1188), u"konec přenosu\n");
}

TEST_F(MainWindowTest, ClosingWhileAReaderPassRunsEndsCleanly) {
  UnitSimulator unit(FastUnit());
  ASSERT_TRUE(unit.Start());
  PortMap::Instance().Set(1, unit.DevicePath());
  Open();
  ASSERT_TRUE(Settled());
  StartReaderPass();
  dlg_->close();
  EXPECT_EQ(ReaderRunning.load(), 0);
  EXPECT_EQ(PortHandle(), PortHandleState::kNone);
}

}  // namespace
}  // namespace telvora
