// Loads the icon images compiled into the program.
#include "platform/qt/window_icon.h"

namespace telvora {

QIcon TelvoraIcon() {
  QIcon icon;
  for (int size : {16, 32, 48, 64}) {
    icon.addFile(QStringLiteral(":/telvora/telvora-%1.png").arg(size), QSize(size, size));
  }
  return icon;
}

}  // namespace telvora
