// The relay's 6-bit frame text, both ways.
#include "relay/frame_text.h"

#include <optional>

namespace telvora {

namespace {

// Decodes one part; every character must be one of the 64 the encoding uses.
std::optional<std::vector<std::uint8_t>> DecodePart(std::string_view text) {
  std::vector<std::uint8_t> bytes;
  bytes.reserve(text.size() / 4 * 3);
  for (std::size_t i = 0; i + 4 <= text.size(); i += 4) {
    std::uint32_t value = 0;
    for (std::size_t k = 0; k < 4; ++k) {
      const auto c = static_cast<std::uint8_t>(text[i + k]);
      if (c < kSixBitBase || c > kSixBitBase + 63) {
        return std::nullopt;
      }
      value = (value << 6) | static_cast<std::uint32_t>(c - kSixBitBase);
    }
    bytes.push_back(static_cast<std::uint8_t>(value >> 16));
    bytes.push_back(static_cast<std::uint8_t>(value >> 8));
    bytes.push_back(static_cast<std::uint8_t>(value));
  }
  return bytes;
}

bool ZeroFrom(const std::vector<std::uint8_t>& bytes, std::size_t from) {
  for (std::size_t i = from; i < bytes.size(); ++i) {
    if (bytes[i] != 0) {
      return false;
    }
  }
  return true;
}

}  // namespace

std::array<std::uint8_t, 4> EncodeSixBitGroup(std::uint8_t b0, std::uint8_t b1, std::uint8_t b2) {
  const std::uint32_t value =
      (static_cast<std::uint32_t>(b0) << 16) | (static_cast<std::uint32_t>(b1) << 8) | b2;
  return {static_cast<std::uint8_t>(kSixBitBase + ((value >> 18) & 0x3F)),
          static_cast<std::uint8_t>(kSixBitBase + ((value >> 12) & 0x3F)),
          static_cast<std::uint8_t>(kSixBitBase + ((value >> 6) & 0x3F)),
          static_cast<std::uint8_t>(kSixBitBase + (value & 0x3F))};
}

std::string EncodeSixBitPart(std::span<const std::uint8_t> bytes) {
  std::string text;
  text.reserve(SixBitLength(bytes.size()));
  for (std::size_t i = 0; i < bytes.size(); i += 3) {
    const std::uint8_t b1 = i + 1 < bytes.size() ? bytes[i + 1] : 0;
    const std::uint8_t b2 = i + 2 < bytes.size() ? bytes[i + 2] : 0;
    for (const std::uint8_t c : EncodeSixBitGroup(bytes[i], b1, b2)) {
      text.push_back(static_cast<char>(c));
    }
  }
  return text;
}

std::string EncodeFrameText(const FrameHeader& header, std::span<const std::uint8_t> payload,
                            bool withPayload) {
  std::string text = EncodeSixBitPart(EncodeHeaderSection(header));
  if (withPayload) {
    std::vector<std::uint8_t> section(payload.begin(), payload.end());
    section.push_back(Checksum8(payload));
    section.push_back(kLineFeed);
    text += EncodeSixBitPart(section);
  }
  return text;
}

DecodedFrameText DecodeFrameText(std::string_view text, PayloadPart rule) {
  DecodedFrameText out;
  auto fail = [&out](FrameTextError e) {
    out.error = e;
    return out;
  };
  if (text.size() < kHeaderTextLength) {
    return fail(FrameTextError::kBadLength);
  }
  const auto head = DecodePart(text.substr(0, kHeaderTextLength));
  if (!head) {
    return fail(FrameTextError::kBadCharacter);
  }
  if (!ZeroFrom(*head, kHeaderSectionSize)) {
    return fail(FrameTextError::kBadPadding);
  }
  const std::span<const std::uint8_t> fields(head->data(), kHeaderFieldsSize);
  if ((*head)[kHeaderFieldsSize] != Checksum8(fields)) {
    return fail(FrameTextError::kBadHeaderChecksum);
  }
  if ((*head)[kHeaderFieldsSize + 1] != kLineFeed) {
    return fail(FrameTextError::kNoHeaderLineFeed);
  }
  out.header = DecodeHeaderFields(fields);
  out.wire.assign(head->begin(), head->begin() + kHeaderSectionSize);

  const std::string_view rest = text.substr(kHeaderTextLength);
  out.hasPayload = rule == PayloadPart::kWhenLengthNotZero ? out.header.length != 0 : !rest.empty();
  if (!out.hasPayload) {
    if (!rest.empty()) {
      return fail(FrameTextError::kBadLength);
    }
    return out;
  }
  // The length field decides how long the payload part is; a text that ends sooner or goes
  // on longer is not this frame.
  const std::size_t n = out.header.length;
  if (n > rest.size() || rest.size() != SixBitLength(n + kPayloadOverhead)) {
    return fail(FrameTextError::kBadLength);
  }
  const auto section = DecodePart(rest);
  if (!section) {
    return fail(FrameTextError::kBadCharacter);
  }
  if (!ZeroFrom(*section, n + kPayloadOverhead)) {
    return fail(FrameTextError::kBadPadding);
  }
  const std::span<const std::uint8_t> payload(section->data(), n);
  if ((*section)[n] != Checksum8(payload)) {
    return fail(FrameTextError::kBadPayloadChecksum);
  }
  if ((*section)[n + 1] != kLineFeed) {
    return fail(FrameTextError::kNoPayloadLineFeed);
  }
  out.payload.assign(payload.begin(), payload.end());
  out.wire.insert(out.wire.end(), section->begin(),
                  section->begin() + static_cast<long>(n + kPayloadOverhead));
  return out;
}

const char* Describe(FrameTextError error) {
  switch (error) {
    case FrameTextError::kNone:
      return "good frame";
    case FrameTextError::kBadCharacter:
      return "a character outside the 6-bit alphabet";
    case FrameTextError::kBadLength:
      return "the text does not match the frame's length";
    case FrameTextError::kBadPadding:
      return "the filler bits are not zero";
    case FrameTextError::kBadHeaderChecksum:
      return "wrong header checksum";
    case FrameTextError::kNoHeaderLineFeed:
      return "no line feed after the header";
    case FrameTextError::kBadPayloadChecksum:
      return "wrong payload checksum";
    case FrameTextError::kNoPayloadLineFeed:
      return "no line feed after the payload";
  }
  return "unknown";
}

}  // namespace telvora
