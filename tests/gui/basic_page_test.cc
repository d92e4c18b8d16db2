// The basic configuration page on real widgets against a simulated unit: the 690-byte block
// to and from the unit, refused input, and the live queries with their shown texts.
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include <algorithm>
#include <array>
#include <ctime>
#include <string>
#include <vector>

#include "gui_fixture.h"
#include "link/commands.h"
#include "link/link_state.h"
#include "pages/basic_page.h"
#include "pages/shared_texts.h"
#include "relay/relay_state.h"
#include "tools/relay_server.h"

namespace telvora {
namespace {

using Bytes = std::vector<std::uint8_t>;

constexpr int kLoad = 1061;
constexpr int kSave = 1060;

void PutText(Bytes& b, std::size_t offset, std::string_view text) {
  std::copy(text.begin(), text.end(), b.begin() + static_cast<std::ptrdiff_t>(offset));
}

void PutLe16(Bytes& b, std::size_t offset, int value) {
  const auto v = static_cast<std::uint16_t>(value);
  b[offset] = static_cast<std::uint8_t>(v & 0xFF);
  b[offset + 1] = static_cast<std::uint8_t>(v >> 8);
}

// What the page holds before anything is read, written out by hand.
Bytes DefaultBlock() {
  Bytes b(kBasicBlockSize, 0);
  PutText(b, 0, "Nazev uzivatele ");
  PutText(b, 64, "vstup1 ");
  PutText(b, 128, "vstup2");
  PutText(b, 192, "vstup1 navrat");
  PutText(b, 256, "vstup2 navrat");
  PutText(b, 320, "napeti");
  PutText(b, 384, "teplota1");
  PutText(b, 448, "teplota2");
  PutText(b, 512, "vystup1");
  PutText(b, 576, "vystup2");
  PutLe16(b, 644, 5);
  PutLe16(b, 646, 5);
  PutLe16(b, 654, 300);
  PutLe16(b, 658, -1000);
  PutLe16(b, 660, -1000);
  PutLe16(b, 662, 990);
  PutLe16(b, 664, 990);
  PutLe16(b, 666, 5);
  PutLe16(b, 668, 20);
  return b;
}

std::u16string Ascii(std::string_view text) {
  return {text.begin(), text.end()};
}

class BasicPageTest : public MainWindowTest {
 protected:
  void TearDown() override {
    ImeiText.clear();
    RelayServerName.clear();
    RelayUserId.clear();
    MainWindowTest::TearDown();
  }

  void OpenOnUnit() {
    ASSERT_TRUE(unit_.Start());
    PortMap::Instance().Set(1, unit_.DevicePath());
    Open();
    ASSERT_TRUE(Settled());
    unit_.ClearRequests();
    status_.clear();
    boxes_.clear();
  }
  Czaklad& page() { return dlg_->basicPage(); }
  void Click(int id) { qobject_cast<QPushButton*>(page().Control(id))->click(); }
  void Type(int id, std::u16string_view text) {
    auto* edit = qobject_cast<QLineEdit*>(page().Control(id));
    edit->selectAll();
    edit->del();
    // As typed, but also for letters that have no key on the test's keyboard.
    edit->insert(QString::fromStdU16String(std::u16string(text)));
  }
  Bytes UnitBlock() const { return unit_.ReadMemory(kBasicAddress, kBasicBlockSize); }
  Bytes Current() {
    return {page().CurrentBlock().bytes.begin(), page().CurrentBlock().bytes.end()};
  }
  Bytes Pack() {
    std::array<std::uint8_t, kBasicBlockSize> out{};
    EXPECT_TRUE(page().PackBlock(out));
    return {out.begin(), out.end()};
  }
  void Unpack(const Bytes& b) {
    page().UnpackBlock(std::span<const std::uint8_t, kBasicBlockSize>(b.data(), kBasicBlockSize));
  }
  // The payloads of the six write frames of a save, checked for address and length.
  Bytes WrittenBlock() {
    const auto got = unit_.Requests();
    EXPECT_EQ(got.size(), 6U);
    Bytes block;
    for (std::size_t k = 0; k < got.size(); ++k) {
      SCOPED_TRACE(k);
      EXPECT_EQ(got[k].header.command, cmd::kBlock);
      EXPECT_EQ(got[k].header.type, kTypeWrite);
      EXPECT_EQ(got[k].header.address, 0x0400U + 128U * k);
      EXPECT_EQ(got[k].header.length, k < 5 ? 128U : 50U);
      EXPECT_EQ(got[k].payload.size(), got[k].header.length);
      block.insert(block.end(), got[k].payload.begin(), got[k].payload.end());
    }
    return block;
  }
  // The one request a query sends.
  ReceivedRequest OnlyRequest() {
    const auto got = unit_.Requests();
    EXPECT_EQ(got.size(), 1U);
    return got.empty() ? ReceivedRequest{} : got.front();
  }

