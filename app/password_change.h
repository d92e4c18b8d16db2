// Changing the unit's password: both new texts must agree and be four characters; one
// write frame carries the four bytes and a zero.
#pragma once

#include <string_view>

#include "link/fin.h"

namespace telvora {

enum class PasswordChange {
  kMistyped,    // the two texts differ or are not four characters: nothing was sent
  kChanged,     // the unit answered 'a'
  kRefused,     // the unit answered 'h': the current password is wrong
  kNoReply,     // no answer in time
  kOtherReply,  // an answer of another type
};

// Both texts equal and exactly four characters long.
bool NewPasswordWellTyped(std::u16string_view newPassword, std::u16string_view confirmation);

PasswordChange ChangeUnitPassword(Cfin& engine, std::u16string_view currentPassword,
                                  std::u16string_view newPassword,
                                  std::u16string_view confirmation);

// The status-line string that reports the outcome; 0 leaves "přenos " standing.
int StatusStringFor(PasswordChange outcome);

inline constexpr int kStrPasswordMistyped = 34;  // "chybně napsané nové heslo "

}  // namespace telvora
