// Texts shared between the pages for the whole run.
#pragma once

#include <string>

namespace telvora {

// The unit's IMEI as the IMEI query last read it (at most 15 characters); "nenačteno"
// until then.
extern std::u16string ImeiText;

}  // namespace telvora
