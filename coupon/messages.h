// Every message box text of the program with its caption, as the user sees it.
#pragma once

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

// Status bar texts.
inline constexpr std::string_view kStatusGenerating = "Genererar rader, VÄNTA....!";
inline constexpr std::string_view kStatusGenerated = "Generering klar!";
inline constexpr std::string_view kStatusReducing = "Reducerar rader, VÄNTA....!";

}  // namespace spelkub
