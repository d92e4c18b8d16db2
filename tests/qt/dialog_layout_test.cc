// Templates built into real widgets: every control present, every text readable, nothing
// pushed onto a neighbour, and the pages fitting the main window.
#include <QComboBox>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QTest>

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "platform/qt/dialog_builder.h"
#include "platform/qt/property_sheet.h"
#include "platform/qt/qt_dialog.h"
#include "resources/strings.h"
#include "resources/templates.h"
#include "tests/qt/qt_test_app.h"
#include "tests/qt/text_room.h"

namespace telvora {
namespace {

std::string Name(const DialogTemplate& d, std::size_t i) {
  return std::to_string(d.id) + "/" + std::to_string(d.controls[i].id) + " #" + std::to_string(i) +
         " \"" + TemplateText(d.controls[i]).toStdString() + "\"";
}

bool Apart(const DluRect& a, const DluRect& b) {
  return a.x + a.w <= b.x || b.x + b.w <= a.x || a.y + a.h <= b.y || b.y + b.h <= a.y;
}

bool KindMatches(ControlKind kind, QWidget* w) {
  switch (kind) {
    case ControlKind::kStatic:
      return qobject_cast<QLabel*>(w) != nullptr;
    case ControlKind::kEdit: {
      auto* e = qobject_cast<QLineEdit*>(w);
      return e != nullptr && e->echoMode() == QLineEdit::Normal;
    }
    case ControlKind::kPasswordEdit: {
      auto* e = qobject_cast<QLineEdit*>(w);
      return e != nullptr && e->echoMode() == QLineEdit::Password;
    }
    case ControlKind::kPushButton:
      return qobject_cast<QPushButton*>(w) != nullptr;
    case ControlKind::kCheckBox:
      return qobject_cast<QCheckBox*>(w) != nullptr;
    case ControlKind::kMultiLineCheckBox:
      return dynamic_cast<MultiLineCheckBox*>(w) != nullptr;
    case ControlKind::kGroupFrame:
      return dynamic_cast<GroupFrame*>(w) != nullptr;
    case ControlKind::kDropDownCombo: {
      auto* c = qobject_cast<QComboBox*>(w);
      return c != nullptr && c->isEditable();
    }
    case ControlKind::kListBox:
      return qobject_cast<QListWidget*>(w) != nullptr;
    case ControlKind::kRichEdit:
      return qobject_cast<QPlainTextEdit*>(w) != nullptr;
  }
  return false;
}

// Every text of `dialog` that the style would cut off, one line each.
std::vector<std::string> Clipped(const QtDialog& dialog) {
  std::vector<std::string> clipped;
  const DialogTemplate& d = dialog.Template();
  for (std::size_t i = 0; i < d.controls.size(); ++i) {
    QWidget* w = dialog.AllControls()[i];
    const std::optional<TextRoom> room = TextRoomOf(w);
    if (!room) {
      continue;
    }
    const QString why = WhyNotFits(w->fontMetrics(), room->area, room->text, room->wraps);
    if (!why.isEmpty()) {
      clipped.push_back(Name(d, i) + ": " + why.toStdString());
    }
    if (auto* box = qobject_cast<QCheckBox*>(w)) {
      QStyleOptionButton opt;
      opt.initFrom(box);
      const QRect mark = box->style()->subElementRect(QStyle::SE_CheckBoxIndicator, &opt, box);
      if (!box->rect().contains(mark)) {
        clipped.push_back(Name(d, i) + ": box cut off");
      }
    }
  }
  return clipped;
}

class DialogLayout : public ::testing::TestWithParam<int> {
 protected:
  void SetUp() override {
    TestApplication();
    dialog_ = std::make_unique<QtDialog>(*FindTemplate(GetParam()));
  }
  const DialogTemplate& Tmpl() const { return dialog_->Template(); }

