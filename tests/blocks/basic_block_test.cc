// The basic configuration block against the basic page's controls.
#include "pages/basic_block.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "platform/memory_controls.h"

namespace telvora {
namespace {

using Bytes = std::array<std::uint8_t, kBasicBlockSize>;

constexpr std::size_t kReservedOffsets[] = {651, 657, 677};

// The text edits and where their fields start, as the unit documents them.
struct TextSlot {
  int id;
  std::size_t offset;
};
constexpr TextSlot kTextSlots[] = {
    {1058, 0},   {1020, 64},  {1021, 128}, {1031, 192}, {1032, 256},
    {1026, 320}, {1033, 384}, {1034, 448}, {1042, 512}, {1043, 576},
};

// Every check box of a mask or word with its bit, written out independently of the table.
struct BoxBit {
  std::size_t offset;
  int bit;
  int id;
};
constexpr BoxBit kBoxBits[] = {
    // alarmMask, zone24hMask, silentAlarmMask: in1, in2, analog, T1, T2
    {640, 0, 1062},
    {640, 1, 1063},
    {640, 2, 1064},
    {640, 3, 1065},
    {640, 4, 1066},
    {641, 0, 1123},
    {641, 1, 1124},
    {641, 2, 1125},
    {641, 3, 1126},
    {641, 4, 1127},
    {642, 0, 1128},
    {642, 1, 1132},
    {642, 2, 1129},
    {642, 3, 1130},
    {642, 4, 1131},
    // returnSmsMask
    {643, 0, 1056},
    {643, 1, 1057},
    {643, 2, 1200},
    {643, 3, 1201},
    // analogFlags
    {656, 7, 1055},
    // out1Control
    {670, 0, 1047},
    {670, 1, 1094},
    {670, 2, 1049},
    {670, 3, 1051},
    {670, 4, 1067},
    {670, 5, 1069},
    {670, 6, 1071},
    {670, 7, 1073},
    {670, 8, 1075},
    {670, 9, 1077},
    {670, 10, 1079},
    {670, 11, 1081},
    {670, 12, 1096},
    {670, 13, 1133},
    {670, 14, 1196},
    // out2Control
    {672, 0, 1048},
    {672, 1, 1095},
    {672, 2, 1050},
    {672, 3, 1052},
    {672, 4, 1068},
    {672, 5, 1070},
    {672, 6, 1072},
    {672, 7, 1074},
    {672, 8, 1076},
    {672, 9, 1078},
    {672, 10, 1080},
    {672, 11, 1082},
    {672, 12, 1097},
    {672, 13, 1134},
    {672, 14, 1197},
    // systemOptions
    {674, 0, 1098},
    {674, 1, 1099},
    {674, 2, 1100},
    {674, 3, 1193},
    {674, 4, 1199},
};

std::u16string Letters(std::size_t n, char16_t first = u'A') {
  std::u16string s;
  for (std::size_t i = 0; i < n; ++i) {
    s.push_back(static_cast<char16_t>(first + i % 26));
  }
  return s;
}

void PutText(Bytes& b, std::size_t offset, std::string_view text) {
  for (std::size_t i = 0; i < text.size(); ++i) {
    b[offset + i] = static_cast<std::uint8_t>(text[i]);
  }
}

void PutU16(Bytes& b, std::size_t offset, unsigned lo, unsigned hi) {
  b[offset] = static_cast<std::uint8_t>(lo);
  b[offset + 1] = static_cast<std::uint8_t>(hi);
}

class BasicBlockTest : public ::testing::Test {
 protected:
  void SetUp() override { SetBasicDefaults(controls_); }

  // A block whose every byte differs from zero, so that any byte written shows.
  static BasicBlock Patterned() {
    BasicBlock b;
    for (std::size_t i = 0; i < kBasicBlockSize; ++i) {
      b.bytes[i] = static_cast<std::uint8_t>(0xA0 + (i * 7) % 0x5F);
    }
    return b;
  }

  std::vector<FieldProblem> Gather() { return GatherBasicBlock(controls_, block_); }