  // Everything every control of the page shows.
  struct Shown {
    std::u16string text;
    bool checked;
    int selection;
    bool invalid;
    friend bool operator==(const Shown&, const Shown&) = default;
  };
  std::vector<Shown> Snapshot() {
    std::vector<Shown> all;
    for (const ControlTemplate& c : page().Template().controls) {
      if (c.id == kNoControlId) continue;
      all.push_back({page().GetText(c.id), page().IsChecked(c.id), page().GetCurSel(c.id),
                     page().IsInvalid(c.id)});
    }
    return all;
  }

  UnitSimulator unit_{FastUnit()};
};

TEST_F(BasicPageTest, StartsWithDefaultsListsAndAZeroBlock) {
  Open();
  EXPECT_EQ(page().GetText(1058), u"Nazev uzivatele ");
  EXPECT_EQ(page().GetText(1020), u"vstup1 ");
  EXPECT_EQ(page().GetText(1035), u"-1000");
  EXPECT_EQ(page().GetText(1029), u"300");
  EXPECT_EQ(page().GetText(1194), u"0");
  const std::vector<std::u16string> modes = {u"spínací", u"rozpínací ", u"změna",
                                             u"zapnutí", u"vypnutí",    u"zap/vyp"};
  for (int combo : {1024, 1025}) {
    ASSERT_EQ(page().ItemCount(combo), 6) << combo;
    for (int i = 0; i < 6; ++i) EXPECT_EQ(page().ItemText(combo, i), modes[i]) << combo;
    EXPECT_EQ(page().GetCurSel(combo), 0) << combo;
  }
  const std::vector<std::u16string> operators = {u"Vodafone", u"Tmobile", u"O2", u"Blesk mobil"};
  ASSERT_EQ(page().ItemCount(1110), 4);
  for (int i = 0; i < 4; ++i) EXPECT_EQ(page().ItemText(1110, i), operators[i]);
  EXPECT_EQ(page().GetCurSel(1110), 3);
  EXPECT_EQ(page().GetText(1109), u"*161*#");
  EXPECT_EQ(page().GetText(kLoad), u"načti data");
  EXPECT_EQ(page().GetText(kSave), u"ulož data");
  EXPECT_FALSE(page().IsEnabled(1118));
  EXPECT_EQ(Current(), Bytes(kBasicBlockSize, 0));
}

TEST_F(BasicPageTest, SaveRightAfterStartSendsTheDefaultBlock) {
  OpenOnUnit();
  Click(kSave);
  EXPECT_EQ(status_, (std::vector<std::u16string>{u"přenos ", u"data uložena"}));
  EXPECT_EQ(WrittenBlock(), DefaultBlock());
  EXPECT_EQ(UnitBlock(), DefaultBlock());
  EXPECT_EQ(Current(), DefaultBlock());
  for (const auto& r : unit_.Requests()) {
    EXPECT_EQ(r.header.password, UnitSimulator::PasswordBytes("5807"));
  }
}

TEST_F(BasicPageTest, ReadThenWriteReturnsTheUnitsBlockBarTheHiddenFlags) {
  OpenOnUnit();
  const Bytes original = UnitBlock();
  Click(kLoad);
  EXPECT_EQ(status_, (std::vector<std::u16string>{u"přenos ", u"data načtena "}));
  const auto reads = unit_.Requests();
  ASSERT_EQ(reads.size(), 3U);
  const std::array<std::uint32_t, 3> lengths = {256, 256, 178};
  for (std::size_t k = 0; k < 3; ++k) {
    EXPECT_EQ(reads[k].header.type, kTypeRead);
    EXPECT_EQ(reads[k].header.address, 0x0400U + 256U * k);
    EXPECT_EQ(reads[k].header.length, lengths[k]);
    EXPECT_TRUE(reads[k].payload.empty());
  }
  EXPECT_EQ(Current(), original);
  // Windows-1250 texts come back as the user reads them.
  EXPECT_EQ(page().GetText(1058), u"Chata Lipno");
  EXPECT_EQ(page().GetText(1021), u"Dveře");
  EXPECT_EQ(page().GetText(1026), u"napájení");
  EXPECT_EQ(page().GetText(1036), u"-200");
  EXPECT_EQ(page().GetCurSel(1025), 2);
  EXPECT_TRUE(page().IsChecked(1055));
  EXPECT_TRUE(page().IsChecked(1118));
  EXPECT_TRUE(page().IsChecked(1133));

  unit_.ClearRequests();
  status_.clear();
  Click(kSave);
  EXPECT_EQ(status_, (std::vector<std::u16string>{u"přenos ", u"data uložena"}));
  // Bits 0 and 1 of analogFlags have no check box; everything else, the reserved bytes and
  // the tail of an older user name behind "Chata Lipno" included, goes back as it came.
  Bytes expected = original;
  expected[656] = 0x80;
  EXPECT_EQ(WrittenBlock(), expected);
  EXPECT_EQ(UnitBlock(), expected);
}

// Typing into the real edits lands in the right bytes.
TEST_F(BasicPageTest, TypedTextsAndNumbersLandInTheirBytes) {
  struct Case {
    const char* what;
    int id;
    std::u16string typed;
    std::size_t offset;
    Bytes bytes;  // from `offset` on
  };
  const std::string name63(63, 'a');
  const std::string name80 = std::string(63, 'b') + std::string(17, 'c');
  Bytes full63(name63.begin(), name63.end());
  full63.push_back(0);
  Bytes cut80(63, 'b');
  cut80.push_back(0);
  const std::vector<Case> cases = {
      {"63 characters fill the field", 1020, Ascii(name63), 64, full63},
      {"80 characters are cut to 63", 1042, Ascii(name80), 512, cut80},
      {"Czech letters go out as Windows-1250",
       1058,
       u"Dveře č.2",
       0,
       {'D', 'v', 'e', 0xF8, 'e', ' ', 0xE8, '.', '2', 0, 0}},
      {"-1000 as a sensor's upper limit", 1037, u"-1000", 662, {0x18, 0xFC}},
      {"990 as a sensor's lower limit", 1035, u"990", 658, {0xDE, 0x03}},
      {"65535 in a u16 field", 1194, u"65535", 688, {0xFF, 0xFF}},
      {"-32768 in an s16 field", 1038, u"-32768", 664, {0x00, 0x80}},
  };
  Open();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Type(c.id, c.typed);
    const Bytes packed = Pack();
    EXPECT_EQ(Bytes(packed.begin() + static_cast<std::ptrdiff_t>(c.offset),
                    packed.begin() + static_cast<std::ptrdiff_t>(c.offset + c.bytes.size())),
              c.bytes);
    // The edit keeps what was typed, also beyond the field's 63 characters.
    EXPECT_EQ(page().GetText(c.id), c.typed);
  }
  EXPECT_TRUE(boxes_.empty());
}

TEST_F(BasicPageTest, AShorterNameKeepsTheTailOfTheLongerOne) {
  Open();
  Type(1033, u"kotelna u garaze");
  Pack();
  Type(1033, u"dum");
  const Bytes packed = Pack();
  const Bytes field(packed.begin() + 384, packed.begin() + 448);
  Bytes expected(64, 0);
  PutText(expected, 0, "dum");
  PutText(expected, 5, "na u garaze");
  EXPECT_EQ(field, expected);
  // Read back, the field holds only the new name.
  Unpack(packed);
  EXPECT_EQ(page().GetText(1033), u"dum");
}

// Every check box of every mask and word, clicked on its own, sets its bit and nothing else;
// a block with only that bit set shows only that box checked.
TEST_F(BasicPageTest, EveryCheckBoxIsItsOwnBit) {
  Open();
  const Bytes baseline = Pack();
  for (const BlockField& f : kBasicFields) {
    if (f.kind != FieldKind::kBits) continue;
    for (const BitBox& b : f.bits) {
      SCOPED_TRACE(std::string(f.name) + " bit " + std::to_string(b.bit));
      auto* box = qobject_cast<QCheckBox*>(page().Control(b.controlId));
      ASSERT_NE(box, nullptr);
      box->click();
      Bytes expected = baseline;
      const unsigned value = 1U << b.bit;
      expected[f.offset] = static_cast<std::uint8_t>(value & 0xFF);
      if (f.width == 2) expected[f.offset + 1] = static_cast<std::uint8_t>(value >> 8);
      if (b.controlId == 1098) {
        // Checked by hand, "vždy zapnuto" leaves "zapnuto" alone.
        EXPECT_FALSE(page().IsChecked(1118));
      }
      EXPECT_EQ(Pack(), expected);
      box->click();

      Unpack(expected);
      for (const BlockField& g : kBasicFields) {
        for (const BitBox& other : g.bits) {
          EXPECT_EQ(page().IsChecked(other.controlId), other.controlId == b.controlId)
              << other.controlId;
        }
      }
      // Spread, "vždy zapnuto" shows the unit as switched on, and saving says so.
      EXPECT_EQ(page().IsChecked(1118), b.controlId == 1098);
      if (b.controlId == 1098) {
        EXPECT_EQ(Pack()[676], 1);
        page().SetChecked(1118, false);
      }
      Unpack(baseline);
    }
  }
}

TEST_F(BasicPageTest, ModesOutsideTheListShowNoChoiceAndStore255) {
  Open();
  Bytes block = DefaultBlock();
  block[648] = 5;
  block[649] = 6;
  Unpack(block);
  EXPECT_EQ(page().GetCurSel(1024), 5);
  EXPECT_EQ(page().GetCurSel(1025), -1);
  const Bytes packed = Pack();
  EXPECT_EQ(packed[648], 5);
  EXPECT_EQ(packed[649], 255);
}

TEST_F(BasicPageTest, OutOfRangeOrNonNumericInputIsRefusedBeforeAnythingIsSent) {
  struct Case {
    int id;
    std::u16string typed;
    std::string label;
    std::string range;
  };
  const std::vector<Case> cases = {
      {1022, u"65536", "min. délka impulzu in1", "0 až 65535"},
      {1045, u"-1", "doba sepnutí out1", "0 až 65535"},
      {1035, u"-32769", "teplota 1 min.", "-32768 až 32767"},
      {1029, u"12a", "analogový vstup max.", "0 až 65535"},
      {1194, u"", "zpoždění při odchodu", "0 až 65535"},
  };
  OpenOnUnit();
  const Bytes before = UnitBlock();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    boxes_.clear();
    status_.clear();
    const std::u16string good = page().GetText(c.id);
    Type(c.id, c.typed);
    Click(kSave);
    EXPECT_TRUE(unit_.Requests().empty());
    EXPECT_TRUE(status_.empty());
    ASSERT_EQ(boxes_.size(), 1U);
    const std::string message = boxes_[0].toStdString();
    EXPECT_NE(message.find(c.label), std::string::npos) << message;
    EXPECT_NE(message.find(c.range), std::string::npos) << message;
    EXPECT_TRUE(page().IsInvalid(c.id));
    EXPECT_EQ(Current(), Bytes(kBasicBlockSize, 0));

    // A settings file gets nothing either.
    std::array<std::uint8_t, kBasicBlockSize> out{};
    out.fill(0xEE);
    EXPECT_FALSE(page().PackBlock(out));
    EXPECT_TRUE(std::all_of(out.begin(), out.end(), [](std::uint8_t b) { return b == 0xEE; }));

    // Corrected, the mark goes at once.
    Type(c.id, good);
    EXPECT_FALSE(page().IsInvalid(c.id));
  }
  EXPECT_EQ(UnitBlock(), before);
  status_.clear();
  Click(kSave);
  EXPECT_EQ(status_, (std::vector<std::u16string>{u"přenos ", u"data uložena"}));
  EXPECT_EQ(UnitBlock(), DefaultBlock());
}

