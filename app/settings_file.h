// Settings files: the basic, number and internet blocks one after another, 2098 bytes with no
// header, loaded only when whole and saved without ever destroying an earlier good file.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "pages/basic_block.h"
#include "pages/number_block.h"
#include "relay/internet_block.h"

namespace telvora {

inline constexpr std::size_t kSettingsBasicOffset = 0;
inline constexpr std::size_t kSettingsNumbersOffset = kSettingsBasicOffset + kBasicBlockSize;
inline constexpr std::size_t kSettingsInternetOffset = kSettingsNumbersOffset + kNumberBlockSize;
inline constexpr std::size_t kSettingsFileSize = kSettingsInternetOffset + kInternetBlockSize;
static_assert(kSettingsNumbersOffset == 690 && kSettingsInternetOffset == 1970 &&
              kSettingsFileSize == 2098);

inline constexpr std::string_view kSettingsExtension = "cfg";

using SettingsImage = std::array<std::uint8_t, kSettingsFileSize>;

enum class SettingsFileError : std::uint8_t {
  kNone,
  kCannotOpen,    // missing, no permission
  kNotAFile,      // a folder or a device
  kWrongSize,     // not exactly 2098 bytes (or it changed while being read)
  kReadFailed,    // the storage reported an error
  kWrongLength,   // asked to save something that is not 2098 bytes
  kCannotCreate,  // no file can be made in the folder
  kWriteFailed,   // the storage refused the bytes or could not flush them
  kRenameFailed,  // the finished file could not take the target's place
};

struct SettingsFileStatus {
  SettingsFileError error = SettingsFileError::kNone;
  std::string message;  // UTF-8, names the file and the reason; empty on success

  bool ok() const { return error == SettingsFileError::kNone; }
};

struct SettingsLoad {
  SettingsFileStatus status;
  std::optional<SettingsImage> image;  // only when all 2098 bytes were read
};

SettingsLoad LoadSettingsFile(const std::filesystem::path& path);
// Writes a temporary file beside `path`, flushes it to the storage and only then renames it
// over `path`; on any failure the temporary file is removed and `path` is as it was.
SettingsFileStatus SaveSettingsFile(const std::filesystem::path& path,
                                    std::span<const std::uint8_t> bytes);

// "config" beside the program when that can be written, else the user's data folder
// ($XDG_DATA_HOME, or ~/.local/share) under telvora/config.
std::filesystem::path DefaultSettingsFolder(const std::filesystem::path& programFolder);
// Creates `folder` and its parents when missing.
SettingsFileStatus EnsureFolder(const std::filesystem::path& folder);

SettingsImage ComposeSettings(const BasicBlock& basic, const NumberBlock& numbers,
                              const InternetBlock& internet);
void SplitSettings(const SettingsImage& image, BasicBlock& basic, NumberBlock& numbers,
                   InternetBlock& internet);

// {"basic": {...}, "numbers": [64 entries], "internet": {...}}, texts decoded as Windows-1250.
std::string SettingsFileToJson(const SettingsImage& image);

}  // namespace telvora
