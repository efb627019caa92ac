// The applicable messages as the exported functions give them, and their
// printing as a readable table or as JSON.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

namespace cli {

struct DisplayName {
  std::string name, versionMin, versionMax, guid;
  int flags = 0;
};

struct RequiredEntry {
  std::string type;  // product, distribution, suite
  std::string key, version, language;
  int kind = 0;   // 1 required, 2 excluded
  int value = 0;  // the record's install status
};

struct DriverTemplate {
  bool read = false;
  bool found = false, first = false, second = false, third = false;
  std::string text;
};

struct Message {
  std::string id, title, body, link, targetApplication;
  int severity = 0;
  std::vector<DisplayName> displayNames;
  std::vector<RequiredEntry> required;
  DriverTemplate driverTemplate;
};

struct MessageList {
  std::vector<Message> messages;
  int discarded = 0;
};

// Reads every applicable message of an open session. Returns the first
// result code that was not RAVENLINK_OK (0 on success); `failedCall` names it.
int ReadMessages(int handle, MessageList& list, std::string& failedCall);

// "info", "warning", ... or the number.
std::string SeverityWord(int severity);
// "installing", "installed", ... or the number.
std::string InstallStatusWord(int status);

void PrintTable(std::FILE* out, const MessageList& list);
void PrintJson(std::FILE* out, const MessageList& list);

}  // namespace cli
