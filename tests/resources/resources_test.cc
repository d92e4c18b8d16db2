// The string table and the dialog templates as data: lookups, and controls that the window
// code relies on being where and what they are.
#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "resources/strings.h"
#include "resources/templates.h"

namespace telvora {
namespace {

struct StringCase {
  int id;
  const char* text;
};

TEST(StringTable, KeepsTextsExactlyIncludingTrailingSpacesAndLineBreaks) {
  const StringCase cases[] = {
      {3, "přenos "},
      {5, "data načtena "},
      {17, "port nenalezen ! "},
      {34, "chybně napsané nové heslo "},
      {40, "potvrzení "},
      {79, "povolit název\n živatele v sms\nzprávách"},
      {82, "název (max.  63 znaků"},
      {87, "tichý\npoplach"},
      {119, "hystereze [0.1°C] "},
      {135, "rozpínací "},
      {199, "socket ukončen"},
      {202, "relay.telvora.cz"},
      {215, "konec přenosu"},
  };
  for (const StringCase& c : cases) {
    EXPECT_EQ(String(c.id), c.text) << "string " << c.id;
  }
}

TEST(StringTable, NumbersItDoesNotHoldReadAsEmpty) {
  for (int id : {-1, 0, 1, 2, 4, 11, 33, 71, 101, 133, 140, 198, 210, 211, 216, 100000}) {
    EXPECT_TRUE(String(id).empty()) << id;
    EXPECT_TRUE(StringU16(id).empty()) << id;
  }
}

TEST(StringTable, Utf16TextsMatchTheUtf8Ones) {
  EXPECT_EQ(StringU16(87), u"tichý\npoplach");
  EXPECT_EQ(StringU16(92), u"min.[0.1°C]");
  EXPECT_EQ(StringU16(112), u"přímé řízení výstupů");
  for (const StringEntry& e : StringTable()) {
    // Every Czech letter in the table is one UTF-16 unit and two UTF-8 bytes.
    std::size_t two_byte = 0;
    for (unsigned char ch : e.text) {
      two_byte += (ch & 0xC0) == 0xC0 ? 1 : 0;
    }
    EXPECT_EQ(StringU16(e.id).size(), e.text.size() - two_byte) << "string " << e.id;
  }
}

TEST(StringTable, AppTitleIsTheWindowCaption) {
  EXPECT_EQ(kAppTitle, "Telvora v14-01-21-CZ");
  EXPECT_EQ(FindTemplate(kMainWindowTemplate)->title, kAppTitle);
}

TEST(Templates, EveryStringATemplateShowsIsInTheTable) {
  for (const DialogTemplate* d : AllTemplates()) {
    for (const ControlTemplate& c : d->controls) {
      if (c.string_id != kNoString) {
        EXPECT_FALSE(String(c.string_id).empty())
            << d->id << "/" << c.id << " string " << c.string_id;
      }
    }
  }
}

TEST(Templates, IdsAreUniqueAndControlsLieInsideTheirDialog) {
  for (const DialogTemplate* d : AllTemplates()) {
    std::set<int> ids;
    for (const ControlTemplate& c : d->controls) {
      if (c.id != kNoControlId) {
        EXPECT_TRUE(ids.insert(c.id).second) << d->id << " repeats " << c.id;
      }
      EXPECT_GT(c.rect.w, 0) << d->id << "/" << c.id;
      EXPECT_GT(c.rect.h, 0) << d->id << "/" << c.id;
      EXPECT_GE(c.rect.x, 0) << d->id << "/" << c.id;
      EXPECT_GE(c.rect.y, 0) << d->id << "/" << c.id;
      EXPECT_LE(c.rect.x + c.rect.w, d->width) << d->id << "/" << c.id;
      // A combo box's height includes its list, which may drop past the dialog's edge.
      if (c.kind != ControlKind::kDropDownCombo) {
        EXPECT_LE(c.rect.y + c.rect.h, d->height) << d->id << "/" << c.id;
      }
    }
  }
}

struct IdsCase {
  int dialog;
  std::vector<int> ids;
};

// Every control the window code addresses, per template.
TEST(Templates, HoldEveryAddressedControl) {
  const IdsCase cases[] = {
      {102,
       {1000, 1001, 1002, 1003, 1004, 1007, 1008, 1009, 1010, 1011, 1012, 1013, 1014, 1015, 1016}},
      {130,
       {1017, 1018, 1019, 1020, 1021, 1022, 1023, 1024, 1025, 1026, 1027, 1029, 1031, 1032, 1033,
        1034, 1035, 1036, 1037, 1038, 1039, 1040, 1041, 1042, 1043, 1045, 1046, 1047, 1048, 1049,
        1050, 1051, 1052, 1053, 1054, 1055, 1056, 1057, 1058, 1059, 1060, 1061, 1062, 1063, 1064,
        1065, 1066, 1067, 1068, 1069, 1070, 1071, 1072, 1073, 1074, 1075, 1076, 1077, 1078, 1079,
        1080, 1081, 1082, 1094, 1095, 1096, 1097, 1098, 1099, 1100, 1101, 1102, 1103, 1104, 1105,
        1107, 1108, 1109, 1110, 1111, 1118, 1123, 1124, 1125, 1126, 1127, 1128, 1129, 1130, 1131,
        1132, 1133, 1134, 1135, 1136, 1137, 1138, 1139, 1140, 1141, 1142, 1143, 1144, 1145, 1146,
        1147, 1148, 1149, 1150, 1151, 1152, 1153, 1154, 1155, 1156, 1157, 1158, 1159, 1160, 1161,
        1162, 1163, 1164, 1165, 1175, 1176, 1177, 1178, 1179, 1180, 1181, 1182, 1190, 1191, 1192,
        1193, 1194, 1195, 1196, 1197, 1198, 1199, 1200, 1201}},
      {131,
       {1039, 1047, 1048, 1049, 1050, 1051, 1052, 1053, 1055, 1062, 1063, 1083, 1084, 1085, 1086,
        1087, 1088, 1089, 1090, 1091, 1166, 1167, 1168, 1169, 1170, 1171, 1172, 1173, 1174}},
      {134, {1033, 1039, 1053, 1184, 1185, 1186, 1187, 1188, 1189}},
  };
  for (const IdsCase& c : cases) {
    const DialogTemplate* d = FindTemplate(c.dialog);
    ASSERT_NE(d, nullptr) << c.dialog;
    std::set<int> present;
    for (const ControlTemplate& ctl : d->controls) {
      if (ctl.id != kNoControlId) {
        present.insert(ctl.id);
      }
    }
    EXPECT_EQ(present, std::set<int>(c.ids.begin(), c.ids.end())) << "template " << c.dialog;
  }
}

// The output rows of the basic page: one column per control-word bit, the same box in both
// rows.
TEST(Templates, OutputRowBoxesShareTheirColumn) {
  struct Column {
    int out1;
    int out2;
    int x;
  };
  const Column columns[] = {{1047, 1048, 282}, {1094, 1095, 300}, {1049, 1050, 318},
                            {1051, 1052, 336}, {1133, 1134, 354}, {1196, 1197, 384},
                            {1067, 1068, 408}, {1069, 1070, 432}, {1071, 1072, 462},
                            {1073, 1074, 486}, {1075, 1076, 516}, {1077, 1078, 540},
                            {1079, 1080, 570}, {1081, 1082, 594}, {1096, 1097, 624}};
  const DialogTemplate& basic = *FindTemplate(kBasicPageTemplate);
  for (const Column& col : columns) {
    const ControlTemplate* a = FindControl(basic, col.out1);
    const ControlTemplate* b = FindControl(basic, col.out2);
    ASSERT_NE(a, nullptr) << col.out1;
    ASSERT_NE(b, nullptr) << col.out2;
    EXPECT_EQ(a->kind, ControlKind::kCheckBox);
    EXPECT_EQ(a->rect.x, col.x) << col.out1;
    EXPECT_EQ(b->rect.x, col.x) << col.out2;
    EXPECT_EQ(a->rect.y, 282) << col.out1;
    EXPECT_EQ(b->rect.y, 300) << col.out2;
    EXPECT_EQ(a->text, b->text) << col.out1;
  }
}

TEST(Templates, KindsAndStylesTheCodeDependsOn) {
  const DialogTemplate& main = *FindTemplate(kMainWindowTemplate);
  for (int id : {1004, 1009, 1010}) {
    EXPECT_EQ(FindControl(main, id)->kind, ControlKind::kPasswordEdit);
  }
  EXPECT_EQ(FindControl(main, 1003)->kind, ControlKind::kDropDownCombo);

  const DialogTemplate& basic = *FindTemplate(kBasicPageTemplate);
  EXPECT_NE(FindControl(basic, 1118)->style & kStyleDisabled, 0u);
  for (int id : {1022, 1023, 1175, 1027, 1029, 1054, 1176, 1035, 1037, 1040, 1177, 1036, 1038, 1041,
                 1045, 1046}) {
    EXPECT_NE(FindControl(basic, id)->style & kStyleCentred, 0u) << id;
  }
  for (int id : {1059, 1128, 1129, 1130, 1131, 1055}) {
    EXPECT_EQ(FindControl(basic, id)->kind, ControlKind::kMultiLineCheckBox) << id;
  }

  const DialogTemplate& numbers = *FindTemplate(kNumbersPageTemplate);
  const ControlTemplate* rings = FindControl(numbers, 1087);
  ASSERT_EQ(rings->items.size(), 5u);
  for (std::size_t i = 0; i < rings->items.size(); ++i) {
    EXPECT_EQ(rings->items[i], std::string(1, char('1' + i)));
  }
  EXPECT_EQ(FindControl(numbers, 1083)->kind, ControlKind::kListBox);

  const ControlTemplate* log = FindControl(*FindTemplate(kInternetPageTemplate), 1188);
  EXPECT_EQ(log->kind, ControlKind::kRichEdit);
  EXPECT_NE(log->style & kStyleReadOnly, 0u);
}

TEST(Templates, LookupsMissCleanly) {
  EXPECT_EQ(FindTemplate(0), nullptr);
  EXPECT_EQ(FindTemplate(129), nullptr);
  EXPECT_EQ(FindControl(*FindTemplate(kMainWindowTemplate), kNoControlId), nullptr);
  EXPECT_EQ(FindControl(*FindTemplate(kMainWindowTemplate), 1083), nullptr);
  EXPECT_EQ(AllTemplates().size(), 4u);
}

}  // namespace
}  // namespace telvora
