// The session: what one player works on at a time, without a view.
//
// It holds the coupon (the CouponState the selectors write), the coupon
// document (the match values, the pool, the conditions) and the current rows
// with their origin. Commands compute results; a front end hands their rows
// to the session and shows them; observers hear each change and redraw.
//
// The row list of the window is a view of the rows. While the player edits it
// by hand, its text is the source: the view marks the rows edited, and the
// next tool that needs rows reads the text back once, strictly. Rows the
// session was given are never read back from text it rendered itself.
#pragma once

#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "coupon/coupon_state.h"
#include "coupon/row_set.h"
#include "document/coupon_document.h"
#include "text/coupon_reader.h"

namespace spelkub {

// How the current rows were made.
enum class RowsOrigin {
  kNone,       // no rows
  kGenerated,  // "Generera Rader" with "Ingen": the full system, or the rows the conditions keep
  kReduced,    // "Generera Rader" with "Antal Rader" or "Garanti"
  kTool,       // a tool of "Verktyg" or "Kupong" that replaces the rows
  kRowList,    // read back from the row list after the player edited it
};

struct SessionRows {
  CouponRows coupon;  // the rows with the header fields a reader of their text would see
  RowsOrigin origin = RowsOrigin::kNone;
  // The marks the rows came from (per match: outcomes marked, in the order
  // 1, X, 2); all zero when they were read back from text.
  std::array<uint8_t, kMaxMatches> radix{};
  // A short Swedish line of how they were made ("Optimerad garanti, 12 rätt"),
  // empty when nothing more than the origin is known.
  std::string how;
};

// The rows of `set` (all of them, or those at `kept`, in that order) with the
// header fields that reading their coupon text back gives, and their line
// numbers in that text.
CouponRows CouponRowsOf(const RowSet& set);
CouponRows CouponRowsOf(const RowSet& set, std::span<const uint32_t> kept);

class SessionObserver {
 public:
  virtual ~SessionObserver() = default;
  // The current rows changed (given, cleared, or marked edited).
  virtual void RowsChanged() {}
  // The document was replaced or changed.
  virtual void DocumentChanged() {}
};

class Session {
 public:
  // Works on `state`, which must outlive the session.
  explicit Session(CouponState& state);

  CouponState& state() { return state_; }
  const CouponState& state() const { return state_; }

  // The document. A front end that changes it in place tells the observers
  // with DocumentEdited().
  CouponDocument& document() { return document_; }
  const CouponDocument& document() const { return document_; }
  void SetDocument(CouponDocument document);
  void DocumentEdited();
  // The document as it would be saved now: the coupon's game, goals and marks
  // joined to the document's values.
  CouponDocument DocumentNow() const;

  // The current rows; nullptr when there are none, or when the view was
  // edited since they were given.
  const SessionRows* Rows() const { return edited_ ? nullptr : &rows_; }
  bool HasRows() const { return rows_.origin != RowsOrigin::kNone; }
  bool RowsEdited() const { return edited_; }

  void SetRows(SessionRows rows);
  // The rows of a command's RowSet (all, or those at `kept`).
  void SetRows(const RowSet& set, RowsOrigin origin, std::string how = {});
  void SetRows(const RowSet& set, std::span<const uint32_t> kept, RowsOrigin origin,
               std::string how = {});
  // The view was emptied by a command.
  void ClearRows();
  // The player changed the view's text by hand: it is the source now.
  void MarkRowsEdited();

  // The rows to work on, as the strict reader gives them: the session's own,
  // or, after a hand edit, `viewText()` read back once (and kept when it
  // reads, with the origin kRowList). With no rows and no edit, the view's
  // text is read too: it is what the player sees.
  ReadResult CurrentRows(const std::function<std::string_view()>& viewText);

  void AddObserver(SessionObserver* observer);
  void RemoveObserver(SessionObserver* observer);

 private:
  void NotifyRows();

  CouponState& state_;
  CouponDocument document_;
  SessionRows rows_;
  bool edited_ = false;
  std::vector<SessionObserver*> observers_;
};

}  // namespace spelkub
