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
#include <QTest>
#include <cstdlib>

#include "app/tools/fetch_draw_dialog.h"
#include "draw/draw_coupon.h"
#include "support/companion_run.h"
#include "support/draw_answers.h"
#include "support/local_server.h"
#include "temp_folder.h"
#include "tools_host.h"

namespace spelkub {
namespace {

using Json = nlohmann::json;
using test::DrawBody;
using test::ServedAnswer;

const std::string kDraws = "/draw/1/stryktipset/draws";

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
  };
}

class FetchDrawTest : public testing::ToolsTest {
 protected:
  FetchDrawTest() : server(Answers()) {
    setenv(net::kApiBaseVariable, server.Base().c_str(), 1);
    document = NewCouponDocument(kStryktipset);
    document.values.match[0].home = "Före";
  }
  ~FetchDrawTest() override { unsetenv(net::kApiBaseVariable); }

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

  test::LocalServer server;
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

TEST_F(FetchDrawTest, UpdateStreckBeforeAnyFetchSaysSo) {
  EXPECT_FALSE(tools::UpdateStreckCommand(Host()));
  EXPECT_EQ(platform.messages,
            OneBox(QStringLiteral("Kupongen har ingen hämtad omgång: välj Hämta omgång... först."),
                   QStringLiteral("Uppdatera streck")));
  EXPECT_EQ(dialogsRun, 0);
}

}  // namespace
}  // namespace spelkub