TEST_F(BasicPageTest, TwoRefusedValuesAreNamedTogetherAndMarkedApart) {
  OpenOnUnit();
  Type(1022, u"x");
  Type(1046, u"70000");
  Click(kSave);
  ASSERT_EQ(boxes_.size(), 1U);
  const std::string message = boxes_[0].toStdString();
  EXPECT_NE(message.find("in1"), std::string::npos) << message;
  EXPECT_NE(message.find("out2"), std::string::npos) << message;
  EXPECT_TRUE(page().IsInvalid(1022));
  EXPECT_TRUE(page().IsInvalid(1046));
  EXPECT_FALSE(page().IsInvalid(1023));
  Type(1022, u"7");
  EXPECT_FALSE(page().IsInvalid(1022));
  EXPECT_TRUE(page().IsInvalid(1046));
  // Still out of range after an edit: the mark stays.
  Type(1046, u"65536");
  EXPECT_TRUE(page().IsInvalid(1046));
  EXPECT_TRUE(unit_.Requests().empty());
}

TEST_F(BasicPageTest, ABlockReadThatIsNotWholeChangesNothing) {
  struct Case {
    const char* what;
    std::uint64_t chunk;  // 1 to 3
    SimFault fault;
    std::u16string status;
  };
  const std::vector<Case> cases = {
      {"wrong password on the last chunk", 3, SimFault::Refuse(), u"nesprávné heslo"},
      {"wrong password on the first chunk", 1, SimFault::Refuse(), u"nesprávné heslo"},
      {"short second chunk", 2, SimFault::ShortAnswer(100), u"chyba čtení dat"},
      {"notice instead of the last chunk", 3, SimFault::NoticeInstead("SMS"), u"chyba čtení dat"},
      {"silent last chunk", 3, SimFault::Silent(), u"chyba čtení dat"},
  };
  OpenOnUnit();
  // The page as the user left it: some values of the user's own.
  Type(1058, u"rozepsaný název");
  Type(1045, u"77");
  page().SetChecked(1047, true);
  page().SetCurSel(1024, 4);
  const std::vector<Shown> shown = Snapshot();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    status_.clear();
    unit_.InjectAt(unit_.RequestCount() + c.chunk, c.fault);
    Click(kLoad);
    EXPECT_EQ(status_, (std::vector<std::u16string>{u"přenos ", c.status}));
    EXPECT_TRUE(Snapshot() == shown);
    EXPECT_EQ(Current(), Bytes(kBasicBlockSize, 0));
    unit_.ClearFaults();
  }
}

