// A dialog or property page built from a template, its controls addressed by numeric id,
// with a message map from (control, notification) to a handler.
#pragma once

#include <QString>
#include <QWidget>

#include <functional>
#include <map>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/controls.h"
#include "platform/qt/dialog_builder.h"
#include "resources/templates.h"

namespace telvora {

// UTF-16 between the block code and Qt.
QString ToQString(std::u16string_view text);
std::u16string ToU16(const QString& text);

class QtDialog : public QWidget, public DialogControls {
  Q_OBJECT

 public:
  // What a control reports to the message map. Like the window controls the program was
  // written for, only the user's own actions notify, with one exception: an edit reports
  // every change of its text, also one made by SetText.
  enum class Notification {
    kClicked,           // push button or check box pressed by the user
    kSelectionChanged,  // the user chose an item of a combo box or list box
    kTextChanged,       // an edit's text changed; a combo box's only when the user types
  };
  using Handler = std::function<void()>;

  explicit QtDialog(const DialogTemplate& dialog, QWidget* parent = nullptr,
                    const DialogBuilder& builder = SharedDialogBuilder());
  ~QtDialog() override;

  const DialogTemplate& Template() const { return dialog_; }
  // The control with `id`, null when the template has none.
  QWidget* Control(int id) const;
  std::vector<QWidget*> Controls(std::initializer_list<int> ids) const;
  // Every control in template order, also those without an id.
  const std::vector<QWidget*>& AllControls() const { return widgets_; }

  // DialogControls. An id the template does not have reads as empty and takes nothing.
  std::u16string GetText(int id) const override;
  void SetText(int id, std::u16string_view text) override;
  bool IsChecked(int id) const override;
  void SetChecked(int id, bool checked) override;
  int GetCurSel(int id) const override;
  void SetCurSel(int id, int index) override;
  void SetInvalid(int id, bool invalid) override;
  // Marks the control and tells why in its tool tip; clearing the mark restores the tip.
  void SetInvalid(int id, bool invalid, std::u16string_view reason);
  bool IsInvalid(int id) const;

  // Items of a list box or a combo box. Adding never chooses an item.
  int AddItem(int id, std::u16string_view text);  // index of the new item, -1 for no list
  int InsertItem(int id, int index, std::u16string_view text);  // index -1 appends
  bool DeleteItem(int id, int index);
  void ClearItems(int id);
  int ItemCount(int id) const;
  std::u16string ItemText(int id, int index) const;

  void SetEnabled(int id, bool enabled);
  bool IsEnabled(int id) const;
  void SetToolTip(int id, std::u16string_view text);

  // The message map: one handler per control and notification; an empty one removes it.
  void SetHandler(int id, Notification notification, Handler handler);
  // Esc and the close box of a dialog that is a window of its own; the window closes after.
  void SetCancelHandler(Handler handler) { cancel_ = std::move(handler); }

  QSize sizeHint() const override;

 protected:
  void keyPressEvent(QKeyEvent* event) override;
  void closeEvent(QCloseEvent* event) override;

 private:
  // Holds back selection notifications while the program itself moves a selection.
  class Quiet {
   public:
    explicit Quiet(int& depth) : depth_(depth) { ++depth_; }
    ~Quiet() { --depth_; }
    Quiet(const Quiet&) = delete;
    Quiet& operator=(const Quiet&) = delete;

   private:
    int& depth_;
  };

  void Wire(int id, QWidget* widget);
  void Notify(int id, Notification notification);
  QWidget* Find(int id) const;

  struct Mark {
    QString style_sheet;
    QString tool_tip;
  };

  const DialogTemplate& dialog_;
  std::vector<QWidget*> widgets_;
  std::map<int, QWidget*> by_id_;
  std::map<std::pair<int, Notification>, Handler> handlers_;
  std::map<int, Mark> marks_;
  Handler cancel_;
  int quiet_ = 0;
};

}  // namespace telvora
