// telvora-relay's server in-process between the relay client and a simulated unit, and its
// request parsing and frame reading on their own.
#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <memory>

#include "relay/frame_text.h"
#include "relay/relay_query.h"
#include "relay_fixture.h"
#include "tools/relay_server.h"
#include "tools/unit_simulator.h"

namespace telvora {
namespace {

using namespace std::chrono_literals;

FrameHeader WithPassword(FrameHeader h, std::u16string_view password = u"5807") {
  SetPasswordBytes(h, password);
  return h;
}

// Sends `request` on a fresh loopback connection and reads the answer until the server closes.
std::string RawExchange(std::uint16_t port, const std::string& request) {
  const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in sa{};
  sa.sin_family = AF_INET;
  sa.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  sa.sin_port = htons(port);
  if (::connect(fd, reinterpret_cast<sockaddr*>(&sa), sizeof sa) != 0) {
    ::close(fd);
    return "no connection";
  }
  (void)::send(fd, request.data(), request.size(), MSG_NOSIGNAL);
  std::string answer;
  char buffer[4096];
  for (;;) {
    pollfd p{fd, POLLIN, 0};
    if (::poll(&p, 1, 10000) <= 0) {
      break;
    }
    const ssize_t n = ::recv(fd, buffer, sizeof buffer, 0);
    if (n <= 0) {
      break;
    }
    answer.append(buffer, static_cast<std::size_t>(n));
  }
  ::close(fd);
  return answer;
}

class RelayServerTest : public test::RelayFixture {
 protected:
  void SetUp() override {
    RelayFixture::SetUp();
    UnitSimulatorOptions o;
    o.baud = 0;
    o.answerDelay = std::chrono::microseconds(200);
    o.firmware = "TELVORA 9.9";
    sim_ = std::make_unique<UnitSimulator>(o);
    ASSERT_TRUE(sim_->Start());
    server_ = StartServer(sim_->DevicePath());
    ASSERT_TRUE(server_);
    net_.SetPort(server_->Port());
  }
  void TearDown() override {
    if (server_) {
      server_->Stop();
    }
    sim_->Stop();
    RelayFixture::TearDown();
  }

  std::unique_ptr<RelayServer> StartServer(const std::string& device) {
    RelayServerOptions options;
    options.listenAddress = "127.0.0.1";
    options.port = 0;
    options.unitDevice = device;
    options.unitTimeout = 500ms;
    options.requestTimeout = 300ms;
    auto server = std::make_unique<RelayServer>(options);
    server->SetLog([this](const std::string& line) {
      std::lock_guard lock(serverLogMutex_);
      serverLog_.push_back(line);
    });
    std::string error;
    if (!server->Start(&error)) {
      ADD_FAILURE() << error;
      return nullptr;
    }
    return server;
  }
  std::vector<std::string> ServerLog() {
    std::lock_guard lock(serverLogMutex_);
    return serverLog_;
  }

