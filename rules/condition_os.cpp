#include "rules/condition_os.h"

#include <cstring>

#include "compat/win32.h"
#include "foundation/ws_status.h"
#include "packet/xml_helpers.h"
#include "rules/rules_engine.h"

namespace {

// A version attribute: absent or empty reads 0.0.0.0; text that gives no field is an error.
VersionNumber ReadVersion(pugi::xml_node element, const wchar_t* name) {
  const wchar_t* text = FindAttribute(element, name).value();  // read in place
  VersionNumber version(text);
  if (*text != 0 && !version.IsValid()) throw WsStatus(kWsXmlBadValue);
  return version;
}

// An integer attribute, decimal or "0x" hexadecimal; kNotGiven when absent.
void ReadInteger(pugi::xml_node element, const wchar_t* name, int32_t& out) {
  if (!HasAttribute(element, name)) return;
  uint32_t value = 0;
  if (!WsString::ParseUInt32(FindAttribute(element, name).value(), value)) {
    throw WsStatus(kWsXmlBadValue);
  }
  out = static_cast<int32_t>(value);
}

bool Given(int32_t value) {
  return value >= 0;
}

// The edition number of Windows 6 and later, from GetProductInfo found at run
// time in kernel32.dll; false when the function is not there.
bool ProductEdition(const OSVERSIONINFOEXW& os, DWORD& edition) {
  using GetProductInfoFn = BOOL(WINAPI*)(DWORD, DWORD, DWORD, DWORD, DWORD*);
  HMODULE kernel = GetModuleHandleW(L"kernel32.dll");
  if (kernel == nullptr) return false;
  auto proc = GetProcAddress(kernel, "GetProductInfo");
  if (proc == nullptr) return false;
  GetProductInfoFn getProductInfo = nullptr;
  static_assert(sizeof(getProductInfo) == sizeof(proc));
  std::memcpy(&getProductInfo, &proc, sizeof(getProductInfo));
  edition = 0;
  getProductInfo(os.dwMajorVersion, os.dwMinorVersion, os.wServicePackMajor, os.wServicePackMinor,
                 &edition);
  return true;
}

}  // namespace

void OperatingSystemCondition::Load(pugi::xml_node element) {
  os_name_ = GetAttribute(element, L"os");
  ver_min_ = ReadVersion(element, L"verMin");
  ver_max_ = ReadVersion(element, L"verMax");
  ReadInteger(element, L"productType", product_type_);
  ReadInteger(element, L"servicePackMajor", service_pack_major_);
  ReadInteger(element, L"servicePackMinor", service_pack_minor_);
  ReadInteger(element, L"bits", bits_);
  ReadInteger(element, L"primaryLang", primary_lang_);
  ReadInteger(element, L"subLang", sub_lang_);
  ReadInteger(element, L"userPrimaryLocale", user_primary_locale_);
  ReadInteger(element, L"userSubLocale", user_sub_locale_);
  ReadInteger(element, L"suiteMask", suite_mask_);
}

bool OperatingSystemCondition::Evaluate() {
  auto matches = [this]() {
    if (!os_name_.EqualsNoCase(L"Windows")) return false;
    IRulesEngine& engine = Engine();
    const OSVERSIONINFOEXW& os = engine.GetOsVersionInfo();
    // Only an NT platform is Windows: elsewhere the version numbers are the
    // kernel's own and must not be mistaken for a Windows release.
    if (os.dwPlatformId != VER_PLATFORM_WIN32_NT) return false;
    const VersionNumber osVersion(os.dwMajorVersion, os.dwMinorVersion);
    if (ver_min_.Compare(osVersion) > 0 || osVersion.Compare(ver_max_) > 0) return false;
    if (Given(product_type_) && product_type_ != os.wProductType) return false;
    if (Given(suite_mask_)) {
      if (os.dwMajorVersion < 6) {
        if (suite_mask_ != os.wSuiteMask) return false;
      } else {
        DWORD edition = 0;
        if (!ProductEdition(os, edition) || static_cast<DWORD>(suite_mask_) != edition) {
          return false;
        }
      }
    }
    if (Given(service_pack_major_) && service_pack_major_ != os.wServicePackMajor) return false;
    if (Given(service_pack_minor_) && service_pack_minor_ != os.wServicePackMinor) return false;
    if (Given(bits_) && bits_ != engine.GetBitness()) return false;
    if (Given(primary_lang_) && primary_lang_ != engine.GetUiPrimaryLanguage()) return false;
    if (Given(sub_lang_) && sub_lang_ != engine.GetUiSubLanguage()) return false;
    if (Given(user_primary_locale_) && user_primary_locale_ != engine.GetUserPrimaryLanguage()) {
      return false;
    }
    if (Given(user_sub_locale_) && user_sub_locale_ != engine.GetUserSubLanguage()) return false;
    return true;
  };
  return ApplyNegation(matches());
}
