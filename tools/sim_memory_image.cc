// A believable installation for the simulated unit: a cottage with a door contact and two
// temperature sensors. Texts are Windows-1250 bytes, the way the unit's own menus store them.
#include "tools/sim_memory_image.h"

#include <algorithm>
#include <cstddef>
#include <string_view>

#include "tools/unit_simulator.h"

namespace telvora {
namespace {

void PutText(std::span<std::uint8_t> field, std::string_view text) {
  std::fill(field.begin(), field.end(), std::uint8_t{0});
  std::copy(text.begin(), text.end(), field.begin());
}

void PutLe16(std::span<std::uint8_t> block, std::size_t offset, int value) {
  const auto v = static_cast<std::uint16_t>(value);
  block[offset] = static_cast<std::uint8_t>(v & 0xFFU);
  block[offset + 1] = static_cast<std::uint8_t>(v >> 8);
}

void FillBasicBlock(std::span<std::uint8_t> b) {
  std::fill(b.begin(), b.end(), std::uint8_t{0});
  PutText(b.subspan(0, 64), "Chata Lipno");
  // The tail of an older, longer name ("Chata Lipno nad Vltavou") that the shorter one did not
  // overwrite: the tool must carry such bytes through unchanged.
  PutText(b.subspan(13, 51), "ad Vltavou");
  PutText(b.subspan(64, 64), "vstup1 ");
  PutText(b.subspan(128, 64),
          "Dve\xF8"
          "e");  // Dveře
  PutText(b.subspan(192, 64), "vstup1 v klidu");
  PutText(b.subspan(256, 64),
          "Dve\xF8"
          "e zav\xF8"
          "eny");                                 // Dveře zavřeny
  PutText(b.subspan(320, 64), "nap\xE1jen\xED");  // napájení
  PutText(b.subspan(384, 64), "kuchy\xF2");       // kuchyň
  PutText(b.subspan(448, 64), "venku");
  PutText(b.subspan(512, 64), "topen\xED");  // topení
  PutText(b.subspan(576, 64), "sir\xE9na");  // siréna

  b[640] = 0x1B;            // alarm: in1, in2, T1, T2
  b[641] = 0x02;            // 24h: in2
  b[642] = 0x01;            // silent: in1
  b[643] = 0x03;            // SMS on return: in1, in2
  PutLe16(b, 644, 5);       // in1 minimum pulse 0.5 s
  PutLe16(b, 646, 20);      // in2 minimum pulse 2.0 s
  b[648] = 0;               // in1 closing contact
  b[649] = 2;               // in2 any change
  b[650] = 1;               // user name in SMS
  b[651] = 0x5A;            // reserved
  PutLe16(b, 652, 110);     // analog 11.0 V ..
  PutLe16(b, 654, 145);     // .. 14.5 V
  b[656] = 0x83;            // mains watch, and two flags the tool does not show
  b[657] = 0xA5;            // reserved
  PutLe16(b, 658, 50);      // T1 min 5.0 °C
  PutLe16(b, 660, -200);    // T2 min -20.0 °C
  PutLe16(b, 662, 300);     // T1 max 30.0 °C
  PutLe16(b, 664, 350);     // T2 max 35.0 °C
  PutLe16(b, 666, 60);      // out1 on for 60 s
  PutLe16(b, 668, 5);       // out2 on for 5 s
  PutLe16(b, 670, 0x2011);  // out1: alarm, in1, inverted
  PutLe16(b, 672, 0x4002);  // out2: beep, pulse
  PutLe16(b, 674, 0x0006);  // SMS after on/off and after restart
  b[676] = 1;               // switched on
  b[677] = 0x3C;            // reserved
  PutLe16(b, 678, 5);       // analog hysteresis 0.5 V
  PutLe16(b, 680, 10);      // T1 hysteresis 1.0 °C
  PutLe16(b, 682, 10);      // T2 hysteresis 1.0 °C
  PutLe16(b, 684, 30);      // in1 entry delay
  PutLe16(b, 686, 0);       // in2 entry delay
  PutLe16(b, 688, 60);      // exit delay
}

void FillNumberBlock(std::span<std::uint8_t> b) {
  std::fill(b.begin(), b.end(), std::uint8_t{0});
  constexpr std::size_t kEntries = 64;
  for (std::size_t i = 0; i < kEntries; ++i) {
    PutText(b.subspan(16 * i, 16), "x");
    b[1024 + i] = 10;  // ring length
  }
  PutText(b.subspan(0, 16), "+420602123456");
  PutText(b.subspan(16, 16), "+420737987654");
  PutText(b.subspan(32, 16), "603555111");
  PutText(b.subspan(48, 16), "+42060212345678");  // 15 characters: the zero is the last byte
  // A deleted entry: "x" over a longer number whose tail stays behind.
  PutText(b.subspan(64, 16), "x");
  PutText(b.subspan(67, 13), "0602999888");

  b[1024 + 0] = 20;
  b[1024 + 1] = 15;
  b[1088 + 0] = 2;     // 3 rings
  b[1088 + 1] = 4;     // 5 rings
  b[1152 + 0] = 0x43;  // SMS: in1, in2, system
  b[1152 + 1] = 0x62;  // SMS: in2, return, system
  b[1152 + 2] = 0x1F;
  b[1216 + 0] = 0x01;  // ring: in1
  b[1216 + 1] = 0x05;  // ring: in1, analog
  b[1216 + 3] = 0x18;
}

void FillInternetBlock(std::span<std::uint8_t> b) {
  std::fill(b.begin(), b.end(), std::uint8_t{0});
  PutText(b.subspan(0, 64), "chata-lipno");
  PutText(b.subspan(64, 64), "relay.telvora.example");
}

}  // namespace

void FillUnitMemory(std::span<std::uint8_t> memory) {
  std::fill(memory.begin(), memory.end(), std::uint8_t{0xFF});
  FillBasicBlock(memory.subspan(kSimBasicAddress, kSimBasicSize));
  FillNumberBlock(memory.subspan(kSimNumbersAddress, kSimNumbersSize));
  FillInternetBlock(memory.subspan(kSimInternetAddress, kSimInternetSize));
}

}  // namespace telvora
