// Dialog units, the room each control's text needs, and the widgets of a template.
#include "platform/qt/dialog_builder.h"

#include <qdrawutil.h>
#include <QApplication>
#include <QComboBox>
#include <QFontMetrics>
#include <QFontMetricsF>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStyle>
#include <QStyleOption>
#include <QStylePainter>

#include <algorithm>
#include <cmath>
#include <limits>
#include <memory>

#include "resources/strings.h"

namespace telvora {
namespace {

constexpr int kDialogPoints = 8;
// A static of two template lines (8 units each) or more wraps its words, as a Windows
// static does.
constexpr int kWrapHeightDlu = 16;
// Text drawn right up to a control's edge looks cut off even when it is not.
constexpr int kBreathingPx = 1;

QString FromUtf8(std::string_view s) {
  return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size()));
}

bool IsCheckKind(ControlKind k) {
  return k == ControlKind::kCheckBox || k == ControlKind::kMultiLineCheckBox;
}

// Half-open rectangles meet only where they share area, never along an edge.
bool Overlap(const QRectF& a, const QRectF& b) {
  return a.left() < b.right() && b.left() < a.right() && a.top() < b.bottom() &&
         b.top() < a.bottom();
}
bool Contains(const QRectF& outer, const QRectF& inner) {
  return inner.left() >= outer.left() && inner.right() <= outer.right() &&
         inner.top() >= outer.top() && inner.bottom() <= outer.bottom();
}
QRectF ToRectF(const DluRect& r) {
  return {double(r.x), double(r.y), double(r.w), double(r.h)};
}

// Smallest width at which `text`, wrapped at word boundaries, stays within `height` pixels;
// its unwrapped width when even that does not fit.
int WrapWidth(const QFontMetrics& fm, const QString& text, int height) {
  constexpr int kLarge = 100000;
  const int flags = Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap;
  const QRect unwrapped = fm.boundingRect(QRect(0, 0, kLarge, kLarge), flags, text);
  if (unwrapped.height() > height) {
    return unwrapped.width();
  }
  int lo = 1;
  int hi = unwrapped.width();
  while (lo < hi) {
    const int mid = (lo + hi) / 2;
    if (fm.boundingRect(QRect(0, 0, mid, kLarge), flags, text).height() <= height) {
      hi = mid;
    } else {
      lo = mid + 1;
    }
  }
  return hi;
}

}  // namespace

// Pixels around the text that each kind of control keeps for itself, taken from the style.
struct DialogBuilder::Chrome {
  int check_w = 0;   // indicator and spacing before a check box caption
  int check_h = 0;   // indicator height
  int button_w = 0;  // frame and margins of a push button
  int edit_w = 0;    // frame and text margins of an edit
  int combo_w = 0;   // frame, margins and arrow of a combo box
  int group_w = 0;   // indent of a group frame's title, both sides
  int combo_h = 0;   // height of a combo box's edit field
};

