// Turns the dialog templates into Qt widgets: dialog units become pixels through the dialog
// font, and controls whose text would be cut off get the room they need.
#pragma once

#include <QCheckBox>
#include <QFont>
#include <QGroupBox>
#include <QRect>
#include <QRectF>
#include <QSize>
#include <QString>

#include <map>
#include <span>
#include <vector>

#include "resources/templates.h"

class QWidget;

namespace telvora {

// The font every dialog is drawn with: the application's own family at 8 points, the
// size the templates were drawn for.
QFont DialogFont();

// The text a template control shows once the window is set up.
QString TemplateText(const ControlTemplate& control);

// A check box whose caption breaks into lines: at its newlines and wherever a word would
// run past the right edge. The box sits at the left, centred on the text.
class MultiLineCheckBox : public QCheckBox {
 public:
  using QCheckBox::QCheckBox;

  QSize sizeHint() const override;
  QSize minimumSizeHint() const override;
  // Where the caption is drawn.
  QRect TextRect() const;

 protected:
  void paintEvent(QPaintEvent* event) override;
  bool hitButton(const QPoint& pos) const override;
};

// A group frame drawn as the templates expect it: the line runs through the middle of the
// title, so that controls placed just below the title stay clear of it.
class GroupFrame : public QGroupBox {
 public:
  using QGroupBox::QGroupBox;

  // Where the title is drawn; empty without a title.
  QRect TitleRect() const;
  // Space kept before and after the title on the line.
  static int TitleIndent(const QFontMetrics& fm);

 protected:
  void paintEvent(QPaintEvent* event) override;
};

class DialogBuilder {
 public:
  // Lays out `templates` for `font`. Base units follow the font as Windows derives them:
  // horizontal is the average width of the 52 Latin letters, vertical the font height.
  // A control whose text needs more room grows into free space around it; what cannot be
  // won that way is covered by one horizontal scale shared by all the templates, so that
  // pages and the window that holds them stay in proportion.
  explicit DialogBuilder(const QFont& font,
                         std::span<const DialogTemplate* const> templates = AllTemplates());

  const QFont& Font() const { return font_; }
  int BaseX() const { return base_x_; }
  int BaseY() const { return base_y_; }
  double ScaleX() const { return scale_x_; }

  // Dialog units to pixels; monotonic, so controls apart in units stay apart in pixels.
  int X(double dlu) const;
  int Y(double dlu) const;
  QRect ToPixels(const QRectF& dlu) const;

  QSize DialogSize(const DialogTemplate& dialog) const;
  // The control's place after fitting, in dialog units (fractions where it grew).
  QRectF FittedRect(const DialogTemplate& dialog, std::size_t index) const;
  // Its place in pixels. A combo box is as tall as its edit field; the template's height
  // includes the list that drops down.
  QRect ControlRect(const DialogTemplate& dialog, std::size_t index) const;

  // Creates every control of `dialog` as a child of `parent`, in template order; the result
  // is indexed like dialog.controls. Group frames go to the back so that they never take
  // the clicks meant for the controls inside them.
  std::vector<QWidget*> Build(const DialogTemplate& dialog, QWidget* parent) const;

  struct Chrome;

 private:
  void Fit(const DialogTemplate& dialog, const Chrome& chrome);

  QFont font_;
  int base_x_ = 0;
  int base_y_ = 0;
  double scale_x_ = 1.0;
  int combo_height_ = 0;
  std::map<const DialogTemplate*, std::vector<QRectF>> fitted_;
  // Width each control needs, in unscaled dialog units.
  std::map<const DialogTemplate*, std::vector<double>> needed_w_;
};

// The builder for DialogFont() and all the templates, made on first use (needs a
// QApplication).
const DialogBuilder& SharedDialogBuilder();

// Creates the widget for one template control, with its font, text, style and items, at no
// particular place.
QWidget* CreateControl(const ControlTemplate& control, const QFont& font, QWidget* parent);

}  // namespace telvora
