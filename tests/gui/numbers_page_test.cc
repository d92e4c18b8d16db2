// The telephone numbers page on real widgets against a simulated unit: the list, the entry
// controls, and reading and writing the 1280-byte table.
#include <QListWidget>
#include <QPushButton>
#include <QTest>

#include <array>
#include <string>

#include "gui_fixture.h"
#include "link/commands.h"
#include "pages/numbers_page.h"

namespace telvora {
namespace {

constexpr int kList = 1083;
constexpr int kNumberEdit = 1085;
constexpr int kRingLength = 1086;
constexpr int kRingCount = 1087;
constexpr std::size_t kRingLengthAt = 1024;
constexpr std::size_t kRingCountAt = 1088;
constexpr std::size_t kSmsMaskAt = 1152;
constexpr std::size_t kRingMaskAt = 1216;
// Ring column and SMS column, bit 0 first.
constexpr std::array<int, 5> kRingBoxIds = {1047, 1049, 1051, 1055, 1089};
constexpr std::array<int, 7> kSmsBoxIds = {1048, 1050, 1052, 1088, 1090, 1063, 1062};

void PutText(NumberBlock& block, std::size_t entry, std::string_view bytes) {
  for (std::size_t k = 0; k < kNumberTextSize; ++k) {
    block.bytes[entry * kNumberTextSize + k] =
        k < bytes.size() ? static_cast<std::uint8_t>(bytes[k]) : 0;
  }
}

// A table as a unit might hold it: every entry different, entry 0 with both masks set.
NumberBlock UnitTable() {
  NumberBlock block;
  for (std::size_t i = 0; i < kNumberEntries; ++i) {
    PutText(block, i, "6021000" + std::to_string(10 + i));
    block.bytes[kRingLengthAt + i] = static_cast<std::uint8_t>(100 + i);
    block.bytes[kRingCountAt + i] = static_cast<std::uint8_t>(i % 5);
    block.bytes[kSmsMaskAt + i] = static_cast<std::uint8_t>(i & 0x7F);
    block.bytes[kRingMaskAt + i] = static_cast<std::uint8_t>(i & 0x1F);
  }
  block.bytes[kRingLengthAt] = 33;
  block.bytes[kRingCountAt] = 2;
  block.bytes[kSmsMaskAt] = 0x62;
  block.bytes[kRingMaskAt] = 0x05;
  // No zero byte at all: the row shows all 16 bytes.
  PutText(block, 5, "1234567890123456");
  // A Windows-1250 byte: 0x9A is "š".
  PutText(block, 6,
          "tel\x9A"
          "a");
  return block;
}

class NumbersPageTest : public MainWindowTest {
 protected:
  void OpenOnUnit() {
    ASSERT_TRUE(unit_.Start());
    PortMap::Instance().Set(1, unit_.DevicePath());
    Open();
    ASSERT_TRUE(Settled());
    dlg_->sheet().SetActivePage(1);
    unit_.ClearRequests();
    status_.clear();
  }
  Ccisla& page() { return dlg_->numbersPage(); }
  QListWidget* list() { return qobject_cast<QListWidget*>(page().Control(kList)); }
  void Click(int id) { qobject_cast<QPushButton*>(page().Control(id))->click(); }
  // The user moves the selection (the keyboard's way: selection and current row at once).
  void Select(int row) { list()->setCurrentRow(row, QItemSelectionModel::ClearAndSelect); }
  // The user clicks a row with the mouse.
  void ClickRow(int row) {
    QListWidgetItem* item = list()->item(row);
    list()->scrollToItem(item);
    QTest::mouseClick(list()->viewport(), Qt::LeftButton, {},
                      list()->visualItemRect(item).center());
  }
  void Type(int row, std::u16string_view number) {
    Select(row);
    page().SetText(kNumberEdit, number);
    Click(1084);
  }
  void CheckBoxes(std::span<const int> ids, unsigned mask) {
    for (std::size_t k = 0; k < ids.size(); ++k) page().SetChecked(ids[k], ((mask >> k) & 1) != 0);
  }
  unsigned Checked(std::span<const int> ids) {
    unsigned mask = 0;
    for (std::size_t k = 0; k < ids.size(); ++k) mask |= page().IsChecked(ids[k]) ? 1U << k : 0;
    return mask;
  }
  std::vector<std::u16string> Rows() {
    std::vector<std::u16string> rows;
    rows.reserve(static_cast<std::size_t>(page().ItemCount(kList)));
    for (int i = 0; i < page().ItemCount(kList); ++i) rows.push_back(page().ItemText(kList, i));
    return rows;
  }
  std::vector<std::uint8_t> UnitTableBytes() {
    return unit_.ReadMemory(kNumberAddress, kNumberBlockSize);
  }

