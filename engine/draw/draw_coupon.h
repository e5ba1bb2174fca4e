// A fetched draw and its result put into a coupon document.
#pragma once

#include <string>

#include "document/coupon_document.h"
#include "draw/draw_service.h"
#include "value/value_model.h"

namespace spelkub {

// The draw's teams, odds, streck and turnover into the document, and the
// chances its odds imply by `method` (in percent). A match without odds
// keeps no chances, one without streck no streck; the marks, the results and
// the rest of the pool stay. Refuses, leaving the document as it was, a draw
// whose matches are not the document's game's: "Omgången har 12 matcher,
// Stryktipset har 13".
std::string PutDrawInDocument(const Draw& draw, OddsMethod method, CouponDocument& document);

// The signs of the result into the document: a match whose sign is still open
// (not played, or cancelled with no sign drawn yet) has no result.
std::string PutResultInDocument(const DrawResult& result, CouponDocument& document);

}  // namespace spelkub
