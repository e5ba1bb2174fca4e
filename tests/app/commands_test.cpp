// The companion and the window through the same commands: for the same coupon
// and rows, the companion run in-process and the window's own paths (the
// "Generera Rader" button, the "Verktyg" tools on the tools' host) give the
// same rows, the same files and the same report texts.
#include <gtest/gtest.h>

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QTest>
#include <span>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "app/tools/analysis_dialog.h"
#include "app/tools/grade_dialog.h"
#include "cli/rader.h"
#include "coupon/choices.h"
#include "handin/handin.h"
#include "support/companion_run.h"
#include "support/coupon_builder.h"
#include "support/temp_folder.h"
#include "support/tools_host.h"
#include "support/window_fixture.h"

namespace spelkub {
namespace {

using Companion = testing::CompanionRun;
using testing::RunCompanion;

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream stream(text);
  for (std::string line; std::getline(stream, line);) lines.push_back(line);
  return lines;
}

// The companion's line for a window's box: "CAPTION: TEXT".
std::string AsToldByCompanion(const testing::Box& box) {
  return box.caption.toStdString() + ": " + box.text.toStdString() + "\n";
}

constexpr std::string_view kMarks = "1X2,1X2,1X,X2,1,1X2,2,1,X,1X2,1,2,1X";
const std::vector<std::string_view> kMatches{"1X2", "1X2", "1X",  "X2", "1", "1X2", "2",
                                             "1",   "X",   "1X2", "1",  "2", "1X"};

// --- Generate: the window's button and the companion ------------------------

class GenerateBothWays : public testing::WindowTest<> {
 protected:
  void Generate() { QTest::mouseClick(form->Button2, Qt::LeftButton); }
  std::string RowList() const { return std::string(form->Memo1->Text()); }

  // Marks kMarks in the window, sets the reduction ("Välj reducering:" item
  // 1 with a guarantee, 2 with a row count) and 13plus with goals "2", and
  // compares the row list and the boxes with the companion's output for
  // `options`.
  void Compare(std::vector<std::string> options, int reduction, int level, bool plus13) {
    Mark(std::vector<std::string>(kMatches.begin(), kMatches.end()));
    if (plus13) {
      Choose(form->RadioGroup2, 0);
      Pick(form->ComboBox1, 1);
    }
    if (reduction == 1) {
      Choose(form->RadioGroup3, 1);
      Pick(form->ComboBox2, level - 4);
    } else if (reduction == 2) {
      Choose(form->RadioGroup3, 2);
      Pick(form->ComboBox3, level - 1);
    }
    Generate();

    options.emplace_back(kMarks);
    const Companion companion = RunCompanion(options);
    ASSERT_EQ(companion.status, cli::kExitDone) << companion.err;
    EXPECT_EQ(companion.out, RowList());
    std::string told;
    for (const testing::Box& box : platform.messages) told += AsToldByCompanion(box);
    EXPECT_EQ(companion.err, told);
    EXPECT_EQ(told.empty(), reduction == 0);
  }
};

TEST_F(GenerateBothWays, FullSystem) {
  Compare({}, 0, 0, false);
}

TEST_F(GenerateBothWays, GuaranteeWith13Plus) {
  Compare({"--13plus", "2", "--guarantee", "11"}, 1, 11, true);
}

TEST_F(GenerateBothWays, RowCount) {
  Compare({"--rows", "40"}, 2, 40, false);
}

TEST_F(GenerateBothWays, SameRefusalOfARowCountAboveTheSystem) {
  Mark({"1X2", "1X2", "1", "1", "1", "1", "1", "1", "1", "1", "1", "1", "1"});
  Choose(form->RadioGroup3, 2);
  Pick(form->ComboBox3, static_cast<int>(kRowCountChoices.size()) - 1);  // 2000 rows
  Generate();
  const Companion companion = RunCompanion({"--rows", "2000", "1X2,1X2,1,1,1,1,1,1,1,1,1,1,1"});
  ASSERT_EQ(platform.messages.size(), 1u);
  EXPECT_EQ(companion.status, cli::kExitRefused);
  EXPECT_EQ(companion.err, AsToldByCompanion(platform.messages.front()));
}

// --- The tools on the tools' host and the companion --------------------------

class ToolsBothWays : public testing::ToolsTest {
 protected:
  ToolsBothWays() { state = testing::MakeCoupon(kStryktipset, kMatches); }

  // The companion's rows for these options, put into the row list and into a
  // file, as a player would hand the one or the other to the check.
  std::string Rows(const std::vector<std::string>& options) {
    std::vector<std::string> args = options;
    args.emplace_back(kMarks);
    const Companion companion = RunCompanion(args);
    EXPECT_EQ(companion.status, cli::kExitDone) << companion.err;
    rowList = companion.out;
    const std::string path = folder.Path("rader.txt").string();
    testing::WriteFile(path, companion.out);
    return path;
  }

