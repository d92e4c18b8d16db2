// Controls of a built dialog by id, and the notifications that reach the message map.
#include "platform/qt/qt_dialog.h"

#include <QAbstractButton>
#include <QCloseEvent>
#include <QComboBox>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QtGlobal>

namespace telvora {

QString ToQString(std::u16string_view text) {
  return QString::fromUtf16(text.data(), static_cast<qsizetype>(text.size()));
}

std::u16string ToU16(const QString& text) {
  return text.toStdU16String();
}

QtDialog::QtDialog(const DialogTemplate& dialog, QWidget* parent, const DialogBuilder& builder)
    : QWidget(parent), dialog_(dialog) {
  setFont(builder.Font());
  setWindowTitle(
      QString::fromUtf8(dialog.title.data(), static_cast<qsizetype>(dialog.title.size())));
  setMinimumSize(builder.DialogSize(dialog));
  resize(builder.DialogSize(dialog));
  widgets_ = builder.Build(dialog, this);
  for (std::size_t i = 0; i < widgets_.size(); ++i) {
    const int id = dialog.controls[i].id;
    if (id == kNoControlId) {
      continue;
    }
    by_id_[id] = widgets_[i];
    Wire(id, widgets_[i]);
  }
}

QtDialog::~QtDialog() = default;

QSize QtDialog::sizeHint() const {
  return minimumSize();
}

void QtDialog::Wire(int id, QWidget* widget) {
  if (auto* button = qobject_cast<QAbstractButton*>(widget)) {
    connect(button, &QAbstractButton::clicked, this,
            [this, id] { Notify(id, Notification::kClicked); });
  } else if (auto* combo = qobject_cast<QComboBox*>(widget)) {
    connect(combo, &QComboBox::activated, this,
            [this, id] { Notify(id, Notification::kSelectionChanged); });
    if (QLineEdit* edit = combo->lineEdit()) {
      connect(edit, &QLineEdit::textEdited, this,
              [this, id] { Notify(id, Notification::kTextChanged); });
    }
  } else if (auto* list = qobject_cast<QListWidget*>(widget)) {
    connect(list, &QListWidget::currentRowChanged, this, [this, id] {
      if (quiet_ == 0) {
        Notify(id, Notification::kSelectionChanged);
      }
    });
  } else if (auto* edit = qobject_cast<QLineEdit*>(widget)) {
    connect(edit, &QLineEdit::textChanged, this,
            [this, id] { Notify(id, Notification::kTextChanged); });
  } else if (auto* view = qobject_cast<QPlainTextEdit*>(widget)) {
    connect(view, &QPlainTextEdit::textChanged, this,
            [this, id] { Notify(id, Notification::kTextChanged); });
  }
}

void QtDialog::Notify(int id, Notification notification) {
  const auto it = handlers_.find({id, notification});
  if (it == handlers_.end()) {
    return;
  }
  // A copy, since the handler may replace itself.
  const Handler handler = it->second;
  handler();
}

void QtDialog::SetHandler(int id, Notification notification, Handler handler) {
  if (handler) {
    handlers_[{id, notification}] = std::move(handler);
  } else {
    handlers_.erase({id, notification});
  }
}

QWidget* QtDialog::Control(int id) const {
  const auto it = by_id_.find(id);
  return it == by_id_.end() ? nullptr : it->second;
}

std::vector<QWidget*> QtDialog::Controls(std::initializer_list<int> ids) const {
  std::vector<QWidget*> result;
  for (int id : ids) {
    if (QWidget* w = Control(id)) {
      result.push_back(w);
    }
  }
  return result;
}

QWidget* QtDialog::Find(int id) const {
  QWidget* w = Control(id);
  if (w == nullptr) {
    qWarning("template %d has no control %d", dialog_.id, id);
  }
  return w;
}

std::u16string QtDialog::GetText(int id) const {
  QWidget* w = Find(id);
  if (auto* edit = qobject_cast<QLineEdit*>(w)) {
    return ToU16(edit->text());
  }
  if (auto* combo = qobject_cast<QComboBox*>(w)) {
    return ToU16(combo->currentText());
  }
  if (auto* button = qobject_cast<QAbstractButton*>(w)) {
    return ToU16(button->text());
  }
  if (auto* label = qobject_cast<QLabel*>(w)) {
    return ToU16(label->text());
  }
  if (auto* group = qobject_cast<QGroupBox*>(w)) {
    return ToU16(group->title());
  }
  if (auto* view = qobject_cast<QPlainTextEdit*>(w)) {
    return ToU16(view->toPlainText());
  }
  if (auto* list = qobject_cast<QListWidget*>(w)) {
    const QListWidgetItem* item = list->currentItem();
    return item != nullptr && item->isSelected() ? ToU16(item->text()) : std::u16string();
  }
  return {};
}

void QtDialog::SetText(int id, std::u16string_view text) {
  QWidget* w = Find(id);
  const QString s = ToQString(text);
  if (auto* edit = qobject_cast<QLineEdit*>(w)) {
    edit->setText(s);
    edit->setCursorPosition(0);
  } else if (auto* combo = qobject_cast<QComboBox*>(w)) {
    combo->setEditText(s);
  } else if (auto* button = qobject_cast<QAbstractButton*>(w)) {
    button->setText(s);
    button->update();
  } else if (auto* label = qobject_cast<QLabel*>(w)) {
    label->setText(s);
  } else if (auto* group = qobject_cast<QGroupBox*>(w)) {
    group->setTitle(s);
  } else if (auto* view = qobject_cast<QPlainTextEdit*>(w)) {
    view->setPlainText(s);
  }
}

bool QtDialog::IsChecked(int id) const {
  auto* button = qobject_cast<QAbstractButton*>(Find(id));
  return button != nullptr && button->isCheckable() && button->isChecked();
}

void QtDialog::SetChecked(int id, bool checked) {
  auto* button = qobject_cast<QAbstractButton*>(Find(id));
  if (button != nullptr && button->isCheckable()) {
    button->setChecked(checked);
  }
}

int QtDialog::GetCurSel(int id) const {
  QWidget* w = Find(id);
  if (auto* combo = qobject_cast<QComboBox*>(w)) {
    return combo->currentIndex();
  }
  if (auto* list = qobject_cast<QListWidget*>(w)) {
    const QListWidgetItem* item = list->currentItem();
    return item != nullptr && item->isSelected() ? list->row(item) : -1;
  }
  return -1;
}

void QtDialog::SetCurSel(int id, int index) {
  QWidget* w = Find(id);
  const Quiet quiet(quiet_);
  if (auto* combo = qobject_cast<QComboBox*>(w)) {
    combo->setCurrentIndex(index >= 0 && index < combo->count() ? index : -1);
  } else if (auto* list = qobject_cast<QListWidget*>(w)) {
    if (index >= 0 && index < list->count()) {
      list->setCurrentRow(index, QItemSelectionModel::ClearAndSelect);
    } else {
      list->clearSelection();
      list->setCurrentRow(-1);
    }
  }
}

void QtDialog::SetInvalid(int id, bool invalid) {
  SetInvalid(id, invalid, {});
}

void QtDialog::SetInvalid(int id, bool invalid, std::u16string_view reason) {
  QWidget* w = Find(id);
  if (w == nullptr) {
    return;
  }
  const auto it = marks_.find(id);
  if (invalid) {
    if (it == marks_.end()) {
      marks_[id] = Mark{w->styleSheet(), w->toolTip()};
    }
    // By object name, so that the mark stays on this control and not on its children.
    w->setStyleSheet(QStringLiteral("#%1 { border: 2px solid #d00000; }").arg(w->objectName()));
    if (!reason.empty()) {
      w->setToolTip(ToQString(reason));
    }
  } else if (it != marks_.end()) {
    w->setStyleSheet(it->second.style_sheet);
    w->setToolTip(it->second.tool_tip);
    marks_.erase(it);
  }
}

bool QtDialog::IsInvalid(int id) const {
  return marks_.contains(id);
}

int QtDialog::AddItem(int id, std::u16string_view text) {
  return InsertItem(id, -1, text);
}

int QtDialog::InsertItem(int id, int index, std::u16string_view text) {
  QWidget* w = Find(id);
  const Quiet quiet(quiet_);
  if (auto* combo = qobject_cast<QComboBox*>(w)) {
    const int at = index < 0 || index > combo->count() ? combo->count() : index;
    // Qt chooses the first item put into an empty box; a window combo box does not.
    const int chosen = combo->currentIndex();
    const QString typed = combo->currentText();
    const QSignalBlocker block(combo);
    combo->insertItem(at, ToQString(text));
    if (chosen < 0) {
      combo->setCurrentIndex(-1);
      combo->setEditText(typed);
    }
    return at;
  }
  if (auto* list = qobject_cast<QListWidget*>(w)) {
    const int at = index < 0 || index > list->count() ? list->count() : index;
    list->insertItem(at, ToQString(text));
    return at;
  }
  return -1;
}

bool QtDialog::DeleteItem(int id, int index) {
  QWidget* w = Find(id);
  const Quiet quiet(quiet_);
  if (auto* combo = qobject_cast<QComboBox*>(w)) {
    if (index < 0 || index >= combo->count()) {
      return false;
    }
    const QSignalBlocker block(combo);
    combo->removeItem(index);
    return true;
  }
  if (auto* list = qobject_cast<QListWidget*>(w)) {
    if (index < 0 || index >= list->count()) {
      return false;
    }
    // The row's selection goes with it, as in a window list box.
    const bool was_current = list->currentRow() == index;
    delete list->takeItem(index);
    if (was_current) {
      list->clearSelection();
      list->setCurrentRow(-1);
    }
    return true;
  }
  return false;
}

void QtDialog::ClearItems(int id) {
  QWidget* w = Find(id);
  const Quiet quiet(quiet_);
  if (auto* combo = qobject_cast<QComboBox*>(w)) {
    const QString typed = combo->currentText();
    const QSignalBlocker block(combo);
    combo->clear();
    combo->setEditText(typed);
  } else if (auto* list = qobject_cast<QListWidget*>(w)) {
    list->clear();
  }
}

int QtDialog::ItemCount(int id) const {
  QWidget* w = Find(id);
  if (auto* combo = qobject_cast<QComboBox*>(w)) {
    return combo->count();
  }
  if (auto* list = qobject_cast<QListWidget*>(w)) {
    return list->count();
  }
  return 0;
}

std::u16string QtDialog::ItemText(int id, int index) const {
  QWidget* w = Find(id);
  if (auto* combo = qobject_cast<QComboBox*>(w)) {
    return index >= 0 && index < combo->count() ? ToU16(combo->itemText(index)) : std::u16string();
  }
  if (auto* list = qobject_cast<QListWidget*>(w)) {
    const QListWidgetItem* item = list->item(index);
    return item != nullptr ? ToU16(item->text()) : std::u16string();
  }
  return {};
}

void QtDialog::SetEnabled(int id, bool enabled) {
  if (QWidget* w = Find(id)) {
    w->setEnabled(enabled);
  }
}

bool QtDialog::IsEnabled(int id) const {
  QWidget* w = Find(id);
  return w != nullptr && w->isEnabled();
}

void QtDialog::SetToolTip(int id, std::u16string_view text) {
  QWidget* w = Find(id);
  if (w == nullptr) {
    return;
  }
  const auto it = marks_.find(id);
  if (it != marks_.end()) {
    // Shown once the mark is cleared.
    it->second.tool_tip = ToQString(text);
  } else {
    w->setToolTip(ToQString(text));
  }
}

void QtDialog::keyPressEvent(QKeyEvent* event) {
  if (isWindow() && event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
    close();
    return;
  }
  // Enter does nothing: the dialog has no default action and stays open.
  QWidget::keyPressEvent(event);
}

void QtDialog::closeEvent(QCloseEvent* event) {
  if (cancel_) {
    const Handler cancel = cancel_;
    cancel();
  }
  event->accept();
}

}  // namespace telvora
