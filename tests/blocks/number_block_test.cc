// The telephone-number table against the number page's rows and entry controls.
#include "pages/number_block.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "platform/memory_controls.h"

namespace telvora {
namespace {

constexpr std::size_t kRingLengthAt = 1024;
constexpr std::size_t kRingCountAt = 1088;
constexpr std::size_t kSmsMaskAt = 1152;
constexpr std::size_t kRingMaskAt = 1216;

struct BoxBit {
  std::size_t at;  // where entry 0's byte lies
  int bit;
  int id;
};
// The two columns of the page, written out independently of the table.
constexpr BoxBit kBoxBits[] = {
    {kSmsMaskAt, 0, 1048},  {kSmsMaskAt, 1, 1050},  {kSmsMaskAt, 2, 1052},  {kSmsMaskAt, 3, 1088},
    {kSmsMaskAt, 4, 1090},  {kSmsMaskAt, 5, 1063},  {kSmsMaskAt, 6, 1062},  {kRingMaskAt, 0, 1047},
    {kRingMaskAt, 1, 1049}, {kRingMaskAt, 2, 1051}, {kRingMaskAt, 3, 1055}, {kRingMaskAt, 4, 1089},
};

class NumberBlockTest : public ::testing::Test {
 protected:
  void SetUp() override {
    SetNumberDefaults(block_);
    rows_ = DefaultNumberRows();
    ShowEntry(block_, 0, controls_);
  }

  static NumberBlock Patterned() {
    NumberBlock b;
    for (std::size_t i = 0; i < kNumberBlockSize; ++i) {
      b.bytes[i] = static_cast<std::uint8_t>(0x30 + (i * 11) % 0x40);
    }
    return b;
  }

