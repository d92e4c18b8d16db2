// What a configuration page needs of the main window: the status line, the current
// password, and one transfer at a time.
#pragma once

#include <memory>
#include <string>
#include <string_view>

namespace telvora {

// Held for the length of a transfer: the window shows it is busy and starts no other.
class TransferScope {
 public:
  virtual ~TransferScope() = default;
};

class PageHost {
 public:
  virtual ~PageHost() = default;
  virtual void ShowStatusText(std::u16string_view text) = 0;
  virtual void ShowStatusString(int stringId) = 0;
  // The text of the main window's password field.
  virtual std::u16string CurrentPassword() const = 0;
  // Null while another transfer runs: the caller then does nothing.
  virtual std::unique_ptr<TransferScope> BeginTransfer() = 0;
};

}  // namespace telvora
