// UTF-8 / UTF-16 conversion and the Windows-1250 code page of the unit's texts.
#include "platform/codepage.h"

#include <algorithm>
#include <array>
#include <utility>

namespace telvora {
namespace {

constexpr char32_t kReplacement = 0xFFFD;

// Bytes 0x80 to 0xFF of Windows-1250. The undefined bytes map to themselves (C1 controls).
constexpr std::array<char16_t, 128> kCp1250High = {
    // 0x80
    0x20AC, 0x0081, 0x201A, 0x0083, 0x201E, 0x2026, 0x2020, 0x2021,  //
    0x0088, 0x2030, 0x0160, 0x2039, 0x015A, 0x0164, 0x017D, 0x0179,  //
    // 0x90
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,  //
    0x0098, 0x2122, 0x0161, 0x203A, 0x015B, 0x0165, 0x017E, 0x017A,  //
    // 0xA0
    0x00A0, 0x02C7, 0x02D8, 0x0141, 0x00A4, 0x0104, 0x00A6, 0x00A7,  //
    0x00A8, 0x00A9, 0x015E, 0x00AB, 0x00AC, 0x00AD, 0x00AE, 0x017B,  //
    // 0xB0
    0x00B0, 0x00B1, 0x02DB, 0x0142, 0x00B4, 0x00B5, 0x00B6, 0x00B7,  //
    0x00B8, 0x0105, 0x015F, 0x00BB, 0x013D, 0x02DD, 0x013E, 0x017C,  //
    // 0xC0
    0x0154, 0x00C1, 0x00C2, 0x0102, 0x00C4, 0x0139, 0x0106, 0x00C7,  //
    0x010C, 0x00C9, 0x0118, 0x00CB, 0x011A, 0x00CD, 0x00CE, 0x010E,  //
    // 0xD0
    0x0110, 0x0143, 0x0147, 0x00D3, 0x00D4, 0x0150, 0x00D6, 0x00D7,  //
    0x0158, 0x016E, 0x00DA, 0x0170, 0x00DC, 0x00DD, 0x0162, 0x00DF,  //
    // 0xE0
    0x0155, 0x00E1, 0x00E2, 0x0103, 0x00E4, 0x013A, 0x0107, 0x00E7,  //
    0x010D, 0x00E9, 0x0119, 0x00EB, 0x011B, 0x00ED, 0x00EE, 0x010F,  //
    // 0xF0
    0x0111, 0x0144, 0x0148, 0x00F3, 0x00F4, 0x0151, 0x00F6, 0x00F7,  //
    0x0159, 0x016F, 0x00FA, 0x0171, 0x00FC, 0x00FD, 0x0163, 0x02D9,  //
};

// The same table turned round and sorted by code point, for a binary search when encoding.
constexpr auto kCp1250Reverse = [] {
  std::array<std::pair<char16_t, std::uint8_t>, 128> r{};
  for (std::size_t i = 0; i < kCp1250High.size(); ++i) {
    r[i] = {kCp1250High[i], static_cast<std::uint8_t>(0x80 + i)};
  }
  std::sort(r.begin(), r.end());
  return r;
}();

void AppendUtf8(std::string& out, char32_t c) {
  if (c < 0x80) {
    out.push_back(static_cast<char>(c));
  } else if (c < 0x800) {
    out.push_back(static_cast<char>(0xC0 | (c >> 6)));
    out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
  } else if (c < 0x10000) {
    out.push_back(static_cast<char>(0xE0 | (c >> 12)));
    out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
  } else {
    out.push_back(static_cast<char>(0xF0 | (c >> 18)));
    out.push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
  }
}

void AppendUtf16(std::u16string& out, char32_t c) {
  if (c < 0x10000) {
    out.push_back(static_cast<char16_t>(c));
  } else {
    const char32_t v = c - 0x10000;
    out.push_back(static_cast<char16_t>(0xD800 + (v >> 10)));
    out.push_back(static_cast<char16_t>(0xDC00 + (v & 0x3FF)));
  }
}

bool IsHighSurrogate(char32_t c) {
  return c >= 0xD800 && c <= 0xDBFF;
}
bool IsLowSurrogate(char32_t c) {
  return c >= 0xDC00 && c <= 0xDFFF;
}

// Reads one code point from `text` at `pos` and moves past it; a lone surrogate reads as
// U+FFFD.
char32_t NextCodePoint(std::u16string_view text, std::size_t& pos) {
  const char32_t c = text[pos++];
  if (IsHighSurrogate(c)) {
    if (pos < text.size() && IsLowSurrogate(text[pos])) {
      const char32_t low = text[pos++];
      return 0x10000 + ((c - 0xD800) << 10) + (low - 0xDC00);
    }
    return kReplacement;
  }
  if (IsLowSurrogate(c)) {
    return kReplacement;
  }
  return c;
}

}  // namespace

std::u16string Utf8ToUtf16(std::string_view utf8) {
  std::u16string out;
  out.reserve(utf8.size());
  std::size_t i = 0;
  while (i < utf8.size()) {
    const auto b0 = static_cast<unsigned char>(utf8[i]);
    if (b0 < 0x80) {
      out.push_back(b0);
      ++i;
      continue;
    }
    std::size_t len = 0;
    char32_t c = 0;
    char32_t min = 0;
    if ((b0 & 0xE0) == 0xC0) {
      len = 2;
      c = b0 & 0x1F;
      min = 0x80;
    } else if ((b0 & 0xF0) == 0xE0) {
      len = 3;
      c = b0 & 0x0F;
      min = 0x800;
    } else if ((b0 & 0xF8) == 0xF0) {
      len = 4;
      c = b0 & 0x07;
      min = 0x10000;
    }
    bool ok = len != 0 && i + len <= utf8.size();
    for (std::size_t k = 1; ok && k < len; ++k) {
      const auto b = static_cast<unsigned char>(utf8[i + k]);
      if ((b & 0xC0) != 0x80) {
        ok = false;
      } else {
        c = (c << 6) | (b & 0x3F);
      }
    }
    // Overlong forms, encoded surrogates and values past U+10FFFF are all malformed.
    if (ok && (c < min || c > 0x10FFFF || IsHighSurrogate(c) || IsLowSurrogate(c))) {
      ok = false;
    }
    if (ok) {
      AppendUtf16(out, c);
      i += len;
    } else {
      out.push_back(static_cast<char16_t>(kReplacement));
      ++i;
    }
  }
  return out;
}

std::string Utf16ToUtf8(std::u16string_view utf16) {
  std::string out;
  out.reserve(utf16.size());
  std::size_t pos = 0;
  while (pos < utf16.size()) {
    AppendUtf8(out, NextCodePoint(utf16, pos));
  }
  return out;
}

std::u16string DecodeCp1250(std::span<const std::uint8_t> bytes) {
  std::u16string out;
  out.reserve(bytes.size());
  for (const std::uint8_t b : bytes) {
    out.push_back(b < 0x80 ? char16_t{b} : kCp1250High[b - 0x80]);
  }
  return out;
}

std::uint8_t EncodeCp1250Char(char32_t c) {
  if (c < 0x80) {
    return static_cast<std::uint8_t>(c);
  }
  if (c > 0xFFFF) {
    return '?';
  }
  const auto key = static_cast<char16_t>(c);
  const auto* it = std::lower_bound(
      kCp1250Reverse.begin(), kCp1250Reverse.end(), key,
      [](const std::pair<char16_t, std::uint8_t>& e, char16_t k) { return e.first < k; });
  if (it != kCp1250Reverse.end() && it->first == key) {
    return it->second;
  }
  return '?';
}

std::vector<std::uint8_t> EncodeCp1250(std::u16string_view text) {
  std::vector<std::uint8_t> out;
  out.reserve(text.size());
  std::size_t pos = 0;
  while (pos < text.size()) {
    out.push_back(EncodeCp1250Char(NextCodePoint(text, pos)));
  }
  return out;
}

std::vector<std::uint8_t> Low8Bits(std::u16string_view text) {
  std::vector<std::uint8_t> out;
  out.reserve(text.size());
  for (const char16_t c : text) {
    out.push_back(static_cast<std::uint8_t>(c & 0xFF));
  }
  return out;
}

}  // namespace telvora
