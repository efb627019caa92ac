// A rules engine with fixed operating-system data and a condition tree built
// from inline XML, shared by the condition, entry and driver-template tests.
#pragma once

#include <memory>
#include <string>

#include <gtest/gtest.h>

#include "compat/win32.h"
#include "foundation/guid.h"
#include "foundation/version_number.h"
#include "foundation/ws_status.h"
#include "packet/xml_document.h"
#include "rules/condition_tree.h"
#include "rules/rules_engine.h"

// Keys used across the tests.
inline const wchar_t* const kKeyA = L"{AAAAAAAA-0000-0000-0000-000000000001}";
inline const wchar_t* const kKeyB = L"{BBBBBBBB-0000-0000-0000-000000000002}";
inline const wchar_t* const kKeyC = L"{CCCCCCCC-0000-0000-0000-000000000003}";
inline const wchar_t* const kKeyD = L"{DDDDDDDD-0000-0000-0000-000000000004}";

// Runs f and returns the WsStatus it throws, or 0 when it throws none.
template <class F>
uint32_t StatusOf(F&& f) {
  try {
    f();
  } catch (const WsStatus& status) {
    return status.code;
  }
  return 0;
}

class RulesFixture {
 public:
  // Windows 6.1 service pack 1.0, workstation, suite mask 0x100, 64-bit,
  // UI language 9/1, user language 7/1.
  RulesFixture() : engine(0) {
    OSVERSIONINFOEXW os{};
    os.dwOSVersionInfoSize = sizeof(os);
    os.dwPlatformId = VER_PLATFORM_WIN32_NT;
    os.dwMajorVersion = 6;
    os.dwMinorVersion = 1;
    os.wServicePackMajor = 1;
    os.wServicePackMinor = 0;
    os.wSuiteMask = 0x100;
    os.wProductType = 1;
    engine.SetOsVersionInfo(os);
    engine.SetBitness(64);
    engine.SetUiPrimaryLanguage(9);
    engine.SetUiSubLanguage(1);
    engine.SetUserPrimaryLanguage(7);
    engine.SetUserSubLanguage(1);
  }

  // Builds the tree of a "conditions" document (the whole text is the element).
  ConditionTree& Build(const std::string& xml) {
    tree.reset();
    document.LoadFromBuffer(xml);
    tree = std::make_unique<ConditionTree>(&engine, document.Root());
    return *tree;
  }
  bool Evaluate(const std::string& xml) { return Build(xml).Evaluate(); }
  // The status that building the tree raises, 0 if none.
  uint32_t LoadStatus(const std::string& xml) {
    return StatusOf([&] { Build(xml); });
  }

  RulesEngine engine;
  WsXmlDocument document;
  std::unique_ptr<ConditionTree> tree;
};
