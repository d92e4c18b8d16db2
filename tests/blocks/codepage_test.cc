// Windows-1250, UTF-8/UTF-16 conversion and JSON quoting.
#include "platform/codepage.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "platform/json_writer.h"

namespace telvora {
namespace {

TEST(Cp1250, EveryByteSurvivesDecodeAndEncode) {
  std::vector<std::uint8_t> all(256);
  for (int i = 0; i < 256; ++i) {
    all[i] = static_cast<std::uint8_t>(i);
  }
  const std::u16string text = DecodeCp1250(all);
  ASSERT_EQ(text.size(), 256u);
  EXPECT_EQ(EncodeCp1250(text), all);
}

struct KnownChar {
  std::uint8_t byte;
  char16_t unit;
};

// Letters of Czech and Slovak texts and the code page's irregular corners.
constexpr KnownChar kKnown[] = {
    {0xE8, u'č'},      {0xC8, u'Č'},      {0x9A, u'š'},      {0x8A, u'Š'},      {0x9E, u'ž'},
    {0x8E, u'Ž'},      {0xF8, u'ř'},      {0xD8, u'Ř'},      {0xF9, u'ů'},      {0xD9, u'Ů'},
    {0xEC, u'ě'},      {0xCC, u'Ě'},      {0x9D, u'ť'},      {0xEF, u'ď'},      {0xF2, u'ň'},
    {0xE1, u'á'},      {0xED, u'í'},      {0xFD, u'ý'},      {0xBE, u'ľ'},      {0xE5, u'ĺ'},
    {0xF4, u'ô'},      {0x80, u'€'},      {0x84, u'„'},      {0x93, u'“'},      {0xA0, u'\u00A0'},
    {0xB0, u'°'},      {0xFF, u'˙'},      {0x81, u'\u0081'}, {0x83, u'\u0083'}, {0x88, u'\u0088'},
    {0x90, u'\u0090'}, {0x98, u'\u0098'}, {0x41, u'A'},      {0x7F, u'\x7F'},
};

TEST(Cp1250, KnownCharactersMapBothWays) {
  for (const KnownChar& k : kKnown) {
    SCOPED_TRACE(k.byte);
    const std::uint8_t b[] = {k.byte};
    EXPECT_EQ(DecodeCp1250(b), std::u16string(1, k.unit));
    EXPECT_EQ(EncodeCp1250(std::u16string(1, k.unit)), std::vector<std::uint8_t>{k.byte});
  }
}

TEST(Cp1250, CharactersOutsideTheCodePageBecomeQuestionMarks) {
  struct Case {
    std::u16string text;
    std::vector<std::uint8_t> bytes;
  };
  const Case cases[] = {
      {u"ã", {'?'}},              // Latin-1 but not Windows-1250
      {u"\u0080", {'?'}},         // a C1 control that 1250 gives a character to
      {u"中文", {'?', '?'}},      // no place in any single-byte page
      {u"a😀b", {'a', '?', 'b'}},  // a surrogate pair is one character
      {u"a\xD800"
       u"b",
       {'a', '?', 'b'}},  // a lone surrogate too
      {u"Ab1 ~", {'A', 'b', '1', ' ', '~'}},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(EncodeCp1250(c.text), c.bytes);
  }
}

TEST(Utf, CzechAndAstralTextRoundTrips) {
  const std::string utf8 = "Příliš žluťoučký kůň úpěl ďábelské ódy 😀";
  const std::u16string utf16 = Utf8ToUtf16(utf8);
  EXPECT_EQ(utf16, u"Příliš žluťoučký kůň úpěl ďábelské ódy 😀");
  EXPECT_EQ(Utf16ToUtf8(utf16), utf8);
}

TEST(Utf, MalformedInputBecomesReplacementCharacters) {
  struct Case {
    std::string utf8;
    std::u16string utf16;
  };
  const Case cases[] = {
      {"a\xC3", u"a\uFFFD"},                              // cut short
      {"\xC0\xAF", u"\uFFFD\uFFFD"},                      // overlong '/'
      {"\xED\xA0\x80", u"\uFFFD\uFFFD\uFFFD"},            // an encoded surrogate
      {"\xF4\x90\x80\x80", u"\uFFFD\uFFFD\uFFFD\uFFFD"},  // past U+10FFFF
      {"\x80x", u"\uFFFDx"},                              // a stray continuation byte
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Utf8ToUtf16(c.utf8), c.utf16);
  }
  EXPECT_EQ(Utf16ToUtf8(u"a\xDC00"), "a\xEF\xBF\xBD");
}

TEST(Low8Bits, KeepsTheLowByteOfEachUnit) {
  EXPECT_EQ(Low8Bits(u"5807"), (std::vector<std::uint8_t>{'5', '8', '0', '7'}));
  EXPECT_EQ(Low8Bits(u"čé"), (std::vector<std::uint8_t>{0x0D, 0xE9}));
}

TEST(JsonWriter, EscapesWhatJsonRequires) {
  EXPECT_EQ(JsonQuote("a\"b\\c\n\t\x01\x1f/č"), "\"a\\\"b\\\\c\\n\\t\\u0001\\u001f/č\"");
}

TEST(JsonWriter, IndentsContainersAndKeepsOneLineRecordsOnTheirLine) {
  JsonWriter json;
  json.BeginObject();
  json.Key("a");
  json.Number(-5);
  json.Key("list");
  json.BeginArray();
  json.BeginObject(true);
  json.Key("x");
  json.String("y");
  json.Key("n");
  json.Number(1);
  json.EndObject();
  json.BeginObject(true);
  json.EndObject();
  json.EndArray();
  json.Key("empty");
  json.BeginArray();
  json.EndArray();
  json.EndObject();
  EXPECT_EQ(json.Take(),
            "{\n"
            "  \"a\": -5,\n"
            "  \"list\": [\n"
            "    {\"x\": \"y\", \"n\": 1},\n"
            "    {}\n"
            "  ],\n"
            "  \"empty\": []\n"
            "}");
}

}  // namespace
}  // namespace telvora
