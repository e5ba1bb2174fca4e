// Numbers as players write them: chances, streck and odds typed on the
// command line, pasted from a spreadsheet or a web page, or given for the
// analysis. One reader, so that the same text gets the same number and the
// same message wherever it is written.
//
// A number is digits with at most one decimal point or decimal comma, and
// may end in "%" (blanks before it allowed); blanks, no-break blanks and the
// double quotes of a CSV field around it are taken away. No grouping, no
// exponent, no sign but a "-" that makes it negative, which is refused.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace spelkub {

// Beyond this no odds, percentage or share makes sense, and a long run of
// digits is more likely a pasted row number or a date gone wrong.
inline constexpr double kLargestNumberText = 1e9;

// Blanks: ASCII white space, and the no-break space U+00A0 and narrow
// no-break space U+202F that web pages put between a number and its "%".
// Whether one starts at `at`, and its length in bytes.
bool IsBlankAt(std::string_view text, size_t at, size_t* length);
std::string_view TrimBlanks(std::string_view text);
// A field as a cell shows it: blanks around taken away, and the double
// quotes a CSV file puts around a field.
std::string_view CellText(std::string_view text);

enum class NumberRead { kNumber, kNotNumber, kNegative, kTooLarge, kTooSmall };

// Reads one number; `number` is set only for kNumber. kTooSmall: digits that
// are not 0 but below what a double holds.
NumberRead ReadNumberText(std::string_view text, double* number);

// What is wrong with a field, its text shown short: "\"abc\" är inget tal",
// "talet \"-5\" är negativt", "\"1000000000000\" är för stort", "\"0,000…\" är
// för litet". Empty for kNumber.
std::string NumberProblem(NumberRead read, std::string_view text);

// The fields of a list of numbers, split at blanks, tabs, semicolons and line
// breaks, and at commas; but when the text has any of the others, a comma
// between two digits is a decimal comma ("45,5 30 24,5, 50 25 25"), so a
// comma splits there only in a text of commas alone ("45,30,25"), or in a
// field with more than one comma between digits ("40,30,30;50,25,25").
std::vector<std::string_view> NumberFields(std::string_view text);

// A list of numbers: the numbers, or the first field's problem.
struct NumberList {
  std::vector<double> numbers;
  std::string problem;  // NumberProblem of the first field that is no number
};
NumberList ReadNumberList(std::string_view text);

// A count that is not the expected one, said with what may have split a
// number in two: "väntade 39 tal, tre per match, fick 41" and, when the
// text had commas between digits, that a decimal comma needs blanks or
// semicolons between the numbers.
std::string CountProblem(std::string_view text, size_t wanted, size_t got);

}  // namespace spelkub
