// The unit's telephone-number table: its 1280-byte layout of 64 entries, described once as a
// field table, and its exchange with the number page's rows and entry controls.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "pages/block_field.h"
#include "platform/controls.h"

namespace telvora {

class JsonWriter;

inline constexpr std::size_t kNumberBlockSize = 1280;
inline constexpr std::uint32_t kNumberBlockAddress = 0x0800;
inline constexpr std::size_t kNumberEntries = 64;
inline constexpr std::size_t kNumberTextSize = 16;
// The text of a row that holds no number.
inline constexpr std::u16string_view kEmptyNumber = u"x";

inline constexpr int kRingLengthEdit = 1086;
inline constexpr int kRingCountCombo = 1087;
// The ring-count combo offers "1" to "5" rings as items 0 to 4.
inline constexpr int kRingCountItems = 5;

// Event bits of smsMask and ringMask.
inline constexpr int kEventIn1 = 0;
inline constexpr int kEventIn2 = 1;
inline constexpr int kEventAnalog = 2;
inline constexpr int kEventT1 = 3;
inline constexpr int kEventT2 = 4;
inline constexpr int kEventReturnSms = 5;  // SMS only
inline constexpr int kEventSystemSms = 6;  // SMS only

inline constexpr BitBox kSmsBoxes[] = {
    {kEventIn1, 1048}, {kEventIn2, 1050},       {kEventAnalog, 1052},    {kEventT1, 1088},
    {kEventT2, 1090},  {kEventReturnSms, 1063}, {kEventSystemSms, 1062},
};
inline constexpr BitBox kRingBoxes[] = {
    {kEventIn1, 1047}, {kEventIn2, 1049}, {kEventAnalog, 1051}, {kEventT1, 1055}, {kEventT2, 1089},
};

// The fields of entry 0; entry i lies `stride` * i bytes further. The number itself has no
// control: the page's list rows hold it.
inline constexpr auto kNumberEntryFields = std::to_array<BlockField>({
    WithStride(TextField("number", 0, kNumberTextSize, 0, "telefonní číslo", kEmptyNumber),
               kNumberTextSize),
    WithStride(
        NumberField(FieldKind::kU8, "ringLength", 1024, kRingLengthEdit, "délka zvonění", 10), 1),
    WithStride(ComboField("ringCount", 1088, kRingCountCombo, kRingCountItems, "počet prozvonění"),
               1),
    WithStride(BitsField("smsMask", 1152, 1, kSmsBoxes, "sms"), 1),
    WithStride(BitsField("ringMask", 1216, 1, kRingBoxes, "prozvonit"), 1),
});

// Each field's 64 entries end where the next field begins, and the last ends the block.
constexpr bool NumberFieldsTile() {
  std::size_t next = 0;
  for (const BlockField& f : kNumberEntryFields) {
    if (f.offset != next || f.width != f.stride) {
      return false;
    }
    next = f.offset + kNumberEntries * f.stride;
  }
  return next == kNumberBlockSize;
}
static_assert(NumberFieldsTile());
static_assert(ControlsWellFormed(kNumberEntryFields));

struct NumberBlock {
  std::array<std::uint8_t, kNumberBlockSize> bytes{};

  friend bool operator==(const NumberBlock&, const NumberBlock&) = default;
};

// The entry controls (ring length, ring count, both columns of check boxes) into entry
// `entry`. A refused ring length leaves the entry untouched and comes back as a problem.
std::vector<FieldProblem> StoreEntry(const DialogControls& controls, std::size_t entry,
                                     NumberBlock& block);
// Entry `entry` into the entry controls; a ring count past the fifth item chooses nothing.
void ShowEntry(const NumberBlock& block, std::size_t entry, DialogControls& controls);

// Row i (of the first 64) into entry i's number, cut to 15 characters; nothing else changes.
void GatherNumbers(std::span<const std::u16string> rows, NumberBlock& block);
// The 64 row texts.
std::vector<std::u16string> SpreadNumbers(const NumberBlock& block);
// The rows before anything is read: 64 times "x".
std::vector<std::u16string> DefaultNumberRows();
// The entry values before anything is read: ring length 10, first ring-count item, no events.
// The numbers are left as they are.
void SetNumberDefaults(NumberBlock& block);

void WriteNumberBlockJson(JsonWriter& json, const NumberBlock& block);
// An array of 64 entries {"number", "ringLength", "ringCount", "smsMask", "ringMask"}.
std::string NumberBlockToJson(const NumberBlock& block);

}  // namespace telvora
