// Definitions of the shared page texts.
#include "pages/shared_texts.h"

namespace telvora {

std::u16string ImeiText;

}  // namespace telvora
