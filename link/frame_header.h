// The frame header record and the byte-exact encoding of frames on the wire.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

namespace telvora {

inline constexpr std::uint8_t kSyncByte = 0xAA;
inline constexpr std::uint8_t kLineFeed = 0x0A;
inline constexpr std::uint8_t kTypeRead = 'r';
inline constexpr std::uint8_t kTypeWrite = 'w';
inline constexpr std::uint8_t kTypeAccepted = 'a';
inline constexpr std::uint8_t kTypeRefused = 'h';

// 15 header bytes, the checksum and a line feed.
inline constexpr std::size_t kHeaderSectionSize = 17;
inline constexpr std::size_t kHeaderFieldsSize = 15;
// Payload bytes, checksum and line feed come after the header section.
inline constexpr std::size_t kPayloadOverhead = 2;
// WriteFrame assembles a whole frame in one buffer of this size.
inline constexpr std::size_t kFrameBufferSize = 16384;
inline constexpr std::size_t kMaxPayload = kFrameBufferSize - kHeaderSectionSize - kPayloadOverhead;

struct FrameHeader {
  std::uint8_t sync = kSyncByte;
  std::array<std::uint8_t, 4> password{};
  std::uint8_t command = 0;
  std::uint32_t address = 0;
  std::uint32_t length = 0;
  std::uint8_t type = 0;

  friend bool operator==(const FrameHeader&, const FrameHeader&) = default;
};

// A request header with sync 0xAA and everything else as given; the password is set apart.
inline FrameHeader MakeRequest(std::uint8_t command, std::uint32_t address, std::uint32_t length,
                               std::uint8_t type) {
  FrameHeader h;
  h.command = command;
  h.address = address;
  h.length = length;
  h.type = type;
  return h;
}

// Sum of the bytes modulo 256.
std::uint8_t Checksum8(std::span<const std::uint8_t> bytes);

// The 15 header bytes in wire order (numbers little-endian).
std::array<std::uint8_t, kHeaderFieldsSize> EncodeHeaderFields(const FrameHeader& h);
// The inverse of EncodeHeaderFields; `bytes` holds at least 15 bytes.
FrameHeader DecodeHeaderFields(std::span<const std::uint8_t> bytes);

// The 17-byte header section: fields, checksum over them (sync included), line feed.
std::array<std::uint8_t, kHeaderSectionSize> EncodeHeaderSection(const FrameHeader& h);
// Appends payload, its checksum and a line feed.
void AppendPayloadSection(std::vector<std::uint8_t>& out, std::span<const std::uint8_t> payload);
// A whole frame: the header section, then the payload section when the payload is not empty.
std::vector<std::uint8_t> EncodeFrame(const FrameHeader& h, std::span<const std::uint8_t> payload);

// The four password bytes: the low 8 bits of the first four UTF-16 code units, 0 where missing.
void SetPasswordBytes(FrameHeader& h, std::u16string_view passwordText);

}  // namespace telvora
