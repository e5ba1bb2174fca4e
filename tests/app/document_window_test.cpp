// The menu "Kupong" in the window, offscreen through the fake platform and
// real files: opening a coupon document sets the window as clicks would and
// leaves the rows; a damaged one changes nothing; saving and opening keep
// every byte; unsaved changes are asked about; the match table edits the
// window's document.
#include <gtest/gtest.h>

#include <QAction>
#include <QClipboard>
#include <QGuiApplication>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QTest>
#include <string>
#include <vector>

#include "app/tools/match_table_dialog.h"
#include "coupon/coupon_state.h"
#include "document/coupon_document.h"
#include "support/temp_folder.h"
#include "support/window_fixture.h"

namespace spelkub {
namespace {

using testing::Box;

// An Europatipset coupon with the goals "F", match 4 full, match 1 "1X",
// values for match 1 and a turnover.
std::string GoodDocument() {
  std::string text =
      "format = 1\n"
      "game = \"europatipset\"\n"
      "goals = \"F\"\n"
      "\n"
      "[pool]\n"
      "turnover = 30000000\n";
  for (int match = 1; match <= 13; ++match) {
    text += "\n[[match]]\nnumber = " + std::to_string(match) + "\n";
    if (match == 1) {
      text +=
          "home = \"Arsenal\"\naway = \"Chelsea\"\nmark = \"X1\"\n"
          "odds = [1.85, 3.6, 4.4]\nchance = [50, 27, 23]\nstreck = [61.5, 22, 16.5]\n";
    } else {
      text += match == 4 ? "mark = \"1X2\"\n" : match == 7 ? "mark = \"2\"\n" : "mark = \"1\"\n";
    }
  }
  return text;
}

class DocumentWindowTest : public testing::WindowTest<> {
 protected:
  DocumentWindowTest() : folder("spelkub_document_window") {}
  ~DocumentWindowTest() override {
    tools::SetMatchTableRunner(nullptr);
    form.reset();  // the window goes before its folder
  }

  QString PathOf(const std::string& name) const {
    return QString::fromStdString(folder.Path(name).string());
  }
  QString Write(const std::string& name, const std::string& text) const {
    testing::WriteFile(folder.Path(name), text);
    return PathOf(name);
  }
  void Open(const QString& path) {
    platform.openAnswer = path;
    form->ppnakupong1->trigger();
  }
  void SaveAs(const QString& path) {
    platform.saveAnswer = path;
    form->Sparakupong1->trigger();
  }
  // The signs shown in the cells, per match: "1X", "", ...
  std::vector<std::string> ShownMarks() const {
    std::vector<std::string> shown;
    for (int match = 1; match <= kMaxMatches; ++match) {
      std::string signs;
      for (int outcome = 0; outcome < 3; ++outcome) {
        signs += Cell(match, outcome)->text().toStdString();
        EXPECT_EQ(state.Marks[CellIndex(match, outcome)] != 0,
                  !Cell(match, outcome)->text().isEmpty())
            << "match " << match;
      }
      shown.push_back(signs);
    }
    return shown;
  }
  // Enters values through the match table: one line of 39 streck.
  void EnterStreck() {
    tools::SetMatchTableRunner([](tools::MatchTableDialog& dialog) {
      dialog.Table()->setCurrentCell(0, tools::kStreckColumn);
      std::string line;
      for (int i = 0; i < 39; ++i) line += i % 3 == 0 ? "50 " : "25 ";
      ASSERT_TRUE(dialog.PasteText(QString::fromStdString(line)));
      dialog.accept();
    });
    form->Matchvrdering1->trigger();
    tools::SetMatchTableRunner(nullptr);
  }