  // Everything the page shows and holds, to see that a failed transfer changed nothing.
  struct Snapshot {
    std::vector<std::u16string> rows;
    int selected;
    int entry;
    std::u16string ringLength;
    int ringCount;
    unsigned ringBoxes;
    unsigned smsBoxes;
    NumberBlock block;
    friend bool operator==(const Snapshot&, const Snapshot&) = default;
  };
  Snapshot Take() {
    return {Rows(),
            page().GetCurSel(kList),
            page().CurrentEntry(),
            page().GetText(kRingLength),
            page().GetCurSel(kRingCount),
            Checked(kRingBoxIds),
            Checked(kSmsBoxIds),
            page().CurrentBlock()};
  }

  UnitSimulator unit_{FastUnit()};
};

TEST_F(NumbersPageTest, StartsWithSixtyFourEmptyRowsAndDefaultEntries) {
  Open();
  EXPECT_EQ(Rows(), std::vector<std::u16string>(64, u"x"));
  EXPECT_EQ(page().GetCurSel(kList), 0);
  EXPECT_EQ(page().CurrentEntry(), 0);
  EXPECT_EQ(page().GetText(kRingLength), u"10");
  ASSERT_EQ(page().ItemCount(kRingCount), 5);
  for (int i = 0; i < 5; ++i) {
    EXPECT_EQ(page().ItemText(kRingCount, i), std::u16string(1, static_cast<char16_t>(u'1' + i)));
  }
  EXPECT_EQ(page().GetCurSel(kRingCount), 0);
  EXPECT_EQ(Checked(kRingBoxIds), 0U);
  EXPECT_EQ(Checked(kSmsBoxIds), 0U);
  const NumberBlock& block = page().CurrentBlock();
  for (std::size_t i = 0; i < kNumberEntries; ++i) {
    EXPECT_EQ(block.bytes[kRingLengthAt + i], 10) << i;
    EXPECT_EQ(block.bytes[kRingCountAt + i], 0) << i;
    EXPECT_EQ(block.bytes[kSmsMaskAt + i], 0) << i;
    EXPECT_EQ(block.bytes[kRingMaskAt + i], 0) << i;
  }
  EXPECT_EQ(page().GetText(1053), u"načti čísla");
  EXPECT_EQ(page().GetText(1091), u"ulož čísla");
}

TEST_F(NumbersPageTest, LoadReadsFiveChunksAndReplacesEveryRowAndEntry) {
  OpenOnUnit();
  const NumberBlock table = UnitTable();
  unit_.WriteMemory(kNumberAddress, table.bytes);
  // Whatever the page showed before is replaced, the typing in the entry controls too.
  Type(7, u"999");
  page().SetText(kRingLength, u"55");
  page().SetChecked(1047, true);

  Click(1053);
  EXPECT_EQ(status_, (std::vector<std::u16string>{u"přenos ", u"data načtena "}));
  const auto got = unit_.Requests();
  ASSERT_EQ(got.size(), 5U);
  for (std::size_t k = 0; k < got.size(); ++k) {
    SCOPED_TRACE(k);
    EXPECT_EQ(got[k].header.command, cmd::kBlock);
    EXPECT_EQ(got[k].header.type, kTypeRead);
    EXPECT_EQ(got[k].header.address, 0x0800U + 256U * k);
    EXPECT_EQ(got[k].header.length, 256U);
    EXPECT_TRUE(got[k].payload.empty());
    EXPECT_EQ(got[k].header.password, UnitSimulator::PasswordBytes("5807"));
  }

  EXPECT_EQ(page().CurrentBlock(), table);
  const std::vector<std::u16string> rows = Rows();
  ASSERT_EQ(rows.size(), 64U);
  EXPECT_EQ(rows[0], u"602100010");
  EXPECT_EQ(rows[5], u"1234567890123456");
  EXPECT_EQ(rows[6], u"telša");
  EXPECT_EQ(rows[7], u"602100017");
  EXPECT_EQ(rows[63], u"602100073");
  EXPECT_EQ(page().GetCurSel(kList), 0);
  EXPECT_EQ(page().CurrentEntry(), 0);
  EXPECT_EQ(page().GetText(kRingLength), u"33");
  EXPECT_EQ(page().GetCurSel(kRingCount), 2);
  EXPECT_EQ(Checked(kRingBoxIds), 0x05U);
  EXPECT_EQ(Checked(kSmsBoxIds), 0x62U);

  // Moving on shows the next entry as read, and the values of entry 0 stay as they came.
  Select(9);
  EXPECT_EQ(page().GetText(kRingLength), u"109");
  EXPECT_EQ(page().GetCurSel(kRingCount), 4);
  EXPECT_EQ(Checked(kSmsBoxIds), 9U);
  EXPECT_EQ(page().CurrentBlock(), table);
}

TEST_F(NumbersPageTest, SaveSendsTenChunksOfTheTableAsTyped) {
  OpenOnUnit();
  unit_.WriteMemory(kNumberAddress, std::vector<std::uint8_t>(kNumberBlockSize, 0xEE));
  const std::u16string twenty = u"+4207770001112223334";
  ASSERT_EQ(twenty.size(), 20U);
  Type(63, u"123456789012345");
  Type(2, u"Žár");
  Type(0, twenty);
  // The example of the ring and SMS columns: ring in1 + analog, SMS in2 + return + system.
  page().SetChecked(1047, true);
  page().SetChecked(1051, true);
  page().SetChecked(1050, true);
  page().SetChecked(1063, true);
  page().SetChecked(1062, true);
  page().SetText(kRingLength, u"44");
  page().SetCurSel(kRingCount, 3);

  Click(1091);
  EXPECT_EQ(status_, (std::vector<std::u16string>{u"přenos ", u"data uložena"}));
  // The row keeps the whole text; only the block is cut.
  EXPECT_EQ(page().ItemText(kList, 0), twenty);

  const std::vector<std::uint8_t> sent = UnitTableBytes();
  const auto got = unit_.Requests();
  ASSERT_EQ(got.size(), 10U);
  for (std::size_t k = 0; k < got.size(); ++k) {
    SCOPED_TRACE(k);
    EXPECT_EQ(got[k].header.command, cmd::kBlock);
    EXPECT_EQ(got[k].header.type, kTypeWrite);
    EXPECT_EQ(got[k].header.address, 0x0800U + 128U * k);
    EXPECT_EQ(got[k].header.length, 128U);
    EXPECT_EQ(got[k].payload,
              std::vector<std::uint8_t>(sent.begin() + 128 * k, sent.begin() + 128 * (k + 1)));
  }
  EXPECT_EQ(std::vector<std::uint8_t>(sent.begin(), sent.end()),
            std::vector<std::uint8_t>(page().CurrentBlock().bytes.begin(),
                                      page().CurrentBlock().bytes.end()));

  // Twenty characters go out as their first fifteen and a zero byte.
  EXPECT_EQ(std::string(sent.begin(), sent.begin() + 15), "+42077700011122");
  EXPECT_EQ(sent[15], 0);
  // Fifteen characters in entry 63 fill its field to the last byte and no further.
  EXPECT_EQ(std::string(sent.begin() + 1008, sent.begin() + 1023), "123456789012345");
  EXPECT_EQ(sent[1023], 0);
  EXPECT_EQ(sent[kRingLengthAt], 44);
  // Empty rows and the Windows-1250 text.
  EXPECT_EQ((std::vector<std::uint8_t>(sent.begin() + 16, sent.begin() + 19)),
            (std::vector<std::uint8_t>{'x', 0, 0}));
  EXPECT_EQ((std::vector<std::uint8_t>(sent.begin() + 32, sent.begin() + 36)),
            (std::vector<std::uint8_t>{0x8E, 0xE1, 'r', 0}));
  EXPECT_EQ(sent[kRingCountAt], 3);
  EXPECT_EQ(sent[kRingMaskAt], 0x05);
  EXPECT_EQ(sent[kSmsMaskAt], 0x62);
  // The other entries keep their defaults.
  EXPECT_EQ(sent[kRingLengthAt + 1], 10);
  EXPECT_EQ(sent[kRingMaskAt + 1], 0);
}

TEST_F(NumbersPageTest, RingLengthOutsideAByteOrNotANumberIsRefused) {
  OpenOnUnit();
  struct Case {
    std::u16string typed;
    int stored;  // -1: refused
  };
  const Case cases[] = {{u"300", -1}, {u"-1", -1},   {u"abc", -1}, {u"", -1},  {u"12x", -1},
                        {u"0", 0},    {u"255", 255}, {u" 7 ", 7},  {u"44", 44}};
  Select(4);
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.typed.begin(), c.typed.end()));
    unit_.ClearRequests();
    boxes_.clear();
    status_.clear();
    const NumberBlock before = page().CurrentBlock();
    page().SetText(kRingLength, c.typed);
    Click(1091);
    if (c.stored < 0) {
      ASSERT_EQ(boxes_.size(), 1U);
      EXPECT_TRUE(boxes_[0].contains(QStringLiteral("délka zvonění"))) << boxes_[0].toStdString();
      EXPECT_TRUE(page().IsInvalid(kRingLength));
      EXPECT_EQ(page().GetText(kRingLength), c.typed);
      EXPECT_TRUE(unit_.Requests().empty());
      EXPECT_TRUE(status_.empty());
      EXPECT_EQ(page().CurrentBlock(), before);
    } else {
      EXPECT_TRUE(boxes_.empty());
      EXPECT_FALSE(page().IsInvalid(kRingLength));
      EXPECT_EQ(Status(), u"data uložena");
      EXPECT_EQ(UnitTableBytes()[kRingLengthAt + 4], c.stored);
    }
  }
}

