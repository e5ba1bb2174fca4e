// "Generera Rader" as one engine command, shared by the window and the
// command-line companion: validate the coupon, generate the full system, run
// the reduction the mode asks for, and tell what happened.
//
// The caller passes the coupon and the three values the window reads from its
// controls. The command decides everything (which check fails, the rows, the
// kept rows, the report and the order of report and row list); the caller
// shows it. Two ways to follow it, usable together:
//  - a GenerateListener hears each stage while the command runs, so a window
//    can show the progress (status texts, repaints, the refusal's box);
//  - the returned GenerateOutcome holds the result: the rows, the kept rows,
//    the report and whether it comes before the kept rows replace the full
//    system. The caller applies it; the command tells no view what to do.
//
// Stages heard by the listener, in order:
//   Refused(check's message)                        a check failed; nothing follows
// or
//   GenerationStarted(size), RowsGenerated..., Generated(rows)
//   then with "Ingen" nothing more; with a reduction ReductionStarted(), then
//     Refused(kTargetTooLargeMessage)                "Antal Rader" above the row count;
//                                                    the full system stays, nothing follows
//   or
//     SelectionStarted(lines), PassStarted/CandidatesExamined/RowsAccepted...,
//     Reduced(rows, result); the outcome's report then comes before the kept
//     rows replace the full system with "Antal Rader" (reportBeforeReplacing:
//     the guarantee is told over the full system still shown), after them with
//     "Garanti".
//
// A stop (through the Work) ends the reduction with nothing kept; the row
// list keeps the full system, and nothing more is heard.
//
// With conditions (GenerateControls::conditions) the system is the marked
// rows that meet them: it takes the place of the full system above. Refused
// conditions are heard as Refused before generation begins; generation
// counts the rows of the marks passed over (GenerationStarted gets their
// number), the row list takes only the kept rows, the reductions choose among
// them and guarantee for every outcome that meets the conditions, and every
// index and count heard (kept, examined) is one of the kept rows. The report
// adds ConditionsLine() as a second line. Conditions that keep every row
// change nothing.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "commands/conditions_command.h"
#include "coupon/coupon_state.h"
#include "coupon/messages.h"
#include "coupon/work.h"
#include "reduce/reduction.h"
#include "text/coupon_text.h"

namespace spelkub {

// The window's controls that the command reads, not fields of CouponState.
struct GenerateControls {
  Plus13Choice plus13 = kPlus13No;  // "Dubbelvinsten?"
  bool guaranteeReversed = false;   // "Reverserad?" beside "Välj Garanti:"
  bool rowCountReversed = false;    // "Reverserad?" beside "Välj Antal Rader:"
  // The coupon's conditions ("Villkor..."), none when not in use.
  ConditionInput conditions{};
};

class GenerateListener : public Progress {
 public:
  // A message box that ends the command: a failed check, or a row count above
  // the rows of the system.
  virtual void Refused(const Message& /*message*/) {}
  // Generation begins: systemSize rows (the progress bar's maximum).
  virtual void GenerationStarted(int32_t /*systemSize*/) {}
  // Every row is made; the row list takes the full system now.
  virtual void Generated(const RowSet& /*rows*/) {}
  // A reduction begins (status text, kept list cleared).
  virtual void ReductionStarted() {}
  // Its passes begin over a row list of this many lines, header included: the
  // progress bar's maximum. Not heard when the row count is refused.
  virtual void SelectionStarted(int64_t /*rowListLines*/) {}
  // The kept rows are chosen.
  virtual void Reduced(const RowSet& /*rows*/, const ReductionResult& /*result*/) {}
};

enum class GenerateEnd {
  kRefused,              // a check failed: no rows
  kTargetAboveRowCount,  // rows holds the full system; nothing kept
  kGenerated,            // "Ingen": rows holds the full system
  kReduced,              // rows holds the full system, reduction the kept rows
  kStopped,              // stopped while reducing: rows holds the full system; nothing kept
                         // (stopped while filtering: no rows)
};

// A refusal's text and caption, kept by the outcome: the conditions' refusals
// are made while the command runs.
struct GenerateRefusal {
  std::string text;
  std::string caption;
  RefusalKind kind = RefusalKind::kCoupon;  // kConditions for the conditions'

  GenerateRefusal() = default;
  GenerateRefusal(const Message& message) : text(message.text), caption(message.caption) {}
  operator Message() const { return {text, caption}; }
};

struct GenerateOutcome {
  GenerateEnd end = GenerateEnd::kRefused;
  GenerateRefusal refusal;  // kRefused and kTargetAboveRowCount
  RowSet rows;
  ReductionResult reduction;  // kReduced
  // kReduced: the report's text and caption, and whether the report comes
  // before the kept rows replace the row list ("Antal Rader") or after.
  std::string reportText;
  std::string_view reportCaption;
  bool reportBeforeReplacing = false;
  // ConditionsLine() of the system generated: empty without conditions, or
  // when they keep every row.
  std::string conditionsText;

  Message report() const { return {reportText, reportCaption}; }
};

// Runs the command. Like the window, it computes the system size in
// state.SizeProduct/MatchCount (SizeProduct is 1 again afterwards).
GenerateOutcome RunGenerateCommand(CouponState& state, const GenerateControls& controls,
                                   GenerateListener* listener = nullptr, const Work& work = {});

}  // namespace spelkub
