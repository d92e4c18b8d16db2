// Field tables of the configuration blocks and the operations driven by them: packing,
// gathering from controls, spreading into controls, defaults, validation and the JSON view.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "platform/controls.h"

namespace telvora {

class JsonWriter;

enum class FieldKind : std::uint8_t {
  kText,      // 8-bit text: at most width - 1 characters, then a zero byte
  kU8,        // numeric edit, unsigned byte
  kU16,       // numeric edit, unsigned 16 bits
  kS16,       // numeric edit, signed 16 bits
  kBits,      // mask or word, one check box per bit
  kCombo,     // index of the chosen item of a combo box; no choice stores 255
  kFlag,      // one check box stored as 0 or 1
  kReserved,  // never written, never shown
};

// One bit of a mask or word and the check box that shows it.
struct BitBox {
  int bit;
  int controlId;
};

// One field of a block. Multi-byte values are little-endian. Fields of a table of entries
// (the telephone numbers) give the step between entries as `stride`.
struct BlockField {
  std::string_view name;
  std::size_t offset = 0;
  std::size_t width = 0;
  FieldKind kind = FieldKind::kReserved;
  int controlId = 0;  // edit, combo box or check box; 0 when the field has none
  std::span<const BitBox> bits{};
  std::string_view label{};  // Czech, UTF-8, for the messages of refused input
  std::int32_t defaultNumber = 0;
  std::u16string_view defaultText{};
  int itemCount = 0;  // combo boxes
  std::size_t stride = 0;
};

struct FieldRange {
  std::int64_t min;
  std::int64_t max;
};

// Input that was refused: which control, which field, and a message for the user.
struct FieldProblem {
  int controlId = 0;
  std::string_view field;
  std::string message;  // UTF-8
};

constexpr std::size_t WidthOf(FieldKind kind) {
  switch (kind) {
    case FieldKind::kU16:
    case FieldKind::kS16:
      return 2;
    default:
      return 1;
  }
}

constexpr bool IsNumericEdit(FieldKind kind) {
  return kind == FieldKind::kU8 || kind == FieldKind::kU16 || kind == FieldKind::kS16;
}

// What a numeric edit accepts; for the other kinds, the values their bytes can hold.
constexpr FieldRange RangeOf(const BlockField& f) {
  switch (f.kind) {
    case FieldKind::kS16:
      return {-32768, 32767};
    case FieldKind::kU16:
      return {0, 65535};
    default:
      return {0, f.width >= 2 ? 65535 : 255};
  }
}

constexpr BlockField TextField(std::string_view name, std::size_t offset, std::size_t width,
                               int controlId, std::string_view label,
                               std::u16string_view defaultText = {}) {
  BlockField f{.name = name, .offset = offset, .width = width, .kind = FieldKind::kText};
  f.controlId = controlId;
  f.label = label;
  f.defaultText = defaultText;
  return f;
}

constexpr BlockField NumberField(FieldKind kind, std::string_view name, std::size_t offset,
                                 int controlId, std::string_view label,
                                 std::int32_t defaultNumber = 0) {
  BlockField f{.name = name, .offset = offset, .width = WidthOf(kind), .kind = kind};
  f.controlId = controlId;
  f.label = label;
  f.defaultNumber = defaultNumber;
  return f;
}

constexpr BlockField BitsField(std::string_view name, std::size_t offset, std::size_t width,
                               std::span<const BitBox> bits, std::string_view label) {
  BlockField f{.name = name, .offset = offset, .width = width, .kind = FieldKind::kBits};
  f.bits = bits;
  f.label = label;
  return f;
}

constexpr BlockField ComboField(std::string_view name, std::size_t offset, int controlId,
                                int itemCount, std::string_view label,
                                std::int32_t defaultIndex = 0) {
  BlockField f{.name = name, .offset = offset, .width = 1, .kind = FieldKind::kCombo};
  f.controlId = controlId;
  f.label = label;
  f.defaultNumber = defaultIndex;
  f.itemCount = itemCount;
  return f;
}

constexpr BlockField FlagField(std::string_view name, std::size_t offset, int controlId,
                               std::string_view label) {
  BlockField f{.name = name, .offset = offset, .width = 1, .kind = FieldKind::kFlag};
  f.controlId = controlId;
  f.label = label;
  return f;
}

constexpr BlockField ReservedField(std::string_view name, std::size_t offset) {
  return BlockField{.name = name, .offset = offset, .width = 1, .kind = FieldKind::kReserved};
}

constexpr BlockField WithStride(BlockField f, std::size_t stride) {
  f.stride = stride;
  return f;
}

// Where the field called `name` stands in the table; fields.size() when there is none.
constexpr std::size_t FieldIndex(std::span<const BlockField> fields, std::string_view name) {
  std::size_t i = 0;
  while (i < fields.size() && fields[i].name != name) {
    ++i;
  }
  return i;
}

// The field called `name`, or null.
constexpr const BlockField* FindField(std::span<const BlockField> fields, std::string_view name) {
  const std::size_t i = FieldIndex(fields, name);
  return i < fields.size() ? &fields[i] : nullptr;
}

// Table checks for static_assert: the fields follow one another from offset 0 and fill
// exactly `size` bytes.
constexpr bool FieldsTile(std::span<const BlockField> fields, std::size_t size) {
  std::size_t next = 0;
  for (const BlockField& f : fields) {
    if (f.offset != next || f.width == 0) {
      return false;
    }
    next += f.width;
  }
  return next == size;
}

// Every bit lies inside its field, no bit is given twice, and no control id serves two
// fields or bits.
constexpr bool ControlsWellFormed(std::span<const BlockField> fields) {
  std::array<int, 512> ids{};
  std::size_t count = 0;
  const auto add = [&](int id) {
    if (count == ids.size()) {
      return false;
    }
    for (std::size_t i = 0; i < count; ++i) {
      if (ids[i] == id) {
        return false;
      }
    }
    ids[count++] = id;
    return true;
  };
  for (const BlockField& f : fields) {
    if (f.controlId != 0 && !add(f.controlId)) {
      return false;
    }
    std::uint32_t seen = 0;
    for (const BitBox& b : f.bits) {
      if (b.bit < 0 || static_cast<std::size_t>(b.bit) >= f.width * 8) {
        return false;
      }
      if ((seen >> b.bit) & 1U) {
        return false;
      }
      seen |= 1U << b.bit;
      if (!add(b.controlId)) {
        return false;
      }
    }
  }
  return true;
}

// A signed decimal integer, blanks around it allowed. Values too large for 64 bits saturate,
// so they still fall outside every range. Anything else is not a number.
std::optional<std::int64_t> ParseDecimal(std::u16string_view text);

// Typed access to one field of a block (entry `entry` in a table of entries).
std::int64_t ReadNumber(std::span<const std::uint8_t> block, const BlockField& field,
                        std::size_t entry = 0);
// Stores the low bits of `value` that the field's width holds.
void WriteNumber(std::span<std::uint8_t> block, const BlockField& field, std::int64_t value,
                 std::size_t entry = 0);
// The bytes before the first zero (all of them when there is none), as Windows-1250.
std::u16string ReadText(std::span<const std::uint8_t> block, const BlockField& field,
                        std::size_t entry = 0);
// Encodes as Windows-1250, cuts to width - 1 bytes and writes them with one zero byte behind
// and a second when there is room before the last byte; the rest of the field is left alone.
void WriteText(std::span<std::uint8_t> block, const BlockField& field, std::u16string_view text,
               std::size_t entry = 0);

// Checks every numeric edit of the table; nothing else can be refused.
std::vector<FieldProblem> ValidateFields(std::span<const BlockField> fields,
                                         const DialogControls& controls);
// Validates, then writes every field that has controls. When anything is refused nothing at
// all is written and the problems are returned.
std::vector<FieldProblem> GatherFields(std::span<const BlockField> fields,
                                       const DialogControls& controls,
                                       std::span<std::uint8_t> block, std::size_t entry = 0);
void SpreadFields(std::span<const BlockField> fields, std::span<const std::uint8_t> block,
                  DialogControls& controls, std::size_t entry = 0);
// The initial texts, numbers and choices; every box unchecked, every mark of refusal cleared.
void SetFieldDefaults(std::span<const BlockField> fields, DialogControls& controls);
// Marks the controls named by `problems` as invalid and clears the mark on the other edits.
void MarkProblems(std::span<const BlockField> fields, std::span<const FieldProblem> problems,
                  DialogControls& controls);
// The messages one a line, for a message box or the console.
std::string ProblemsText(std::span<const FieldProblem> problems);

// The fields as JSON members, by their names: texts as strings, everything else as its
// number; reserved bytes are left out.
void WriteFieldsJson(std::span<const BlockField> fields, std::span<const std::uint8_t> block,
                     JsonWriter& json, std::size_t entry = 0);

}  // namespace telvora