TEST_F(NumbersPageTest, DeleteSendsAnEmptyNumberWithTheEntrysOtherValues) {
  OpenOnUnit();
  const NumberBlock table = UnitTable();
  unit_.WriteMemory(kNumberAddress, table.bytes);
  Click(1053);
  ASSERT_EQ(Status(), u"data načtena ");

  Select(4);
  Click(1039);
  EXPECT_EQ(page().ItemText(kList, 4), u"x");
  EXPECT_EQ(page().GetCurSel(kList), 4);
  EXPECT_EQ(page().ItemText(kList, 3), u"602100013");

  Click(1091);
  ASSERT_EQ(Status(), u"data uložena");
  const std::vector<std::uint8_t> sent = UnitTableBytes();
  EXPECT_EQ((std::vector<std::uint8_t>(sent.begin() + 64, sent.begin() + 67)),
            (std::vector<std::uint8_t>{'x', 0, 0}));
  for (const std::size_t at : {kRingLengthAt, kRingCountAt, kSmsMaskAt, kRingMaskAt}) {
    EXPECT_EQ(sent[at + 4], table.bytes[at + 4]) << at;
  }
  EXPECT_EQ(std::string(sent.begin() + 48, sent.begin() + 57), "602100013");
}

TEST_F(NumbersPageTest, ChangingTheSelectionStoresTheEntryAndShowsTheNext) {
  Open();
  Select(3);
  CheckBoxes(kRingBoxIds, 0x12);
  CheckBoxes(kSmsBoxIds, 0x41);
  page().SetText(kRingLength, u"77");
  page().SetCurSel(kRingCount, 4);
  // Nothing is stored before the selection moves.
  EXPECT_EQ(page().CurrentBlock().bytes[kRingMaskAt + 3], 0);

  Select(5);
  const NumberBlock& block = page().CurrentBlock();
  EXPECT_EQ(block.bytes[kRingMaskAt + 3], 0x12);
  EXPECT_EQ(block.bytes[kSmsMaskAt + 3], 0x41);
  EXPECT_EQ(block.bytes[kRingLengthAt + 3], 77);
  EXPECT_EQ(block.bytes[kRingCountAt + 3], 4);
  EXPECT_EQ(page().CurrentEntry(), 5);
  EXPECT_EQ(page().GetText(kRingLength), u"10");
  EXPECT_EQ(page().GetCurSel(kRingCount), 0);
  EXPECT_EQ(Checked(kRingBoxIds), 0U);
  EXPECT_EQ(Checked(kSmsBoxIds), 0U);

  Select(3);
  EXPECT_EQ(page().GetText(kRingLength), u"77");
  EXPECT_EQ(page().GetCurSel(kRingCount), 4);
  EXPECT_EQ(Checked(kRingBoxIds), 0x12U);
  EXPECT_EQ(Checked(kSmsBoxIds), 0x41U);
}