namespace {

using Chrome = DialogBuilder::Chrome;

Chrome MeasureChrome(const QFont& font) {
  Chrome c;
  constexpr int kProbeW = 1000;
  constexpr int kProbeH = 40;
  QStyle* style = QApplication::style();

  QCheckBox check;
  check.setFont(font);
  QStyleOptionButton check_opt;
  check_opt.initFrom(&check);
  check_opt.rect = QRect(0, 0, kProbeW, kProbeH);
  check_opt.text = QStringLiteral("x");
  const QRect check_text = style->subElementRect(QStyle::SE_CheckBoxContents, &check_opt, &check);
  c.check_w = kProbeW - check_text.width();
  c.check_h = style->pixelMetric(QStyle::PM_IndicatorHeight, &check_opt, &check);

  QPushButton button;
  button.setFont(font);
  QStyleOptionButton button_opt;
  button_opt.initFrom(&button);
  button_opt.rect = QRect(0, 0, kProbeW, kProbeH);
  button_opt.text = QStringLiteral("x");
  const QRect button_text =
      style->subElementRect(QStyle::SE_PushButtonContents, &button_opt, &button);
  c.button_w = kProbeW - button_text.width();

  QLineEdit edit;
  edit.setFont(font);
  QStyleOptionFrame edit_opt;
  edit_opt.initFrom(&edit);
  edit_opt.rect = QRect(0, 0, kProbeW, kProbeH);
  edit_opt.lineWidth = style->pixelMetric(QStyle::PM_DefaultFrameWidth, &edit_opt, &edit);
  const QRect edit_text = style->subElementRect(QStyle::SE_LineEditContents, &edit_opt, &edit);
  // A line edit keeps two more pixels on each side of its text.
  constexpr int kLineEditInnerMargin = 2;
  c.edit_w = kProbeW - edit_text.width() + 2 * kLineEditInnerMargin;

  QComboBox combo;
  combo.setFont(font);
  combo.setEditable(true);
  QStyleOptionComboBox combo_opt;
  combo_opt.initFrom(&combo);
  combo_opt.rect = QRect(0, 0, kProbeW, kProbeH);
  combo_opt.editable = true;
  combo_opt.frame = true;
  combo_opt.subControls = QStyle::SC_All;
  const QRect field =
      style->subControlRect(QStyle::CC_ComboBox, &combo_opt, QStyle::SC_ComboBoxEditField, &combo);
  c.combo_w = kProbeW - field.width() + 2 * kLineEditInnerMargin;
  c.combo_h = combo.sizeHint().height();

  // The title's indent on both sides, and its gaps in the line.
  c.group_w = 4 * GroupFrame::TitleIndent(QFontMetrics(font));
  return c;
}

int TextWidth(const QFontMetrics& fm, const QFontMetricsF& fmf, const QString& text) {
  const int w = std::max(fm.horizontalAdvance(text), int(std::ceil(fmf.horizontalAdvance(text))));
  return w + kBreathingPx;
}

// Room a control's text needs at the template's height, in pixels; 0 where the text
// does not decide the size.
QSize NeededPixels(const ControlTemplate& c, const QFont& font, const Chrome& chrome,
                   int height_px) {
  const QFontMetrics fm(font);
  const QFontMetricsF fmf(font);
  const QString text = TemplateText(c);
  constexpr int kLarge = 100000;
  const QRect lines = fm.boundingRect(QRect(0, 0, kLarge, kLarge), Qt::AlignLeft, text);
  switch (c.kind) {
    case ControlKind::kStatic:
      if (text.isEmpty()) {
        return {};
      }
      if (c.rect.h >= kWrapHeightDlu) {
        const int w = WrapWidth(fm, text, height_px);
        const int h = fm.boundingRect(QRect(0, 0, w, kLarge), Qt::TextWordWrap, text).height();
        return {w + kBreathingPx, h};
      }
      return {lines.width() + kBreathingPx, lines.height()};
    case ControlKind::kCheckBox:
      if (!text.contains(QLatin1Char('\n'))) {
        if (text.isEmpty()) {
          return {chrome.check_w, chrome.check_h};
        }
        return {chrome.check_w + TextWidth(fm, fmf, text),
                std::max(chrome.check_h, lines.height())};
      }
      [[fallthrough]];
    case ControlKind::kMultiLineCheckBox: {
      const int w = WrapWidth(fm, text, height_px);
      const int h = fm.boundingRect(QRect(0, 0, w, kLarge), Qt::TextWordWrap, text).height();
      return {chrome.check_w + w + kBreathingPx, std::max(chrome.check_h, h)};
    }
    case ControlKind::kPushButton:
      return {chrome.button_w + TextWidth(fm, fmf, text), lines.height()};
    case ControlKind::kGroupFrame:
      if (text.isEmpty()) {
        return {};
      }
      return {chrome.group_w + TextWidth(fm, fmf, text), 0};
    case ControlKind::kEdit:
      if (text.isEmpty()) {
        return {};
      }
      return {chrome.edit_w + TextWidth(fm, fmf, text), 0};
    case ControlKind::kPasswordEdit: {
      QLineEdit probe(text);
      probe.setFont(font);
      probe.setEchoMode(QLineEdit::Password);
      return {chrome.edit_w + TextWidth(fm, fmf, probe.displayText()), 0};
    }
    case ControlKind::kDropDownCombo: {
      int widest = 0;
      for (std::string_view item : c.items) {
        widest = std::max(widest, TextWidth(fm, fmf, FromUtf8(item)));
      }
      return widest > 0 ? QSize(chrome.combo_w + widest, 0) : QSize();
    }
    case ControlKind::kListBox:
    case ControlKind::kRichEdit:
      return {};
  }
  return {};
}

// Whether a control may take more room than its template gives it: those whose text is
// its whole purpose. Edits and lists scroll instead.
bool MayGrow(ControlKind k) {
  return k == ControlKind::kStatic || IsCheckKind(k) || k == ControlKind::kPushButton;
}

// Free space around control `self` along one axis: how far its edges may move before they
// meet a control they do not already overlap, the dialog's edge or the frame around it.
struct Limits {
  double low;
  double high;
};

Limits FreeSpan(const std::vector<QRectF>& rects, const std::vector<QRectF>& original,
                const DialogTemplate& dialog, std::size_t self, bool horizontal) {
  const QRectF& r = rects[self];
  Limits lim{0.0, horizontal ? double(dialog.width) : double(dialog.height)};
  for (std::size_t j = 0; j < rects.size(); ++j) {
    if (j == self) {
      continue;
    }
    const QRectF& o = rects[j];
    const bool frame = dialog.controls[j].kind == ControlKind::kGroupFrame;
    if (frame && Contains(original[j], original[self])) {
      // Stay inside the frame, clear of its line.
      constexpr double kFrameInset = 1.0;
      if (horizontal) {
        lim.low = std::max(lim.low, std::min(r.left(), o.left() + kFrameInset));
        lim.high = std::min(lim.high, std::max(r.right(), o.right() - kFrameInset));
      } else {
        // The frame's title runs along its top edge.
        constexpr double kFrameTitle = 8.0;
        lim.low = std::max(lim.low, std::min(r.top(), o.top() + kFrameTitle));
        lim.high = std::min(lim.high, std::max(r.bottom(), o.bottom() - kFrameInset));
      }
      continue;
    }
    if (Overlap(original[j], original[self])) {
      continue;
    }
    const bool across = horizontal ? (o.top() < r.bottom() && r.top() < o.bottom())
                                   : (o.left() < r.right() && r.left() < o.right());
    if (!across) {
      continue;
    }
    if (horizontal) {
      if (o.left() >= r.right()) {
        lim.high = std::min(lim.high, o.left());
      }
      if (o.right() <= r.left()) {
        lim.low = std::max(lim.low, o.right());
      }
    } else {
      if (o.top() >= r.bottom()) {
        lim.high = std::min(lim.high, o.top());
      }
      if (o.bottom() <= r.top()) {
        lim.low = std::max(lim.low, o.bottom());
      }
    }
  }
  return lim;
}

// Moves the edges [low, high) apart by up to `extra`, within `lim`: to the far side only,
// or evenly to both sides when `both`.
void Grow(double& low, double& high, double extra, Limits lim, bool both) {
  double to_low = 0.0;
  double to_high = 0.0;
  const double room_low = std::max(0.0, low - lim.low);
  const double room_high = std::max(0.0, lim.high - high);
  if (both) {
    to_low = std::min(extra / 2, room_low);
    to_high = std::min(extra - to_low, room_high);
    to_low = std::min(extra - to_high, room_low);
  } else {
    to_high = std::min(extra, room_high);
  }
  low -= to_low;
  high += to_high;
}

}  // namespace

