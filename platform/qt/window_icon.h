// The window icon: a bell under an aerial, drawn for the small and the large size.
#pragma once

#include <QIcon>

namespace telvora {

QIcon TelvoraIcon();

}  // namespace telvora
