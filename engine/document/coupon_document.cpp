#include "document/coupon_document.h"

#include <toml++/toml.h>
#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>
#include <initializer_list>
#include <limits>
#include <sstream>
#include <stdexcept>

#include "coupon/choices.h"
#include "coupon/shown_text.h"
#include "io/save_file.h"
#include "value/value_model.h"

namespace spelkub {

namespace {

constexpr std::string_view kSignKinds[] = {"oddsen", "chanserna", "strecken"};
enum SignKind { kOdds = 0, kChance = 1, kStreck = 2 };

// A refusal on its way out of the reader.
struct Refusal {
  int64_t line;
  std::string what;
};

[[noreturn]] void Refuse(int64_t line, std::string what) {
  throw Refusal{std::max<int64_t>(line, 1), std::move(what)};
}

int64_t LineOf(const toml::node& node) {
  return node.source().begin.line;
}

std::string MatchPrefix(int match) {
  return "match " + std::to_string(match) + ": ";
}

std::string MatchesOf(int32_t game) {
  return std::string(Rules(game).name) + " har " + std::to_string(MatchesInPlay(game)) + " matcher";
}

// --- The rules a value must meet, shared by the reader and the writer's check.

bool HasControlCharacter(std::string_view text) {
  return std::any_of(text.begin(), text.end(), [](char c) {
    const auto byte = static_cast<unsigned char>(c);
    return byte < 0x20 || byte == 0x7F;
  });
}

bool IsUtf8(std::string_view text) {
  size_t i = 0;
  while (i < text.size()) {
    const auto lead = static_cast<unsigned char>(text[i]);
    size_t length = 0;
    uint32_t code = 0;
    if (lead < 0x80) {
      ++i;
      continue;
    } else if ((lead & 0xE0) == 0xC0) {
      length = 2;
      code = lead & 0x1F;
    } else if ((lead & 0xF0) == 0xE0) {
      length = 3;
      code = lead & 0x0F;
    } else if ((lead & 0xF8) == 0xF0) {
      length = 4;
      code = lead & 0x07;
    } else {
      return false;
    }
    if (i + length > text.size()) return false;
    for (size_t k = 1; k < length; ++k) {
      const auto next = static_cast<unsigned char>(text[i + k]);
      if ((next & 0xC0) != 0x80) return false;
      code = (code << 6) | (next & 0x3F);
    }
    static constexpr uint32_t kSmallest[] = {0, 0, 0x80, 0x800, 0x10000};
    if (code < kSmallest[length] || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) {
      return false;
    }
    i += length;
  }
  return true;
}

// Team names and conditions: one line of text.
std::string TextProblem(std::string_view text, std::string_view what) {
  if (!IsUtf8(text)) return std::string(what) + " är inte giltig UTF-8";
  if (HasControlCharacter(text)) return std::string(what) + " får inte innehålla styrtecken";
  return {};
}

std::string ConditionProblem(std::string_view condition, size_t index) {
  const std::string what = "villkor " + std::to_string(index + 1);
  if (condition.find_first_not_of(" \t") == std::string_view::npos) return what + " är tomt";
  return TextProblem(condition, what);
}

// One sign's value; the sum is checked by SumProblem.
std::string SignValueProblem(double value, SignKind kind) {
  const std::string what(kSignKinds[kind]);
  if (!std::isfinite(value)) return what + " ska vara ändliga tal";
  if (kind == kOdds && !(value > 1)) return what + " ska vara större än 1";
  if (value < 0) return what + " får inte vara negativa";
  return {};
}

std::string SumProblem(const SignValues& values, SignKind kind) {
  const double sum = values[0] + values[1] + values[2];
  if (kind != kOdds && !(sum > 0)) return std::string(kSignKinds[kind]) + " ska ha en summa över 0";
  if (kind != kOdds && !std::isfinite(sum))
    return std::string(kSignKinds[kind]) + " är för stora att lägga ihop";
  return {};
}

std::string TripleProblem(const SignValues& values, SignKind kind) {
  const int given = static_cast<int>(
      std::count_if(values.begin(), values.end(), [](double v) { return !std::isnan(v); }));
  if (given == 0) return {};
  if (given < 3)
    return std::string(kSignKinds[kind]) + " ska anges för alla tre tecken eller inget";
  for (const double value : values) {
    if (std::string problem = SignValueProblem(value, kind); !problem.empty()) return problem;
  }
  return SumProblem(values, kind);
}

std::string RowPriceProblem(double value) {
  if (!(std::isfinite(value) && value > 0)) return "radpriset ska vara ett tal större än 0";
  return value <= kLargestRowPrice ? "" : "radpriset är orimligt stort";
}
std::string PayoutShareProblem(double value) {
  return value > 0 && value <= 1 ? "" : "utdelningsandelen ska vara större än 0 och högst 1";
}
std::string MinimumPayoutProblem(double value) {
  if (!(std::isfinite(value) && value >= 0)) return "minsta utdelningen ska vara ett tal, minst 0";
  return value <= kLargestAmount ? "" : "minsta utdelningen är orimligt stor";
}
std::string TurnoverProblem(double value) {
  if (!(std::isfinite(value) && value > 0)) return "omsättningen ska vara ett tal större än 0";
  return value <= kLargestAmount ? "" : "omsättningen är orimligt stor";
}
std::string JackpotProblem(double value) {
  if (!(std::isfinite(value) && value >= 0)) return "jackpotten ska vara ett tal, minst 0";
  return value <= kLargestAmount ? "" : "jackpotten är orimligt stor";
}
std::string AmountProblem(double value) {
  return std::isfinite(value) && value >= 0 ? "" : "beloppet ska vara ett tal, minst 0";
}
std::string LevelShareProblem(int right, double share) {
  if (share >= 0 && share <= 1) return {};
  return "andelen för " + std::to_string(right) + " rätt ska vara mellan 0 och 1";
}
std::string LevelSumProblem(const std::vector<PrizeLevel>& levels) {
  double sum = 0;
  for (const PrizeLevel& level : levels) sum += level.share;
  // Shares written as decimals may add up to a hair above 1.
  return sum <= 1 + 1e-9 ? "" : "andelarna per nivå ska tillsammans vara högst 1";
}

// --- Reading.

// Limits of the text's shape that the TOML library does not set itself: it
// reads each part of a dotted key, and each level of an array or inline
// table, a level deeper on the stack, so a long enough key ends the program.
// A coupon's keys have two parts and its lists one level.
constexpr int kMaxKeyParts = 32;
constexpr int kMaxNesting = 256;

// What the library must never see, found before it reads the text: a key of
// too many parts or too deep a nesting, characters beyond ASCII outside
// quotes and comments (where TOML has no place for them, and where they have
// led the library into code it holds unreachable), and a CR that ends a line
// alone. A light scan of quotes, comments, brackets and dots; the reading
// itself is the library's.
void GuardText(std::string_view text) {
  enum class In { kPlain, kComment, kBasic, kLiteral, kMultiBasic, kMultiLiteral };
  In in = In::kPlain;
  int64_t line = 1;
  int depth = 0;
  int dots = 0;  // dots of the key (or number) being read
  // A UTF-8 byte-order mark may open the text.
  for (size_t i = text.starts_with("\xEF\xBB\xBF") ? 3 : 0; i < text.size(); ++i) {
    const char c = text[i];
    if (c == '\r' && (i + 1 == text.size() || text[i + 1] != '\n')) {
      Refuse(line, "radslut med bara CR (byte 0x0D): spara filen med radslut LF eller CR LF");
    }
    if (c == '\n') {
      ++line;
      dots = 0;
      // A one-line text or a comment ends here; a text left open is the
      // library's to refuse.
      if (in == In::kComment || in == In::kBasic || in == In::kLiteral) in = In::kPlain;
      continue;
    }
    const std::string_view rest = text.substr(i);
    switch (in) {
      case In::kComment:
        continue;
      case In::kBasic:
      case In::kMultiBasic:
        if (c == '\\' && i + 1 < text.size() && text[i + 1] != '\n' && text[i + 1] != '\r') {
          ++i;
        } else if (in == In::kBasic && c == '"') {
          in = In::kPlain;
        } else if (in == In::kMultiBasic && rest.starts_with("\"\"\"")) {
          in = In::kPlain;
          i += 2;
        }
        continue;
      case In::kLiteral:
        if (c == '\'') in = In::kPlain;
        continue;
      case In::kMultiLiteral:
        if (rest.starts_with("'''")) {
          in = In::kPlain;
          i += 2;
        }
        continue;
      case In::kPlain:
        break;
    }
    const auto byte = static_cast<unsigned char>(c);
    if (byte >= 0x80) {
      if (rest.starts_with("\u00A0")) {
        Refuse(line, "hårt mellanslag (U+00A0) utanför citattecken: skriv ett vanligt mellanslag");
      }
      Refuse(line, "tecken utöver ASCII får bara stå inom citattecken eller i en kommentar");
    }
    if (c == '#') {
      in = In::kComment;
    } else if (c == '"') {
      in = rest.starts_with("\"\"\"") ? In::kMultiBasic : In::kBasic;
      if (in == In::kMultiBasic) i += 2;
    } else if (c == '\'') {
      in = rest.starts_with("'''") ? In::kMultiLiteral : In::kLiteral;
      if (in == In::kMultiLiteral) i += 2;
    } else if (c == '.') {
      if (++dots >= kMaxKeyParts) {
        Refuse(line, "nyckeln har för många delar (högst " + std::to_string(kMaxKeyParts) + ")");
      }
    } else if (c == '[' || c == '{') {
      dots = 0;
      if (++depth > kMaxNesting) {
        Refuse(line, "för djupt nästlat (högst " + std::to_string(kMaxNesting) + " nivåer)");
      }
    } else if (c == ']' || c == '}') {
      dots = 0;
      depth = std::max(depth - 1, 0);
    } else if (!std::isalnum(byte) && c != '_' && c != '-' && c != ' ' && c != '\t') {
      dots = 0;  // the key or number ended
    }
  }
}

// Where a parse error stands on a digit and a comma, a decimal comma is the
// likely mistake: TOML writes decimals with a point.
bool DecimalCommaAt(std::string_view text, const toml::source_region& where) {
  size_t at = 0;
  for (auto line = where.begin.line; line > 1 && at < text.size(); --line) {
    const size_t newline = text.find('\n', at);
    if (newline == std::string_view::npos) return false;
    at = newline + 1;
  }
  const size_t end = std::min(text.find('\n', at), text.size());
  const std::string_view line = text.substr(at, end - at);
  for (size_t comma = line.find(','); comma != std::string_view::npos;
       comma = line.find(',', comma + 1)) {
    if (comma > 0 && comma + 1 < line.size() &&
        std::isdigit(static_cast<unsigned char>(line[comma - 1])) &&
        std::isdigit(static_cast<unsigned char>(line[comma + 1])) &&
        line.find('[') == std::string_view::npos) {
      return true;
    }
  }
  return false;
}

constexpr std::string_view kDecimalPoint = " (decimaltal skrivs med punkt, t.ex. 1.85)";

// The gist of a toml++ parse error, in Swedish.
std::string ParseErrorGist(std::string_view description) {
  if (const size_t colon = description.find(": ");
      description.starts_with("Error while parsing") && colon != std::string_view::npos) {
    description.remove_prefix(colon + 2);
  }
  std::string lower(description);
  std::transform(lower.begin(), lower.end(), lower.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  const auto has = [&lower](std::string_view part) {
    return lower.find(part) != std::string::npos;
  };
  if (has("utf-8")) return "ogiltig UTF-8";
  if (has("redefine") || has("cannot insert")) return "nyckeln finns redan";
  if (has("control character")) return "otillåtet styrtecken";
  if (has("end-of-file") || has("eof")) return "texten tar slut för tidigt";
  if (has("escape")) return "okänd escape-sekvens i texten";
  if (has("nested")) return "för djupt nästlat";
  if (has("representable") || has("interpreted") || has("exceed") || has("too long")) {
    return "talet kan inte läsas";
  }
  if (has("underscore") || has("leading zero") || has("digit") || has("exponent")) {
    return "felaktigt tal";
  }
  if (has("year") || has("month") || has("day") || has("hour") || has("minute") || has("second")) {
    return "felaktigt datum eller klockslag";
  }
  if (has("value type")) return "okänt värde";
  if (const size_t saw = description.find("saw '"); saw != std::string_view::npos) {
    const std::string_view rest = description.substr(saw + 5);
    const size_t end = rest.rfind('\'');
    std::string_view seen = rest.substr(0, end);
    // What toml++ saw can run to the line's end: the message stays one line.
    while (!seen.empty() && (seen.back() == '\n' || seen.back() == '\r')) seen.remove_suffix(1);
    if (end == std::string_view::npos || seen.empty()) return "oväntat tecken";
    // toml++ shows a control character as an escape such as \u0001.
    if (seen.size() > 1 && seen[0] == '\\') return "otillåtet styrtecken";
    if (HasControlCharacter(seen)) return "otillåtet styrtecken";
    return "oväntat tecken " + Quoted(seen);
  }
  if (has("comma")) return "oväntat kommatecken";
  return "texten är inte giltig TOML";
}

// Refuses the first key, by line, that is not one of `known`.
void OnlyKeys(const toml::table& table, std::initializer_list<std::string_view> known,
              std::string_view where = {}) {
  const toml::key* unknown = nullptr;
  for (const auto& [key, node] : table) {
    if (std::find(known.begin(), known.end(), key.str()) != known.end()) continue;
    if (!unknown || key.source().begin.line < unknown->source().begin.line) unknown = &key;
  }
  if (unknown) {
    Refuse(unknown->source().begin.line,
           std::string(where) + "okänd nyckel " + Quoted(unknown->str()));
  }
}

std::string KeyName(std::string_view key) {
  return Quoted(key);
}

const std::string& TextValue(const toml::node& node, std::string_view key) {
  const auto* text = node.as_string();
  if (!text) Refuse(LineOf(node), KeyName(key) + " ska vara en text");
  return text->get();
}

int64_t IntegerValue(const toml::node& node, std::string_view key) {
  const auto* integer = node.as_integer();
  if (!integer) Refuse(LineOf(node), KeyName(key) + " ska vara ett heltal");
  return integer->get();
}

double NumberValue(const toml::node& node, std::string_view key) {
  if (const auto* integer = node.as_integer()) return static_cast<double>(integer->get());
  const auto* number = node.as_floating_point();
  if (!number) Refuse(LineOf(node), KeyName(key) + " ska vara ett tal");
  return number->get();
}

bool BoolValue(const toml::node& node, std::string_view key) {
  const auto* flag = node.as_boolean();
  if (!flag) Refuse(LineOf(node), KeyName(key) + " ska vara true eller false");
  return flag->get();
}

const toml::table& TableValue(const toml::node& node, std::string_view key) {
  const auto* table = node.as_table();
  if (!table) Refuse(LineOf(node), KeyName(key) + " ska vara en tabell [" + std::string(key) + "]");
  return *table;
}

// A number in a table, refused with `prefix` and its line when `problem` says so.
template <typename Problem>
void ReadNumber(const toml::table& table, std::string_view key, double& out, Problem problem) {
  const toml::node* node = table.get(key);
  if (!node) return;
  const double value = NumberValue(*node, key);
  if (std::string what = problem(value); !what.empty()) Refuse(LineOf(*node), what);
  out = value;
}

int32_t ReadGame(const toml::table& root) {
  const toml::node* node = root.get("game");
  if (!node) Refuse(1, "\"game\" saknas");
  const std::string& word = TextValue(*node, "game");
  const std::optional<GameType> game = GameOfOption(word);
  if (!game) {
    Refuse(LineOf(*node), "okänt spel " + Quoted(word) + ", väntade " +
                              GameList([](const GameRules& rules) { return rules.option; }));
  }
  return *game;
}

int32_t ReadGoals(const toml::table& root) {
  const toml::node* node = root.get("goals");
  if (!node) return kGoalsNone;
  const std::string& text = TextValue(*node, "goals");
  if (text.empty()) return kGoalsNone;
  const std::optional<GoalsChoice> goals = GoalsOfText(text);
  if (!goals) {
    Refuse(LineOf(*node), "okänt antal mål " + Quoted(text) + ", väntade 0-1, 2, 3 eller F");
  }
  return *goals;
}

int32_t ReadDraw(const toml::table& root) {
  const toml::node* node = root.get("draw");
  if (!node) return 0;
  const int64_t draw = IntegerValue(*node, "draw");
  if (draw < 1 || draw > kMostDraw) {
    Refuse(LineOf(*node),
           "\"draw\" ska vara ett omgångsnummer från 1 till " + std::to_string(kMostDraw));
  }
  return static_cast<int32_t>(draw);
}

// "1, 2, 5 eller 10".
std::string StakesText(const GameRules& rules) {
  std::string text;
  for (size_t i = 0; i < rules.stakes.size(); ++i) {
    if (i > 0) text += i + 1 == rules.stakes.size() ? " eller " : ", ";
    text += std::to_string(rules.stakes[i]);
  }
  return text.empty() ? "1" : text;
}

std::string StakeProblem(int32_t game, int64_t stake) {
  const GameRules& rules = Rules(game);
  if (stake >= 1 && stake <= 1000 && TakesStake(rules, static_cast<int>(stake))) return {};
  return std::string(rules.name) + " tar insatsen " + StakesText(rules) + " kr per rad";
}

int32_t ReadStake(const toml::table& root, int32_t game) {
  const toml::node* node = root.get("stake");
  if (!node) return 1;
  const int64_t stake = IntegerValue(*node, "stake");
  if (std::string problem = StakeProblem(game, stake); !problem.empty()) {
    Refuse(LineOf(*node), "\"stake\": " + problem);
  }
  return static_cast<int32_t>(stake);
}

// The UTF-8 sequence starting at `i`, for naming a wrong sign.
std::string_view CharacterAt(std::string_view text, size_t i) {
  size_t length = 1;
  while (i + length < text.size() &&
         (static_cast<unsigned char>(text[i + length]) & 0xC0) == 0x80) {
    ++length;
  }
  return text.substr(i, length);
}

void ReadMark(const toml::node& node, int match, CouponDocument& document) {
  const std::string& mark = TextValue(node, "mark");
  for (size_t i = 0; i < mark.size(); i += CharacterAt(mark, i).size()) {
    const int outcome = SignOutcome(mark[i]);
    if (outcome < 0) {
      Refuse(LineOf(node), "match " + std::to_string(match) + " har tecknet " +
                               Quoted(CharacterAt(mark, i)) + ", väntade 1, X eller 2");
    }
    bool& marked = document.marks[CellIndex(match, outcome)];
    if (marked) {
      Refuse(LineOf(node), "match " + std::to_string(match) + " har tecknet " +
                               std::string(1, mark[i]) + " två gånger");
    }
    marked = true;
  }
}

void ReadResult(const toml::node& node, int match, CouponDocument& document) {
  const std::string& result = TextValue(node, "result");
  if (result.empty()) return;
  const int outcome = result.size() == 1 ? SignOutcome(result[0]) : -1;
  if (outcome < 0) {
    Refuse(LineOf(node), "match " + std::to_string(match) + " har resultatet " + Quoted(result) +
                             ", väntade 1, X eller 2");
  }
  document.results[match - 1] = outcome;
}

void ReadTeam(const toml::node& node, std::string_view key, int match, std::string& out) {
  const std::string& name = TextValue(node, key);
  // toml++ has already refused invalid UTF-8.
  if (HasControlCharacter(name)) {
    Refuse(LineOf(node), MatchPrefix(match) + "lagnamnet får inte innehålla styrtecken");
  }
  out = name;
}

void ReadTriple(const toml::node& node, std::string_view key, SignKind kind, int match,
                SignValues& out) {
  const toml::array* array = node.as_array();
  if (!array || array->size() != 3) {
    // Six whole numbers are three decimals written with commas.
    const bool commas = array && array->size() == 6 &&
                        std::all_of(array->begin(), array->end(),
                                    [](const toml::node& element) { return element.is_integer(); });
    Refuse(LineOf(node), KeyName(key) + " ska vara en lista med tre tal, för 1, X och 2" +
                             (commas ? std::string(kDecimalPoint) : std::string()));
  }
  SignValues values{};
  for (size_t sign = 0; sign < 3; ++sign) {
    const toml::node& element = *array->get(sign);
    values[sign] = NumberValue(element, key);
    if (std::string problem = SignValueProblem(values[sign], kind); !problem.empty()) {
      Refuse(LineOf(element), MatchPrefix(match) + problem);
    }
  }
  if (std::string problem = SumProblem(values, kind); !problem.empty()) {
    Refuse(LineOf(node), MatchPrefix(match) + problem);
  }
  out = values;
}

void ReadMatch(const toml::table& table, int match, CouponDocument& document) {
  OnlyKeys(table, {"number", "home", "away", "mark", "odds", "chance", "streck", "result"},
           MatchPrefix(match));
  const toml::node* number = table.get("number");
  if (!number) Refuse(LineOf(table), "\"number\" saknas i match " + std::to_string(match));
  if (IntegerValue(*number, "number") != match) {
    Refuse(LineOf(*number), "matchnumret ska vara " + std::to_string(match));
  }
  const toml::node* mark = table.get("mark");
  if (!mark) Refuse(LineOf(table), "\"mark\" saknas i match " + std::to_string(match));
  ReadMark(*mark, match, document);

  MatchValue& value = document.values.match[match - 1];
  if (const toml::node* home = table.get("home")) ReadTeam(*home, "home", match, value.home);
  if (const toml::node* away = table.get("away")) ReadTeam(*away, "away", match, value.away);
  if (const toml::node* odds = table.get("odds"))
    ReadTriple(*odds, "odds", kOdds, match, value.odds);
  if (const toml::node* chance = table.get("chance")) {
    ReadTriple(*chance, "chance", kChance, match, value.chance);
  }
  if (const toml::node* streck = table.get("streck")) {
    ReadTriple(*streck, "streck", kStreck, match, value.streck);
  }
  if (const toml::node* result = table.get("result")) ReadResult(*result, match, document);
}

void ReadMatches(const toml::table& root, int64_t gameLine, CouponDocument& document) {
  const int matches = MatchesInPlay(document.game);
  const toml::node* node = root.get("match");
  const toml::array* array = node ? node->as_array() : nullptr;
  if (node && (!array || !array->is_array_of_tables())) {
    Refuse(LineOf(*node), "\"match\" ska vara tabeller [[match]], en per match");
  }
  const int given = array ? static_cast<int>(array->size()) : 0;
  if (given > matches) {
    Refuse(LineOf(*array->get(static_cast<size_t>(matches))),
           "en match för mycket, " + MatchesOf(document.game));
  }
  if (given < matches) {
    Refuse(gameLine,
           "kupongen har " + std::to_string(given) + " matcher, " + MatchesOf(document.game));
  }
  for (int match = 1; match <= matches; ++match) {
    ReadMatch(*array->get(static_cast<size_t>(match - 1))->as_table(), match, document);
  }
}

void ReadLevels(const toml::table& table, int matches, PoolModel& pool) {
  pool.levels.clear();
  for (const auto& [key, node] : table) {
    int right = 0;
    const std::string_view name = key.str();
    const auto [end, error] = std::from_chars(name.data(), name.data() + name.size(), right);
    if (error != std::errc{} || end != name.data() + name.size() || right < 1 || right > matches ||
        std::to_string(right) != name) {
      Refuse(key.source().begin.line,
             "okänd nivå " + Quoted(name) + ", väntade antal rätt 1-" + std::to_string(matches));
    }
    const double share = NumberValue(node, name);
    if (std::string problem = LevelShareProblem(right, share); !problem.empty()) {
      Refuse(LineOf(node), problem);
    }
    pool.levels.push_back({right, share});
  }
  std::sort(pool.levels.begin(), pool.levels.end(),
            [](const PrizeLevel& a, const PrizeLevel& b) { return a.right > b.right; });
  if (std::string problem = LevelSumProblem(pool.levels); !problem.empty()) {
    Refuse(LineOf(table), problem);
  }
}

void ReadPool(const toml::table& root, CouponDocument& document) {
  const toml::node* node = root.get("pool");
  if (!node) return;
  const toml::table& table = TableValue(*node, "pool");
  OnlyKeys(table,
           {"row_price", "payout_share", "minimum_payout", "turnover", "jackpot", "level_share"},
           "[pool]: ");
  PoolModel& pool = document.pool;
  ReadNumber(table, "row_price", pool.rowPrice, RowPriceProblem);
  ReadNumber(table, "payout_share", pool.payoutShare, PayoutShareProblem);
  ReadNumber(table, "minimum_payout", pool.minimumPayout, MinimumPayoutProblem);
  ReadNumber(table, "turnover", pool.turnover, TurnoverProblem);
  ReadNumber(table, "jackpot", pool.jackpot, JackpotProblem);
  if (const toml::node* levels = table.get("level_share")) {
    ReadLevels(TableValue(*levels, "pool.level_share"), MatchesInPlay(document.game), pool);
  }
}

void ReadConditions(const toml::table& root, CouponDocument& document) {
  const toml::node* node = root.get("conditions");
  if (!node) return;
  const toml::table& table = TableValue(*node, "conditions");
  OnlyKeys(table, {"use", "max_broken", "list"}, "[conditions]: ");
  if (const toml::node* use = table.get("use")) document.useConditions = BoolValue(*use, "use");
  if (const toml::node* broken = table.get("max_broken")) {
    const int64_t value = IntegerValue(*broken, "max_broken");
    if (value < 0) Refuse(LineOf(*broken), "\"max_broken\" får inte vara negativt");
    if (value > std::numeric_limits<int32_t>::max()) {
      Refuse(LineOf(*broken), "\"max_broken\" är för stort");
    }
    document.maxBroken = static_cast<int32_t>(value);
  }
  if (const toml::node* list = table.get("list")) {
    const toml::array* array = list->as_array();
    if (!array) Refuse(LineOf(*list), "\"list\" ska vara en lista med texter");
    for (size_t i = 0; i < array->size(); ++i) {
      const toml::node& element = *array->get(i);
      if (!element.is_string()) Refuse(LineOf(element), "\"list\" ska vara en lista med texter");
      const std::string& condition = element.as_string()->get();
      if (std::string problem = ConditionProblem(condition, i); !problem.empty()) {
        Refuse(LineOf(element), problem);
      }
      document.conditions.push_back(condition);
    }
  }
}

// --- The draw service's snapshots and the odds method.

constexpr std::string_view kOddsMethods[] = {"proportional", "power"};

// Per match in play a triple or [] for none.
void ReadSnapshotTriples(const toml::table& table, std::string_view key, SignKind kind, int matches,
                         std::array<SignValues, kMaxMatches>& out) {
  const toml::node* node = table.get(key);
  if (!node) Refuse(LineOf(table), "[[snapshot]]: " + KeyName(key) + " saknas");
  const toml::array* array = node->as_array();
  if (!array || array->size() != static_cast<size_t>(matches)) {
    Refuse(LineOf(*node), "[[snapshot]]: " + KeyName(key) + " ska ha en lista per match, " +
                              std::to_string(matches) + " listor");
  }
  for (int match = 1; match <= matches; ++match) {
    const toml::node& element = *array->get(static_cast<size_t>(match - 1));
    if (const toml::array* triple = element.as_array(); triple && triple->empty()) continue;
    ReadTriple(element, key, kind, match, out[match - 1]);
  }
}

DrawSnapshot ReadSnapshot(const toml::table& table, int matches, bool& chosen) {
  OnlyKeys(
      table,
      {"time", "source", "draw", "chosen", "turnover", "jackpot", "odds", "streck", "ref_streck"},
      "[[snapshot]]: ");
  DrawSnapshot snapshot;
  for (auto [key, out] : {std::pair{"time", &snapshot.time}, {"source", &snapshot.source}}) {
    const toml::node* node = table.get(key);
    if (!node) Refuse(LineOf(table), std::string("[[snapshot]]: \"") + key + "\" saknas");
    *out = TextValue(*node, key);
    if (std::string problem = TextProblem(*out, key); !problem.empty())
      Refuse(LineOf(*node), problem);
  }
  const toml::node* draw = table.get("draw");
  if (!draw) Refuse(LineOf(table), "[[snapshot]]: \"draw\" saknas");
  const int64_t number = IntegerValue(*draw, "draw");
  if (number < 1 || number > std::numeric_limits<int32_t>::max())
    Refuse(LineOf(*draw), "[[snapshot]]: \"draw\" ska vara ett positivt heltal");
  snapshot.draw = static_cast<int32_t>(number);
  chosen = false;
  if (const toml::node* flag = table.get("chosen")) chosen = BoolValue(*flag, "chosen");
  ReadNumber(table, "turnover", snapshot.turnover, AmountProblem);
  ReadNumber(table, "jackpot", snapshot.jackpot, AmountProblem);
  ReadSnapshotTriples(table, "odds", kOdds, matches, snapshot.odds);
  ReadSnapshotTriples(table, "streck", kStreck, matches, snapshot.streck);
  ReadSnapshotTriples(table, "ref_streck", kStreck, matches, snapshot.refStreck);
  return snapshot;
}

void ReadSnapshots(const toml::table& root, CouponDocument& document) {
  if (const toml::node* node = root.get("odds_method")) {
    const std::string& method = TextValue(*node, "odds_method");
    if (method != kOddsMethods[0] && method != kOddsMethods[1]) {
      Refuse(LineOf(*node), "okänd metod " + Quoted(method) + ", väntade proportional eller power");
    }
    document.oddsMethod = method == "power" ? OddsMethod::kPower : OddsMethod::kProportional;
  }
  const toml::node* node = root.get("snapshot");
  if (!node) return;
  const toml::array* array = node->as_array();
  if (!array || !array->is_array_of_tables())
    Refuse(LineOf(*node), "\"snapshot\" ska vara tabeller [[snapshot]]");
  if (array->size() > kMaxSnapshots) {
    Refuse(LineOf(*node), "fler än " + std::to_string(kMaxSnapshots) + " ögonblicksbilder");
  }
  const int matches = MatchesInPlay(document.game);
  for (size_t i = 0; i < array->size(); ++i) {
    const toml::table& table = *array->get(i)->as_table();
    bool chosen = false;
    document.snapshots.push_back(ReadSnapshot(table, matches, chosen));
    if (!chosen) continue;
    if (document.chosenSnapshot >= 0)
      Refuse(LineOf(table), "[[snapshot]]: bara en ögonblicksbild kan vara vald");
    document.chosenSnapshot = static_cast<int>(i);
  }
}

CouponDocument ReadDocument(const toml::table& root) {
  // The version comes first: a newer file is refused for its version, not
  // for the keys this version does not know.
  const toml::node* format = root.get("format");
  if (!format) Refuse(1, "\"format\" saknas");
  if (const int64_t version = IntegerValue(*format, "format"); version != kCouponDocumentFormat) {
    Refuse(LineOf(*format), "kupongen har format " + std::to_string(version) +
                                ", programmet läser format " +
                                std::to_string(kCouponDocumentFormat));
  }
  OnlyKeys(root, {"format", "game", "goals", "draw", "stake", "pool", "conditions", "match",
                  "odds_method", "snapshot"});
  const int32_t game = ReadGame(root);
  CouponDocument document = NewCouponDocument(game);
  document.goals = ReadGoals(root);
  document.draw = ReadDraw(root);
  document.stake = ReadStake(root, game);
  ReadMatches(root, LineOf(*root.get("game")), document);
  ReadPool(root, document);
  ReadConditions(root, document);
  ReadSnapshots(root, document);
  return document;
}

// --- Writing.

// The shortest text that reads back as the same double, as a TOML float: plain
// decimals where they stay short, the exponent form for the very large and small.
std::string NumberText(double value) {
  char buffer[64];
  const double size = std::fabs(value);
  const bool plain = size == 0 || (size >= 1e-4 && size < 1e16);
  const auto [end, error] =
      plain ? std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed)
            : std::to_chars(buffer, buffer + sizeof buffer, value);
  std::string text(buffer, end);
  if (text.find_first_of(".e") == std::string::npos) text += ".0";
  return text;
}

// A TOML basic string, quoted and escaped by toml++.
std::string QuotedText(std::string_view text) {
  constexpr toml::format_flags kFlags = toml::toml_formatter::default_flags &
                                        ~toml::format_flags::allow_literal_strings &
                                        ~toml::format_flags::allow_multi_line_strings &
                                        ~toml::format_flags::allow_real_tabs_in_strings;
  std::ostringstream stream;
  stream << toml::toml_formatter(toml::value<std::string>(std::string(text)), kFlags);
  return std::move(stream).str();
}

std::string MarkText(const CouponDocument& document, int match) {
  std::string mark;
  for (int outcome = 0; outcome < 3; ++outcome) {
    if (document.marks[CellIndex(match, outcome)]) mark += OutcomeSign(outcome);
  }
  return mark;
}

void WriteTriple(std::string& text, std::string_view key, const SignValues& values) {
  if (std::isnan(values[0])) return;
  text.append(key).append(" = [");
  for (size_t sign = 0; sign < 3; ++sign) {
    if (sign > 0) text += ", ";
    text += NumberText(values[sign]);
  }
  text += "]\n";
}

void WriteLine(std::string& text, std::string_view key, std::string_view value) {
  text.append(key).append(" = ").append(value).append(1, '\n');
}

void WriteSnapshotTriples(std::string& text, std::string_view key,
                          const std::array<SignValues, kMaxMatches>& triples, int matches) {
  text.append(key).append(" = [");
  for (int match = 0; match < matches; ++match) {
    if (match > 0) text += ", ";
    const SignValues& values = triples[match];
    if (std::isnan(values[0])) {
      text += "[]";
      continue;
    }
    text += '[';
    for (size_t sign = 0; sign < 3; ++sign) {
      if (sign > 0) text += ", ";
      text += NumberText(values[sign]);
    }
    text += ']';
  }
  text += "]\n";
}

void WriteSnapshots(std::string& text, const CouponDocument& document) {
  const int matches = MatchesInPlay(document.game);
  for (size_t i = 0; i < document.snapshots.size(); ++i) {
    const DrawSnapshot& snapshot = document.snapshots[i];
    text += "\n[[snapshot]]\n";
    WriteLine(text, "time", QuotedText(snapshot.time));
    WriteLine(text, "source", QuotedText(snapshot.source));
    WriteLine(text, "draw", std::to_string(snapshot.draw));
    if (static_cast<int>(i) == document.chosenSnapshot) WriteLine(text, "chosen", "true");
    if (!std::isnan(snapshot.turnover)) WriteLine(text, "turnover", NumberText(snapshot.turnover));
    if (!std::isnan(snapshot.jackpot)) WriteLine(text, "jackpot", NumberText(snapshot.jackpot));
    WriteSnapshotTriples(text, "odds", snapshot.odds, matches);
    WriteSnapshotTriples(text, "streck", snapshot.streck, matches);
    WriteSnapshotTriples(text, "ref_streck", snapshot.refStreck, matches);
  }
}

// What keeps the snapshots and the odds method from reading back the same.
std::string SnapshotsProblem(const CouponDocument& document) {
  if (document.oddsMethod != OddsMethod::kProportional && document.oddsMethod != OddsMethod::kPower)
    return "Okänd metod för odds";
  if (document.snapshots.size() > kMaxSnapshots) return "För många ögonblicksbilder";
  if (document.chosenSnapshot < -1 ||
      document.chosenSnapshot >= static_cast<int>(document.snapshots.size())) {
    return "Den valda ögonblicksbilden finns inte";
  }
  const int matches = MatchesInPlay(document.game);
  for (size_t i = 0; i < document.snapshots.size(); ++i) {
    const DrawSnapshot& snapshot = document.snapshots[i];
    const std::string prefix = "Ögonblicksbild " + std::to_string(i + 1) + ": ";
    if (snapshot.draw < 1) return prefix + "omgångens nummer ska vara större än 0";
    for (const auto& [text, what] :
         {std::pair{&snapshot.time, "tiden"}, {&snapshot.source, "källan"}}) {
      if (std::string problem = TextProblem(*text, what); !problem.empty()) return prefix + problem;
    }
    for (const double amount : {snapshot.turnover, snapshot.jackpot}) {
      if (!std::isnan(amount) && !AmountProblem(amount).empty())
        return prefix + AmountProblem(amount);
    }
    for (int match = 1; match <= matches; ++match) {
      const std::pair<const SignValues*, SignKind> triples[] = {
          {&snapshot.odds[match - 1], kOdds},
          {&snapshot.streck[match - 1], kStreck},
          {&snapshot.refStreck[match - 1], kStreck}};
      for (const auto& [values, kind] : triples) {
        if (std::string problem = TripleProblem(*values, kind); !problem.empty())
          return prefix + "match " + std::to_string(match) + ": " + problem;
      }
    }
  }
  return {};
}

}  // namespace

CouponDocument NewCouponDocument(int32_t game) {
  CouponDocument document;
  document.game = game;
  document.pool = PoolModelOf(Rules(game));
  return document;
}

DocumentResult LoadCouponDocument(std::string_view text) {
  DocumentResult result;
  try {
    GuardText(text);
    const toml::table root = toml::parse(text);
    result.document = ReadDocument(root);
  } catch (const toml::parse_error& error) {
    result.error = "Rad " + std::to_string(std::max<int64_t>(error.source().begin.line, 1)) + ": " +
                   ParseErrorGist(error.description());
    if (DecimalCommaAt(text, error.source())) result.error += kDecimalPoint;
  } catch (const Refusal& refusal) {
    result.error = "Rad " + std::to_string(refusal.line) + ": " + refusal.what;
  } catch (const std::bad_alloc&) {
    result.error = "Kupongen får inte plats i minnet";
  }
  return result;
}

std::string CouponDocumentProblem(const CouponDocument& document) {
  if (!IsGame(document.game)) return "Okänt spel";
  if (document.goals != kGoalsNone && GoalsText(document.goals).empty()) {
    return "Okänt antal mål";
  }
  if (document.draw < 0 || document.draw > kMostDraw) {
    return "Omgången ska vara ett heltal från 1 till " + std::to_string(kMostDraw);
  }
  if (std::string problem = StakeProblem(document.game, document.stake); !problem.empty()) {
    return "Insatsen: " + problem;
  }
  const int matches = MatchesInPlay(document.game);
  for (int match = 1; match <= matches; ++match) {
    const MatchValue& value = document.values.match[match - 1];
    const std::string prefix = "Match " + std::to_string(match) + ": ";
    for (const std::string* name : {&value.home, &value.away}) {
      if (std::string problem = TextProblem(*name, "lagnamnet"); !problem.empty()) {
        return prefix + problem;
      }
    }
    const std::pair<const SignValues*, SignKind> triples[] = {
        {&value.odds, kOdds}, {&value.chance, kChance}, {&value.streck, kStreck}};
    for (const auto& [values, kind] : triples) {
      if (std::string problem = TripleProblem(*values, kind); !problem.empty()) {
        return prefix + problem;
      }
    }
    const int result = document.results[match - 1];
    if (result != kNoResult && (result < 0 || result > 2)) return prefix + "okänt resultat";
  }
  const PoolModel& pool = document.pool;
  for (const std::string& problem :
       {RowPriceProblem(pool.rowPrice), PayoutShareProblem(pool.payoutShare),
        MinimumPayoutProblem(pool.minimumPayout),
        std::isnan(pool.turnover) ? std::string() : TurnoverProblem(pool.turnover),
        JackpotProblem(pool.jackpot)}) {
    if (!problem.empty()) return "Potten: " + problem;
  }
  for (size_t i = 0; i < pool.levels.size(); ++i) {
    const PrizeLevel& level = pool.levels[i];
    if (level.right < 1 || level.right > matches) {
      return "Potten: nivån " + std::to_string(level.right) + " rätt finns inte i " +
             std::string(Rules(document.game).name);
    }
    for (size_t k = 0; k < i; ++k) {
      if (pool.levels[k].right == level.right) {
        return "Potten: nivån " + std::to_string(level.right) + " rätt finns två gånger";
      }
    }
    if (std::string problem = LevelShareProblem(level.right, level.share); !problem.empty()) {
      return "Potten: " + problem;
    }
  }
  if (std::string problem = LevelSumProblem(pool.levels); !problem.empty()) {
    return "Potten: " + problem;
  }
  for (size_t i = 0; i < document.conditions.size(); ++i) {
    if (std::string problem = ConditionProblem(document.conditions[i], i); !problem.empty()) {
      problem[0] = 'V';
      return problem;
    }
  }
  if (document.maxBroken < 0) return "Antalet tillåtna fel får inte vara negativt";
  return SnapshotsProblem(document);
}

std::string CouponDocumentText(const CouponDocument& document) {
  if (std::string problem = CouponDocumentProblem(document); !problem.empty()) {
    throw std::invalid_argument(problem);
  }
  std::string text;
  WriteLine(text, "format", std::to_string(kCouponDocumentFormat));
  WriteLine(text, "game", QuotedText(Rules(document.game).option));
  if (document.goals != kGoalsNone) WriteLine(text, "goals", QuotedText(GoalsText(document.goals)));
  if (document.draw != 0) WriteLine(text, "draw", std::to_string(document.draw));
  if (document.stake != 1) WriteLine(text, "stake", std::to_string(document.stake));
  if (document.oddsMethod == OddsMethod::kPower)
    WriteLine(text, "odds_method", QuotedText("power"));

  const PoolModel& pool = document.pool;
  text += "\n[pool]\n";
  WriteLine(text, "row_price", NumberText(pool.rowPrice));
  WriteLine(text, "payout_share", NumberText(pool.payoutShare));
  WriteLine(text, "minimum_payout", NumberText(pool.minimumPayout));
  if (!std::isnan(pool.turnover)) WriteLine(text, "turnover", NumberText(pool.turnover));
  if (pool.jackpot != 0) WriteLine(text, "jackpot", NumberText(pool.jackpot));
  text += "\n[pool.level_share]\n";
  std::vector<PrizeLevel> levels = pool.levels;
  std::sort(levels.begin(), levels.end(),
            [](const PrizeLevel& a, const PrizeLevel& b) { return a.right > b.right; });
  for (const PrizeLevel& level : levels) {
    WriteLine(text, std::to_string(level.right), NumberText(level.share));
  }

  text += "\n[conditions]\n";
  WriteLine(text, "use", document.useConditions ? "true" : "false");
  WriteLine(text, "max_broken", std::to_string(document.maxBroken));
  if (document.conditions.empty()) {
    WriteLine(text, "list", "[]");
  } else {
    text += "list = [\n";
    for (const std::string& condition : document.conditions) {
      text.append("  ").append(QuotedText(condition)).append(",\n");
    }
    text += "]\n";
  }

  for (int match = 1; match <= MatchesInPlay(document.game); ++match) {
    const MatchValue& value = document.values.match[match - 1];
    text += "\n[[match]]\n";
    WriteLine(text, "number", std::to_string(match));
    if (!value.home.empty()) WriteLine(text, "home", QuotedText(value.home));
    if (!value.away.empty()) WriteLine(text, "away", QuotedText(value.away));
    WriteLine(text, "mark", QuotedText(MarkText(document, match)));
    WriteTriple(text, "odds", value.odds);
    WriteTriple(text, "chance", value.chance);
    WriteTriple(text, "streck", value.streck);
    if (const int result = document.results[match - 1]; result != kNoResult) {
      WriteLine(text, "result", QuotedText(std::string(1, OutcomeSign(result))));
    }
  }
  WriteSnapshots(text, document);
  return text;
}

void SaveCouponDocument(const std::string& path, const CouponDocument& document) {
  SaveTextFile(path, CouponDocumentText(document));
}

void SetCouponFromDocument(const CouponDocument& document, CouponState& state) {
  state.Game = document.game;
  state.Goals = document.goals;
  const int matches = MatchesInPlay(document.game);
  for (int cell = 0; cell < kCellCount; ++cell) {
    state.Marks[cell] = CellMatch(cell) <= matches && document.marks[cell] ? 1 : 0;
  }
}

namespace {

// Whether two pools have the same row price, shares, levels and minimum.
bool SamePoolRules(const PoolModel& a, const PoolModel& b) {
  if (a.rowPrice != b.rowPrice || a.payoutShare != b.payoutShare ||
      a.minimumPayout != b.minimumPayout || a.levels.size() != b.levels.size()) {
    return false;
  }
  for (size_t i = 0; i < a.levels.size(); ++i) {
    if (a.levels[i].right != b.levels[i].right || a.levels[i].share != b.levels[i].share) {
      return false;
    }
  }
  return true;
}

}  // namespace

int32_t CouponDraw(const CouponDocument& document) {
  if (document.draw > 0) return document.draw;
  if (document.chosenSnapshot >= 0 &&
      static_cast<size_t>(document.chosenSnapshot) < document.snapshots.size()) {
    return document.snapshots[static_cast<size_t>(document.chosenSnapshot)].draw;
  }
  return 0;
}

void SetDocumentFromCoupon(const CouponState& state, CouponDocument& document) {
  const GameRules& from = Rules(document.game);
  const GameRules& to = Rules(state.Game);
  if (!TakesStake(to, document.stake)) document.stake = 1;
  // The old game's own pool becomes the new game's own, and so does any pool
  // of another form (Topptipset's one level against four), with the turnover
  // and jackpot kept; a pool the player changed, of the same form, keeps its
  // shares, moved to the new game's numbers of right.
  const bool tablePool =
      from.game != to.game && (SamePoolRules(document.pool, PoolModelOf(Rules(from.game))) ||
                               from.prizeLevels.size() != to.prizeLevels.size());
  if (tablePool) {
    PoolModel pool = PoolModelOf(Rules(to.game));
    pool.turnover = document.pool.turnover;
    pool.jackpot = document.pool.jackpot;
    document.pool = std::move(pool);
  }
  const int shift = MatchesInPlay(state.Game) - MatchesInPlay(document.game);
  if (shift != 0 && !tablePool) {
    std::vector<PrizeLevel> moved;
    for (PrizeLevel level : document.pool.levels) {
      level.right += shift;
      if (level.right >= 1) moved.push_back(level);
    }
    document.pool.levels = std::move(moved);
  }
  document.game = state.Game;
  document.goals = state.Goals;
  for (int cell = 0; cell < kCellCount; ++cell) document.marks[cell] = state.Marks[cell] != 0;
}

}  // namespace spelkub
