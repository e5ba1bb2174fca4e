// --follow RESULT FILE: "Följ kupongen" on a file's rows, with the values and
// pool of --coupon and the value options, for a person or, with --tsv, for a
// program.
#include <string>

#include "cli/commands.h"
#include "commands/follow_command.h"
#include "coupon/games.h"

namespace spelkub::cli {

namespace {

constexpr std::string_view kFollowHelp =
    "\n"
    "Följ kupongen (raderna mot resultaten hittills):\n"
    "  --follow RESULT FILE  filens rader (- för standard in) mot RESULT, skrivet som för\n"
    "                     --grade med en grupp eller ett tecken per match: 1, X, 2 avgjord;\n"
    "                     ? eller - öppen; L inställd och lottas (räknas som öppen);\n"
    "                     1?, X?, 2? pågår och står så nu (bara när varje match har en\n"
    "                     grupp av sin egen; i en följd av tecken är ? alltid en egen match).\n"
    "                     RESULT fetch:GAME:N hämtar omgång N:s resultat från\n"
    "                     omgångstjänsten (adressen som för --fetch, ur miljövariabeln\n"
    "                     SPELKUB_API_BASE): avgjorda matcher som de slutade, en inställd\n"
    "                     match öppen (L) tills dess tecken är lottat, övriga öppna.\n"
    "                     Värden och pott som för --value: egna chanser för de öppna\n"
    "                     matcherna (en avgjord match behöver inga), streck för alla.\n"
    "                     Räknas exakt över alla 3^öppna återstående utfall y, med folkets\n"
    "                     vinnare W ~ Poisson(N · Q_k(y)) och Q_k(y) chansen att en rad\n"
    "                     dragen ur strecken har exakt k rätt mot de avgjorda och y:\n"
    "                     per match raderna per tecken, för en öppen match vad varje tecken\n"
    "                     är värt (väntad vinst om matchen slutar så), tecknet att heja på\n"
    "                     (högst väntad vinst; \"spelar ingen roll\" när tecknen skiljer\n"
    "                     mindre än ett halvt öre) och tecknet som håller flest rader vid\n"
    "                     liv; per vinstgrad raderna som kan nå den, chansen att nå den,\n"
    "                     väntad vinst och utdelning per vinnande rad, \"om det slutar som\n"
    "                     nu\" (avgjorda som de slutade, pågående som de står, övriga på\n"
    "                     sitt troligaste tecken) och det bästa som fortfarande är möjligt;\n"
    "                     sist de levande raderna (de som kan nå bästa möjliga antal rätt)\n"
    "                     med tecknen de behöver, de 30 troligaste (\"visar 30 av 184\").\n"
    "                     Med --tsv: nyckel<TAB>värde (rows, decided, open, outcomes,\n"
    "                     best_possible, expected_win_kr, now_outcome, win_now_kr,\n"
    "                     best_outcome, best_win_kr; per vinstgrad k can_reachK, pK eller\n"
    "                     pKplus, expected_winK_kr, payout_per_rowK_kr, rows_nowK,\n"
    "                     payout_nowK_kr, rows_bestK, best_outcomeK; per match M\n"
    "                     matchM_state, matchM_rows1/X/2 och för en öppen matchM_win1/X/2_kr,\n"
    "                     matchM_alive1/X/2, matchM_root_for, matchM_keeps_most (1, X, 2\n"
    "                     eller none); alive_level, alive_total), sedan varje levande rad\n"
    "                     som alive<TAB>raden<TAB>tecknen den behöver<TAB>chansen\n"
    "\n"
    "Exempel:\n"
    "  spelkub_rader --coupon kupong.spelkub --follow \"1X2 1 1 ? ? 2? L 1 X ? ?\" rader.txt\n"
    "\n";

}  // namespace

std::string_view FollowHelpText() {
  return kFollowHelp;
}

int Follow(const Options& options, Output& output) {
  int status = kExitRefused;
  const std::optional<ValuedRows> valued = PrepareValue(options, output, &status);
  if (!valued) return status;
  std::string resultText = options.results;
  if (IsFetchedResult(resultText)) {
    const std::optional<FetchedResultText> fetched = FetchResultText(resultText, true, output);
    if (!fetched) return kExitRefused;
    if (fetched->game != valued->input.game) {
      Tell(output, kProgramName,
           "Resultatet gäller " + std::string(Rules(fetched->game).name) + ", kupongen " +
               std::string(Rules(valued->input.game).name));
      return kExitRefused;
    }
    resultText = fetched->text;
  }
  std::string error;
  const std::optional<FollowResults> results =
      ParseFollowResults(resultText, Rules(valued->input.game).matches, &error);
  if (!results) {
    Tell(output, kProgramName, error + std::string(kSeeHelp));
    return kExitMalformed;
  }
  const bool tsv = options.value.tsv;
  const FollowOutcome outcome =
      RunFollowCommand(valued->input, valued->rows, *results, tsv ? SIZE_MAX : kAliveShown);
  if (TellModelRefusal(outcome.model, output)) return kExitRefused;
  if (!tsv) return WriteAll(output, outcome.reportText) ? kExitDone : kExitRefused;
  std::string text;
  for (const ValueFigure& figure : outcome.figures) {
    text += figure.key + '\t' + (figure.numeric ? MachineNumber(figure.number) : figure.raw) + '\n';
  }
  if (!WriteAll(output, text)) return kExitRefused;
  TellNotes(outcome.model.notes, output);
  return kExitDone;
}

}  // namespace spelkub::cli
