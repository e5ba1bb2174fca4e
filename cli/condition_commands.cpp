// The conditions ("villkor") of spelkub_rader: --condition, --max-broken and
// the document's conditions, made into the command layer's ConditionInput for
// generation, --rows, --guarantee, --optimize and --analyse.
#include <string>

#include "cli/commands.h"
#include "coupon/games.h"
#include "coupon/shown_text.h"
#include "villkor/condition.h"
#include "villkor/filter.h"

namespace spelkub::cli {

namespace {

constexpr std::string_view kConditionHelp =
    "\n"
    "Villkor (behåll bara rader som uppfyller dem):\n"
    "  --condition TEXT   ett villkor, MÅTT INTERVALL [i MATCHER]; flaggan kan anges flera\n"
    "                     gånger. Fungerar vid generering, --rows, --guarantee, --optimize\n"
    "                     och --analyse: systemet blir de markerade rader som uppfyller\n"
    "                     villkoren, reduceringen väljer bara bland dem och garantin gäller\n"
    "                     varje sådant utfall\n"
    "  --max-broken E     tillåtna fel: en rad behålls när den bryter högst E villkor\n"
    "                     (standard 0)\n"
    "  --no-coupon-conditions  kupongfilens villkor används inte\n"
    "  --whole-system     med --analyse: analysen gäller hela det markerade systemet,\n"
    "                     inte bara de utfall som uppfyller villkoren\n"
    "\n"
    "  INTERVALL: A-B, A- (minst A), -B (högst B) eller A (exakt A); gränserna ingår.\n"
    "  MATCHER:   t.ex. 1,2,5-8; utan \"i MATCHER\" räknas alla matcher.\n"
    "  MÅTT, räknat över matcherna:\n"
    "    ettor, kryss, tvåor  antal tecken 1, X, 2\n"
    "    favoriter            matcher där raden har folkets mest streckade tecken\n"
    "                         (kräver streck; vid lika streck är det första av 1, X\n"
    "                         och 2 favorit)\n"
    "    skrällar             matcher där den inte har det (kräver streck)\n"
    "    poäng                summan av radens egna chanser i hela procent, var och en\n"
    "                         avrundad (kräver egna chanser)\n"
    "  MÅTT över hela raden (tar inga matcher):\n"
    "    spelvärde            radens spelvärde i procent (kräver egna chanser och streck)\n"
    "    utdelning            beräknad utdelning för alla rätt, i kr (kräver streck och\n"
    "                         omsättning)\n"
    "  Streck, egna chanser och omsättning ges med --streck, --chances och --turnover\n"
    "  eller med --coupon DOC. Kupongfilens villkor används när den har use = true;\n"
    "  --condition lägger till villkor och --max-broken ersätter dess tillåtna fel.\n"
    "\n"
    "Exempel:\n"
    "  spelkub_rader --condition \"kryss 2-5\" --condition \"tvåor 0-1 i 1-4\" \\\n"
    "                --guarantee 11 1X2 1X2 1X2 1X2 1X2 1X2 1X2 1X2 1 1 1 1 1\n"
    "  spelkub_rader --coupon kupong.spelkub --condition \"skrällar 1-3\" --max-broken 1 \\\n"
    "                --optimize 12\n"
    "\n";

}  // namespace

bool ConditionsInEffect(const Options& options) {
  const std::optional<CouponDocument>& document = options.value.document;
  const bool fromDocument = document && document->useConditions && !document->conditions.empty() &&
                            !options.conditions.ignoreCoupon;
  return fromDocument || !options.conditions.texts.empty();
}

std::string ConditionTextsProblem(const Options& options, int matches) {
  const std::optional<CouponDocument>& document = options.value.document;
  size_t count = options.conditions.texts.size();
  if (document && document->useConditions && !options.conditions.ignoreCoupon)
    count += document->conditions.size();
  if (count > static_cast<size_t>(kMaxConditions))
    return "Högst " + std::to_string(kMaxConditions) + " villkor går att använda";
  for (const std::string& text : options.conditions.texts) {
    std::string error;
    if (!ParseCondition(text, matches, &error)) return error;
  }
  return {};
}

CommandConditions ConditionsOf(const Options& options) {
  CommandConditions made;
  if (!ConditionsInEffect(options)) return made;
  MadeDocument document = MakeDocument(options, options.game);
  if (!document.error.empty()) {
    made.malformed = std::move(document.error);
    return made;
  }
  ConditionInput& input = made.input;
  input = ConditionInputOf(document.document);
  if (options.conditions.ignoreCoupon) input.conditions.clear();
  if (options.value.couponPath) {
    const int matches = MatchesInPlay(document.document.game);
    for (const std::string& text : input.conditions) {
      std::string error;
      if (ParseCondition(text, matches, &error)) continue;
      made.refused = "Kupongen " + Quoted(*options.value.couponPath) + ": " + error;
      return made;
    }
  }
  if (input.conditions.empty()) input.maxBroken = 0;  // the document's count goes with its list
  input.conditions.insert(input.conditions.end(), options.conditions.texts.begin(),
                          options.conditions.texts.end());
  if (options.conditions.maxBroken) input.maxBroken = *options.conditions.maxBroken;
  return made;
}

int TellConditionsFault(const CommandConditions& conditions, Output& output) {
  if (!conditions.malformed.empty()) {
    Tell(output, kProgramName, conditions.malformed + std::string(kSeeHelp));
    return kExitMalformed;
  }
  if (!conditions.refused.empty()) {
    Tell(output, kProgramName, conditions.refused);
    return kExitRefused;
  }
  return kExitDone;
}

void TellLines(Output& output, std::string_view caption, std::string_view text) {
  size_t begin = 0;
  for (;;) {
    const size_t end = text.find('\n', begin);
    Tell(output, caption, text.substr(begin, end - begin));
    if (end == std::string_view::npos) return;
    begin = end + 1;
  }
}

std::string_view ConditionHelpText() {
  return kConditionHelp;
}

}  // namespace spelkub::cli
