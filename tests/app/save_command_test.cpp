// "Spara Raderna" and the menu links, driven through the window offscreen.
// The dialog and the boxes go through the fake platform; the files are real,
// written by the real file layer into a temporary folder.
#include <gtest/gtest.h>

#include <QAction>
#include <QFile>
#include <QFileDialog>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QUrl>
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <iterator>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/links.h"
#include "app/main_window.h"
#include "app/qt_platform.h"
#include "coupon/choices.h"
#include "reduce/reduction.h"
#include "support/kept_text.h"
#include "support/temp_folder.h"
#include "support/window_fixture.h"
#include "text/coupon_text.h"

namespace spelkub {
namespace {

namespace fs = std::filesystem;
using testing::Box;
using testing::FakePlatform;

// The fake's dialog and boxes with the program's own file writer.
class FilePlatform : public FakePlatform {
 public:
  void WriteFile(const QString& path, const QByteArray& bytes) override {
    ++writeCalls;
    real_.WriteFile(path, bytes);
  }
  int writeCalls = 0;

 private:
  QtPlatform real_;
};

const Box kSaved{QStringLiteral(u"Dina rader är nu sparade!!"), QStringLiteral("SPARAT")};

std::string CannotCreate(const QString& path, int error) {
  return "Cannot create file \"" + path.toStdString() + "\". " + std::strerror(error);
}

class SaveCommandTest : public testing::WindowTest<FilePlatform> {
 protected:
  ~SaveCommandTest() override { form.reset(); }  // the window goes before its folder

  QString PathOf(const QString& name) const {
    return QString::fromStdString(folder_.path().string()) + u'/' + name;
  }
  static fs::path Native(const QString& path) { return fs::path(QFile::encodeName(path).data()); }
  static std::string Read(const QString& path) { return testing::ReadFile(Native(path)); }
  static void Write(const QString& path, const std::string& bytes) {
    testing::WriteFile(Native(path), bytes);
  }
  // Everything in the folder: a save leaves no temporary file behind.
  std::vector<std::string> Entries() const { return folder_.Entries(); }

  RowSet FullSystem() const {
    return GenerateFullSystem(state, Plus13OfItem(form->RadioGroup2->ItemIndex()));
  }

  void SaveAs(const std::optional<QString>& answer) {
    platform.saveAnswer = answer;
    QTest::mouseClick(form->Button1, Qt::LeftButton);
  }
  std::string RowListText() const { return std::string(form->Memo1->Text()); }
  Box ErrorBox(const std::string& text) const {
    return {QString::fromStdString(text), ApplicationTitle()};
  }

