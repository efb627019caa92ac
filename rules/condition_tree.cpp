#include "rules/condition_tree.h"

#include <memory>

#include "foundation/ws_status.h"
#include "packet/xml_helpers.h"
#include "rules/condition_installer.h"
#include "rules/condition_msi.h"
#include "rules/condition_operator.h"
#include "rules/condition_os.h"

namespace {

// Counts one level of nesting for as long as a node is being built.
class DepthGuard {
 public:
  explicit DepthGuard(int& depth) : depth_(depth) {
    if (++depth_ > ConditionTree::kMaxDepth) {
      --depth_;
      throw WsStatus(kWsXmlUnreadable);
    }
  }
  ~DepthGuard() { --depth_; }
  DepthGuard(const DepthGuard&) = delete;
  DepthGuard& operator=(const DepthGuard&) = delete;

 private:
  int& depth_;
};

bool NameIs(const wchar_t* name, const wchar_t* expected) {
  return SameName(name, expected);
}

template <class Node, class... Args>
ConditionPtr Make(ConditionTree* owner, Args... args) {
  return ConditionPtr(owner->Arena().Make<Node>(args..., owner));
}

ConditionPtr NewCondition(const wchar_t* name, ConditionTree* owner) {
  if (NameIs(name, L"conditions") || NameIs(name, L"and")) {
    return Make<OperatorCondition>(owner, kConditionAnd);
  }
  if (NameIs(name, L"or")) return Make<OperatorCondition>(owner, kConditionOr);
  if (NameIs(name, L"product")) return Make<ProductCondition>(owner);
  if (NameIs(name, L"distribution")) return Make<DistributionCondition>(owner);
  if (NameIs(name, L"suite")) return Make<SuiteCondition>(owner);
  if (NameIs(name, L"package")) return Make<PackageCondition>(owner);
  if (NameIs(name, L"operatingSystem")) return Make<OperatingSystemCondition>(owner);
  if (NameIs(name, L"msi")) return Make<MsiCondition>(owner);
  throw WsStatus(kWsXmlUnknown);
}

void CollectLeafRecords(const Condition& node, InstallerRecords& records) {
  switch (node.Kind()) {
    case kConditionAnd:
    case kConditionOr:
      for (const auto& child : static_cast<const OperatorCondition&>(node).Children()) {
        CollectLeafRecords(*child, records);
      }
      break;
    case kConditionProduct:
    case kConditionDistribution:
    case kConditionSuite:
    case kConditionPackage:
      records.push_back(&static_cast<const BaseInstallerCondition&>(node).Info());
      break;
    default:
      break;
  }
}

void ForgetResults(Condition& node) {
  node.ForgetResult();
  if (node.Kind() != kConditionAnd && node.Kind() != kConditionOr) return;
  for (const auto& child : static_cast<OperatorCondition&>(node).Children()) ForgetResults(*child);
}

}  // namespace

void Condition::Load(pugi::xml_node element) {
  negated_ = WsString::SameNoCase(FindAttribute(element, L"logic").value(), L"not");
}

IRulesEngine& Condition::Engine() const {
  return owner_->Engine();
}

ConditionPtr CreateCondition(pugi::xml_node element, ConditionTree* owner) {
  DepthGuard depth(owner->BuildDepth());
  ConditionPtr node = NewCondition(element.name(), owner);
  node->Condition::Load(element);
  node->Load(element);
  return node;
}

ConditionTree::ConditionTree(IRulesEngine* engine, pugi::xml_node conditions) : engine_(engine) {
  if (IsNode(conditions)) root_ = CreateCondition(conditions, this);
}

ConditionTree::~ConditionTree() = default;

bool ConditionTree::Evaluate() {
  required_products_.clear();
  required_distributions_.clear();
  required_suites_.clear();
  required_packages_.clear();
  leaf_records_.reset();
  if (!root_) throw WsStatus(kWsInternal);
  return root_->EvaluateAndCache();
}

void ConditionTree::ForgetEvaluation() {
  required_products_.clear();
  required_distributions_.clear();
  required_suites_.clear();
  required_packages_.clear();
  if (root_) ForgetResults(*root_);
}

bool ConditionTree::Result() const {
  if (!root_) throw WsStatus(kWsInternal);
  return root_->LastResult();
}

const InstallerRecords& ConditionTree::LeafRecords(ConditionKind) {
  if (!leaf_records_) {
    leaf_records_ = std::make_unique<InstallerRecords>();
    if (root_) CollectLeafRecords(*root_, *leaf_records_);
  }
  return *leaf_records_;
}

void ConditionTree::AddRequiredItem(ConditionKind kind, const InstallerInfo* record,
                                    int32_t requirement) {
  const RequiredItem item{record, requirement};
  switch (kind) {
    case kConditionProduct:
      required_products_.push_back(item);
      break;
    case kConditionDistribution:
      required_distributions_.push_back(item);
      break;
    case kConditionSuite:
      required_suites_.push_back(item);
      break;
    case kConditionPackage:
      required_packages_.push_back(item);
      break;
    default:
      break;
  }
}