  MemoryControls controls_;
  BasicBlock block_;
};

TEST_F(BasicBlockTest, DefaultsGatherToTheDocumentedBytes) {
  ASSERT_TRUE(Gather().empty());

  Bytes want{};
  PutText(want, 0, "Nazev uzivatele ");
  PutText(want, 64, "vstup1 ");
  PutText(want, 128, "vstup2");
  PutText(want, 192, "vstup1 navrat");
  PutText(want, 256, "vstup2 navrat");
  PutText(want, 320, "napeti");
  PutText(want, 384, "teplota1");
  PutText(want, 448, "teplota2");
  PutText(want, 512, "vystup1");
  PutText(want, 576, "vystup2");
  PutU16(want, 644, 5, 0);        // in1MinPulse
  PutU16(want, 646, 5, 0);        // in2MinPulse
  PutU16(want, 654, 0x2C, 0x01);  // analogMax 300
  PutU16(want, 658, 0x18, 0xFC);  // t1Min -1000
  PutU16(want, 660, 0x18, 0xFC);  // t2Min -1000
  PutU16(want, 662, 0xDE, 0x03);  // t1Max 990
  PutU16(want, 664, 0xDE, 0x03);  // t2Max 990
  PutU16(want, 666, 5, 0);        // out1OnTime
  PutU16(want, 668, 20, 0);       // out2OnTime
  EXPECT_EQ(block_.bytes, want);
}

TEST_F(BasicBlockTest, DefaultsShowTheFirstModeItemAndNoCheckedBox) {
  EXPECT_EQ(controls_.GetCurSel(1024), 0);
  EXPECT_EQ(controls_.GetCurSel(1025), 0);
  for (const BoxBit& b : kBoxBits) {
    EXPECT_FALSE(controls_.IsChecked(b.id)) << b.id;
  }
  EXPECT_EQ(controls_.GetText(1035), u"-1000");
  EXPECT_EQ(controls_.GetText(1029), u"300");
  EXPECT_EQ(controls_.GetText(1194), u"0");
}

TEST_F(BasicBlockTest, TextsAreCutToTheFieldAndFollowedByOneOrTwoZeros) {
  struct Case {
    std::size_t length;
    std::size_t written;  // characters that reach the field
    bool secondZero;
  };
  const Case cases[] = {{0, 0, true},    {1, 1, true},    {62, 62, true},
                        {63, 63, false}, {64, 63, false}, {80, 63, false}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.length);
    block_ = Patterned();
    const BasicBlock before = block_;
    const std::u16string name = Letters(c.length);
    controls_.SetText(1020, name);  // in1Name at 64
    ASSERT_TRUE(Gather().empty());
    for (std::size_t i = 0; i < c.written; ++i) {
      EXPECT_EQ(block_.bytes[64 + i], name[i]);
    }
    EXPECT_EQ(block_.bytes[64 + c.written], 0);
    const std::size_t tail = 64 + c.written + (c.secondZero ? 2 : 1);
    if (c.secondZero) {
      EXPECT_EQ(block_.bytes[64 + c.written + 1], 0);
    }
    for (std::size_t i = tail; i < 128; ++i) {
      EXPECT_EQ(block_.bytes[i], before.bytes[i]) << i;
    }
    // The edit keeps what was typed; the block holds what the unit can take.
    EXPECT_EQ(controls_.GetText(1020), name);
    MemoryControls shown;
    SpreadBasicBlock(block_, shown);
    EXPECT_EQ(shown.GetText(1020), name.substr(0, 63));
  }
}

TEST_F(BasicBlockTest, ShorterNameLeavesTheLongerOnesTailBehindItsZeros) {
  controls_.SetText(1058, u"ABCDEFGHIJ");
  ASSERT_TRUE(Gather().empty());
  controls_.SetText(1058, u"XYZ");
  ASSERT_TRUE(Gather().empty());
  const std::uint8_t want[] = {'X', 'Y', 'Z', 0, 0, 'F', 'G', 'H', 'I', 'J', 0, 0};
  for (std::size_t i = 0; i < sizeof want; ++i) {
    EXPECT_EQ(block_.bytes[i], want[i]) << i;
  }
  MemoryControls shown;
  SpreadBasicBlock(block_, shown);
  EXPECT_EQ(shown.GetText(1058), u"XYZ");
}

TEST_F(BasicBlockTest, CzechTextGoesOutAsWindows1250AndComesBackTheSame) {
  controls_.SetText(1058, u"Příliš žluťoučký kůň");
  controls_.SetText(1020, u"čidlo 中");
  ASSERT_TRUE(Gather().empty());
  const std::uint8_t want[] = {'P', 0xF8, 0xED, 'l', 'i', 0x9A};
  for (std::size_t i = 0; i < sizeof want; ++i) {
    EXPECT_EQ(block_.bytes[i], want[i]) << i;
  }
  EXPECT_EQ(block_.bytes[64], 0xE8);  // č

  MemoryControls shown;
  SpreadBasicBlock(block_, shown);
  EXPECT_EQ(shown.GetText(1058), u"Příliš žluťoučký kůň");
  EXPECT_EQ(shown.GetText(1020), u"čidlo ?");
}

TEST_F(BasicBlockTest, TextWithoutZeroByteShowsTheWholeField) {
  block_.bytes.fill('q');
  SpreadBasicBlock(block_, controls_);
  EXPECT_EQ(controls_.GetText(1058), std::u16string(64, u'q'));
}

struct NumberCase {
  int id;
  std::uint8_t lo;
  std::uint8_t hi;
  std::size_t offset;
  std::u16string typed;
  std::u16string shown;
};

TEST_F(BasicBlockTest, NumbersAreStoredLittleEndianAndShownWithTheirSign) {
  const NumberCase cases[] = {
      {1035, 0x18, 0xFC, 658, u"-1000", u"-1000"},  // t1Min
      {1037, 0xDE, 0x03, 662, u"990", u"990"},      // t1Max
      {1036, 0x00, 0x80, 660, u"-32768", u"-32768"},
      {1038, 0xFF, 0x7F, 664, u"32767", u"32767"},
      {1022, 0xFF, 0xFF, 644, u"65535", u"65535"},  // u16 above 32767 stays unsigned
      {1023, 0x00, 0x00, 646, u"0", u"0"},
      {1027, 0x2A, 0x00, 652, u" 42 ", u"42"},
      {1029, 0x2C, 0x01, 654, u"+300", u"300"},
      {1175, 0x02, 0x01, 678, u"258", u"258"},
      {1176, 7, 0, 680, u"7", u"7"},
      {1177, 8, 0, 682, u"8", u"8"},
      {1190, 0x58, 0x02, 684, u"600", u"600"},
      {1191, 0x59, 0x02, 686, u"601", u"601"},
      {1194, 0x5A, 0x02, 688, u"0602", u"602"},
      {1045, 0x10, 0x0E, 666, u"3600", u"3600"},
      {1046, 0x40, 0x9C, 668, u"40000", u"40000"},
  };
  for (const NumberCase& c : cases) {
    SCOPED_TRACE(c.id);
    SetBasicDefaults(controls_);
    controls_.SetText(c.id, c.typed);
    ASSERT_TRUE(Gather().empty());
    EXPECT_EQ(block_.bytes[c.offset], c.lo);
    EXPECT_EQ(block_.bytes[c.offset + 1], c.hi);
    MemoryControls shown;
    SpreadBasicBlock(block_, shown);
    EXPECT_EQ(shown.GetText(c.id), c.shown);
  }
}

TEST_F(BasicBlockTest, RefusedNumberWritesNothingAndNamesFieldAndRange) {
  struct Case {
    int id;
    std::u16string typed;
    std::string_view field;
    std::string_view range;
  };
  const Case cases[] = {
      {1022, u"65536", "in1MinPulse", "0 až 65535"},
      {1022, u"-1", "in1MinPulse", "0 až 65535"},
      {1035, u"-32769", "t1Min", "-32768 až 32767"},
      {1037, u"40000", "t1Max", "-32768 až 32767"},
      {1029, u"abc", "analogMax", "0 až 65535"},
      {1194, u"", "exitDelay", "0 až 65535"},
      {1045, u"12x", "out1OnTime", "0 až 65535"},
      {1046, u"1 2", "out2OnTime", "0 až 65535"},
      {1190, u"--5", "in1EntryDelay", "0 až 65535"},
      {1191, u"0x10", "in2EntryDelay", "0 až 65535"},
      {1176, u"99999999999999999999999", "t1Hysteresis", "0 až 65535"},
      {1023, u"٣", "in2MinPulse", "0 až 65535"},  // a digit, but not one the unit knows
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.field);
    SetBasicDefaults(controls_);
    block_ = Patterned();
    const BasicBlock before = block_;
    controls_.SetText(1058, u"changed name");
    controls_.SetChecked(1062, true);
    controls_.SetText(c.id, c.typed);

    const std::vector<FieldProblem> problems = Gather();
    ASSERT_EQ(problems.size(), 1u);
    EXPECT_EQ(problems[0].controlId, c.id);
    EXPECT_EQ(problems[0].field, c.field);
    EXPECT_NE(problems[0].message.find(c.field), std::string::npos) << problems[0].message;
    EXPECT_NE(problems[0].message.find(std::to_string(c.id)), std::string::npos);
    EXPECT_NE(problems[0].message.find(c.range), std::string::npos) << problems[0].message;
    EXPECT_EQ(block_, before);
  }
}

