// Controls of a dialog addressed by their numeric ids, without any toolkit in view,
// so that block code can gather and spread its fields in tests and on the window alike.
#pragma once

#include <string>
#include <string_view>

namespace telvora {

class DialogControls {
 public:
  virtual ~DialogControls() = default;

  virtual std::u16string GetText(int id) const = 0;
  virtual void SetText(int id, std::u16string_view text) = 0;
  virtual bool IsChecked(int id) const = 0;
  virtual void SetChecked(int id, bool checked) = 0;
  // Index of the chosen item of a combo or list box, -1 when none is chosen.
  virtual int GetCurSel(int id) const = 0;
  virtual void SetCurSel(int id, int index) = 0;
  // Marks a control whose input was refused (or clears the mark).
  virtual void SetInvalid(int id, bool invalid) = 0;
};

}  // namespace telvora
