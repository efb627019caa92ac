// The inventory file the stand-in answers from: what is installed on the
// "machine" and how every library call turns out. Format in README.md.
#pragma once

#include <map>
#include <optional>
#include <string>
#include <vector>

namespace zeb {

struct Product {
  std::wstring updateVersion;
  std::wstring updateCode;
  std::wstring productCode;
};

struct Part {
  std::wstring productCode;
  std::wstring productVersion;
  std::wstring upgradeCode;
};

struct Distribution {
  std::wstring version;
  std::wstring languages;
  std::wstring guid;
};

// Results of the two per-condition calls for one condition text.
struct ConditionScript {
  int add = 0;
  int evaluate = 0;
};

struct Inventory {
  std::vector<Product> products;
  std::vector<Part> parts;
  std::vector<Distribution> distributions;
  // Counts reported instead of the number of records, when given.
  std::optional<int> productCount;
  std::optional<int> partCount;
  std::optional<int> distributionCount;
  int openResult = 0;
  int runResult = 0;
  ConditionScript unlisted;  // texts without a [condition] section of their own
  std::map<std::wstring, ConditionScript> conditions;
};

// The environment variable that names the inventory file, and the file used
// when it is unset or empty (relative to the current directory).
inline constexpr const char* kInventoryVariable = "ZEB_INVENTORY_FILE";
inline constexpr const char* kDefaultInventoryFile = "zeb_inventory.ini";

// Parses the UTF-8 text of an inventory file. Lines it does not understand are
// described in problems (one line each) and otherwise skipped.
Inventory ParseInventory(const std::string& text, std::string& problems);

// The text of the inventory file (named by ZEB_INVENTORY_FILE, else the
// default file); nullopt when it cannot be read. *path gets the file's name.
std::optional<std::string> ReadInventoryFile(std::string* path);

// The inventory a file's text describes; an empty inventory (a machine whose
// calls all succeed) when the file could not be read. Problems are written to
// standard error.
Inventory InventoryFromFile(const std::optional<std::string>& text, const std::string& path);

// UTF-8 to wchar_t text (UTF-16 where wchar_t has 16 bits); bad bytes become U+FFFD.
std::wstring WideFromUtf8(const std::string& text);

}  // namespace zeb
