// Every message box text of the program with its caption, as the user sees it.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace spelkub {

struct Message {
  std::string_view text;
  std::string_view caption;
};

inline constexpr Message kInvalidSystemMessage{"Klicka i ett giltigt system!", "Felaktig rad!"};
inline constexpr Message kPlus13Message{"Kolla dina val gällande dubbelvinsten!!",
                                        "Felaktigt val!"};
inline constexpr Message kGuaranteeChoiceMessage{"Kolla dina val gällande garanti reducering!!",
                                                 "Felaktigt val!"};
inline constexpr Message kRowCountChoiceMessage{"Kolla dina val gällande antal rader!!",
                                                "Felaktigt val!"};
inline constexpr Message kTargetTooLargeMessage{"Felaktigt val av antal rader!", "FEL!"};
inline constexpr Message kGuaranteeReducedMessage{"Dina rader är nu reducerade!!", "Reducering"};
inline constexpr Message kSavedMessage{"Dina rader är nu sparade!!", "SPARAT"};

inline constexpr std::string_view kReducedCaption = "Reducering";
inline constexpr std::string_view kGuaranteeReportSuffix =
    " rätts garanti på dina nu reducerade rader!";

// The row-count reduction's report: "<guarantee> rätts garanti på dina nu reducerade rader!".
inline std::string GuaranteeReportText(int guarantee) {
  return std::to_string(guarantee) + std::string(kGuaranteeReportSuffix);
}

// "1 rad", "2 rader": a count of rows in the tools' own reports. The specified
// messages of the base program keep their wording.
inline std::string RowCountText(std::size_t rows) {
  return std::to_string(rows) + (rows == 1 ? " rad" : " rader");
}

// Status bar texts.
inline constexpr std::string_view kStatusGenerating = "Genererar rader, VÄNTA....!";
inline constexpr std::string_view kStatusGenerated = "Generering klar!";
inline constexpr std::string_view kStatusReducing = "Reducerar rader, VÄNTA....!";

}  // namespace spelkub
