// The content query: a tree of And/Or groups of metadata comparisons that
// asks the service for the documents whose metadata match.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include <pugixml.hpp>

#include "foundation/ws_string.h"
#include "packet/xml_serializable.h"

// Kept as plain integers: a group of any other type can be built and fails
// only when the query is written.
enum QueryGroupType : int32_t { kQueryGroupAnd = 0, kQueryGroupOr = 1 };

enum MetadataCompare : int32_t {
  kCompareEqual = 0,  // the plain comparison: no "compareType" attribute
  kCompareNotEqual = 1,
  kCompareContains = 2,
  kCompareGreaterThan = 3,
  kCompareGreaterThanEqual = 4,
  kCompareLessThan = 5,
  kCompareLessThanEqual = 6,
};

// One comparison: <metadata compareType="..." field="...">value</metadata>.
class WsMetadata : public WsXmlSerializable {
 public:
  WsMetadata(const WsString& field, const WsString& value) : field_(field), value_(value) {}
  void SetCompare(int32_t compare) {
    compare_ = compare;
    hasCompare_ = true;
  }
  void WriteXml(WsXmlDocument& document, pugi::xml_node element) const override;

  const WsString& Field() const { return field_; }
  const WsString& Value() const { return value_; }

 private:
  WsString field_;
  WsString value_;
  int32_t compare_ = kCompareEqual;
  bool hasCompare_ = false;
};

class WsContentQueryGroup : public WsXmlSerializable {
 public:
  WsContentQueryGroup(int32_t type, WsContentQueryGroup* parent) : type_(type), parent_(parent) {}
  WsContentQueryGroup(const WsContentQueryGroup&) = delete;
  WsContentQueryGroup& operator=(const WsContentQueryGroup&) = delete;

  // Writes "type", then every comparison, then every subgroup: comparisons
  // come first whatever order they were added in. Throws 0x80003001 for a
  // type that is neither And nor Or.
  void WriteXml(WsXmlDocument& document, pugi::xml_node element) const override;

  WsContentQueryGroup* Parent() const { return parent_; }
  bool IsClosed() const { return closed_; }
  void Close() { closed_ = true; }
  void AddComparison(std::unique_ptr<WsMetadata> comparison);
  WsContentQueryGroup* AddSubgroup(int32_t type);

 private:
  bool closed_ = false;
  int32_t type_;
  WsContentQueryGroup* parent_;
  std::vector<std::unique_ptr<WsMetadata>> comparisons_;
  std::vector<std::unique_ptr<WsContentQueryGroup>> subgroups_;
};

class WsContentQuery : public WsXmlSerializable {
 public:
  WsContentQuery() = default;
  WsContentQuery(const WsContentQuery&) = delete;
  WsContentQuery& operator=(const WsContentQuery&) = delete;

  // Opens the root group, or a subgroup of the current group; the new group
  // becomes current.
  void BeginGroup(int32_t type);
  // Closes the current group and returns to its parent. Closing the root
  // keeps it current, so closing it again is harmless. Throws 0x80003003
  // when no group was ever opened.
  void EndGroup();
  // Adds a comparison to the current group, closed or not. Throws 0x80003003
  // when no group was ever opened.
  void AddMetadata(const WsString& field, const WsString& value, int32_t compare);

  // Writes the root group as "query" into the "contentQuery" element. Throws
  // 0x80003005 when there is no group and 0x80003004 while the root is open.
  void WriteXml(WsXmlDocument& document, pugi::xml_node element) const override;

 private:
  WsContentQueryGroup* current_ = nullptr;
  std::unique_ptr<WsContentQueryGroup> root_;
};
