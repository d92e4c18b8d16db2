// The printable 6-bit text in which frames travel through the relay: every three bytes become
// four characters 0x41 + v, most significant six bits first.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "link/frame_header.h"

namespace telvora {

inline constexpr std::uint8_t kSixBitBase = 0x41;
// A header section (17 bytes, completed to 18) always takes six groups.
inline constexpr std::size_t kHeaderTextLength = 24;

// Characters of a part of n bytes: four for every started group of three.
constexpr std::size_t SixBitLength(std::size_t bytes) {
  return 4 * ((bytes + 2) / 3);
}

// Four characters for three bytes: 'A' (0) .. 'Z', '[' .. 'z' (57) .. '~' (61), 0x7F, 0x80.
std::array<std::uint8_t, 4> EncodeSixBitGroup(std::uint8_t b0, std::uint8_t b1, std::uint8_t b2);
// One part by itself, completed with zero bytes to a multiple of three.
std::string EncodeSixBitPart(std::span<const std::uint8_t> bytes);
// The header section of `header`, then the payload section when `withPayload` is set
// (`payload` holds header.length bytes), each part encoded by itself.
std::string EncodeFrameText(const FrameHeader& header, std::span<const std::uint8_t> payload,
                            bool withPayload);

enum class FrameTextError {
  kNone,
  kBadCharacter,  // a character outside 0x41 to 0x80
  kBadLength,     // the text does not hold the parts its header announces
  kBadPadding,    // the bytes that complete a part to a group are not zero
  kBadHeaderChecksum,
  kNoHeaderLineFeed,
  kBadPayloadChecksum,
  kNoPayloadLineFeed,
};

// What a frame text carries, checked as the receive parser would check the bytes.
struct DecodedFrameText {
  FrameTextError error = FrameTextError::kNone;
  FrameHeader header;
  bool hasPayload = false;
  std::vector<std::uint8_t> payload;
  // The frame as it goes on the serial line: header section, then payload section if any.
  std::vector<std::uint8_t> wire;

  bool ok() const { return error == FrameTextError::kNone; }
};

// How to tell whether a payload part follows the header part.
enum class PayloadPart {
  kWhenLengthNotZero,  // replies: exactly when the header's length is not 0
  kWhenPresent,        // requests: a read announces a length but carries no payload
};

DecodedFrameText DecodeFrameText(std::string_view text, PayloadPart rule);

// A short English description for the server's log.
const char* Describe(FrameTextError error);

}  // namespace telvora
