// The registry a test reads, given as the text of a .reg file (starting with
// "Windows Registry Editor Version 5.00" or "REGEDIT4"). The same text works
// on every build:
// - Linux: the text goes to a temporary file that RAVENLINK_REGISTRY names
//   while the fixture lives (the previous value comes back afterwards).
// - Windows: every key the text names is deleted, the text is imported with
//   "regedit /S", and the keys are deleted again at the end. Name only keys
//   that belong to the test.
// Texts are written as regedit writes them: UTF-16LE with a byte-order mark
// for version 5.00, 8-bit for REGEDIT4 (keep those ASCII).
#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "support/temp_dir.h"

class ScopedRegistry {
 public:
  explicit ScopedRegistry(const std::wstring& regText);
  ~ScopedRegistry();
  ScopedRegistry(const ScopedRegistry&) = delete;
  ScopedRegistry& operator=(const ScopedRegistry&) = delete;

  // Makes the registry hold `regText` instead, as a live registry that was
  // changed: on Linux the file is replaced, on Windows the keys are deleted
  // and the new text imported.
  void Replace(const std::wstring& regText);

 private:
  void Install(const std::wstring& regText);
  void Remove();

  TempDir dir_;
  int generation_ = 0;
  std::vector<std::wstring> keys_;  // Windows: the keys to delete at the end
  bool hadPrevious_ = false;        // Linux: RAVENLINK_REGISTRY before the fixture
  std::string previous_;
};

// The text of a registry whose switch writes the trace log to `log`.
std::wstring TracingRegistryText(const std::filesystem::path& log);
