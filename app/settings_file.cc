// Loading, saving, locating and showing settings files.
#include "app/settings_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <system_error>

#include "platform/json_writer.h"

namespace telvora {
namespace {

namespace fs = std::filesystem;

// Attempts at finding a free temporary name before giving up.
constexpr int kTempNameAttempts = 64;

std::string ErrnoText(int err) {
  return std::error_code(err, std::generic_category()).message();
}

SettingsFileStatus Failure(SettingsFileError error, std::string message) {
  return SettingsFileStatus{error, std::move(message)};
}

// Closes the descriptor when the scope ends, whatever path leaves it.
class FileDescriptor {
 public:
  explicit FileDescriptor(int fd) : fd_(fd) {}
  FileDescriptor(const FileDescriptor&) = delete;
  FileDescriptor& operator=(const FileDescriptor&) = delete;
  ~FileDescriptor() {
    if (fd_ >= 0) {
      ::close(fd_);
    }
  }
  int get() const { return fd_; }
  // Closes now and reports the outcome, which for a written file is part of the write.
  int Close() {
    const int rc = ::close(fd_);
    fd_ = -1;
    return rc;
  }

 private:
  int fd_;
};

bool WriteAll(int fd, std::span<const std::uint8_t> bytes, int& err) {
  std::size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
    if (n < 0) {
      if (errno == EINTR) {
        continue;
      }
      err = errno;
      return false;
    }
    if (n == 0) {
      err = EIO;
      return false;
    }
    done += static_cast<std::size_t>(n);
  }
  return true;
}

// Reads until `out` is full or the file ends; returns the count, or -1 with `err` set.
ssize_t ReadFull(int fd, std::span<std::uint8_t> out, int& err) {
  std::size_t done = 0;
  while (done < out.size()) {
    const ssize_t n = ::read(fd, out.data() + done, out.size() - done);
    if (n < 0) {
      if (errno == EINTR) {
        continue;
      }
      err = errno;
      return -1;
    }
    if (n == 0) {
      break;
    }
    done += static_cast<std::size_t>(n);
  }
  return static_cast<ssize_t>(done);
}

std::string SizeMessage(const fs::path& path, long long size) {
  return "soubor " + path.string() + " má " + std::to_string(size) +
         " bajtů; soubor nastavení má přesně " + std::to_string(kSettingsFileSize) + " bajtů";
}

bool IsWritableFolder(const fs::path& folder) {
  std::error_code ec;
  return fs::is_directory(folder, ec) && ::access(folder.c_str(), W_OK | X_OK) == 0;
}

// Makes the rename durable: the folder's entry is flushed too. Failing here loses nothing
// that the rename has not already put in place, so it is not reported.
void SyncFolder(const fs::path& folder) {
  const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) {
    return;
  }
  ::fsync(fd);
  ::close(fd);
}

}  // namespace

SettingsLoad LoadSettingsFile(const fs::path& path) {
  SettingsLoad result;
  FileDescriptor file(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
  if (file.get() < 0) {
    const int err = errno;
    result.status = Failure(SettingsFileError::kCannotOpen,
                            "nelze otevřít soubor " + path.string() + ": " + ErrnoText(err));
    return result;
  }
  struct stat st {};
  if (::fstat(file.get(), &st) != 0) {
    const int err = errno;
    result.status = Failure(SettingsFileError::kReadFailed,
                            "chyba čtení souboru " + path.string() + ": " + ErrnoText(err));
    return result;
  }
  if (!S_ISREG(st.st_mode)) {
    result.status = Failure(SettingsFileError::kNotAFile, path.string() + " není soubor");
    return result;
  }
  if (st.st_size != static_cast<off_t>(kSettingsFileSize)) {
    result.status = Failure(SettingsFileError::kWrongSize, SizeMessage(path, st.st_size));
    return result;
  }

  SettingsImage image{};
  int err = 0;
  const ssize_t got = ReadFull(file.get(), image, err);
  if (got < 0) {
    result.status = Failure(SettingsFileError::kReadFailed,
                            "chyba čtení souboru " + path.string() + ": " + ErrnoText(err));
    return result;
  }
  // The size was right a moment ago; a file that has since shrunk or grown is being written by
  // someone else and is not a settings file to trust.
  std::uint8_t extra = 0;
  const ssize_t more = got == static_cast<ssize_t>(kSettingsFileSize)
                           ? ReadFull(file.get(), std::span<std::uint8_t>(&extra, 1), err)
                           : 0;
  if (more < 0) {
    result.status = Failure(SettingsFileError::kReadFailed,
                            "chyba čtení souboru " + path.string() + ": " + ErrnoText(err));
    return result;
  }
  if (got != static_cast<ssize_t>(kSettingsFileSize) || more != 0) {
    result.status = Failure(SettingsFileError::kWrongSize,
                            "soubor " + path.string() + " se během čtení změnil");
    return result;
  }
  result.image = image;
  return result;
}

SettingsFileStatus SaveSettingsFile(const fs::path& path, std::span<const std::uint8_t> bytes) {
  if (bytes.size() != kSettingsFileSize) {
    return Failure(SettingsFileError::kWrongLength, "nastavení má " + std::to_string(bytes.size()) +
                                                        " bajtů místo " +
                                                        std::to_string(kSettingsFileSize));
  }
  const fs::path folder = path.has_parent_path() ? path.parent_path() : fs::path(".");

  static std::atomic<unsigned> serial{0};
  fs::path temp;
  int fd = -1;
  int err = 0;
  for (int attempt = 0; attempt < kTempNameAttempts && fd < 0; ++attempt) {
    temp = folder / ("." + path.filename().string() + ".tmp-" + std::to_string(::getpid()) + "-" +
                     std::to_string(serial.fetch_add(1)));
    fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    err = errno;
    if (fd < 0 && err != EEXIST) {
      break;
    }
  }
  if (fd < 0) {
    return Failure(SettingsFileError::kCannotCreate,
                   "nelze vytvořit soubor ve složce " + folder.string() + ": " + ErrnoText(err));
  }
  FileDescriptor file(fd);

  // A file that is replaced keeps its permissions.
  struct stat st {};
  if (::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode)) {
    ::fchmod(fd, st.st_mode & 07777);
  }

  const auto discard = [&](SettingsFileError error, const std::string& what, int code) {
    if (file.get() >= 0) {
      file.Close();
    }
    ::unlink(temp.c_str());
    return Failure(error, what + " " + path.string() + ": " + ErrnoText(code));
  };
  if (!WriteAll(fd, bytes, err)) {
    return discard(SettingsFileError::kWriteFailed, "chyba zápisu", err);
  }
  if (::fsync(fd) != 0) {
    return discard(SettingsFileError::kWriteFailed, "chyba zápisu", errno);
  }
  if (file.Close() != 0) {
    return discard(SettingsFileError::kWriteFailed, "chyba zápisu", errno);
  }
  if (::rename(temp.c_str(), path.c_str()) != 0) {
    return discard(SettingsFileError::kRenameFailed, "nelze nahradit soubor", errno);
  }
  SyncFolder(folder);
  return {};
}

