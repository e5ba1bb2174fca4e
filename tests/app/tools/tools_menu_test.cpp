// The "Verktyg" menu in the window, offscreen through the fake platform: its
// place after "Lämna in rader" and its items, and each command working on the
// window's own coupon, row list and Label18.
#include <gtest/gtest.h>

#include <QAction>
#include <QComboBox>
#include <QDialog>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <string>
#include <vector>

#include "app/qt_platform.h"
#include "app/tools/grade_dialog.h"
#include "app/tools/optimize_dialog.h"
#include "app/tools/tools.h"
#include "app/tools/worker.h"
#include "coupon/messages.h"
#include "support/temp_folder.h"
#include "support/window_fixture.h"
#include "text/coupon_text.h"

namespace spelkub {
namespace {

// A Stryktipset row line with its CR LF.
const size_t kStryktipsetLineBytes = static_cast<size_t>(RowLineBytes(Rules(kStryktipset)));

class ToolsMenuTest : public testing::WindowTest<> {
 protected:
  ToolsMenuTest() {
    tools::SetModalRunner([this](QDialog& dialog) {
      dialogs.push_back(dialog.windowTitle());
      if (onDialog) onDialog(dialog);
    });
  }
  ~ToolsMenuTest() override { tools::SetModalRunner(nullptr); }

  QString RowList() const { return QString::fromUtf8(form->Memo1->Text()); }