QFont DialogFont() {
  QFont font(QApplication::font().family());
  font.setPointSize(kDialogPoints);
  return font;
}

QString TemplateText(const ControlTemplate& control) {
  if (control.string_id != kNoString) {
    const std::u16string_view s = StringU16(control.string_id);
    return QString::fromUtf16(s.data(), static_cast<qsizetype>(s.size()));
  }
  return FromUtf8(control.text);
}

// ---- MultiLineCheckBox ----

QRect MultiLineCheckBox::TextRect() const {
  QStyleOptionButton opt;
  initStyleOption(&opt);
  const int indent = style()->pixelMetric(QStyle::PM_IndicatorWidth, &opt, this) +
                     style()->pixelMetric(QStyle::PM_CheckBoxLabelSpacing, &opt, this);
  return rect().adjusted(indent, 0, 0, 0);
}

QSize MultiLineCheckBox::sizeHint() const {
  QStyleOptionButton opt;
  initStyleOption(&opt);
  const QRect lines =
      fontMetrics().boundingRect(QRect(0, 0, 100000, 100000), Qt::AlignLeft, text());
  const int indent = style()->pixelMetric(QStyle::PM_IndicatorWidth, &opt, this) +
                     style()->pixelMetric(QStyle::PM_CheckBoxLabelSpacing, &opt, this);
  const int box = style()->pixelMetric(QStyle::PM_IndicatorHeight, &opt, this);
  return {indent + lines.width() + kBreathingPx, std::max(box, lines.height())};
}

