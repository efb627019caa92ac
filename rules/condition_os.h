// OperatingSystemCondition: a test of the operating system against the data
// the rules engine captured (version, service pack, product type, edition,
// bitness, UI and user languages).
#pragma once

#include <cstdint>

#include "foundation/version_number.h"
#include "foundation/ws_string.h"
#include "rules/condition.h"

class OperatingSystemCondition : public Condition {
 public:
  // Value of an integer attribute that was not given.
  static constexpr int32_t kNotGiven = -1;

  explicit OperatingSystemCondition(ConditionTree* owner)
      : Condition(kConditionOperatingSystem, owner) {}

  // False unless "os" is "Windows" (any case), the engine's major.minor lies
  // within [verMin, verMax] and every given value equals the machine's; then
  // negation. An absent verMax reads 0.0.0.0, which no real system satisfies.
  bool Evaluate() override;
  // All attributes are optional. A version text that gives no field, or an
  // integer that is not a decimal or "0x" number, raises kWsXmlBadValue.
  void Load(pugi::xml_node element) override;

 private:
  WsString os_name_;
  VersionNumber ver_min_;
  VersionNumber ver_max_;
  int32_t service_pack_major_ = kNotGiven;
  int32_t service_pack_minor_ = kNotGiven;
  int32_t product_type_ = kNotGiven;
  int32_t suite_mask_ = kNotGiven;
  int32_t bits_ = kNotGiven;
  int32_t primary_lang_ = kNotGiven;
  int32_t sub_lang_ = kNotGiven;
  int32_t user_primary_locale_ = kNotGiven;
  int32_t user_sub_locale_ = kNotGiven;
};
