// Answers of the draw service as it writes them (numbers as text with a
// decimal comma, spaces between thousands), built as JSON trees so that a
// test can break one field of an otherwise sound answer.
#pragma once

#include <nlohmann/json.hpp>
#include <string>

namespace spelkub::test {

// Odds, streck and teams of match m (1-based) in the answers below, as the
// numbers they stand for.
struct EventNumbers {
  double odds[3];
  double streck[3];
  double refStreck[3];
};

inline EventNumbers NumbersOfEvent(int m) {
  const double favourite = 1.4 + 0.15 * m;
  return {{favourite, 3.1 + 0.05 * m, 9.0 - 0.3 * m},
          {60.0 - m, 25.0, 15.0 + m},
          {58.0 - m, 27.0, 15.0 + m}};
}

// "2,45" for 2.45: the service's form of a number.
inline std::string ServiceText(double number) {
  char text[32];
  std::snprintf(text, sizeof text, "%.2f", number);
  std::string written = text;
  written[written.find('.')] = ',';
  return written;
}

inline nlohmann::json EventAnswer(int m) {
  const EventNumbers numbers = NumbersOfEvent(m);
  const auto percent = [](double value) { return std::to_string(static_cast<int>(value)); };
  nlohmann::json event = {
      {"eventNumber", m},
      {"eventDescription", "Hemma " + std::to_string(m) + " - Borta " + std::to_string(m)},
      {"cancelled", false},
      {"match",
       {{"matchStart", "2026-12-12T16:00:00+01:00"},
        {"participants",
         {{{"type", "home"}, {"name", "Hemma " + std::to_string(m)}, {"id", 100 + m}},
          {{"type", "away"}, {"name", "Borta " + std::to_string(m)}, {"id", 200 + m}}}}}},
      {"odds",
       {{"one", ServiceText(numbers.odds[0])},
        {"x", ServiceText(numbers.odds[1])},
        {"two", ServiceText(numbers.odds[2])}}},
      {"startOdds", {{"one", "1,90"}, {"x", "3,40"}, {"two", "4,00"}}},
      {"svenskaFolket",
       {{"one", percent(numbers.streck[0])},
        {"x", percent(numbers.streck[1])},
        {"two", percent(numbers.streck[2])},
        {"refOne", percent(numbers.refStreck[0])},
        {"refX", percent(numbers.refStreck[1])},
        {"refTwo", percent(numbers.refStreck[2])},
        {"date", "2026-12-10T08:00:00"}}},
  };
  return event;
}

// A draw with `events` matches; the turnover is 12 345 678 kr.
inline nlohmann::json DrawBody(int number, int events = 13) {
  nlohmann::json draw = {{"drawNumber", number},
                         {"drawState", "Open"},
                         {"regCloseTime", "2026-12-12T15:59:00+01:00"},
                         {"currentNetSale", "12 345 678,00"},
                         {"rowPrice", "1,00"},
                         {"extraInfo", ""},
                         {"fund", {{"extraMoney", "0,00"}}},
                         {"drawEvents", nlohmann::json::array()}};
  for (int m = 1; m <= events; ++m) draw["drawEvents"].push_back(EventAnswer(m));
  return draw;
}

inline constexpr double kDrawTurnover = 12345678.0;

// A result: match 3 cancelled with its sign drawn (X), match 5 cancelled with
// none drawn yet; the others 1, X, 2 in turn.
inline nlohmann::json ResultBody(int number, int events = 13) {
  nlohmann::json result = {{"drawNumber", number},
                           {"currentNetSale", "23 456 789,00"},
                           {"events", nlohmann::json::array()},
                           {"distribution",
                            {{{"name", "10 rätt"}, {"winners", 40000}, {"amount", "35,00"}},
                             {{"name", "13 rätt"}, {"winners", 3}, {"amount", "1 234 567,00"}},
                             {{"name", "12 rätt"}, {"winners", "112"}, {"amount", "12 345,00"}},
                             {{"name", "11 rätt"}, {"winners", 2300}, {"amount", "456,00"}}}}};
  for (int m = 1; m <= events; ++m) {
    nlohmann::json event = {{"eventNumber", m}, {"cancelled", m == 3 || m == 5}};
    const char* signs[] = {"1", "X", "2"};
    if (m == 3) {
      event["outcome"] = "X";
    } else if (m == 5) {
      event["outcome"] = "";
    } else {
      event["outcome"] = signs[(m - 1) % 3];
    }
    result["events"].push_back(event);
  }
  return result;
}

inline nlohmann::json JackpotsBody() {
  return {
      {"jackpots",
       {{{"productId", 1},
         {"drawNumber", 4929},
         {"jackpots", {{{"jackpotAmount", "10 000 000,00"}}, {{"jackpotAmount", "500 000,00"}}}}},
        {{"productId", 2}, {"drawNumber", 4929}, {"jackpots", {{{"jackpotAmount", "7,00"}}}}},
        {{"productId", 1}, {"drawNumber", 4930}, {"jackpots", {{{"jackpotAmount", "9,00"}}}}}}}};
}

}  // namespace spelkub::test
