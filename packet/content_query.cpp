#include "packet/content_query.h"

#include "foundation/ws_status.h"
#include "packet/xml_helpers.h"

namespace {

const WsString kQuery = L"query";
const WsString kMetadata = L"metadata";
const WsString kType = L"type";
const WsString kField = L"field";
const WsString kCompareType = L"compareType";

const wchar_t* CompareTypeText(int32_t compare) {
  switch (compare) {
    case kCompareNotEqual:
      return L"NotEqual";
    case kCompareContains:
      return L"Contains";
    case kCompareGreaterThan:
      return L"GreaterThan";
    case kCompareGreaterThanEqual:
      return L"GreaterThanEqual";
    case kCompareLessThan:
      return L"LessThan";
    case kCompareLessThanEqual:
      return L"LessThanEqual";
    default:
      return nullptr;  // equality, and anything unknown, write no attribute
  }
}

}  // namespace

void WsMetadata::WriteXml(WsXmlDocument& /*document*/, pugi::xml_node element) const {
  SetText(element, value_);
  if (hasCompare_) {
    if (const wchar_t* compareType = CompareTypeText(compare_)) {
      SetAttribute(element, kCompareType, compareType, true);
    }
  }
  SetAttribute(element, kField, field_, true);
}

void WsContentQueryGroup::AddComparison(std::unique_ptr<WsMetadata> comparison) {
  comparisons_.push_back(std::move(comparison));
}

WsContentQueryGroup* WsContentQueryGroup::AddSubgroup(int32_t type) {
  subgroups_.push_back(std::make_unique<WsContentQueryGroup>(type, this));
  return subgroups_.back().get();
}

void WsContentQueryGroup::WriteXml(WsXmlDocument& document, pugi::xml_node element) const {
  switch (type_) {
    case kQueryGroupAnd:
      SetAttribute(element, kType, L"And", true);
      break;
    case kQueryGroupOr:
      SetAttribute(element, kType, L"Or", true);
      break;
    default:
      throw WsStatus(kWsQueryGroupType);
  }
  for (const auto& comparison : comparisons_) {
    AppendObject(element, document, kMetadata, *comparison);
  }
  for (const auto& subgroup : subgroups_) AppendObject(element, document, kQuery, *subgroup);
}

void WsContentQuery::BeginGroup(int32_t type) {
  if (!root_) {
    root_ = std::make_unique<WsContentQueryGroup>(type, nullptr);
    current_ = root_.get();
  } else {
    current_ = current_->AddSubgroup(type);
  }
}

void WsContentQuery::EndGroup() {
  if (current_ == nullptr) throw WsStatus(kWsQueryNoGroup);
  current_->Close();
  if (current_->Parent() != nullptr) current_ = current_->Parent();
}

void WsContentQuery::AddMetadata(const WsString& field, const WsString& value, int32_t compare) {
  if (current_ == nullptr) throw WsStatus(kWsQueryNoGroup);
  auto comparison = std::make_unique<WsMetadata>(field, value);
  comparison->SetCompare(compare);
  current_->AddComparison(std::move(comparison));
}

void WsContentQuery::WriteXml(WsXmlDocument& document, pugi::xml_node element) const {
  if (!root_) throw WsStatus(kWsQueryEmpty);
  if (!root_->IsClosed()) throw WsStatus(kWsQueryOpen);
  AppendObject(element, document, kQuery, *root_);
}
