// The one serial port of the process, the COM-number map, the receive ring and the
// reader passes that fill it.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <map>
#include <span>
#include <string>
#include <vector>

namespace telvora {

// null: no open attempted yet; none: no port open (requests take the relay); open.
enum class PortHandleState { kNull, kNone, kOpen };
PortHandleState PortHandle();

inline constexpr int kPortCount = 256;  // COM1 to COM256
inline constexpr int kBaudRate = 19200;

// Which device stands behind each COM number. By default com1, com2, ... are the
// machine's /dev/ttyUSB*, then /dev/ttyACM*, then /dev/ttyS*, each in numeric order;
// entries set explicitly take precedence.
class PortMap {
 public:
  static PortMap& Instance();

  // Rebuilds the default part from the devices present now.
  void ScanSystem(const std::string& devDir = "/dev");
  void ClearDefaults();
  // comNumber is 1-based (com1 is 1). An empty device removes an explicit entry.
  void Set(int comNumber, const std::string& device);
  void ClearExplicit();
  // portIndex is 0-based (0 is COM1); empty when nothing stands there.
  std::string DeviceFor(int portIndex) const;
  // Every mapped COM number (1-based) with its device, in ascending order.
  std::map<int, std::string> Entries() const;
  // The lowest COM number without a device.
  int FirstFreeNumber() const;
  // Parses "N=DEVICE" as given to --com; false when malformed.
  bool SetFromArgument(const std::string& argument);

 private:
  std::map<int, std::string> defaults_;
  std::map<int, std::string> explicit_;
};

// The receive ring: written only by the reader pass, read only by the main loop.
inline constexpr std::uint32_t kRxRingSize = 16384;
inline constexpr std::uint32_t kRxRingMask = kRxRingSize - 1;
struct RxRingState {
  std::array<std::uint8_t, kRxRingSize> bytes{};
  std::atomic<std::uint32_t> writeIndex{0};
  std::uint32_t readIndex = 0;
};
extern RxRingState RxRing;
void ResetRxRing();

// 1 from the moment a tick decides to start a reader pass until that pass ends.
extern std::atomic<int> ReaderRunning;
// At most this many bytes move in one pass.
inline constexpr std::size_t kReaderPassLimit = 128;

class Cuart {
 public:
  // 0 open and configured; 1 portIndex + 1 above 256; 2 cannot open (handle none);
  // 3 to 6 the settings were refused (the port stays open).
  int Open(int portIndex, int baudRate);
  // Break, then release; afterwards no port is open.
  void Close();
  // Writes the bytes and waits for the driver to take them; false without a port.
  bool Write(std::span<const std::uint8_t> bytes);
};

// Starts one reader pass on the worker (the caller has checked ReaderRunning is 0 and
// sets it to 1 here). The pass moves at most 128 already-arrived bytes into the ring.
void StartReaderPass();
// Blocks until no reader pass runs (used when the window closes).
void WaitForReaderIdle();
// Runs one pass on the calling thread; returns the bytes stored. For tests that need
// to see a pass's exact effect.
std::size_t ReaderPassNow();
// When set, the worker posts WM_PORT_DATA to the main loop as soon as a pass has stored
// bytes, or when bytes have waited at the port and the line has gone quiet, so that a
// reply is taken without waiting for the next tick.
void EnablePortDataNotices(bool enable);
// The handler of WM_PORT_DATA calls this first, so that the next notice can be posted.
void PortDataNoticeTaken();

}  // namespace telvora
