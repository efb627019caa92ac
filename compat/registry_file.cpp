// The .reg file parser.

#include "compat/registry_file.h"

#include <cwctype>

#include "compat/text.h"

namespace compat {

std::wstring FoldRegistryName(std::wstring_view name) {
  std::wstring folded(name);
  for (wchar_t& c : folded) {
    if ((c >= L'a' && c <= L'z') || (c >= 0xE0 && c <= 0xFE && c != 0xF7)) {
      c = static_cast<wchar_t>(c - 0x20);
    } else if (c >= 0x100) {
      c = static_cast<wchar_t>(std::towupper(static_cast<wint_t>(c)));
    }
  }
  return folded;
}

namespace {

constexpr std::wstring_view kRoots[] = {L"HKEY_LOCAL_MACHINE", L"HKEY_CURRENT_USER"};

std::wstring_view TrimLeft(std::wstring_view text) {
  const size_t first = text.find_first_not_of(L" \t");
  return first == std::wstring_view::npos ? std::wstring_view() : text.substr(first);
}

std::wstring_view TrimRight(std::wstring_view text) {
  const size_t last = text.find_last_not_of(L" \t\r");
  return last == std::wstring_view::npos ? std::wstring_view() : text.substr(0, last + 1);
}

std::wstring Decode(std::string_view bytes) {
  if (bytes.size() >= 2 && static_cast<uint8_t>(bytes[0]) == 0xFF &&
      static_cast<uint8_t>(bytes[1]) == 0xFE) {
    return DecodeUtf16LE(bytes.substr(2));
  }
  if (bytes.size() >= 3 && bytes.substr(0, 3) == "\xEF\xBB\xBF") bytes.remove_prefix(3);
  return DecodeUtf8(bytes);
}

std::vector<std::wstring_view> SplitLines(std::wstring_view text) {
  std::vector<std::wstring_view> lines;
  size_t start = 0;
  while (start <= text.size()) {
    const size_t end = text.find(L'\n', start);
    const size_t stop = end == std::wstring_view::npos ? text.size() : end;
    lines.push_back(TrimRight(text.substr(start, stop - start)));
    if (end == std::wstring_view::npos) break;
    start = end + 1;
  }
  return lines;
}

// The full folded path of a key line's name, or "" when its root is not one
// this registry holds.
std::wstring KeyPath(std::wstring_view name) {
  std::wstring folded = FoldRegistryName(TrimRight(name));
  while (!folded.empty() && folded.back() == L'\\') folded.pop_back();
  const std::wstring_view root = std::wstring_view(folded).substr(0, folded.find(L'\\'));
  for (std::wstring_view known : kRoots) {
    if (root == known) return folded;
  }
  return std::wstring();
}

void AddKey(RegistryTree& tree, const std::wstring& path) {
  for (size_t slash = path.find(L'\\'); slash != std::wstring::npos;
       slash = path.find(L'\\', slash + 1)) {
    tree.keys.try_emplace(path.substr(0, slash));
  }
  tree.keys.try_emplace(path);
}

void DeleteKey(RegistryTree& tree, const std::wstring& path) {
  tree.keys.erase(path);
  const std::wstring prefix = path + L'\\';
  auto it = tree.keys.lower_bound(prefix);
  while (it != tree.keys.end() && it->first.compare(0, prefix.size(), prefix) == 0) {
    it = tree.keys.erase(it);
  }
}

// Reads a quoted text starting after its opening quote; \\ and \" are
// escapes, any other backslash stays as it is. Returns false when the closing
// quote is missing; otherwise `rest` is what follows it.
bool ReadQuoted(std::wstring_view text, std::wstring& out, std::wstring_view& rest) {
  out.clear();
  for (size_t i = 0; i < text.size(); ++i) {
    const wchar_t c = text[i];
    if (c == L'"') {
      rest = text.substr(i + 1);
      return true;
    }
    if (c == L'\\' && i + 1 < text.size() && (text[i + 1] == L'\\' || text[i + 1] == L'"')) {
      out += text[++i];
    } else {
      out += c;
    }
  }
  return false;
}

bool OnlyCommentLeft(std::wstring_view rest) {
  rest = TrimLeft(rest);
  return rest.empty() || rest.front() == L';';
}

int HexDigit(wchar_t c) {
  if (c >= L'0' && c <= L'9') return c - L'0';
  if (c >= L'a' && c <= L'f') return c - L'a' + 10;
  if (c >= L'A' && c <= L'F') return c - L'A' + 10;
  return -1;
}

// 1 to `maxDigits` hexadecimal digits; `rest` is what follows them.
bool ReadHexNumber(std::wstring_view text, size_t maxDigits, DWORD& value,
                   std::wstring_view& rest) {
  size_t i = 0;
  value = 0;
  while (i < text.size() && HexDigit(text[i]) >= 0) {
    if (i == maxDigits) return false;
    value = (value << 4) | static_cast<DWORD>(HexDigit(text[i]));
    ++i;
  }
  rest = text.substr(i);
  return i > 0;
}

// Comma-separated bytes of one or two hexadecimal digits; blanks allowed
// around them, a ';' ends the list.
bool ReadHexBytes(std::wstring_view text, std::vector<uint8_t>& out) {
  out.clear();
  text = TrimLeft(text);
  if (text.empty() || text.front() == L';') return true;
  for (;;) {
    DWORD value = 0;
    std::wstring_view rest;
    if (!ReadHexNumber(text, 2, value, rest)) return false;
    out.push_back(static_cast<uint8_t>(value));
    rest = TrimLeft(rest);
    if (rest.empty() || rest.front() == L';') return true;
    if (rest.front() != L',') return false;
    text = TrimLeft(rest.substr(1));
    if (text.empty() || text.front() == L';') return true;  // a trailing comma
  }
}

void AppendUnits(std::vector<uint8_t>& out, std::wstring_view units) {
  const auto* bytes = reinterpret_cast<const uint8_t*>(units.data());
  out.insert(out.end(), bytes, bytes + units.size() * sizeof(wchar_t));
}

bool IsTextType(DWORD type) {
  return type == REG_SZ || type == REG_EXPAND_SZ || type == REG_MULTI_SZ;
}

// The data after "name"=. Returns false when it cannot be read.
bool ReadData(std::wstring_view text, bool unicodeFile, RegistryValue& value) {
  if (!text.empty() && text.front() == L'"') {
    std::wstring string;
    std::wstring_view rest;
    if (!ReadQuoted(text.substr(1), string, rest) || !OnlyCommentLeft(rest)) return false;
    value.type = REG_SZ;
    string += L'\0';
    AppendUnits(value.data, string);
    return true;
  }
  const std::wstring folded = FoldRegistryName(text.substr(0, text.find(L':') + 1));
  if (folded == L"DWORD:") {
    DWORD number = 0;
    std::wstring_view rest;
    if (!ReadHexNumber(text.substr(6), 8, number, rest) || !OnlyCommentLeft(rest)) return false;
    value.type = REG_DWORD;
    for (int i = 0; i < 4; ++i) value.data.push_back(static_cast<uint8_t>(number >> (8 * i)));
    return true;
  }
  std::wstring_view bytesText;
  if (folded == L"HEX:") {
    value.type = REG_BINARY;
    bytesText = text.substr(4);
  } else if (folded.size() > 5 && folded.compare(0, 4, L"HEX(") == 0 &&
             folded.compare(folded.size() - 2, 2, L"):") == 0) {
    std::wstring_view rest;
    if (!ReadHexNumber(text.substr(4), 8, value.type, rest) || rest.substr(0, 2) != L"):") {
      return false;
    }
    bytesText = rest.substr(2);
  } else {
    return false;
  }
  std::vector<uint8_t> bytes;
  if (!ReadHexBytes(bytesText, bytes)) return false;
  if (IsTextType(value.type)) {
    // Texts in hexadecimal are UTF-16LE in a version 5 file and in the ANSI
    // code page (UTF-8 here) in a REGEDIT4 file.
    const std::string_view raw(reinterpret_cast<const char*>(bytes.data()), bytes.size());
    AppendUnits(value.data, unicodeFile ? DecodeUtf16LE(raw) : DecodeUtf8(raw));
  } else {
    value.data = std::move(bytes);
  }
  return true;
}

}  // namespace

bool ParseRegistryFile(std::string_view bytes, RegistryTree& tree) {
  tree.keys.clear();
  const std::wstring text = Decode(bytes);
  const std::vector<std::wstring_view> lines = SplitLines(text);

  size_t index = 0;
  while (index < lines.size() && TrimLeft(lines[index]).empty()) ++index;
  if (index == lines.size()) return false;
  const std::wstring_view header = TrimLeft(lines[index]);
  bool unicodeFile;
  if (header == L"Windows Registry Editor Version 5.00") {
    unicodeFile = true;
  } else if (header == L"REGEDIT4") {
    unicodeFile = false;
  } else {
    return false;
  }

  std::wstring current;  // the key values go to; "" while there is none
  for (++index; index < lines.size(); ++index) {
    const std::wstring_view line = TrimLeft(lines[index]);
    if (line.empty() || line.front() == L';') continue;
    if (line.front() == L'[') {
      const size_t close = line.rfind(L']');
      current.clear();
      if (close == std::wstring_view::npos) continue;
      std::wstring_view name = line.substr(1, close - 1);
      const bool deletion = !name.empty() && name.front() == L'-';
      if (deletion) name.remove_prefix(1);
      const std::wstring path = KeyPath(name);
      if (path.empty()) continue;
      if (deletion) {
        DeleteKey(tree, path);
      } else {
        AddKey(tree, path);
        current = path;
      }
      continue;
    }
    if (line.front() != L'@' && line.front() != L'"') continue;

    std::wstring name;
    std::wstring_view rest;
    if (line.front() == L'@') {
      rest = line.substr(1);
    } else if (!ReadQuoted(line.substr(1), name, rest)) {
      continue;
    }
    rest = TrimLeft(rest);
    if (rest.empty() || rest.front() != L'=') continue;
    rest = TrimLeft(rest.substr(1));

    // Hexadecimal data may go on over several lines, each but the last
    // ending with a backslash.
    std::wstring data(rest);
    if (FoldRegistryName(rest.substr(0, 3)) == L"HEX") {
      while (!data.empty() && data.back() == L'\\' && index + 1 < lines.size()) {
        data.pop_back();
        data += TrimLeft(lines[++index]);
      }
    }
    if (current.empty()) continue;

    RegistryKey& key = tree.keys[current];
    const std::wstring folded = FoldRegistryName(name);
    if (data == L"-") {
      key.values.erase(folded);
      continue;
    }
    RegistryValue value;
    if (ReadData(data, unicodeFile, value)) key.values[folded] = std::move(value);
  }
  return true;
}

}  // namespace compat
