#include "rules/condition_operator.h"

#include "foundation/ws_status.h"
#include "packet/xml_helpers.h"
#include "rules/condition_tree.h"

bool OperatorCondition::Evaluate() {
  const bool isAnd = Kind() == kConditionAnd;
  bool result = ApplyNegation(isAnd);
  bool decided = false;
  for (const auto& child : Children()) {
    const bool value = child->EvaluateAndCache();
    if (!decided && value != isAnd) {
      decided = true;
      result = ApplyNegation(value);
    }
  }
  return result;
}

void OperatorCondition::Load(pugi::xml_node element) {
  size_t count = 0;
  for (pugi::xml_node child = element.first_child(); child; child = child.next_sibling()) {
    count += child.type() == pugi::node_element ? 1 : 0;
  }
  // Every slot is an empty pointer before the first child is built, so the
  // destructor may run after any of them failed.
  children_ = Owner()->Arena().MakeArray<ConditionPtr>(count);
  count_ = count;
  size_t built = 0;
  for (pugi::xml_node child = element.first_child(); child; child = child.next_sibling()) {
    if (child.type() != pugi::node_element) continue;
    ConditionPtr node = CreateCondition(child, Owner());
    if (!node) throw WsStatus(kWsXmlUnreadable);
    children_[built++] = std::move(node);
  }
}

OperatorCondition::~OperatorCondition() {
  for (size_t i = 0; i < count_; ++i) children_[i].~ConditionPtr();
}
