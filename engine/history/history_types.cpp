#include "history/history_types.h"

#include <openssl/evp.h>

#include <array>
#include <cstdlib>
#include <stdexcept>

namespace spelkub::history {

namespace {

constexpr std::array<char, 3> kSignChars{'1', 'X', '2'};

// Digits in groups of three, separated by a space: "1 234 567".
std::string Grouped(int64_t whole) {
  std::string digits = std::to_string(whole);
  std::string grouped;
  for (size_t i = 0; i < digits.size(); ++i) {
    if (i > 0 && (digits.size() - i) % 3 == 0) grouped += ' ';
    grouped += digits[i];
  }
  return grouped;
}

std::string TwoDigits(int64_t value) {
  std::string digits(2, '0');
  digits[0] = static_cast<char>('0' + value / 10);
  digits[1] = static_cast<char>('0' + value % 10);
  return digits;
}

}  // namespace

std::string SignsText(std::span<const int> signs) {
  std::string text;
  for (const int sign : signs) text += kSignChars.at(static_cast<size_t>(sign));
  return text;
}

std::optional<std::vector<int>> SignsOf(std::string_view text, int matches) {
  if (static_cast<int>(text.size()) != matches) return std::nullopt;
  std::vector<int> signs;
  for (const char c : text) {
    if (c == '1') {
      signs.push_back(0);
    } else if (c == 'X' || c == 'x') {
      signs.push_back(1);
    } else if (c == '2') {
      signs.push_back(2);
    } else {
      return std::nullopt;
    }
  }
  return signs;
}

Settlement SettleRows(std::span<const PackedRow> rows, std::span<const int> signs,
                      std::span<const LevelPayout> payouts, int64_t payoutFactor) {
  const int matches = static_cast<int>(signs.size());
  std::vector<int64_t> byCorrect(static_cast<size_t>(matches) + 1, 0);
  for (const PackedRow row : rows) {
    int correct = 0;
    for (int m = 1; m <= matches; ++m) correct += PackedOutcome(row, m) == signs[m - 1] ? 1 : 0;
    ++byCorrect[static_cast<size_t>(correct)];
  }
  Settlement settlement;
  for (const LevelPayout& payout : payouts) {
    LevelWin win;
    win.correct = payout.correct;
    if (payout.correct >= 0 && payout.correct <= matches) {
      win.rows = byCorrect[static_cast<size_t>(payout.correct)];
    }
    win.amountOre = win.rows * payout.amountOre * payoutFactor;
    settlement.wonOre += win.amountOre;
    settlement.levels.push_back(win);
  }
  return settlement;
}

std::string Sha256Hex(std::string_view bytes) {
  std::array<unsigned char, EVP_MAX_MD_SIZE> digest{};
  unsigned int length = 0;
  if (EVP_Digest(bytes.data(), bytes.size(), digest.data(), &length, EVP_sha256(), nullptr) != 1) {
    throw std::runtime_error("SHA-256 misslyckades");
  }
  static constexpr char kHex[] = "0123456789abcdef";
  std::string hex;
  for (unsigned int i = 0; i < length; ++i) {
    hex += kHex[digest[i] >> 4];
    hex += kHex[digest[i] & 15];
  }
  return hex;
}

std::string KronorText(int64_t ore) {
  const int64_t magnitude = ore < 0 ? -ore : ore;
  std::string text;
  if (ore < 0) text.append("−");
  text.append(Grouped(magnitude / 100)).append(",").append(TwoDigits(magnitude % 100));
  return text.append(" kr");
}

std::string KronorPlain(int64_t ore) {
  const int64_t magnitude = ore < 0 ? -ore : ore;
  std::string text;
  if (ore < 0) text.append("-");
  text.append(std::to_string(magnitude / 100)).append(".").append(TwoDigits(magnitude % 100));
  return text;
}

std::optional<int64_t> OreOf(std::string_view kronor) {
  std::string_view text = kronor;
  while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
  if (text.ends_with("kr")) text.remove_suffix(2);
  while (!text.empty() && text.back() == ' ') text.remove_suffix(1);
  int64_t whole = 0;
  int64_t fraction = 0;
  int wholeDigits = 0;
  int fractionDigits = -1;  // -1: no decimal separator seen
  for (size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (c >= '0' && c <= '9') {
      if (fractionDigits < 0) {
        if (++wholeDigits > 12) return std::nullopt;
        whole = whole * 10 + (c - '0');
      } else {
        if (++fractionDigits > 2) return std::nullopt;
        fraction = fraction * 10 + (c - '0');
      }
    } else if (c == ' ' && fractionDigits < 0 && wholeDigits > 0 && i + 1 < text.size() &&
               text[i + 1] >= '0' && text[i + 1] <= '9') {
      continue;  // a thousands' space
    } else if ((c == ',' || c == '.') && fractionDigits < 0 && wholeDigits > 0) {
      fractionDigits = 0;
    } else {
      return std::nullopt;
    }
  }
  if (wholeDigits == 0 || fractionDigits == 0) return std::nullopt;
  if (fractionDigits == 1) fraction *= 10;
  return whole * 100 + fraction;
}

}  // namespace spelkub::history
