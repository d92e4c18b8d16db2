// The live queries of the basic page, without the page: requests, reply checks and
// the exact texts the page shows. The command line prints the same texts.
#pragma once

#include <cstdint>
#include <ctime>
#include <span>
#include <string>
#include <string_view>

#include "link/fin.h"

namespace telvora {

enum class QueryStatus {
  kOk,       // answered 'a' with everything the value needs
  kRefused,  // answered 'h': wrong password
  kFailed,   // no reply, a notice line, another type, or too few bytes
};

struct QueryAnswer {
  QueryStatus status = QueryStatus::kFailed;
  std::u16string text;   // what the page puts into its edit (or status line)
  std::u16string text2;  // temperature 2
  std::u16string imei;   // the IMEI query's ImeiText (at most 15 characters)
};

// Texts exactly as the page formats them.
std::u16string FormatVoltage(std::int32_t tenthsOfVolt);
std::u16string FormatTemperature(std::int16_t tenthsOfDegree);
// Six bytes: day, month, year - 2000, hour, minute, second.
std::u16string FormatClock(std::span<const std::uint8_t, 6> bytes);
// The set-clock payload: year - 2000, month, day, hour, minute, second.
std::array<std::uint8_t, 6> ClockPayload(const std::tm& localTime);
// The first 15 bytes of the reply as characters U+0000 to U+00FF, to the first zero.
std::u16string ImeiFromReply(std::span<const std::uint8_t> reply);

// Firmware (4), signal (3) and IMEI (6): a text answer.
QueryAnswer QueryText(Cfin& engine, std::u16string_view password, std::uint8_t command);
QueryAnswer QueryClock(Cfin& engine, std::u16string_view password);
QueryAnswer SetClock(Cfin& engine, std::u16string_view password, const std::tm& localTime);
// The balance code is cut to 15 characters and sent with a zero byte.
QueryAnswer QueryCredit(Cfin& engine, std::u16string_view password, std::u16string_view code);
QueryAnswer QueryVoltage(Cfin& engine, std::u16string_view password);
QueryAnswer QueryTemperatures(Cfin& engine, std::u16string_view password);

// The balance code put into the code edit for each operator item.
std::u16string_view OperatorCode(int item);

}  // namespace telvora