TEST_F(BasicBlockTest, EveryRefusedFieldIsReportedAndMarkedUntilCorrected) {
  controls_.SetText(1022, u"70000");
  controls_.SetText(1038, u"teplo");
  std::vector<FieldProblem> problems = Gather();
  ASSERT_EQ(problems.size(), 2u);
  MarkProblems(kBasicFields, problems, controls_);
  EXPECT_EQ(controls_.InvalidIds(), (std::set<int>{1022, 1038}));
  EXPECT_NE(ProblemsText(problems).find('\n'), std::string::npos);

  controls_.SetText(1022, u"70");
  problems = Gather();
  MarkProblems(kBasicFields, problems, controls_);
  EXPECT_EQ(controls_.InvalidIds(), (std::set<int>{1038}));

  controls_.SetText(1038, u"70");
  problems = Gather();
  MarkProblems(kBasicFields, problems, controls_);
  EXPECT_TRUE(problems.empty());
  EXPECT_TRUE(controls_.InvalidIds().empty());
  EXPECT_EQ(block_.bytes[644], 70);
}

TEST_F(BasicBlockTest, TheTableHasExactlyTheDocumentedCheckBoxes) {
  std::size_t boxes = 0;
  for (const BlockField& f : kBasicFields) {
    boxes += f.bits.size();
  }
  EXPECT_EQ(boxes, std::size(kBoxBits));
}

