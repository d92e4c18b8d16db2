// Controls of a real built dialog through the id interface, the message map, the property
// sheet and the busy indication.
#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QTest>

#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "platform/qt/busy_indication.h"
#include "platform/qt/property_sheet.h"
#include "platform/qt/qt_dialog.h"
#include "platform/qt/window_icon.h"
#include "resources/templates.h"
#include "tests/qt/qt_test_app.h"

namespace telvora {
namespace {

using Notification = QtDialog::Notification;

class PageTest : public ::testing::Test {
 protected:
  void SetUp() override {
    TestApplication();
    basic_ = std::make_unique<QtDialog>(*FindTemplate(kBasicPageTemplate));
    numbers_ = std::make_unique<QtDialog>(*FindTemplate(kNumbersPageTemplate));
  }

  // Counts the notifications of one control.
  int* Count(QtDialog& d, int id, Notification n) {
    counters_.push_back(std::make_unique<int>(0));
    int* counter = counters_.back().get();
    d.SetHandler(id, n, [counter] { ++*counter; });
    return counter;
  }

  std::unique_ptr<QtDialog> basic_;
  std::unique_ptr<QtDialog> numbers_;
  std::vector<std::unique_ptr<int>> counters_;
};

TEST_F(PageTest, TextRoundTripsThroughEveryKindThatHoldsText) {
  struct Case {
    QtDialog* dialog;
    int id;
  };
  const Case cases[] = {
      {basic_.get(), 1058},  // edit
      {basic_.get(), 1022},  // centred edit
      {basic_.get(), 1140},  // static
      {basic_.get(), 1061},  // push button
      {basic_.get(), 1062},  // check box
      {basic_.get(), 1059},  // multi-line check box
      {basic_.get(), 1141},  // group frame
      {basic_.get(), 1110},  // combo box: its edit field
  };
  const std::u16string texts[] = {u"", u"žluťoučký kůň ", u"a\nb", u"x&y",
                                  std::u16string(80, u'W')};
  for (const Case& c : cases) {
    for (const std::u16string& text : texts) {
      c.dialog->SetText(c.id, text);
      EXPECT_EQ(c.dialog->GetText(c.id), text) << c.id;
    }
  }
  QtDialog internet(*FindTemplate(kInternetPageTemplate));
  internet.SetText(1188, u"Socket vytvořen\nHostname nalezen\n");
  EXPECT_EQ(internet.GetText(1188), u"Socket vytvořen\nHostname nalezen\n");
}

TEST_F(PageTest, TemplateTextsAreThereFromTheStart) {
  EXPECT_EQ(basic_->GetText(1058), u"Nazev uzivatele ");
  EXPECT_EQ(basic_->GetText(1035), u"-1000");
  EXPECT_EQ(basic_->GetText(1128), u"tichý\npoplach");
  EXPECT_EQ(basic_->GetText(1109), u"*161*#");
  EXPECT_EQ(numbers_->GetText(1084), u"--->");
  EXPECT_EQ(numbers_->ItemCount(1087), 5);
  EXPECT_EQ(numbers_->ItemText(1087, 4), u"5");
  // Nothing is chosen until the page chooses.
  EXPECT_EQ(numbers_->GetCurSel(1087), -1);
  EXPECT_EQ(numbers_->GetText(1087), u"");
}

TEST_F(PageTest, ChecksRoundTripAndOnlyCheckableControlsTakeThem) {
  for (int id : {1062, 1128, 1047, 1096, 1118}) {
    basic_->SetChecked(id, true);
    EXPECT_TRUE(basic_->IsChecked(id)) << id;
    basic_->SetChecked(id, false);
    EXPECT_FALSE(basic_->IsChecked(id)) << id;
  }
  basic_->SetChecked(1061, true);  // a push button
  EXPECT_FALSE(basic_->IsChecked(1061));
  basic_->SetChecked(1058, true);  // an edit
  EXPECT_FALSE(basic_->IsChecked(1058));
}

TEST_F(PageTest, ComboSelectionRoundTripsAndShowsTheItem) {
  for (int index : {0, 4, 2}) {
    numbers_->SetCurSel(1087, index);
    EXPECT_EQ(numbers_->GetCurSel(1087), index);
    EXPECT_EQ(numbers_->GetText(1087), std::u16string(1, char16_t(u'1' + index)));
  }
  for (int outside : {-1, 5, 255}) {
    numbers_->SetCurSel(1087, 2);
    numbers_->SetCurSel(1087, outside);
    EXPECT_EQ(numbers_->GetCurSel(1087), -1) << outside;
  }
}

TEST_F(PageTest, AddingItemsNeverChoosesOne) {
  for (int id = 134; id <= 139; ++id) {
    basic_->AddItem(1024, u"mode");
  }
  EXPECT_EQ(basic_->ItemCount(1024), 6);
  EXPECT_EQ(basic_->GetCurSel(1024), -1);
  EXPECT_EQ(basic_->GetText(1024), u"");
  basic_->SetCurSel(1024, 3);
  basic_->AddItem(1024, u"later");
  EXPECT_EQ(basic_->GetCurSel(1024), 3);
  basic_->ClearItems(1024);
  EXPECT_EQ(basic_->ItemCount(1024), 0);
  EXPECT_EQ(basic_->GetCurSel(1024), -1);
}

TEST_F(PageTest, ListRowsReplacedInPlaceKeepTheirPositions) {
  for (int i = 0; i < 64; ++i) {
    EXPECT_EQ(numbers_->AddItem(1083, u"x"), i);
  }
  EXPECT_EQ(numbers_->ItemCount(1083), 64);
  numbers_->SetCurSel(1083, 7);
  EXPECT_EQ(numbers_->GetCurSel(1083), 7);
  // How the numbers page puts a number into a row: delete it, insert at its place, choose it.
  ASSERT_TRUE(numbers_->DeleteItem(1083, 7));
  EXPECT_EQ(numbers_->GetCurSel(1083), -1);
  EXPECT_EQ(numbers_->InsertItem(1083, 7, u"+420123456789"), 7);
  numbers_->SetCurSel(1083, 7);
  EXPECT_EQ(numbers_->ItemCount(1083), 64);
  EXPECT_EQ(numbers_->ItemText(1083, 6), u"x");
  EXPECT_EQ(numbers_->ItemText(1083, 7), u"+420123456789");
  EXPECT_EQ(numbers_->ItemText(1083, 8), u"x");
  EXPECT_EQ(numbers_->GetCurSel(1083), 7);
  EXPECT_EQ(numbers_->GetText(1083), u"+420123456789");

  EXPECT_FALSE(numbers_->DeleteItem(1083, 64));
  EXPECT_FALSE(numbers_->DeleteItem(1083, -1));
  EXPECT_EQ(numbers_->ItemText(1083, 64), u"");
  EXPECT_EQ(numbers_->InsertItem(1083, -1, u"appended"), 64);
  numbers_->SetCurSel(1083, -1);
  EXPECT_EQ(numbers_->GetCurSel(1083), -1);
}

QStringList* g_warnings = nullptr;

TEST_F(PageTest, UnknownIdsReadEmptyTakeNothingAndAreReported) {
  QStringList warnings;
  g_warnings = &warnings;
  const QtMessageHandler previous = qInstallMessageHandler(
      [](QtMsgType, const QMessageLogContext&, const QString& text) { g_warnings->append(text); });
  EXPECT_EQ(basic_->GetText(4242), u"");
  EXPECT_EQ(basic_->Control(4242), nullptr);
  EXPECT_EQ(basic_->GetCurSel(kNoControlId), -1);
  basic_->SetText(4242, u"nowhere");
  basic_->SetInvalid(4242, true);
  EXPECT_EQ(basic_->AddItem(1058, u"not a list"), -1);
  EXPECT_EQ(basic_->ItemCount(1058), 0);
  qInstallMessageHandler(previous);
  g_warnings = nullptr;
  EXPECT_TRUE(warnings.filter(QStringLiteral("template 130 has no control 4242")).size() >= 3)
      << warnings.join(QLatin1Char('\n')).toStdString();
}

TEST_F(PageTest, InvalidMarkShowsReasonAndClearingRestoresTheControl) {
  QWidget* edit = basic_->Control(1022);
  basic_->SetToolTip(1022, u"min. délka impulzu");
  const QString sheet_before = edit->styleSheet();
  basic_->SetInvalid(1022, true, u"číslo 0 až 65535");
  EXPECT_TRUE(basic_->IsInvalid(1022));
  EXPECT_NE(edit->styleSheet(), sheet_before);
  EXPECT_EQ(edit->toolTip(), QStringLiteral("číslo 0 až 65535"));
  // Marking twice and then clearing once still brings back the original state.
  basic_->SetInvalid(1022, true);
  basic_->SetInvalid(1022, false);
  EXPECT_FALSE(basic_->IsInvalid(1022));
  EXPECT_EQ(edit->styleSheet(), sheet_before);
  EXPECT_EQ(edit->toolTip(), QStringLiteral("min. délka impulzu"));
  // Other controls keep their look.
  EXPECT_TRUE(basic_->Control(1023)->styleSheet().isEmpty());
}

TEST_F(PageTest, UserClicksNotifyButProgramChangesOfChecksDoNot) {
  basic_->show();
  int* button = Count(*basic_, 1061, Notification::kClicked);
  int* box = Count(*basic_, 1062, Notification::kClicked);
  QTest::mouseClick(basic_->Control(1061), Qt::LeftButton);
  EXPECT_EQ(*button, 1);
  QTest::mouseClick(basic_->Control(1062), Qt::LeftButton);
  EXPECT_EQ(*box, 1);
  EXPECT_TRUE(basic_->IsChecked(1062));
  basic_->SetChecked(1062, false);
  EXPECT_EQ(*box, 1);
  // A disabled control reports nothing.
  basic_->SetEnabled(1061, false);
  QTest::mouseClick(basic_->Control(1061), Qt::LeftButton);
  EXPECT_EQ(*button, 1);
}

TEST_F(PageTest, UserSelectionsNotifyButProgramSelectionsDoNot) {
  numbers_->show();
  for (int i = 0; i < 64; ++i) {
    numbers_->AddItem(1083, u"x");
  }
  int* list = Count(*numbers_, 1083, Notification::kSelectionChanged);
  int* combo = Count(*numbers_, 1087, Notification::kSelectionChanged);
  numbers_->SetCurSel(1083, 3);
  numbers_->DeleteItem(1083, 3);
  numbers_->InsertItem(1083, 3, u"123");
  numbers_->SetCurSel(1087, 1);
  EXPECT_EQ(*list, 0);
  EXPECT_EQ(*combo, 0);

  auto* rows = qobject_cast<QListWidget*>(numbers_->Control(1083));
  const QRect row5 = rows->visualItemRect(rows->item(5));
  QTest::mouseClick(rows->viewport(), Qt::LeftButton, Qt::NoModifier, row5.center());
  EXPECT_EQ(*list, 1);
  EXPECT_EQ(numbers_->GetCurSel(1083), 5);

  numbers_->Control(1087)->setFocus();
  QTest::keyClick(numbers_->Control(1087), Qt::Key_Down);
  EXPECT_EQ(*combo, 1);
  EXPECT_EQ(numbers_->GetCurSel(1087), 2);
}

TEST_F(PageTest, EditsReportEveryTextChangeCombosOnlyTyping) {
  QtDialog internet(*FindTemplate(kInternetPageTemplate));
  internet.show();
  std::vector<std::u16string> seen;
  internet.SetHandler(1033, Notification::kTextChanged,
                      [&] { seen.push_back(internet.GetText(1033)); });
  internet.SetText(1033, u"relay.example.cz");
  QTest::keyClicks(internet.Control(1033), "x");
  ASSERT_EQ(seen.size(), 2u);
  EXPECT_EQ(seen[0], u"relay.example.cz");

  basic_->show();
  int* typed = Count(*basic_, 1110, Notification::kTextChanged);
  basic_->SetText(1110, u"Vodafone");
  EXPECT_EQ(*typed, 0);
  auto* combo = qobject_cast<QComboBox*>(basic_->Control(1110));
  QTest::keyClicks(combo->lineEdit(), "ab");
  EXPECT_EQ(*typed, 2);
}

TEST_F(PageTest, HandlerMayReplaceItselfAndAnEmptyOneRemoves) {
  basic_->show();
  int calls = 0;
  basic_->SetHandler(1017, Notification::kClicked, [&] {
    ++calls;
    basic_->SetHandler(1017, Notification::kClicked, [&] { calls += 10; });
  });
  QTest::mouseClick(basic_->Control(1017), Qt::LeftButton);
  QTest::mouseClick(basic_->Control(1017), Qt::LeftButton);
  EXPECT_EQ(calls, 11);
  basic_->SetHandler(1017, Notification::kClicked, nullptr);
  QTest::mouseClick(basic_->Control(1017), Qt::LeftButton);
  EXPECT_EQ(calls, 11);
}

TEST(MainWindowKeys, EnterChangesNothingAndEscapeCancels) {
  TestApplication();
  QtDialog window(*FindTemplate(kMainWindowTemplate));
  int cancels = 0;
  int clicks = 0;
  window.SetCancelHandler([&] { ++cancels; });
  for (int id : {1001, 1007, 1008, 1011}) {
    window.SetHandler(id, Notification::kClicked, [&] { ++clicks; });
  }
  window.show();
  for (int id : {1000, 1004, 1009, 1010}) {
    window.Control(id)->setFocus();
    QTest::keyClick(window.Control(id), Qt::Key_Return);
    QTest::keyClick(window.Control(id), Qt::Key_Enter);
  }
  window.Control(1011)->setFocus();
  QTest::keyClick(window.Control(1011), Qt::Key_Return);
  EXPECT_TRUE(window.isVisible());
  EXPECT_EQ(clicks, 0);
  EXPECT_EQ(cancels, 0);
  EXPECT_EQ(window.GetText(1004), u"5807");

  QTest::keyClick(window.Control(1000), Qt::Key_Escape);
  EXPECT_EQ(cancels, 1);
  EXPECT_FALSE(window.isVisible());
}

TEST(PropertySheet, ActivatesOnlyPagesItHas) {
  TestApplication();
  QtPropertySheet sheet;
  auto* basic = new QtDialog(*FindTemplate(kBasicPageTemplate));
  auto* numbers = new QtDialog(*FindTemplate(kNumbersPageTemplate));
  EXPECT_EQ(sheet.AddPage(basic), 0);
  EXPECT_EQ(sheet.AddPage(numbers), 1);
  EXPECT_EQ(sheet.tabText(0), QStringLiteral("základní konfigurace"));
  EXPECT_EQ(sheet.tabText(1), QStringLiteral("telefonní čísla"));
  sheet.show();
  // The start-up sequence: numbers, the missing third page, then basic.
  sheet.SetActivePage(1);
  EXPECT_EQ(sheet.ActivePage(), numbers);
  sheet.SetActivePage(2);
  EXPECT_EQ(sheet.ActivePageIndex(), 1);
  sheet.SetActivePage(-1);
  EXPECT_EQ(sheet.ActivePageIndex(), 1);
  sheet.SetActivePage(0);
  EXPECT_EQ(sheet.ActivePage(), basic);
  EXPECT_EQ(sheet.Page(2), nullptr);
  // Controls of a page that is not showing are still there to be read and written.
  numbers->SetText(1085, u"777");
  EXPECT_EQ(numbers->GetText(1085), u"777");
}

TEST(BusyIndication, DisablesForItsSpanAndRestoresEachControlAsItWas) {
  TestApplication();
  QtDialog page(*FindTemplate(kBasicPageTemplate));
  page.SetEnabled(1017, false);
  {
    const BusyIndication outer(page.Controls({1061, 1060, 1017}));
    EXPECT_EQ(QApplication::overrideCursor()->shape(), Qt::WaitCursor);
    EXPECT_FALSE(page.IsEnabled(1061));
    {
      const BusyIndication inner(page.Controls({1061, 1101}));
      EXPECT_FALSE(page.IsEnabled(1101));
    }
    // The inner one ended, the outer one still runs.
    EXPECT_FALSE(page.IsEnabled(1061));
    EXPECT_TRUE(page.IsEnabled(1101));
    EXPECT_NE(QApplication::overrideCursor(), nullptr);
  }
  EXPECT_EQ(QApplication::overrideCursor(), nullptr);
  EXPECT_TRUE(page.IsEnabled(1061));
  EXPECT_TRUE(page.IsEnabled(1060));
  EXPECT_FALSE(page.IsEnabled(1017));
}

TEST(BusyIndication, SurvivesAControlDestroyedMeanwhile) {
  TestApplication();
  auto page = std::make_unique<QtDialog>(*FindTemplate(kBasicPageTemplate));
  {
    const BusyIndication busy(page->Controls({1061}));
    page.reset();
  }
  EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

TEST(WindowIcon, HasTheSmallAndTheLargeSize) {
  TestApplication();
  const QIcon icon = TelvoraIcon();
  ASSERT_FALSE(icon.isNull());
  for (int size : {16, 32}) {
    const QPixmap pixmap = icon.pixmap(size, size);
    EXPECT_EQ(pixmap.width(), size);
    EXPECT_FALSE(pixmap.toImage().allGray()) << size;
  }
}

}  // namespace
}  // namespace telvora
