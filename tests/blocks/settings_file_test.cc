// Settings files on a real file system: whole files only, and no save that destroys a good file.
#include "app/settings_file.h"

#include <grp.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <vector>

#include "platform/memory_controls.h"

namespace telvora {
namespace {

namespace fs = std::filesystem;

// Exit code of a child that could not give up root's right to ignore permissions.
constexpr int kNotUnprivileged = 77;
constexpr uid_t kNobody = 65534;

// Runs `body` in a child process and returns its exit code (-1 when it did not exit). With
// `unprivileged`, a root child first becomes nobody so that permission bits hold for it.
int RunInChild(bool unprivileged, const std::function<int()>& body) {
  const pid_t pid = ::fork();
  if (pid == 0) {
    if (unprivileged && ::geteuid() == 0) {
      if (::setgroups(0, nullptr) != 0 || ::setgid(kNobody) != 0 || ::setuid(kNobody) != 0) {
        ::_exit(kNotUnprivileged);
      }
    }
    ::_exit(body());
  }
  int status = 0;
  if (pid < 0 || ::waitpid(pid, &status, 0) != pid) {
    return -1;
  }
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

SettingsImage Filled(std::uint8_t value) {
  SettingsImage image;
  image.fill(value);
  return image;
}

std::vector<std::uint8_t> ReadRaw(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void WriteRaw(const fs::path& path, std::size_t size, std::uint8_t value) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  const std::string bytes(size, static_cast<char>(value));
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

class SettingsFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string pattern = (fs::temp_directory_path() / "telvora-settings-XXXXXX").string();
    ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
    root_ = pattern;
    // Children that run as nobody must be able to reach the folders inside.
    fs::permissions(root_, fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec |
                               fs::perms::others_read | fs::perms::others_exec);
  }

  void TearDown() override {
    std::error_code ec;
    for (const auto& e : fs::recursive_directory_iterator(root_, ec)) {
      if (e.is_directory(ec)) {
        fs::permissions(e.path(), fs::perms::owner_all, fs::perm_options::add, ec);
      }
    }
    fs::remove_all(root_, ec);
  }

  std::vector<std::string> Entries(const fs::path& folder) const {
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(folder)) {
      names.push_back(e.path().filename());
    }
    std::sort(names.begin(), names.end());
    return names;
  }

