#include "draw/draw_service.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <functional>
#include <nlohmann/json.hpp>

namespace spelkub {

namespace {

using Json = nlohmann::json;

// Nesting deeper than this is no answer of the service; refusing it before
// the tree is built keeps a hostile answer from costing much memory.
constexpr int kMaxDepth = 32;
// Odds above this and turnovers above this are no real values.
constexpr double kMaxOdds = 10000;
constexpr double kMaxAmount = 1e12;
// The public's three streck are whole percentages: their sum is 100 give or
// take the rounding.
constexpr double kStreckSumSlack = 3;

// A refusal on its way out of the reader.
struct Refused {
  std::string what;
};

[[noreturn]] void Refuse(std::string what) {
  throw Refused{std::move(what)};
}

[[noreturn]] void RefuseField(const std::string& path, const std::string& problem) {
  Refuse("Fel i svaret, fältet " + path + ": " + problem);
}

std::string Join(const std::string& path, std::string_view key) {
  return path.empty() ? std::string(key) : path + "." + std::string(key);
}

std::string Indexed(const std::string& path, size_t index) {
  return path + "[" + std::to_string(index) + "]";
}

// A value as it stands in the answer, cut short for a message.
std::string Shown(const Json& value) {
  std::string text = value.dump(-1, ' ', false, Json::error_handler_t::replace);
  if (text.size() > 40) text = text.substr(0, 37) + "...";
  return text;
}

// A number for a message, as the player writes it: "10000", "2,5".
std::string NumberText(double number) {
  char text[64];
  const auto end = std::to_chars(text, text + sizeof text, number, std::chars_format::fixed).ptr;
  std::string written(text, end);
  if (const size_t point = written.find('.'); point != std::string::npos) written[point] = ',';
  return written;
}

std::string KindOf(const Json& value) {
  switch (value.type()) {
    case Json::value_t::null:
      return "null";
    case Json::value_t::object:
      return "ett objekt";
    case Json::value_t::array:
      return "en lista";
    case Json::value_t::string:
      return "texten " + Shown(value);
    case Json::value_t::boolean:
      return value.get<bool>() ? "true" : "false";
    default:
      return "talet " + Shown(value);
  }
}

[[noreturn]] void RefuseKind(const std::string& path, std::string_view wanted, const Json& value) {
  RefuseField(path, "väntade " + std::string(wanted) + ", fick " + KindOf(value));
}

void ExpectObject(const Json& value, const std::string& path) {
  if (!value.is_object()) RefuseKind(path, "ett objekt", value);
}

// A member that must be there.
const Json& Required(const Json& object, const std::string& path, std::string_view key) {
  const auto found = object.find(key);
  if (found == object.end()) Refuse("Fel i svaret: fältet " + Join(path, key) + " saknas");
  return *found;
}

// A member that may be missing or null.
const Json* Optional(const Json& object, std::string_view key) {
  const auto found = object.find(key);
  return found == object.end() || found->is_null() ? nullptr : &*found;
}

int Integer(const Json& value, const std::string& path, int64_t lowest, int64_t highest) {
  if (!value.is_number_integer()) RefuseKind(path, "ett heltal", value);
  const int64_t number =
      value.is_number_unsigned()
          ? static_cast<int64_t>(std::min<uint64_t>(value.get<uint64_t>(), uint64_t{1} << 62))
          : value.get<int64_t>();
  if (number < lowest || number > highest) {
    RefuseField(path, std::to_string(number) + " ligger utanför " + std::to_string(lowest) +
                          " till " + std::to_string(highest));
  }
  return static_cast<int>(number);
}

std::string Text(const Json& value, const std::string& path) {
  if (!value.is_string()) RefuseKind(path, "text", value);
  return value.get<std::string>();
}

std::string OptionalText(const Json& object, const std::string& path, std::string_view key) {
  const Json* value = Optional(object, key);
  return value ? Text(*value, Join(path, key)) : std::string();
}

bool Boolean(const Json& value, const std::string& path) {
  if (!value.is_boolean()) RefuseKind(path, "true eller false", value);
  return value.get<bool>();
}

// A number as text or as a JSON number; NaN for null or "".
double Number(const Json& value, const std::string& path) {
  if (value.is_null()) return kNoValue;
  if (value.is_number()) return value.get<double>();
  if (!value.is_string()) RefuseKind(path, "ett tal", value);
  const std::optional<double> number = ServiceNumber(value.get_ref<const std::string&>());
  if (!number) RefuseField(path, Shown(value) + " är inget tal");
  return *number;
}

// A number within [lowest, highest], or NaN when none is given.
double NumberIn(const Json& value, const std::string& path, double lowest, double highest) {
  const double number = Number(value, path);
  if (std::isnan(number)) return number;
  if (number < lowest || number > highest) {
    RefuseField(path, Shown(value) + " ligger utanför " + NumberText(lowest) + " till " +
                          NumberText(highest));
  }
  return number;
}

double OptionalNumberIn(const Json& object, const std::string& path, std::string_view key,
                        double lowest, double highest) {
  const Json* value = Optional(object, key);
  return value ? NumberIn(*value, Join(path, key), lowest, highest) : kNoValue;
}

constexpr std::array<std::string_view, 3> kSignKeys{"one", "x", "two"};
constexpr std::array<std::string_view, 3> kRefSignKeys{"refOne", "refX", "refTwo"};

// Three numbers of the keys, all given or none ("" or null each); NaN for none.
SignValues Triple(const Json& object, const std::string& path,
                  const std::array<std::string_view, 3>& keys, double lowest, double highest) {
  SignValues values = kNoSignValues;
  int given = 0;
  for (int sign = 0; sign < 3; ++sign) {
    values[sign] =
        NumberIn(Required(object, path, keys[sign]), Join(path, keys[sign]), lowest, highest);
    given += std::isnan(values[sign]) ? 0 : 1;
  }
  if (given != 0 && given != 3) {
    RefuseField(path, "har värden för bara " + std::to_string(given) + " av 1, X och 2");
  }
  return values;
}

SignValues Odds(const Json& event, const std::string& path, std::string_view key) {
  const Json* odds = Optional(event, key);
  if (!odds) return kNoSignValues;
  const std::string at = Join(path, key);
  ExpectObject(*odds, at);
  const SignValues values = Triple(*odds, at, kSignKeys, 1, kMaxOdds);
  for (int sign = 0; sign < 3; ++sign) {
    if (values[sign] == 1) RefuseField(Join(at, kSignKeys[sign]), "odds måste vara större än 1");
  }
  return values;
}

// Streck summing to 0 are not measured yet.
SignValues Streck(const Json& folk, const std::string& path,
                  const std::array<std::string_view, 3>& keys, bool required) {
  bool present = required;
  for (std::string_view key : keys) present = present || folk.contains(key);
  if (!present) return kNoSignValues;
  SignValues values = Triple(folk, path, keys, 0, 100);
  if (std::isnan(values[0])) return values;
  const double sum = values[0] + values[1] + values[2];
  if (sum == 0) return kNoSignValues;
  if (std::abs(sum - 100) > kStreckSumSlack) {
    RefuseField(path, "strecken " + NumberText(values[0]) + ", " + NumberText(values[1]) + " och " +
                          NumberText(values[2]) + " summerar inte till 100");
  }
  return values;
}

void ReadTeams(const Json& event, const std::string& path, DrawEvent& read) {
  const std::string at = Join(path, "match");
  const Json& match = Required(event, path, "match");
  ExpectObject(match, at);
  const std::string participantsAt = Join(at, "participants");
  const Json& participants = Required(match, at, "participants");
  if (!participants.is_array()) RefuseKind(participantsAt, "en lista", participants);
  bool home = false;
  bool away = false;
  for (size_t i = 0; i < participants.size(); ++i) {
    const std::string one = Indexed(participantsAt, i);
    ExpectObject(participants[i], one);
    const std::string type = Text(Required(participants[i], one, "type"), Join(one, "type"));
    if (type != "home" && type != "away") continue;
    bool& seen = type == "home" ? home : away;
    if (seen) RefuseField(Join(one, "type"), "lag av typen \"" + type + "\" finns två gånger");
    seen = true;
    (type == "home" ? read.home : read.away) =
        Text(Required(participants[i], one, "name"), Join(one, "name"));
  }
  if (!home || !away) {
    RefuseField(participantsAt, std::string("saknar ") + (home ? "bortalaget" : "hemmalaget"));
  }
}

DrawEvent ReadEvent(const Json& event, const std::string& path, int matches) {
  ExpectObject(event, path);
  DrawEvent read;
  read.number =
      Integer(Required(event, path, "eventNumber"), Join(path, "eventNumber"), 1, matches);
  read.description = OptionalText(event, path, "eventDescription");
  if (const Json* cancelled = Optional(event, "cancelled"))
    read.cancelled = Boolean(*cancelled, Join(path, "cancelled"));
  ReadTeams(event, path, read);
  read.odds = Odds(event, path, "odds");
  read.startOdds = Odds(event, path, "startOdds");
  if (const Json* folk = Optional(event, "svenskaFolket")) {
    const std::string at = Join(path, "svenskaFolket");
    ExpectObject(*folk, at);
    read.streck = Streck(*folk, at, kSignKeys, true);
    read.refStreck = Streck(*folk, at, kRefSignKeys, false);
  }
  return read;
}

// Places items by their number 1..matches, refusing a number twice.
template <typename Item>
void PlaceByNumber(std::vector<Item>& items, const std::string& path, std::string_view key) {
  std::vector<Item> placed(items.size());
  std::vector<bool> seen(items.size(), false);
  for (size_t i = 0; i < items.size(); ++i) {
    const size_t at = static_cast<size_t>(items[i].number - 1);
    if (seen[at]) {
      RefuseField(Join(Indexed(path, i), key),
                  "nummer " + std::to_string(items[i].number) + " finns två gånger");
    }
    seen[at] = true;
    placed[at] = std::move(items[i]);
  }
  items = std::move(placed);
}

std::string CountProblem(std::string_view what, size_t count, int matches) {
  return std::string(what) + " har " + std::to_string(count) + " matcher, spelet har " +
         std::to_string(matches);
}

Draw ReadDraw(const Json& draw, const std::string& path, int matches) {
  ExpectObject(draw, path);
  Draw read;
  read.number =
      Integer(Required(draw, path, "drawNumber"), Join(path, "drawNumber"), 1, 10'000'000);
  read.state = Text(Required(draw, path, "drawState"), Join(path, "drawState"));
  read.closeTime = OptionalText(draw, path, "regCloseTime");
  read.turnover = OptionalNumberIn(draw, path, "currentNetSale", 0, kMaxAmount);
  read.rowPrice = OptionalNumberIn(draw, path, "rowPrice", 0.01, 10000);
  read.extraInfo = OptionalText(draw, path, "extraInfo");
  const std::string eventsAt = Join(path, "drawEvents");
  const Json& events = Required(draw, path, "drawEvents");
  if (!events.is_array()) RefuseKind(eventsAt, "en lista", events);
  if (events.size() != static_cast<size_t>(matches)) {
    Refuse("Fel i svaret: " +
           CountProblem("omgång " + std::to_string(read.number), events.size(), matches));
  }
  for (size_t i = 0; i < events.size(); ++i)
    read.events.push_back(ReadEvent(events[i], Indexed(eventsAt, i), matches));
  PlaceByNumber(read.events, eventsAt, "eventNumber");
  return read;
}

// Counts the nesting while the syntax is checked, so that a hostile answer is
// refused before any tree is built.
class DepthCheck : public nlohmann::json_sax<Json> {
 public:
  bool null() override { return true; }
  bool boolean(bool) override { return true; }
  bool number_integer(number_integer_t) override { return true; }
  bool number_unsigned(number_unsigned_t) override { return true; }
  bool number_float(number_float_t, const string_t&) override { return true; }
  bool string(string_t&) override { return true; }
  bool binary(binary_t&) override { return true; }
  bool start_object(std::size_t) override { return Deeper(); }
  bool key(string_t&) override { return true; }
  bool end_object() override { return Shallower(); }
  bool start_array(std::size_t) override { return Deeper(); }
  bool end_array() override { return Shallower(); }
  bool parse_error(std::size_t position, const std::string&,
                   const nlohmann::detail::exception&) override {
    errorAt = position;
    return false;
  }

