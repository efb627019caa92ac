// The logical nodes: AND ("conditions", "and") and OR ("or") over child conditions.
#pragma once

#include <span>

#include "rules/condition.h"

using ConditionChildren = std::span<const ConditionPtr>;

class OperatorCondition : public Condition {
 public:
  OperatorCondition(ConditionKind kind, ConditionTree* owner) : Condition(kind, owner) {}
  ~OperatorCondition() override;

  // Every child is evaluated, even after the outcome is known, so each holds
  // its value and records its required items. The first deciding child (false
  // under AND, true under OR) sets the value; with no decider the value is the
  // start value (AND true, OR false). Negation applies in both cases.
  bool Evaluate() override;
  // Builds one child per element child in document order; text and comments are ignored.
  void Load(pugi::xml_node element) override;

  ConditionChildren Children() const { return ConditionChildren(children_, count_); }

 private:
  ConditionPtr* children_ = nullptr;  // in the tree's arena
  size_t count_ = 0;
};
