// The coupon document reader against texts made to hurt it: keys and
// nestings deep enough to overflow the TOML library's stack, bytes it must
// never see, and line ends and decimal commas a user's editor makes. Each is refused with one line
// that names the line of the text; nothing reaches the library that could end the program.
#include <gtest/gtest.h>

#include <string>

#include "document/coupon_document.h"

namespace spelkub {
namespace {

// A document of a plain coupon, as the program writes it.
std::string PlainText() {
  CouponDocument document = NewCouponDocument(kStryktipset);
  for (int match = 1; match <= 13; ++match) document.marks[CellIndex(match, 0)] = true;
  return CouponDocumentText(document);
}

std::string ErrorOf(std::string_view text) {
  const DocumentResult result = LoadCouponDocument(text);
  EXPECT_FALSE(result.document) << text.substr(0, 200);
  return result.error;
}

std::string Repeated(std::string_view part, size_t times) {
  std::string text;
  for (size_t i = 0; i < times; ++i) text += part;
  return text;
}

TEST(DocumentGuard, ThePlainDocumentLoads) {
  const std::string text = PlainText();
  ASSERT_TRUE(LoadCouponDocument(text).document) << LoadCouponDocument(text).error;
  // Letters beyond ASCII inside quotes and comments are the user's own.
  std::string named = text;
  named.insert(named.find("mark ="), "home = \"Örebro SK\"  # hemmalaget, ÅÄÖ\n");
  const DocumentResult result = LoadCouponDocument(named);
  ASSERT_TRUE(result.document) << result.error;
  EXPECT_EQ(result.document->values.match[0].home, "Örebro SK");
}

// 40,000 key parts used to overflow the stack inside the library (exit 139).
TEST(DocumentGuard, RefusesKeysOfManyPartsBeforeTheLibraryReadsThem) {
  const std::string refusal = "Rad 2: nyckeln har för många delar (högst 32)";
  EXPECT_EQ(ErrorOf("format = 1\n" + Repeated("a.", 40'000) + "a = 1\n"), refusal);
  EXPECT_EQ(ErrorOf("format = 1\n[" + Repeated("a.", 40'000) + "a]\n"), refusal);
  EXPECT_EQ(ErrorOf("format = 1\n" + Repeated("\"a\" . ", 40'000) + "a = 1\n"), refusal);
  EXPECT_EQ(ErrorOf("format = 1\nx = { " + Repeated("a.", 40'000) + "a = 1 }\n"), refusal);
  // Short dotted keys, and decimals side by side, are the library's to read.
  EXPECT_EQ(ErrorOf("format = 1\n" + Repeated("a.", 20) + "a = [1.5, 2.5, 3.5, 4.5]\n"),
            "Rad 2: okänd nyckel \"a\"");
}

TEST(DocumentGuard, RefusesNestingDeeperThanTheLibraryTakes) {
  EXPECT_EQ(ErrorOf("format = 1\nx = " + Repeated("[", 300) + Repeated("]", 300) + "\n"),
            "Rad 2: för djupt nästlat (högst 256 nivåer)");
  EXPECT_EQ(ErrorOf("format = 1\nx = " + Repeated("{a = ", 300) + "1" + Repeated("}", 300)),
            "Rad 2: för djupt nästlat (högst 256 nivåer)");
  // Within the limit the reader's own refusal follows.
  EXPECT_EQ(ErrorOf("format = 1\ngame = \"stryktipset\"\nx = " + Repeated("[", 200) +
                    Repeated("]", 200) + "\n"),
            "Rad 3: okänd nyckel \"x\"");
}

// Bytes beyond ASCII where TOML expects blanks led the library into code it
// holds unreachable (c3 8f); a no-break space looked like a blank.
TEST(DocumentGuard, RefusesCharactersBeyondAsciiOutsideQuotes) {
  EXPECT_EQ(ErrorOf("format = 1\ngame\xC3\x8F= \"stryktipset\"\n"),
            "Rad 2: tecken utöver ASCII får bara stå inom citattecken eller i en kommentar");
  EXPECT_EQ(ErrorOf("format\xC3\x8F\xC3\x8F= 1\n"),
            "Rad 1: tecken utöver ASCII får bara stå inom citattecken eller i en kommentar");
  EXPECT_EQ(ErrorOf("format = 1\ngame\u00A0= \"stryktipset\"\n"),
            "Rad 2: hårt mellanslag (U+00A0) utanför citattecken: skriv ett vanligt mellanslag");
  // A quote's escape does not end it early: the bytes after it are still quoted.
  std::string text = PlainText();
  text.insert(text.find("mark ="), "home = \"Sm\\\"\u00A0Ö\"\n");
  EXPECT_TRUE(LoadCouponDocument(text).document) << LoadCouponDocument(text).error;
}

TEST(DocumentGuard, SaysWhatALoneCarriageReturnIs) {
  EXPECT_EQ(ErrorOf("format = 1\rgame = \"stryktipset\"\r"),
            "Rad 1: radslut med bara CR (byte 0x0D): spara filen med radslut LF eller CR LF");
  // CR LF is a line end like LF.
  std::string crlf;
  for (const char c : PlainText()) {
    if (c == '\n') crlf += '\r';
    crlf += c;
  }
  EXPECT_TRUE(LoadCouponDocument(crlf).document) << LoadCouponDocument(crlf).error;
}

TEST(DocumentGuard, MessagesAreOneLineWithAHintForDecimalCommas) {
  const std::string fals = ErrorOf("format = 1\nx = fals\n");
  EXPECT_EQ(fals.find('\n'), std::string::npos) << fals;
  EXPECT_TRUE(fals.starts_with("Rad 2: ")) << fals;
  EXPECT_EQ(fals.find("\\x0"), std::string::npos) << fals;

  std::string text = PlainText();
  text.replace(text.find("row_price = 1.0"), 15, "row_price = 1,5");
  EXPECT_EQ(ErrorOf(text), "Rad 5: oväntat tecken \",\" (decimaltal skrivs med punkt, t.ex. 1.85)");
  text = PlainText();
  text.insert(text.find("mark ="), "odds = [1,85, 3,40, 4,50]\n");
  const std::string odds = ErrorOf(text);
  EXPECT_TRUE(
      odds.ends_with("\"odds\" ska vara en lista med tre tal, för 1, X och 2 "
                     "(decimaltal skrivs med punkt, t.ex. 1.85)"))
      << odds;
}

}  // namespace
}  // namespace spelkub