  static std::string Label(const QDialog& dialog, const char* name) {
    const auto* label = dialog.findChild<QLabel*>(name);
    return label != nullptr && label->isVisibleTo(&dialog) ? label->text().toStdString() : "";
  }
  // The table's rows as "K rätt: N<unit>", skipping counts of 0 when asked.
  static std::vector<std::string> TableLines(const QDialog& dialog, const std::string& unit,
                                             bool skipZero) {
    const auto* table = dialog.findChild<QTableWidget*>("Tabell");
    std::vector<std::string> lines;
    for (int row = 0; row < table->rowCount(); ++row) {
      const std::string count = table->item(row, 1)->text().toStdString();
      if (skipZero && count == "0") continue;
      lines.push_back(table->item(row, 0)->text().toStdString() + " rätt: " + count + unit);
    }
    return lines;
  }

  testing::TempFolder folder{"spelkub_commands_test"};
};

TEST_F(ToolsBothWays, AnalyseGivesTheSameGuaranteeCountsAndRowsOutside) {
  const std::string path = Rows({"--rows", "30"});
  // A row outside the system: match 5 has only "1" marked.
  rowList += "E,1,1,1,X,X,1,2,1,X,1,1,2,1\r\n";
  testing::WriteFile(path, rowList);

  std::vector<std::string> window;
  std::string guarantee;
  std::string outside;
  onDialog = [&](QDialog& dialog) {
    auto& analysis = dynamic_cast<tools::AnalysisDialog&>(dialog);
    ASSERT_TRUE(WaitFor(analysis.AnalysisWorker()));
    guarantee = Label(dialog, "Garanti");
    window = TableLines(dialog, " utfall", false);
    outside = Label(dialog, "Utanfor");
  };
  tools::AnalysisCommand(Host());
  ASSERT_EQ(dialogsRun, 1);
  EXPECT_TRUE(platform.messages.empty());

  const Companion companion = RunCompanion({"--analyse", path, std::string(kMarks)});
  ASSERT_EQ(companion.status, cli::kExitDone) << companion.err;
  std::vector<std::string> told = Lines(companion.out);
  ASSERT_EQ(told.size(), window.size() + 2);
  EXPECT_EQ(told.front(), guarantee);
  EXPECT_EQ(std::vector<std::string>(told.begin() + 1, told.end() - 1), window);
  // The window names the line as well: "Rader utanför systemet: 1 (rad 32)".
  EXPECT_EQ(told.back(), "Rader utanför systemet: 1");
  EXPECT_EQ(outside, told.back() + " (rad 32)");
}

TEST_F(ToolsBothWays, AnalyseRefusesRowsOfAnotherGameAlike) {
  state = testing::UniformCoupon(kSupertoto, "1");
  rowList = "Stryktipset,13plus=Nej\r\nE,1,1,1,1,1,1,1,1,1,1,1,1,1\r\n";
  const std::string path = folder.Path("stryk.txt").string();
  testing::WriteFile(path, rowList);
  tools::AnalysisCommand(Host());
  const Companion companion =
      RunCompanion({"--game", "supertoto", "--analyse", path, "1,1,1,1,1,1,1,1,1,1,1,1,1,1"});
  ASSERT_EQ(platform.messages.size(), 1u);
  EXPECT_EQ(dialogsRun, 0);
  EXPECT_EQ(platform.messages.front().text.toStdString(),
            "Raderna har 13 matcher men kupongen 14.");
  EXPECT_EQ(companion.status, cli::kExitRefused);
  EXPECT_EQ(companion.err,
            "spelkub_rader: Raderna har 13 matcher men systemet 14: välj spel med --game\n");
}

TEST_F(ToolsBothWays, GradeGivesTheSameCountsAndReach) {
  const std::string path = Rows({"--guarantee", "10"});
  for (const std::string results : {"1X21-1211X121", "1X21X1211X121", "-------------"}) {
    SCOPED_TRACE(results);
    std::vector<std::string> window;
    std::string reach;
    onDialog = [&](QDialog& dialog) {
      auto* field = dialog.findChild<QLineEdit*>("ResultatRad");
      field->setText(QString::fromStdString(results));
      QTest::keyClick(field, Qt::Key_Return);
      window = TableLines(dialog, "", true);
      reach = Label(dialog, "KanNa");
    };
    tools::GradeCommand(Host());
    const Companion companion = RunCompanion({"--grade", results, path});
    ASSERT_EQ(companion.status, cli::kExitDone) << companion.err;

    // The companion writes "K rätt: 1 rad" / "N rader"; the table the number.
    std::vector<std::string> expected;
    for (std::string line : window) {
      line += line.ends_with(": 1") ? " rad" : " rader";
      expected.push_back(line);
    }
    for (const std::string& line : Lines(reach)) expected.push_back(line);
    EXPECT_EQ(Lines(companion.out), expected);
    EXPECT_EQ(reach.empty(), results.find('-') == std::string::npos);
  }
}

TEST_F(ToolsBothWays, HandInWritesTheSameFilesWithTheSameNote) {
  // Rows made with 13plus, which the files cannot carry.
  const std::string marks = "1X2,1X2,1X2,1X2,1X2,1X2,1X2,1X2,1,1,1,1,1";
  const Companion rows = RunCompanion({"--13plus", "2", marks});
  ASSERT_EQ(rows.status, cli::kExitDone);
  rowList = rows.out;

  const std::string target = folder.Path("inlamning.txt").string();
  platform.saveAnswer = QString::fromStdString(target);
  tools::HandInCommand(Host());
  const Companion companion = RunCompanion({"--13plus", "2", "--upload", "-o", target, marks});
  ASSERT_EQ(companion.status, cli::kExitDone) << companion.err;

  ASSERT_EQ(platform.writes.size(), 1u);  // 6561 rows: one file
  EXPECT_EQ(platform.writes.front().path.toStdString(), target);
  EXPECT_EQ(platform.writes.front().bytes.toStdString(), testing::ReadFile(target));
  ASSERT_EQ(platform.messages.size(), 1u);
  EXPECT_EQ(platform.messages.front().text.toStdString(),
            "1 fil sparad för inlämning: inlamning.txt.\n" + std::string(kPlus13Note));
  EXPECT_EQ(companion.err, "spelkub_rader: Sparade 1 fil: " + target + "\n" +
                               "spelkub_rader: " + std::string(kPlus13Note) + "\n");
}

TEST_F(ToolsBothWays, HandInSplitsIntoTheSameFiles) {
  const std::string marks = "1X2,1X2,1X2,1X2,1X2,1X2,1X2,1X2,1X2,1,1,1,1";  // 19683 rows
  const Companion rows = RunCompanion({marks});
  ASSERT_EQ(rows.status, cli::kExitDone);
  rowList = rows.out;

  const std::string target = folder.Path("delad.txt").string();
  platform.saveAnswer = QString::fromStdString(target);
  tools::HandInCommand(Host());
  const Companion companion = RunCompanion({"--upload", "-o", target, marks});
  ASSERT_EQ(companion.status, cli::kExitDone) << companion.err;

  ASSERT_EQ(platform.writes.size(), 2u);
  for (int file = 1; file <= 2; ++file) {
    const std::string name = folder.Path("delad-" + std::to_string(file) + ".txt").string();
    EXPECT_EQ(platform.writes[file - 1].path.toStdString(), name);
    EXPECT_EQ(platform.writes[file - 1].bytes.toStdString(), testing::ReadFile(name));
  }
  ASSERT_EQ(platform.messages.size(), 1u);
  EXPECT_EQ(
      platform.messages.front().text.toStdString(),
      "2 filer sparade för inlämning: delad-1.txt till delad-2.txt. Högst 10 000 rader per fil.");
  EXPECT_EQ(companion.err,
            "spelkub_rader: Sparade 2 filer: " + folder.Path("delad-1.txt").string() + " till " +
                folder.Path("delad-2.txt").string() +
                "\nspelkub_rader: Högst 10 000 rader per fil.\n");
}

TEST_F(ToolsBothWays, HandInRefusesSupertotoInTheSameWords) {
  const Companion rows = RunCompanion({"--game", "supertoto", "1,1,1,1,1,1,1,1,1,1,1,1,1,1"});
  ASSERT_EQ(rows.status, cli::kExitDone);
  rowList = rows.out;
  platform.saveAnswer = QString::fromStdString(folder.Path("toto.txt").string());
  tools::HandInCommand(Host());
  const Companion companion =
      RunCompanion({"--game", "supertoto", "--upload", "1,1,1,1,1,1,1,1,1,1,1,1,1,1"});
  ASSERT_EQ(platform.messages.size(), 1u);
  EXPECT_TRUE(platform.writes.empty());
  EXPECT_EQ(companion.status, cli::kExitRefused);
  EXPECT_EQ(companion.err, "spelkub_rader: " + platform.messages.front().text.toStdString() + "\n");
}

}  // namespace
}  // namespace spelkub
