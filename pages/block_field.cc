// The generic operations over a block's field table.
#include "pages/block_field.h"

#include <cassert>

#include "platform/codepage.h"
#include "platform/json_writer.h"

namespace telvora {
namespace {

// Anything beyond this magnitude is out of every range anyway; stopping here keeps the
// arithmetic far from overflow.
constexpr std::int64_t kSaturation = 1'000'000'000'000'000;

// Typed text is quoted in messages only up to this length.
constexpr std::size_t kQuotedTextMax = 24;

std::size_t PositionOf(const BlockField& field, std::size_t entry) {
  return field.offset + entry * field.stride;
}

std::u16string DecimalText(std::int64_t value) {
  const std::string digits = std::to_string(value);
  return {digits.begin(), digits.end()};
}

bool IsBlank(char16_t c) {
  return c == u' ' || c == u'\t';
}

std::string Quoted(std::u16string_view text) {
  std::string utf8 = Utf16ToUtf8(text.substr(0, kQuotedTextMax));
  if (text.size() > kQuotedTextMax) {
    utf8 += "…";
  }
  return "\"" + utf8 + "\"";
}

std::string FieldTitle(const BlockField& f) {
  std::string title(f.label.empty() ? f.name : f.label);
  title += " (";
  title += f.name;
  title += ", prvek ";
  title += std::to_string(f.controlId);
  title += ")";
  return title;
}

std::string RangeText(const FieldRange& r) {
  return std::to_string(r.min) + " až " + std::to_string(r.max);
}

// The problem with the text of a numeric edit, if any.
std::optional<FieldProblem> CheckNumber(const BlockField& f, std::u16string_view text) {
  const FieldRange range = RangeOf(f);
  std::string message;
  const std::optional<std::int64_t> value = ParseDecimal(text);
  if (!value) {
    message = FieldTitle(f) + ": ";
    bool blank = true;
    for (const char16_t c : text) {
      blank = blank && IsBlank(c);
    }
    message += blank ? std::string("pole je prázdné") : Quoted(text) + " není celé číslo";
    message += "; zadejte celé číslo v rozsahu " + RangeText(range);
  } else if (*value < range.min || *value > range.max) {
    message = FieldTitle(f) + ": " + Quoted(text) + " je mimo rozsah " + RangeText(range);
  } else {
    return std::nullopt;
  }
  return FieldProblem{f.controlId, f.name, std::move(message)};
}

bool HasControl(const BlockField& f) {
  return f.kind == FieldKind::kBits ? !f.bits.empty()
                                    : f.controlId != 0 && f.kind != FieldKind::kReserved;
}

}  // namespace

std::optional<std::int64_t> ParseDecimal(std::u16string_view text) {
  std::size_t begin = 0;
  std::size_t end = text.size();
  while (begin < end && IsBlank(text[begin])) {
    ++begin;
  }
  while (end > begin && IsBlank(text[end - 1])) {
    --end;
  }
  bool negative = false;
  if (begin < end && (text[begin] == u'-' || text[begin] == u'+')) {
    negative = text[begin] == u'-';
    ++begin;
  }
  if (begin == end) {
    return std::nullopt;
  }
  std::int64_t value = 0;
  for (std::size_t i = begin; i < end; ++i) {
    const char16_t c = text[i];
    if (c < u'0' || c > u'9') {
      return std::nullopt;
    }
    if (value < kSaturation) {
      value = value * 10 + (c - u'0');
    }
  }
  return negative ? -value : value;
}

std::int64_t ReadNumber(std::span<const std::uint8_t> block, const BlockField& field,
                        std::size_t entry) {
  const std::size_t pos = PositionOf(field, entry);
  assert(pos + field.width <= block.size());
  std::uint64_t value = 0;
  for (std::size_t i = 0; i < field.width; ++i) {
    value |= static_cast<std::uint64_t>(block[pos + i]) << (8 * i);
  }
  if (field.kind == FieldKind::kS16) {
    return static_cast<std::int16_t>(value);
  }
  return static_cast<std::int64_t>(value);
}

void WriteNumber(std::span<std::uint8_t> block, const BlockField& field, std::int64_t value,
                 std::size_t entry) {
  const std::size_t pos = PositionOf(field, entry);
  assert(pos + field.width <= block.size());
  const auto bits = static_cast<std::uint64_t>(value);
  for (std::size_t i = 0; i < field.width; ++i) {
    block[pos + i] = static_cast<std::uint8_t>((bits >> (8 * i)) & 0xFF);
  }
}

std::u16string ReadText(std::span<const std::uint8_t> block, const BlockField& field,
                        std::size_t entry) {
  const std::size_t pos = PositionOf(field, entry);
  assert(pos + field.width <= block.size());
  std::size_t len = 0;
  while (len < field.width && block[pos + len] != 0) {
    ++len;
  }
  return DecodeCp1250(block.subspan(pos, len));
}

void WriteText(std::span<std::uint8_t> block, const BlockField& field, std::u16string_view text,
               std::size_t entry) {
  const std::size_t pos = PositionOf(field, entry);
  assert(field.width >= 2 && pos + field.width <= block.size());
  std::vector<std::uint8_t> bytes = EncodeCp1250(text);
  const std::size_t capacity = field.width - 1;
  if (bytes.size() > capacity) {
    bytes.resize(capacity);
  }
  std::size_t at = pos;
  for (const std::uint8_t b : bytes) {
    block[at++] = b;
  }
  block[at++] = 0;
  // The second zero byte is what the unit's own firmware writes; the bytes behind it keep
  // whatever the last whole-block copy put there.
  if (bytes.size() < capacity) {
    block[at] = 0;
  }
}

std::vector<FieldProblem> ValidateFields(std::span<const BlockField> fields,
                                         const DialogControls& controls) {
  std::vector<FieldProblem> problems;
  for (const BlockField& f : fields) {
    if (!IsNumericEdit(f.kind) || f.controlId == 0) {
      continue;
    }
    if (auto problem = CheckNumber(f, controls.GetText(f.controlId))) {
      problems.push_back(std::move(*problem));
    }
  }
  return problems;
}

std::vector<FieldProblem> GatherFields(std::span<const BlockField> fields,
                                       const DialogControls& controls,
                                       std::span<std::uint8_t> block, std::size_t entry) {
  std::vector<FieldProblem> problems = ValidateFields(fields, controls);
  if (!problems.empty()) {
    return problems;
  }
  for (const BlockField& f : fields) {
    if (!HasControl(f)) {
      continue;
    }
    switch (f.kind) {
      case FieldKind::kText:
        WriteText(block, f, controls.GetText(f.controlId), entry);
        break;
      case FieldKind::kU8:
      case FieldKind::kU16:
      case FieldKind::kS16:
        WriteNumber(block, f, ParseDecimal(controls.GetText(f.controlId)).value_or(0), entry);
        break;
      case FieldKind::kBits: {
        std::int64_t value = 0;
        for (const BitBox& b : f.bits) {
          if (controls.IsChecked(b.controlId)) {
            value |= std::int64_t{1} << b.bit;
          }
        }
        WriteNumber(block, f, value, entry);
        break;
      }
      case FieldKind::kCombo: {
        const int sel = controls.GetCurSel(f.controlId);
        WriteNumber(block, f, sel < 0 ? 0xFF : (sel & 0xFF), entry);
        break;
      }
      case FieldKind::kFlag:
        WriteNumber(block, f, controls.IsChecked(f.controlId) ? 1 : 0, entry);
        break;
      case FieldKind::kReserved:
        break;
    }
  }
  return problems;
}

void SpreadFields(std::span<const BlockField> fields, std::span<const std::uint8_t> block,
                  DialogControls& controls, std::size_t entry) {
  for (const BlockField& f : fields) {
    if (!HasControl(f)) {
      continue;
    }
    switch (f.kind) {
      case FieldKind::kText:
        controls.SetText(f.controlId, ReadText(block, f, entry));
        break;
      case FieldKind::kU8:
      case FieldKind::kU16:
      case FieldKind::kS16:
        controls.SetText(f.controlId, DecimalText(ReadNumber(block, f, entry)));
        break;
      case FieldKind::kBits: {
        const std::int64_t value = ReadNumber(block, f, entry);
        for (const BitBox& b : f.bits) {
          controls.SetChecked(b.controlId, ((value >> b.bit) & 1) != 0);
        }
        break;
      }
      case FieldKind::kCombo: {
        const std::int64_t value = ReadNumber(block, f, entry);
        controls.SetCurSel(f.controlId, value < f.itemCount ? static_cast<int>(value) : -1);
        break;
      }
      case FieldKind::kFlag:
        controls.SetChecked(f.controlId, ReadNumber(block, f, entry) != 0);
        break;
      case FieldKind::kReserved:
        break;
    }
  }
}

void SetFieldDefaults(std::span<const BlockField> fields, DialogControls& controls) {
  for (const BlockField& f : fields) {
    if (!HasControl(f)) {
      continue;
    }
    switch (f.kind) {
      case FieldKind::kText:
        controls.SetText(f.controlId, f.defaultText);
        break;
      case FieldKind::kU8:
      case FieldKind::kU16:
      case FieldKind::kS16:
        controls.SetText(f.controlId, DecimalText(f.defaultNumber));
        controls.SetInvalid(f.controlId, false);
        break;
      case FieldKind::kBits:
        for (const BitBox& b : f.bits) {
          controls.SetChecked(b.controlId, false);
        }
        break;
      case FieldKind::kCombo:
        controls.SetCurSel(f.controlId, f.defaultNumber);
        break;
      case FieldKind::kFlag:
        controls.SetChecked(f.controlId, false);
        break;
      case FieldKind::kReserved:
        break;
    }
  }
}

void MarkProblems(std::span<const BlockField> fields, std::span<const FieldProblem> problems,
                  DialogControls& controls) {
  for (const BlockField& f : fields) {
    if (!IsNumericEdit(f.kind) || f.controlId == 0) {
      continue;
    }
    bool refused = false;
    for (const FieldProblem& p : problems) {
      refused = refused || p.controlId == f.controlId;
    }
    controls.SetInvalid(f.controlId, refused);
  }
}

std::string ProblemsText(std::span<const FieldProblem> problems) {
  std::string text;
  for (const FieldProblem& p : problems) {
    if (!text.empty()) {
      text += '\n';
    }
    text += p.message;
  }
  return text;
}

void WriteFieldsJson(std::span<const BlockField> fields, std::span<const std::uint8_t> block,
                     JsonWriter& json, std::size_t entry) {
  for (const BlockField& f : fields) {
    if (f.kind == FieldKind::kReserved) {
      continue;
    }
    json.Key(f.name);
    if (f.kind == FieldKind::kText) {
      json.String(Utf16ToUtf8(ReadText(block, f, entry)));
    } else {
      json.Number(ReadNumber(block, f, entry));
    }
  }
}

}  // namespace telvora
