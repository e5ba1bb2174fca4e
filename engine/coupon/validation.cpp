#include "coupon/validation.h"

#include "coupon/choices.h"

namespace spelkub {

namespace {

constexpr ValidationFailure kInvalidSystem(int check) {
  return {check, kInvalidSystemMessage};
}

}  // namespace

std::optional<ValidationFailure> ValidateCoupon(const CouponState& state, int plus13Index) {
  for (int match = 1; match <= 13; ++match) {
    if (MarkedCount(state, match) == 0) return kInvalidSystem(match);
  }
  if (state.Game == kSupertoto && MarkedCount(state, 14) == 0) return kInvalidSystem(14);
  if (state.Game != kSupertoto && plus13Index == kPlus13Yes && state.Goals == kGoalsNone) {
    return ValidationFailure{15, kPlus13Message};
  }
  if (state.Reduction == kReductionGuarantee && state.GuaranteeLevel == 0) {
    return ValidationFailure{16, kGuaranteeChoiceMessage};
  }
  if (state.Reduction == kReductionRowCount && state.TargetRows == 0) {
    return ValidationFailure{17, kRowCountChoiceMessage};
  }
  return std::nullopt;
}

std::string HeaderLine(const CouponState& state, int plus13Index) {
  if (state.Game == kSupertoto) return {};
  const GameChoice* choice = FindGame(state.Game);
  std::string line(choice != nullptr ? choice->header : kGameChoices[0].header);
  const std::string_view goals = GoalsText(state.Goals);
  if (plus13Index == kPlus13Yes && !goals.empty()) {
    line += ",13plus=Ja,Antal=";
    line += goals;
  } else {
    line += ",13plus=Nej";
  }
  line += kLineBreak;
  return line;
}

}  // namespace spelkub
