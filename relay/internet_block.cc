// Gathering, spreading and the JSON view of the relay settings block.
#include "relay/internet_block.h"

#include "platform/json_writer.h"

namespace telvora {

void GatherInternetBlock(const DialogControls& controls, InternetBlock& block) {
  GatherFields(kInternetFields, controls, block.bytes);
}

void SpreadInternetBlock(const InternetBlock& block, DialogControls& controls) {
  SpreadFields(kInternetFields, block.bytes, controls);
}

void WriteInternetBlockJson(JsonWriter& json, const InternetBlock& block) {
  json.BeginObject();
  WriteFieldsJson(kInternetFields, block.bytes, json);
  json.EndObject();
}

std::string InternetBlockToJson(const InternetBlock& block) {
  JsonWriter json;
  WriteInternetBlockJson(json, block);
  return json.Take();
}

}  // namespace telvora
