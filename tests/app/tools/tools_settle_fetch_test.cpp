// "Rätta spelad omgång..." with "Hämta resultat" against a local server: the
// fetched signs and payouts fill the fields and settle as the same typed; an
// answer that does not settle the draw is one line and leaves the database;
// "Avbryt" stops a slow fetch.
#include <gtest/gtest.h>

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTest>
#include <cstdlib>
#include <string>

#include "app/tools/history_dialogs.h"
#include "history/history_database.h"
#include "support/draw_answers.h"
#include "support/served_service.h"
#include "support/temp_folder.h"
#include "support/tools_host.h"

namespace spelkub::testing {
namespace {

using Json = nlohmann::json;
using test::ServedAnswer;

const std::string kDraws = "/draw/1/stryktipset/draws";

ServedAnswer Served(const Json& result, int delayMs = 0) {
  ServedAnswer answer;
  answer.body = Json{{"result", result}}.dump();
  answer.delayMs = delayMs;
  return answer;
}

// Draw `number`'s result with match 5's sign drawn: final.
Json FinalResult(int number) {
  Json result = test::ResultBody(number);
  result["events"][4]["outcome"] = "1";
  return result;
}

std::map<std::string, ServedAnswer> Answers() {
  Json wrongType = FinalResult(4715);
  wrongType["events"][2]["outcome"] = 1;
  return {
      {kDraws + "/4711/result", Served(FinalResult(4711))},
      {kDraws + "/4713/result", Served(test::ResultBody(4713))},
      {kDraws + "/4715/result", Served(wrongType)},
      {kDraws + "/4718/result", Served(FinalResult(4718), 20000)},
  };
}

class SettleFetchTest : public ToolsTest {
 protected:
  SettleFetchTest() : served(Answers()), folder("tools_settle_fetch") {
    platform.historyPath = QString::fromStdString(Database("h.sqlite"));
  }

  // A database holding three rows played on `draw`.
  std::string Database(const char* name, int64_t draw = 4711) {
    const std::string path = folder.Path(name).string();
    history::Database database(path);
    history::PlayedCoupon coupon;
    coupon.game = kStryktipset;
    coupon.draw = draw;
    coupon.rows = {0, 1, 2};
    coupon.stakeOre = 300;
    coupon.closeTime = "2026-12-12T15:59";
    database.Record(coupon);
    return path;
  }

  static void Click(QDialog& dialog, const char* name) {
    QTest::mouseClick(dialog.findChild<QPushButton*>(QString::fromUtf8(name)), Qt::LeftButton);
  }
  static QString Text(QDialog& dialog, const char* name) {
    return dialog.findChild<QLineEdit*>(QString::fromUtf8(name))->text();
  }
  static QLabel* Label(QDialog& dialog, const char* name) {
    return dialog.findChild<QLabel*>(QString::fromUtf8(name));
  }
  static void Wait(QDialog& dialog) {
    ASSERT_TRUE(WaitFor(dynamic_cast<tools::SettleDialog&>(dialog).SettleWorker()));
  }
  static void SetDraw(QDialog& dialog, int draw) {
    dialog.findChild<QSpinBox*>(QStringLiteral("Omgång"))->setValue(draw);
  }