TEST_F(BasicPageTest, ASaveThatTimesOutAtTheFourthChunkLeavesThreeChunksWritten) {
  OpenOnUnit();
  const Bytes before = UnitBlock();
  unit_.InjectAt(unit_.RequestCount() + 4, SimFault::Silent());
  Click(kSave);
  EXPECT_EQ(status_, (std::vector<std::u16string>{u"přenos ", u"chyba uložení dat"}));
  EXPECT_EQ(unit_.Requests().size(), 4U);
  Bytes expected = before;
  const Bytes block = DefaultBlock();
  std::copy(block.begin(), block.begin() + 384, expected.begin());
  EXPECT_EQ(UnitBlock(), expected);
}

TEST_F(BasicPageTest, ASaveWithTheWrongPasswordSaysSo) {
  OpenOnUnit();
  const Bytes before = UnitBlock();
  dlg_->SetText(1004, u"1111");
  Click(kSave);
  EXPECT_EQ(status_, (std::vector<std::u16string>{u"přenos ", u"nesprávné heslo"}));
  EXPECT_EQ(UnitBlock(), before);
}

// ---- Queries ----

TEST_F(BasicPageTest, TextQueriesSendTheirCommandAndShowTheAnswer) {
  struct Case {
    int button;
    int edit;
    std::uint8_t command;
    std::u16string shown;
  };
  const std::vector<Case> cases = {
      {1017, 1018, cmd::kFirmware, u"TELVORA 14.01.21"},
      {1101, 1102, cmd::kImei, u"356938035643809"},
      {1103, 1104, cmd::kSignal, u"23"},
  };
  OpenOnUnit();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.button);
    unit_.ClearRequests();
    status_.clear();
    Click(c.button);
    const ReceivedRequest r = OnlyRequest();
    EXPECT_EQ(r.header.command, c.command);
    EXPECT_EQ(r.header.type, kTypeRead);
    EXPECT_EQ(r.header.address, 0U);
    EXPECT_EQ(r.header.length, 0U);
    EXPECT_TRUE(r.payload.empty());
    EXPECT_EQ(r.header.password, UnitSimulator::PasswordBytes("5807"));
    EXPECT_EQ(page().GetText(c.edit), c.shown);
    EXPECT_EQ(status_, (std::vector<std::u16string>{u"přenos ", u"data načtena "}));
  }
  EXPECT_EQ(ImeiText, u"356938035643809");
}