  std::vector<QString> dialogs;
  std::function<void(QDialog&)> onDialog;
};

TEST_F(ToolsMenuTest, VerktygComesAfterLamnaInRaderWithItsItems) {
  const QList<QAction*> entries = form->MainMenu1->actions();
  ASSERT_EQ(entries.size(), 5);  // "Kupong" follows, in document_window_test
  EXPECT_EQ(entries[2]->text(), QStringLiteral("Lämna in rader"));
  EXPECT_EQ(entries[3]->text(), QStringLiteral("Verktyg"));
  EXPECT_EQ(entries[3]->objectName(), QStringLiteral("Verktyg1"));
  ASSERT_EQ(entries[3]->menu(), form->Verktyg1);
  QStringList items;
  QStringList names;
  for (const QAction* item : form->Verktyg1->actions()) {
    items << item->text();
    names << item->objectName();
  }
  EXPECT_EQ(items, (QStringList{"Optimerad garanti...", "Garantianalys...", "Rätta rader...",
                                "Spara för inlämning...", "Systemvärde...", "Radvärden...",
                                "M-rader vid inlämning"}));
  EXPECT_EQ(names, (QStringList{"Optimeradgaranti1", "Garantianalys1", "Rttarader1",
                                "Sparafrinlmning1", "Systemvrde1", "Radvrden1", "Mrader1"}));
}

TEST_F(ToolsMenuTest, SystemvardeAndRadvardenAskForTheMatchValuesFirst) {
  Mark({"1X2", "1", "1", "1", "1", "1", "1", "1", "1", "1", "1", "1", "1"});
  Click(form->Button2);
  const QString rows = RowList();
  form->Systemvrde1->trigger();
  form->Radvrden1->trigger();
  const QString text = QStringLiteral(
      "Kupongen saknar egna chanser.\nAnge egna chanser, folkets streck och omsättningen i "
      "\"Matchvärdering...\" under Kupong.");
  ASSERT_EQ(platform.messages.size(), 2u);
  EXPECT_EQ(platform.messages[0].text, text);
  EXPECT_EQ(platform.messages[0].caption, QStringLiteral("Systemvärde"));
  EXPECT_EQ(platform.messages[1].text, text);
  EXPECT_EQ(platform.messages[1].caption, QStringLiteral("Radvärden"));
  EXPECT_TRUE(dialogs.empty());
  EXPECT_EQ(RowList(), rows);
  EXPECT_TRUE(platform.errors.empty());
}

TEST_F(ToolsMenuTest, OptimeradGarantiFillsTheRowListAndLabel18) {
  Mark({"1X2", "1X2", "1", "1", "1", "1", "1", "1", "1", "1", "1", "1", "1"});
  onDialog = [](QDialog& dialog) {
    dialog.findChild<QComboBox*>("Garanti")->setCurrentIndex(12 - 4);
    dialog.findChild<QComboBox*>("Insats")->setCurrentIndex(0);
    QTest::mouseClick(dialog.findChild<QPushButton*>("Starta"), Qt::LeftButton);
    tools::Worker& worker = dynamic_cast<tools::OptimizeDialog&>(dialog).SearchWorker();
    QSignalSpy finished(&worker, &tools::Worker::Finished);
    ASSERT_TRUE(worker.Running() ? finished.wait(60000) : true);
  };
  form->Optimeradgaranti1->trigger();
  EXPECT_EQ(dialogs, std::vector<QString>{QStringLiteral("Optimerad garanti")});
  EXPECT_TRUE(RowList().startsWith(QStringLiteral("Stryktipset,13plus=Nej\r\n")));
  EXPECT_EQ(form->Memo1->LineCount(), 4);
  EXPECT_EQ(form->Label18->text(), QStringLiteral("3"));
  ASSERT_EQ(platform.messages.size(), 1u);
  EXPECT_EQ(platform.messages[0].caption, QStringLiteral("Reducering"));
  EXPECT_TRUE(platform.messages[0].text.startsWith(
      QStringLiteral("Optimerad garanti: 3 rader med 12 rätts garanti")));
  EXPECT_TRUE(platform.errors.empty());
}

// The status bar tells of the optimizer's rows, not of the reduction before.
TEST_F(ToolsMenuTest, OptimeradGarantiSaysWhatItDidInTheStatusText) {
  Mark({"1X2", "1X2", "1", "1", "1", "1", "1", "1", "1", "1", "1", "1", "1"});
  Choose(form->RadioGroup3, 1);  // "Garanti"
  Pick(form->ComboBox2, 12 - 4);
  Click(form->Button2);
  ASSERT_EQ(form->StatusText(), QStringLiteral("Reducerar rader, VÄNTA....!"));
  onDialog = [](QDialog& dialog) {
    dialog.findChild<QComboBox*>("Insats")->setCurrentIndex(0);
    QTest::mouseClick(dialog.findChild<QPushButton*>("Starta"), Qt::LeftButton);
    tools::Worker& worker = dynamic_cast<tools::OptimizeDialog&>(dialog).SearchWorker();
    QSignalSpy finished(&worker, &tools::Worker::Finished);
    ASSERT_TRUE(worker.Running() ? finished.wait(60000) : true);
  };
  form->Optimeradgaranti1->trigger();
  EXPECT_EQ(form->Label18->text(), QStringLiteral("3"));
  EXPECT_EQ(form->StatusText(), QStringLiteral("Optimerad garanti klar!"));
  EXPECT_TRUE(platform.errors.empty());
}

TEST_F(ToolsMenuTest, OptimeradGarantiRefusesAnUnmarkedCouponAndKeepsTheRowList) {
  form->Optimeradgaranti1->trigger();
  EXPECT_TRUE(dialogs.empty());
  ASSERT_EQ(platform.messages.size(), 1u);
  EXPECT_EQ(platform.messages[0].text, QStringLiteral("Klicka i ett giltigt system!"));
  EXPECT_EQ(RowList(), QStringLiteral("Dina Rader:\r\n"));
}

TEST_F(ToolsMenuTest, TheOtherToolsReadTheRowListAsTheUserLeftIt) {
  Mark({"1X2", "1X2", "1", "1", "1", "1", "1", "1", "1", "1", "1", "1", "1"});
  Click(form->Button2);  // "Generera Rader": the nine rows
  const QString generated = RowList();
  int64_t gradedRows = -1;
  onDialog = [&](QDialog& dialog) {
    if (auto* grade = dynamic_cast<tools::GradeDialog*>(&dialog)) {
      gradedRows = grade->Report().rowsByRight[0];
    }
  };
  form->Garantianalys1->trigger();
  form->Rttarader1->trigger();
  EXPECT_EQ(dialogs,
            (std::vector<QString>{QStringLiteral("Garantianalys"), QStringLiteral("Rätta rader")}));
  EXPECT_EQ(gradedRows, 9);  // nothing decided yet: every row has 0 right
  EXPECT_EQ(RowList(), generated);
  EXPECT_TRUE(platform.errors.empty());
}

TEST_F(ToolsMenuTest, SparaForInlamningProposesItsOwnPathNotSparaRadernas) {
  Mark({"1X2", "1", "1", "1", "1", "1", "1", "1", "1", "1", "1", "1", "1"});
  Click(form->Button2);
  form->SaveDialog1.FileName = QStringLiteral("/spel/alla.txt");
  platform.saveAnswer = QStringLiteral("/spel/in.txt");
  form->Sparafrinlmning1->trigger();
  form->Sparafrinlmning1->trigger();
  EXPECT_EQ(platform.proposedPaths,
            (std::vector<QString>{QString(), QStringLiteral("/spel/in.txt")}));
  EXPECT_EQ(form->SaveDialog1.FileName, QStringLiteral("/spel/alla.txt"));
  ASSERT_EQ(platform.writes.size(), 2u);
  EXPECT_TRUE(platform.writes[0].bytes.startsWith("Stryktipset\r\nE,1,1,"));
}

TEST_F(ToolsMenuTest, ASaveFailureGoesToTheErrorBox) {
  Mark({"1X2", "1", "1", "1", "1", "1", "1", "1", "1", "1", "1", "1", "1"});
  Click(form->Button2);
  platform.saveAnswer = QStringLiteral("/spel/in.txt");
  platform.writeFailure = "Disken är full.";
  form->Sparafrinlmning1->trigger();
  ASSERT_EQ(platform.errors.size(), 1u);
  EXPECT_EQ(platform.errors[0].text, QStringLiteral("Disken är full."));
  EXPECT_TRUE(platform.messages.empty());
}

// The fake's dialog and boxes with the program's own file writer.
class FilePlatform : public testing::FakePlatform {
 public:
  void WriteFile(const QString& path, const QByteArray& bytes) override {
    real_.WriteFile(path, bytes);
  }
  void WriteFiles(const std::vector<QString>& paths,
                  const std::vector<QByteArray>& texts) override {
    real_.WriteFiles(paths, texts);
  }
  QByteArray ReadFile(const QString& path) override { return real_.ReadFile(path); }

