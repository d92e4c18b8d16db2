// Block and query requests built the one way every caller builds them.
#include "link/block_io.h"

#include <algorithm>

#include "link/commands.h"
#include "link/link_state.h"

namespace telvora {

BlockRead ReadBlock(Cfin& engine, std::u16string_view password, std::uint32_t address,
                    std::uint32_t length, int timeoutSeconds) {
  FrameHeader h = MakeRequest(cmd::kBlock, address, length, kTypeRead);
  Cfin::SetPassword(h, password);
  ReplyTimeoutSeconds = timeoutSeconds;
  BlockRead read;
  read.result = engine.TransferBlock(h, 0, TransferBuffer.data(), kReadChunk);
  if (read.result.complete) {
    read.bytes.assign(TransferBuffer.begin(), TransferBuffer.begin() + length);
  }
  return read;
}

TransferResult WriteBlock(Cfin& engine, std::u16string_view password, std::uint32_t address,
                          std::span<const std::uint8_t> bytes, int timeoutSeconds) {
  const auto length = static_cast<std::uint32_t>(bytes.size());
  FrameHeader h = MakeRequest(cmd::kBlock, address, length, kTypeWrite);
  Cfin::SetPassword(h, password);
  std::copy(bytes.begin(), bytes.end(), TransferBuffer.begin());
  ReplyTimeoutSeconds = timeoutSeconds;
  // sendPayload only marks the transfer as a write; an empty block then sends nothing.
  return engine.TransferBlock(h, std::max<std::uint32_t>(length, 1), TransferBuffer.data(),
                              kWriteChunk);
}

QueryReply SendQuery(Cfin& engine, std::u16string_view password, std::uint8_t command,
                     std::uint8_t type, std::span<const std::uint8_t> payload, int timeoutSeconds,
                     std::uint32_t address) {
  const auto length = static_cast<std::uint32_t>(payload.size());
  FrameHeader h = MakeRequest(command, address, length, type);
  Cfin::SetPassword(h, password);
  std::copy(payload.begin(), payload.end(), TransferBuffer.begin());
  ReplyTimeoutSeconds = timeoutSeconds;
  QueryReply reply;
  const std::uint32_t chunk = type == kTypeWrite ? kWriteChunk : kReadChunk;
  reply.result = engine.TransferBlock(h, length, TransferBuffer.data(), chunk);
  if (reply.result.complete) reply.payloadLength = LastReplyHeader.length;
  return reply;
}

}  // namespace telvora
