#include "handin/handin.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "commands/hand_in_command.h"
#include "io/save_file.h"
#include "support/temp_folder.h"
#include "text/coupon_reader.h"

namespace spelkub {
namespace {

using testing::ReadFile;
using testing::TempFolder;
using testing::WriteFile;

std::vector<PackedRow> RandomRows(size_t count, unsigned seed) {
  std::mt19937 random(seed);
  std::vector<PackedRow> rows(count);
  for (PackedRow& row : rows) {
    row = 0;
    for (int m = 0; m < 13; ++m) row |= PackedRow(random() % 3) << (2 * m);
  }
  return rows;
}

// Every line break is CR LF, and the text ends with one.
bool AllCrlf(const std::string& text) {
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\n' && (i == 0 || text[i - 1] != '\r')) return false;
    if (text[i] == '\r' && (i + 1 == text.size() || text[i + 1] != '\n')) return false;
  }
  return text.ends_with("\r\n");
}

// The one save path, as both front ends take it: prepared, saved, read back.
// A refusal is thrown as HandInRefused with its text.
std::vector<std::string> SaveForHandIn(const std::string& path, int32_t game,
                                       std::span<const PackedRow> rows) {
  Refusable<HandInFiles> files = PrepareHandIn(game, rows, false);
  if (!files.value) throw HandInRefused(files.refusal.text);
  Refusable<HandInSaved> saved = SaveHandIn(*files.value, path);
  if (!saved.value) throw HandInRefused(saved.refusal.text);
  return saved.value->names;
}

CouponRows ReadBack(const std::string& path) {
  const ReadResult result = ReadCouponFile(path);
  EXPECT_TRUE(result.coupon.has_value()) << path << ": " << result.error;
  return result.coupon.value_or(CouponRows{});
}

TEST(HandInFileNames, KeepsThePathForOneFile) {
  EXPECT_EQ(HandInFileNames("/a/rader.txt", 1), std::vector<std::string>{"/a/rader.txt"});
}

TEST(HandInFileNames, NumbersSeveralFiles) {
  EXPECT_EQ(HandInFileNames("/a/rader.txt", 2),
            (std::vector<std::string>{"/a/rader-1.txt", "/a/rader-2.txt"}));
  EXPECT_EQ(HandInFileNames("rader.TXT", 3),
            (std::vector<std::string>{"rader-1.TXT", "rader-2.TXT", "rader-3.TXT"}));
  EXPECT_EQ(HandInFileNames("rader", 3),
            (std::vector<std::string>{"rader-1.txt", "rader-2.txt", "rader-3.txt"}));
  EXPECT_EQ(HandInFileNames("x.txt", 160).size(), 160u);
}

TEST(HandInText, IsTheProductNameThenTheRowsWithCrLf) {
  const std::vector<PackedRow> rows = {0, PackedRow(0x2AAAAAA), PackedRow(0x1)};
  EXPECT_EQ(HandInText(Rules(kStryktipset), {}, rows),
            "Stryktipset\r\n"
            "E,1,1,1,1,1,1,1,1,1,1,1,1,1\r\n"
            "E,2,2,2,2,2,2,2,2,2,2,2,2,2\r\n"
            "E,X,1,1,1,1,1,1,1,1,1,1,1,1\r\n");
  EXPECT_EQ(HandInText(Rules(kEuropatipset), {}, std::span(rows).first(1)),
            "Europatipset\r\nE,1,1,1,1,1,1,1,1,1,1,1,1,1\r\n");
}

TEST(SaveForHandIn, WritesExactlyTenThousandRowsToOneFile) {
  TempFolder folder("handin");
  const std::string path = folder.Path("rader.txt").string();
  const std::vector<PackedRow> rows = RandomRows(10000, 1);
  EXPECT_EQ(SaveForHandIn(path, kStryktipset, rows), std::vector<std::string>{path});
  EXPECT_EQ(folder.Entries(), std::vector<std::string>{"rader.txt"});
  const std::string text = ReadFile(path);
  EXPECT_TRUE(text.starts_with("Stryktipset\r\nE,"));
  EXPECT_TRUE(AllCrlf(text));
  EXPECT_EQ(text.size(), 13 + 10000 * 29u);
  const CouponRows back = ReadBack(path);
  EXPECT_EQ(back.headerForm, HeaderForm::kProductName);
  EXPECT_EQ(back.game, kStryktipset);
  EXPECT_EQ(back.rows, rows);
}

TEST(SaveForHandIn, SplitsTenThousandAndOneRowsIntoTwoFilesInOrder) {
  TempFolder folder("handin");
  const std::string path = folder.Path("euro.txt").string();
  const std::vector<PackedRow> rows = RandomRows(10001, 2);
  const std::vector<std::string> names = SaveForHandIn(path, kEuropatipset, rows);
  ASSERT_EQ(names, (std::vector<std::string>{folder.Path("euro-1.txt").string(),
                                             folder.Path("euro-2.txt").string()}));
  EXPECT_EQ(folder.Entries(), (std::vector<std::string>{"euro-1.txt", "euro-2.txt"}));
  std::vector<PackedRow> joined;
  for (const std::string& name : names) {
    const std::string text = ReadFile(name);
    EXPECT_TRUE(text.starts_with("Europatipset\r\nE,")) << name;
    EXPECT_TRUE(AllCrlf(text)) << name;
    const CouponRows back = ReadBack(name);
    EXPECT_EQ(back.game, kEuropatipset);
    EXPECT_LE(back.rows.size(), 10000u);
    joined.insert(joined.end(), back.rows.begin(), back.rows.end());
  }
  EXPECT_EQ(ReadBack(names[0]).rows.size(), 10000u);
  EXPECT_EQ(ReadBack(names[1]).rows.size(), 1u);
  EXPECT_EQ(joined, rows);
}

TEST(SaveForHandIn, RefusesSupertotoAndWritesNothing) {
  TempFolder folder("handin");
  try {
    SaveForHandIn(folder.Path("toto.txt").string(), kSupertoto, std::vector<PackedRow>{0, 1});
    FAIL() << "Supertoto was saved";
  } catch (const HandInRefused& refused) {
    EXPECT_EQ(std::string(refused.what()), "Supertoto kan inte lämnas in på det här sättet.");
  }
  EXPECT_THROW(HandInText(Rules(kSupertoto), {}, std::vector<PackedRow>{0}), HandInRefused);
  EXPECT_TRUE(folder.Entries().empty());
}

TEST(SaveForHandIn, RefusesNoRows) {
  TempFolder folder("handin");
  try {
    SaveForHandIn(folder.Path("tom.txt").string(), kStryktipset, {});
    FAIL() << "no rows were saved";
  } catch (const HandInRefused& refused) {
    EXPECT_EQ(std::string(refused.what()), "Det finns inga rader att lämna in.");
  }
  EXPECT_TRUE(folder.Entries().empty());
}

TEST(SaveForHandIn, ReplacesAnOldFileAndKeepsItWhenWritingFails) {
  TempFolder folder("handin");
  const std::string path = folder.Path("rader.txt").string();
  WriteFile(path, "gammalt");
  const std::vector<PackedRow> rows = RandomRows(5000, 3);
  {
    testing::FileSizeLimit limit(4096);
    EXPECT_THROW(SaveForHandIn(path, kStryktipset, rows), SaveError);
  }
  EXPECT_EQ(ReadFile(path), "gammalt");
  EXPECT_EQ(folder.Entries(), std::vector<std::string>{"rader.txt"});
  SaveForHandIn(path, kStryktipset, rows);
  EXPECT_EQ(ReadBack(path).rows, rows);
}

TEST(SaveForHandIn, NamesNoFileWhenAnyOfSeveralCannotBeWritten) {
  TempFolder folder("handin");
  const std::string path = folder.Path("rader.txt").string();
  WriteFile(folder.Path("rader-1.txt"), "gammal etta");
  std::filesystem::create_directory(folder.Path("rader-3.txt"));  // cannot become a file
  const std::vector<PackedRow> rows = RandomRows(25000, 4);
  try {
    SaveForHandIn(path, kStryktipset, rows);
    FAIL() << "saved over a folder";
  } catch (const SaveError& error) {
    EXPECT_EQ(std::string(error.what()), "Kan inte skapa filen \"" +
                                             folder.Path("rader-3.txt").string() +
                                             "\": det är en mapp. Ingen av de 3 filerna sparades.");
  }
  EXPECT_EQ(ReadFile(folder.Path("rader-1.txt")), "gammal etta");
  EXPECT_EQ(folder.Entries(), (std::vector<std::string>{"rader-1.txt", "rader-3.txt"}));
}

TEST(SaveForHandIn, KeepsAllOldFilesWhenTheDiskFills) {
  TempFolder folder("handin");
  const std::string path = folder.Path("rader.txt").string();
  WriteFile(folder.Path("rader-1.txt"), "gammal etta");
  WriteFile(folder.Path("rader-2.txt"), "gammal tvåa");
  const std::vector<PackedRow> rows = RandomRows(15000, 5);
  {
    // The second file (5,000 rows, 145,013 bytes) would fit, the first does not.
    testing::FileSizeLimit limit(200000);
    EXPECT_THROW(SaveForHandIn(path, kStryktipset, rows), SaveError);
  }
  EXPECT_EQ(ReadFile(folder.Path("rader-1.txt")), "gammal etta");
  EXPECT_EQ(ReadFile(folder.Path("rader-2.txt")), "gammal tvåa");
  EXPECT_EQ(folder.Entries(), (std::vector<std::string>{"rader-1.txt", "rader-2.txt"}));
}

TEST(SaveForHandIn, RefusesAFolderAsTheNameOfSeveralFiles) {
  TempFolder folder("handin");
  const std::vector<PackedRow> rows = RandomRows(10001, 8);
  EXPECT_THROW(SaveForHandIn(folder.path().string(), kStryktipset, rows), SaveError);
  EXPECT_THROW(SaveForHandIn(folder.path().string() + "/", kStryktipset, rows), SaveError);
  EXPECT_THROW(SaveForHandIn("", kStryktipset, rows), SaveError);
  EXPECT_TRUE(folder.Entries().empty());
}

TEST(SaveForHandIn, RefusesAPipeOrADeviceAsTheNameOfSeveralFiles) {
  TempFolder folder("handin");
  const std::string pipe = folder.Path("pipe").string();
  ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
  std::filesystem::create_symlink(pipe, folder.Path("link.txt"));
  const std::vector<PackedRow> rows = RandomRows(10001, 9);
  for (const std::string& path : {pipe, folder.Path("link.txt").string()}) {
    try {
      SaveForHandIn(path, kStryktipset, rows);
      ADD_FAILURE() << "saved beside " << path;
    } catch (const HandInRefused& refusal) {
      EXPECT_EQ(std::string(refusal.what()),
                "Raderna behöver 2 filer, och \"" + path +
                    "\" är ingen vanlig fil. Ange en vanlig fil eller ett nytt namn.");
    }
  }
  EXPECT_EQ(folder.Entries(), (std::vector<std::string>{"link.txt", "pipe"}));
  // Rows for one file go to any target a save takes.
  EXPECT_NO_THROW(CheckHandInTarget(pipe, 1));
  EXPECT_NO_THROW(CheckHandInTarget(folder.Path("ny.txt").string(), 2));
}

TEST(HandInSaveFailure, SaysWhichOfTheFilesWereSaved) {
  EXPECT_EQ(HandInSaveFailure("Kan inte skriva filen \"a-2.txt\": disken är full.", 0, 3),
            "Kan inte skriva filen \"a-2.txt\": disken är full. Ingen av de 3 filerna sparades.");
  EXPECT_EQ(HandInSaveFailure("Kan inte skapa filen \"a-3.txt\": för många länkar.", 2, 5),
            "Kan inte skapa filen \"a-3.txt\": för många länkar. Fil 1 till 2 av 5 sparades, "
            "övriga inte: spara igen innan du lämnar in.");
  // A reason without a full stop gets one before the count.
  EXPECT_EQ(HandInSaveFailure("Is a directory", 0, 2),
            "Is a directory. Ingen av de 2 filerna sparades.");
}

TEST(LeftoverHandInFiles, NamesOlderFilesThatTheNewSaveDoesNotReplace) {
  TempFolder folder("handin");
  const std::string path = folder.Path("rader.txt").string();
  SaveForHandIn(path, kStryktipset, RandomRows(35000, 6));  // four files
  SaveForHandIn(path, kStryktipset, RandomRows(5000, 7));   // one file
  EXPECT_EQ(LeftoverHandInFiles(path, 1),
            (std::vector<std::string>{
                folder.Path("rader-1.txt").string(), folder.Path("rader-2.txt").string(),
                folder.Path("rader-3.txt").string(), folder.Path("rader-4.txt").string()}));
  EXPECT_EQ(LeftoverHandInFiles(path, 3),
            (std::vector<std::string>{path, folder.Path("rader-4.txt").string()}));
  EXPECT_EQ(LeftoverHandInFiles(path, 4), std::vector<std::string>{path});
  EXPECT_EQ(folder.Entries().size(), 5u);  // nothing was removed
}

}  // namespace
}  // namespace spelkub