TEST_F(BasicPageTest, ALongImeiIsShownWholeButKeptToFifteen) {
  OpenOnUnit();
  unit_.Configure([](UnitSimulatorOptions& o) { o.imei = "3569380356438091"; });
  Click(1101);
  EXPECT_EQ(page().GetText(1102), u"3569380356438091");
  EXPECT_EQ(ImeiText, u"356938035643809");
}

TEST_F(BasicPageTest, ClockReadShowsDayFirst) {
  struct Case {
    UnitClock clock;
    std::u16string shown;
  };
  const std::vector<Case> cases = {
      {{2024, 12, 9, 8, 5, 7}, u"9.12. 2024  08:05:07"},
      {{2005, 1, 1, 0, 0, 0}, u"1.1. 2005  00:00:00"},
  };
  OpenOnUnit();
  for (const Case& c : cases) {
    unit_.ClearRequests();
    status_.clear();
    unit_.SetClock(c.clock, false);
    Click(1107);
    const ReceivedRequest r = OnlyRequest();
    EXPECT_EQ(r.header.command, cmd::kClock);
    EXPECT_EQ(r.header.type, kTypeRead);
    EXPECT_EQ(r.header.length, 0U);
    EXPECT_EQ(page().GetText(1105), c.shown);
    EXPECT_EQ(status_, (std::vector<std::u16string>{u"přenos ", u"data načtena "}));
  }
}