 private:
  QtPlatform real_;
};

class ToolsMenuFileTest : public testing::WindowTest<FilePlatform> {
 protected:
  ToolsMenuFileTest() : folder("tools_menu") {}
  testing::TempFolder folder;
};

TEST_F(ToolsMenuFileTest, SparaForInlamningWritesTheFilesOnDisk) {
  Mark({"1X2", "1X2", "1X2", "1X2", "1X2", "1X2", "1X2", "1X2", "1X2", "1", "1", "1", "1"});
  Click(form->Button2);  // 19683 rows: two files
  const std::string rows(form->Memo1->Text().substr(form->Memo1->Text().find("E,")));
  platform.saveAnswer = QString::fromStdString(folder.Path("rader.txt").string());
  form->Sparafrinlmning1->trigger();
  EXPECT_TRUE(platform.errors.empty());
  EXPECT_EQ(folder.Entries(), (std::vector<std::string>{"rader-1.txt", "rader-2.txt"}));
  const size_t split = 10000 * static_cast<size_t>(kStryktipsetLineBytes);
  EXPECT_EQ(testing::ReadFile(folder.Path("rader-1.txt")),
            "Stryktipset\r\n" + rows.substr(0, split));
  EXPECT_EQ(testing::ReadFile(folder.Path("rader-2.txt")), "Stryktipset\r\n" + rows.substr(split));
  ASSERT_EQ(platform.messages.size(), 1u);
  EXPECT_EQ(platform.messages[0].text,
            QStringLiteral("2 filer sparade för inlämning: rader-1.txt till rader-2.txt. Högst 10 "
                           "000 rader per fil."));
}

}  // namespace
}  // namespace spelkub