TEST_F(BasicBlockTest, EachCheckBoxGathersExactlyItsOwnBit) {
  for (const BoxBit& b : kBoxBits) {
    SCOPED_TRACE(b.id);
    SetBasicDefaults(controls_);
    controls_.SetChecked(b.id, true);
    block_ = Patterned();
    ASSERT_TRUE(Gather().empty());
    for (const BoxBit& other : kBoxBits) {
      const unsigned word = block_.bytes[other.offset] | (block_.bytes[other.offset + 1] << 8);
      const bool set = ((word >> other.bit) & 1U) != 0;
      EXPECT_EQ(set, other.id == b.id) << "box " << other.id;
    }
    // Only the documented bits can ever be set.
    EXPECT_EQ(block_.bytes[640] & 0xE0, 0);
    EXPECT_EQ(block_.bytes[643] & 0xF0, 0);
    EXPECT_EQ(block_.bytes[656] & 0x7F, 0);
    EXPECT_EQ(block_.bytes[671] & 0x80, 0);
    EXPECT_EQ(block_.bytes[673] & 0x80, 0);
    EXPECT_EQ(block_.bytes[675] & 0xE0, 0);
  }
}

TEST_F(BasicBlockTest, EachBitSpreadsToExactlyItsOwnCheckBox) {
  for (const BoxBit& b : kBoxBits) {
    SCOPED_TRACE(b.id);
    BasicBlock one;
    const unsigned value = 1U << b.bit;
    one.bytes[b.offset] = static_cast<std::uint8_t>(value & 0xFF);
    if (b.bit >= 8) {
      one.bytes[b.offset + 1] = static_cast<std::uint8_t>(value >> 8);
    }
    MemoryControls shown;
    SpreadBasicBlock(one, shown);
    for (const BoxBit& other : kBoxBits) {
      EXPECT_EQ(shown.IsChecked(other.id), other.id == b.id) << "box " << other.id;
    }
  }
}

