// "Spara för inlämning..." offscreen through the fake platform: today's form
// (product name alone, CR LF, at most 10,000 rows a file), the save dialog,
// one write per file with the names split as the engine gives them, the
// message, and the refusals before any file name is asked for.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QStringList>

#include <QByteArray>
#include <string>
#include <vector>

#include "handin/handin.h"
#include "support/coupon_builder.h"
#include "support/temp_folder.h"
#include "support/tools_host.h"
#include "text/coupon_text.h"

namespace spelkub {
namespace {

// A Stryktipset row line with its CR LF.
const size_t kStryktipsetLineBytes = static_cast<size_t>(RowLineBytes(Rules(kStryktipset)));

using testing::Box;

const Box kOneFile{QStringLiteral("1 fil sparad för inlämning: rader.txt."),
                   QStringLiteral("SPARAT")};

// The first `rows` rows of the full system with nine matches "1X2" (19,683
// rows), under `header`.
std::string ManyRows(int64_t rows, const std::string& header = "Stryktipset,13plus=Nej\r\n") {
  const CouponState state = testing::MakeCoupon(
      kStryktipset,
      {"1X2", "1X2", "1X2", "1X2", "1X2", "1X2", "1X2", "1X2", "1X2", "1", "1", "1", "1"});
  const RowSet set = GenerateFullSystem(state, kPlus13No);
  std::string text = header;
  text.resize(header.size() + static_cast<size_t>(rows) * kStryktipsetLineBytes);
  RenderRowLines(set, 0, rows, text.data() + header.size());
  return text;
}

// The "E," lines of a coupon text, each with CR LF.
std::string RowLines(const std::string& text) {
  return text.substr(text.find("E,"));
}

class HandInCommandTest : public testing::ToolsTest {
 protected:
  HandInCommandTest() { platform.saveAnswer = QStringLiteral("/spel/rader.txt"); }
};

TEST_F(HandInCommandTest, WritesOneFileInTodaysFormAndSaysSo) {
  rowList = ManyRows(3);
  tools::HandInCommand(Host());
  EXPECT_EQ(platform.proposedPaths, std::vector<QString>{QString()});
  ASSERT_EQ(platform.writes.size(), 1u);
  EXPECT_EQ(platform.writes[0].path, QStringLiteral("/spel/rader.txt"));
  EXPECT_EQ(platform.writes[0].bytes.toStdString(), "Stryktipset\r\n" + RowLines(rowList));
  EXPECT_EQ(platform.messages, std::vector<Box>{kOneFile});
  EXPECT_EQ(handInDialog.FileName, QStringLiteral("/spel/rader.txt"));
  EXPECT_TRUE(shown.empty());
}

TEST_F(HandInCommandTest, ProposesThePathItSavedToLast) {
  rowList = ManyRows(3);
  tools::HandInCommand(Host());
  tools::HandInCommand(Host());
  EXPECT_EQ(platform.proposedPaths,
            (std::vector<QString>{QString(), QStringLiteral("/spel/rader.txt")}));
}

TEST_F(HandInCommandTest, TenThousandRowsFitOneFile) {
  rowList = ManyRows(10000);
  tools::HandInCommand(Host());
  ASSERT_EQ(platform.writes.size(), 1u);
  EXPECT_EQ(platform.writes[0].bytes.toStdString(), "Stryktipset\r\n" + RowLines(rowList));
  EXPECT_EQ(platform.messages, std::vector<Box>{kOneFile});
}

TEST_F(HandInCommandTest, MoreRowsGoIntoNumberedFilesInOrder) {
  rowList = ManyRows(10001);
  tools::HandInCommand(Host());
  ASSERT_EQ(platform.writes.size(), 2u);
  EXPECT_EQ(platform.writes[0].path, QStringLiteral("/spel/rader-1.txt"));
  EXPECT_EQ(platform.writes[1].path, QStringLiteral("/spel/rader-2.txt"));
  const std::string rows = RowLines(rowList);
  const size_t split = 10000 * static_cast<size_t>(kStryktipsetLineBytes);
  EXPECT_EQ(platform.writes[0].bytes.toStdString(), "Stryktipset\r\n" + rows.substr(0, split));
  EXPECT_EQ(platform.writes[1].bytes.toStdString(), "Stryktipset\r\n" + rows.substr(split));
  EXPECT_EQ(platform.messages,
            OneBox(QStringLiteral("2 filer sparade för inlämning: rader-1.txt till "
                                  "rader-2.txt. Högst 10 000 rader per fil."),
                   QStringLiteral("SPARAT")));
}

TEST_F(HandInCommandTest, NamesTheFilesAsTheEngineDoes) {
  rowList = ManyRows(19683);
  tools::HandInCommand(Host());
  const std::vector<std::string> names = HandInFileNames("/spel/rader.txt", 2);
  ASSERT_EQ(platform.writes.size(), names.size());
  for (size_t i = 0; i < names.size(); ++i) {
    EXPECT_EQ(platform.writes[i].path.toStdString(), names[i]);
  }
}

// Today's form has no 13plus: the rows are handed in, and the report says
// to choose 13plus at the operator, in the companion's words.
TEST_F(HandInCommandTest, ThirteenPlusAndEuropatipsetHeadersBecomeTheProductName) {
  rowList = ManyRows(2, "Stryktipset,13plus=Ja,Antal=2\r\n");
  tools::HandInCommand(Host());
  rowList = ManyRows(2, "Italienska stryktipset,13plus=Nej\r\n");
  tools::HandInCommand(Host());
  ASSERT_EQ(platform.writes.size(), 2u);
  EXPECT_EQ(platform.writes[0].bytes.toStdString(), "Stryktipset\r\n" + RowLines(rowList));
  EXPECT_EQ(platform.writes[1].bytes.toStdString(), "Europatipset\r\n" + RowLines(rowList));
  ASSERT_EQ(platform.messages.size(), 2u);
  EXPECT_EQ(platform.messages[0].text.toStdString(),
            "1 fil sparad för inlämning: rader.txt.\n" + std::string(kPlus13Note));
  EXPECT_EQ(platform.messages[0].text.toStdString(),
            "1 fil sparad för inlämning: rader.txt.\n13plus ingår inte i inlämningsfilen: välj det "
            "hos spelbolaget när du lämnar in.");
  EXPECT_EQ(platform.messages[1], kOneFile);
}

// Many old files: the box names a few and keeps its height; its details
// list them all.
TEST_F(HandInCommandTest, AFewOlderFilesInTheBoxAndAllInItsDetails) {
  const testing::TempFolder folder("tools_hand_in");
  for (int k = 1; k <= 475; ++k) {
    testing::WriteFile(folder.Path("rader-" + std::to_string(k) + ".txt"), "Stryktipset\r\n");
  }
  platform.saveAnswer = QString::fromStdString(folder.Path("rader.txt").string());
  rowList = ManyRows(10001);
  tools::HandInCommand(Host());
  EXPECT_EQ(platform.writes.size(), 2u);
  ASSERT_EQ(platform.messages.size(), 1u);
  EXPECT_EQ(platform.messages[0].text,
            QStringLiteral("2 filer sparade för inlämning: rader-1.txt till rader-2.txt. Högst 10 "
                           "000 rader per fil.\n"
                           "Obs! Äldre filer ligger kvar och ska inte lämnas in: rader-3.txt, "
                           "rader-4.txt, rader-5.txt, rader-6.txt, rader-7.txt … och 468 till."));
  QStringList all{QStringLiteral("Äldre filer som inte ska lämnas in:")};
  for (int k = 3; k <= 475; ++k) all << QStringLiteral("rader-%1.txt").arg(k);
  ASSERT_EQ(platform.messageDetails.size(), 1u);
  EXPECT_EQ(platform.messageDetails[0], all.join(QStringLiteral("\n")));
}

// Rows for several files need a name to number: a pipe is refused before
// anything is written.
TEST_F(HandInCommandTest, RefusesAPipeForSeveralFiles) {
  const testing::TempFolder folder("tools_hand_in");
  const std::string pipe = folder.Path("pipe").string();
  ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
  platform.saveAnswer = QString::fromStdString(pipe);
  rowList = ManyRows(10001);
  tools::HandInCommand(Host());
  EXPECT_TRUE(platform.writes.empty());
  EXPECT_EQ(platform.messages,
            OneBox(QString::fromStdString("Raderna behöver 2 filer, och \"" + pipe +
                                          "\" är ingen vanlig fil. Ange en vanlig fil eller ett "
                                          "nytt namn."),
                   QStringLiteral("Spara för inlämning")));
  EXPECT_EQ(folder.Entries(), std::vector<std::string>{"pipe"});
}

TEST_F(HandInCommandTest, NamesOlderFilesThatTheSaveDidNotReplace) {
  const testing::TempFolder folder("tools_hand_in");
  for (const char* name : {"rader.txt", "rader-3.txt"}) {
    testing::WriteFile(folder.Path(name), "Stryktipset\r\n");
  }
  platform.saveAnswer = QString::fromStdString(folder.Path("rader.txt").string());
  rowList = ManyRows(10001);
  tools::HandInCommand(Host());
  EXPECT_EQ(platform.writes.size(), 2u);
  EXPECT_EQ(platform.messages,
            OneBox(QStringLiteral("2 filer sparade för inlämning: rader-1.txt till rader-2.txt. "
                                  "Högst 10 000 rader per fil.\n"
                                  "Obs! Äldre filer ligger kvar och ska inte lämnas in: rader.txt, "
                                  "rader-3.txt."),
                   QStringLiteral("SPARAT")));
}

TEST_F(HandInCommandTest, AFailureWhileNamingSaysWhichFilesWereSaved) {
  platform.writeFailure = "Disken är full.";
  platform.namedBeforeFailure = 1;
  rowList = ManyRows(15000);
  try {
    tools::HandInCommand(Host());
    ADD_FAILURE() << "no error";
  } catch (const SaveError& error) {
    EXPECT_EQ(std::string(error.what()),
              "Disken är full. Fil 1 till 1 av 2 sparades, övriga inte: spara igen innan du lämnar "
              "in.");
  }
  EXPECT_EQ(platform.writes.size(), 1u);
  EXPECT_TRUE(platform.messages.empty());
}

TEST_F(HandInCommandTest, AFailedFirstWriteSavedNone) {
  platform.writeFailure = "Disken är full.";
  rowList = ManyRows(10001);
  try {
    tools::HandInCommand(Host());
    ADD_FAILURE() << "no error";
  } catch (const SaveError& error) {
    EXPECT_EQ(std::string(error.what()), "Disken är full. Ingen av de 2 filerna sparades.");
  }
  EXPECT_TRUE(platform.messages.empty());
}

TEST_F(HandInCommandTest, CancellingTheSaveDialogWritesNothing) {
  rowList = ManyRows(3);
  platform.saveAnswer.reset();
  tools::HandInCommand(Host());
  EXPECT_EQ(platform.proposedPaths.size(), 1u);
  EXPECT_TRUE(platform.writes.empty());
  EXPECT_TRUE(platform.messages.empty());
  EXPECT_TRUE(handInDialog.FileName.isEmpty());
}

TEST_F(HandInCommandTest, RefusesSupertotoBeforeAskingForAName) {
  rowList = "1,1,1,1,1,1,1,1,1,1,1,1,1,1\r\n";
  tools::HandInCommand(Host());
  EXPECT_EQ(platform.messages, OneBox(QString::fromStdString(HandInRefusal(Rules(kSupertoto))),
                                      QStringLiteral("Spara för inlämning")));
  EXPECT_TRUE(platform.proposedPaths.empty());
  EXPECT_TRUE(platform.writes.empty());
}

TEST_F(HandInCommandTest, RefusesAnEmptyRowList) {
  tools::HandInCommand(Host());
  EXPECT_EQ(platform.messages,
            OneBox(QString::fromUtf8(kNoRowsRefusal.data(),
                                     static_cast<qsizetype>(kNoRowsRefusal.size())),
                   QStringLiteral("Spara för inlämning")));
  EXPECT_TRUE(platform.proposedPaths.empty());
}

TEST_F(HandInCommandTest, ShowsTheReadersMessageForABadRowList) {
  rowList = ManyRows(2) + "E,1,1\r\n";
  ExpectReaderRefusal(tools::HandInCommand);
  EXPECT_TRUE(platform.proposedPaths.empty());
}

}  // namespace
}  // namespace spelkub
