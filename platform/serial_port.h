// One serial device behind a small seam: the POSIX build opens a tty with termios.
#pragma once

#include <cstddef>
#include <cstdint>
#include <mutex>
#include <span>
#include <string>

namespace telvora {

// Result codes of opening a port; the numbers are the ones the tool has always reported.
enum class SerialOpenResult : int {
  kOk = 0,
  kCannotOpen = 2,   // no such device, no permission, or in use
  kGetSettings = 3,  // the line settings cannot be read
  kSetSettings = 4,  // 19200 8N1 raw cannot be applied
  kGetTimeouts = 5,  // the read timing cannot be read back
  kSetTimeouts = 6,  // the read timing (VMIN = VTIME = 0) cannot be applied
};

enum class SerialRead { kData, kNothing, kFailed };

// Safe to use from the reader worker while the window's thread closes it: every call
// takes the device lock, and no call blocks while holding it.
class SerialDevice {
 public:
  SerialDevice() = default;
  SerialDevice(const SerialDevice&) = delete;
  SerialDevice& operator=(const SerialDevice&) = delete;
  ~SerialDevice();

  // Opens `path` raw at `baud`, 8N1, no flow control, RTS and DTR off, exclusive.
  // On kGetSettings and later codes the device stays open, as the tool expects.
  SerialOpenResult Open(const std::string& path, int baud);
  // Sends a break, then releases the device. Harmless when nothing is open.
  void Close();
  bool IsOpen() const;
  // Writes every byte and waits until the driver has taken them all; false when the
  // port is closed, vanished, or does not take the bytes within a generous bound.
  bool Write(std::span<const std::uint8_t> bytes);
  // Takes what has already arrived, up to `max` bytes; never waits.
  SerialRead ReadAvailable(std::uint8_t* buffer, std::size_t max, std::size_t& got);
  // Bytes waiting in the driver, or -1 when that cannot be told.
  int BytesWaiting() const;
  // The descriptor to wait on for readability; -1 when closed. Only for poll().
  int PollHandle() const;
  const std::string& Path() const { return path_; }

 private:
  mutable std::mutex mutex_;
  int fd_ = -1;
  std::string path_;
};

}  // namespace telvora
