// Files as the trace log and the text writer use them: dispositions and the
// last error they leave, appending, backslash paths and Win32 error codes.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "compat/win32.h"
#include "support/temp_dir.h"

namespace {

void WriteContent(const std::filesystem::path& path, const std::string& content) {
  std::ofstream(path, std::ios::binary) << content;
}

std::string ReadContent(const std::filesystem::path& path) {
  std::ifstream file(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

// The path as the library passes it: wide, with backslashes.
std::wstring WinPath(const std::filesystem::path& dir, const wchar_t* relative) {
  std::wstring path = dir.wstring() + L"\\" + relative;
  for (wchar_t& c : path) {
    if (c == L'/') c = L'\\';
  }
  return path;
}

bool Write(HANDLE file, const std::string& bytes) {
  DWORD written = 0;
  return WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
         written == bytes.size();
}

TEST(CompatFile, DispositionsAndTheLastErrorTheyLeave) {
  struct Case {
    const char* label;
    DWORD disposition;
    bool exists;
    bool opens;
    DWORD lastError;
    const char* contentAfter;  // "old" was there when exists
  };
  const Case cases[] = {
      {"create always, new", CREATE_ALWAYS, false, true, ERROR_SUCCESS, ""},
      {"create always, existing", CREATE_ALWAYS, true, true, ERROR_ALREADY_EXISTS, ""},
      {"open always, new", OPEN_ALWAYS, false, true, ERROR_SUCCESS, ""},
      {"open always, existing", OPEN_ALWAYS, true, true, ERROR_ALREADY_EXISTS, "old"},
      {"open existing, new", OPEN_EXISTING, false, false, ERROR_FILE_NOT_FOUND, nullptr},
      {"open existing, existing", OPEN_EXISTING, true, true, ERROR_SUCCESS, "old"},
      {"create new, new", CREATE_NEW, false, true, ERROR_SUCCESS, ""},
      {"create new, existing", CREATE_NEW, true, false, ERROR_FILE_EXISTS, "old"},
  };
  TempDir dir;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    const std::filesystem::path path = dir.path() / "file.txt";
    std::filesystem::remove(path);
    if (c.exists) WriteContent(path, "old");
    SetLastError(0xDEAD);
    HANDLE file =
        CreateFileW(WinPath(dir.path(), L"file.txt").c_str(), FILE_GENERIC_WRITE, FILE_SHARE_READ,
                    nullptr, c.disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
    EXPECT_EQ(GetLastError(), c.lastError);
    ASSERT_EQ(file != INVALID_HANDLE_VALUE, c.opens);
    if (file != INVALID_HANDLE_VALUE) {
      EXPECT_TRUE(CloseHandle(file));
    }
    if (c.contentAfter != nullptr) {
      EXPECT_EQ(ReadContent(path), c.contentAfter);
    }
  }
}

TEST(CompatFile, AppendDataWritesAtTheEndAndGenericWriteAtTheStart) {
  TempDir dir;
  const std::wstring path = WinPath(dir.path(), L"log.txt");
  WriteContent(dir.path() / "log.txt", "abc");

  // Two handles opened for appending (two writers of one log) never overwrite each other.
  HANDLE first = CreateFileW(path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE,
                             nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(first, INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ALREADY_EXISTS));
  HANDLE second = CreateFileW(path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE,
                              nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(second, INVALID_HANDLE_VALUE);
  EXPECT_TRUE(Write(first, "d"));
  EXPECT_TRUE(Write(second, "e"));
  EXPECT_TRUE(Write(first, "f"));
  EXPECT_TRUE(FlushFileBuffers(first));
  EXPECT_TRUE(CloseHandle(first));
  EXPECT_TRUE(CloseHandle(second));
  EXPECT_EQ(ReadContent(dir.path() / "log.txt"), "abcdef");

  HANDLE overwrite = CreateFileW(path.c_str(), FILE_GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                                 OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(overwrite, INVALID_HANDLE_VALUE);
  EXPECT_TRUE(Write(overwrite, "XY"));
  EXPECT_TRUE(CloseHandle(overwrite));
  EXPECT_EQ(ReadContent(dir.path() / "log.txt"), "XYcdef");
}

// The size is that of the file now, writes through the handle included.
TEST(CompatFile, FileSizeOfAnOpenFile) {
  struct Case {
    const char* label;
    std::string before;   // the file's content when it is opened
    std::string written;  // then written through the handle, at the start
    LONGLONG size;
  };
  const Case cases[] = {
      {"empty", "", "", 0},
      {"as found", "hello", "", 5},
      {"grown by a write", "ab", "wxyz", 4},
      {"overwritten within", "abcdef", "XY", 6},
  };
  TempDir dir;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    WriteContent(dir.path() / "sized.bin", c.before);
    HANDLE file =
        CreateFileW(WinPath(dir.path(), L"sized.bin").c_str(), GENERIC_READ | FILE_GENERIC_WRITE,
                    FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    if (!c.written.empty()) {
      EXPECT_TRUE(Write(file, c.written));
    }
    LARGE_INTEGER size;
    size.QuadPart = -1;
    EXPECT_TRUE(GetFileSizeEx(file, &size));
    EXPECT_EQ(size.QuadPart, c.size);
    EXPECT_TRUE(CloseHandle(file));
  }
}

TEST(CompatFile, DirectoriesAndFilesThroughBackslashPaths) {
  TempDir dir;
  const std::wstring sub = WinPath(dir.path(), L"sub");
  const std::wstring file = WinPath(dir.path(), L"sub\\data.bin");

  EXPECT_EQ(GetFileAttributesW(sub.c_str()), INVALID_FILE_ATTRIBUTES);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
  EXPECT_EQ(GetFileAttributesW(file.c_str()), INVALID_FILE_ATTRIBUTES);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_PATH_NOT_FOUND));
  EXPECT_EQ(CreateFileW(file.c_str(), FILE_GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                        FILE_ATTRIBUTE_NORMAL, nullptr),
            INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_PATH_NOT_FOUND));
  EXPECT_FALSE(CreateDirectoryW(WinPath(dir.path(), L"missing\\deeper").c_str(), nullptr));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_PATH_NOT_FOUND));

