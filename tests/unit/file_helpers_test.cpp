#include "foundation/file_helpers.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "foundation_test_files.h"
#include "support/temp_dir.h"

namespace {

namespace fs = std::filesystem;
using foundation_test::LibraryPath;
using foundation_test::ReadBytes;
using foundation_test::WriteBytes;

TEST(FileHelpersTest, FileExists) {
  TempDir dir;
  WriteBytes(dir.path() / "file.txt", "x");
  EXPECT_TRUE(FileExists(LibraryPath(dir.path())));  // a directory counts
  EXPECT_TRUE(FileExists(LibraryPath(dir.path() / "file.txt")));
  EXPECT_FALSE(FileExists(LibraryPath(dir.path() / "missing.txt")));
  EXPECT_FALSE(FileExists(LibraryPath(dir.path()) + L"\\missing\\file.txt"));
}

TEST(FileHelpersTest, EnsureDirectoryCreatesEveryMissingParent) {
  TempDir dir;
  WsString forward = LibraryPath(dir.path());
  forward.ReplaceAll(L"\\", L"/");
  struct Case {
    WsString path;
    fs::path created;
  } cases[] = {
      {forward + L"/a/b/", dir.path() / "a" / "b"},  // forward slashes, trailing separator
      {LibraryPath(dir.path()) + L"\\c\\d\\e", dir.path() / "c" / "d" / "e"},
      {LibraryPath(dir.path()) + L"\\c\\d", dir.path() / "c" / "d"},  // exists already
      {LibraryPath(dir.path()) + L"/f\\g", dir.path() / "f" / "g"},   // mixed separators
  };
  for (const Case& c : cases) {
    EXPECT_TRUE(EnsureDirectory(c.path)) << c.created;
    EXPECT_TRUE(fs::is_directory(c.created)) << c.created;
  }
  EXPECT_TRUE(fs::is_directory(dir.path() / "a"));
}

TEST(FileHelpersTest, EnsureDirectoryFailures) {
  TempDir dir;
  WriteBytes(dir.path() / "file.txt", "x");
  EXPECT_FALSE(EnsureDirectory(L""));
  // A file in the way: the parents stop there and the result is false.
  EXPECT_FALSE(EnsureDirectory(LibraryPath(dir.path() / "file.txt") + L"\\sub\\dir"));
  EXPECT_FALSE(fs::exists(dir.path() / "file.txt" / "sub"));
}

TEST(FileHelpersTest, WriteTextFileWritesUtf16LittleEndianAndCreatesDirectories) {
  TempDir dir;
  WsString path = LibraryPath(dir.path()) + L"\\n1\\n2\\answer.xml";
  const WsString text(L"\uFEFF<a>\u20AC</a>");
  ASSERT_TRUE(WriteTextFile(path, text.c_str(), text.size()));
  EXPECT_EQ(ReadBytes(dir.path() / "n1" / "n2" / "answer.xml"),
            std::string("\xFF\xFE<\0a\0>\0\xAC\x20<\0/\0a\0>\0", 18));

  // Replacing a longer file leaves only the new bytes; a length shorter than
  // the text writes only that many code units.
  const WsString shorter(L"xyz");
  ASSERT_TRUE(WriteTextFile(path, shorter.c_str(), 2));
  EXPECT_EQ(ReadBytes(dir.path() / "n1" / "n2" / "answer.xml"), std::string("x\0y\0", 4));

  ASSERT_TRUE(WriteTextFile(path, L"", 0));
  EXPECT_TRUE(fs::exists(dir.path() / "n1" / "n2" / "answer.xml"));
  EXPECT_EQ(fs::file_size(dir.path() / "n1" / "n2" / "answer.xml"), 0u);
}

TEST(FileHelpersTest, WriteTextFileCreatesDirectoriesNamedWithForwardSlashes) {
  TempDir dir;
  WsString base = LibraryPath(dir.path());
  base.ReplaceAll(L"\\", L"/");
  const WsString text(L"x");
  ASSERT_TRUE(WriteTextFile(base + L"/f1/f2/answer.xml", text.c_str(), text.size()));
  EXPECT_EQ(ReadBytes(dir.path() / "f1" / "f2" / "answer.xml"), std::string("x\0", 2));
}

TEST(FileHelpersTest, WriteTextFileFailsWhenTheFileCannotBeCreated) {
  TempDir dir;
  WriteBytes(dir.path() / "file.txt", "x");
  const WsString text(L"data");
  EXPECT_FALSE(WriteTextFile(LibraryPath(dir.path() / "file.txt") + L"\\inner.txt", text.c_str(),
                             text.size()));
  fs::create_directory(dir.path() / "taken");
  EXPECT_FALSE(WriteTextFile(LibraryPath(dir.path() / "taken"), text.c_str(), text.size()));
  EXPECT_EQ(ReadBytes(dir.path() / "file.txt"), "x");
}

}  // namespace