 private:
  testing::TempFolder folder_{"spelkub_save_command"};
};

bool SameState(const CouponState& a, const CouponState& b) {
  return a.Game == b.Game && a.Goals == b.Goals && a.Reduction == b.Reduction &&
         a.GuaranteeLevel == b.GuaranteeLevel && a.TargetRows == b.TargetRows &&
         a.SizeProduct == b.SizeProduct && a.MatchCount == b.MatchCount &&
         std::equal(std::begin(a.Marks), std::end(a.Marks), std::begin(b.Marks));
}

TEST_F(SaveCommandTest, SavesAGeneratedCouponByteForByteThenConfirms) {
  Mark({"1X", "X2", "1", "1X2", "1", "1", "1", "1", "2", "1", "1", "X", "1"});
  const RowSet set = FullSystem();
  ASSERT_EQ(set.size(), 12);
  const std::string coupon = CouponText(set);
  form->Memo1->SetText(coupon);
  const CouponState before = state;

  std::string fileWhenConfirmed;
  platform.onMessage = [&](const Box&) { fileWhenConfirmed = Read(PathOf("rader.txt")); };
  SaveAs(PathOf("rader.txt"));

  EXPECT_EQ(Read(PathOf("rader.txt")), coupon);
  EXPECT_EQ(fileWhenConfirmed, coupon);  // written before the box shows
  EXPECT_EQ(platform.messages, std::vector<Box>{kSaved});
  EXPECT_TRUE(platform.errors.empty());
  EXPECT_EQ(Entries(), std::vector<std::string>{"rader.txt"});
  // Saving changes neither the row list nor the coupon.
  EXPECT_EQ(RowListText(), coupon);
  EXPECT_TRUE(SameState(state, before));
}

TEST_F(SaveCommandTest, SavesASupertotoCouponAndAReducedOne) {
  QTest::mouseClick(form->RadioGroup1->Button(2), Qt::LeftButton);  // "Supertoto"
  ASSERT_EQ(state.Game, kSupertoto);
  Mark({"1X2", "1X2", "1X2", "1X2", "1X2", "1X2", "1X2", "1X", "1", "1", "1", "1", "1", "2"});
  const RowSet set = FullSystem();
  ASSERT_EQ(set.size(), 4374);

  const std::string full = CouponText(set);
  form->Memo1->SetText(full);
  SaveAs(PathOf("full.txt"));
  EXPECT_EQ(Read(PathOf("full.txt")), full);

  const std::string reduced = KeptCouponText(set, *ReduceToRowCount(set, 40, false));
  ASSERT_LT(reduced.size(), full.size());
  form->Memo1->SetText(reduced);
  SaveAs(PathOf("reduced.txt"));
  EXPECT_EQ(Read(PathOf("reduced.txt")), reduced);

  EXPECT_EQ(platform.messages, (std::vector<Box>{kSaved, kSaved}));
  EXPECT_TRUE(platform.errors.empty());
}

TEST_F(SaveCommandTest, BeforeAnyGenerationSavesTheInitialLine) {
  SaveAs(PathOf("rader.txt"));
  EXPECT_EQ(Read(PathOf("rader.txt")), "Dina Rader:\r\n");
  EXPECT_EQ(platform.messages, std::vector<Box>{kSaved});
}

TEST_F(SaveCommandTest, AnEmptiedRowListMakesAnEmptyFile) {
  form->Memo1->SetText("");
  SaveAs(PathOf("tom.txt"));
  ASSERT_TRUE(fs::is_regular_file(Native(PathOf("tom.txt"))));
  EXPECT_EQ(fs::file_size(Native(PathOf("tom.txt"))), 0u);
  EXPECT_EQ(platform.messages, std::vector<Box>{kSaved});
}

// Letters the user types beyond ASCII go out in the system's 8-bit encoding;
// nothing is added: no byte-order mark, no final line break.
TEST_F(SaveCommandTest, SavesTheUsersEditsWithSwedishLetters) {
  form->Memo1->setFocus();
  QTest::keyClick(form->Memo1, Qt::Key_End, Qt::ControlModifier);
  QTest::keyClicks(form->Memo1, QStringLiteral(u"Måndag, ÅÄÖ"));
  const std::string edited = RowListText();
  ASSERT_EQ(edited, "Dina Rader:\r\nM\xC3\xA5ndag, \xC3\x85\xC3\x84\xC3\x96");

  SaveAs(PathOf(QStringLiteral(u"mina rader å.txt")));

  const QByteArray local = QStringLiteral(u"Dina Rader:\r\nMåndag, ÅÄÖ").toLocal8Bit();
  EXPECT_EQ(Read(PathOf(QStringLiteral(u"mina rader å.txt"))), local.toStdString());
  EXPECT_EQ(RowListText(), edited);
  EXPECT_EQ(platform.messages, std::vector<Box>{kSaved});
}

TEST_F(SaveCommandTest, ReplacesAnExistingFileWithoutAQuestion) {
  Write(PathOf("rader.txt"), std::string(5000, 'o'));
  SaveAs(PathOf("rader.txt"));
  EXPECT_EQ(Read(PathOf("rader.txt")), "Dina Rader:\r\n");
  EXPECT_EQ(Entries(), std::vector<std::string>{"rader.txt"});
  EXPECT_EQ(platform.messages, std::vector<Box>{kSaved});
}

TEST_F(SaveCommandTest, TheNextDialogProposesTheLastPathAndCancelChangesNothing) {
  SaveAs(PathOf("rader.txt"));
  EXPECT_EQ(form->SaveDialog1.FileName, PathOf("rader.txt"));
  SaveAs(PathOf("rader.txt"));
  SaveAs(std::nullopt);

  EXPECT_EQ(platform.proposedPaths,
            (std::vector<QString>{QString(), PathOf("rader.txt"), PathOf("rader.txt")}));
  EXPECT_EQ(form->SaveDialog1.FileName, PathOf("rader.txt"));
  EXPECT_EQ(Read(PathOf("rader.txt")), "Dina Rader:\r\n");
  EXPECT_EQ(platform.messages, (std::vector<Box>{kSaved, kSaved}));
  EXPECT_EQ(platform.writeCalls, 2);
}

TEST_F(SaveCommandTest, CancelWritesNothingAndShowsNothing) {
  SaveAs(std::nullopt);
  EXPECT_EQ(platform.proposedPaths, std::vector<QString>{QString()});
  EXPECT_EQ(platform.writeCalls, 0);
  EXPECT_TRUE(Entries().empty());
  EXPECT_TRUE(platform.messages.empty());
  EXPECT_TRUE(platform.errors.empty());
  EXPECT_TRUE(form->SaveDialog1.FileName.isEmpty());
}

// A file that cannot be created: the standard error box with the reason, no
// confirmation, nothing left behind. The dialog keeps the confirmed name.
TEST_F(SaveCommandTest, AFolderThatIsAFileIsRefused) {
  Write(PathOf("plain"), "not a folder");
  const QString target = PathOf("plain/rader.txt");
  SaveAs(target);
  EXPECT_EQ(platform.errors, std::vector<Box>{ErrorBox(CannotCreate(target, ENOTDIR))});
  EXPECT_TRUE(platform.messages.empty());
  EXPECT_EQ(Read(PathOf("plain")), "not a folder");
  EXPECT_EQ(Entries(), std::vector<std::string>{"plain"});
  EXPECT_EQ(form->SaveDialog1.FileName, target);
}

TEST_F(SaveCommandTest, AMissingFolderIsRefusedWithItsPathAsChosen) {
  const QString target = PathOf(QStringLiteral(u"saknad mapp å/rader.txt"));
  SaveAs(target);
  EXPECT_EQ(platform.errors, std::vector<Box>{ErrorBox(CannotCreate(target, ENOENT))});
  EXPECT_TRUE(platform.messages.empty());
  EXPECT_TRUE(Entries().empty());
}

TEST_F(SaveCommandTest, AFolderIsNotReplaced) {
  fs::create_directories(Native(PathOf("rader.txt")));
  Write(PathOf("rader.txt/inside.txt"), "kept");
  SaveAs(PathOf("rader.txt"));
  EXPECT_EQ(platform.errors, std::vector<Box>{ErrorBox(CannotCreate(PathOf("rader.txt"), EISDIR))});
  EXPECT_TRUE(platform.messages.empty());
  EXPECT_EQ(Read(PathOf("rader.txt/inside.txt")), "kept");
  EXPECT_EQ(Entries(), std::vector<std::string>{"rader.txt"});
}

TEST_F(SaveCommandTest, ANameTheFileSystemRefusesIsRefused) {
  const QString target = PathOf(QString(300, u'r') + ".txt");
  SaveAs(target);
  EXPECT_EQ(platform.errors, std::vector<Box>{ErrorBox(CannotCreate(target, ENAMETOOLONG))});
  EXPECT_TRUE(platform.messages.empty());
  EXPECT_TRUE(Entries().empty());
}

// A file size limit stops the write part-way, as a full disk would: the old
// file stays as it was and no temporary file is left.
TEST_F(SaveCommandTest, AWriteFailingPartWayLeavesTheOldFileIntact) {
  Mark({"1X2", "1X2", "1X2", "1X2", "1X2", "1", "1", "1", "1", "1", "1", "1", "1"});
  const std::string coupon = CouponText(FullSystem());
  ASSERT_GT(coupon.size(), 4096u);
  form->Memo1->SetText(coupon);
  Write(PathOf("rader.txt"), "the old coupon");

  {
    const testing::FileSizeLimit limit(4096);
    SaveAs(PathOf("rader.txt"));
  }

  EXPECT_EQ(platform.errors, std::vector<Box>{ErrorBox("Stream write error")});
  EXPECT_TRUE(platform.messages.empty());
  EXPECT_EQ(Read(PathOf("rader.txt")), "the old coupon");
  EXPECT_EQ(Entries(), std::vector<std::string>{"rader.txt"});
  EXPECT_EQ(RowListText(), coupon);
}

// The menu items, each through its action as the menu triggers it.
TEST_F(SaveCommandTest, MenuItemsOpenTheirAddressesAndShowNothing) {
  for (QAction* item : {form->Skickaettmail1, form->GtillSpelkubsidan1, form->GtillSpelkubFORUM1,
                        form->GtillSvenskaSpel1, form->GtillUnibet1}) {
    item->trigger();
  }
  const auto q = [](std::string_view address) {
    return QString::fromUtf8(address.data(), static_cast<qsizetype>(address.size()));
  };
  EXPECT_EQ(platform.addresses, (std::vector<QString>{q(kSupportMailAddress), q(kMakerSiteAddress),
                                                      q(kMakerForumAddress), q(kSvenskaSpelAddress),
                                                      q(kUnibetPartnerAddress)}));
  EXPECT_TRUE(platform.messages.empty());
  EXPECT_TRUE(platform.errors.empty());
}

QUrl UrlOf(std::string_view address) {
  return QUrl(QString::fromUtf8(address.data(), static_cast<qsizetype>(address.size())),
              QUrl::StrictMode);
}

// Scheme, path and query of each address are fixed; the hosts are ours but for
// the operator's. Each address reaches the desktop as written.
TEST(Links, HaveTheirFixedSchemesPathsAndQueries) {
  const QUrl mail = UrlOf(kSupportMailAddress);
  EXPECT_EQ(mail.scheme(), "mailto");
  EXPECT_TRUE(mail.path().contains(u'@'));
  EXPECT_EQ(mail.query(), "subject=SPELKUB_LITE");

  const QUrl site = UrlOf(kMakerSiteAddress);
  const QUrl forum = UrlOf(kMakerForumAddress);
  EXPECT_EQ(site.scheme(), "http");
  EXPECT_TRUE(site.path().isEmpty());
  EXPECT_FALSE(site.hasQuery());
  EXPECT_EQ(forum.scheme(), "http");
  EXPECT_EQ(forum.host(), site.host());
  EXPECT_EQ(forum.path(), "/Forum");
  EXPECT_FALSE(forum.hasQuery());

  EXPECT_EQ(kSvenskaSpelAddress, "https://www.svenskaspel.se/p4.aspx?pageid=167");

  const QUrl partner = UrlOf(kUnibetPartnerAddress);
  EXPECT_EQ(partner.scheme(), "https");
  EXPECT_EQ(partner.host(), "www.unibet.se");
  EXPECT_EQ(partner.path(), "/");
  const QStringList fields = partner.query().split(u';');
  ASSERT_EQ(fields.size(), 4);
  for (int field = 0; field < 3; ++field) {
    bool number = false;
    fields[field].toUInt(&number);
    EXPECT_TRUE(number) << fields[field].toStdString();
  }
  EXPECT_EQ(fields[3], "ui=UNIQUE_ID");

  for (std::string_view address : {kSupportMailAddress, kMakerSiteAddress, kMakerForumAddress,
                                   kSvenskaSpelAddress, kUnibetPartnerAddress}) {
    const QUrl url = UrlOf(address);
    EXPECT_TRUE(url.isValid()) << address;
    EXPECT_EQ(url.toString(QUrl::FullyEncoded).toStdString(), address);
  }
}

// The real save dialog, configured but never shown.
class SaveDialogTest : public ::testing::Test, testing::WithApplication {
 protected:
  QString Folder() const { return QString::fromStdString(folder_.path().string()); }

