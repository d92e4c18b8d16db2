// Dialog controls kept in memory, for the command line and for tests of the block code.
#pragma once

#include <map>
#include <set>
#include <string>
#include <string_view>

#include "platform/controls.h"

namespace telvora {

// A control that was never set reads as a window control that does not exist: empty text,
// unchecked, nothing chosen.
class MemoryControls : public DialogControls {
 public:
  std::u16string GetText(int id) const override {
    const auto it = texts_.find(id);
    return it == texts_.end() ? std::u16string() : it->second;
  }
  void SetText(int id, std::u16string_view text) override { texts_[id] = std::u16string(text); }

  bool IsChecked(int id) const override { return checked_.contains(id); }
  void SetChecked(int id, bool checked) override {
    if (checked) {
      checked_.insert(id);
    } else {
      checked_.erase(id);
    }
  }

  int GetCurSel(int id) const override {
    const auto it = selection_.find(id);
    return it == selection_.end() ? -1 : it->second;
  }
  void SetCurSel(int id, int index) override { selection_[id] = index < 0 ? -1 : index; }

  void SetInvalid(int id, bool invalid) override {
    if (invalid) {
      invalid_.insert(id);
    } else {
      invalid_.erase(id);
    }
  }
  bool IsInvalid(int id) const { return invalid_.contains(id); }
  const std::set<int>& InvalidIds() const { return invalid_; }

  bool HasText(int id) const { return texts_.contains(id); }

 private:
  std::map<int, std::u16string> texts_;
  std::set<int> checked_;
  std::map<int, int> selection_;
  std::set<int> invalid_;
};

}  // namespace telvora