  std::unique_ptr<UnitSimulator> sim_;
  std::unique_ptr<RelayServer> server_;
  std::mutex serverLogMutex_;
  std::vector<std::string> serverLog_;
};

TEST_F(RelayServerTest, TheFirmwareQueryReturnsTheUnitsText) {
  const QueryAnswer a = QueryFirmwareThroughRelay(net_, u"5807");
  EXPECT_EQ(a.status, QueryStatus::kOk);
  EXPECT_EQ(a.text, u"TELVORA 9.9");
  const auto requests = sim_->Requests();
  ASSERT_EQ(requests.size(), 1U);
  EXPECT_EQ(requests[0].header, WithPassword(MakeRequest(4, 0, 0, kTypeRead)));
  EXPECT_TRUE(requests[0].payload.empty());
  DeliverPosted();
  EXPECT_EQ(recorder_.posted, (std::vector<int>{215, 199}));
  EXPECT_EQ(ServerLog(),
            (std::vector<std::string>{"rd? sid=Telvora -> 200", "cl? sid=Telvora c0 -> 200",
                                      "st? sid=Telvora -> 200"}));
}

TEST_F(RelayServerTest, ABlockReadArrivesWholeInTransferBuffer) {
  std::vector<std::uint8_t> block(690);
  for (std::size_t i = 0; i < block.size(); ++i) {
    block[i] = static_cast<std::uint8_t>(i * 31 + 7);
  }
  sim_->WriteMemory(0x0400, block);
  const TransferResult r =
      net_.Transfer(WithPassword(MakeRequest(1, 0x0400, 690, kTypeRead)), 0, nullptr, 256);
  EXPECT_TRUE(r.complete);
  EXPECT_EQ(r.chunks, 3);
  EXPECT_TRUE(std::equal(block.begin(), block.end(), TransferBuffer.begin()));
  const auto requests = sim_->Requests();
  ASSERT_EQ(requests.size(), 3U);
  EXPECT_EQ(requests[2].header.address, 0x0600U);
  EXPECT_EQ(requests[2].header.length, 178U);
}

TEST_F(RelayServerTest, ABlockWriteReachesTheUnitsMemory) {
  std::vector<std::uint8_t> block(300);
  for (std::size_t i = 0; i < block.size(); ++i) {
    block[i] = static_cast<std::uint8_t>(0xFF - i);
  }
  // Packed in TransferBuffer, as the pages pack their blocks; the answers must not spoil it.
  std::copy(block.begin(), block.end(), TransferBuffer.begin());
  const TransferResult r = net_.Transfer(WithPassword(MakeRequest(1, 0x4000, 300, kTypeWrite)), 1,
                                         TransferBuffer.data(), 128);
  EXPECT_TRUE(r.complete);
  EXPECT_EQ(r.chunks, 3);
  EXPECT_EQ(sim_->ReadMemory(0x4000, 300), block);
}

TEST_F(RelayServerTest, AWrongPasswordIsReportedAsRefused) {
  const QueryAnswer a = QueryFirmwareThroughRelay(net_, u"1234");
  EXPECT_EQ(a.status, QueryStatus::kRefused);
  EXPECT_TRUE(a.text.empty());
}

TEST_F(RelayServerTest, ASilentOrMissingUnitGetsAStatusAndNoFrame) {
  sim_->InjectNext(SimFault::Silent());
  QueryAnswer a = QueryFirmwareThroughRelay(net_, u"5807");
  EXPECT_EQ(a.status, QueryStatus::kFailed);
  EXPECT_NE(Log().find("\n504\n\nodezva: 504\n"), std::string::npos) << Log();

  // After a silence the unit answers again.
  a = QueryFirmwareThroughRelay(net_, u"5807");
  EXPECT_EQ(a.status, QueryStatus::kOk);

  auto orphan = StartServer("/dev/telvora-no-such-device");
  ASSERT_TRUE(orphan);
  net_.SetPort(orphan->Port());
  ClearRelayLog();
  a = QueryFirmwareThroughRelay(net_, u"5807");
  EXPECT_EQ(a.status, QueryStatus::kFailed);
  EXPECT_NE(Log().find("\n503\n\nodezva: 503\n"), std::string::npos) << Log();
}

TEST_F(RelayServerTest, EveryRequestGetsAStatusAndTheConnectionIsClosed) {
  const std::string goodFrame =
      EncodeFrameText(WithPassword(MakeRequest(4, 0, 0, kTypeRead)), {}, false);
  struct Case {
    const char* what;
    std::string request;
    std::string answerStart;
  };
  const std::vector<Case> cases = {
      {"opening", "GET relay/rd?sid=A&crc=1234&rnd=9877\r\n\r\n", "200\n"},
      {"closing", "GET relay/st?sid=A&crc=1234&rnd=9877\r\n\r\n", "200\n"},
      {"frame", "GET relay/cl?sid=A&crc=1234&rnd=9877&c0=" + goodFrame + "\r\n\r\n", "200\nk"},
      {"not a relay request", "GET /index.html HTTP/1.1\r\nHost: x\r\n\r\n", "400\n"},
      {"frame text broken", "GET relay/cl?sid=A&crc=1234&rnd=9877&c0=ABCD\r\n\r\n", "400\n"},
      {"frame request without frame", "GET relay/cl?sid=A&crc=1234&rnd=9877\r\n\r\n", "400\n"},
      {"never ended", "GET relay/rd?sid=A&crc=1234&rnd=9877\r\n", "408\n"},
      {"too long", "GET " + std::string(9000, 'x'), "413\n"},
  };
  for (const Case& c : cases) {
    const std::string answer = RawExchange(server_->Port(), c.request);
    EXPECT_TRUE(answer.starts_with(c.answerStart)) << c.what << ": " << answer;
  }
}

TEST_F(RelayServerTest, StopEndsTheServingWhileAClientSaysNothing) {
  RelayServerOptions options;
  options.listenAddress = "127.0.0.1";
  options.port = 0;
  options.requestTimeout = std::chrono::hours(1);
  RelayServer server(options);
  ASSERT_TRUE(server.Start());
  const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in sa{};
  sa.sin_family = AF_INET;
  sa.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  sa.sin_port = htons(server.Port());
  ASSERT_EQ(::connect(fd, reinterpret_cast<sockaddr*>(&sa), sizeof sa), 0);
  // Returns only once the serving thread has ended.
  server.Stop();
  ::close(fd);
  EXPECT_EQ(server.RequestsAnswered(), 0U);
}

TEST(RelayRequestParsing, TakesThePiecesOfEachRequest) {
  struct Case {
    std::string text;
    bool valid;
    RelayRequest::Kind kind;
    std::string server;
    std::string user;
    int chunk;
    std::string frame;
  };
  using K = RelayRequest::Kind;
  const Case cases[] = {
      {"GET relay.cz/rd?sid=Telvora&crc=1234&rnd=9877\r\n\r\n", true, K::kOpen, "relay.cz",
       "Telvora", -1, ""},
      {"GET /st?sid=&crc=1234&rnd=9877\r\n\r\n", true, K::kClose, "", "", -1, ""},
      {"GET h/cl?sid=u&crc=1234&rnd=9877&c10=kdUy\x7F\x80\r\n\r\n", true, K::kFrame, "h", "u", 10,
       "kdUy\x7F\x80"},
      // A '/' in the server name and "&crc=" in the user identifier stay theirs.
      {"GET h/x/rd?sid=a&crc=b&crc=1234&rnd=9877\r\n\r\n", true, K::kOpen, "h/x", "a&crc=b", -1,
       ""},
      {"GET h/rd?sid=u&crc=1234&rnd=9877\r\n", false, K::kOpen, "", "", -1, ""},
      {"POST h/rd?sid=u&crc=1234&rnd=9877\r\n\r\n", false, K::kOpen, "", "", -1, ""},
      {"GET h/xx?sid=u&crc=1234&rnd=9877\r\n\r\n", false, K::kOpen, "", "", -1, ""},
      {"GET h/rd?sid=u\r\n\r\n", false, K::kOpen, "", "", -1, ""},
      {"GET h/cl?sid=u&crc=1234&rnd=9877&cx=AAAA\r\n\r\n", false, K::kOpen, "", "", -1, ""},
  };
  for (const Case& c : cases) {
    const std::optional<RelayRequest> r = ParseRelayRequest(c.text);
    ASSERT_EQ(r.has_value(), c.valid) << c.text;
    if (!r) {
      continue;
    }
    EXPECT_EQ(r->kind, c.kind) << c.text;
    EXPECT_EQ(r->server, c.server) << c.text;
    EXPECT_EQ(r->user, c.user) << c.text;
    EXPECT_EQ(r->chunkIndex, c.chunk) << c.text;
    EXPECT_EQ(r->frameText, c.frame) << c.text;
  }
}

TEST(UnitFrameReading, PassesOverNoiseNoticesAndBrokenFrames) {
  const FrameHeader reply = MakeRequest(4, 0, 3, kTypeAccepted);
  const std::vector<std::uint8_t> payload = {0xAA, 0x0A, 'x'};
  // A broken frame's payload is passed over byte by byte, so a sync byte in it would start a
  // frame of its own; this one holds none.
  const std::vector<std::uint8_t> brokenPayload = {1, 2, 3};
  std::vector<std::uint8_t> broken = EncodeFrame(reply, brokenPayload);
  broken[15] ^= 0xFF;  // header checksum
  std::vector<std::uint8_t> line = {0x00, 0x17, 'W', 'R', 'L', ':', ' ', 'h', 'i', '\r', '\n'};
  line.insert(line.end(), broken.begin(), broken.end());
  const std::vector<std::uint8_t> good = EncodeFrame(reply, payload);
  line.insert(line.end(), good.begin(), good.end());

  UnitFrameReader reader;
  int frames = 0;
  for (std::size_t i = 0; i < line.size(); ++i) {
    if (reader.Feed(line[i])) {
      ++frames;
      EXPECT_EQ(i, line.size() - 1) << "only the last byte completes a frame";
    }
  }
  EXPECT_EQ(frames, 1);
  EXPECT_EQ(reader.header(), reply);
  EXPECT_EQ(reader.payload(), payload);
}

}  // namespace
}  // namespace telvora
