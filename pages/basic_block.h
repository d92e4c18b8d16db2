// The unit's basic configuration block: its 690-byte layout, described once as a field table,
// and its gathering from and spreading into the basic page's controls.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "pages/block_field.h"
#include "platform/controls.h"

namespace telvora {

class JsonWriter;

inline constexpr std::size_t kBasicBlockSize = 690;
inline constexpr std::uint32_t kBasicBlockAddress = 0x0400;
inline constexpr std::size_t kBasicTextSize = 64;

// Sensor bits of alarmMask, zone24hMask, silentAlarmMask and returnSmsMask.
inline constexpr int kSensorIn1 = 0;
inline constexpr int kSensorIn2 = 1;
inline constexpr int kSensorAnalog = 2;
inline constexpr int kSensorT1 = 3;
inline constexpr int kSensorT2 = 4;
// In returnSmsMask one bit stands for both temperature sensors.
inline constexpr int kReturnSmsTemperatures = 3;

// analogFlags: watching for a failure of the mains voltage. Bits 0 and 1 belong to the unit
// and are not shown; gathering writes them as 0.
inline constexpr int kAnalogMainsWatch = 7;

// Bits of the output control words out1Control and out2Control.
inline constexpr int kOutAlarm = 0;
inline constexpr int kOutBeep = 1;
inline constexpr int kOutInterference = 2;
inline constexpr int kOutZv = 3;
inline constexpr int kOutByIn1 = 4;
inline constexpr int kOutByIn2 = 5;
inline constexpr int kOutByAnalogMin = 6;
inline constexpr int kOutByAnalogMax = 7;
inline constexpr int kOutByT1Min = 8;
inline constexpr int kOutByT1Max = 9;
inline constexpr int kOutByT2Min = 10;
inline constexpr int kOutByT2Max = 11;
inline constexpr int kOutOn = 12;
inline constexpr int kOutInverted = 13;
inline constexpr int kOutPulse = 14;

// Bits of systemOptions.
inline constexpr int kOptAlwaysOn = 0;
inline constexpr int kOptSmsOnSwitch = 1;
inline constexpr int kOptSmsOnRestart = 2;
inline constexpr int kOptSimpleRing = 3;
inline constexpr int kOptNoNumberAuth = 4;

// Check boxes of the basic page that the spreading rule for "zapnuto" ties together.
inline constexpr int kAlwaysOnBox = 1098;
inline constexpr int kSwitchedOnBox = 1118;

// The two switching-mode combo boxes hold six items, taken from these strings in order.
inline constexpr int kInputModeItemCount = 6;
inline constexpr std::array<int, kInputModeItemCount> kInputModeItemStrings = {134, 135, 136,
                                                                               137, 138, 139};

inline constexpr BitBox kAlarmBoxes[] = {
    {kSensorIn1, 1062}, {kSensorIn2, 1063}, {kSensorAnalog, 1064},
    {kSensorT1, 1065},  {kSensorT2, 1066},
};
inline constexpr BitBox kZone24hBoxes[] = {
    {kSensorIn1, 1123}, {kSensorIn2, 1124}, {kSensorAnalog, 1125},
    {kSensorT1, 1126},  {kSensorT2, 1127},
};
inline constexpr BitBox kSilentAlarmBoxes[] = {
    {kSensorIn1, 1128}, {kSensorIn2, 1132}, {kSensorAnalog, 1129},
    {kSensorT1, 1130},  {kSensorT2, 1131},
};
inline constexpr BitBox kReturnSmsBoxes[] = {
    {kSensorIn1, 1056},
    {kSensorIn2, 1057},
    {kSensorAnalog, 1200},
    {kReturnSmsTemperatures, 1201},
};
inline constexpr BitBox kAnalogFlagBoxes[] = {{kAnalogMainsWatch, 1055}};
inline constexpr BitBox kOut1ControlBoxes[] = {
    {kOutAlarm, 1047},   {kOutBeep, 1094},     {kOutInterference, 1049}, {kOutZv, 1051},
    {kOutByIn1, 1067},   {kOutByIn2, 1069},    {kOutByAnalogMin, 1071},  {kOutByAnalogMax, 1073},
    {kOutByT1Min, 1075}, {kOutByT1Max, 1077},  {kOutByT2Min, 1079},      {kOutByT2Max, 1081},
    {kOutOn, 1096},      {kOutInverted, 1133}, {kOutPulse, 1196},
};
inline constexpr BitBox kOut2ControlBoxes[] = {
    {kOutAlarm, 1048},   {kOutBeep, 1095},     {kOutInterference, 1050}, {kOutZv, 1052},
    {kOutByIn1, 1068},   {kOutByIn2, 1070},    {kOutByAnalogMin, 1072},  {kOutByAnalogMax, 1074},
    {kOutByT1Min, 1076}, {kOutByT1Max, 1078},  {kOutByT2Min, 1080},      {kOutByT2Max, 1082},
    {kOutOn, 1097},      {kOutInverted, 1134}, {kOutPulse, 1197},
};
inline constexpr BitBox kSystemOptionBoxes[] = {
    {kOptAlwaysOn, kAlwaysOnBox}, {kOptSmsOnSwitch, 1099},  {kOptSmsOnRestart, 1100},
    {kOptSimpleRing, 1193},       {kOptNoNumberAuth, 1199},
};

// The whole block, in order of offset. Defaults are what the page shows before the first read.
inline constexpr auto kBasicFields = std::to_array<BlockField>({
    TextField("userName", 0, 64, 1058, "název uživatele", u"Nazev uzivatele "),
    TextField("in1Name", 64, 64, 1020, "název vstupu in1", u"vstup1 "),
    TextField("in2Name", 128, 64, 1021, "název vstupu in2", u"vstup2"),
    TextField("in1ReturnText", 192, 64, 1031, "návrat vstupu in1", u"vstup1 navrat"),
    TextField("in2ReturnText", 256, 64, 1032, "návrat vstupu in2", u"vstup2 navrat"),
    TextField("analogName", 320, 64, 1026, "název analogového vstupu", u"napeti"),
    TextField("t1Name", 384, 64, 1033, "název teploty 1", u"teplota1"),
    TextField("t2Name", 448, 64, 1034, "název teploty 2", u"teplota2"),
    TextField("out1Name", 512, 64, 1042, "název výstupu out1", u"vystup1"),
    TextField("out2Name", 576, 64, 1043, "název výstupu out2", u"vystup2"),
    BitsField("alarmMask", 640, 1, kAlarmBoxes, "poplach"),
    BitsField("zone24hMask", 641, 1, kZone24hBoxes, "24h"),
    BitsField("silentAlarmMask", 642, 1, kSilentAlarmBoxes, "tichý poplach"),
    BitsField("returnSmsMask", 643, 1, kReturnSmsBoxes, "sms po návratu"),
    NumberField(FieldKind::kU16, "in1MinPulse", 644, 1022, "min. délka impulzu in1 [0,1 s]", 5),
    NumberField(FieldKind::kU16, "in2MinPulse", 646, 1023, "min. délka impulzu in2 [0,1 s]", 5),
    ComboField("in1Mode", 648, 1024, kInputModeItemCount, "mód spínání in1"),
    ComboField("in2Mode", 649, 1025, kInputModeItemCount, "mód spínání in2"),
    FlagField("userNameInSms", 650, 1059, "název uživatele v sms"),
    ReservedField("reserved651", 651),
    NumberField(FieldKind::kU16, "analogMin", 652, 1027, "analogový vstup min. [0,1 V]"),
    NumberField(FieldKind::kU16, "analogMax", 654, 1029, "analogový vstup max. [0,1 V]", 300),
    BitsField("analogFlags", 656, 1, kAnalogFlagBoxes, "hlídání výpadku stř. napětí"),
    ReservedField("reserved657", 657),
    NumberField(FieldKind::kS16, "t1Min", 658, 1035, "teplota 1 min. [0,1 °C]", -1000),
    NumberField(FieldKind::kS16, "t2Min", 660, 1036, "teplota 2 min. [0,1 °C]", -1000),
    NumberField(FieldKind::kS16, "t1Max", 662, 1037, "teplota 1 max. [0,1 °C]", 990),
    NumberField(FieldKind::kS16, "t2Max", 664, 1038, "teplota 2 max. [0,1 °C]", 990),
    NumberField(FieldKind::kU16, "out1OnTime", 666, 1045, "doba sepnutí out1 [s]", 5),
    NumberField(FieldKind::kU16, "out2OnTime", 668, 1046, "doba sepnutí out2 [s]", 20),
    BitsField("out1Control", 670, 2, kOut1ControlBoxes, "řízení výstupu out1"),
    BitsField("out2Control", 672, 2, kOut2ControlBoxes, "řízení výstupu out2"),
    BitsField("systemOptions", 674, 2, kSystemOptionBoxes, "systémové volby"),
    FlagField("switchedOn", 676, kSwitchedOnBox, "zapnuto"),
    ReservedField("reserved677", 677),
    NumberField(FieldKind::kU16, "analogHysteresis", 678, 1175, "hystereze analog. vstupu [0,1 V]"),
    NumberField(FieldKind::kU16, "t1Hysteresis", 680, 1176, "hystereze teploty 1 [0,1 °C]"),
    NumberField(FieldKind::kU16, "t2Hysteresis", 682, 1177, "hystereze teploty 2 [0,1 °C]"),
    NumberField(FieldKind::kU16, "in1EntryDelay", 684, 1190, "zpoždění příchodu in1 [s]"),
    NumberField(FieldKind::kU16, "in2EntryDelay", 686, 1191, "zpoždění příchodu in2 [s]"),
    NumberField(FieldKind::kU16, "exitDelay", 688, 1194, "zpoždění při odchodu [s]"),
});

static_assert(FieldsTile(kBasicFields, kBasicBlockSize));
static_assert(ControlsWellFormed(kBasicFields));

// The 690 bytes exactly as they travel to the unit and into a settings file.
struct BasicBlock {
  std::array<std::uint8_t, kBasicBlockSize> bytes{};

  friend bool operator==(const BasicBlock&, const BasicBlock&) = default;
};

// Gathers every field from the page's controls into `block`. A refused number leaves the block
// untouched and comes back as a problem (the caller marks its control).
std::vector<FieldProblem> GatherBasicBlock(const DialogControls& controls, BasicBlock& block);
// Shows `block` in the controls. "zapnuto" (1118) also appears checked whenever "vždy
// zapnuto" is set, so that saving the page afterwards writes the unit as switched on.
void SpreadBasicBlock(const BasicBlock& block, DialogControls& controls);
// The texts, numbers and choices the page shows before anything is read.
void SetBasicDefaults(DialogControls& controls);

void WriteBasicBlockJson(JsonWriter& json, const BasicBlock& block);
std::string BasicBlockToJson(const BasicBlock& block);

}  // namespace telvora
