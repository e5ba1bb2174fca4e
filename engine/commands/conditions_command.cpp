#include "commands/conditions_command.h"

#include <bit>
#include <optional>
#include <utility>

#include "villkor/condition.h"
#include "villkor/filter.h"

namespace spelkub {

ConditionInput ConditionInputOf(const CouponDocument& document) {
  ConditionInput input;
  if (document.useConditions) input.conditions = document.conditions;
  input.maxBroken = document.maxBroken;
  input.values = document.values;
  input.pool = document.pool;
  return input;
}

Refusable<System> FilteredSystem(const SystemShape& shape, const ConditionInput& input,
                                 const Work& work) {
  using Answer = Refusable<System>;
  if (input.maxBroken < 0) {
    return Answer::Refused("Tillåtna fel kan inte vara färre än 0", kConditionsCaption,
                           RefusalKind::kConditions);
  }
  std::vector<Condition> conditions;
  conditions.reserve(input.conditions.size());
  std::string error;
  for (const std::string& text : input.conditions) {
    std::optional<Condition> condition = ParseCondition(text, shape.matches, &error);
    if (!condition)
      return Answer::Refused(std::move(error), kConditionsCaption, RefusalKind::kConditions);
    conditions.push_back(*condition);
  }
  const std::optional<PreparedConditions> prepared =
      PrepareConditions(conditions, shape.matches, input.values, input.pool, &error);
  if (!prepared)
    return Answer::Refused(std::move(error), kConditionsCaption, RefusalKind::kConditions);
  std::optional<System> system = FilterSystem(shape, *prepared, input.maxBroken, work);
  if (!system) return {};
  return {std::move(system), {}};
}

Refusable<System> ConditionedSystem(const SystemShape& shape, const ConditionInput& input,
                                    const Work& work) {
  if (input.empty()) return {System(shape), {}};
  Refusable<System> system = FilteredSystem(shape, input, work);
  if (system.value && system.value->size() == 0)
    return Refusable<System>::Refused(std::string(kNoRowKeptText), kConditionsCaption,
                                      RefusalKind::kConditions);
  return system;
}

std::string GroupedNumber(int64_t number) {
  const std::string digits = std::to_string(number < 0 ? -number : number);
  std::string text = number < 0 ? "-" : "";
  for (size_t i = 0; i < digits.size(); ++i) {
    if (i > 0 && (digits.size() - i) % 3 == 0) text += ' ';
    text += digits[i];
  }
  return text;
}

std::string ConditionsLine(const System& system) {
  if (!system.filtered()) return {};
  return "Villkor: " + GroupedNumber(system.size()) + " av " +
         GroupedNumber(system.shape().size()) + " rader uppfyller villkoren.";
}

SystemRank::SystemRank(const System& system) : system_(system) {
  const std::vector<uint64_t>& words = system.allowed();
  before_.resize(words.size() + 1);
  int64_t count = 0;
  for (size_t w = 0; w < words.size(); ++w) {
    before_[w] = count;
    count += std::popcount(words[w]);
  }
  before_[words.size()] = count;
}

int64_t SystemRank::operator()(int64_t index) const {
  if (!system_.filtered()) return index;
  const auto word = static_cast<size_t>(index >> 6);
  const int bit = static_cast<int>(index & 63);
  if (bit == 0) return before_[word];
  // Only bits below the index count, so stray bits past the last outcome never do.
  return before_[word] + std::popcount(system_.allowed()[word] & ((uint64_t{1} << bit) - 1));
}

}  // namespace spelkub
