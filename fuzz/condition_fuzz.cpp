// Fuzz target of condition XML alone: the bytes are parsed as a "conditions"
// element and built into a tree against a fixed engine, which is evaluated
// twice. A malformed tree must fail with a WsStatus; two evaluations agree.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>

#include "compat/win32.h"
#include "foundation/ws_status.h"
#include "packet/xml_document.h"
#include "rules/condition_tree.h"
#include "rules/rules_engine.h"

namespace {

RulesEngine& Engine() {
  static RulesEngine* engine = [] {
    auto* e = new RulesEngine(0);
    OSVERSIONINFOEXW os{};
    os.dwOSVersionInfoSize = sizeof(os);
    os.dwMajorVersion = 6;
    os.dwMinorVersion = 1;
    os.wServicePackMajor = 1;
    os.wProductType = 1;
    e->SetOsVersionInfo(os);
    e->SetBitness(64);
    e->SetUiPrimaryLanguage(9);
    e->SetUserPrimaryLanguage(7);
    return e;
  }();
  return *engine;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string bytes(reinterpret_cast<const char*>(data), size);
  try {
    WsXmlDocument document;
    document.LoadFromBuffer(bytes);
    ConditionTree tree(&Engine(), document.Root());
    const bool first = tree.Evaluate();
    if (tree.Evaluate() != first || tree.Result() != first) std::abort();
    for (ConditionKind kind : {kConditionProduct, kConditionDistribution, kConditionSuite}) {
      (void)tree.LeafRecords(kind);
    }
  } catch (const WsStatus&) {
  }
  return 0;
}