  ASSERT_TRUE(CreateDirectoryW(sub.c_str(), nullptr));
  EXPECT_TRUE(std::filesystem::is_directory(dir.path() / "sub"));
  EXPECT_NE(GetFileAttributesW(sub.c_str()) & FILE_ATTRIBUTE_DIRECTORY, 0u);
  EXPECT_FALSE(CreateDirectoryW(sub.c_str(), nullptr));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ALREADY_EXISTS));

  HANDLE out = CreateFileW(file.c_str(), FILE_GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                           CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(out, INVALID_HANDLE_VALUE);
  const std::string bytes(
      "\xFF\xFE"
      "a\0b\0",
      6);
  EXPECT_TRUE(Write(out, bytes));
  EXPECT_TRUE(CloseHandle(out));
  EXPECT_EQ(ReadContent(dir.path() / "sub" / "data.bin"), bytes);
  EXPECT_EQ(GetFileAttributesW(file.c_str()) & FILE_ATTRIBUTE_DIRECTORY, 0u);

  HANDLE in = CreateFileW(file.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                          FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(in, INVALID_HANDLE_VALUE);
  char buffer[16] = {};
  DWORD read = 0;
  EXPECT_TRUE(ReadFile(in, buffer, sizeof(buffer), &read, nullptr));
  EXPECT_EQ(std::string(buffer, read), bytes);
  EXPECT_TRUE(ReadFile(in, buffer, sizeof(buffer), &read, nullptr));  // at the end: 0 bytes
  EXPECT_EQ(read, 0u);
  EXPECT_TRUE(CloseHandle(in));

  EXPECT_FALSE(DeleteFileW(sub.c_str()));  // a directory is not a file
  EXPECT_TRUE(DeleteFileW(file.c_str()));
  EXPECT_FALSE(std::filesystem::exists(dir.path() / "sub" / "data.bin"));
  EXPECT_FALSE(DeleteFileW(file.c_str()));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
}

}  // namespace
