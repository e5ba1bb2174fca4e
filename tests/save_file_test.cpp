#include "generate/save_file.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <string>
#include <vector>

#include "temp_folder.h"

namespace spelkub {
namespace {

namespace fs = std::filesystem;

class SaveTextFileTest : public ::testing::Test {
 protected:
  std::string Path(const std::string& name) const { return folder_.Path(name).string(); }
  static std::string Read(const std::string& path) { return testing::ReadFile(path); }
  static void Write(const std::string& path, const std::string& bytes) {
    testing::WriteFile(path, bytes);
  }
  // Everything in the folder: a failed or finished save leaves no temporary file.
  std::vector<std::string> Entries() const { return folder_.Entries(); }
  static std::string ErrorOf(const std::string& path, std::string_view bytes) {
    try {
      SaveTextFile(path, bytes);
    } catch (const SaveError& error) {
      return error.what();
    }
    return "no error";
  }

  testing::TempFolder folder_{"spelkub_save"};
};

TEST_F(SaveTextFileTest, WritesTheBytesExactly) {
  const std::string text = "Stryktipset,13plus=Nej\r\nE,1,X,1,1,1,1,1,1,1,1,1,1,1\r\nå\xe5\x00z";
  SaveTextFile(Path("rader.txt"), text);
  EXPECT_EQ(Read(Path("rader.txt")), text);
  EXPECT_EQ(Entries(), std::vector<std::string>{"rader.txt"});
}

TEST_F(SaveTextFileTest, EmptyTextMakesAnEmptyFile) {
  Write(Path("rader.txt"), "old content");
  SaveTextFile(Path("rader.txt"), "");
  EXPECT_TRUE(fs::exists(Path("rader.txt")));
  EXPECT_EQ(fs::file_size(Path("rader.txt")), 0u);
}

TEST_F(SaveTextFileTest, ReplacesAnExistingFileAndKeepsItsPermissions) {
  Write(Path("rader.txt"), "a much longer old content that must not survive");
  ::chmod(Path("rader.txt").c_str(), 0640);
  SaveTextFile(Path("rader.txt"), "Dina Rader:");
  EXPECT_EQ(Read(Path("rader.txt")), "Dina Rader:");
  struct stat info {};
  ASSERT_EQ(::stat(Path("rader.txt").c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0640u);
  EXPECT_EQ(Entries(), std::vector<std::string>{"rader.txt"});
}

TEST_F(SaveTextFileTest, FollowsALinkToTheFileItNames) {
  Write(Path("real.txt"), "old");
  fs::create_symlink(Path("real.txt"), Path("link.txt"));
  SaveTextFile(Path("link.txt"), "new");
  EXPECT_TRUE(fs::is_symlink(Path("link.txt")));
  EXPECT_EQ(Read(Path("real.txt")), "new");
}

TEST_F(SaveTextFileTest, ReplacesAFileWhoseNameIsNearTheLimit) {
  const std::string name = std::string(250, 'r') + ".txt";
  Write(Path(name), "old");
  SaveTextFile(Path(name), "new");
  EXPECT_EQ(Read(Path(name)), "new");
  EXPECT_EQ(Entries(), std::vector<std::string>{name});
}

TEST_F(SaveTextFileTest, RefusesAFolderThatIsAFile) {
  Write(Path("plain"), "keep");
  const std::string target = Path("plain") + "/rader.txt";
  EXPECT_EQ(ErrorOf(target, "x"), "Cannot create file \"" + target + "\". Not a directory");
  EXPECT_EQ(Read(Path("plain")), "keep");
}

TEST_F(SaveTextFileTest, RefusesAMissingFolder) {
  const std::string target = Path("missing") + "/rader.txt";
  EXPECT_EQ(ErrorOf(target, "x"),
            "Cannot create file \"" + target + "\". No such file or directory");
  EXPECT_TRUE(Entries().empty());
}

TEST_F(SaveTextFileTest, RefusesToReplaceAFolder) {
  fs::create_directories(Path("rader.txt"));
  EXPECT_EQ(ErrorOf(Path("rader.txt"), "x"),
            "Cannot create file \"" + Path("rader.txt") + "\". Is a directory");
  EXPECT_TRUE(fs::is_directory(Path("rader.txt")));
  EXPECT_EQ(Entries(), std::vector<std::string>{"rader.txt"});
}

// A file size limit makes the write fail part-way, as a full disk would.
TEST_F(SaveTextFileTest, AFailedWriteLeavesTheOldFileIntact) {
  Write(Path("rader.txt"), "the old coupon");
  std::string error;
  {
    const testing::FileSizeLimit limit(4096);
    error = ErrorOf(Path("rader.txt"), std::string(100000, 'X'));
  }

  EXPECT_EQ(error, "Stream write error");
  EXPECT_EQ(Read(Path("rader.txt")), "the old coupon");
  EXPECT_EQ(Entries(), std::vector<std::string>{"rader.txt"});
}

class SaveFileWriterTest : public SaveTextFileTest {};

TEST_F(SaveFileWriterTest, JoinsThePiecesInOrder) {
  SaveFileWriter writer(Path("rader.txt"));
  writer.Write("Stryktipset,13plus=Nej\r\n");
  writer.Write("");
  writer.Write("E,1,X,2,1,1,1,1,1,1,1,1,1,1\r\n");
  writer.Commit();
  EXPECT_EQ(Read(Path("rader.txt")), "Stryktipset,13plus=Nej\r\nE,1,X,2,1,1,1,1,1,1,1,1,1,1\r\n");
  EXPECT_EQ(Entries(), std::vector<std::string>{"rader.txt"});
}

TEST_F(SaveFileWriterTest, ShowsNothingAtTheTargetBeforeCommit) {
  Write(Path("rader.txt"), "the old coupon");
  SaveFileWriter writer(Path("rader.txt"));
  writer.Write("the new coupon, first half;");
  EXPECT_EQ(Read(Path("rader.txt")), "the old coupon");
  EXPECT_EQ(Entries(), std::vector<std::string>{"rader.txt"});
  writer.Write(" second half");
  writer.Commit();
  EXPECT_EQ(Read(Path("rader.txt")), "the new coupon, first half; second half");
  EXPECT_EQ(Entries(), std::vector<std::string>{"rader.txt"});
}

TEST_F(SaveFileWriterTest, WithoutCommitLeavesAnExistingFileAsItWas) {
  Write(Path("rader.txt"), "the old coupon");
  {
    SaveFileWriter writer(Path("rader.txt"));
    writer.Write(std::string(100000, 'X'));
  }
  EXPECT_EQ(Read(Path("rader.txt")), "the old coupon");
  EXPECT_EQ(Entries(), std::vector<std::string>{"rader.txt"});
}

TEST_F(SaveFileWriterTest, WithoutCommitCreatesNoFile) {
  {
    SaveFileWriter writer(Path("rader.txt"));
    writer.Write("rows");
  }
  EXPECT_TRUE(Entries().empty());
}

TEST_F(SaveFileWriterTest, RefusesAMissingFolderAtOnce) {
  const std::string target = Path("missing") + "/rader.txt";
  try {
    SaveFileWriter writer(target);
    ADD_FAILURE() << "the writer was made";
  } catch (const SaveError& error) {
    EXPECT_EQ(std::string(error.what()),
              "Cannot create file \"" + target + "\". No such file or directory");
  }
  EXPECT_TRUE(Entries().empty());
}

TEST_F(SaveFileWriterTest, AFailedPieceLeavesTheOldFileAndRefusesTheCommit) {
  Write(Path("rader.txt"), "the old coupon");
  SaveFileWriter writer(Path("rader.txt"));
  {
    const testing::FileSizeLimit limit(4096);
    EXPECT_THROW(writer.Write(std::string(100000, 'X')), SaveError);
  }
  try {
    writer.Commit();
    ADD_FAILURE() << "the commit went through";
  } catch (const SaveError& error) {
    EXPECT_EQ(std::string(error.what()), "Stream write error");
  }
  EXPECT_EQ(Read(Path("rader.txt")), "the old coupon");
}

}  // namespace
}  // namespace spelkub