TEST_F(BasicPageTest, SetClockSendsThePcsTimeYearFirst) {
  OpenOnUnit();
  const auto payloadOf = [](std::time_t t) {
    std::tm local{};
    localtime_r(&t, &local);
    return Bytes{static_cast<std::uint8_t>(local.tm_year + 1900 - 2000),
                 static_cast<std::uint8_t>(local.tm_mon + 1),
                 static_cast<std::uint8_t>(local.tm_mday),
                 static_cast<std::uint8_t>(local.tm_hour),
                 static_cast<std::uint8_t>(local.tm_min),
                 static_cast<std::uint8_t>(local.tm_sec)};
  };
  const std::time_t before = std::time(nullptr);
  Click(1108);
  const std::time_t after = std::time(nullptr);
  const ReceivedRequest r = OnlyRequest();
  EXPECT_EQ(r.header.command, cmd::kClock);
  EXPECT_EQ(r.header.type, kTypeWrite);
  EXPECT_EQ(r.header.address, 0U);
  EXPECT_EQ(r.header.length, 6U);
  bool matches = false;
  for (std::time_t t = before; t <= after; ++t) matches = matches || r.payload == payloadOf(t);
  EXPECT_TRUE(matches);
  EXPECT_EQ(status_, (std::vector<std::u16string>{u"přenos ", u"data uložena"}));
}

TEST_F(BasicPageTest, ChoosingAnOperatorPutsItsCode) {
  Open();
  auto* combo = qobject_cast<QComboBox*>(page().Control(1110));
  const std::vector<std::u16string> codes = {u"*22#", u"*101#", u"*104*#", u"*161*#"};
  for (int i : {2, 0, 1, 3}) {
    combo->setCurrentIndex(i);
    emit combo->activated(i);
    EXPECT_EQ(page().GetText(1109), codes[static_cast<std::size_t>(i)]);
  }
  // Typing an operator's name without choosing an item leaves the code alone.
  page().SetText(1109, u"*99#");
  QTest::keyClicks(combo->lineEdit(), "O2");
  EXPECT_EQ(page().GetText(1109), u"*99#");
}

TEST_F(BasicPageTest, CreditSendsTheCodeCutToFifteenAndShowsTheAnswer) {
  struct Case {
    std::u16string typed;
    std::string sent;
  };
  const std::vector<Case> cases = {
      {u"*1234567890123456789", "*12345678901234"},
      {u"*104*#", "*104*#"},
      {u"", ""},
  };
  OpenOnUnit();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.sent);
    unit_.ClearRequests();
    status_.clear();
    page().SetText(1109, c.typed);
    Click(1111);
    const ReceivedRequest r = OnlyRequest();
    EXPECT_EQ(r.header.command, cmd::kCredit);
    EXPECT_EQ(r.header.type, kTypeWrite);
    EXPECT_EQ(r.header.length, c.sent.size() + 1);
    Bytes payload(c.sent.begin(), c.sent.end());
    payload.push_back(0);
    EXPECT_EQ(r.payload, payload);
    EXPECT_EQ(status_,
              (std::vector<std::u16string>{Ascii(c.sent), Ascii(c.sent + " Zustatek 123,45 Kc")}));
    EXPECT_EQ(page().GetText(1109), c.typed);
  }
}