TEST_F(NumbersPageTest, ARefusedRingLengthKeepsTheSelectionOnItsEntry) {
  Open();
  dlg_->sheet().SetActivePage(1);
  Select(3);
  page().SetChecked(1047, true);
  page().SetText(kRingLength, u"300");

  ClickRow(5);
  ASSERT_TRUE(RunUntil([this] { return !boxes_.empty(); }, 2));
  EXPECT_TRUE(boxes_[0].contains(QStringLiteral("300"))) << boxes_[0].toStdString();
  EXPECT_EQ(page().GetCurSel(kList), 3);
  EXPECT_EQ(page().CurrentEntry(), 3);
  // The typing is still there to be corrected, and nothing of it reached the block.
  EXPECT_EQ(page().GetText(kRingLength), u"300");
  EXPECT_TRUE(page().IsChecked(1047));
  EXPECT_TRUE(page().IsInvalid(kRingLength));
  EXPECT_EQ(page().CurrentBlock().bytes[kRingLengthAt + 3], 10);
  EXPECT_EQ(page().CurrentBlock().bytes[kRingMaskAt + 3], 0);
  EXPECT_EQ(boxes_.size(), 1U);

  page().SetText(kRingLength, u"30");
  ClickRow(5);
  EXPECT_EQ(page().GetCurSel(kList), 5);
  EXPECT_EQ(page().CurrentEntry(), 5);
  EXPECT_FALSE(page().IsInvalid(kRingLength));
  EXPECT_EQ(page().CurrentBlock().bytes[kRingLengthAt + 3], 30);
  EXPECT_EQ(page().CurrentBlock().bytes[kRingMaskAt + 3], 0x01);
  EXPECT_EQ(page().GetText(kRingLength), u"10");
  EXPECT_EQ(boxes_.size(), 1U);
}

