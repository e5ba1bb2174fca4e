#include "coupon/validation.h"

#include "coupon/choices.h"
#include "coupon/games.h"

namespace spelkub {

namespace {

constexpr ValidationFailure kInvalidSystem(int check) {
  return {check, kInvalidSystemMessage};
}

}  // namespace

std::optional<ValidationFailure> ValidateCoupon(const CouponState& state, Plus13Choice plus13) {
  const GameRules& rules = Rules(state.Game);
  for (int match = 1; match <= rules.matches; ++match) {
    if (MarkedCount(state, match) == 0) return kInvalidSystem(match);
  }
  if (rules.plus13 && plus13 == kPlus13Yes && state.Goals == kGoalsNone) {
    return ValidationFailure{15, kPlus13Message};
  }
  // "Välj Garanti:" offers 4 to 13 for every game; a game with fewer matches
  // takes its own range only.
  const bool levelOutside =
      state.GuaranteeLevel < rules.minGuarantee || state.GuaranteeLevel > rules.maxGuarantee;
  if (state.Reduction == kReductionGuarantee && (state.GuaranteeLevel == 0 || levelOutside)) {
    return ValidationFailure{16, kGuaranteeChoiceMessage};
  }
  if (state.Reduction == kReductionRowCount && state.TargetRows == 0) {
    return ValidationFailure{17, kRowCountChoiceMessage};
  }
  return std::nullopt;
}

std::string HeaderLine(const CouponState& state, Plus13Choice plus13) {
  const GameRules& rules = Rules(state.Game);
  if (rules.header.empty()) return {};
  std::string line(rules.header);
  if (rules.plus13) {
    const std::string_view goals = GoalsText(state.Goals);
    if (plus13 == kPlus13Yes && !goals.empty()) {
      line += ",13plus=Ja,Antal=";
      line += goals;
    } else {
      line += ",13plus=Nej";
    }
  }
  line += kLineBreak;
  return line;
}

}  // namespace spelkub
