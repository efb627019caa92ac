#include "rules/condition_msi.h"

#include "packet/xml_helpers.h"
#include "rules/rules_engine.h"

bool MsiCondition::Evaluate() {
  return ApplyNegation(Engine().MsiConditions().Result(text_));
}

void MsiCondition::Load(pugi::xml_node element) {
  text_ = GetText(element);
  Engine().MsiConditions().Register(text_);
}