TEST_F(NumbersPageTest, ARefusedOrBrokenReadLeavesTheTableAsItWas) {
  OpenOnUnit();
  unit_.WriteMemory(kNumberAddress, UnitTable().bytes);
  Type(2, u"+420604111222");
  Select(2);
  page().SetChecked(1089, true);
  page().SetText(kRingLength, u"21");

  struct Case {
    const char* name;
    SimFault fault;
    std::uint64_t chunk;  // the fault hits this chunk, 1 to 5
    std::u16string status;
  };
  const Case cases[] = {
      {"wrong password", SimFault::Refuse(), 1, u"nesprávné heslo"},
      {"wrong password at the end", SimFault::Refuse(), 5, u"nesprávné heslo"},
      {"short chunk", SimFault::ShortAnswer(100), 3, u"chyba čtení dat"},
      {"no reply", SimFault::Silent(), 2, u"chyba čtení dat"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const Snapshot before = Take();
    unit_.InjectAt(unit_.RequestCount() + c.chunk, c.fault);
    status_.clear();
    Click(1053);
    EXPECT_EQ(status_, (std::vector<std::u16string>{u"přenos ", c.status}));
    EXPECT_TRUE(Take() == before);
    unit_.ClearFaults();
  }
}

TEST_F(NumbersPageTest, ARefusedOrLostWriteIsReported) {
  OpenOnUnit();
  struct Case {
    const char* name;
    SimFault fault;
    std::u16string status;
  };
  const Case cases[] = {
      {"wrong password", SimFault::Refuse(), u"nesprávné heslo"},
      {"no reply", SimFault::Silent(), u"chyba uložení dat"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    unit_.InjectAt(unit_.RequestCount() + 1, c.fault);
    status_.clear();
    Click(1091);
    EXPECT_EQ(status_, (std::vector<std::u16string>{u"přenos ", c.status}));
    unit_.ClearFaults();
  }
}

}  // namespace
}  // namespace telvora