 private:
  testing::TempFolder folder_{"spelkub_save_dialog"};
};

TEST_F(SaveDialogTest, OffersTextFilesWithoutAnOverwriteQuestionOrATitleOfOurs) {
  const std::unique_ptr<QFileDialog> dialog = NewSaveDialog(QString());
  EXPECT_FALSE(dialog->isVisible());
  EXPECT_EQ(dialog->acceptMode(), QFileDialog::AcceptSave);
  EXPECT_EQ(dialog->fileMode(), QFileDialog::AnyFile);
  EXPECT_EQ(dialog->nameFilters(), QStringList{"text files (*.txt)"});
  EXPECT_EQ(dialog->selectedNameFilter(), "text files (*.txt)");
  EXPECT_EQ(dialog->defaultSuffix(), "txt");

  QFileDialog plain;
  plain.setAcceptMode(QFileDialog::AcceptSave);
  EXPECT_EQ(dialog->options(), plain.options() | QFileDialog::DontConfirmOverwrite);
  EXPECT_EQ(dialog->windowTitle(), plain.windowTitle());
}

TEST_F(SaveDialogTest, ProposesTheLastPathInItsFolder) {
  const QString last = Folder() + "/rader.txt";
  const std::unique_ptr<QFileDialog> dialog = NewSaveDialog(last);
  EXPECT_EQ(dialog->directory().absolutePath(), Folder());
  EXPECT_EQ(dialog->selectedFiles(), QStringList{last});
}

TEST_F(SaveDialogTest, AddsTheSuffixToANameWithoutOne) {
  const std::unique_ptr<QFileDialog> dialog = NewSaveDialog(Folder() + "/rader");
  EXPECT_EQ(dialog->selectedFiles(), QStringList{Folder() + "/rader.txt"});
}

}  // namespace
}  // namespace spelkub
