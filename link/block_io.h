// The block recipe without a window: the requests every page and the command line send.
#pragma once

#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

#include "link/fin.h"

namespace telvora {

struct BlockRead {
  TransferResult result;
  // The block, only when every chunk arrived whole; empty otherwise.
  std::vector<std::uint8_t> bytes;
};

// Reads `length` bytes at `address` in chunks of 256 through TransferBuffer.
BlockRead ReadBlock(Cfin& engine, std::u16string_view password, std::uint32_t address,
                    std::uint32_t length, int timeoutSeconds);
// Writes the bytes at `address` in chunks of 128 through TransferBuffer.
TransferResult WriteBlock(Cfin& engine, std::u16string_view password, std::uint32_t address,
                          std::span<const std::uint8_t> bytes, int timeoutSeconds);

// One query frame (a read of length 0, or a short write carrying `payload`).
// On success the reply's payload stands at the start of TransferBuffer, followed by 0.
struct QueryReply {
  TransferResult result;
  std::uint32_t payloadLength = 0;  // what the reply's header announced
  bool answered() const { return result.complete; }
};
QueryReply SendQuery(Cfin& engine, std::u16string_view password, std::uint8_t command,
                     std::uint8_t type, std::span<const std::uint8_t> payload, int timeoutSeconds,
                     std::uint32_t address = 0);

}  // namespace telvora
