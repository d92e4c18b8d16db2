// The message box and the file dialogs answered through their hooks, and the conversion of
// Windows file filters.
#include <QDir>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <fstream>
#include <vector>

#include "platform/qt/prompts.h"
#include "tests/qt/qt_test_app.h"

namespace telvora {
namespace {

class HookGuard {
 public:
  HookGuard() = default;
  ~HookGuard() {
    SetMessageBoxHook(nullptr);
    SetFileDialogHook(nullptr);
  }
  HookGuard(const HookGuard&) = delete;
  HookGuard& operator=(const HookGuard&) = delete;
};

TEST(MessageBox, HookReceivesTheTextInsteadOfAModalBox) {
  TestApplication();
  const HookGuard guard;
  std::vector<QString> shown;
  SetMessageBoxHook([&](const QString& text) { shown.push_back(text); });
  ShowMessageBox(nullptr, u"port nenalezen ! ");
  ShowMessageBox(nullptr, u"aktivní");
  ASSERT_EQ(shown.size(), 2u);
  EXPECT_EQ(shown[0], QStringLiteral("port nenalezen ! "));
  EXPECT_EQ(shown[1], QStringLiteral("aktivní"));
  // Setting a hook hands back the one it replaces.
  const MessageBoxHook previous = SetMessageBoxHook(nullptr);
  EXPECT_TRUE(static_cast<bool>(previous));
}

TEST(FileFilters, WindowsPairsBecomeQtNameFilters) {
  struct Case {
    std::string_view windows;
    QStringList qt;
  };
  const Case cases[] = {
      {"MyType Files (*.cfg)| *.cfg|All Files (*.*)|*.*|",
       {QStringLiteral("MyType Files (*.cfg)"), QStringLiteral("All Files (*)")}},
      // The open dialog's filter carries a blank before the second bar.
      {"MyType Files (*.cfg)| *.cfg | All Files (*.*)|*.*|",
       {QStringLiteral("MyType Files (*.cfg)"), QStringLiteral("All Files (*)")}},
      {"Texts|*.txt;*.log|", {QStringLiteral("Texts (*.txt *.log)")}},
      {"No closing bar|*.x", {QStringLiteral("No closing bar (*.x)")}},
      {"", {}},
      {"|||", {}},
      {"Lonely description|", {}},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(QtNameFilters(c.windows), c.qt) << c.windows;
  }
}

class FileDialogTest : public ::testing::Test {
 protected:
  void SetUp() override {
    TestApplication();
    ASSERT_TRUE(dir_.isValid());
    folder_ = std::filesystem::path(dir_.path().toStdString());
  }

  FileDialogRequest Request(FileDialogRequest::Mode mode) const {
    FileDialogRequest r;
    r.mode = mode;
    r.title = QStringLiteral("uložení nastavení");
    r.folder = folder_;
    r.filter = "MyType Files (*.cfg)| *.cfg|All Files (*.*)|*.*|";
    r.default_suffix = QStringLiteral("cfg");
    return r;
  }

  std::optional<std::filesystem::path> Answer(FileDialogRequest::Mode mode,
                                              std::optional<std::filesystem::path> typed) {
    SetFileDialogHook([&](const FileDialogRequest& r) {
      seen_title_ = r.title;
      seen_folder_ = r.folder;
      return typed;
    });
    return AskFileName(nullptr, Request(mode));
  }

  HookGuard guard_;
  QTemporaryDir dir_;
  std::filesystem::path folder_;
  QString seen_title_;
  std::filesystem::path seen_folder_;
};

TEST_F(FileDialogTest, HookSeesTheRequestAndCancelGivesNothing) {
  EXPECT_EQ(Answer(FileDialogRequest::Mode::kSave, std::nullopt), std::nullopt);
  EXPECT_EQ(seen_title_, QStringLiteral("uložení nastavení"));
  EXPECT_EQ(seen_folder_, folder_);
  EXPECT_EQ(Answer(FileDialogRequest::Mode::kOpen, std::filesystem::path()), std::nullopt);
}

TEST_F(FileDialogTest, SavingANameWithoutExtensionGetsTheDefaultOne) {
  EXPECT_EQ(Answer(FileDialogRequest::Mode::kSave, folder_ / "unit7"), folder_ / "unit7.cfg");
  EXPECT_EQ(Answer(FileDialogRequest::Mode::kSave, folder_ / "unit7.bak"), folder_ / "unit7.bak");
  EXPECT_EQ(Answer(FileDialogRequest::Mode::kSave, folder_ / "č.cfg"), folder_ / "č.cfg");
}

TEST_F(FileDialogTest, OpeningKeepsABareNameThatExists) {
  std::ofstream(folder_ / "bare") << "x";
  EXPECT_EQ(Answer(FileDialogRequest::Mode::kOpen, folder_ / "bare"), folder_ / "bare");
  EXPECT_EQ(Answer(FileDialogRequest::Mode::kOpen, folder_ / "missing"), folder_ / "missing.cfg");
}

}  // namespace
}  // namespace telvora
