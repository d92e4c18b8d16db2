// The relay settings as the unit keeps them: a 128-byte block of the user identifier and the
// relay server's name, described once as a field table.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

#include "pages/block_field.h"
#include "platform/controls.h"

namespace telvora {

class JsonWriter;

inline constexpr std::size_t kInternetBlockSize = 128;
inline constexpr std::uint32_t kInternetBlockAddress = 0x4000;

inline constexpr int kUserIdEdit = 1184;
inline constexpr int kServerNameEdit = 1033;

inline constexpr auto kInternetFields = std::to_array<BlockField>({
    TextField("userId", 0, 64, kUserIdEdit, "ID uživatele"),
    TextField("serverName", 64, 64, kServerNameEdit, "internetová adresa obslužného serveru"),
});

static_assert(FieldsTile(kInternetFields, kInternetBlockSize));
static_assert(ControlsWellFormed(kInternetFields));

struct InternetBlock {
  std::array<std::uint8_t, kInternetBlockSize> bytes{};

  friend bool operator==(const InternetBlock&, const InternetBlock&) = default;
};

// Texts cannot be refused, so gathering always succeeds.
void GatherInternetBlock(const DialogControls& controls, InternetBlock& block);
void SpreadInternetBlock(const InternetBlock& block, DialogControls& controls);

void WriteInternetBlockJson(JsonWriter& json, const InternetBlock& block);
// {"userId": ..., "serverName": ...}
std::string InternetBlockToJson(const InternetBlock& block);

}  // namespace telvora
