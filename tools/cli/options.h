// The command line of ravenlink-cli: one command, its file argument, the
// Open arguments and flags, and the items the caller installs or could install.
#pragma once

#include <string>
#include <vector>

namespace cli {

enum class ItemKind { kProduct, kDistribution, kSuite };

// One --installing-* or --available-* item: "KEY[,VERSION[,LANGUAGE]]".
struct CallerItem {
  ItemKind kind = ItemKind::kProduct;
  bool available = false;
  std::wstring key;
  std::wstring version;
  std::wstring language;  // distributions and suites only
};

struct Options {
  std::string command;  // fetch, load, save, ping, explain
  std::string file;     // load, save, explain: the answer file
  std::wstring swapp = L"ravenlink-cli";
  std::wstring swappVersion = L"17.0.0";
  std::wstring reserved;
  int ownTargetOnly = -1;
  std::wstring wrapperlib = L"ravenlink-cli";
  std::wstring wrapperlibVersion = L"17.0.0";
  int languageId = 9;
  int flags = 0;
  std::vector<CallerItem> items;
  std::wstring metaUtilsPath;
  bool collectSystemInformation = false;
  int pingTimeoutMs = 10000;
  int fetchTimeoutSeconds = 0;  // 0: no limit
  bool json = false;
  bool quiet = false;
};

// Parses argv; false with a message in error when the command line is wrong.
bool ParseOptions(int argc, char** argv, Options& options, std::string& error);
// The usage text.
const char* UsageText();

}  // namespace cli