TEST_F(BasicBlockTest, ModeOutsideTheSixItemsShowsNoChoiceAndGathersAs255) {
  struct Case {
    std::uint8_t stored;
    int shown;
    std::uint8_t gathered;
  };
  const Case cases[] = {{0, 0, 0},    {3, 3, 3},      {5, 5, 5},
                        {6, -1, 255}, {200, -1, 255}, {255, -1, 255}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.stored);
    BasicBlock b;
    b.bytes[648] = c.stored;
    b.bytes[649] = c.stored;
    SpreadBasicBlock(b, controls_);
    EXPECT_EQ(controls_.GetCurSel(1024), c.shown);
    EXPECT_EQ(controls_.GetCurSel(1025), c.shown);
    ASSERT_TRUE(Gather().empty());
    EXPECT_EQ(block_.bytes[648], c.gathered);
    EXPECT_EQ(block_.bytes[649], c.gathered);
  }
}

TEST_F(BasicBlockTest, AnalogFlagsBitsThatHaveNoBoxAreDropped) {
  struct Case {
    std::uint8_t stored;
    bool shown;
    std::uint8_t gathered;
  };
  const Case cases[] = {{0x83, true, 0x80}, {0x03, false, 0x00}, {0x7F, false, 0x00}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.stored);
    BasicBlock b;
    b.bytes[656] = c.stored;
    SpreadBasicBlock(b, controls_);
    EXPECT_EQ(controls_.IsChecked(1055), c.shown);
    ASSERT_TRUE(Gather().empty());
    EXPECT_EQ(block_.bytes[656], c.gathered);
  }
}

TEST_F(BasicBlockTest, AlwaysOnShowsSwitchedOnAndSavingWritesIt) {
  BasicBlock b;
  b.bytes[674] = 0x01;  // vždy zapnuto
  b.bytes[676] = 0;     // switchedOn
  SpreadBasicBlock(b, controls_);
  EXPECT_TRUE(controls_.IsChecked(1098));
  EXPECT_TRUE(controls_.IsChecked(1118));
  ASSERT_TRUE(Gather().empty());
  EXPECT_EQ(block_.bytes[676], 1);
}

TEST_F(BasicBlockTest, CheckingAlwaysOnByHandLeavesSwitchedOnAlone) {
  controls_.SetChecked(1098, true);
  ASSERT_TRUE(Gather().empty());
  EXPECT_FALSE(controls_.IsChecked(1118));
  EXPECT_EQ(block_.bytes[674], 0x01);
  EXPECT_EQ(block_.bytes[676], 0);
}

// A block the page can show in full, with garbage in the places nobody reads.
BasicBlock ShowableBlock() {
  BasicBlock b;
  for (std::size_t i = 0; i < kBasicBlockSize; ++i) {
    b.bytes[i] = static_cast<std::uint8_t>(i * 13 + 1);
  }
  for (const TextSlot& t : kTextSlots) {
    // A text with a byte the code page leaves undefined, the two zeros, then a tail.
    const std::uint8_t text[] = {'N', 0x81, 0xE8, static_cast<std::uint8_t>('0' + t.offset / 64),
                                 0,   0};
    std::copy(std::begin(text), std::end(text), b.bytes.begin() + t.offset);
  }
  b.bytes[640] = 0x15;
  b.bytes[641] = 0x0A;
  b.bytes[642] = 0x1F;
  b.bytes[643] = 0x09;
  b.bytes[648] = 2;
  b.bytes[649] = 5;
  b.bytes[650] = 1;
  b.bytes[656] = 0x80;
  b.bytes[670] = 0x5A;
  b.bytes[671] = 0x55;
  b.bytes[672] = 0xA5;
  b.bytes[673] = 0x2A;
  b.bytes[674] = 0x1E;
  b.bytes[675] = 0x00;
  b.bytes[676] = 1;
  return b;
}