fs::path DefaultSettingsFolder(const fs::path& programFolder) {
  fs::path beside = programFolder / "config";
  std::error_code ec;
  if (IsWritableFolder(beside)) {
    return beside;
  }
  if (!fs::exists(beside, ec) && IsWritableFolder(programFolder)) {
    return beside;
  }

  const char* dataHome = std::getenv("XDG_DATA_HOME");
  if (dataHome != nullptr && fs::path(dataHome).is_absolute()) {
    return fs::path(dataHome) / "telvora" / "config";
  }
  const char* home = std::getenv("HOME");
  if (home != nullptr && *home != '\0') {
    return fs::path(home) / ".local" / "share" / "telvora" / "config";
  }
  return beside;
}

SettingsFileStatus EnsureFolder(const fs::path& folder) {
  std::error_code ec;
  if (fs::is_directory(folder, ec)) {
    return {};
  }
  fs::create_directories(folder, ec);
  if (ec) {
    return Failure(SettingsFileError::kCannotCreate,
                   "nelze vytvořit složku " + folder.string() + ": " + ec.message());
  }
  if (!fs::is_directory(folder, ec)) {
    return Failure(SettingsFileError::kCannotCreate, folder.string() + " není složka");
  }
  return {};
}

SettingsImage ComposeSettings(const BasicBlock& basic, const NumberBlock& numbers,
                              const InternetBlock& internet) {
  SettingsImage image{};
  std::copy(basic.bytes.begin(), basic.bytes.end(), image.begin() + kSettingsBasicOffset);
  std::copy(numbers.bytes.begin(), numbers.bytes.end(), image.begin() + kSettingsNumbersOffset);
  std::copy(internet.bytes.begin(), internet.bytes.end(), image.begin() + kSettingsInternetOffset);
  return image;
}

void SplitSettings(const SettingsImage& image, BasicBlock& basic, NumberBlock& numbers,
                   InternetBlock& internet) {
  const std::uint8_t* at = image.data();
  std::copy(at + kSettingsBasicOffset, at + kSettingsNumbersOffset, basic.bytes.begin());
  std::copy(at + kSettingsNumbersOffset, at + kSettingsInternetOffset, numbers.bytes.begin());
  std::copy(at + kSettingsInternetOffset, at + kSettingsFileSize, internet.bytes.begin());
}

std::string SettingsFileToJson(const SettingsImage& image) {
  BasicBlock basic;
  NumberBlock numbers;
  InternetBlock internet;
  SplitSettings(image, basic, numbers, internet);
  JsonWriter json;
  json.BeginObject();
  json.Key("basic");
  WriteBasicBlockJson(json, basic);
  json.Key("numbers");
  WriteNumberBlockJson(json, numbers);
  json.Key("internet");
  WriteInternetBlockJson(json, internet);
  json.EndObject();
  return json.Take();
}

}  // namespace telvora
