// The application object.
#include "app/telvora_app.h"

#include <QApplication>

#include "app/telvora_dlg.h"
#include "link/uart.h"
#include "tools/unit_simulator.h"

namespace telvora {

CTelvoraApp::CTelvoraApp() = default;
CTelvoraApp::~CTelvoraApp() = default;

bool CTelvoraApp::ParseArguments(const std::vector<std::string>& args, std::string& problem) {
  PortMap& map = PortMap::Instance();
  map.ScanSystem();
  for (std::size_t i = 0; i < args.size(); ++i) {
    if (args[i] == "--com" && i + 1 < args.size()) {
      if (!map.SetFromArgument(args[++i])) {
        problem = "--com needs N=DEVICE with N from 1 to 256, not " + args[i];
        return false;
      }
    } else if (args[i] == "--demo") {
      demo_ = true;
    } else {
      problem = "unknown argument " + args[i] + "\nusage: telvora [--com N=DEVICE]... [--demo]";
      return false;
    }
  }
  if (demo_) {
    demoUnit_ = std::make_unique<UnitSimulator>();
    if (!demoUnit_->Start(&problem)) return false;
    // After the machine's own ports, so the search visibly tries them first.
    map.Set(map.FirstFreeNumber(), demoUnit_->DevicePath());
  }
  return true;
}

int CTelvoraApp::InitInstance() {
  CTelvoraDlg dlg;
  dlg.OnInitDialog();
  dlg.show();
  return QApplication::exec();
}

}  // namespace telvora
