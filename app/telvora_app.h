// The application object: runs the main window until it closes.
#pragma once

#include <memory>
#include <string>
#include <vector>

namespace telvora {

class UnitSimulator;

class CTelvoraApp {
 public:
  CTelvoraApp();
  ~CTelvoraApp();
  // Takes the program's own arguments (--com N=DEVICE, --demo); false with a message on
  // a malformed one.
  bool ParseArguments(const std::vector<std::string>& args, std::string& problem);
  // Shows the main window and runs it; returns the program's exit status.
  int InitInstance();

 private:
  std::unique_ptr<UnitSimulator> demoUnit_;
  bool demo_ = false;
};

}  // namespace telvora
