// Entries, rows, defaults and the JSON view of the telephone-number table.
#include "pages/number_block.h"

#include "platform/json_writer.h"

namespace telvora {
namespace {

constexpr std::size_t kNumberIndex = FieldIndex(kNumberEntryFields, "number");
static_assert(kNumberIndex < kNumberEntryFields.size());
constexpr const BlockField& kNumberField = kNumberEntryFields[kNumberIndex];

}  // namespace

std::vector<FieldProblem> StoreEntry(const DialogControls& controls, std::size_t entry,
                                     NumberBlock& block) {
  if (entry >= kNumberEntries) {
    return {};
  }
  return GatherFields(kNumberEntryFields, controls, block.bytes, entry);
}

void ShowEntry(const NumberBlock& block, std::size_t entry, DialogControls& controls) {
  if (entry >= kNumberEntries) {
    return;
  }
  SpreadFields(kNumberEntryFields, block.bytes, controls, entry);
}

void GatherNumbers(std::span<const std::u16string> rows, NumberBlock& block) {
  for (std::size_t i = 0; i < rows.size() && i < kNumberEntries; ++i) {
    WriteText(block.bytes, kNumberField, rows[i], i);
  }
}

std::vector<std::u16string> SpreadNumbers(const NumberBlock& block) {
  std::vector<std::u16string> rows;
  rows.reserve(kNumberEntries);
  for (std::size_t i = 0; i < kNumberEntries; ++i) {
    rows.push_back(ReadText(block.bytes, kNumberField, i));
  }
  return rows;
}

std::vector<std::u16string> DefaultNumberRows() {
  return std::vector<std::u16string>(kNumberEntries, std::u16string(kNumberField.defaultText));
}

void SetNumberDefaults(NumberBlock& block) {
  for (const BlockField& f : kNumberEntryFields) {
    if (f.kind == FieldKind::kText) {
      continue;
    }
    for (std::size_t i = 0; i < kNumberEntries; ++i) {
      WriteNumber(block.bytes, f, f.defaultNumber, i);
    }
  }
}

void WriteNumberBlockJson(JsonWriter& json, const NumberBlock& block) {
  json.BeginArray();
  for (std::size_t i = 0; i < kNumberEntries; ++i) {
    json.BeginObject(/*oneLine=*/true);
    WriteFieldsJson(kNumberEntryFields, block.bytes, json, i);
    json.EndObject();
  }
  json.EndArray();
}

std::string NumberBlockToJson(const NumberBlock& block) {
  JsonWriter json;
  WriteNumberBlockJson(json, block);
  return json.Take();
}

}  // namespace telvora
