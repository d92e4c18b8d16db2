// The relay's request pieces without a network: the 6-bit text both ways, the request line,
// the leading number of a reply and the characters a request line cannot carry.
#include <gtest/gtest.h>

#include "link/frame_header.h"
#include "relay/frame_text.h"
#include "relay/net.h"
#include "relay/relay_state.h"
#include "scripted_server.h"

namespace telvora {
namespace {

using test::FromSixBit;
using test::SixBit;

std::string Narrow(const std::u16string& s) {
  std::string out;
  for (const char16_t c : s) {
    out.push_back(static_cast<char>(c & 0xFF));
  }
  return out;
}

FrameHeader FirmwareHeader() {
  FrameHeader h = MakeRequest(4, 0, 0, kTypeRead);
  SetPasswordBytes(h, u"5807");
  return h;
}

TEST(SixBitGroup, EncodesEachByteTripleAsFourCharacters) {
  struct Case {
    std::array<std::uint8_t, 3> bytes;
    std::array<char16_t, 4> text;
  };
  const Case cases[] = {
      {{'a', 'b', 'c'}, {u'Y', u'W', u'J', u'd'}},
      {{0, 0, 0}, {u'A', u'A', u'A', u'A'}},
      // 25 and 26 are the last letter and the first character after the capitals.
      {{0x00, 0x06, 0x5A}, {u'A', u'A', u'Z', u'['}},
      // 57 and 61.
      {{0x00, 0x0E, 0x7D}, {u'A', u'A', u'z', u'~'}},
      // 62 and 63 leave printable ASCII.
      {{0xFB, 0xEF, 0xBE}, {0x7F, 0x7F, 0x7F, 0x7F}},
      {{0xFF, 0xFF, 0xFF}, {0x80, 0x80, 0x80, 0x80}},
      {{0xFB, 0xFF, 0xBF}, {0x7F, 0x80, 0x7F, 0x80}},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Cnet::EncodeGroup(c.bytes[0], c.bytes[1], c.bytes[2]), c.text)
        << int(c.bytes[0]) << " " << int(c.bytes[1]) << " " << int(c.bytes[2]);
  }
}

TEST(FrameText, HeaderPartIsTheHeaderSectionInSixGroups) {
  const FrameHeader h = FirmwareHeader();
  const std::u16string text = Cnet::EncodeFrame(h, nullptr);
  ASSERT_EQ(text.size(), 24U);
  EXPECT_EQ(Narrow(text), "kdUyMD]EAAAAAAAAAABs~AiA");
  const auto section = EncodeHeaderSection(h);
  std::vector<std::uint8_t> expected(section.begin(), section.end());
  expected.push_back(0);
  EXPECT_EQ(FromSixBit(Narrow(text)), expected);
}

TEST(FrameText, PayloadPartFollowsWithItsChecksumAndLineFeed) {
  struct Case {
    std::uint32_t length;
    std::size_t payloadCharacters;
  };
  // 4 x ceil((n + 2) / 3).
  const Case cases[] = {{1, 4}, {3, 8}, {4, 8}, {6, 12}, {128, 176}, {256, 344}};
  for (const Case& c : cases) {
    std::vector<std::uint8_t> payload(c.length);
    for (std::size_t i = 0; i < payload.size(); ++i) {
      payload[i] = static_cast<std::uint8_t>(i * 7);
    }
    FrameHeader h = MakeRequest(1, 0x4000, c.length, kTypeWrite);
    const std::string text = Narrow(Cnet::EncodeFrame(h, payload.data()));
    ASSERT_EQ(text.size(), 24 + c.payloadCharacters) << c.length;
    std::vector<std::uint8_t> section(payload);
    section.push_back(Checksum8(payload));
    section.push_back(kLineFeed);
    EXPECT_EQ(text.substr(24), SixBit(section)) << c.length;
  }
}

TEST(FrameText, DecodingGivesBackTheFrameOrSaysWhatIsWrong) {
  FrameHeader reply = MakeRequest(4, 0, 5, kTypeAccepted);
  const std::vector<std::uint8_t> payload = {'T', 'E', 'L', 0xAA, 0x0A};
  const std::string good = EncodeFrameText(reply, payload, true);

  const DecodedFrameText ok = DecodeFrameText(good, PayloadPart::kWhenLengthNotZero);
  ASSERT_TRUE(ok.ok());
  EXPECT_EQ(ok.header, reply);
  EXPECT_EQ(ok.payload, payload);
  EXPECT_EQ(ok.wire, EncodeFrame(reply, payload));

  auto withByte = [](std::vector<std::uint8_t> bytes, std::size_t at, std::uint8_t value) {
    bytes[at] = value;
    return bytes;
  };
  auto section = [](const FrameHeader& h) {
    const auto s = EncodeHeaderSection(h);
    return std::vector<std::uint8_t>(s.begin(), s.end());
  };
  std::vector<std::uint8_t> payloadSection = payload;
  payloadSection.push_back(Checksum8(payload));
  payloadSection.push_back(kLineFeed);

  struct Case {
    const char* what;
    std::string text;
    FrameTextError error;
  };
  const std::vector<Case> cases = {
      {"too short", good.substr(0, 20), FrameTextError::kBadLength},
      {"payload cut", good.substr(0, good.size() - 4), FrameTextError::kBadLength},
      {"a group too many", good + "AAAA", FrameTextError::kBadLength},
      {"space inside", good.substr(0, 10) + " " + good.substr(11), FrameTextError::kBadCharacter},
      {"character 0x81", good.substr(0, 30) + "\x81" + good.substr(31),
       FrameTextError::kBadCharacter},
      {"header checksum", SixBit(withByte(section(reply), 15, 0x00)) + SixBit(payloadSection),
       FrameTextError::kBadHeaderChecksum},
      {"header line feed", SixBit(withByte(section(reply), 16, 0x0D)) + SixBit(payloadSection),
       FrameTextError::kNoHeaderLineFeed},
      {"header filler", SixBit(section(reply)).substr(0, 23) + "B" + SixBit(payloadSection),
       FrameTextError::kBadPadding},
      {"payload checksum", SixBit(section(reply)) + SixBit(withByte(payloadSection, 5, 0)),
       FrameTextError::kBadPayloadChecksum},
      {"payload line feed", SixBit(section(reply)) + SixBit(withByte(payloadSection, 6, 0)),
       FrameTextError::kNoPayloadLineFeed},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(DecodeFrameText(c.text, PayloadPart::kWhenLengthNotZero).error, c.error) << c.what;
  }
}

TEST(FrameText, ARequestCarriesAPayloadOnlyWhenItsPartIsThere) {
  // A read asks for 256 bytes and sends none; a reply announcing 256 bytes must carry them.
  const FrameHeader read = MakeRequest(1, 0x0800, 256, kTypeRead);
  const std::string text = EncodeFrameText(read, {}, false);
  const DecodedFrameText request = DecodeFrameText(text, PayloadPart::kWhenPresent);
  ASSERT_TRUE(request.ok());
  EXPECT_FALSE(request.hasPayload);
  EXPECT_EQ(request.wire.size(), kHeaderSectionSize);
  EXPECT_EQ(DecodeFrameText(text, PayloadPart::kWhenLengthNotZero).error,
            FrameTextError::kBadLength);
}

TEST(RequestLine, IsTheFixedPiecesWithNothingEscaped) {
  const FrameHeader h = FirmwareHeader();
  struct Case {
    std::u16string server;
    std::u16string user;
    std::u16string path;
    bool frame;
    int chunk;
    std::string request;
  };
  const Case cases[] = {
      {u"", u"", u"rd?", false, 0, "GET /rd?sid=&crc=1234&rnd=9877\r\n\r\n"},
      {u"", u"", u"st?", false, 0, "GET /st?sid=&crc=1234&rnd=9877\r\n\r\n"},
      {u"relay.example.cz", u"356938035643809", u"rd?", false, 0,
       "GET relay.example.cz/rd?sid=356938035643809&crc=1234&rnd=9877\r\n\r\n"},
      {u"10.0.0.1", u"Telvora", u"cl?", true, 0,
       "GET 10.0.0.1/cl?sid=Telvora&crc=1234&rnd=9877&c0=kdUyMD]EAAAAAAAAAABs~AiA\r\n\r\n"},
      {u"10.0.0.1", u"Telvora", u"cl?", true, 10,
       "GET 10.0.0.1/cl?sid=Telvora&crc=1234&rnd=9877&c10=kdUyMD]EAAAAAAAAAABs~AiA\r\n\r\n"},
      {u"10.0.0.1", u"Telvora", u"cl?", true, 99,
       "GET 10.0.0.1/cl?sid=Telvora&crc=1234&rnd=9877&c99=kdUyMD]EAAAAAAAAAABs~AiA\r\n\r\n"},
  };
  for (const Case& c : cases) {
    RelayServerName = c.server;
    RelayUserId = c.user;
    EXPECT_EQ(Narrow(Cnet::BuildRequest(h, c.path, nullptr, c.chunk, c.frame)), c.request);
  }
  RelayServerName.clear();
  RelayUserId.clear();
}

TEST(LeadingNumber, ReadsDigitsUntilTheFirstOtherByteWrappingIn32Bits) {
  struct Case {
    const char* reply;
    std::int32_t value;
  };
  const Case cases[] = {
      {"123abc", 123},
      {"abc123", 0},
      {"", 0},
      {"200\nkdUy", 200},
      {"007", 7},
      {"-5", 0},
      {"2147483647", 2147483647},
      {"2147483648", INT32_MIN},
      {"4294967297", 1},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Cnet::LeadingNumber(reinterpret_cast<const std::uint8_t*>(c.reply)), c.value)
        << c.reply;
  }
}

TEST(RefusedCharacter, FindsWhatWouldBreakOrExtendTheRequestLine) {
  struct Case {
    std::u16string text;
    std::optional<std::size_t> at;
  };
  const Case cases[] = {
      {u"relay.example.cz", std::nullopt},
      {u"", std::nullopt},
      {u"!~", std::nullopt},
      {u"relay example", 5},
      {u"host\r\nHost: x", 4},
      {u"a\nb", 1},
      {u"\tx", 0},
      {u"x\x7F", 1},
      {u"x\u0080", 1},
      {u"Telvoráček", 6},
      {std::u16string(u"ab\0c", 4), 2},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Cnet::RefusedCharacter(c.text), c.at);
  }
}

}  // namespace
}  // namespace telvora
