#include "inventory_file.h"

#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <sstream>

namespace zeb {
namespace {

std::string Trim(const std::string& s) {
  const char* blanks = " \t\r\n";
  const size_t first = s.find_first_not_of(blanks);
  if (first == std::string::npos) return std::string();
  const size_t last = s.find_last_not_of(blanks);
  return s.substr(first, last - first + 1);
}

std::string Lower(std::string s) {
  for (char& c : s) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return s;
}

// Decimal, "0x" hexadecimal, or negative; values up to 0xFFFFFFFF wrap into int
// so that result codes such as 0x80004005 can be written as they are known.
bool ParseNumber(const std::string& text, int& out) {
  if (text.empty()) return false;
  char* end = nullptr;
  const long long value = std::strtoll(text.c_str(), &end, 0);
  if (*end != '\0' || value < INT32_MIN || value > UINT32_MAX) return false;
  out = static_cast<int>(static_cast<uint32_t>(value));
  return true;
}

void AppendUnit(std::wstring& out, uint32_t code) {
  if (sizeof(wchar_t) == 2 && code >= 0x10000) {
    code -= 0x10000;
    out += static_cast<wchar_t>(0xD800 + (code >> 10));
    out += static_cast<wchar_t>(0xDC00 + (code & 0x3FF));
  } else {
    out += static_cast<wchar_t>(code);
  }
}

enum class Section { None, Product, Part, Distribution, Counts, Paths, Condition };

}  // namespace

std::wstring WideFromUtf8(const std::string& text) {
  std::wstring out;
  size_t i = 0;
  while (i < text.size()) {
    const unsigned char lead = static_cast<unsigned char>(text[i]);
    int extra = 0;
    uint32_t code = 0;
    if (lead < 0x80) {
      code = lead;
    } else if ((lead & 0xE0) == 0xC0) {
      extra = 1;
      code = lead & 0x1F;
    } else if ((lead & 0xF0) == 0xE0) {
      extra = 2;
      code = lead & 0x0F;
    } else if ((lead & 0xF8) == 0xF0) {
      extra = 3;
      code = lead & 0x07;
    } else {
      AppendUnit(out, 0xFFFD);
      ++i;
      continue;
    }
    bool ok = i + static_cast<size_t>(extra) < text.size();
    for (int k = 1; ok && k <= extra; ++k) {
      const unsigned char next = static_cast<unsigned char>(text[i + k]);
      if ((next & 0xC0) != 0x80) ok = false;
      code = (code << 6) | (next & 0x3F);
    }
    if (!ok || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) {
      AppendUnit(out, 0xFFFD);
      ++i;
      continue;
    }
    AppendUnit(out, code);
    i += static_cast<size_t>(extra) + 1;
  }
  return out;
}

Inventory ParseInventory(const std::string& text, std::string& problems) {
  Inventory inventory;
  Section section = Section::None;
  std::optional<std::wstring> conditionText;
  ConditionScript conditionScript;
  auto finishCondition = [&] {
    if (section == Section::Condition) {
      if (conditionText) {
        inventory.conditions[*conditionText] = conditionScript;
      } else {
        problems += "a [condition] section without Text\n";
      }
    }
    conditionText.reset();
    conditionScript = ConditionScript();
  };

  std::istringstream lines(text);
  std::string line;
  int lineNumber = 0;
  while (std::getline(lines, line)) {
    ++lineNumber;
    if (lineNumber == 1 && line.compare(0, 3, "\xEF\xBB\xBF") == 0) line.erase(0, 3);
    const std::string trimmed = Trim(line);
    if (trimmed.empty() || trimmed[0] == ';' || trimmed[0] == '#') continue;
    auto problem = [&](const std::string& what) {
      problems += "line " + std::to_string(lineNumber) + ": " + what + ": " + trimmed + "\n";
    };

    if (trimmed.front() == '[' && trimmed.back() == ']') {
      finishCondition();
      const std::string name = Lower(Trim(trimmed.substr(1, trimmed.size() - 2)));
      if (name == "product") {
        section = Section::Product;
        inventory.products.emplace_back();
      } else if (name == "part") {
        section = Section::Part;
        inventory.parts.emplace_back();
      } else if (name == "distribution") {
        section = Section::Distribution;
        inventory.distributions.emplace_back();
      } else if (name == "counts") {
        section = Section::Counts;
      } else if (name == "paths") {
        section = Section::Paths;
      } else if (name == "condition") {
        section = Section::Condition;
      } else {
        section = Section::None;
        problem("unknown section");
      }
      continue;
    }

    const size_t equals = trimmed.find('=');
    if (equals == std::string::npos) {
      problem("not a key = value line");
      continue;
    }
    const std::string key = Lower(Trim(trimmed.substr(0, equals)));
    const std::string value = Trim(trimmed.substr(equals + 1));
    const std::wstring wide = WideFromUtf8(value);
    int number = 0;
    auto setNumber = [&](int& target) {
      if (ParseNumber(value, number)) {
        target = number;
      } else {
        problem("not a number");
      }
    };
    auto setCount = [&](std::optional<int>& target) {
      if (ParseNumber(value, number)) {
        target = number;
      } else {
        problem("not a number");
      }
    };

    bool known = true;
    switch (section) {
      case Section::Product:
        if (key == "updateversion") {
          inventory.products.back().updateVersion = wide;
        } else if (key == "updatecode") {
          inventory.products.back().updateCode = wide;
        } else if (key == "productcode") {
          inventory.products.back().productCode = wide;
        } else {
          known = false;
        }
        break;
      case Section::Part:
        if (key == "productcode") {
          inventory.parts.back().productCode = wide;
        } else if (key == "productversion") {
          inventory.parts.back().productVersion = wide;
        } else if (key == "upgradecode") {
          inventory.parts.back().upgradeCode = wide;
        } else {
          known = false;
        }
        break;
      case Section::Distribution:
        if (key == "version") {
          inventory.distributions.back().version = wide;
        } else if (key == "languages") {
          inventory.distributions.back().languages = wide;
        } else if (key == "guid") {
          inventory.distributions.back().guid = wide;
        } else {
          known = false;
        }
        break;
      case Section::Counts:
        if (key == "products") {
          setCount(inventory.productCount);
        } else if (key == "parts") {
          setCount(inventory.partCount);
        } else if (key == "distributions") {
          setCount(inventory.distributionCount);
        } else {
          known = false;
        }
        break;
      case Section::Paths:
        if (key == "open") {
          setNumber(inventory.openResult);
        } else if (key == "run") {
          setNumber(inventory.runResult);
        } else if (key == "add") {
          setNumber(inventory.unlisted.add);
        } else if (key == "evaluate") {
          setNumber(inventory.unlisted.evaluate);
        } else {
          known = false;
        }
        break;
      case Section::Condition:
        if (key == "text") {
          conditionText = wide;
        } else if (key == "add") {
          setNumber(conditionScript.add);
        } else if (key == "evaluate") {
          setNumber(conditionScript.evaluate);
        } else {
          known = false;
        }
        break;
      case Section::None:
        known = false;
        break;
    }
    if (!known) problem("unknown key");
  }
  finishCondition();
  return inventory;
}

std::optional<std::string> ReadInventoryFile(std::string* path) {
  const char* variable = std::getenv(kInventoryVariable);
  *path = (variable != nullptr && *variable != '\0') ? variable : kDefaultInventoryFile;
  std::ifstream file(*path, std::ios::binary);
  if (!file) return std::nullopt;
  std::ostringstream content;
  content << file.rdbuf();
  return content.str();
}

Inventory InventoryFromFile(const std::optional<std::string>& text, const std::string& path) {
  if (!text) return Inventory();
  std::string problems;
  Inventory inventory = ParseInventory(*text, problems);
  if (!problems.empty()) std::cerr << "ZEBSystemUtility: " << path << ":\n" << problems;
  return inventory;
}

}  // namespace zeb
