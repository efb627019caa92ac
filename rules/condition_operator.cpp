#include "rules/condition_operator.h"

#include "foundation/ws_status.h"
#include "packet/xml_helpers.h"

bool OperatorCondition::Evaluate() {
  const bool isAnd = Kind() == kConditionAnd;
  bool result = ApplyNegation(isAnd);
  bool decided = false;
  for (const auto& child : children_) {
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
  children_.reserve(count);
  for (pugi::xml_node child = element.first_child(); child; child = child.next_sibling()) {
    if (child.type() != pugi::node_element) continue;
    Condition* node = CreateCondition(child, Owner());
    if (node == nullptr) throw WsStatus(kWsXmlUnreadable);
    children_.emplace_back(node);
  }
}