TEST_F(BasicPageTest, VoltageShowsTenthsAndTheRawValue) {
  struct Case {
    std::int32_t tenths;
    std::u16string shown;
    std::u16string raw;
  };
  const std::vector<Case> cases = {
      {0, u" 0. 0", u"0"}, {-15, u"-1.-5", u"-15"},    {123, u"12. 3", u"123"},
      {5, u" 0. 5", u"5"}, {1000, u"100. 0", u"1000"},
  };
  OpenOnUnit();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.tenths);
    unit_.ClearRequests();
    status_.clear();
    unit_.Configure([&](UnitSimulatorOptions& o) { o.voltageTenths = c.tenths; });
    Click(1053);
    const ReceivedRequest r = OnlyRequest();
    EXPECT_EQ(r.header.command, cmd::kVoltage);
    EXPECT_EQ(r.header.type, kTypeRead);
    EXPECT_EQ(r.header.length, 0U);
    EXPECT_EQ(page().GetText(1054), c.shown);
    EXPECT_EQ(status_, (std::vector<std::u16string>{u"přenos ", u"data načtena ", c.raw}));
  }
}

TEST_F(BasicPageTest, TemperaturesShowTenthsWithTheirSign) {
  struct Case {
    std::int16_t tenths;
    std::u16string shown;
  };
  const std::vector<Case> cases = {
      {235, u"23.5"},   {5, u" 0.5"},         {-5, u"- 0.5"},
      {-123, u"-12.3"}, {-32768, u"-3276.8"}, {-1000, u"-100.0"},
  };
  OpenOnUnit();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.tenths);
    unit_.ClearRequests();
    status_.clear();
    // Sensor 2 gets another value, so that a mix-up of the two shows.
    const auto other = static_cast<std::int16_t>(c.tenths == 235 ? 5 : 235);
    unit_.Configure([&](UnitSimulatorOptions& o) {
      o.temperature1Tenths = c.tenths;
      o.temperature2Tenths = other;
    });
    Click(1039);
    const ReceivedRequest r = OnlyRequest();
    EXPECT_EQ(r.header.command, cmd::kTemperatures);
    EXPECT_EQ(r.header.type, kTypeRead);
    EXPECT_EQ(page().GetText(1040), c.shown);
    EXPECT_EQ(page().GetText(1041), other == 5 ? u" 0.5" : u"23.5");
    EXPECT_EQ(status_, (std::vector<std::u16string>{u"přenos ", u"data načtena "}));
  }
}

// A refused query or one whose answer lacks the bytes its value needs shows why and leaves
// every edit, and the IMEI, as they were.
TEST_F(BasicPageTest, RefusedOrShortAnswersChangeNothing) {
  struct Case {
    const char* what;
    int button;
    SimFault fault;
    std::u16string status;
  };
  const std::vector<Case> cases = {
      {"firmware refused", 1017, SimFault::Refuse(), u"nesprávné heslo"},
      {"firmware without text", 1017, SimFault::ShortAnswer(0), u"chyba čtení dat"},
      {"imei refused", 1101, SimFault::Refuse(), u"nesprávné heslo"},
      {"imei without text", 1101, SimFault::ShortAnswer(0), u"chyba čtení dat"},
      {"signal refused", 1103, SimFault::Refuse(), u"nesprávné heslo"},
      {"signal without text", 1103, SimFault::ShortAnswer(0), u"chyba čtení dat"},
      {"clock refused", 1107, SimFault::Refuse(), u"nesprávné heslo"},
      {"clock with five bytes", 1107, SimFault::ShortAnswer(5), u"chyba čtení dat"},
      {"set clock refused", 1108, SimFault::Refuse(), u"nesprávné heslo"},
      {"voltage refused", 1053, SimFault::Refuse(), u"nesprávné heslo"},
      {"voltage with three bytes", 1053, SimFault::ShortAnswer(3), u"chyba čtení dat"},
      {"temperatures refused", 1039, SimFault::Refuse(), u"nesprávné heslo"},
      {"temperatures with three bytes", 1039, SimFault::ShortAnswer(3), u"chyba čtení dat"},
  };
  OpenOnUnit();
  // Earlier answers in every edit and in the transfer buffer: none may come back as new.
  Click(1017);
  Click(1101);
  Click(1103);
  Click(1107);
  Click(1053);
  Click(1039);
  const std::vector<Shown> shown = Snapshot();
  const std::u16string imei = ImeiText;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    status_.clear();
    unit_.InjectNext(c.fault);
    Click(c.button);
    EXPECT_EQ(status_, (std::vector<std::u16string>{u"přenos ", c.status}));
    EXPECT_TRUE(Snapshot() == shown);
    EXPECT_EQ(ImeiText, imei);
  }
}