QSize MultiLineCheckBox::minimumSizeHint() const {
  return sizeHint();
}

void MultiLineCheckBox::paintEvent(QPaintEvent* /*event*/) {
  QStylePainter painter(this);
  QStyleOptionButton opt;
  initStyleOption(&opt);
  const QString caption = opt.text;
  opt.text.clear();
  painter.drawControl(QStyle::CE_CheckBox, opt);
  painter.drawItemText(TextRect(), Qt::AlignLeft | Qt::AlignVCenter | Qt::TextWordWrap, palette(),
                       isEnabled(), caption, QPalette::WindowText);
}

bool MultiLineCheckBox::hitButton(const QPoint& pos) const {
  return rect().contains(pos);
}

// ---- GroupFrame ----

int GroupFrame::TitleIndent(const QFontMetrics& fm) {
  return std::max(2, fm.averageCharWidth() / 2);
}

QRect GroupFrame::TitleRect() const {
  if (title().isEmpty()) {
    return {};
  }
  const QFontMetrics fm = fontMetrics();
  const int indent = TitleIndent(fm);
  const QRect text =
      fm.boundingRect(QRect(0, 0, 100000, 100000), Qt::AlignLeft | Qt::AlignTop, title());
  // A stub of line, a gap, the title, a gap, and at least another stub before the corner.
  const int width = std::min(text.width() + kBreathingPx + 2 * indent, rect().width() - 2 * indent);
  return {indent, 0, std::max(0, width), text.height()};
}

void GroupFrame::paintEvent(QPaintEvent* /*event*/) {
  // Drawn here rather than by the style, which would put the line below the title.
  QPainter painter(this);
  const QRect title_rect = TitleRect();
  painter.save();
  // The line stops either side of the title.
  painter.setClipRegion(QRegion(rect()).subtracted(QRegion(title_rect)));
  qDrawShadeRect(&painter, rect().adjusted(0, fontMetrics().height() / 2, 0, 0), palette(),
                 /*sunken=*/true, /*lineWidth=*/1, /*midLineWidth=*/0);
  painter.restore();
  if (!title_rect.isEmpty()) {
    const int indent = TitleIndent(fontMetrics());
    style()->drawItemText(&painter, title_rect.adjusted(indent, 0, -indent, 0),
                          Qt::AlignLeft | Qt::AlignTop, palette(), isEnabled(), title(),
                          QPalette::WindowText);
  }
}

// ---- DialogBuilder ----

