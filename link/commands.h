// The unit's command codes, addresses and block sizes.
#pragma once

#include <array>
#include <cstdint>

namespace telvora {

namespace cmd {
inline constexpr std::uint8_t kBlock = 1;
inline constexpr std::uint8_t kClock = 2;
inline constexpr std::uint8_t kSignal = 3;
inline constexpr std::uint8_t kFirmware = 4;
inline constexpr std::uint8_t kCredit = 5;
inline constexpr std::uint8_t kImei = 6;
inline constexpr std::uint8_t kPassword = 7;
inline constexpr std::uint8_t kVoltage = 8;
inline constexpr std::uint8_t kTemperatures = 10;
}  // namespace cmd

inline constexpr std::uint32_t kBasicAddress = 0x0400;
inline constexpr std::uint32_t kBasicLength = 690;
inline constexpr std::uint32_t kNumberAddress = 0x0800;
inline constexpr std::uint32_t kNumberLength = 1280;
inline constexpr std::uint32_t kInternetAddress = 0x4000;
inline constexpr std::uint32_t kInternetLength = 128;
inline constexpr std::uint32_t kPasswordAddress = 128;
inline constexpr std::uint32_t kReadChunk = 256;
inline constexpr std::uint32_t kWriteChunk = 128;

// The unit's three configuration blocks, in the order a settings file holds them, with
// the wait limit of their transfers.
struct ConfigBlock {
  std::uint32_t address;
  std::uint32_t length;
  int timeoutSeconds;
};
inline constexpr std::array<ConfigBlock, 3> kConfigBlocks{{
    {kBasicAddress, kBasicLength, 3},
    {kNumberAddress, kNumberLength, 5},
    {kInternetAddress, kInternetLength, 3},
}};

}  // namespace telvora
