// A private inventory for the inventory library stand-in: a temporary
// directory holding the inventory file, named to the stand-in through its
// environment variable for the life of the fixture, and the stand-in's call
// log cleared at the start (unless the fixture serves a benchmark, which
// measures the library without the log's cost).
#pragma once

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <list>
#include <random>
#include <string>

#include "foundation/ws_string.h"
#include "zeb_system_utility.h"

namespace rules_test {

class InventoryFixture {
 public:
  enum CallLog { kKeepCallLog, kNoCallLog };

  explicit InventoryFixture(CallLog log = kKeepCallLog) {
    std::random_device random;
    const std::filesystem::path base = std::filesystem::temp_directory_path();
    for (;;) {
      dir_ = base / ("ravenlink-rules-" + std::to_string(random()));
      if (std::filesystem::create_directory(dir_)) break;
    }
    SetVariable((dir_ / "inventory.ini").string());
    if (log == kKeepCallLog) ZEBTest_ResetCalls();
  }
  ~InventoryFixture() {
    SetVariable("");
    std::error_code ignored;
    std::filesystem::remove_all(dir_, ignored);
  }
  InventoryFixture(const InventoryFixture&) = delete;
  InventoryFixture& operator=(const InventoryFixture&) = delete;

  // Replaces the inventory file; the stand-in reads it at its next Open.
  void Write(const std::string& text) const {
    std::ofstream(dir_ / "inventory.ini", std::ios::binary | std::ios::trunc) << text;
  }

  // Creates a module file for the MSI batch and returns its path.
  WsString CreateModule() const {
    const std::filesystem::path path = dir_ / "qvMetaUtils.msm";
    std::ofstream(path, std::ios::binary) << "module";
    return WsString(path.wstring());
  }

  WsString MissingModule() const { return WsString((dir_ / "absent.msm").wstring()); }

  static int Calls(const wchar_t* call) { return ZEBTest_CountCalls(call); }
  static std::wstring CallLog() { return ZEBTest_CallLog(); }

 private:
  // putenv keeps the pointer on some systems: every text stays alive.
  static void SetVariable(const std::string& value) {
    static std::list<std::string> texts;
    texts.push_back("ZEB_INVENTORY_FILE=" + value);
    putenv(texts.back().data());
  }

  std::filesystem::path dir_;
};

}  // namespace rules_test
