// The five fixed addresses of the menu, in one place. The operator's is its
// real row-submission page, Unibet's its start page; the others are ours.
#pragma once

#include <string_view>

namespace spelkub {

// "Skicka ett mail": a new mail to the support with the subject SPELKUB_LITE.
inline constexpr std::string_view kSupportMailAddress =
    "mailto:support@spelkub.se?subject=SPELKUB_LITE";
// "Gå till Spelkub sidan": the maker's start page.
inline constexpr std::string_view kMakerSiteAddress = "http://www.spelkub.se";
// "Gå till Spelkub FORUM": the forum on the same site.
inline constexpr std::string_view kMakerForumAddress = "http://www.spelkub.se/Forum";
// "Gå till Svenska Spel": the operator's page for handing in rows.
inline constexpr std::string_view kSvenskaSpelAddress =
    "https://www.svenskaspel.se/p4.aspx?pageid=167";
// "Gå till Unibet": the betting site's own Swedish start page (a partner's
// click-through host is not ours to know). The query keeps the partner form,
// three numbers and the visitor field: it names no one, and a start page
// shows itself whatever query it is given.
inline constexpr std::string_view kUnibetPartnerAddress =
    "https://www.unibet.se/?2008;918;102;ui=UNIQUE_ID";

}  // namespace spelkub
