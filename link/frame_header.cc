// Byte-exact frame encoding: explicit little-endian shifts, no packed structs.
#include "link/frame_header.h"

namespace telvora {

std::uint8_t Checksum8(std::span<const std::uint8_t> bytes) {
  unsigned sum = 0;
  for (std::uint8_t b : bytes) sum += b;
  return static_cast<std::uint8_t>(sum & 0xFFU);
}

namespace {
void PutLe32(std::uint8_t* out, std::uint32_t v) {
  out[0] = static_cast<std::uint8_t>(v & 0xFFU);
  out[1] = static_cast<std::uint8_t>((v >> 8) & 0xFFU);
  out[2] = static_cast<std::uint8_t>((v >> 16) & 0xFFU);
  out[3] = static_cast<std::uint8_t>((v >> 24) & 0xFFU);
}
std::uint32_t GetLe32(const std::uint8_t* in) {
  return static_cast<std::uint32_t>(in[0]) | (static_cast<std::uint32_t>(in[1]) << 8) |
         (static_cast<std::uint32_t>(in[2]) << 16) | (static_cast<std::uint32_t>(in[3]) << 24);
}
}  // namespace

std::array<std::uint8_t, kHeaderFieldsSize> EncodeHeaderFields(const FrameHeader& h) {
  std::array<std::uint8_t, kHeaderFieldsSize> out{};
  out[0] = h.sync;
  for (std::size_t i = 0; i < 4; ++i) out[1 + i] = h.password[i];
  out[5] = h.command;
  PutLe32(&out[6], h.address);
  PutLe32(&out[10], h.length);
  out[14] = h.type;
  return out;
}

FrameHeader DecodeHeaderFields(std::span<const std::uint8_t> bytes) {
  FrameHeader h;
  h.sync = bytes[0];
  for (std::size_t i = 0; i < 4; ++i) h.password[i] = bytes[1 + i];
  h.command = bytes[5];
  h.address = GetLe32(&bytes[6]);
  h.length = GetLe32(&bytes[10]);
  h.type = bytes[14];
  return h;
}

std::array<std::uint8_t, kHeaderSectionSize> EncodeHeaderSection(const FrameHeader& h) {
  std::array<std::uint8_t, kHeaderSectionSize> out{};
  const auto fields = EncodeHeaderFields(h);
  for (std::size_t i = 0; i < fields.size(); ++i) out[i] = fields[i];
  out[15] = Checksum8(fields);
  out[16] = kLineFeed;
  return out;
}

void AppendPayloadSection(std::vector<std::uint8_t>& out, std::span<const std::uint8_t> payload) {
  out.insert(out.end(), payload.begin(), payload.end());
  out.push_back(Checksum8(payload));
  out.push_back(kLineFeed);
}

std::vector<std::uint8_t> EncodeFrame(const FrameHeader& h, std::span<const std::uint8_t> payload) {
  std::vector<std::uint8_t> out;
  out.reserve(kHeaderSectionSize + payload.size() + kPayloadOverhead);
  const auto header = EncodeHeaderSection(h);
  out.insert(out.end(), header.begin(), header.end());
  if (!payload.empty()) AppendPayloadSection(out, payload);
  return out;
}

void SetPasswordBytes(FrameHeader& h, std::u16string_view passwordText) {
  for (std::size_t i = 0; i < h.password.size(); ++i) {
    h.password[i] =
        i < passwordText.size() ? static_cast<std::uint8_t>(passwordText[i] & 0xFFU) : 0;
  }
}

}  // namespace telvora
