// The relay client against a scripted server on loopback: the requests byte for byte, the
// relay log line by line, the unit's reply frames, and every way a transfer can fail.
#include <gtest/gtest.h>

#include <numeric>

#include "link/frame_header.h"
#include "relay/relay_query.h"
#include "relay_fixture.h"
#include "scripted_server.h"

namespace telvora {
namespace {

using test::ExchangeLines;
using test::FromSixBit;
using test::Reply;
using test::ScriptedServer;
using test::SixBit;

constexpr const char* kFirmwareText = "kdUyMD]EAAAAAAAAAABs~AiA";

FrameHeader WithPassword(FrameHeader h) {
  SetPasswordBytes(h, u"5807");
  return h;
}

// "200\n" and the 6-bit text of a reply frame, as a relay server hands back the unit's answer.
std::string FrameReply(const FrameHeader& h, const std::vector<std::uint8_t>& payload) {
  const auto section = EncodeHeaderSection(h);
  std::string text = SixBit({section.begin(), section.end()});
  if (h.length != 0) {
    std::vector<std::uint8_t> p = payload;
    p.push_back(Checksum8(payload));
    p.push_back(kLineFeed);
    text += SixBit(p);
  }
  return "200\n" + text;
}

std::vector<std::uint8_t> Bytes(const std::string& s) {
  return {s.begin(), s.end()};
}

// The frame text of a frame request ("&c<index>=" up to the closing "\r\n\r\n").
struct FramePiece {
  int index = -1;
  std::string text;
};
FramePiece FrameOf(const std::string& request) {
  FramePiece piece;
  const std::size_t c = request.rfind("&c");
  const std::size_t eq = request.find('=', c);
  if (c == std::string::npos || eq == std::string::npos) {
    return piece;
  }
  piece.index = std::stoi(request.substr(c + 2, eq - c - 2));
  piece.text = request.substr(eq + 1, request.size() - eq - 1 - 4);
  return piece;
}

std::uint32_t Le32(const std::vector<std::uint8_t>& b, std::size_t at) {
  return b[at] | (b[at + 1] << 8) | (b[at + 2] << 16) |
         (static_cast<std::uint32_t>(b[at + 3]) << 24);
}

class RelayClientTest : public test::RelayFixture {
 protected:
  void Use(ScriptedServer& server) { net_.SetPort(server.port()); }
};

TEST_F(RelayClientTest, FirmwareQuerySendsThreeRequestsByteForByte) {
  ScriptedServer server;
  Use(server);
  const TransferResult r =
      net_.Transfer(WithPassword(MakeRequest(4, 0, 0, kTypeRead)), 0, nullptr, 256);
  // The server handed back no frame, so nothing reached the caller.
  EXPECT_FALSE(r);
  EXPECT_EQ(r.chunks, 1);
  EXPECT_EQ(
      server.Requests(),
      (std::vector<std::string>{"GET 127.0.0.1/rd?sid=Telvora&crc=1234&rnd=9877\r\n\r\n",
                                std::string("GET 127.0.0.1/cl?sid=Telvora&crc=1234&rnd=9877&c0=") +
                                    kFirmwareText + "\r\n\r\n",
                                "GET 127.0.0.1/st?sid=Telvora&crc=1234&rnd=9877\r\n\r\n"}));
  EXPECT_FALSE(net_.IsConnected());
}

TEST_F(RelayClientTest, AnEmptyUserIdentifierLeavesNothingBetweenItsNeighbours) {
  ScriptedServer server;
  Use(server);
  RelayUserId.clear();
  net_.Transfer(WithPassword(MakeRequest(4, 0, 0, kTypeRead)), 0, nullptr, 256);
  const auto requests = server.Requests();
  ASSERT_EQ(requests.size(), 3U);
  EXPECT_EQ(requests[0], "GET 127.0.0.1/rd?sid=&crc=1234&rnd=9877\r\n\r\n");
  EXPECT_EQ(requests[2], "GET 127.0.0.1/st?sid=&crc=1234&rnd=9877\r\n\r\n");
}

TEST_F(RelayClientTest, AnEmptyServerNameIsLeftToTheSystemsLookup) {
  std::uint16_t closedPort = 0;
  {
    ScriptedServer gone;
    closedPort = gone.port();
  }
  net_.SetPort(closedPort);
  RelayServerName.clear();
  const TransferResult r =
      net_.Transfer(WithPassword(MakeRequest(4, 0, 0, kTypeRead)), 0, nullptr, 256);
  EXPECT_FALSE(r);
  DeliverPosted();
  EXPECT_TRUE(recorder_.posted.empty());
  // Some resolvers know no host by the empty name, others take it for this machine, where
  // nothing listens on the port chosen here.
  const std::string start = "připojuji na internet\nInicializace WinSock\nSocket vytvořen\n";
  const std::string log = Log();
  EXPECT_TRUE(log == start + "Hostname nenalezen\n" ||
              log == start + "Hostname nalezen\nchyba spojení se serverem\n")
      << log;
}

TEST_F(RelayClientTest, ABlockReadSendsOneFrameRequestPerChunk) {
  ScriptedServer server;
  Use(server);
  net_.Transfer(WithPassword(MakeRequest(1, 0x0400, 690, kTypeRead)), 0, nullptr, 256);
  const auto requests = server.Requests();
  ASSERT_EQ(requests.size(), 5U);
  EXPECT_TRUE(requests[0].find("/rd?") != std::string::npos);
  EXPECT_TRUE(requests[4].find("/st?") != std::string::npos);
  const std::uint32_t lengths[] = {256, 256, 178};
  for (std::size_t i = 0; i < 3; ++i) {
    const FramePiece piece = FrameOf(requests[i + 1]);
    EXPECT_EQ(piece.index, static_cast<int>(i));
    ASSERT_EQ(piece.text.size(), 24U) << "a read carries no payload";
    const std::vector<std::uint8_t> header = FromSixBit(piece.text);
    EXPECT_EQ(header[5], 1);
    EXPECT_EQ(Le32(header, 6), 0x0400U + 256U * static_cast<std::uint32_t>(i));
    EXPECT_EQ(Le32(header, 10), lengths[i]);
    EXPECT_EQ(header[14], 'r');
    EXPECT_EQ(header[15], Checksum8(std::span(header.data(), 15)));
    EXPECT_EQ(header[16], 0x0A);
  }
}

TEST_F(RelayClientTest, AWriteOfNothingSendsOnlyTheOpeningAndClosingRequests) {
  ScriptedServer server;
  Use(server);
  std::array<std::uint8_t, 4> data{};
  const TransferResult r =
      net_.Transfer(WithPassword(MakeRequest(1, 0x4000, 0, kTypeWrite)), 1, data.data(), 128);
  const auto requests = server.Requests();
  ASSERT_EQ(requests.size(), 2U);
  EXPECT_TRUE(requests[0].find("/rd?") != std::string::npos);
  EXPECT_TRUE(requests[1].find("/st?") != std::string::npos);
  EXPECT_EQ(r.chunks, 0);
  DeliverPosted();
  EXPECT_EQ(recorder_.posted, std::vector<int>{215});
}

TEST_F(RelayClientTest, AWriteChunkCarriesItsPayloadAsText) {
  ScriptedServer server;
  Use(server);
  std::vector<std::uint8_t> data(128);
  // 0xFF bytes give the two characters above printable ASCII.
  std::iota(data.begin(), data.end(), std::uint8_t{0xC0});
  data[0] = data[1] = data[2] = 0xFF;
  data[3] = 0xFB;
  data[4] = 0xEF;
  data[5] = 0xBE;
  net_.Transfer(WithPassword(MakeRequest(1, 0x4000, 128, kTypeWrite)), 1, data.data(), 128);
  const auto requests = server.Requests();
  ASSERT_EQ(requests.size(), 3U);
  const FramePiece piece = FrameOf(requests[1]);
  EXPECT_EQ(piece.index, 0);
  ASSERT_EQ(piece.text.size(), 24U + 176U);
  EXPECT_EQ(piece.text.substr(24, 8), "\x80\x80\x80\x80\x7F\x7F\x7F\x7F");
  const std::vector<std::uint8_t> section = FromSixBit(piece.text.substr(24));
  EXPECT_TRUE(std::equal(data.begin(), data.end(), section.begin()));
  EXPECT_EQ(section[128], Checksum8(data));
  EXPECT_EQ(section[129], 0x0A);
  EXPECT_EQ(section[130], 0);
  EXPECT_EQ(section[131], 0);
}

TEST_F(RelayClientTest, TheEleventhChunkHasATwoDigitIndex) {
  ScriptedServer server;
  Use(server);
  net_.Transfer(WithPassword(MakeRequest(1, 0x0800, 11, kTypeRead)), 0, nullptr, 1);
  const auto requests = server.Requests();
  ASSERT_EQ(requests.size(), 13U);
  for (int i = 0; i <= 10; ++i) {
    EXPECT_EQ(FrameOf(requests[static_cast<std::size_t>(i + 1)]).index, i);
  }
  EXPECT_NE(requests[11].find("&c10="), std::string::npos);
}

TEST_F(RelayClientTest, ACompleteQueryLogsEveryStepInOrder) {
  ScriptedServer server;
  Use(server);
  const std::vector<std::uint8_t> firmware = Bytes(std::string("TELVORA 14.01.21") + '\0');
  const std::string frameReply = FrameReply(MakeRequest(4, 0, 17, kTypeAccepted), firmware);
  server.Queue(Reply::Body("200\n"));
  server.Queue(Reply::Body(frameReply));
  server.Queue(Reply::Body("200\n"));

  const QueryAnswer a = QueryFirmwareThroughRelay(net_, u"5807");
  EXPECT_EQ(a.status, QueryStatus::kOk);
  EXPECT_EQ(a.text, u"TELVORA 14.01.21");
  EXPECT_EQ(LastReplyHeader.type, kTypeAccepted);
  DeliverPosted();
  EXPECT_EQ(recorder_.posted, (std::vector<int>{215, 199}));

  const std::string expected =
      "připojuji na internet\n" +
      ExchangeLines("GET 127.0.0.1/rd?sid=Telvora&crc=1234&rnd=9877\r\n\r\n", "200\n", "200",
                    "000000c8") +
      ExchangeLines(std::string("GET 127.0.0.1/cl?sid=Telvora&crc=1234&rnd=9877&c0=") +
                        kFirmwareText + "\r\n\r\n",
                    Utf16ToUtf8(DecodeCp1250(Bytes(frameReply))), "200", "000000c8") +
      ExchangeLines("GET 127.0.0.1/st?sid=Telvora&crc=1234&rnd=9877\r\n\r\n", "200\n", "200",
                    "000000c8") +
      "konec přenosu\nsocket ukončen\n";
  EXPECT_EQ(Log(), expected);
}

TEST_F(RelayClientTest, RepliesAreLoggedAsTheyCame) {
  struct Case {
    const char* what;
    Reply reply;
    std::string logged;
    std::string value;
    std::string hex;
  };
  const std::vector<Case> cases = {
      {"digits then letters", Reply::Body("123abc"), "123abc", "123", "0000007b"},
      {"a letter first", Reply::Body("abc123"), "abc123", "0", "00000000"},
      {"nothing", Reply::Body(""), "", "0", "00000000"},
      {"in pieces", Reply::Pieces({"4", "04", "\nnot ", "found"}, std::chrono::milliseconds(30)),
       "404\nnot found", "404", "00000194"},
      {"beyond the buffer", Reply::Body("7" + std::string(9000, 'x')), "7" + std::string(8190, 'x'),
       "7", "00000007"},
      {"a zero byte inside",
       Reply::Body(std::string("12\0"
                               "34",
                               5)),
       "12", "12", "0000000c"},
  };
  for (const Case& c : cases) {
    ScriptedServer server(c.reply);
    Use(server);
    ClearRelayLog();
    const TransferResult r =
        net_.Transfer(WithPassword(MakeRequest(1, 0x4000, 0, kTypeWrite)), 1, nullptr, 128);
    EXPECT_TRUE(r) << c.what;
    const std::string exchange = ExchangeLines(
        "GET 127.0.0.1/rd?sid=Telvora&crc=1234&rnd=9877\r\n\r\n", c.logged, c.value, c.hex);
    EXPECT_TRUE(Log().starts_with("připojuji na internet\n" + exchange)) << c.what << "\n" << Log();
  }
}

TEST_F(RelayClientTest, FailuresToConnectAreLoggedAndEndTheTransfer) {
  int closedPort = 0;
  {
    ScriptedServer gone;
    closedPort = gone.port();
  }
  struct Case {
    const char* what;
    std::u16string server;
    int port;
    std::string log;
  };
  const std::string start = "připojuji na internet\nInicializace WinSock\nSocket vytvořen\n";
  const Case cases[] = {
      {"no such host", u"relay.nosuch.invalid", 80, start + "Hostname nenalezen\n"},
      {"nothing listens", u"127.0.0.1", closedPort,
       start + "Hostname nalezen\nchyba spojení se serverem\n"},
  };
  for (const Case& c : cases) {
    ClearRelayLog();
    RelayServerName = c.server;
    net_.SetPort(static_cast<std::uint16_t>(c.port));
    const TransferResult r =
        net_.Transfer(WithPassword(MakeRequest(4, 0, 0, kTypeRead)), 0, nullptr, 256);
    EXPECT_FALSE(r) << c.what;
    EXPECT_EQ(Log(), c.log) << c.what;
    EXPECT_FALSE(net_.IsConnected());
  }
  DeliverPosted();
  EXPECT_TRUE(recorder_.posted.empty());
}

TEST_F(RelayClientTest, AServerThatNeverAnswersIsGivenUpAfterTenSecondsChanges) {
  ScriptedServer server;
  Use(server);
  server.Queue(Reply::Body("200\n"));
  server.Queue(Reply::Never());
  const TransferResult r =
      net_.Transfer(WithPassword(MakeRequest(4, 0, 0, kTypeRead)), 0, nullptr, 256);
  EXPECT_FALSE(r);
  // The connection is closed before the transfer returns, not when the client goes away.
  EXPECT_FALSE(net_.IsConnected());
  EXPECT_TRUE(server.WaitFinished(2, std::chrono::seconds(5)));
  EXPECT_EQ(server.ClosedByClient(), 1);
  EXPECT_EQ(server.Requests().size(), 2U);
  DeliverPosted();
  EXPECT_TRUE(recorder_.posted.empty());
  // Nothing is logged after the request went out.
  EXPECT_TRUE(Log().ends_with(std::string(kFirmwareText) + "\r\n\r\nodeslana data\n")) << Log();
}

TEST_F(RelayClientTest, TextsThatWouldBreakTheRequestLineAreRefusedBeforeConnecting) {
  ScriptedServer server;
  Use(server);
  struct Case {
    std::u16string server;
    std::u16string user;
    std::string log;
  };
  const Case cases[] = {
      {u"127.0.0.1 HTTP/1.1", u"Telvora",
       "adresa serveru obsahuje nepovolený znak (pozice 10, kód 0x20)\n"},
      {u"127.0.0.1\r\nHost: x", u"Telvora",
       "adresa serveru obsahuje nepovolený znak (pozice 10, kód 0x0D)\n"},
      {u"127.0.0.1", u"Tel\nvora", "ID uživatele obsahuje nepovolený znak (pozice 4, kód 0x0A)\n"},
      {u"127.0.0.1", u"Telvoráček", "ID uživatele obsahuje nepovolený znak (pozice 7, kód 0xE1)\n"},
      {u"127.0.0.1", u"x\x7F", "ID uživatele obsahuje nepovolený znak (pozice 2, kód 0x7F)\n"},
  };
  for (const Case& c : cases) {
    ClearRelayLog();
    RelayServerName = c.server;
    RelayUserId = c.user;
    const TransferResult r =
        net_.Transfer(WithPassword(MakeRequest(4, 0, 0, kTypeRead)), 0, nullptr, 256);
    EXPECT_FALSE(r);
    EXPECT_EQ(Log(), c.log);
  }
  EXPECT_EQ(server.Connections(), 0);
}

TEST_F(RelayClientTest, TheUnitsReplyFramesReachTheCaller) {
  ScriptedServer server;
  Use(server);
  // The three chunks of a 690-byte read, each answered with its part of the block.
  std::vector<std::uint8_t> block(690);
  for (std::size_t i = 0; i < block.size(); ++i) {
    block[i] = static_cast<std::uint8_t>(i * 13 + 1);
  }
  server.Queue(Reply::Body("200\n"));
  std::uint32_t offset = 0;
  for (const std::uint32_t n : {256U, 256U, 178U}) {
    const std::vector<std::uint8_t> part(block.begin() + offset, block.begin() + offset + n);
    // CR LF after the number and a line feed at the end are taken too.
    server.Queue(Reply::Body(
        FrameReply(MakeRequest(1, 0x0400 + offset, n, kTypeAccepted), part).insert(3, "\r") +
        "\n"));
    offset += n;
  }
  const TransferResult r =
      net_.Transfer(WithPassword(MakeRequest(1, 0x0400, 690, kTypeRead)), 0, nullptr, 256);
  EXPECT_TRUE(r.replied);
  EXPECT_TRUE(r.complete);
  EXPECT_EQ(r.chunks, 3);
  EXPECT_TRUE(std::equal(block.begin(), block.end(), TransferBuffer.begin()));
  EXPECT_EQ(LastReplyHeader.address, 0x0600U);
  EXPECT_EQ(LastReplyHeader.length, 178U);
}

TEST_F(RelayClientTest, RefusedAndBrokenReplyFramesAreNotTakenAsAnswers) {
  const std::vector<std::uint8_t> text = Bytes(std::string("FW 1.0") + '\0');
  const std::string good = FrameReply(MakeRequest(4, 0, 7, kTypeAccepted), text);
  std::string badChecksum = good;
  // The last group holds the payload's last byte, its checksum and the line feed: a different
  // first character changes that byte, so the checksum no longer fits.
  char& changed = badChecksum[badChecksum.size() - 4];
  changed = changed == 'A' ? 'B' : 'A';
  struct Case {
    const char* what;
    std::string reply;
    QueryStatus status;
    std::string logLine;  // after the reply's hexadecimal line, before 215
  };
  const std::vector<Case> cases = {
      {"good", good, QueryStatus::kOk, ""},
      {"refused", FrameReply(MakeRequest(4, 0, 0, kTypeRefused), {}), QueryStatus::kRefused, ""},
      {"no frame", "200\n", QueryStatus::kFailed, ""},
      {"no frame, a message", "500 unit offline", QueryStatus::kFailed, ""},
      {"payload checksum", badChecksum, QueryStatus::kFailed,
       "odpověď nenese platný rámec jednotky (chybný součet dat)\n"},
      {"cut short", good.substr(0, good.size() - 4), QueryStatus::kFailed,
       "odpověď nenese platný rámec jednotky (nesouhlasí délka)\n"},
      {"followed by more", good + "\nAAAA", QueryStatus::kFailed,
       "odpověď nenese platný rámec jednotky (nesouhlasí délka)\n"},
      {"not 6-bit text", "200\n<html>", QueryStatus::kFailed,
       "odpověď nenese platný rámec jednotky (nesouhlasí délka)\n"},
      {"a type other than a", FrameReply(MakeRequest(4, 0, 7, 'x'), text), QueryStatus::kFailed,
       ""},
  };
  for (const Case& c : cases) {
    ScriptedServer server;
    Use(server);
    server.Queue(Reply::Body("200\n"));
    server.Queue(Reply::Body(c.reply));
    ClearRelayLog();
    recorder_.posted.clear();
    TransferBuffer.fill(0x55);
    const QueryAnswer a = QueryFirmwareThroughRelay(net_, u"5807");
    EXPECT_EQ(a.status, c.status) << c.what;
    if (c.status == QueryStatus::kOk) {
      EXPECT_EQ(a.text, u"FW 1.0");
    }
    DeliverPosted();
    // The sequence was whole whatever the frame said.
    EXPECT_EQ(recorder_.posted, (std::vector<int>{215, 199})) << c.what;
    const std::string log = Log();
    const std::string hexThenClose = "000000c8\n" + c.logLine + "Inicializace WinSock\n";
    if (!c.logLine.empty()) {
      EXPECT_NE(log.find(hexThenClose), std::string::npos) << c.what << log;
    }
    EXPECT_EQ(log.find("odpověď nenese") == std::string::npos, c.logLine.empty()) << c.what;
  }
}

}  // namespace
}  // namespace telvora
