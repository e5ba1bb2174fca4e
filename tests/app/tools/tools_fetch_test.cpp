// "Hämta omgång..." and "Uppdatera streck" offscreen against a local server:
// the listed draws, a fetch that fills the document as the companion's does,
// each hostile answer shown once in the dialog with the coupon untouched, a
// draw of another game refused, and "Avbryt" during a slow answer.
#include <gtest/gtest.h>

#include <QComboBox>
#include <QLabel>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QSpinBox>
#include <QTest>
#include <cmath>

#include "app/tools/fetch_draw_dialog.h"
#include "draw/draw_coupon.h"
#include "support/companion_run.h"
#include "support/draw_answers.h"
#include "support/served_service.h"
#include "support/temp_folder.h"
#include "support/tools_host.h"

namespace spelkub {
namespace {

using Json = nlohmann::json;
using test::DrawBody;
using test::ServedAnswer;

const std::string kDraws = "/draw/1/stryktipset/draws";
const std::string kJackpots = "/draw/1/jackpots";

std::map<std::string, ServedAnswer> Answers() {
  Json closed = DrawBody(4928);
  closed["drawState"] = "Closed";
  Json listing = {{"draws", {closed, DrawBody(4929)}}};
  for (int number = 4931; number <= 4937; ++number) listing["draws"].push_back(DrawBody(number));
  Json brokenType = DrawBody(4934);
  brokenType["drawEvents"][6]["svenskaFolket"]["x"] = Json::array({25});
  Json missing = DrawBody(4935);
  missing["drawEvents"][8].erase("eventNumber");
  return {
      {kDraws, {.body = listing.dump()}},
      {kDraws + "/4929", {.body = Json{{"draw", DrawBody(4929)}}.dump()}},
      {kDraws + "/4931", {.status = 500, .body = "{}"}},
      {kDraws + "/4932", {.body = Json{{"draw", DrawBody(4932)}}.dump(), .cut = true}},
      {kDraws + "/4933", {.body = "", .endlessBytes = size_t{50} << 20}},
      {kDraws + "/4934", {.body = Json{{"draw", brokenType}}.dump()}},
      {kDraws + "/4935", {.body = Json{{"draw", missing}}.dump()}},
      {kDraws + "/4936", {.body = Json{{"draw", DrawBody(4936, 12)}}.dump()}},
      {kJackpots, {.body = test::JackpotsBody().dump()}},
  };
}

class FetchDrawTest : public testing::ToolsTest {
 protected:
  FetchDrawTest() : served(Answers()) {
    document = NewCouponDocument(kStryktipset);
    document.values.match[0].home = "Före";
  }

  static tools::FetchDrawDialog& AsFetch(QDialog& dialog) {
    return dynamic_cast<tools::FetchDrawDialog&>(dialog);
  }
  static void Click(QDialog& dialog, const char* name) {
    QTest::mouseClick(dialog.findChild<QPushButton*>(name), Qt::LeftButton);
  }
  static QListWidget* List(QDialog& dialog) { return dialog.findChild<QListWidget*>("Omgangar"); }
  static QLabel* Error(QDialog& dialog) { return dialog.findChild<QLabel*>("Fel"); }
  static void Wait(QDialog& dialog) { ASSERT_TRUE(WaitFor(AsFetch(dialog).FetchWorker())); }

  // Picks the listed draw `number` and fetches it.
  static void FetchListed(QDialog& dialog, int number) {
    QListWidget* list = List(dialog);
    for (int row = 0; row < list->count(); ++row) {
      if (list->item(row)->data(Qt::UserRole).toInt() == number) list->setCurrentRow(row);
    }
    ASSERT_EQ(list->currentItem()->data(Qt::UserRole).toInt(), number);
    Click(dialog, "Hamta");
    Wait(dialog);
  }

