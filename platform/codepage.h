// Text conversions between the window (UTF-16), the console and files (UTF-8) and the unit
// (single-byte Windows-1250).
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace telvora {

// Malformed input never stops a conversion: each bad sequence becomes U+FFFD.
std::u16string Utf8ToUtf16(std::string_view utf8);
std::string Utf16ToUtf8(std::u16string_view utf16);

// Windows-1250 to UTF-16, one code unit per byte. The five bytes the code page leaves
// undefined (0x81, 0x83, 0x88, 0x90, 0x98) become the C1 code points of the same value, so
// that whatever the unit holds survives a round trip through the window.
std::u16string DecodeCp1250(std::span<const std::uint8_t> bytes);

// UTF-16 to Windows-1250, one byte per character; a character the code page cannot hold (a
// surrogate pair counts as one character) becomes '?'.
std::vector<std::uint8_t> EncodeCp1250(std::u16string_view text);
std::uint8_t EncodeCp1250Char(char32_t c);

// The low 8 bits of each UTF-16 code unit, as the unit takes its access password.
std::vector<std::uint8_t> Low8Bits(std::u16string_view text);

}  // namespace telvora
