// A fetched draw and its result put into a coupon document: each fetch adds a
// snapshot of the service's numbers, and the coupon's values are those of the
// chosen snapshot.
#pragma once

#include <string>

#include "document/coupon_document.h"
#include "draw/draw_service.h"
#include "value/value_model.h"

namespace spelkub {

// The draw's numbers as the snapshot of a fetch at `time` (UTC, as
// "2026-12-08T17:30:00Z") of `source`; `jackpot` NaN when not fetched.
DrawSnapshot SnapshotOfDraw(const Draw& draw, std::string time, std::string source,
                            double jackpot = kNoValue);

// A fetch into the document: the draw's teams, and its snapshot added and
// chosen (a draw of another number than the snapshots' starts them afresh).
// Refuses, leaving the document as it was, a draw whose matches are not the
// document's game's: "Omgången har 12 matcher, Stryktipset har 13".
std::string PutDrawInDocument(const Draw& draw, const DrawSnapshot& snapshot,
                              CouponDocument& document);

// The coupon's values from snapshot `index`: its odds, streck, turnover and
// jackpot, and the chances its odds imply by the document's odds method (in
// percent; none for a match without odds). The marks, results and the rest of
// the pool stay.
void ChooseSnapshot(CouponDocument& document, int index);

// How the chosen snapshot's streck of match `match` (1-based) moved, in
// percentage points per sign: since the snapshot before it, and since the
// service's measurement before. NaN where there is nothing to compare with.
struct StreckMove {
  SignValues sincePrevious = kNoSignValues;
  SignValues sinceMeasurement = kNoSignValues;
};
StreckMove StreckMoveOf(const CouponDocument& document, int match);

// The signs of the result into the document: a match whose sign is still open
// (not played, or cancelled with no sign drawn yet) has no result.
std::string PutResultInDocument(const DrawResult& result, CouponDocument& document);

}  // namespace spelkub
