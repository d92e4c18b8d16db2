// Every request the tool sends to the unit, with its wait limit.
#pragma once

#include <array>
#include <cstdint>

namespace telvora {

struct UnitCommand {
  const char* name;
  std::uint8_t command;
  std::uint8_t type;
  std::uint32_t address;
  std::uint32_t length;  // for block commands the block's length; 0 for queries
  int timeoutSeconds;
  std::uint32_t chunkSize;
};

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

inline constexpr std::array<UnitCommand, 15> kUnitCommands{{
    {"basic read", cmd::kBlock, 'r', kBasicAddress, kBasicLength, 3, kReadChunk},
    {"basic write", cmd::kBlock, 'w', kBasicAddress, kBasicLength, 3, kWriteChunk},
    {"numbers read", cmd::kBlock, 'r', kNumberAddress, kNumberLength, 5, kReadChunk},
    {"numbers write", cmd::kBlock, 'w', kNumberAddress, kNumberLength, 5, kWriteChunk},
    {"internet read", cmd::kBlock, 'r', kInternetAddress, kInternetLength, 3, kReadChunk},
    {"internet write", cmd::kBlock, 'w', kInternetAddress, kInternetLength, 3, kWriteChunk},
    {"clock read", cmd::kClock, 'r', 0, 0, 3, kReadChunk},
    {"clock set", cmd::kClock, 'w', 0, 6, 3, kWriteChunk},
    {"signal", cmd::kSignal, 'r', 0, 0, 10, kReadChunk},
    {"firmware", cmd::kFirmware, 'r', 0, 0, 3, kReadChunk},
    {"credit", cmd::kCredit, 'w', 0, 0, 15, kReadChunk},
    {"imei", cmd::kImei, 'r', 0, 0, 3, kReadChunk},
    {"password", cmd::kPassword, 'w', kPasswordAddress, 5, 500, kWriteChunk},
    {"voltage", cmd::kVoltage, 'r', 0, 0, 3, kReadChunk},
    {"temperatures", cmd::kTemperatures, 'r', 0, 0, 5, kReadChunk},
}};

}  // namespace telvora
