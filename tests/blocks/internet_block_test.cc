// The relay settings block against the internet page's two edits.
#include "relay/internet_block.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "platform/memory_controls.h"

namespace telvora {
namespace {

class InternetBlockTest : public ::testing::Test {
 protected:
  void SetUp() override { block_.bytes.fill(0xEE); }

  InternetBlock block_;
  MemoryControls controls_;
};

std::u16string Chars(std::size_t n) {
  std::u16string s;
  for (std::size_t i = 0; i < n; ++i) {
    s.push_back(static_cast<char16_t>(u'a' + i % 26));
  }
  return s;
}

TEST_F(InternetBlockTest, ATenCharacterIdWritesTwelveBytesAndNothingBehind) {
  controls_.SetText(1184, u"0123456789");
  controls_.SetText(1033, u"relay.example");
  GatherInternetBlock(controls_, block_);
  const std::string id = "0123456789";
  for (std::size_t i = 0; i < 10; ++i) {
    EXPECT_EQ(block_.bytes[i], id[i]);
  }
  EXPECT_EQ(block_.bytes[10], 0);
  EXPECT_EQ(block_.bytes[11], 0);
  for (std::size_t i = 12; i < 64; ++i) {
    EXPECT_EQ(block_.bytes[i], 0xEE) << i;
  }
  EXPECT_EQ(block_.bytes[64], 'r');
}

TEST_F(InternetBlockTest, ServerNamesAreCutToSixtyThreeCharacters) {
  struct Case {
    std::size_t length;
    std::size_t written;
  };
  for (const Case c : {Case{63, 63}, Case{70, 63}, Case{64, 63}}) {
    SCOPED_TRACE(c.length);
    block_.bytes.fill(0xEE);
    const std::u16string name = Chars(c.length);
    controls_.SetText(1033, name);
    GatherInternetBlock(controls_, block_);
    for (std::size_t i = 0; i < c.written; ++i) {
      EXPECT_EQ(block_.bytes[64 + i], name[i]) << i;
    }
    EXPECT_EQ(block_.bytes[127], 0);
    MemoryControls shown;
    SpreadInternetBlock(block_, shown);
    EXPECT_EQ(shown.GetText(1033), name.substr(0, 63));
  }
}

TEST_F(InternetBlockTest, EditsThatReadEmptyWriteOnlyTheFirstTwoZerosOfEachField) {
  GatherInternetBlock(controls_, block_);
  for (std::size_t i = 0; i < kInternetBlockSize; ++i) {
    const bool zero = i == 0 || i == 1 || i == 64 || i == 65;
    EXPECT_EQ(block_.bytes[i], zero ? 0 : 0xEE) << i;
  }
}

TEST_F(InternetBlockTest, AnAllZeroServerNameShowsAsEmpty) {
  InternetBlock b;
  const std::string id = "Telvora";
  std::copy(id.begin(), id.end(), b.bytes.begin());
  controls_.SetText(1033, u"old.server");
  SpreadInternetBlock(b, controls_);
  EXPECT_EQ(controls_.GetText(1033), u"");
  EXPECT_EQ(controls_.GetText(1184), u"Telvora");
}

TEST_F(InternetBlockTest, JsonHoldsBothTexts) {
  controls_.SetText(1184, u"id\"1");
  controls_.SetText(1033, u"server.č");
  GatherInternetBlock(controls_, block_);
  EXPECT_EQ(InternetBlockToJson(block_),
            "{\n  \"userId\": \"id\\\"1\",\n  \"serverName\": \"server.č\"\n}");
}

}  // namespace
}  // namespace telvora