  NumberBlock block_;
  std::vector<std::u16string> rows_;
  MemoryControls controls_;
};

TEST_F(NumberBlockTest, DefaultsSetEntryValuesAndLeaveTheNumbersAlone) {
  NumberBlock b = Patterned();
  const NumberBlock before = b;
  SetNumberDefaults(b);
  for (std::size_t i = 0; i < kRingLengthAt; ++i) {
    EXPECT_EQ(b.bytes[i], before.bytes[i]) << i;
  }
  for (std::size_t i = 0; i < kNumberEntries; ++i) {
    EXPECT_EQ(b.bytes[kRingLengthAt + i], 10);
    EXPECT_EQ(b.bytes[kRingCountAt + i], 0);
    EXPECT_EQ(b.bytes[kSmsMaskAt + i], 0);
    EXPECT_EQ(b.bytes[kRingMaskAt + i], 0);
  }
  EXPECT_EQ(rows_, std::vector<std::u16string>(64, u"x"));
  EXPECT_EQ(controls_.GetText(1086), u"10");
  EXPECT_EQ(controls_.GetCurSel(1087), 0);
}

TEST_F(NumberBlockTest, RingInputAndAnalogWithSmsInput2ReturnAndSystemGiveTheDocumentedMasks) {
  controls_.SetChecked(1047, true);  // ring in1
  controls_.SetChecked(1051, true);  // ring analog
  controls_.SetChecked(1050, true);  // SMS in2
  controls_.SetChecked(1063, true);  // return SMS
  controls_.SetChecked(1062, true);  // system SMS
  ASSERT_TRUE(StoreEntry(controls_, 3, block_).empty());
  EXPECT_EQ(block_.bytes[kRingMaskAt + 3], 0x05);
  EXPECT_EQ(block_.bytes[kSmsMaskAt + 3], 0x62);
  EXPECT_EQ(block_.bytes[kRingMaskAt + 2], 0);
  EXPECT_EQ(block_.bytes[kSmsMaskAt + 4], 0);
}

TEST_F(NumberBlockTest, EachCheckBoxStoresAndShowsExactlyItsOwnBit) {
  std::size_t boxes = 0;
  for (const BlockField& f : kNumberEntryFields) {
    boxes += f.bits.size();
  }
  EXPECT_EQ(boxes, std::size(kBoxBits));

  for (const BoxBit& b : kBoxBits) {
    SCOPED_TRACE(b.id);
    MemoryControls entry;
    entry.SetText(1086, u"10");
    entry.SetChecked(b.id, true);
    NumberBlock nb;
    ASSERT_TRUE(StoreEntry(entry, 9, nb).empty());
    EXPECT_EQ(nb.bytes[b.at + 9], 1 << b.bit);
    EXPECT_EQ(nb.bytes[(b.at == kSmsMaskAt ? kRingMaskAt : kSmsMaskAt) + 9], 0);

    MemoryControls shown;
    ShowEntry(nb, 9, shown);
    for (const BoxBit& other : kBoxBits) {
      EXPECT_EQ(shown.IsChecked(other.id), other.id == b.id) << "box " << other.id;
    }
  }
}

TEST_F(NumberBlockTest, StoreAndShowTouchOnlyTheirOwnEntry) {
  NumberBlock b = Patterned();
  const NumberBlock before = b;
  controls_.SetText(1086, u"7");
  controls_.SetCurSel(1087, 4);
  controls_.SetChecked(1089, true);
  controls_.SetChecked(1062, true);
  ASSERT_TRUE(StoreEntry(controls_, 63, b).empty());
  for (std::size_t i = 0; i < kNumberBlockSize; ++i) {
    if (i == kRingLengthAt + 63 || i == kRingCountAt + 63 || i == kSmsMaskAt + 63 ||
        i == kRingMaskAt + 63) {
      continue;
    }
    EXPECT_EQ(b.bytes[i], before.bytes[i]) << i;
  }
  EXPECT_EQ(b.bytes[kRingLengthAt + 63], 7);
  EXPECT_EQ(b.bytes[kRingCountAt + 63], 4);
  EXPECT_EQ(b.bytes[kSmsMaskAt + 63], 0x40);
  EXPECT_EQ(b.bytes[kRingMaskAt + 63], 0x10);

  MemoryControls shown;
  ShowEntry(b, 63, shown);
  EXPECT_EQ(shown.GetText(1086), u"7");
  EXPECT_EQ(shown.GetCurSel(1087), 4);
}

TEST_F(NumberBlockTest, RingLengthOutsideAByteOrNotANumberIsRefusedAndNothingStored) {
  const std::u16string refused[] = {u"300", u"-1", u"256", u"abc", u""};
  for (const std::u16string& typed : refused) {
    SCOPED_TRACE(std::string(typed.begin(), typed.end()));
    NumberBlock b = Patterned();
    const NumberBlock before = b;
    controls_.SetText(1086, typed);
    controls_.SetChecked(1047, true);
    controls_.SetCurSel(1087, 2);
    const std::vector<FieldProblem> problems = StoreEntry(controls_, 5, b);
    ASSERT_EQ(problems.size(), 1u);
    EXPECT_EQ(problems[0].controlId, 1086);
    EXPECT_NE(problems[0].message.find("0 až 255"), std::string::npos) << problems[0].message;
    EXPECT_NE(problems[0].message.find("délka zvonění"), std::string::npos);
    EXPECT_EQ(b, before);
  }
  for (const std::u16string typed : {u"0", u"255"}) {
    controls_.SetText(1086, typed);
    NumberBlock b;
    ASSERT_TRUE(StoreEntry(controls_, 5, b).empty());
    EXPECT_EQ(b.bytes[kRingLengthAt + 5], typed == u"0" ? 0 : 255);
  }
}

TEST_F(NumberBlockTest, RingCountBeyondTheFiveItemsShowsNoChoiceAndStoresAs255) {
  struct Case {
    std::uint8_t stored;
    int shown;
    std::uint8_t restored;
  };
  const Case cases[] = {{0, 0, 0}, {4, 4, 4}, {5, -1, 255}, {255, -1, 255}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.stored);
    NumberBlock b;
    b.bytes[kRingLengthAt + 1] = 10;
    b.bytes[kRingCountAt + 1] = c.stored;
    ShowEntry(b, 1, controls_);
    EXPECT_EQ(controls_.GetCurSel(1087), c.shown);
    ASSERT_TRUE(StoreEntry(controls_, 1, b).empty());
    EXPECT_EQ(b.bytes[kRingCountAt + 1], c.restored);
  }
}

TEST_F(NumberBlockTest, ANumberIsCutToFifteenCharactersAndAZero) {
  NumberBlock b = Patterned();
  const NumberBlock before = b;
  rows_[2] = u"+420123456789012345";  // 19 characters, shown in full in the row
  GatherNumbers(rows_, b);
  const std::string want = "+42012345678901";
  for (std::size_t i = 0; i < 15; ++i) {
    EXPECT_EQ(b.bytes[32 + i], want[i]) << i;
  }
  EXPECT_EQ(b.bytes[47], 0);
  // The neighbours are rows "x", each with its two zeros, and nothing more.
  EXPECT_EQ(b.bytes[16], 'x');
  EXPECT_EQ(b.bytes[48], 'x');
  for (std::size_t i = 19; i < 32; ++i) {
    EXPECT_EQ(b.bytes[i], before.bytes[i]) << i;
  }
  EXPECT_EQ(SpreadNumbers(b)[2], u"+42012345678901");
}

TEST_F(NumberBlockTest, AFifteenCharacterNumberInTheLastEntryLeavesTheRingLengthsAlone) {
  NumberBlock b = Patterned();
  b.bytes[kRingLengthAt] = 77;
  std::vector<std::u16string> rows(64, u"x");
  rows[63] = u"123456789012345";
  GatherNumbers(rows, b);
  const std::string want = "123456789012345";
  for (std::size_t i = 0; i < 15; ++i) {
    EXPECT_EQ(b.bytes[1008 + i], want[i]) << i;
  }
  EXPECT_EQ(b.bytes[1023], 0);
  EXPECT_EQ(b.bytes[kRingLengthAt], 77);
}

TEST_F(NumberBlockTest, DeletedRowSendsXAndKeepsTheEntryValues) {
  NumberBlock b = Patterned();
  rows_[5] = u"603123456";
  GatherNumbers(rows_, b);
  b.bytes[kRingLengthAt + 5] = 30;
  b.bytes[kSmsMaskAt + 5] = 0x41;
  const NumberBlock before = b;

  rows_[5] = std::u16string(kEmptyNumber);  // what the delete button puts in the row
  GatherNumbers(rows_, b);
  EXPECT_EQ(b.bytes[80], 'x');
  EXPECT_EQ(b.bytes[81], 0);
  EXPECT_EQ(b.bytes[82], 0);
  for (std::size_t i = 83; i < kNumberBlockSize; ++i) {
    EXPECT_EQ(b.bytes[i], before.bytes[i]) << i;
  }
  EXPECT_EQ(SpreadNumbers(b)[5], u"x");
}

TEST_F(NumberBlockTest, ANumberFieldWithoutZeroShowsAllSixteenBytes) {
  NumberBlock b;
  for (std::size_t i = 0; i < 16; ++i) {
    b.bytes[16 * 7 + i] = static_cast<std::uint8_t>('0' + i % 10);
  }
  EXPECT_EQ(SpreadNumbers(b)[7], u"0123456789012345");
  EXPECT_EQ(SpreadNumbers(b)[6], u"");
}

TEST_F(NumberBlockTest, NumbersRoundTripThroughTheRows) {
  NumberBlock b = Patterned();
  for (std::size_t i = 0; i < kNumberEntries; ++i) {
    rows_[i] =
        i % 3 == 0 ? u"x" : u"+42060" + std::u16string(1, static_cast<char16_t>(u'0' + i % 10));
  }
  GatherNumbers(rows_, b);
  EXPECT_EQ(SpreadNumbers(b), rows_);
}

TEST_F(NumberBlockTest, JsonListsAllSixtyFourEntriesOneALine) {
  rows_[1] = u"+420 777 123";
  GatherNumbers(rows_, block_);
  block_.bytes[kSmsMaskAt + 1] = 0x62;
  block_.bytes[kRingMaskAt + 1] = 0x05;
  const std::string json = NumberBlockToJson(block_);
  EXPECT_EQ(json.rfind("[\n  {\"number\": \"x\", \"ringLength\": 10, \"ringCount\": 0, "
                       "\"smsMask\": 0, \"ringMask\": 0},\n",
                       0),
            0u)
      << json;
  EXPECT_NE(json.find("  {\"number\": \"+420 777 123\", \"ringLength\": 10, \"ringCount\": 0, "
                      "\"smsMask\": 98, \"ringMask\": 5},\n"),
            std::string::npos);
  std::size_t entries = 0;
  for (std::size_t at = json.find("\"number\""); at != std::string::npos;
       at = json.find("\"number\"", at + 1)) {
    ++entries;
  }
  EXPECT_EQ(entries, 64u);
}

}  // namespace
}  // namespace telvora