TEST_F(BasicPageTest, ARefusedOrEmptyCreditAnswerIsNeverTheCodeAgain) {
  struct Case {
    SimFault fault;
    std::u16string status;
  };
  const std::vector<Case> cases = {
      {SimFault::Refuse(), u"nesprávné heslo"},
      {SimFault::ShortAnswer(0), u"chyba čtení dat"},
  };
  OpenOnUnit();
  for (const Case& c : cases) {
    status_.clear();
    unit_.InjectNext(c.fault);
    Click(1111);
    EXPECT_EQ(status_, (std::vector<std::u16string>{u"*161*#", c.status}));
  }
}

TEST_F(BasicPageTest, AQueryWithoutReplyEndsInReadError) {
  OpenOnUnit();
  page().SetText(1105, u"před");
  unit_.InjectNext(SimFault::Silent());
  Click(1108);
  EXPECT_EQ(status_, (std::vector<std::u16string>{u"přenos ", u"chyba čtení dat"}));
  status_.clear();
  unit_.InjectNext(SimFault::Silent());
  Click(1107);
  EXPECT_EQ(status_, (std::vector<std::u16string>{u"přenos ", u"chyba čtení dat"}));
  EXPECT_EQ(page().GetText(1105), u"před");
}

// With no port open the firmware query goes through the relay and says when the socket is
// closed, once, whatever the outcome.
TEST_F(BasicPageTest, FirmwareWithoutAPortGoesThroughTheRelay) {
  OpenOnUnit();
  auto* combo = qobject_cast<QComboBox*>(dlg_->Control(1003));
  combo->setCurrentIndex(256);
  emit combo->activated(256);
  ASSERT_EQ(PortHandle(), PortHandleState::kNone);

  RelayServerOptions options;
  options.listenAddress = "127.0.0.1";
  options.port = 0;
  options.unitDevice = unit_.DevicePath();
  RelayServer server(options);
  std::string error;
  ASSERT_TRUE(server.Start(&error)) << error;
  RelayServerName = u"127.0.0.1";
  RelayUserId = u"chata";
  page().relay().SetPort(server.Port());

  const auto closedCount = [this] {
    return std::count(status_.begin(), status_.end(), std::u16string(u"socket ukončen"));
  };
  status_.clear();
  Click(1017);
  EXPECT_EQ(page().GetText(1018), u"TELVORA 14.01.21");
  ASSERT_GE(status_.size(), 2U);
  EXPECT_EQ(status_[0], u"přenos ");
  EXPECT_NE(std::find(status_.begin(), status_.end(), u"data načtena "), status_.end());
  ASSERT_TRUE(RunUntil([&] { return closedCount() > 0; }, 5));
  EXPECT_EQ(Status(), u"socket ukončen");
  const auto frames = unit_.Requests();
  ASSERT_EQ(frames.size(), 1U);
  EXPECT_EQ(frames[0].header.command, cmd::kFirmware);

  // Nothing listens: the query fails, and the socket's end is reported all the same.
  server.Stop();
  page().SetText(1018, u"");
  status_.clear();
  Click(1017);
  EXPECT_NE(std::find(status_.begin(), status_.end(), u"chyba čtení dat"), status_.end());
  ASSERT_TRUE(RunUntil([&] { return closedCount() > 0; }, 5));
  RunUntil([] { return false; }, 0.3);
  EXPECT_EQ(closedCount(), 1);
  EXPECT_EQ(page().GetText(1018), u"");
}

}  // namespace
}  // namespace telvora