  size_t errorAt = 0;
  bool tooDeep = false;

 private:
  bool Deeper() {
    tooDeep = ++depth_ > kMaxDepth;
    return !tooDeep;
  }
  bool Shallower() {
    --depth_;
    return true;
  }
  int depth_ = 0;
};

Json ParseAnswer(std::string_view text) {
  if (text.size() > kMaxDrawAnswerBytes) {
    Refuse("Svaret är för stort: " + std::to_string(text.size()) + " byte, högst " +
           std::to_string(kMaxDrawAnswerBytes) + " byte");
  }
  if (text.find_first_not_of(" \t\r\n") == std::string_view::npos) Refuse("Svaret är tomt");
  DepthCheck check;
  if (!Json::sax_parse(text, &check)) {
    if (check.tooDeep) Refuse("Svaret är inte tjänstens: för djupt nästlat");
    Refuse("Svaret är ingen giltig JSON (fel vid tecken " + std::to_string(check.errorAt) + ")");
  }
  Json answer = Json::parse(text);
  if (!answer.is_object()) RefuseKind("(svaret)", "ett objekt", answer);
  return answer;
}

template <typename T, typename Read>
DrawParse<T> Parsed(Read read) {
  try {
    return {read(), {}};
  } catch (const Refused& refused) {
    return {std::nullopt, refused.what};
  } catch (const Json::exception& error) {
    // The checks above leave no room for this; a message beats a crash.
    return {std::nullopt, std::string("Svaret kunde inte läsas: ") + error.what()};
  }
}

int OutcomeOf(const Json& event, const std::string& path) {
  const Json* outcome = Optional(event, "outcome");
  if (!outcome) return kOutcomeOpen;
  const std::string sign = Text(*outcome, Join(path, "outcome"));
  if (sign.empty() || sign == "-") return kOutcomeOpen;
  if (sign == "1") return 0;
  if (sign == "X") return 1;
  if (sign == "2") return 2;
  RefuseField(Join(path, "outcome"), "väntade 1, X eller 2, fick " + Shown(*outcome));
}

// "13 rätt" gives 13.
int RightOfLevelName(const Json& value, const std::string& path, int matches) {
  const std::string name = Text(value, path);
  int right = 0;
  const char* end = name.data() + name.size();
  const auto [after, error] = std::from_chars(name.data(), end, right);
  if (error != std::errc() || std::string_view(after, end - after) != " rätt" || right < 1 ||
      right > matches) {
    RefuseField(path, "väntade \"N rätt\" med N från 1 till " + std::to_string(matches) +
                          ", fick " + Shown(value));
  }
  return right;
}

PrizePayout ReadPayout(const Json& level, const std::string& path, int matches) {
  ExpectObject(level, path);
  PrizePayout payout;
  payout.right = RightOfLevelName(Required(level, path, "name"), Join(path, "name"), matches);
  const Json& winners = Required(level, path, "winners");
  const double count = NumberIn(winners, Join(path, "winners"), 0, 1e12);
  if (std::isnan(count) || count != std::floor(count))
    RefuseField(Join(path, "winners"), "väntade ett antal, fick " + Shown(winners));
  payout.winners = static_cast<int64_t>(count);
  payout.amount = NumberIn(Required(level, path, "amount"), Join(path, "amount"), 0, kMaxAmount);
  if (std::isnan(payout.amount)) RefuseField(Join(path, "amount"), "beloppet saknas");
  return payout;
}

DrawResult ReadResult(const Json& result, const std::string& path, int drawNumber, int matches) {
  ExpectObject(result, path);
  DrawResult read;
  read.drawNumber = drawNumber;
  if (const Json* number = Optional(result, "drawNumber")) {
    if (Integer(*number, Join(path, "drawNumber"), 1, 10'000'000) != drawNumber)
      RefuseField(Join(path, "drawNumber"), "väntade omgång " + std::to_string(drawNumber));
  }
  read.turnover = OptionalNumberIn(result, path, "currentNetSale", 0, kMaxAmount);
  const std::string eventsAt = Join(path, "events");
  const Json& events = Required(result, path, "events");
  if (!events.is_array()) RefuseKind(eventsAt, "en lista", events);
  if (events.size() != static_cast<size_t>(matches))
    Refuse("Fel i svaret: " + CountProblem("resultatet", events.size(), matches));
  for (size_t i = 0; i < events.size(); ++i) {
    const std::string at = Indexed(eventsAt, i);
    ExpectObject(events[i], at);
    EventOutcome outcome;
    outcome.number =
        Integer(Required(events[i], at, "eventNumber"), Join(at, "eventNumber"), 1, matches);
    outcome.outcome = OutcomeOf(events[i], at);
    if (const Json* cancelled = Optional(events[i], "cancelled"))
      outcome.cancelled = Boolean(*cancelled, Join(at, "cancelled"));
    read.events.push_back(outcome);
  }
  PlaceByNumber(read.events, eventsAt, "eventNumber");
  if (const Json* distribution = Optional(result, "distribution")) {
    const std::string at = Join(path, "distribution");
    if (!distribution->is_array()) RefuseKind(at, "en lista", *distribution);
    for (size_t i = 0; i < distribution->size(); ++i) {
      const PrizePayout payout = ReadPayout((*distribution)[i], Indexed(at, i), matches);
      for (const PrizePayout& earlier : read.payouts) {
        if (earlier.right == payout.right) {
          RefuseField(Join(Indexed(at, i), "name"),
                      std::to_string(payout.right) + " rätt finns två gånger");
        }
      }
      read.payouts.push_back(payout);
    }
    std::sort(read.payouts.begin(), read.payouts.end(),
              [](const PrizePayout& a, const PrizePayout& b) { return a.right > b.right; });
  }
  return read;
}

}  // namespace

const DrawProduct* DrawProductOf(std::string_view option) {
  for (const DrawProduct& product : kDrawProducts) {
    if (product.option == option) return &product;
  }
  return nullptr;
}

std::string OpenDrawsAddress(std::string_view base, const DrawProduct& product) {
  return std::string(base) + "/draw/1/" + std::string(product.path) + "/draws";
}

std::string DrawAddress(std::string_view base, const DrawProduct& product, int drawNumber) {
  return OpenDrawsAddress(base, product) + "/" + std::to_string(drawNumber);
}

std::string ResultAddress(std::string_view base, const DrawProduct& product, int drawNumber) {
  return DrawAddress(base, product, drawNumber) + "/result";
}

std::string JackpotsAddress(std::string_view base) {
  return std::string(base) + "/draw/1/jackpots";
}

std::string GradeResultText(const DrawResult& result) {
  std::string text;
  for (const EventOutcome& event : result.events)
    text += event.outcome == kOutcomeOpen ? '-' : "1X2"[event.outcome];
  return text;
}

std::string FollowResultText(const DrawResult& result) {
  std::string text;
  for (const EventOutcome& event : result.events) {
    if (!text.empty()) text += ' ';
    // A cancelled match keeps every sign open until its sign is drawn.
    text += event.outcome != kOutcomeOpen ? "1X2"[event.outcome] : event.cancelled ? 'L' : '?';
  }
  return text;
}

bool DrawResult::Complete() const {
  return std::all_of(events.begin(), events.end(),
                     [](const EventOutcome& event) { return event.outcome != kOutcomeOpen; });
}

std::optional<double> ServiceNumber(std::string_view text) {
  // The spaces the service puts between digit groups: plain, no-break
  // (U+00A0) and narrow no-break (U+202F).
  constexpr std::array<std::string_view, 3> kSpaces{" ", "\xC2\xA0", "\xE2\x80\xAF"};
  std::string plain;
  bool comma = false;
  size_t i = 0;
  while (i < text.size()) {
    const auto space = std::find_if(kSpaces.begin(), kSpaces.end(), [&](std::string_view s) {
      return text.substr(i, s.size()) == s;
    });
    if (space != kSpaces.end()) {
      // Between digits only, or around the whole number.
      const bool inside = !plain.empty() && i + space->size() < text.size() &&
                          std::isdigit(static_cast<unsigned char>(plain.back())) &&
                          std::isdigit(static_cast<unsigned char>(text[i + space->size()]));
      const bool around = plain.empty() || text.find_first_not_of(' ', i) == std::string_view::npos;
      if (!inside && !around) return std::nullopt;
      i += space->size();
      continue;
    }
    const char c = text[i++];
    if (c == ',' && !comma && !plain.empty() &&
        std::isdigit(static_cast<unsigned char>(plain.back()))) {
      comma = true;
      plain += '.';
    } else if (std::isdigit(static_cast<unsigned char>(c)) || (c == '-' && plain.empty())) {
      plain += c;
    } else {
      return std::nullopt;
    }
  }
  if (plain.empty()) return kNoValue;
  if (!std::isdigit(static_cast<unsigned char>(plain.back()))) return std::nullopt;
  double number = 0;
  const auto [end, error] = std::from_chars(plain.data(), plain.data() + plain.size(), number);
  if (error != std::errc() || end != plain.data() + plain.size() || !std::isfinite(number))
    return std::nullopt;
  return number;
}

DrawParse<std::vector<Draw>> ParseOpenDraws(std::string_view text, int matches) {
  return Parsed<std::vector<Draw>>([&] {
    const Json answer = ParseAnswer(text);
    const Json& draws = Required(answer, "", "draws");
    if (!draws.is_array()) RefuseKind("draws", "en lista", draws);
    std::vector<Draw> read;
    for (size_t i = 0; i < draws.size(); ++i)
      read.push_back(ReadDraw(draws[i], Indexed("draws", i), matches));
    return read;
  });
}

DrawParse<Draw> ParseDraw(std::string_view text, int drawNumber, int matches) {
  return Parsed<Draw>([&] {
    const Json answer = ParseAnswer(text);
    Draw read;
    if (const Json* draw = Optional(answer, "draw")) {
      read = ReadDraw(*draw, "draw", matches);
    } else if (const Json* draws = Optional(answer, "draws")) {
      if (!draws->is_array()) RefuseKind("draws", "en lista", *draws);
      if (draws->size() != 1)
        RefuseField("draws", "väntade en omgång, fick " + std::to_string(draws->size()));
      read = ReadDraw((*draws)[0], "draws[0]", matches);
    } else {
      Refuse("Fel i svaret: fältet draw saknas");
    }
    if (read.number != drawNumber) {
      RefuseField(
          answer.contains("draw") ? "draw.drawNumber" : "draws[0].drawNumber",
          "väntade omgång " + std::to_string(drawNumber) + ", fick " + std::to_string(read.number));
    }
    return read;
  });
}

DrawParse<DrawResult> ParseDrawResult(std::string_view text, int drawNumber, int matches) {
  return Parsed<DrawResult>([&] {
    const Json answer = ParseAnswer(text);
    const Json& result = Required(answer, "", "result");
    if (result.is_array()) {
      if (result.empty())
        Refuse("Omgång " + std::to_string(drawNumber) + " har inget resultat ännu");
      if (result.size() != 1)
        RefuseField("result", "väntade ett resultat, fick " + std::to_string(result.size()));
      return ReadResult(result[0], "result[0]", drawNumber, matches);
    }
    return ReadResult(result, "result", drawNumber, matches);
  });
}

DrawParse<std::vector<JackpotEntry>> ParseJackpots(std::string_view text) {
  return Parsed<std::vector<JackpotEntry>>([&] {
    const Json answer = ParseAnswer(text);
    const Json& jackpots = Required(answer, "", "jackpots");
    if (!jackpots.is_array()) RefuseKind("jackpots", "en lista", jackpots);
    std::vector<JackpotEntry> read;
    for (size_t i = 0; i < jackpots.size(); ++i) {
      const std::string at = Indexed("jackpots", i);
      ExpectObject(jackpots[i], at);
      JackpotEntry entry;
      entry.productId =
          Integer(Required(jackpots[i], at, "productId"), Join(at, "productId"), 0, 1'000'000);
      entry.drawNumber =
          Integer(Required(jackpots[i], at, "drawNumber"), Join(at, "drawNumber"), 0, 10'000'000);
      const std::string amountsAt = Join(at, "jackpots");
      const Json& amounts = Required(jackpots[i], at, "jackpots");
      if (!amounts.is_array()) RefuseKind(amountsAt, "en lista", amounts);
      for (size_t j = 0; j < amounts.size(); ++j) {
        const std::string one = Indexed(amountsAt, j);
        ExpectObject(amounts[j], one);
        const double amount = NumberIn(Required(amounts[j], one, "jackpotAmount"),
                                       Join(one, "jackpotAmount"), 0, kMaxAmount);
        if (!std::isnan(amount)) entry.amount += amount;
      }
      if (entry.amount > kMaxAmount)
        RefuseField(amountsAt, "summan " + NumberText(entry.amount) + " är orimligt stor");
      for (const JackpotEntry& earlier : read) {
        if (earlier.productId == entry.productId && earlier.drawNumber == entry.drawNumber) {
          RefuseField(at, "produkt " + std::to_string(entry.productId) + " omgång " +
                              std::to_string(entry.drawNumber) + " finns två gånger");
        }
      }
      read.push_back(entry);
    }
    return read;
  });
}

double JackpotOf(const std::vector<JackpotEntry>& entries, const DrawProduct& product,
                 int drawNumber) {
  double sum = kNoValue;
  for (const JackpotEntry& entry : entries) {
    if (entry.productId != product.productId || entry.drawNumber != drawNumber) continue;
    sum = (std::isnan(sum) ? 0 : sum) + entry.amount;
  }
  return sum;
}

std::vector<int> JackpotDrawNumbers(const std::vector<JackpotEntry>& entries,
                                    const DrawProduct& product) {
  std::vector<int> numbers;
  for (const JackpotEntry& entry : entries) {
    if (entry.productId == product.productId && entry.drawNumber > 0 &&
        std::find(numbers.begin(), numbers.end(), entry.drawNumber) == numbers.end()) {
      numbers.push_back(entry.drawNumber);
    }
  }
  std::sort(numbers.begin(), numbers.end(), std::greater<>());
  return numbers;
}

DrawParse<double> ParseJackpot(std::string_view text, const DrawProduct& product, int drawNumber) {
  DrawParse<std::vector<JackpotEntry>> entries = ParseJackpots(text);
  if (!entries.value) return {std::nullopt, std::move(entries.error)};
  return {JackpotOf(*entries.value, product, drawNumber), {}};
}

}  // namespace spelkub
