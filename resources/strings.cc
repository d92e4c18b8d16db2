// The string table's texts, exactly as the unit's users have always seen them.
#include "resources/strings.h"

#include "platform/codepage.h"

#include <algorithm>
#include <array>
#include <string>
#include <vector>

namespace telvora {
namespace {

// Sorted by number; String() searches it by halving.
constexpr std::array kTable = std::to_array<StringEntry>({
    {3, "přenos "},
    {5, "data načtena "},
    {6, "chyba čtení dat"},
    {7, "data uložena"},
    {8, "chyba uložení dat"},
    {9, "nesprávné heslo"},
    {10, "vyhledávání portu"},
    {12, "aktivní"},
    {16, "port nalezen !"},
    {17, "port nenalezen ! "},
    {29, "chyba načtení nastavení"},
    {30, "uložení nastavení"},
    {31, "nastavení uloženo"},
    {32, "nastavení načteno"},
    {34, "chybně napsané nové heslo "},
    {35, "hlášení"},
    {36, "nenačteno"},
    {37, "port"},
    {38, "heslo "},
    {39, "nové heslo"},
    {40, "potvrzení "},
    {41, "ulož heslo"},
    {42, "načti nastavení"},
    {43, "ulož nastavení"},
    {48, "neautorizuj čísla "},
    {49, "Nazev uzivatele "},
    {50, "verze firmware "},
    {51, "IMEI číslo gsm modulu"},
    {52, "síla signálu [0 - 33]"},
    {53, "? firmware ?"},
    {54, "? IMEI ?"},
    {55, "? signál ?"},
    {56, "nastavení času"},
    {57, "načti čas"},
    {58, "ulož čas"},
    {59, "zjištění výše kreditu"},
    {60, "načti kredit"},
    {61, "vstup1 "},
    {62, "vstup2"},
    {63, "vstup1 navrat"},
    {64, "vstup2 navrat"},
    {65, "návratová sms"},
    {66, "napeti"},
    {67, "teplota1"},
    {68, "teplota2"},
    {69, "vystup1"},
    {70, "vystup2"},
    {72, "systémová sms"},
    {73, "systémové volby "},
    {74, "vždy zapnuto"},
    {75, "sms po zap/vyp"},
    {76, "sms po restartu"},
    {77, "zapnuto"},
    {78, "název uživatele (max. 63 znaků)"},
    {79, "povolit název\n živatele v sms\nzprávách"},
    {80, "digitální vstupy"},
    {81, "návrat"},
    {82, "název (max.  63 znaků"},
    {83, "min.délka imp.[0,1sec]"},
    {84, "sms po návratu"},
    {85, "povolit "},
    {86, "poplach"},
    {87, "tichý\npoplach"},
    {88, "mód spínání"},
    {89, "analogový vstup"},
    {90, "teploty"},
    {91, "hlídání výpadku\nstř. napětí"},
    {92, "min.[0.1°C]"},
    {93, "max.[0.1°C]"},
    {94, "? napětí ?"},
    {95, "? teploty ?"},
    {100, "pip"},
    {102, "zadej číslo"},
    {103, "vymaž"},
    {104, "seznam telefonních čísel [max.64]"},
    {107, "délka zvonění"},
    {108, "počet prozvonění"},
    {109, "prozvonit"},
    {110, "načti čísla"},
    {111, "ulož čísla"},
    {112, "přímé řízení výstupů"},
    {113, "hystereze [0.1V]"},
    {114, "zp.přích. [sec]"},
    {115, "jednoduché prozvonění"},
    {116, "zpoždění při odchodu [sec]"},
    {117, "min.[0.1V] "},
    {118, "max.[0.1V] "},
    {119, "hystereze [0.1°C] "},
    {120, "výstupy"},
    {121, "doba sepnutí[sec]"},
    {122, "popl."},
    {123, "rušení"},
    {124, "zv."},
    {125, "inverze"},
    {126, "analog in "},
    {127, "impuls"},
    {128, "načti data"},
    {129, "ulož data"},
    {130, "teplota 1 "},
    {131, "teplota 2 "},
    {132, "zapnuto"},
    {134, "spínací"},
    {135, "rozpínací "},
    {136, "změna"},
    {137, "zapnutí"},
    {138, "vypnutí"},
    {139, "zap/vyp"},
    {199, "socket ukončen"},
    {200, "internetová adresa obslužného serveru"},
    {201, "ID uživatele"},
    {202, "relay.telvora.cz"},
    {203, "Telvora"},
    {204, "nuluj_log"},
    {205, "připojuji na internet"},
    {206, "Inicializace WinSock"},
    {207, "Socket vytvořen"},
    {208, "Hostname nalezen"},
    {209, "Hostname nenalezen"},
    {212, "chyba spojení se serverem"},
    {213, "Připojeno k serveru"},
    {214, "odeslana data"},
    {215, "konec přenosu"},
});

constexpr bool IsSortedById() {
  for (std::size_t i = 1; i < kTable.size(); ++i) {
    if (kTable[i - 1].id >= kTable[i].id) {
      return false;
    }
  }
  return true;
}
static_assert(IsSortedById(), "the string table must stay sorted by number");

const StringEntry* Find(int id) {
  const auto* it = std::lower_bound(kTable.begin(), kTable.end(), id,
                                    [](const StringEntry& e, int key) { return e.id < key; });
  return it != kTable.end() && it->id == id ? it : nullptr;
}

}  // namespace

std::string_view String(int id) {
  const StringEntry* e = Find(id);
  return e != nullptr ? e->text : std::string_view{};
}

std::u16string_view StringU16(int id) {
  // Built once, in table order, so that views into it stay valid for the whole run.
  static const std::vector<std::u16string> utf16 = [] {
    std::vector<std::u16string> v;
    v.reserve(kTable.size());
    for (const StringEntry& e : kTable) {
      v.push_back(Utf8ToUtf16(e.text));
    }
    return v;
  }();
  const StringEntry* e = Find(id);
  if (e == nullptr) {
    return {};
  }
  return utf16[static_cast<std::size_t>(e - kTable.data())];
}

std::span<const StringEntry> StringTable() {
  return kTable;
}

}  // namespace telvora