DialogBuilder::DialogBuilder(const QFont& font, std::span<const DialogTemplate* const> templates)
    : font_(font) {
  const QFontMetricsF fm(font_);
  // As Windows does: the 52 Latin letters' mean width, rounded, and the font's height.
  const double letters =
      fm.horizontalAdvance(QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"));
  base_x_ = std::max(1, int(std::lround(letters / 52.0)));
  base_y_ = std::max(1, QFontMetrics(font_).height());
  const Chrome chrome = MeasureChrome(font_);
  combo_height_ = chrome.combo_h;
  for (const DialogTemplate* dialog : templates) {
    Fit(*dialog, chrome);
  }

  double scale = 1.0;
  for (const auto& [dialog, needs] : needed_w_) {
    const std::vector<QRectF>& rects = fitted_.at(dialog);
    for (std::size_t i = 0; i < needs.size(); ++i) {
      if (needs[i] > 0 && rects[i].width() > 0) {
        scale = std::max(scale, needs[i] / rects[i].width());
      }
    }
  }
  // In hundredths, so that the figure reads well and rounding never falls short.
  scale_x_ = std::ceil(scale * 100.0) / 100.0;
}

void DialogBuilder::Fit(const DialogTemplate& dialog, const Chrome& chrome) {
  const double px_per_dlu_x = base_x_ / 4.0;
  const double px_per_dlu_y = base_y_ / 8.0;

  std::vector<QRectF> original;
  for (const ControlTemplate& c : dialog.controls) {
    original.push_back(ToRectF(c.rect));
  }
  std::vector<QRectF> rects = original;
  std::vector<QSize> need_px;
  for (const ControlTemplate& c : dialog.controls) {
    need_px.push_back(NeededPixels(c, font_, chrome, Y(c.rect.h)));
  }

  // Height first: it decides how many lines a wrapping text has for the width.
  for (std::size_t i = 0; i < rects.size(); ++i) {
    const ControlKind kind = dialog.controls[i].kind;
    const double need = need_px[i].height() / px_per_dlu_y;
    if (!MayGrow(kind) || kind == ControlKind::kPushButton || need <= rects[i].height()) {
      continue;
    }
    double top = rects[i].top();
    double bottom = rects[i].bottom();
    Grow(top, bottom, need - rects[i].height(), FreeSpan(rects, original, dialog, i, false), true);
    rects[i].setTop(top);
    rects[i].setBottom(bottom);
  }
  std::vector<double> needed_w(rects.size(), 0.0);
  for (std::size_t i = 0; i < rects.size(); ++i) {
    const ControlTemplate& c = dialog.controls[i];
    if (need_px[i].width() <= 0) {
      continue;
    }
    needed_w[i] = need_px[i].width() / px_per_dlu_x;
    if (!MayGrow(c.kind) || needed_w[i] <= rects[i].width()) {
      continue;
    }
    double left = rects[i].left();
    double right = rects[i].right();
    const bool both = c.kind == ControlKind::kPushButton || (c.style & kStyleCentred) != 0;
    Grow(left, right, needed_w[i] - rects[i].width(), FreeSpan(rects, original, dialog, i, true),
         both);
    rects[i].setLeft(left);
    rects[i].setRight(right);
  }
  fitted_[&dialog] = std::move(rects);
  needed_w_[&dialog] = std::move(needed_w);
}

int DialogBuilder::X(double dlu) const {
  return int(std::lround(dlu * base_x_ * scale_x_ / 4.0));
}

int DialogBuilder::Y(double dlu) const {
  return int(std::lround(dlu * base_y_ / 8.0));
}

QRect DialogBuilder::ToPixels(const QRectF& dlu) const {
  const int left = X(dlu.left());
  const int top = Y(dlu.top());
  return {left, top, X(dlu.right()) - left, Y(dlu.bottom()) - top};
}

QSize DialogBuilder::DialogSize(const DialogTemplate& dialog) const {
  return {X(dialog.width), Y(dialog.height)};
}

QRectF DialogBuilder::FittedRect(const DialogTemplate& dialog, std::size_t index) const {
  const auto it = fitted_.find(&dialog);
  if (it == fitted_.end() || index >= it->second.size()) {
    return index < dialog.controls.size() ? ToRectF(dialog.controls[index].rect) : QRectF();
  }
  return it->second[index];
}

QRect DialogBuilder::ControlRect(const DialogTemplate& dialog, std::size_t index) const {
  QRect r = ToPixels(FittedRect(dialog, index));
  if (index < dialog.controls.size() &&
      dialog.controls[index].kind == ControlKind::kDropDownCombo) {
    r.setHeight(std::min(r.height(), combo_height_));
  }
  return r;
}

std::vector<QWidget*> DialogBuilder::Build(const DialogTemplate& dialog, QWidget* parent) const {
  std::vector<QWidget*> widgets;
  widgets.reserve(dialog.controls.size());
  for (std::size_t i = 0; i < dialog.controls.size(); ++i) {
    QWidget* w = CreateControl(dialog.controls[i], font_, parent);
    w->setGeometry(ControlRect(dialog, i));
    widgets.push_back(w);
  }
  for (std::size_t i = 0; i < widgets.size(); ++i) {
    if (dialog.controls[i].kind == ControlKind::kGroupFrame) {
      widgets[i]->lower();
    }
  }
  return widgets;
}

const DialogBuilder& SharedDialogBuilder() {
  static const DialogBuilder builder(DialogFont());
  return builder;
}

QWidget* CreateControl(const ControlTemplate& c, const QFont& font, QWidget* parent) {
  const QString text = TemplateText(c);
  QWidget* widget = nullptr;
  switch (c.kind) {
    case ControlKind::kStatic: {
      auto* label = new QLabel(text, parent);
      label->setTextFormat(Qt::PlainText);
      label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
      label->setWordWrap(c.rect.h >= kWrapHeightDlu);
      widget = label;
      break;
    }
    case ControlKind::kEdit:
    case ControlKind::kPasswordEdit: {
      auto* edit = new QLineEdit(text, parent);
      if (c.kind == ControlKind::kPasswordEdit) {
        edit->setEchoMode(QLineEdit::Password);
      }
      if ((c.style & kStyleCentred) != 0) {
        edit->setAlignment(Qt::AlignCenter);
      }
      edit->setReadOnly((c.style & kStyleReadOnly) != 0);
      edit->setCursorPosition(0);
      widget = edit;
      break;
    }
    case ControlKind::kPushButton: {
      auto* button = new QPushButton(text, parent);
      // Enter never presses a button: the dialog has no default action.
      button->setAutoDefault(false);
      button->setDefault(false);
      widget = button;
      break;
    }
    case ControlKind::kCheckBox:
    case ControlKind::kMultiLineCheckBox: {
      QCheckBox* box = nullptr;
      if (c.kind == ControlKind::kMultiLineCheckBox || text.contains(QLatin1Char('\n'))) {
        box = new MultiLineCheckBox(text, parent);
      } else {
        box = new QCheckBox(text, parent);
      }
      widget = box;
      break;
    }
    case ControlKind::kGroupFrame:
      widget = new GroupFrame(text, parent);
      break;
    case ControlKind::kDropDownCombo: {
      auto* combo = new QComboBox(parent);
      combo->setEditable(true);
      combo->setInsertPolicy(QComboBox::NoInsert);
      combo->setCompleter(nullptr);
      // The template's height would leave room for two items; the list shows up to 30, as
      // the themed window combo box does.
      combo->setMaxVisibleItems(30);
      for (std::string_view item : c.items) {
        combo->addItem(QString::fromUtf8(item.data(), static_cast<qsizetype>(item.size())));
      }
      // Nothing is chosen until the program chooses.
      combo->setCurrentIndex(-1);
      combo->setEditText(text);
      widget = combo;
      break;
    }
    case ControlKind::kListBox: {
      auto* list = new QListWidget(parent);
      list->setSelectionMode(QAbstractItemView::SingleSelection);
      list->setVerticalScrollBarPolicy((c.style & kStyleVScroll) != 0 ? Qt::ScrollBarAsNeeded
                                                                      : Qt::ScrollBarAlwaysOff);
      list->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
      list->setUniformItemSizes(true);
      widget = list;
      break;
    }
    case ControlKind::kRichEdit: {
      auto* view = new QPlainTextEdit(parent);
      view->setReadOnly((c.style & kStyleReadOnly) != 0);
      view->setLineWrapMode(QPlainTextEdit::NoWrap);
      const bool always = (c.style & kStyleScrollBarsAlways) != 0;
      const auto policy = [always](bool wanted) {
        if (!wanted) {
          return Qt::ScrollBarAlwaysOff;
        }
        return always ? Qt::ScrollBarAlwaysOn : Qt::ScrollBarAsNeeded;
      };
      view->setVerticalScrollBarPolicy(policy((c.style & kStyleVScroll) != 0));
      view->setHorizontalScrollBarPolicy(policy((c.style & kStyleHScroll) != 0));
      view->setPlainText(text);
      widget = view;
      break;
    }
  }
  widget->setFont(font);
  widget->setEnabled((c.style & kStyleDisabled) == 0);
  widget->setProperty("telvoraId", c.id);
  if (c.id != kNoControlId) {
    widget->setObjectName(QStringLiteral("ctl_%1").arg(c.id));
  }
  return widget;
}

}  // namespace telvora
