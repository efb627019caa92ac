// DisplayNames: the display names of products that one notification message
// carries, and which of them fit this computer once the entry's conditions
// have been evaluated.
#pragma once

#include <cstdint>
#include <vector>

#include "foundation/guid.h"
#include "foundation/version_number.h"
#include "foundation/ws_string.h"
#include "packet/xml_document.h"

class Condition;

struct DisplayName {
  WsString name;                 // text of the "displayName" element
  WsString minimumText = L"-1";  // "verMin" as written, "-1" when absent
  WsString maximumText = L"-1";  // "verMax" as written, "-1" when absent
  WsString guidText;             // "guid" as written, empty when absent
  bool invertedRange = false;    // "invertedRange", handed to the caller only
  bool applies = false;          // set by Resolve
  Guid productKey;               // the braced GUID at the start of guidText
  VersionNumber minimum;         // the range that follows it: minimum-maximum
  VersionNumber maximum;
};

// Flags of one display name as the caller sees them.
inline constexpr uint16_t kDisplayNameInvertedRange = 0x0001;
inline constexpr uint16_t kDisplayNameApplies = 0x1000;

// Splits a "guid" text of the form "{GUID}minimum-maximum": the braced part up
// to the first "}", then everything up to the next "-", then the rest (which
// may not hold a line break). False when the text has another form.
bool SplitDisplayNameGuid(const WsString& text, WsString& braced, WsString& minimum,
                          WsString& maximum);

class DisplayNames {
 public:
  DisplayNames() = default;
  DisplayNames(const DisplayNames&) = default;
  DisplayNames& operator=(const DisplayNames&) = default;
  DisplayNames(DisplayNames&&) noexcept = default;
  DisplayNames& operator=(DisplayNames&&) noexcept = default;
  virtual ~DisplayNames() = default;

  // Replaces the list with the "displayName" children of a "displayNames"
  // element. The language is not used: the element belongs to the chosen message.
  void Parse(pugi::xml_node element, uint32_t language);
  // Marks the names that the product conditions deciding an evaluated tree
  // name: each true product leaf reached through true AND/OR nodes marks a
  // name whose whole guid text is its key, or whose range its range contains.
  void Resolve(const Condition* root);

  size_t Count() const { return names_.size(); }
  // Index at or beyond Count raises kWsBadHandle.
  const DisplayName& At(size_t index) const;
  uint16_t Flags(size_t index) const;

 private:
  std::vector<DisplayName> names_;
};