  std::unique_ptr<QtDialog> dialog_;
};

TEST_P(DialogLayout, EveryControlExistsWithItsIdAndKind) {
  ASSERT_EQ(dialog_->AllControls().size(), Tmpl().controls.size());
  for (std::size_t i = 0; i < Tmpl().controls.size(); ++i) {
    const ControlTemplate& c = Tmpl().controls[i];
    QWidget* w = dialog_->AllControls()[i];
    ASSERT_NE(w, nullptr) << Name(Tmpl(), i);
    EXPECT_EQ(w->parentWidget(), dialog_.get()) << Name(Tmpl(), i);
    EXPECT_TRUE(KindMatches(c.kind, w))
        << Name(Tmpl(), i) << " is a " << w->metaObject()->className();
    EXPECT_FALSE(w->geometry().isEmpty()) << Name(Tmpl(), i);
    EXPECT_EQ(w->isEnabled(), (c.style & kStyleDisabled) == 0) << Name(Tmpl(), i);
    if (c.id != kNoControlId) {
      EXPECT_EQ(dialog_->Control(c.id), w) << Name(Tmpl(), i);
    }
  }
}

TEST_P(DialogLayout, EveryTextFitsItsControl) {
  const std::vector<std::string> clipped = Clipped(*dialog_);
  EXPECT_TRUE(clipped.empty()) << ::testing::PrintToString(clipped);
}

TEST_P(DialogLayout, ControlsApartInTheTemplateStayApart) {
  const auto& widgets = dialog_->AllControls();
  for (std::size_t i = 0; i < widgets.size(); ++i) {
    for (std::size_t j = i + 1; j < widgets.size(); ++j) {
      if (!Apart(Tmpl().controls[i].rect, Tmpl().controls[j].rect)) {
        continue;
      }
      EXPECT_FALSE(widgets[i]->geometry().intersects(widgets[j]->geometry()))
          << Name(Tmpl(), i) << " at " << widgets[i]->geometry().x() << ","
          << widgets[i]->geometry().y() << " meets " << Name(Tmpl(), j);
    }
  }
}

TEST_P(DialogLayout, ControlsStayInsideTheDialogAndTheirFrames) {
  const QRect client(QPoint(0, 0), dialog_->size());
  const auto& widgets = dialog_->AllControls();
  for (std::size_t i = 0; i < widgets.size(); ++i) {
    EXPECT_TRUE(client.contains(widgets[i]->geometry())) << Name(Tmpl(), i);
    for (std::size_t f = 0; f < widgets.size(); ++f) {
      const ControlTemplate& frame = Tmpl().controls[f];
      const DluRect& r = Tmpl().controls[i].rect;
      if (f == i || frame.kind != ControlKind::kGroupFrame) {
        continue;
      }
      const bool inside = r.x >= frame.rect.x && r.y >= frame.rect.y &&
                          r.x + r.w <= frame.rect.x + frame.rect.w &&
                          r.y + r.h <= frame.rect.y + frame.rect.h;
      if (inside) {
        EXPECT_TRUE(widgets[f]->geometry().contains(widgets[i]->geometry()))
            << Name(Tmpl(), i) << " leaves " << Name(Tmpl(), f);
      }
    }
  }
}

TEST_P(DialogLayout, ClicksInsideAFrameReachTheControl) {
  dialog_->show();
  for (std::size_t i = 0; i < Tmpl().controls.size(); ++i) {
    auto* box = qobject_cast<QCheckBox*>(dialog_->AllControls()[i]);
    if (box == nullptr || !box->isEnabled()) {
      continue;
    }
    const QPoint centre = box->geometry().center();
    QWidget* hit = dialog_->childAt(centre);
    EXPECT_EQ(hit, box) << Name(Tmpl(), i);
    const bool before = box->isChecked();
    QTest::mouseClick(box, Qt::LeftButton, Qt::NoModifier, box->rect().center());
    EXPECT_NE(box->isChecked(), before) << Name(Tmpl(), i);
  }
}

INSTANTIATE_TEST_SUITE_P(AllTemplates, DialogLayout, ::testing::Values(102, 130, 131, 134),
                         [](const ::testing::TestParamInfo<int>& p) {
                           return "Template" + std::to_string(p.param);
                         });

TEST(DialogUnits, EveryUnitStepMovesAtLeastOnePixel) {
  TestApplication();
  const DialogBuilder& b = SharedDialogBuilder();
  for (int d = 0; d < 700; ++d) {
    ASSERT_LT(b.X(d), b.X(d + 1)) << d;
    ASSERT_LT(b.Y(d), b.Y(d + 1)) << d;
  }
  for (int half = 0; half < 1400; ++half) {
    ASSERT_LE(b.X(half / 2.0), b.X((half + 1) / 2.0)) << half;
  }
}

TEST(DialogUnits, BaseUnitsFollowTheFontAsWindowsDerivesThem) {
  TestApplication();
  for (int points : {8, 11, 16}) {
    QFont font = DialogFont();
    font.setPointSize(points);
    const DialogBuilder b(font);
    const double letters = QFontMetricsF(font).horizontalAdvance(
        QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"));
    EXPECT_EQ(b.BaseX(), int(std::lround(letters / 52))) << points;
    EXPECT_EQ(b.BaseY(), QFontMetrics(font).height()) << points;
    // Four horizontal units are one base unit, eight vertical ones a line.
    EXPECT_NEAR(b.X(400), 100 * b.BaseX() * b.ScaleX(), 1.0) << points;
    EXPECT_EQ(b.Y(800), 100 * b.BaseY()) << points;
    EXPECT_GE(b.ScaleX(), 1.0);
  }
}

// Fitting wins room from free space first, so the window keeps the templates' proportions
// and still fits a small laptop screen (1280 by 720, less the title bar) with this font.
TEST(DialogUnits, FittingKeepsTheMainWindowCompact) {
  TestApplication();
  const DialogBuilder& b = SharedDialogBuilder();
  if (b.BaseX() != 7 || b.BaseY() != 13) {
    GTEST_SKIP() << "measured for an 8-point DejaVu Sans";
  }
  EXPECT_LE(b.ScaleX(), 1.05);
  const QSize size = b.DialogSize(*FindTemplate(kMainWindowTemplate));
  EXPECT_LE(size.width(), 1280);
  EXPECT_LE(size.height(), 690);
}

// Other desktops bring other fonts: the fit must hold for them too.
TEST(DialogUnits, TextsFitWithOtherFonts) {
  TestApplication();
  for (int points : {7, 10, 12}) {
    QFont font = DialogFont();
    font.setPointSize(points);
    const DialogBuilder b(font);
    for (const DialogTemplate* d : AllTemplates()) {
      const QtDialog dialog(*d, nullptr, b);
      const std::vector<std::string> clipped = Clipped(dialog);
      EXPECT_TRUE(clipped.empty()) << points << " pt: " << ::testing::PrintToString(clipped);
    }
  }
}

// Texts that the window code puts into controls later must fit as well as the template's.
TEST(DialogLayout, TextsTheProgramPutsInLaterFit) {
  TestApplication();
  struct Later {
    int dialog;
    int id;
    std::vector<std::u16string> texts;
  };
  std::vector<std::u16string> modes;
  for (int id = 134; id <= 139; ++id) {
    modes.emplace_back(StringU16(id));
  }
  std::vector<std::u16string> statuses;
  for (int id : {3,  5,   6,   7,   8,   9,   10,  16,  17,  29,  31,
                 32, 199, 205, 206, 207, 208, 209, 212, 213, 214, 215}) {
    statuses.emplace_back(StringU16(id));
  }
  const Later cases[] = {
      {102, 1003, {u"com1", u"com256", u"not open"}},
      {102, 1000, statuses},
      {130, 1024, modes},
      {130, 1025, modes},
      {130, 1110, {u"Vodafone", u"Tmobile", u"O2", u"Blesk mobil"}},
      {130, 1109, {u"*22#", u"*101#", u"*104*#", u"*161*#"}},
      {130, 1105, {u"31.12. 2099  23:59:59"}},
      {130, 1054, {u"-1.-5", u"100. 0"}},
      {130, 1040, {u"-3276.8", u" 0.5"}},
      {131, 1086, {u"255"}},
      {134, 1184, {StringU16(36).data()}},
  };
  for (const Later& c : cases) {
    QtDialog dialog(*FindTemplate(c.dialog));
    for (const std::u16string& text : c.texts) {
      if (qobject_cast<QComboBox*>(dialog.Control(c.id)) != nullptr) {
        dialog.SetCurSel(c.id, dialog.AddItem(c.id, text));
      } else {
        dialog.SetText(c.id, text);
      }
      QWidget* w = dialog.Control(c.id);
      const std::optional<TextRoom> room = TextRoomOf(w);
      ASSERT_TRUE(room.has_value()) << c.id;
      EXPECT_EQ(WhyNotFits(w->fontMetrics(), room->area, room->text, false).toStdString(), "")
          << c.dialog << "/" << c.id;
    }
  }
}

TEST(DialogLayout, SheetWithThePagesFitsAboveTheMainWindowsBottomRow) {
  TestApplication();
  QtDialog window(*FindTemplate(kMainWindowTemplate));
  auto* sheet = new QtPropertySheet(&window);
  for (int page : {kBasicPageTemplate, kNumbersPageTemplate, kInternetPageTemplate}) {
    sheet->AddPage(new QtDialog(*FindTemplate(page)));
  }
  // Where the main window puts its sheet: ten pixels in, at the top.
  sheet->move(10, 0);
  sheet->resize(sheet->sizeHint());
  window.show();
  const QRect inside(QPoint(0, 0), window.size());
  EXPECT_TRUE(inside.contains(sheet->geometry()));
  for (int id : {1012, 1016, 1013, 1014, 1015}) {
    EXPECT_LE(sheet->geometry().bottom(), window.Control(id)->geometry().top()) << id;
  }
  for (int i = 0; i < sheet->PageCount(); ++i) {
    sheet->SetActivePage(i);
    QtDialog* page = sheet->Page(i);
    EXPECT_GE(page->width(), page->minimumWidth()) << i;
    EXPECT_GE(page->height(), page->minimumHeight()) << i;
  }
}

}  // namespace
}  // namespace telvora
