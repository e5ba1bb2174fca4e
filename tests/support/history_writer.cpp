// A writer of the history database for the crash and concurrency tests:
// records coupons (and settles their draw every few) in a loop, and prints
// "committed ID" on standard output, flushed, after each commit returns, so
// the test knows what must survive a kill. Arguments: DATABASE COUNT TAG.
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <random>
#include <string>

#include "history/history_database.h"

int main(int argc, char** argv) {
  if (argc != 4) return 2;
  using namespace spelkub;
  try {
    history::Database database(argv[1]);
    const long count = std::strtol(argv[2], nullptr, 10);
    const long tag = std::strtol(argv[3], nullptr, 10);
    std::mt19937 random(static_cast<unsigned>(tag));
    for (long i = 0; i < count; ++i) {
      history::PlayedCoupon coupon;
      coupon.game = kStryktipset;
      coupon.draw = tag * 100000 + i / 5 + 1;
      coupon.rows.resize(2000 + random() % 2000);
      for (PackedRow& row : coupon.rows) {
        row = 0;
        for (int m = 0; m < 13; ++m) row |= PackedRow(random() % 3) << (2 * m);
      }
      coupon.stakeOre = static_cast<int64_t>(coupon.rows.size()) * 100;
      coupon.document = "tag " + std::to_string(tag) + " nummer " + std::to_string(i);
      const int64_t id = database.Record(coupon);
      std::printf("committed %lld\n", static_cast<long long>(id));
      std::fflush(stdout);
      if (i % 5 == 4) {
        history::DrawOutcome outcome;
        outcome.game = kStryktipset;
        outcome.draw = coupon.draw;
        outcome.signs.assign(13, static_cast<int>(random() % 3));
        outcome.payouts = {
            {13, std::nullopt, 100000000}, {12, 1, 50000}, {11, 2, 4000}, {10, 3, 1500}};
        outcome.source = "test";
        database.Settle(outcome);
        std::printf("settled %lld\n", static_cast<long long>(coupon.draw));
        std::fflush(stdout);
      }
    }
  } catch (const std::exception& error) {
    std::fprintf(stderr, "%s\n", error.what());
    return 1;
  }
  return 0;
}
