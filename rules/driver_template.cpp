#include "rules/driver_template.h"

#include <vector>

#include "catalog/installer_info.h"
#include "rules/condition_installer.h"
#include "rules/condition_operator.h"
#include "rules/condition_tree.h"

namespace {

using ProductList = std::vector<const BaseInstallerCondition*>;

enum class Role { kOther, kNotInstalling, kInstalled, kInstalling, kNotInstalled };

const BaseInstallerCondition* AsProduct(const Condition& node) {
  if (node.Kind() != kConditionProduct) return nullptr;
  return static_cast<const BaseInstallerCondition*>(&node);
}

Role RoleOf(const BaseInstallerCondition& product) {
  const InstallStatus status = product.Info().Status();
  const bool negated = product.IsNegated();
  if (status == InstallStatus::NotInstalling || (negated && status == InstallStatus::Installing))
    return Role::kNotInstalling;
  if (!negated && status == InstallStatus::Installed) return Role::kInstalled;
  if (!negated && status == InstallStatus::Installing) return Role::kInstalling;
  if (status == InstallStatus::NotInstalled || (negated && status == InstallStatus::Installed))
    return Role::kNotInstalled;
  return Role::kOther;
}

// A true AND/OR node whose children include a product is an anchor; the
// children before its first product are searched the same way.
void FindAnchors(const Condition& node, std::vector<const OperatorCondition*>& anchors) {
  if (node.Kind() != kConditionAnd && node.Kind() != kConditionOr) return;
  if (!node.LastResult()) return;
  const auto& op = static_cast<const OperatorCondition&>(node);
  for (const auto& child : op.Children()) {
    if (child->Kind() == kConditionProduct) {
      anchors.push_back(&op);
      return;
    }
    FindAnchors(*child, anchors);
  }
}

struct Lists {
  ProductList notInstalling;
  ProductList installed;
  ProductList installing;
  ProductList secondInstalled;
};

class Classifier {
 public:
  explicit Classifier(const OperatorCondition& anchor) : children_(anchor.Children()) {}

  Lists Run() {
    count_ = children_.size();
    limit_ = count_ < 3 ? count_ : 3;
    for (size_t i = 0; i < limit_; ++i) {
      const Condition& child = *children_[i];
      if (const BaseInstallerCondition* product = AsProduct(child)) {
        Product(*product);
      } else if (child.Kind() == kConditionAnd) {
        AndChild(static_cast<const OperatorCondition&>(child));
      } else if (child.Kind() == kConditionOr) {
        OrChild(static_cast<const OperatorCondition&>(child));
      }
    }
    return lists_;
  }

 private:
  // The first true not-installed product lets one more child be classified.
  void SeeNotInstalled() {
    seen_not_installed_ = true;
    if (count_ > limit_) ++limit_;
  }

  void Product(const BaseInstallerCondition& c) {
    const bool value = c.LastResult();
    switch (RoleOf(c)) {
      case Role::kNotInstalling:
        if (lists_.notInstalling.empty() && value) lists_.notInstalling.push_back(&c);
        break;
      case Role::kInstalled:
        if (lists_.installed.empty() && value) {
          lists_.installed.push_back(&c);
        } else if (lists_.secondInstalled.empty() && value) {
          lists_.secondInstalled.push_back(&c);
        }
        break;
      case Role::kInstalling:
        if (lists_.installing.empty() && value) lists_.installing.push_back(&c);
        break;
      case Role::kNotInstalled:
        if (!seen_not_installed_ && value) SeeNotInstalled();
        break;
      case Role::kOther:
        break;
    }
  }

  void AndChild(const OperatorCondition& node) {
    bool taken = false;
    for (const auto& grandchild : node.Children()) {
      const BaseInstallerCondition* g = AsProduct(*grandchild);
      if (g == nullptr) continue;
      const bool value = g->LastResult();
      const Role role = RoleOf(*g);
      if (role == Role::kNotInstalling) {
        if ((lists_.notInstalling.empty() || taken) && value) {
          lists_.notInstalling.push_back(g);
          taken = true;
        }
      } else if (role == Role::kNotInstalled) {
        if (!seen_not_installed_ && value) {
          SeeNotInstalled();
          return;
        }
      }
    }
  }

  void OrChild(const OperatorCondition& node) {
    bool takenInstalled = false;
    bool takenSecond = false;
    bool takenInstalling = false;
    for (const auto& grandchild : node.Children()) {
      const BaseInstallerCondition* g = AsProduct(*grandchild);
      if (g == nullptr) continue;
      const bool value = g->LastResult();
      const Role role = RoleOf(*g);
      if (role == Role::kInstalled) {
        if (lists_.installed.empty()) {
          if (value) {
            lists_.installed.push_back(g);
            takenInstalled = true;
            continue;
          }
        } else if (takenInstalled && value) {
          lists_.installed.push_back(g);
          continue;
        }
        if (lists_.secondInstalled.empty() && value) {
          lists_.secondInstalled.push_back(g);
          takenSecond = true;
        } else if (takenSecond && value) {
          lists_.secondInstalled.push_back(g);
        }
      } else if (role == Role::kInstalling) {
        if (!lists_.installing.empty() && !takenInstalling) continue;
        if (value) {
          lists_.installing.push_back(g);
          takenInstalling = true;
        }
      }
    }
  }

  ConditionChildren children_;
  Lists lists_;
  size_t count_ = 0;
  size_t limit_ = 0;
  bool seen_not_installed_ = false;
};

WsString JoinKeys(const ProductList& products) {
  WsString text;
  for (size_t i = 0; i < products.size(); ++i) {
    if (i > 0) text.append(L";");
    text.append(products[i]->Info().Key().ToString());
  }
  return text;
}

}  // namespace

bool AnalyzeDriverTemplate(const ConditionTree& tree, DriverTemplateInfo& info) {
  info.text.clear();
  info.first = false;
  info.second = false;
  info.found = true;

  std::vector<const OperatorCondition*> anchors;
  if (tree.Root() != nullptr) FindAnchors(*tree.Root(), anchors);
  if (anchors.empty()) return info.found;

  const Lists lists = Classifier(*anchors.front()).Run();
  const bool shapeOne = lists.notInstalling.empty() && !lists.installed.empty() &&
                        !lists.installing.empty() && !lists.secondInstalled.empty();
  const bool shapeTwo = !lists.notInstalling.empty() && !lists.installed.empty() &&
                        !lists.installing.empty() && lists.secondInstalled.empty();
  if (shapeOne) {
    const InstallerInfo* installed = lists.installed.front()->FindInstalled();
    if (installed == nullptr) return info.found;
    info.first = lists.installed.front()->Info().Matches(*installed);
    if (info.first) info.third = true;
    info.text = JoinKeys(lists.secondInstalled);
    return info.found;
  }
  if (shapeTwo) {
    if (anchors.size() > 1) info.third = true;
    const InstallerInfo* installed = lists.installed.front()->FindInstalled();
    if (installed == nullptr) return info.found;
    const BaseInstallerCondition& notInstalling = *lists.notInstalling.front();
    info.first = notInstalling.Info().Matches(*installed);
    info.second = notInstalling.IsAvailable() || info.first;
    info.text = JoinKeys(lists.installing);
    return info.found;
  }
  info.found = false;
  return info.found;
}
