// The basic configuration page.
#include "pages/basic_page.h"

#include "resources/templates.h"

namespace telvora {

Czaklad::Czaklad(PageHost& host, QWidget* parent)
    : QtDialog(*FindTemplate(kBasicPageTemplate), parent), host_(host) {}

std::vector<QWidget*> Czaklad::CommandControls() const {
  return Controls({1061, 1060, 1017, 1101, 1103, 1107, 1108, 1111, 1053, 1039});
}

}  // namespace telvora
