// The dialog templates of the configurator as plain data: every control of the main window
// and of the three pages, placed in dialog units, so that any toolkit can build them.
#pragma once

#include <span>
#include <string_view>

namespace telvora {

inline constexpr int kNoControlId = -1;  // labels and frames that code never addresses
inline constexpr int kNoString = 0;      // the control shows its template text

// Template numbers.
inline constexpr int kMainWindowTemplate = 102;
inline constexpr int kBasicPageTemplate = 130;
inline constexpr int kNumbersPageTemplate = 131;
inline constexpr int kInternetPageTemplate = 134;

enum class ControlKind {
  kStatic,
  kEdit,
  kPasswordEdit,
  kPushButton,
  kCheckBox,
  kMultiLineCheckBox,
  kGroupFrame,
  kDropDownCombo,  // editable text field with a list below it
  kListBox,
  kRichEdit,
};

// Style bits beyond what the kind implies.
enum ControlStyle : unsigned {
  kStylePlain = 0,
  kStyleCentred = 1u << 0,
  kStyleReadOnly = 1u << 1,
  kStyleDisabled = 1u << 2,
  kStyleMultiLine = 1u << 3,
  kStyleVScroll = 1u << 4,
  kStyleHScroll = 1u << 5,
  kStyleScrollBarsAlways = 1u << 6,  // shown even when there is nothing to scroll
};

// Position and size in dialog units.
struct DluRect {
  int x = 0;
  int y = 0;
  int w = 0;
  int h = 0;
};

struct ControlTemplate {
  int id = kNoControlId;
  ControlKind kind = ControlKind::kStatic;
  DluRect rect;
  unsigned style = kStylePlain;
  // What the control shows once the window is set up: the string-table entry when
  // string_id is not kNoString, else the template's own text (for edits: the initial value).
  int string_id = kNoString;
  std::string_view text;
  // List items that the template itself carries (combo boxes only).
  std::span<const std::string_view> items;
};

struct DialogTemplate {
  int id = 0;
  std::string_view title;  // window caption, or the tab text of a page
  int width = 0;           // client area in dialog units
  int height = 0;
  std::string_view font_name;
  int font_points = 0;
  std::span<const ControlTemplate> controls;
};

// The template with number `id`, or null.
const DialogTemplate* FindTemplate(int id);

// All templates: 102, 130, 131 and 134.
std::span<const DialogTemplate* const> AllTemplates();

// The control with `id` in `dialog`, or null (never finds kNoControlId).
const ControlTemplate* FindControl(const DialogTemplate& dialog, int id);

}  // namespace telvora
