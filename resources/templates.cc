// Control tables of the main window (102), the basic page (130), the numbers page (131) and
// the internet page (134).
#include "resources/templates.h"

#include <array>

namespace telvora {
namespace {

using K = ControlKind;

constexpr ControlTemplate Make(int id, K kind, DluRect r, int string_id, std::string_view text,
                               unsigned style = kStylePlain) {
  ControlTemplate c;
  c.id = id;
  c.kind = kind;
  c.rect = r;
  c.style = style;
  c.string_id = string_id;
  c.text = text;
  return c;
}

constexpr ControlTemplate Label(int id, DluRect r, int string_id) {
  return Make(id, K::kStatic, r, string_id, {});
}
constexpr ControlTemplate LabelText(DluRect r, std::string_view text) {
  return Make(kNoControlId, K::kStatic, r, kNoString, text);
}
constexpr ControlTemplate Edit(int id, DluRect r, std::string_view initial = {},
                               unsigned style = kStylePlain) {
  return Make(id, K::kEdit, r, kNoString, initial, style);
}
constexpr ControlTemplate EditString(int id, DluRect r, int string_id) {
  return Make(id, K::kEdit, r, string_id, {});
}
constexpr ControlTemplate Centred(int id, DluRect r, std::string_view initial = {}) {
  return Edit(id, r, initial, kStyleCentred);
}
constexpr ControlTemplate Password(int id, DluRect r, std::string_view initial) {
  return Make(id, K::kPasswordEdit, r, kNoString, initial);
}
constexpr ControlTemplate Button(int id, DluRect r, int string_id) {
  return Make(id, K::kPushButton, r, string_id, {});
}
constexpr ControlTemplate ButtonText(int id, DluRect r, std::string_view text) {
  return Make(id, K::kPushButton, r, kNoString, text);
}
constexpr ControlTemplate Check(int id, DluRect r, int string_id, unsigned style = kStylePlain) {
  return Make(id, K::kCheckBox, r, string_id, {}, style);
}
constexpr ControlTemplate CheckText(int id, DluRect r, std::string_view text) {
  return Make(id, K::kCheckBox, r, kNoString, text);
}
constexpr ControlTemplate MultiCheck(int id, DluRect r, int string_id) {
  return Make(id, K::kMultiLineCheckBox, r, string_id, {});
}
constexpr ControlTemplate Frame(int id, DluRect r, int string_id) {
  return Make(id, K::kGroupFrame, r, string_id, {});
}
constexpr ControlTemplate Combo(int id, DluRect r, std::span<const std::string_view> items = {}) {
  ControlTemplate c = Make(id, K::kDropDownCombo, r, kNoString, {});
  c.items = items;
  return c;
}

// The output rows' boxes have no caption of their own and share one size.
constexpr int kRowBox = 10;
constexpr int kOut1Y = 282;
constexpr int kOut2Y = 300;
constexpr ControlTemplate Box(int id, int x, int y, std::string_view caption = {}) {
  return CheckText(id, {x, y, caption.empty() ? kRowBox : 24, kRowBox}, caption);
}

// ---- 102: main window ----

constexpr auto kMainControls = std::to_array<ControlTemplate>({
    Label(1012, {6, 366, 78, 8}, 35),
    EditString(1000, {6, 378, 204, 14}, 10),
    ButtonText(1001, {216, 378, 18, 14}, "?"),
    CheckText(1002, {240, 378, 8, 10}, {}),
    Label(1016, {252, 366, 36, 8}, 37),
    Combo(1003, {252, 378, 48, 30}),
    Label(1013, {312, 366, 42, 8}, 38),
    Password(1004, {312, 378, 40, 14}, "5807"),
    Label(1014, {360, 366, 36, 8}, 39),
    Password(1009, {360, 378, 40, 14}, "5807"),
    Label(1015, {408, 366, 42, 8}, 40),
    Password(1010, {408, 378, 40, 14}, "5807"),
    Button(1011, {456, 378, 54, 14}, 41),
    Button(1007, {516, 378, 78, 14}, 42),
    Button(1008, {600, 378, 74, 14}, 43),
});

// ---- 130: basic configuration ----

constexpr auto kBasicControls = std::to_array<ControlTemplate>({
    // Device queries, left column.
    Label(1019, {66, 6, 78, 8}, 50),
    Button(1017, {6, 18, 50, 14}, 53),
    Edit(1018, {66, 18, 120, 14}),
    Label(1135, {66, 36, 60, 8}, 51),
    Button(1101, {6, 48, 50, 14}, 54),
    Edit(1102, {66, 48, 78, 14}),
    Label(1136, {66, 66, 84, 8}, 52),
    Button(1103, {6, 78, 50, 14}, 55),
    Edit(1104, {66, 78, 78, 14}),
    Frame(1137, {6, 96, 168, 48}, 56),
    Edit(1105, {18, 108, 132, 14}),
    Button(1107, {18, 126, 60, 14}, 57),
    Button(1108, {90, 126, 62, 14}, 58),
    Frame(1138, {12, 144, 162, 48}, 59),
    Edit(1109, {18, 156, 66, 14}, "*161*#"),
    Combo(1110, {90, 156, 66, 30}),
    Button(1111, {18, 174, 66, 14}, 60),

    // Top row: user name and exit delay.
    Label(1140, {246, 6, 114, 8}, 78),
    EditString(1058, {222, 18, 228, 14}, 49),
    MultiCheck(1059, {456, 6, 66, 30}, 79),
    Label(1195, {528, 6, 120, 8}, 116),
    Edit(1194, {528, 18, 42, 14}, "0"),

    // Digital inputs.
    Frame(1141, {180, 36, 468, 96}, 80),
    Label(1142, {222, 48, 80, 8}, 82),
    Label(1144, {414, 42, 54, 18}, 83),
    Label(1192, {468, 42, 42, 18}, 114),
    Label(1145, {510, 42, 47, 8}, 88),
    Label(1147, {564, 42, 31, 8}, 85),
    LabelText({192, 60, 10, 8}, "in1"),
    EditString(1020, {222, 60, 192, 14}, 61),
    Centred(1022, {420, 60, 40, 14}, "5"),
    Edit(1190, {468, 60, 40, 14}, "0"),
    Combo(1024, {510, 60, 48, 30}),
    Check(1062, {564, 60, 36, 10}, 86),
    CheckText(1123, {564, 72, 28, 10}, "24h"),
    MultiCheck(1128, {605, 55, 36, 18}, 87),
    Label(1143, {192, 78, 24, 8}, 81),
    EditString(1031, {222, 78, 192, 14}, 63),
    Check(1056, {420, 84, 60, 10}, 84),
    LabelText({192, 96, 10, 8}, "in2"),
    EditString(1021, {222, 96, 192, 14}, 62),
    Centred(1023, {420, 96, 40, 14}, "5"),
    Edit(1191, {468, 96, 40, 14}, "0"),
    Combo(1025, {510, 96, 48, 30}),
    Check(1063, {564, 96, 36, 10}, 86),
    CheckText(1124, {564, 108, 28, 10}, "24h"),
    Check(1132, {606, 96, 36, 8}, 87),
    Label(1146, {192, 114, 24, 8}, 81),
    EditString(1032, {222, 114, 192, 14}, 64),
    Check(1057, {420, 120, 60, 8}, 84),

    // Analog input.
    Frame(1148, {180, 132, 468, 54}, 89),
    Label(1149, {252, 138, 83, 8}, 82),
    Label(1178, {360, 138, 54, 8}, 113),
    Label(1182, {420, 138, 43, 8}, 117),
    Label(1181, {468, 138, 46, 8}, 118),
    LabelText({192, 150, 13, 8}, "an1"),
    EditString(1026, {222, 150, 150, 14}, 66),
    Centred(1175, {378, 150, 36, 14}, "0"),
    Centred(1027, {420, 150, 40, 14}, "0"),
    Centred(1029, {468, 150, 40, 14}, "300"),
    Centred(1054, {516, 150, 40, 14}),
    Check(1064, {564, 150, 36, 10}, 86),
    CheckText(1125, {564, 162, 28, 10}, "24h"),
    MultiCheck(1129, {605, 145, 36, 18}, 87),
    MultiCheck(1055, {300, 168, 72, 18}, 91),
    Check(1200, {420, 168, 72, 10}, 84),
    Button(1053, {510, 168, 50, 14}, 94),

    // Temperatures.
    Frame(1150, {180, 186, 468, 72}, 90),
    Label(1151, {246, 192, 74, 8}, 82),
    Label(1179, {360, 192, 60, 8}, 119),
    Label(1152, {420, 192, 42, 8}, 92),
    Label(1153, {468, 192, 45, 8}, 93),
    LabelText({192, 204, 9, 8}, "T1"),
    EditString(1033, {222, 204, 150, 14}, 67),
    Centred(1176, {378, 204, 36, 14}, "0"),
    Centred(1035, {420, 204, 40, 14}, "-1000"),
    Centred(1037, {468, 204, 40, 14}, "990"),
    Centred(1040, {516, 204, 40, 14}),
    Check(1065, {564, 198, 36, 10}, 86),
    CheckText(1126, {564, 210, 28, 10}, "24h"),
    MultiCheck(1130, {605, 195, 36, 18}, 87),
    LabelText({192, 222, 9, 8}, "T2"),
    EditString(1034, {222, 222, 150, 14}, 68),
    Centred(1177, {378, 222, 36, 14}, "0"),
    Centred(1036, {420, 222, 40, 14}, "-1000"),
    Centred(1038, {468, 222, 40, 14}, "990"),
    Centred(1041, {516, 222, 40, 14}),
    Check(1066, {564, 222, 36, 10}, 86),
    CheckText(1127, {564, 234, 28, 10}, "24h"),
    MultiCheck(1131, {605, 218, 36, 18}, 87),
    Check(1201, {420, 240, 66, 10}, 84),
    Button(1039, {510, 240, 50, 14}, 95),

    // System options.
    Frame(1139, {12, 192, 162, 66}, 73),
    Check(1098, {18, 204, 68, 10}, 74),
    Check(1118, {90, 204, 51, 10}, 77, kStyleDisabled),
    Check(1099, {18, 216, 66, 10}, 75),
    Check(1199, {90, 216, 78, 12}, 48),
    Check(1100, {18, 228, 75, 10}, 76),
    Check(1193, {18, 240, 92, 12}, 115),

    // Outputs.
    Frame(1154, {12, 258, 366, 60}, 120),
    Label(1155, {84, 270, 81, 8}, 82),
    Label(1156, {210, 270, 60, 8}, 121),
    Label(1157, {276, 270, 17, 8}, 122),
    Label(1161, {294, 264, 13, 8}, 100),
    Label(1158, {312, 270, 24, 8}, 123),
    Label(1159, {336, 264, 18, 8}, 124),
    Label(1160, {348, 270, 24, 8}, 125),
    LabelText({18, kOut1Y, 16, 8}, "out1"),
    LabelText({18, kOut2Y, 16, 8}, "out2"),
    EditString(1042, {36, kOut1Y, 198, 14}, 69),
    EditString(1043, {36, kOut2Y, 198, 14}, 70),
    Centred(1045, {240, kOut1Y, 30, 14}, "5"),
    Centred(1046, {240, kOut2Y, 30, 14}, "20"),
    Box(1047, 282, kOut1Y),
    Box(1048, 282, kOut2Y),
    Box(1094, 300, kOut1Y),
    Box(1095, 300, kOut2Y),
    Box(1049, 318, kOut1Y),
    Box(1050, 318, kOut2Y),
    Box(1051, 336, kOut1Y),
    Box(1052, 336, kOut2Y),
    Box(1133, 354, kOut1Y),
    Box(1134, 354, kOut2Y),

    // Direct control of the outputs.
    Frame(1180, {377, 258, 270, 60}, 112),
    Frame(kNoControlId, {381, 265, 68, 51}, kNoString),
    Label(1198, {384, 270, 22, 8}, 127),
    LabelText({408, 270, 16, 8}, "in1"),
    LabelText({432, 270, 16, 8}, "in2"),
    Label(1162, {462, 270, 30, 8}, 126),
    Label(1163, {516, 270, 48, 8}, 130),
    Label(1164, {570, 270, 48, 8}, 131),
    Label(1165, {618, 270, 27, 8}, 132),
    Box(1196, 384, kOut1Y),
    Box(1197, 384, kOut2Y),
    Box(1067, 408, kOut1Y),
    Box(1068, 408, kOut2Y),
    Box(1069, 432, kOut1Y),
    Box(1070, 432, kOut2Y),
    Box(1071, 462, kOut1Y, "min"),
    Box(1072, 462, kOut2Y, "min"),
    Box(1073, 486, kOut1Y, "max"),
    Box(1074, 486, kOut2Y, "max"),
    Box(1075, 516, kOut1Y, "min"),
    Box(1076, 516, kOut2Y, "min"),
    Box(1077, 540, kOut1Y, "max"),
    Box(1078, 540, kOut2Y, "max"),
    Box(1079, 570, kOut1Y, "min"),
    Box(1080, 570, kOut2Y, "min"),
    Box(1081, 594, kOut1Y, "max"),
    Box(1082, 594, kOut2Y, "max"),
    Box(1096, 624, kOut1Y),
    Box(1097, 624, kOut2Y),

    // Block buttons.
    Button(1061, {516, 324, 62, 14}, 128),
    Button(1060, {588, 324, 62, 14}, 129),
});

// ---- 131: telephone numbers ----

constexpr auto kRingCountItems = std::to_array<std::string_view>({"1", "2", "3", "4", "5"});

constexpr ControlTemplate RingCountCombo() {
  return Combo(1087, {186, 120, 48, 30}, kRingCountItems);
}

constexpr auto kNumbersControls = std::to_array<ControlTemplate>({
    Label(1166, {120, 6, 42, 8}, 102),
    Edit(1085, {120, 18, 64, 14}),
    ButtonText(1084, {198, 18, 32, 14}, "--->"),
    Button(1039, {198, 36, 32, 14}, 103),
    Label(1167, {252, 6, 120, 8}, 104),
    Make(1083, K::kListBox, {252, 18, 96, 312}, kNoString, {}, kStyleVScroll),
    Label(1168, {186, 66, 53, 8}, 107),
    Edit(1086, {186, 78, 46, 14}),
    Label(1169, {186, 108, 65, 8}, 108),
    RingCountCombo(),
    Label(1170, {36, 54, 40, 8}, 109),
    LabelText({96, 54, 13, 8}, "sms"),
    LabelText({60, 66, 10, 8}, "in1"),
    LabelText({60, 84, 10, 8}, "in2"),
    LabelText({54, 114, 36, 8}, "analog"),
    Label(1171, {51, 143, 39, 8}, 67),
    Label(1172, {51, 162, 39, 8}, 68),
    Label(1173, {42, 192, 52, 8}, 65),
    Label(1174, {42, 210, 54, 8}, 72),
    Box(1047, 36, 66),
    Box(1048, 96, 66),
    Box(1049, 36, 84),
    Box(1050, 96, 84),
    Box(1051, 36, 114),
    Box(1052, 96, 114),
    Box(1055, 36, 144),
    Box(1088, 96, 144),
    Box(1089, 36, 162),
    Box(1090, 96, 162),
    Box(1063, 96, 192),
    Box(1062, 96, 210),
    Button(1053, {360, 282, 66, 14}, 110),
    Button(1091, {360, 312, 66, 14}, 111),
});

// ---- 134: internet ----

constexpr auto kInternetControls = std::to_array<ControlTemplate>({
    Label(1186, {90, 18, 240, 8}, 200),
    EditString(1033, {90, 30, 240, 14}, 202),
    Label(1187, {90, 54, 240, 8}, 201),
    EditString(1184, {90, 66, 240, 14}, 203),
    ButtonText(1185, {24, 66, 50, 14}, "IMEI -->"),
    Button(1039, {534, 318, 50, 14}, 128),
    Button(1053, {600, 318, 50, 14}, 129),
    LabelText({342, 0, 14, 8}, "logg"),
    Make(1188, K::kRichEdit, {342, 12, 306, 300}, kNoString, {},
         kStyleMultiLine | kStyleReadOnly | kStyleVScroll | kStyleHScroll | kStyleScrollBarsAlways),
    Button(1189, {342, 318, 78, 14}, 204),
});

constexpr std::string_view kDialogFont = "MS Shell Dlg";
constexpr int kDialogFontPoints = 8;

constexpr DialogTemplate MakeDialog(int id, std::string_view title, int w, int h,
                                    std::span<const ControlTemplate> controls) {
  DialogTemplate d;
  d.id = id;
  d.title = title;
  d.width = w;
  d.height = h;
  d.font_name = kDialogFont;
  d.font_points = kDialogFontPoints;
  d.controls = controls;
  return d;
}

constexpr DialogTemplate kMain =
    MakeDialog(kMainWindowTemplate, "Telvora v14-01-21-CZ", 682, 396, kMainControls);
constexpr DialogTemplate kBasic =
    MakeDialog(kBasicPageTemplate, "základní konfigurace", 664, 341, kBasicControls);
constexpr DialogTemplate kNumbers =
    MakeDialog(kNumbersPageTemplate, "telefonní čísla", 664, 341, kNumbersControls);
constexpr DialogTemplate kInternet =
    MakeDialog(kInternetPageTemplate, "internet", 664, 341, kInternetControls);

constexpr auto kAll =
    std::to_array<const DialogTemplate*>({&kMain, &kBasic, &kNumbers, &kInternet});

}  // namespace

const DialogTemplate* FindTemplate(int id) {
  for (const DialogTemplate* d : kAll) {
    if (d->id == id) {
      return d;
    }
  }
  return nullptr;
}

std::span<const DialogTemplate* const> AllTemplates() {
  return kAll;
}

const ControlTemplate* FindControl(const DialogTemplate& dialog, int id) {
  if (id == kNoControlId) {
    return nullptr;
  }
  for (const ControlTemplate& c : dialog.controls) {
    if (c.id == id) {
      return &c;
    }
  }
  return nullptr;
}

}  // namespace telvora
