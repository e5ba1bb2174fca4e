#include "session/session.h"

#include <algorithm>
#include <utility>

namespace spelkub {
namespace {

// The header fields of a RowSet's header line, as the reader takes them.
CouponRows HeaderFieldsOf(const RowSet& set) {
  CouponRows coupon;
  if (!set.header.empty()) {
    ReadResult read = ReadCouponText(set.header);
    if (read.coupon) coupon = std::move(*read.coupon);
  }
  coupon.game = set.game;
  coupon.rows.clear();
  coupon.lines.clear();
  return coupon;
}

uint32_t FirstRowLine(const RowSet& set) {
  return set.header.empty() ? 1 : 2;
}

}  // namespace

CouponRows CouponRowsOf(const RowSet& set) {
  CouponRows coupon = HeaderFieldsOf(set);
  coupon.rows = set.rows;
  coupon.lines.resize(set.rows.size());
  const uint32_t first = FirstRowLine(set);
  for (size_t i = 0; i < coupon.lines.size(); ++i)
    coupon.lines[i] = first + static_cast<uint32_t>(i);
  return coupon;
}

CouponRows CouponRowsOf(const RowSet& set, std::span<const uint32_t> kept) {
  CouponRows coupon = HeaderFieldsOf(set);
  coupon.rows.reserve(kept.size());
  coupon.lines.reserve(kept.size());
  const uint32_t first = FirstRowLine(set);
  for (size_t i = 0; i < kept.size(); ++i) {
    coupon.rows.push_back(set.rows.at(kept[i]));
    coupon.lines.push_back(first + static_cast<uint32_t>(i));
  }
  return coupon;
}

Session::Session(CouponState& state) : state_(state), document_(NewCouponDocument(state.Game)) {}

void Session::SetDocument(CouponDocument document) {
  document_ = std::move(document);
  DocumentEdited();
}

void Session::DocumentEdited() {
  for (SessionObserver* observer : observers_) observer->DocumentChanged();
}

CouponDocument Session::DocumentNow() const {
  CouponDocument document = document_;
  SetDocumentFromCoupon(state_, document);
  return document;
}

void Session::SetRows(SessionRows rows) {
  rows_ = std::move(rows);
  edited_ = false;
  NotifyRows();
}

void Session::SetRows(const RowSet& set, RowsOrigin origin, std::string how) {
  SetRows(SessionRows{CouponRowsOf(set), origin, set.radix, std::move(how)});
}

void Session::SetRows(const RowSet& set, std::span<const uint32_t> kept, RowsOrigin origin,
                      std::string how) {
  SetRows(SessionRows{CouponRowsOf(set, kept), origin, set.radix, std::move(how)});
}

void Session::ClearRows() {
  SetRows(SessionRows{});
}

void Session::MarkRowsEdited() {
  if (edited_) return;
  edited_ = true;
  NotifyRows();
}

ReadResult Session::CurrentRows(const std::function<std::string_view()>& viewText) {
  if (!edited_ && HasRows()) {
    ReadResult given;
    given.coupon = rows_.coupon;
    return given;
  }
  ReadResult read = ReadCouponText(viewText());
  if (edited_ && read.coupon) {
    rows_ = SessionRows{*read.coupon, RowsOrigin::kRowList, {}, {}};
    edited_ = false;
    NotifyRows();
  }
  return read;
}

void Session::AddObserver(SessionObserver* observer) {
  if (std::find(observers_.begin(), observers_.end(), observer) == observers_.end())
    observers_.push_back(observer);
}

void Session::RemoveObserver(SessionObserver* observer) {
  observers_.erase(std::remove(observers_.begin(), observers_.end(), observer), observers_.end());
}

void Session::NotifyRows() {
  for (SessionObserver* observer : observers_) observer->RowsChanged();
}

}  // namespace spelkub
