#include "foundation/file_helpers.h"

#include <algorithm>
#include <string>

#include "compat/win32.h"
#include "foundation/utf16.h"

bool FileExists(const WsString& path) {
  return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

void CreateDirectoryTree(const WsString& path) {
  if (path.empty() || FileExists(path)) return;
  size_t slash = path.rfind(L'\\');
  if (slash != WsString::npos && slash > 0) CreateDirectoryTree(WsString(path.substr(0, slash)));
  CreateDirectoryW(path.c_str(), nullptr);
}

bool EnsureDirectory(const WsString& path) {
  if (path.empty()) return false;
  if (FileExists(path)) return true;
  WsString copy(path);
  copy.ReplaceAllNoCase(kForwardSlash, kBackslash);
  if (!copy.empty() && copy.back() == L'\\') copy.pop_back();
  CreateDirectoryTree(copy);
  return FileExists(path);
}

bool WriteTextFile(const WsString& path, const wchar_t* text, size_t length) {
  // Either separator ends the directory part: both are separators to the
  // file functions, and a caller may write a path either way.
  size_t slash = path.find_last_of(L"\\/");
  if (slash != WsString::npos) EnsureDirectory(WsString(path.substr(0, slash)));

  HANDLE file = CreateFileW(path.c_str(), FILE_GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                            CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  // The same bytes on every build, whatever the width of wchar_t.
  std::string bytes = ToUtf16LE(text, length);
  DWORD written = 0;
  BOOL ok = WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
  CloseHandle(file);
  return ok && written == bytes.size();
}

bool ReadWholeFile(const WsString& path, std::string& bytes) {
  bytes.clear();
  HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  // Read straight into room for the size the file has now and one byte more,
  // to see its end; a file that grows meanwhile is still read to its end.
  constexpr size_t kBlock = 65536;
  LARGE_INTEGER length;
  size_t room = kBlock;
  if (GetFileSizeEx(file, &length) && length.QuadPart > 0 &&
      static_cast<ULONGLONG>(length.QuadPart) < bytes.max_size() - kBlock) {
    room = static_cast<size_t>(length.QuadPart) + 1;
  }
  bool ok = true;
  size_t filled = 0;
  for (;;) {
    if (bytes.size() == filled) bytes.resize(std::max(room, filled + kBlock));
    const size_t step = std::min<size_t>(bytes.size() - filled, size_t{1} << 30);
    DWORD read = 0;
    if (!ReadFile(file, bytes.data() + filled, static_cast<DWORD>(step), &read, nullptr)) {
      ok = false;
      break;
    }
    if (read == 0) break;
    filled += read;
  }
  CloseHandle(file);
  bytes.resize(filled);
  return ok;
}
