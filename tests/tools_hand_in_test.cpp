// "Spara för inlämning..." offscreen through the fake platform: today's form
// (product name alone, CR LF, at most 10,000 rows a file), the save dialog,
// one write per file with the names split as the engine gives them, the
// message, and the refusals before any file name is asked for.
#include <gtest/gtest.h>

#include <QByteArray>
#include <string>
#include <vector>

#include "coupon_builder.h"
#include "handin/handin.h"
#include "temp_folder.h"
#include "text/coupon_text.h"
#include "tools_host.h"

namespace spelkub {
namespace {

using testing::Box;

const Box kOneFile{QStringLiteral("1 fil sparad för inlämning."), QStringLiteral("SPARAT")};

// The first `rows` rows of the full system with nine matches "1X2" (19,683
// rows), under `header`.
std::string ManyRows(int64_t rows, const std::string& header = "Stryktipset,13plus=Nej\r\n") {
  const CouponState state = testing::MakeCoupon(
      kStryktipset,
      {"1X2", "1X2", "1X2", "1X2", "1X2", "1X2", "1X2", "1X2", "1X2", "1", "1", "1", "1"});
  const RowSet set = GenerateFullSystem(state, kPlus13No);
  std::string text = header;
  text.resize(header.size() + static_cast<size_t>(rows) * kRowLineBytes);
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
  const size_t split = 10000 * static_cast<size_t>(kRowLineBytes);
  EXPECT_EQ(platform.writes[0].bytes.toStdString(), "Stryktipset\r\n" + rows.substr(0, split));
  EXPECT_EQ(platform.writes[1].bytes.toStdString(), "Stryktipset\r\n" + rows.substr(split));
  EXPECT_EQ(platform.messages,
            OneBox(QStringLiteral("2 filer sparade för inlämning: rader-1.txt till "
                                  "rader-2.txt."),
                   QStringLiteral("SPARAT")));
}

TEST_F(HandInCommandTest, NamesTheFilesAsTheEngineDoes) {
  rowList = ManyRows(19683);
  tools::HandInCommand(Host());
  const std::vector<std::string> names = HandInFileNames("/spel/rader.txt", 19683);
  ASSERT_EQ(platform.writes.size(), names.size());
  for (size_t i = 0; i < names.size(); ++i) {
    EXPECT_EQ(platform.writes[i].path.toStdString(), names[i]);
  }
}

TEST_F(HandInCommandTest, ThirteenPlusAndEuropatipsetHeadersBecomeTheProductName) {
  rowList = ManyRows(2, "Stryktipset,13plus=Ja,Antal=2\r\n");
  tools::HandInCommand(Host());
  rowList = ManyRows(2, "Italienska stryktipset,13plus=Nej\r\n");
  tools::HandInCommand(Host());
  ASSERT_EQ(platform.writes.size(), 2u);
  EXPECT_EQ(platform.writes[0].bytes.toStdString(), "Stryktipset\r\n" + RowLines(rowList));
  EXPECT_EQ(platform.writes[1].bytes.toStdString(), "Europatipset\r\n" + RowLines(rowList));
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
            OneBox(QStringLiteral("2 filer sparade för inlämning: rader-1.txt till rader-2.txt.\n"
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
  EXPECT_EQ(platform.messages,
            OneBox(QString::fromUtf8(kSupertotoRefusal.data(),
                                     static_cast<qsizetype>(kSupertotoRefusal.size())),
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
