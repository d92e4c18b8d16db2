// Gathering, spreading, defaults and the JSON view of the basic configuration block.
#include "pages/basic_block.h"

#include "platform/json_writer.h"

namespace telvora {
namespace {

constexpr std::size_t kSystemOptionsIndex = FieldIndex(kBasicFields, "systemOptions");
static_assert(kSystemOptionsIndex < kBasicFields.size());

}  // namespace

std::vector<FieldProblem> GatherBasicBlock(const DialogControls& controls, BasicBlock& block) {
  return GatherFields(kBasicFields, controls, block.bytes);
}

void SpreadBasicBlock(const BasicBlock& block, DialogControls& controls) {
  SpreadFields(kBasicFields, block.bytes, controls);
  if (((ReadNumber(block.bytes, kBasicFields[kSystemOptionsIndex]) >> kOptAlwaysOn) & 1) != 0) {
    controls.SetChecked(kSwitchedOnBox, true);
  }
}

void SetBasicDefaults(DialogControls& controls) {
  SetFieldDefaults(kBasicFields, controls);
}

void WriteBasicBlockJson(JsonWriter& json, const BasicBlock& block) {
  json.BeginObject();
  WriteFieldsJson(kBasicFields, block.bytes, json);
  json.EndObject();
}

std::string BasicBlockToJson(const BasicBlock& block) {
  JsonWriter json;
  WriteBasicBlockJson(json, block);
  return json.Take();
}

}  // namespace telvora
