// The password change request.
#include "app/password_change.h"

#include "link/commands.h"
#include "link/link_state.h"

namespace telvora {

bool NewPasswordWellTyped(std::u16string_view newPassword, std::u16string_view confirmation) {
  return newPassword == confirmation && newPassword.size() == 4;
}

PasswordChange ChangeUnitPassword(Cfin& engine, std::u16string_view currentPassword,
                                  std::u16string_view newPassword,
                                  std::u16string_view confirmation) {
  if (!NewPasswordWellTyped(newPassword, confirmation)) return PasswordChange::kMistyped;
  for (std::size_t i = 0; i < 4; ++i) {
    TransferBuffer[i] = static_cast<std::uint8_t>(newPassword[i] & 0xFFU);
  }
  TransferBuffer[4] = 0;
  FrameHeader h = MakeRequest(cmd::kPassword, kPasswordAddress, 5, kTypeWrite);
  Cfin::SetPassword(h, currentPassword);
  ReplyTimeoutSeconds = 500;
  // The unit's answer carries nothing; were it to, it must not land on the new password.
  if (!engine.Transact(h, 5, TransferBuffer.data(), true)) return PasswordChange::kNoReply;
  if (LastReplyWasNotice) return PasswordChange::kNoReply;
  if (LastReplyHeader.type == kTypeAccepted) return PasswordChange::kChanged;
  if (LastReplyHeader.type == kTypeRefused) return PasswordChange::kRefused;
  return PasswordChange::kOtherReply;
}

int StatusStringFor(PasswordChange outcome) {
  switch (outcome) {
    case PasswordChange::kMistyped:
      return kStrPasswordMistyped;
    case PasswordChange::kChanged:
      return 7;
    case PasswordChange::kRefused:
      return 9;
    case PasswordChange::kNoReply:
      return 8;  // a write that got no answer
    case PasswordChange::kOtherReply:
      return 0;
  }
  return 0;
}

}  // namespace telvora
