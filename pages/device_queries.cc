// Device queries: one frame each, the answer checked before anything is shown.
#include "pages/device_queries.h"

#include <array>
#include <cstdio>
#include <vector>

#include "link/block_io.h"
#include "link/commands.h"
#include "link/link_state.h"
#include "platform/codepage.h"

namespace telvora {

namespace {

std::u16string Ascii(const char* text) {
  std::u16string out;
  for (const char* p = text; *p != 0; ++p) out.push_back(static_cast<char16_t>(*p));
  return out;
}

QueryStatus StatusOf(const QueryReply& reply, std::uint32_t bytesNeeded) {
  if (reply.result.refused) return QueryStatus::kRefused;
  if (!reply.answered()) return QueryStatus::kFailed;
  // An answer without the bytes the value needs would show what an earlier transfer
  // left in the buffer.
  if (reply.payloadLength < bytesNeeded) return QueryStatus::kFailed;
  return QueryStatus::kOk;
}

// The reply text: the payload up to its first zero byte, through the code page.
std::u16string ReplyText(std::uint32_t payloadLength) {
  const std::size_t n = std::min<std::size_t>(payloadLength, kTransferBufferSize - 1);
  std::size_t end = 0;
  while (end < n && TransferBuffer[end] != 0) ++end;
  return DecodeCp1250(std::span<const std::uint8_t>(TransferBuffer.data(), end));
}

std::int32_t Le32(std::size_t at) {
  const std::uint32_t v = static_cast<std::uint32_t>(TransferBuffer[at]) |
                          (static_cast<std::uint32_t>(TransferBuffer[at + 1]) << 8) |
                          (static_cast<std::uint32_t>(TransferBuffer[at + 2]) << 16) |
                          (static_cast<std::uint32_t>(TransferBuffer[at + 3]) << 24);
  return static_cast<std::int32_t>(v);
}

std::int16_t Le16(std::size_t at) {
  const auto v = static_cast<std::uint16_t>(TransferBuffer[at] | (TransferBuffer[at + 1] << 8));
  return static_cast<std::int16_t>(v);
}

}  // namespace

std::u16string FormatVoltage(std::int32_t v) {
  // Both parts keep the sign of the value: -15 reads "-1.-5", as the unit's users know it.
  std::array<char, 40> buf{};
  std::snprintf(buf.data(), buf.size(), "%2d.%2d", v / 10, v % 10);
  return Ascii(buf.data());
}

std::u16string FormatTemperature(std::int16_t t) {
  std::int32_t value = t;
  std::u16string out;
  if (value < 0) {
    out = u"-";
    value = -value;
  }
  std::array<char, 40> buf{};
  std::snprintf(buf.data(), buf.size(), "%2d.%d", value / 10, value % 10);
  return out + Ascii(buf.data());
}

std::u16string FormatClock(std::span<const std::uint8_t, 6> b) {
  std::array<char, 64> buf{};
  std::snprintf(buf.data(), buf.size(), "%d.%d. 20%02d  %02d:%02d:%02d", b[0], b[1], b[2], b[3],
                b[4], b[5]);
  return Ascii(buf.data());
}

std::array<std::uint8_t, 6> ClockPayload(const std::tm& t) {
  return {static_cast<std::uint8_t>((t.tm_year + 1900 - 2000) & 0xFF),
          static_cast<std::uint8_t>(t.tm_mon + 1),
          static_cast<std::uint8_t>(t.tm_mday),
          static_cast<std::uint8_t>(t.tm_hour),
          static_cast<std::uint8_t>(t.tm_min),
          static_cast<std::uint8_t>(t.tm_sec)};
}

std::u16string ImeiFromReply(std::span<const std::uint8_t> reply) {
  std::u16string imei;
  for (std::size_t i = 0; i < reply.size() && i < 15 && reply[i] != 0; ++i) {
    imei.push_back(static_cast<char16_t>(reply[i]));
  }
  return imei;
}

QueryAnswer QueryText(Cfin& engine, std::u16string_view password, std::uint8_t command) {
  const int timeout = command == cmd::kSignal ? 10 : 3;
  const QueryReply reply = SendQuery(engine, password, command, kTypeRead, {}, timeout);
  QueryAnswer answer;
  answer.status = StatusOf(reply, 1);
  if (answer.status != QueryStatus::kOk) return answer;
  answer.text = ReplyText(reply.payloadLength);
  if (command == cmd::kImei) {
    answer.imei = ImeiFromReply(std::span<const std::uint8_t>(
        TransferBuffer.data(), std::min<std::size_t>(reply.payloadLength, 15)));
  }
  return answer;
}

QueryAnswer QueryClock(Cfin& engine, std::u16string_view password) {
  const QueryReply reply = SendQuery(engine, password, cmd::kClock, kTypeRead, {}, 3);
  QueryAnswer answer;
  answer.status = StatusOf(reply, 6);
  if (answer.status == QueryStatus::kOk) {
    answer.text = FormatClock(std::span<const std::uint8_t, 6>(TransferBuffer.data(), 6));
  }
  return answer;
}

QueryAnswer SetClock(Cfin& engine, std::u16string_view password, const std::tm& localTime) {
  const auto payload = ClockPayload(localTime);
  const QueryReply reply = SendQuery(engine, password, cmd::kClock, kTypeWrite, payload, 3);
  QueryAnswer answer;
  answer.status = StatusOf(reply, 0);
  return answer;
}

QueryAnswer QueryCredit(Cfin& engine, std::u16string_view password, std::u16string_view code) {
  std::vector<std::uint8_t> payload = EncodeCp1250(code.substr(0, 15));
  payload.push_back(0);
  const QueryReply reply = SendQuery(engine, password, cmd::kCredit, kTypeWrite, payload, 15);
  QueryAnswer answer;
  answer.status = StatusOf(reply, 1);
  if (answer.status == QueryStatus::kOk) answer.text = ReplyText(reply.payloadLength);
  return answer;
}

QueryAnswer QueryVoltage(Cfin& engine, std::u16string_view password) {
  const QueryReply reply = SendQuery(engine, password, cmd::kVoltage, kTypeRead, {}, 3);
  QueryAnswer answer;
  answer.status = StatusOf(reply, 4);
  if (answer.status == QueryStatus::kOk) answer.text = FormatVoltage(Le32(0));
  return answer;
}

QueryAnswer QueryTemperatures(Cfin& engine, std::u16string_view password) {
  const QueryReply reply = SendQuery(engine, password, cmd::kTemperatures, kTypeRead, {}, 5);
  QueryAnswer answer;
  answer.status = StatusOf(reply, 4);
  if (answer.status == QueryStatus::kOk) {
    answer.text = FormatTemperature(Le16(0));
    answer.text2 = FormatTemperature(Le16(2));
  }
  return answer;
}

std::u16string_view OperatorCode(int item) {
  static constexpr std::array<std::u16string_view, 4> kCodes = {u"*22#", u"*101#", u"*104*#",
                                                                u"*161*#"};
  if (item < 0 || item >= static_cast<int>(kCodes.size())) return {};
  return kCodes[static_cast<std::size_t>(item)];
}

}  // namespace telvora