  testing::TempFolder folder;
};

TEST_F(DocumentWindowTest, KupongComesAfterVerktygWithItsItems) {
  const QList<QAction*> entries = form->MainMenu1->actions();
  ASSERT_EQ(entries.size(), 5);
  EXPECT_EQ(entries[3]->menu(), form->Verktyg1);
  EXPECT_EQ(entries[4]->text(), QStringLiteral("Kupong"));
  EXPECT_EQ(entries[4]->objectName(), QStringLiteral("Kupong1"));
  ASSERT_EQ(entries[4]->menu(), form->Kupong1);
  std::vector<std::pair<QString, QString>> items;
  for (const QAction* item : form->Kupong1->actions()) {
    items.emplace_back(item->objectName(),
                       item->isSeparator() ? QStringLiteral("-") : item->text());
    EXPECT_TRUE(item->shortcut().isEmpty());
  }
  EXPECT_EQ(items, (std::vector<std::pair<QString, QString>>{
                       {"ppnakupong1", "Öppna kupong..."},
                       {"Sparakupong1", "Spara kupong..."},
                       {"N1", "-"},
                       {"Matchvrdering1", "Matchvärdering..."},
                       {"Villkor1", "Villkor..."},
                       {"Fljkupongen1", "Följ kupongen..."},
                       {"Spel1", "Spel"},
                       {"N2", "-"},
                       {"Hmtaomgng1", "Hämta omgång..."},
                       {"Uppdaterastreck1", "Uppdatera streck"},
                       {"Vrdereducering1", "Värdereducering..."},
                       {"N3", "-"},
                       {"Bokfrspeladkupong1", "Bokför spelad kupong..."},
                       {"Rttaspeladomgng1", "Rätta spelad omgång..."},
                       {"Minaomgngar1", "Mina omgångar..."}}));
}

TEST_F(DocumentWindowTest, OpeningSetsGameGoalsAndMarksAsClicksWouldAndLeavesTheRows) {
  Mark({"2", "2", "2", "2", "2", "2", "2", "2", "2", "2", "2", "2", "2X"});
  Click(form->Button2);  // "Generera Rader": two rows in the list
  const std::string rows(form->Memo1->Text());
  const QString finished = form->Label18->text();
  ASSERT_EQ(finished, QStringLiteral("2"));

  Open(Write("omgang.spelkub", GoodDocument()));

  EXPECT_TRUE(platform.messages.empty());
  EXPECT_EQ(platform.openFilters, std::vector<QString>{QStringLiteral("Kupong (*.spelkub)")});
  EXPECT_EQ(form->RadioGroup1->ItemIndex(), 1);
  EXPECT_EQ(state.Game, kEuropatipset);
  EXPECT_EQ(form->ComboBox1->ItemIndex(), 3);
  EXPECT_EQ(state.Goals, kGoalsF);
  EXPECT_EQ(ShownMarks(), (std::vector<std::string>{"1X", "1", "1", "1X2", "1", "1", "2", "1", "1",
                                                    "1", "1", "1", "1", ""}));
  EXPECT_EQ(form->Label16->text(), QStringLiteral("6"));
  EXPECT_EQ(form->Memo1->Text(), rows);
  EXPECT_EQ(form->Label18->text(), finished);
  EXPECT_EQ(form->DocumentPath(), PathOf("omgang.spelkub"));
  EXPECT_FALSE(form->DocumentChanged());

  // The values went into the window's document: the match table shows them.
  tools::SetMatchTableRunner([](tools::MatchTableDialog& dialog) {
    EXPECT_EQ(dialog.Table()->item(0, tools::kHomeColumn)->text(), QStringLiteral("Arsenal"));
    EXPECT_EQ(dialog.Table()->item(0, tools::kOddsColumn)->text(), QStringLiteral("1,85"));
    EXPECT_EQ(dialog.Table()->item(0, tools::kStreckColumn)->text(), QStringLiteral("61,5"));
    EXPECT_EQ(dialog.Turnover(), 30000000.0);
  });
  form->Matchvrdering1->trigger();
}

TEST_F(DocumentWindowTest, OpeningSupertotoShowsMatch14AndClearsGoalsNotInTheDocument) {
  Choose(form->RadioGroup2, kPlus13Yes);
  Pick(form->ComboBox1, 1);  // "2"
  std::string text = "format = 1\ngame = \"supertoto\"\n";
  for (int match = 1; match <= 14; ++match) {
    text += "[[match]]\nnumber = " + std::to_string(match) + "\nmark = \"" +
            (match == 14 ? "12" : "X") + "\"\n";
  }
  Open(Write("toto.spelkub", text));
  ASSERT_TRUE(platform.messages.empty());
  EXPECT_EQ(state.Game, kSupertoto);
  EXPECT_TRUE(Cell(14, 0)->isVisible());
  EXPECT_FALSE(form->RadioGroup2->isVisible());
  EXPECT_EQ(state.Goals, kGoalsNone);
  EXPECT_EQ(form->ComboBox1->ItemIndex(), -1);
  EXPECT_EQ(form->Label16->text(), QStringLiteral("2"));
  EXPECT_EQ(ShownMarks().back(), "12");
}

TEST_F(DocumentWindowTest, ADamagedDocumentIsRefusedWithItsLineAndNothingChanges) {
  Mark({"1", "X"});
  std::string text = GoodDocument();
  text.replace(text.find("mark = \"1X2\""), 12, "mark = \"1Y\"");
  const DocumentResult expected = LoadCouponDocument(text);
  ASSERT_FALSE(expected.document);
  ASSERT_EQ(expected.error.rfind("Rad ", 0), 0u) << expected.error;

  const CouponState before = state;
  Open(Write("trasig.spelkub", text));

  EXPECT_EQ(
      platform.messages,
      (std::vector<Box>{{QString::fromStdString(expected.error), QStringLiteral("Öppna kupong")}}));
  EXPECT_EQ(state.Game, before.Game);
  EXPECT_EQ(state.Goals, before.Goals);
  EXPECT_TRUE(std::equal(std::begin(state.Marks), std::end(state.Marks), std::begin(before.Marks)));
  EXPECT_EQ(form->RadioGroup1->ItemIndex(), 0);
  EXPECT_EQ(Cell(1, 0)->text(), QStringLiteral("1"));
  EXPECT_TRUE(form->DocumentPath().isEmpty());

  // A file that is not there is refused the same way.
  platform.messages.clear();
  Open(PathOf("saknas.spelkub"));
  ASSERT_EQ(platform.messages.size(), 1u);
  EXPECT_TRUE(platform.messages[0].text.startsWith(QStringLiteral("Kan inte läsa")));
  EXPECT_TRUE(form->DocumentPath().isEmpty());
}

TEST_F(DocumentWindowTest, SaveOpenSaveGivesTheSameBytes) {
  MarkAll(13);
  ClickCell(5, 1);
  EnterStreck();
  SaveAs(PathOf("forsta"));  // the ending is added
  ASSERT_TRUE(platform.messages.empty()) << platform.messages[0].text.toStdString();
  const std::string first = testing::ReadFile(folder.Path("forsta.spelkub"));
  ASSERT_FALSE(first.empty());
  EXPECT_EQ(form->DocumentPath(), PathOf("forsta.spelkub"));
  EXPECT_EQ(platform.saveFilters.back(), QStringLiteral("Kupong (*.spelkub)"));
  EXPECT_FALSE(form->DocumentChanged());
  EXPECT_NE(first.find("streck = [50.0, 25.0, 25.0]"), std::string::npos) << first;

  // Another coupon in the window, then the saved one back.
  ClickCell(1, 0);
  ClickCell(2, 2);
  platform.questionAnswer = SaveChangesAnswer::kDiscard;
  Open(PathOf("forsta.spelkub"));
  ASSERT_EQ(platform.questions.size(), 1u);
  EXPECT_EQ(state.Marks[CellIndex(1, 0)], 1);
  EXPECT_EQ(state.Marks[CellIndex(5, 1)], 0);
  SaveAs(PathOf("andra.spelkub"));
  EXPECT_EQ(testing::ReadFile(folder.Path("andra.spelkub")), first);

  // A hand-written document comes back in the canonical text.
  const std::string written = GoodDocument();
  Open(Write("handskriven.spelkub", written));
  SaveAs(PathOf("kanonisk.spelkub"));
  const DocumentResult loaded = LoadCouponDocument(written);
  ASSERT_TRUE(loaded.document);
  EXPECT_EQ(testing::ReadFile(folder.Path("kanonisk.spelkub")),
            CouponDocumentText(*loaded.document));
}

TEST_F(DocumentWindowTest, MarksAloneWithoutAFileCloseWithoutAQuestion) {
  MarkAll(13);
  EXPECT_FALSE(form->DocumentChanged());
  EXPECT_TRUE(form->close());
  EXPECT_TRUE(platform.questions.empty());
}

TEST_F(DocumentWindowTest, EnteredValuesAreAskedAboutOnClose) {
  EnterStreck();
  ASSERT_TRUE(form->DocumentChanged());
  const Box question{QStringLiteral("Spara ändringarna i kupongen?"), QStringLiteral("Kupong")};

  // Avbryt: the window stays, nothing written.
  platform.questionAnswer = SaveChangesAnswer::kCancel;
  EXPECT_FALSE(form->close());
  EXPECT_TRUE(form->isVisible());
  EXPECT_EQ(platform.questions, std::vector<Box>{question});
  EXPECT_TRUE(folder.Entries().empty());

  // Spara, then Avbryt in the save dialog: still open, nothing written.
  platform.questionAnswer = SaveChangesAnswer::kSave;
  platform.saveAnswer.reset();
  EXPECT_FALSE(form->close());
  EXPECT_TRUE(form->isVisible());
  EXPECT_TRUE(folder.Entries().empty());

  // Spara with a file: written, and the window closes.
  platform.saveAnswer = PathOf("stang.spelkub");
  EXPECT_TRUE(form->close());
  EXPECT_EQ(folder.Entries(), std::vector<std::string>{"stang.spelkub"});
  EXPECT_NE(testing::ReadFile(folder.Path("stang.spelkub")).find("streck = [50.0, 25.0, 25.0]"),
            std::string::npos);
}

TEST_F(DocumentWindowTest, SparaInteClosesWithoutWriting) {
  EnterStreck();
  platform.questionAnswer = SaveChangesAnswer::kDiscard;
  EXPECT_TRUE(form->close());
  EXPECT_EQ(platform.questions.size(), 1u);
  EXPECT_TRUE(folder.Entries().empty());
  EXPECT_TRUE(platform.proposedPaths.empty());  // no save dialog
}

TEST_F(DocumentWindowTest, ChangedMarksOfAnOpenedCouponAreAskedAboutBeforeAnotherIsOpened) {
  const QString path = Write("omgang.spelkub", GoodDocument());
  Open(path);
  ClickCell(2, 2);
  ASSERT_TRUE(form->DocumentChanged());

  // Avbryt: no open dialog, the window as it was.
  platform.questionAnswer = SaveChangesAnswer::kCancel;
  Open(path);
  EXPECT_EQ(platform.questions.size(), 1u);
  EXPECT_EQ(platform.openFilters.size(), 1u);
  EXPECT_EQ(state.Marks[CellIndex(2, 2)], 1);

  // Spara: written to the coupon's own file without a dialog, then opened.
  platform.questionAnswer = SaveChangesAnswer::kSave;
  Open(path);
  EXPECT_EQ(platform.questions.size(), 2u);
  EXPECT_TRUE(platform.saveFilters.empty());
  EXPECT_NE(testing::ReadFile(folder.Path("omgang.spelkub")).find("mark = \"12\""),
            std::string::npos);
  EXPECT_EQ(state.Marks[CellIndex(2, 2)], 1);
  EXPECT_FALSE(form->DocumentChanged());
}

TEST_F(DocumentWindowTest, AFailedSaveSaysSoAndLosesNothing) {
  EnterStreck();
  SaveAs(PathOf("saknad_mapp/kupong.spelkub"));
  ASSERT_EQ(platform.messages.size(), 1u);
  EXPECT_EQ(platform.messages[0].caption, QStringLiteral("Spara kupong"));
  EXPECT_TRUE(platform.messages[0].text.startsWith(QStringLiteral("Kan inte skapa filen")))
      << platform.messages[0].text.toStdString();
  EXPECT_TRUE(form->DocumentPath().isEmpty());
  EXPECT_TRUE(form->DocumentChanged());
  platform.questionAnswer = SaveChangesAnswer::kCancel;
  EXPECT_FALSE(form->close());
  EXPECT_EQ(platform.questions.size(), 1u);
}

TEST_F(DocumentWindowTest, MatchvarderingAvbrytLeavesTheDocument) {
  tools::SetMatchTableRunner([](tools::MatchTableDialog& dialog) {
    dialog.Table()->setCurrentCell(0, tools::kChanceColumn);
    ASSERT_TRUE(dialog.PasteText(QStringLiteral("45\t30\t25")));
    dialog.reject();
  });
  form->Matchvrdering1->trigger();
  EXPECT_FALSE(form->DocumentChanged());
  tools::SetMatchTableRunner([](tools::MatchTableDialog& dialog) {
    EXPECT_EQ(dialog.Table()->item(0, tools::kChanceColumn)->text(), QString());
  });
  form->Matchvrdering1->trigger();
}

}  // namespace
}  // namespace spelkub