  test::ServedService served;
  test::LocalServer& server = served.server;
  TempFolder folder;
};

TEST_F(SettleFetchTest, AFetchedResultFillsTheFieldsAndSettlesAsTyped) {
  QString fetchedReport;
  onDialog = [&](QDialog& dialog) {
    SetDraw(dialog, 4711);
    Click(dialog, "Hämta resultat");
    EXPECT_TRUE(dialog.findChild<QPushButton*>(QStringLiteral("Avbryt"))->isVisibleTo(&dialog));
    Wait(dialog);
    EXPECT_FALSE(Label(dialog, "Fel")->isVisibleTo(&dialog));
    EXPECT_EQ(Text(dialog, "Resultat"), QStringLiteral("1XX1121X21X21"));
    EXPECT_EQ(Text(dialog, "Utdelning"), QStringLiteral("13=1234567 12=12345 11=456 10=35"));
    EXPECT_EQ(Label(dialog, "Status")->text(), QStringLiteral("Resultatet hämtat: tryck Rätta."));
    Click(dialog, "Rätta");
    Wait(dialog);
    fetchedReport = dynamic_cast<tools::SettleDialog&>(dialog).ReportText();
  };
  tools::SettleCommand(Host());
  EXPECT_EQ(server.Requests(kDraws + "/4711/result"), 1);
  EXPECT_EQ(fetchedReport,
            QStringLiteral("Stryktipset omgång 4711, rätt rad 1XX1121X21X21:\nKupong 1: 13 rätt: 0 "
                           "rader, 12 rätt: 0 rader, 11 rätt: 0 rader, 10 rätt: 0 rader, vinst "
                           "0,00 kr."));

  // The same typed into another database: the same report and list.
  platform.historyPath = QString::fromStdString(Database("inskriven.sqlite"));
  QString typedReport;
  onDialog = [&](QDialog& dialog) {
    SetDraw(dialog, 4711);
    dialog.findChild<QLineEdit*>(QStringLiteral("Resultat"))->setText("1XX1121X21X21");
    dialog.findChild<QLineEdit*>(QStringLiteral("Utdelning"))
        ->setText("13=1234567 12=12345 11=456 10=35");
    Click(dialog, "Rätta");
    Wait(dialog);
    typedReport = dynamic_cast<tools::SettleDialog&>(dialog).ReportText();
  };
  tools::SettleCommand(Host());
  EXPECT_EQ(typedReport, fetchedReport);
  const auto fetchedList = history::Database(folder.Path("h.sqlite").string()).List();
  const auto typedList = history::Database(folder.Path("inskriven.sqlite").string()).List();
  ASSERT_EQ(fetchedList.size(), 1u);
  ASSERT_EQ(typedList.size(), 1u);
  EXPECT_EQ(fetchedList[0].wonOre, std::optional<int64_t>(0));
  EXPECT_EQ(typedList[0].wonOre, fetchedList[0].wonOre);
}

TEST_F(SettleFetchTest, AnAnswerThatDoesNotSettleIsOneLineAndTheDatabaseStays) {
  const std::string path = folder.Path("h.sqlite").string();
  const std::string before = ReadFile(path);
  const std::string base = server.Base();
  const std::pair<int, QString> cases[] = {
      {4712, QStringLiteral("Omgång 4712 har inget resultat ännu")},
      {4713,
       QStringLiteral("Omgång 4713 är inte avgjord än: match 5 är inställd och inte lottad än.")},
      {4715, QStringLiteral("Fel i svaret, fältet result.events[2].outcome: väntade text, fick "
                            "talet 1")},
  };
  onDialog = [&](QDialog& dialog) {
    for (const auto& [draw, message] : cases) {
      SetDraw(dialog, draw);
      Click(dialog, "Hämta resultat");
      Wait(dialog);
      EXPECT_TRUE(Label(dialog, "Fel")->isVisibleTo(&dialog)) << draw;
      EXPECT_EQ(Label(dialog, "Fel")->text(), message);
      EXPECT_EQ(Text(dialog, "Resultat"), QString()) << draw;
      EXPECT_TRUE(dynamic_cast<tools::SettleDialog&>(dialog).ReportText().isEmpty());
    }
    // Topptipset Europa has no results at the service.
    auto* game = dialog.findChild<QComboBox*>(QStringLiteral("Spel"));
    game->setCurrentIndex(game->findText(QStringLiteral("Topptipset Europa")));
    EXPECT_FALSE(dialog.findChild<QPushButton*>(QStringLiteral("Hämta resultat"))->isEnabled());
  };
  tools::SettleCommand(Host());
  EXPECT_EQ(ReadFile(path), before);
  EXPECT_FALSE(history::Database(path).List()[0].wonOre.has_value());
}

TEST_F(SettleFetchTest, AvbrytStopsASlowFetch) {
  onDialog = [&](QDialog& dialog) {
    SetDraw(dialog, 4718);
    Click(dialog, "Hämta resultat");
    auto& settle = dynamic_cast<tools::SettleDialog&>(dialog);
    ASSERT_TRUE(settle.SettleWorker().Running());
    EXPECT_FALSE(dialog.findChild<QPushButton*>(QStringLiteral("Rätta"))->isEnabled());
    Click(dialog, "Avbryt");
    Wait(dialog);
    EXPECT_EQ(Label(dialog, "Status")->text(), QStringLiteral("Avbrutet."));
    EXPECT_EQ(Text(dialog, "Resultat"), QString());
    EXPECT_TRUE(dialog.findChild<QPushButton*>(QStringLiteral("Rätta"))->isEnabled());
  };
  tools::SettleCommand(Host());
  EXPECT_FALSE(history::Database(folder.Path("h.sqlite").string()).List()[0].wonOre.has_value());
}

}  // namespace
}  // namespace spelkub::testing
