// The one place where the tests' helpers differ by platform.

#include "support/registry_fixture.h"

#include <cstdlib>
#include <fstream>
#include <stdexcept>
#include <string_view>

#ifdef _WIN32
#include <windows.h>
#endif

namespace {

void AppendUtf16LE(std::string& out, char32_t c) {
  auto unit = [&out](char32_t u) {
    out += static_cast<char>(u & 0xFF);
    out += static_cast<char>((u >> 8) & 0xFF);
  };
  if (c >= 0x10000) {
    c -= 0x10000;
    unit(0xD800 + (c >> 10));
    unit(0xDC00 + (c & 0x3FF));
  } else {
    unit(c);
  }
}

void AppendUtf8(std::string& out, char32_t c) {
  if (c < 0x80) {
    out += static_cast<char>(c);
  } else if (c < 0x800) {
    out += static_cast<char>(0xC0 | (c >> 6));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    out += static_cast<char>(0xE0 | (c >> 12));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (c >> 18));
    out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  }
}

// The file as regedit writes it: CRLF line ends; UTF-16LE with a byte-order
// mark, or 8-bit text for the REGEDIT4 format.
std::string FileBytes(const std::wstring& text) {
  const bool eightBit = std::wstring_view(text).substr(0, 8) == L"REGEDIT4";
  std::string out = eightBit ? "" : "\xFF\xFE";
  for (size_t i = 0; i < text.size(); ++i) {
    char32_t c = static_cast<char32_t>(text[i]);
    if (c >= 0xD800 && c <= 0xDBFF && i + 1 < text.size()) {  // a UTF-16 pair
      c = 0x10000 + ((c - 0xD800) << 10) + (static_cast<char32_t>(text[++i]) - 0xDC00);
    }
    if (c == U'\n' && (i == 0 || text[i - 1] != L'\r')) {
      eightBit ? AppendUtf8(out, U'\r') : AppendUtf16LE(out, U'\r');
    }
    eightBit ? AppendUtf8(out, c) : AppendUtf16LE(out, c);
  }
  return out;
}

void WriteBytes(const std::filesystem::path& path, const std::string& bytes) {
  std::ofstream file(path, std::ios::binary | std::ios::trunc);
  file.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  if (!file) throw std::runtime_error("cannot write " + path.string());
}

#ifdef _WIN32
// The keys named by "[key]" and "[-key]" lines.
std::vector<std::wstring> NamedKeys(const std::wstring& text) {
  std::vector<std::wstring> keys;
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find(L'\n', start);
    if (end == std::wstring::npos) end = text.size();
    std::wstring_view line(text.data() + start, end - start);
    start = end + 1;
    const size_t first = line.find_first_not_of(L" \t");
    if (first == std::wstring_view::npos || line[first] != L'[') continue;
    const size_t close = line.rfind(L']');
    if (close == std::wstring_view::npos || close <= first) continue;
    std::wstring_view name = line.substr(first + 1, close - first - 1);
    if (!name.empty() && name.front() == L'-') name.remove_prefix(1);
    keys.emplace_back(name);
  }
  return keys;
}

void DeleteKey(const std::wstring& name) {
  const size_t slash = name.find(L'\\');
  if (slash == std::wstring::npos) return;  // never a whole root
  const std::wstring root = name.substr(0, slash);
  HKEY rootKey = root == L"HKEY_LOCAL_MACHINE"  ? HKEY_LOCAL_MACHINE
                 : root == L"HKEY_CURRENT_USER" ? HKEY_CURRENT_USER
                                                : nullptr;
  if (rootKey != nullptr) RegDeleteTreeW(rootKey, name.substr(slash + 1).c_str());
}

void Import(const std::filesystem::path& file) {
  wchar_t windows[MAX_PATH];
  const UINT length = GetWindowsDirectoryW(windows, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) throw std::runtime_error("no Windows directory");
  std::wstring command =
      L"\"" + std::wstring(windows) + L"\\regedit.exe\" /S \"" + file.wstring() + L"\"";
  STARTUPINFOW startup{};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION process{};
  // Under Wine on a busy machine a process start now and then fails for a
  // moment; a few more tries get through.
  for (int attempt = 1; !CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0,
                                        nullptr, nullptr, &startup, &process);
       ++attempt) {
    if (attempt == 5) {
      throw std::runtime_error("cannot start regedit: error " + std::to_string(GetLastError()));
    }
    Sleep(200);
  }
  WaitForSingleObject(process.hProcess, INFINITE);
  DWORD exitCode = 0;
  GetExitCodeProcess(process.hProcess, &exitCode);
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  if (exitCode != 0) throw std::runtime_error("regedit failed to import the fixture");
}
#endif

}  // namespace

ScopedRegistry::ScopedRegistry(const std::wstring& regText) {
#ifndef _WIN32
  if (const char* previous = std::getenv("RAVENLINK_REGISTRY")) {
    hadPrevious_ = true;
    previous_ = previous;
  }
#endif
  Install(regText);
}

ScopedRegistry::~ScopedRegistry() {
  Remove();
}

void ScopedRegistry::Replace(const std::wstring& regText) {
#ifdef _WIN32
  Remove();
#endif
  Install(regText);
}

void ScopedRegistry::Install(const std::wstring& regText) {
  const std::filesystem::path file =
      dir_.path() / ("registry-" + std::to_string(generation_++) + ".reg");
  WriteBytes(file, FileBytes(regText));
#ifdef _WIN32
  for (const std::wstring& key : NamedKeys(regText)) {
    DeleteKey(key);
    keys_.push_back(key);
  }
  Import(file);
#else
  // A new file moved over the old one: the reader sees a different file at once.
  const std::filesystem::path live = dir_.path() / "registry.reg";
  std::filesystem::rename(file, live);
  setenv("RAVENLINK_REGISTRY", live.c_str(), 1);
#endif
}

void ScopedRegistry::Remove() {
#ifdef _WIN32
  for (const std::wstring& key : keys_) DeleteKey(key);
  keys_.clear();
#else
  if (hadPrevious_) {
    setenv("RAVENLINK_REGISTRY", previous_.c_str(), 1);
  } else {
    unsetenv("RAVENLINK_REGISTRY");
  }
#endif
}

std::wstring TracingRegistryText(const std::filesystem::path& log) {
  std::wstring escaped;
  for (wchar_t c : log.wstring()) {
    if (c == L'\\') escaped += L'\\';
    escaped += c;
  }
  return L"Windows Registry Editor Version 5.00\n\n"
         L"[HKEY_LOCAL_MACHINE\\SOFTWARE\\Quorvane\\InternalTesting]\n"
         L"\"qvwshttplogging\"=\"" +
         escaped + L"\"\n";
}
