// Where a built control draws its text, asked of the style the way Qt itself draws each
// kind, so that the layout tests measure independently of the builder.
#pragma once

#include <QCheckBox>
#include <QComboBox>
#include <QFontMetrics>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStyle>
#include <QStyleOption>

#include <optional>

#include "platform/qt/dialog_builder.h"

namespace telvora {

struct TextRoom {
  QRect area;    // in the widget's coordinates
  QString text;  // as drawn (bullets for a password)
  bool wraps = false;
};

// Null for controls whose text scrolls or that show none.
inline std::optional<TextRoom> TextRoomOf(QWidget* w) {
  QStyle* style = w->style();
  // QLineEdit keeps this much on each side of its text inside the style's contents.
  constexpr int kLineEditMargin = 2;
  if (auto* box = dynamic_cast<MultiLineCheckBox*>(w)) {
    return TextRoom{box->TextRect(), box->text(), true};
  }
  if (auto* box = qobject_cast<QCheckBox*>(w)) {
    QStyleOptionButton opt;
    opt.initFrom(box);
    opt.text = box->text();
    return TextRoom{style->subElementRect(QStyle::SE_CheckBoxContents, &opt, box), box->text()};
  }
  if (auto* button = qobject_cast<QPushButton*>(w)) {
    QStyleOptionButton opt;
    opt.initFrom(button);
    opt.text = button->text();
    return TextRoom{style->subElementRect(QStyle::SE_PushButtonContents, &opt, button),
                    button->text()};
  }
  if (auto* frame = dynamic_cast<GroupFrame*>(w)) {
    const int indent = GroupFrame::TitleIndent(frame->fontMetrics());
    return TextRoom{frame->TitleRect().adjusted(indent, 0, -indent, 0), frame->title()};
  }
  if (auto* label = qobject_cast<QLabel*>(w)) {
    return TextRoom{label->contentsRect(), label->text(), label->wordWrap()};
  }
  if (auto* edit = qobject_cast<QLineEdit*>(w)) {
    QStyleOptionFrame opt;
    opt.initFrom(edit);
    opt.lineWidth = style->pixelMetric(QStyle::PM_DefaultFrameWidth, &opt, edit);
    QRect r = style->subElementRect(QStyle::SE_LineEditContents, &opt, edit);
    r = r.marginsRemoved(edit->textMargins()).adjusted(kLineEditMargin, 0, -kLineEditMargin, 0);
    return TextRoom{r, edit->displayText()};
  }
  if (auto* combo = qobject_cast<QComboBox*>(w)) {
    QStyleOptionComboBox opt;
    opt.initFrom(combo);
    opt.editable = combo->isEditable();
    opt.frame = combo->hasFrame();
    opt.subControls = QStyle::SC_All;
    QRect r = style->subControlRect(QStyle::CC_ComboBox, &opt, QStyle::SC_ComboBoxEditField, combo);
    return TextRoom{r.adjusted(kLineEditMargin, 0, -kLineEditMargin, 0), combo->currentText()};
  }
  return std::nullopt;
}

// Empty when `text` fits `room`, else why not.
inline QString WhyNotFits(const QFontMetrics& fm, const QRect& area, const QString& text,
                          bool wraps) {
  if (text.isEmpty()) return {};
  const int flags = Qt::AlignLeft | Qt::AlignTop | (wraps ? Qt::TextWordWrap : 0);
  const QRect needed = fm.boundingRect(QRect(0, 0, area.width(), 100000), flags, text);
  const int width = wraps ? needed.width() : std::max(needed.width(), fm.horizontalAdvance(text));
  if (width > area.width() || needed.height() > area.height()) {
    return QStringLiteral("\"%1\" needs %2x%3 px, has %4x%5")
        .arg(text)
        .arg(width)
        .arg(needed.height())
        .arg(area.width())
        .arg(area.height());
  }
  return {};
}

}  // namespace telvora
