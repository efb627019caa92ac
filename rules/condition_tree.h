// ConditionTree: the conditions of one notification entry, built from its
// "conditions" element against the session's rules engine. Evaluating it
// stores every node's value and collects the required and excluded items that
// the installer conditions name.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "packet/xml_document.h"
#include "rules/condition.h"
#include "rules/condition_arena.h"

class InstallerInfo;
class IRulesEngine;

// How a required item is wanted.
enum Requirement : int32_t {
  kRequirementRequired = 1,  // must be installed for the entry to apply
  kRequirementExcluded = 2,  // must not be installed
};

// An engine record (borrowed from one of the engine's item sets) with its requirement.
struct RequiredItem {
  const InstallerInfo* record = nullptr;
  int32_t requirement = kRequirementRequired;
};

using RequiredItems = std::vector<RequiredItem>;
using InstallerRecords = std::vector<const InstallerInfo*>;

class ConditionTree {
 public:
  // Deepest nesting of condition elements accepted, counting the "conditions"
  // element as level 1. Deeper input is refused with kWsXmlUnreadable, as any
  // other malformed condition, so hostile documents cannot exhaust the stack.
  static constexpr int kMaxDepth = 64;

  // Builds the root (an AND of the element's children). Load errors propagate
  // as WsStatus and nothing is kept.
  ConditionTree(IRulesEngine* engine, pugi::xml_node conditions);
  ~ConditionTree();
  ConditionTree(const ConditionTree&) = delete;
  ConditionTree& operator=(const ConditionTree&) = delete;

  // Empties the required lists and evaluates every node; the root's value is the verdict.
  bool Evaluate();
  // Back to the state of a tree that was never evaluated: every node's value
  // false and the required lists empty. The MSI results stay with the engine.
  void ForgetEvaluation();
  // The root's value from the last evaluation.
  bool Result() const;

  const RequiredItems& RequiredProducts() const { return required_products_; }
  const RequiredItems& RequiredDistributions() const { return required_distributions_; }
  const RequiredItems& RequiredSuites() const { return required_suites_; }
  const RequiredItems& RequiredPackages() const { return required_packages_; }

  // The records of every installer leaf (product, distribution, suite and
  // package alike) in document order. kind is kConditionProduct,
  // kConditionDistribution or kConditionSuite; all three lists hold the same
  // records, callers keep those of their kind with Matches.
  const InstallerRecords& LeafRecords(ConditionKind kind);

  IRulesEngine& Engine() const { return *engine_; }
  Condition* Root() const { return root_.get(); }

  // Used by the installer conditions while they evaluate.
  void AddRequiredItem(ConditionKind kind, const InstallerInfo* record, int32_t requirement);

  // Nesting bookkeeping of CreateCondition, and where it makes the nodes.
  int& BuildDepth() { return build_depth_; }
  ConditionArena& Arena() { return arena_; }

 private:
  IRulesEngine* engine_;
  ConditionArena arena_;  // declared before the nodes, which go first
  ConditionPtr root_;
  RequiredItems required_products_;
  RequiredItems required_distributions_;
  RequiredItems required_suites_;
  RequiredItems required_packages_;
  std::unique_ptr<InstallerRecords> leaf_records_;  // one list serves all three kinds
  int build_depth_ = 0;
};
