// What a configuration page needs of the main window: the status line, the current
// password, and one transfer at a time.
#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "link/fin.h"

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

// The block recipe's report in the status line; true when the transfer is done, and only
// then may a read block be shown.
inline bool ReportBlockTransfer(PageHost& host, TransferOutcome outcome, bool write) {
  constexpr int kDataRead = 5, kReadError = 6, kDataWritten = 7, kWriteError = 8;
  constexpr int kWrongPassword = 9;
  switch (outcome) {
    case TransferOutcome::kDone:
      host.ShowStatusString(write ? kDataWritten : kDataRead);
      return true;
    case TransferOutcome::kRefused:
      host.ShowStatusString(kWrongPassword);
      return false;
    case TransferOutcome::kNoReply:
    case TransferOutcome::kBadReply:
      // A block that did not come back whole is never shown as if it had.
      host.ShowStatusString(write ? kWriteError : kReadError);
      return false;
  }
  return false;
}

}  // namespace telvora
