// Shows that a transfer runs: the wait cursor, and the controls that would start another
// one disabled until it ends.
#pragma once

#include <QPointer>
#include <QWidget>

#include <utility>
#include <vector>

namespace telvora {

class BusyIndication {
 public:
  explicit BusyIndication(const std::vector<QWidget*>& controls);
  ~BusyIndication();
  BusyIndication(const BusyIndication&) = delete;
  BusyIndication& operator=(const BusyIndication&) = delete;

 private:
  // Each control with the state it had, so that nested indications unwind correctly and
  // a control that was disabled before stays so.
  std::vector<std::pair<QPointer<QWidget>, bool>> controls_;
};

}  // namespace telvora
