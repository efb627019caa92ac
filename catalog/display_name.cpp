#include "catalog/display_name.h"

#include "catalog/installer_info.h"
#include "foundation/ws_status.h"
#include "packet/xml_helpers.h"
#include "rules/condition_installer.h"
#include "rules/condition_operator.h"

namespace {

bool IsLineTerminator(wchar_t c) {
  return c == L'\n' || c == L'\r' || c == 0x2028 || c == 0x2029;
}

// The leaves that decided a true tree: true leaves reached through true AND/OR nodes.
void CollectDecidingLeaves(const Condition& node, std::vector<const Condition*>& leaves) {
  if (!node.LastResult()) return;
  if (node.Kind() == kConditionAnd || node.Kind() == kConditionOr) {
    for (const auto& child : static_cast<const OperatorCondition&>(node).Children()) {
      CollectDecidingLeaves(*child, leaves);
    }
    return;
  }
  leaves.push_back(&node);
}

}  // namespace

// Equivalent to matching the whole text against the regular expression
// "(\{[^\}]*\})([^-]*)-(.*)", written out so that long attribute texts cost
// no recursion.
bool SplitDisplayNameGuid(const WsString& text, WsString& braced, WsString& minimum,
                          WsString& maximum) {
  if (text.empty() || text[0] != L'{') return false;
  const size_t close = text.find(L'}', 1);
  if (close == WsString::npos) return false;
  const size_t dash = text.find(L'-', close + 1);
  if (dash == WsString::npos) return false;
  for (size_t i = dash + 1; i < text.size(); ++i) {
    if (IsLineTerminator(text[i])) return false;
  }
  braced = text.substr(0, close + 1);
  minimum = text.substr(close + 1, dash - close - 1);
  maximum = text.substr(dash + 1);
  return true;
}

void DisplayNames::Parse(pugi::xml_node element, uint32_t) {
  names_.clear();
  for (pugi::xml_node child = GetChild(element, L"displayName"); child;
       child = NextSiblingNamed(child, L"displayName")) {
    DisplayName d;
    d.name = GetText(child);
    if (const pugi::xml_attribute a = FindAttribute(child, L"verMin")) d.minimumText = a.value();
    if (const pugi::xml_attribute a = FindAttribute(child, L"verMax")) d.maximumText = a.value();
    if (const pugi::xml_attribute a = FindAttribute(child, L"guid")) d.guidText = a.value();
    if (const pugi::xml_attribute a = FindAttribute(child, L"invertedRange")) {
      d.invertedRange = WsString(a.value()).IsTrue();
    }
    WsString braced, minimum, maximum;
    if (SplitDisplayNameGuid(d.guidText, braced, minimum, maximum)) {
      d.productKey = Guid(braced);
      d.minimum = VersionNumber(minimum);
      d.maximum = VersionNumber(maximum);
    }
    names_.push_back(std::move(d));
  }
}

void DisplayNames::Resolve(const Condition* root) {
  for (DisplayName& d : names_) d.applies = false;
  if (root == nullptr) return;
  std::vector<const Condition*> leaves;
  CollectDecidingLeaves(*root, leaves);
  for (const Condition* leaf : leaves) {
    if (leaf->Kind() != kConditionProduct) continue;
    const InstallerInfo& record = static_cast<const BaseInstallerCondition*>(leaf)->Info();
    for (DisplayName& d : names_) {
      if (record.Key() == Guid(d.guidText)) {
        d.applies = true;
        continue;
      }
      const MetaInstallerInfo candidate(d.productKey, ItemType::Product, InstallStatus::Installing,
                                        d.minimum, true, d.maximum, true);
      if (record.Matches(candidate)) d.applies = true;
    }
  }
}

const DisplayName& DisplayNames::At(size_t index) const {
  if (index >= names_.size()) throw WsStatus(kWsBadHandle);
  return names_[index];
}

uint16_t DisplayNames::Flags(size_t index) const {
  const DisplayName& d = At(index);
  uint16_t flags = 0;
  if (d.invertedRange) flags |= kDisplayNameInvertedRange;
  if (d.applies) flags |= kDisplayNameApplies;
  return flags;
}
