// The telephone numbers page.
#include "pages/numbers_page.h"

#include "resources/templates.h"

namespace telvora {

Ccisla::Ccisla(PageHost& host, QWidget* parent)
    : QtDialog(*FindTemplate(kNumbersPageTemplate), parent), host_(host) {}

std::vector<QWidget*> Ccisla::CommandControls() const { return Controls({1053, 1091}); }

}  // namespace telvora