  fs::path root_;
};

TEST_F(SettingsFileTest, SavedPagesComeBackByteForByte) {
  MemoryControls basicPage;
  SetBasicDefaults(basicPage);
  basicPage.SetText(1058, u"Chata Bělá");
  BasicBlock basic;
  ASSERT_TRUE(GatherBasicBlock(basicPage, basic).empty());

  NumberBlock numbers;
  SetNumberDefaults(numbers);
  std::vector<std::u16string> rows = DefaultNumberRows();
  rows[0] = u"+420777000111";
  GatherNumbers(rows, numbers);

  MemoryControls internetPage;
  internetPage.SetText(1184, u"Telvora");
  internetPage.SetText(1033, u"relay.example");
  InternetBlock internet;
  GatherInternetBlock(internetPage, internet);

  const SettingsImage image = ComposeSettings(basic, numbers, internet);
  const fs::path path = root_ / "chata.cfg";
  const SettingsFileStatus saved = SaveSettingsFile(path, image);
  ASSERT_TRUE(saved.ok()) << saved.message;

  const std::vector<std::uint8_t> raw = ReadRaw(path);
  ASSERT_EQ(raw.size(), 2098u);
  EXPECT_TRUE(std::equal(basic.bytes.begin(), basic.bytes.end(), raw.begin()));
  EXPECT_TRUE(std::equal(numbers.bytes.begin(), numbers.bytes.end(), raw.begin() + 690));
  EXPECT_TRUE(std::equal(internet.bytes.begin(), internet.bytes.end(), raw.begin() + 1970));
  EXPECT_EQ(Entries(root_), std::vector<std::string>{"chata.cfg"});

  const SettingsLoad loaded = LoadSettingsFile(path);
  ASSERT_TRUE(loaded.status.ok()) << loaded.status.message;
  ASSERT_TRUE(loaded.image.has_value());
  BasicBlock basic2;
  NumberBlock numbers2;
  InternetBlock internet2;
  SplitSettings(*loaded.image, basic2, numbers2, internet2);
  EXPECT_EQ(basic2, basic);
  EXPECT_EQ(numbers2, numbers);
  EXPECT_EQ(internet2, internet);
}

TEST_F(SettingsFileTest, FilesThatAreNotExactlyOneSettingsImageAreRefused) {
  for (const std::size_t size : {0, 1, 690, 1970, 2097, 2099, 4196}) {
    SCOPED_TRACE(size);
    const fs::path path = root_ / "odd.cfg";
    WriteRaw(path, size, 0x41);
    const SettingsLoad loaded = LoadSettingsFile(path);
    EXPECT_EQ(loaded.status.error, SettingsFileError::kWrongSize);
    EXPECT_FALSE(loaded.image.has_value());
    EXPECT_NE(loaded.status.message.find(std::to_string(size)), std::string::npos)
        << loaded.status.message;
    EXPECT_NE(loaded.status.message.find("2098"), std::string::npos);
  }
}

TEST_F(SettingsFileTest, MissingFileAndFolderAreRefused) {
  const SettingsLoad missing = LoadSettingsFile(root_ / "none.cfg");
  EXPECT_EQ(missing.status.error, SettingsFileError::kCannotOpen);
  EXPECT_FALSE(missing.image.has_value());
  EXPECT_NE(missing.status.message.find("none.cfg"), std::string::npos);

  const SettingsLoad folder = LoadSettingsFile(root_);
  EXPECT_EQ(folder.status.error, SettingsFileError::kNotAFile);
  EXPECT_FALSE(folder.image.has_value());
}

TEST_F(SettingsFileTest, UnreadableFileIsRefused) {
  const fs::path path = root_ / "secret.cfg";
  ASSERT_TRUE(SaveSettingsFile(path, Filled(1)).ok());
  ::chmod(path.c_str(), 0);
  const int rc = RunInChild(true, [&] {
    if (::access(path.c_str(), R_OK) == 0) {
      return kNotUnprivileged;
    }
    const SettingsLoad loaded = LoadSettingsFile(path);
    return loaded.image.has_value() ? 100 : static_cast<int>(loaded.status.error);
  });
  if (rc == kNotUnprivileged) {
    GTEST_SKIP() << "permissions cannot be enforced here";
  }
  EXPECT_EQ(rc, static_cast<int>(SettingsFileError::kCannotOpen));
}

TEST_F(SettingsFileTest, SavingOverAGoodFileReplacesItAndKeepsItsPermissions) {
  const fs::path path = root_ / "dum.cfg";
  ASSERT_TRUE(SaveSettingsFile(path, Filled(0x11)).ok());
  ::chmod(path.c_str(), 0640);
  ASSERT_TRUE(SaveSettingsFile(path, Filled(0x22)).ok());
  const SettingsLoad loaded = LoadSettingsFile(path);
  ASSERT_TRUE(loaded.image.has_value());
  EXPECT_EQ(*loaded.image, Filled(0x22));
  struct stat st {};
  ASSERT_EQ(::stat(path.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0640u);
  EXPECT_EQ(Entries(root_), std::vector<std::string>{"dum.cfg"});
}

TEST_F(SettingsFileTest, SavingIntoAReadOnlyFolderFailsAndLeavesTheEarlierFile) {
  const fs::path folder = root_ / "ro";
  fs::create_directory(folder);
  const fs::path path = folder / "dum.cfg";
  ASSERT_TRUE(SaveSettingsFile(path, Filled(0x11)).ok());
  ::chmod(folder.c_str(), 0555);

  const int rc = RunInChild(true, [&] {
    if (::access(folder.c_str(), W_OK) == 0) {
      return kNotUnprivileged;
    }
    const SettingsFileStatus st = SaveSettingsFile(path, Filled(0x22));
    return st.message.empty() ? 100 : static_cast<int>(st.error);
  });
  if (rc == kNotUnprivileged) {
    GTEST_SKIP() << "permissions cannot be enforced here";
  }
  EXPECT_EQ(rc, static_cast<int>(SettingsFileError::kCannotCreate));
  const SettingsLoad loaded = LoadSettingsFile(path);
  ASSERT_TRUE(loaded.image.has_value());
  EXPECT_EQ(*loaded.image, Filled(0x11));
  EXPECT_EQ(Entries(folder), std::vector<std::string>{"dum.cfg"});
}

TEST_F(SettingsFileTest, StorageRefusingTheBytesMidwayLeavesTheEarlierFile) {
  const fs::path path = root_ / "dum.cfg";
  ASSERT_TRUE(SaveSettingsFile(path, Filled(0x11)).ok());

  // A file size limit below the image makes the storage refuse the write part of the way in.
  const int rc = RunInChild(false, [&] {
    std::signal(SIGXFSZ, SIG_IGN);
    rlimit limit{};
    if (::getrlimit(RLIMIT_FSIZE, &limit) != 0) {
      return 101;
    }
    limit.rlim_cur = 1000;
    if (::setrlimit(RLIMIT_FSIZE, &limit) != 0) {
      return 101;
    }
    const SettingsFileStatus st = SaveSettingsFile(path, Filled(0x22));
    return st.ok() || st.message.empty() ? 100 : static_cast<int>(st.error);
  });
  EXPECT_EQ(rc, static_cast<int>(SettingsFileError::kWriteFailed));
  const SettingsLoad loaded = LoadSettingsFile(path);
  ASSERT_TRUE(loaded.image.has_value());
  EXPECT_EQ(*loaded.image, Filled(0x11));
  EXPECT_EQ(Entries(root_), std::vector<std::string>{"dum.cfg"});
}

TEST_F(SettingsFileTest, AFolderInTheTargetsPlaceIsNotReplaced) {
  const fs::path path = root_ / "folder.cfg";
  fs::create_directory(path);
  const SettingsFileStatus st = SaveSettingsFile(path, Filled(0x22));
  EXPECT_EQ(st.error, SettingsFileError::kRenameFailed);
  EXPECT_TRUE(fs::is_directory(path));
  EXPECT_EQ(Entries(root_), std::vector<std::string>{"folder.cfg"});
}

TEST_F(SettingsFileTest, OnlyWholeImagesAreSaved) {
  const std::vector<std::uint8_t> shortImage(2097, 0);
  const SettingsFileStatus st = SaveSettingsFile(root_ / "short.cfg", shortImage);
  EXPECT_EQ(st.error, SettingsFileError::kWrongLength);
  EXPECT_TRUE(Entries(root_).empty());
}

TEST_F(SettingsFileTest, EnsureFolderCreatesTheWholePath) {
  const fs::path nested = root_ / "a" / "b" / "config";
  EXPECT_TRUE(EnsureFolder(nested).ok());
  EXPECT_TRUE(fs::is_directory(nested));
  EXPECT_TRUE(EnsureFolder(nested).ok());

  WriteRaw(root_ / "file", 1, 0);
  const SettingsFileStatus st = EnsureFolder(root_ / "file" / "config");
  EXPECT_EQ(st.error, SettingsFileError::kCannotCreate);
  EXPECT_FALSE(st.message.empty());
}

TEST_F(SettingsFileTest, DefaultFolderIsBesideTheProgramWhenThatCanBeWritten) {
  EXPECT_EQ(DefaultSettingsFolder(root_), root_ / "config");
  fs::create_directory(root_ / "config");
  EXPECT_EQ(DefaultSettingsFolder(root_), root_ / "config");
}

TEST_F(SettingsFileTest, DefaultFolderMovesToTheUsersDataWhenTheProgramFolderIsReadOnly) {
  const fs::path program = root_ / "bin";
  fs::create_directory(program);
  ::chmod(program.c_str(), 0555);

  const int rc = RunInChild(true, [&] {
    if (::access(program.c_str(), W_OK) == 0) {
      return kNotUnprivileged;
    }
    ::setenv("XDG_DATA_HOME", "/srv/data", 1);
    ::setenv("HOME", "/home/user", 1);
    if (DefaultSettingsFolder(program) != fs::path("/srv/data/telvora/config")) {
      return 1;
    }
    ::setenv("XDG_DATA_HOME", "relative/data", 1);  // not to be trusted
    if (DefaultSettingsFolder(program) != fs::path("/home/user/.local/share/telvora/config")) {
      return 2;
    }
    ::unsetenv("XDG_DATA_HOME");
    if (DefaultSettingsFolder(program) != fs::path("/home/user/.local/share/telvora/config")) {
      return 3;
    }
    return 0;
  });
  if (rc == kNotUnprivileged) {
    GTEST_SKIP() << "permissions cannot be enforced here";
  }
  EXPECT_EQ(rc, 0);
}

TEST_F(SettingsFileTest, JsonShowsTheThreeBlocksWithDecodedEscapedTexts) {
  BasicBlock basic;
  MemoryControls page;
  SetBasicDefaults(page);
  page.SetText(1058, u"a\"b\\c\x01č");
  ASSERT_TRUE(GatherBasicBlock(page, basic).empty());
  NumberBlock numbers;
  SetNumberDefaults(numbers);
  GatherNumbers(DefaultNumberRows(), numbers);
  MemoryControls internetPage;
  internetPage.SetText(1184, u"Telvora");
  internetPage.SetText(1033, u"relay.example");
  InternetBlock internet;
  GatherInternetBlock(internetPage, internet);

  const std::string json = SettingsFileToJson(ComposeSettings(basic, numbers, internet));
  EXPECT_EQ(json.rfind("{\n  \"basic\": {\n    \"userName\": \"a\\\"b\\\\c\\u0001č\",\n", 0), 0u)
      << json;
  EXPECT_NE(json.find("\n  \"numbers\": [\n    {\"number\": \"x\", \"ringLength\": 10, "
                      "\"ringCount\": 0, \"smsMask\": 0, \"ringMask\": 0},\n"),
            std::string::npos);
  const std::string tail =
      "}\n  ],\n  \"internet\": {\n    \"userId\": \"Telvora\",\n"
      "    \"serverName\": \"relay.example\"\n  }\n}";
  ASSERT_GE(json.size(), tail.size());
  EXPECT_EQ(json.substr(json.size() - tail.size()), tail);
}

}  // namespace
}  // namespace telvora
