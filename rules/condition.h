// Condition: the base of every node of a notification's condition tree.
// A node knows its kind, the tree that owns it (through which it reaches the
// rules engine), whether the "logic" attribute negates it, and the value of
// its last evaluation.
#pragma once

#include <cstdint>
#include <memory>

#include "foundation/ws_string.h"
#include "packet/xml_document.h"

class ConditionTree;
class IRulesEngine;

enum ConditionKind : int32_t {
  kConditionAnd = 0,
  kConditionOr = 1,
  kConditionProduct = 2,
  kConditionDistribution = 3,
  kConditionSuite = 4,
  kConditionOperatingSystem = 5,
  kConditionMsi = 6,
  kConditionPackage = 7,
};

class Condition {
 public:
  Condition(ConditionKind kind, ConditionTree* owner) : kind_(kind), owner_(owner) {}
  Condition(const Condition&) = delete;
  Condition& operator=(const Condition&) = delete;
  virtual ~Condition() = default;

  // The node's own value, negation applied; evaluates children through EvaluateAndCache.
  virtual bool Evaluate() = 0;
  // Reads the node from its element. The base reads "logic" only; CreateCondition
  // runs the base version first and then the node's own.
  virtual void Load(pugi::xml_node element);

  // Evaluates, keeps the value in LastResult and returns it.
  bool EvaluateAndCache() {
    last_result_ = Evaluate();
    return last_result_;
  }

  ConditionKind Kind() const { return kind_; }
  ConditionTree* Owner() const { return owner_; }
  bool IsNegated() const { return negated_; }
  bool LastResult() const { return last_result_; }
  void ForgetResult() { last_result_ = false; }

 protected:
  bool ApplyNegation(bool value) const { return negated_ ? !value : value; }
  IRulesEngine& Engine() const;

 private:
  ConditionKind kind_;
  ConditionTree* owner_;
  bool negated_ = false;
  bool last_result_ = false;
};

// Nodes live in their tree's arena (condition_arena.h): a node pointer
// destroys its node and leaves the memory to the tree.
struct DestroyCondition {
  void operator()(Condition* node) const { node->~Condition(); }
};
using ConditionPtr = std::unique_ptr<Condition, DestroyCondition>;

// Builds the node for one element, in the owner's arena: the element name picks
// the kind ("conditions" and "and" are AND nodes). An unknown name raises
// kWsXmlUnknown; nesting deeper than ConditionTree::kMaxDepth raises kWsXmlUnreadable.
ConditionPtr CreateCondition(pugi::xml_node element, ConditionTree* owner);