TEST_F(BasicBlockTest, ReadThenWriteReturnsAShowableBlockUnchanged) {
  const BasicBlock original = ShowableBlock();
  SpreadBasicBlock(original, controls_);
  block_ = original;  // the whole-block copy of a read
  ASSERT_TRUE(Gather().empty());
  EXPECT_EQ(block_, original);
}

TEST_F(BasicBlockTest, ReservedBytesAndTextTailsSurviveSpreadAndGather) {
  BasicBlock original = ShowableBlock();
  // Values the page cannot show: they come back in the form the page writes.
  original.bytes[640] |= 0xE0;
  original.bytes[648] = 9;
  original.bytes[650] = 2;
  original.bytes[673] |= 0x80;
  SpreadBasicBlock(original, controls_);
  block_ = original;
  ASSERT_TRUE(Gather().empty());

  for (const std::size_t r : kReservedOffsets) {
    EXPECT_EQ(block_.bytes[r], original.bytes[r]) << r;
  }
  for (const TextSlot& t : kTextSlots) {
    for (std::size_t i = t.offset + 6; i < t.offset + 64; ++i) {
      EXPECT_EQ(block_.bytes[i], original.bytes[i]) << i;
    }
  }
  EXPECT_EQ(block_.bytes[640], original.bytes[640] & 0x1F);
  EXPECT_EQ(block_.bytes[648], 255);
  EXPECT_EQ(block_.bytes[650], 1);
  EXPECT_EQ(block_.bytes[673], original.bytes[673] & 0x7F);
}

TEST_F(BasicBlockTest, JsonNamesEveryFieldButTheReservedBytes) {
  controls_.SetText(1058, u"Pan \"Nový\"\\");
  ASSERT_TRUE(Gather().empty());
  const std::string json = BasicBlockToJson(block_);
  EXPECT_NE(json.find("\"userName\": \"Pan \\\"Nový\\\"\\\\\""), std::string::npos) << json;
  EXPECT_NE(json.find("\"t1Min\": -1000,"), std::string::npos);
  EXPECT_NE(json.find("\"analogMax\": 300,"), std::string::npos);
  EXPECT_NE(json.find("\"in1Mode\": 0,"), std::string::npos);
  EXPECT_NE(json.find("\"exitDelay\": 0\n}"), std::string::npos);
  EXPECT_EQ(json.find("reserved"), std::string::npos);
  for (const BlockField& f : kBasicFields) {
    if (f.kind == FieldKind::kReserved) {
      continue;
    }
    const std::string key = "\"" + std::string(f.name) + "\": ";
    const std::size_t at = json.find(key);
    EXPECT_NE(at, std::string::npos) << f.name;
    EXPECT_EQ(json.find(key, at + 1), std::string::npos) << f.name;
  }
}

TEST(ParseDecimal, AcceptsSignedIntegersWithBlanksOnly) {
  EXPECT_EQ(ParseDecimal(u"  -12 "), -12);
  EXPECT_EQ(ParseDecimal(u"+0"), 0);
  EXPECT_EQ(ParseDecimal(u"\t7"), 7);
  EXPECT_FALSE(ParseDecimal(u"-"));
  EXPECT_FALSE(ParseDecimal(u" "));
  EXPECT_FALSE(ParseDecimal(u"1.5"));
  EXPECT_FALSE(ParseDecimal(u"1e3"));
  EXPECT_GT(*ParseDecimal(u"123456789012345678901234567890"), 65535);
  EXPECT_LT(*ParseDecimal(u"-123456789012345678901234567890"), -32768);
}

}  // namespace
}  // namespace telvora