  test::ServedService served;
  test::LocalServer& server = served.server;
  int dialogResult = -1;
};

TEST_F(FetchDrawTest, ListsTheDrawsAndFillsTheDocumentAsTheCompanionDoes) {
  onDialog = [this](QDialog& dialog) {
    Wait(dialog);
    QListWidget* list = List(dialog);
    ASSERT_EQ(list->count(), 9);
    EXPECT_EQ(list->item(0)->text(),
              QStringLiteral("Omgång 4928 · stänger 2026-12-12 15:59 · Closed"));
    EXPECT_EQ(list->item(1)->text(), QStringLiteral("Omgång 4929 · stänger 2026-12-12 15:59"));
    EXPECT_TRUE(dialog.findChild<QLabel*>("Inofficiell")->isVisibleTo(&dialog));
    FetchListed(dialog, 4929);
    dialogResult = dialog.result();
  };
  ASSERT_TRUE(tools::FetchDrawCommand(Host()));
  ASSERT_EQ(dialogResult, QDialog::Accepted);
  ASSERT_EQ(document.snapshots.size(), 1u);
  EXPECT_EQ(document.snapshots[0].draw, 4929);
  EXPECT_EQ(document.snapshots[0].jackpot, 10500000.0);
  EXPECT_EQ(document.pool.jackpot, 10500000.0);
  EXPECT_TRUE(platform.messages.empty());

  testing::TempFolder folder("spelkub_fetch_window");
  const std::string saved = folder.Path("vecka.spelkub").string();
  const auto companion =
      testing::RunCompanion({"--fetch", "stryktipset", "--draw", "4929", "--save-coupon", saved});
  ASSERT_EQ(companion.status, 0) << companion.err;
  CouponDocument expected = ReadCouponDocumentFile(saved).document.value();
  expected.snapshots[0].time = document.snapshots[0].time;  // fetched a moment apart
  EXPECT_EQ(CouponDocumentText(document), CouponDocumentText(expected));

  // "Uppdatera streck" fetches the same draw again with its new streck.
  Json moved = DrawBody(4929);
  moved["drawEvents"][0]["svenskaFolket"]["one"] = "70";
  moved["drawEvents"][0]["svenskaFolket"]["two"] = "4";
  server.Set(kDraws + "/4929", {.body = Json{{"draw", moved}}.dump()});
  dialogResult = -1;
  onDialog = [this](QDialog& dialog) {
    EXPECT_EQ(dialog.objectName(), QStringLiteral("UppdateraStreck"));
    Wait(dialog);
    dialogResult = dialog.result();
  };
  EXPECT_TRUE(tools::UpdateStreckCommand(Host()));
  EXPECT_EQ(dialogResult, QDialog::Accepted);
  EXPECT_EQ(document.values.match[0].streck[0], 70);
  EXPECT_EQ(document.values.match[0].streck[2], 4);
  ASSERT_EQ(document.snapshots.size(), 2u);
  EXPECT_EQ(document.chosenSnapshot, 1);
  EXPECT_EQ(StreckMoveOf(document, 1).sincePrevious, (SignValues{70.0 - 59, 0, 4.0 - 16}));
}

TEST_F(FetchDrawTest, EveryHostileAnswerIsOneLineInTheDialogAndTheCouponStays) {
  const std::string before = CouponDocumentText(document);
  const std::string base = server.Base();
  const std::vector<std::pair<int, std::string>> cases = {
      {4931, base + kDraws + "/4931 svarade med fel 500"},
      {4932, "Svaret från " + base + kDraws + "/4932 kom inte fram helt (förbindelsen bröts)"},
      {4933, "Svaret från " + base + kDraws + "/4933 är större än 4 MB och lästes inte"},
      {4934,
       "Fel i svaret, fältet draw.drawEvents[6].svenskaFolket.x: väntade ett tal, fick en lista"},
      {4935, "Fel i svaret: fältet draw.drawEvents[8].eventNumber saknas"},
      {4936, "Fel i svaret: omgång 4936 har 12 matcher, spelet har 13"},
      {4937, "Stryktipset har ingen omgång 4937"},
  };
  onDialog = [&](QDialog& dialog) {
    Wait(dialog);
    for (const auto& [number, message] : cases) {
      FetchListed(dialog, number);
      EXPECT_EQ(dialog.result(), 0) << number;
      EXPECT_TRUE(Error(dialog)->isVisibleTo(&dialog)) << number;
      EXPECT_EQ(Error(dialog)->text().toStdString(), message);
      EXPECT_TRUE(dialog.findChild<QPushButton*>("Hamta")->isEnabled());
    }
    Click(dialog, "Avbryt");
    dialogResult = dialog.result();
  };
  EXPECT_FALSE(tools::FetchDrawCommand(Host()));
  EXPECT_EQ(dialogResult, QDialog::Rejected);
  EXPECT_EQ(CouponDocumentText(document), before);
  EXPECT_TRUE(platform.messages.empty());
}

TEST_F(FetchDrawTest, ADrawOfAnotherGameIsRefusedAndChangesNothing) {
  state.Game = kEuropatipset;
  document = NewCouponDocument(kEuropatipset);
  const std::string before = CouponDocumentText(document);
  onDialog = [](QDialog& dialog) {
    // Europatipset is offered first; Stryktipset is chosen instead.
    auto* game = dialog.findChild<QComboBox*>("Spel");
    ASSERT_EQ(game->currentText(), QStringLiteral("Europatipset"));
    Wait(dialog);
    game->setCurrentIndex(0);
    Wait(dialog);
    FetchListed(dialog, 4929);
  };
  EXPECT_FALSE(tools::FetchDrawCommand(Host()));
  EXPECT_EQ(platform.messages,
            OneBox(QStringLiteral("Omgången gäller Stryktipset, kupongen Europatipset: välj "
                                  "spelet i fönstret först."),
                   QStringLiteral("Hämta omgång")));
  EXPECT_EQ(CouponDocumentText(document), before);
}

TEST_F(FetchDrawTest, AvbrytStopsASlowFetchAndTheDialogStays) {
  server.Set(kDraws + "/4929", {.body = Json{{"draw", DrawBody(4929)}}.dump(), .delayMs = 20000});
  const std::string before = CouponDocumentText(document);
  onDialog = [this](QDialog& dialog) {
    Wait(dialog);
    List(dialog)->setCurrentRow(1);
    Click(dialog, "Hamta");
    ASSERT_TRUE(AsFetch(dialog).FetchWorker().Running());
    EXPECT_EQ(dialog.findChild<QProgressBar*>("Framsteg")->maximum(), 0);  // busy
    Click(dialog, "Avbryt");
    Wait(dialog);
    EXPECT_EQ(dialog.findChild<QLabel*>("Status")->text(), QStringLiteral("Avbrutet."));
    EXPECT_EQ(dialog.result(), 0);
    Click(dialog, "Avbryt");
    dialogResult = dialog.result();
  };
  EXPECT_FALSE(tools::FetchDrawCommand(Host()));
  EXPECT_EQ(dialogResult, QDialog::Rejected);
  EXPECT_EQ(CouponDocumentText(document), before);
}

// The jackpot answer broken: the draw comes all the same, without a jackpot,
// and one box says so; the jackpot typed before stays.
TEST_F(FetchDrawTest, ADrawWithoutItsJackpotIsTakenWithABoxSayingSo) {
  Json broken = test::JackpotsBody();
  broken["jackpots"][0]["drawNumber"] = "4929";
  server.Set(kJackpots, {.body = broken.dump()});
  document.pool.jackpot = 1000;
  onDialog = [this](QDialog& dialog) {
    Wait(dialog);
    FetchListed(dialog, 4929);
    dialogResult = dialog.result();
  };
  ASSERT_TRUE(tools::FetchDrawCommand(Host()));
  EXPECT_EQ(dialogResult, QDialog::Accepted);
  ASSERT_EQ(document.snapshots.size(), 1u);
  EXPECT_TRUE(std::isnan(document.snapshots[0].jackpot));
  EXPECT_EQ(document.pool.jackpot, 1000.0);
  EXPECT_EQ(document.values.match[0].home, "Hemma 1");
  EXPECT_EQ(platform.messages,
            OneBox(QStringLiteral("Jackpotten kunde inte hämtas, omgång 4929 har ingen jackpott i "
                                  "kupongen: Fel i svaret, fältet jackpots[0].drawNumber: väntade "
                                  "ett heltal, fick texten \"4929\""),
                   QStringLiteral("Hämta omgång")));
}

// Topptipset lists no draws: the dialog looks for the open one by number and
// offers it; a search that finds none says why and lets a number be typed.
TEST_F(FetchDrawTest, TopptipsetsOpenDrawIsLookedForAndOffered) {
  state.Game = kTopptipset;
  document = NewCouponDocument(kTopptipset);
  Json jackpots = test::JackpotsBody();
  jackpots["jackpots"].push_back(
      {{"productId", 25}, {"drawNumber", 3001}, {"jackpots", {{{"jackpotAmount", "250 000"}}}}});
  Json closed = DrawBody(3001, 8);
  closed["drawState"] = "Closed";
  const std::string topp = "/draw/1/topptipset/draws";
  server.Set(kJackpots, {.body = jackpots.dump()});
  server.Set(topp + "/3001", {.body = Json{{"draw", closed}}.dump()});
  server.Set(topp + "/3002", {.body = Json{{"draw", DrawBody(3002, 8)}}.dump()});
  onDialog = [&](QDialog& dialog) {
    auto* game = dialog.findChild<QComboBox*>("Spel");
    ASSERT_EQ(game->currentText(), QStringLiteral("Topptipset"));
    EXPECT_FALSE(List(dialog)->isVisibleTo(&dialog));
    Wait(dialog);
    auto* number = dialog.findChild<QSpinBox*>("Nummer");
    EXPECT_EQ(number->value(), 3002);
    EXPECT_EQ(dialog.findChild<QLabel*>("Status")->text(),
              QStringLiteral("Öppen omgång: 3002. Tryck Hämta."));
    EXPECT_FALSE(Error(dialog)->isVisibleTo(&dialog));
    // Topptipset Extra has no draw in the jackpot answer: a number is asked for.
    game->setCurrentIndex(game->findText(QStringLiteral("Topptipset Extra")));
    Wait(dialog);
    EXPECT_EQ(Error(dialog)->text(),
              QStringLiteral("Topptipset Extra listar inga omgångar och jackpottlistan nämner "
                             "ingen: ange omgångens nummer"));
    EXPECT_EQ(dialog.findChild<QLabel*>("Status")->text(),
              QStringLiteral("Ange omgångens nummer."));
    game->setCurrentIndex(game->findText(QStringLiteral("Topptipset")));
    Wait(dialog);
    Click(dialog, "Hamta");
    Wait(dialog);
    dialogResult = dialog.result();
  };
  ASSERT_TRUE(tools::FetchDrawCommand(Host()));
  EXPECT_EQ(dialogResult, QDialog::Accepted);
  ASSERT_EQ(document.snapshots.size(), 1u);
  EXPECT_EQ(document.snapshots[0].draw, 3002);
  EXPECT_EQ(document.values.match[7].home, "Hemma 8");
  // The jackpot answer names 3001, not 3002.
  EXPECT_EQ(platform.messages,
            OneBox(QStringLiteral("Jackpottlistan nämner inte omgång 3002: kupongen har ingen "
                                  "jackpott"),
                   QStringLiteral("Hämta omgång")));
}

TEST_F(FetchDrawTest, UpdateStreckBeforeAnyFetchSaysSo) {
  EXPECT_FALSE(tools::UpdateStreckCommand(Host()));
  EXPECT_EQ(platform.messages,
            OneBox(QStringLiteral("Kupongen har ingen hämtad omgång: välj Hämta omgång... först."),
                   QStringLiteral("Uppdatera streck")));
  EXPECT_EQ(dialogsRun, 0);
}

}  // namespace
}  // namespace spelkub
