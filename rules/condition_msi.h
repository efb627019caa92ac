// MsiCondition: an MSI condition text, resolved in the engine's batch before
// the trees are evaluated.
#pragma once

#include "foundation/ws_string.h"
#include "rules/condition.h"

class MsiCondition : public Condition {
 public:
  explicit MsiCondition(ConditionTree* owner) : Condition(kConditionMsi, owner) {}

  // True only when the batch resolved the text to 1; negation applied.
  bool Evaluate() override;
  // Takes the element's text and registers it with the engine's pending batch.
  void Load(pugi::xml_node element) override;

  const WsString& Text() const { return text_; }

 private:
  WsString text_;
};
