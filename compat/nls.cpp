// Code pages and locale data. The system's default ANSI code page is UTF-8
// (65001) and wchar_t text is UTF-32, so both conversions are between UTF-8
// and UTF-32, with the Windows length protocol.

#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>

#include <windows.h>

#include "compat/text.h"

namespace {

bool IsUtf8CodePage(UINT codePage) {
  return codePage == CP_ACP || codePage == CP_UTF8;
}

// Copies a converted text to the caller's buffer under the Windows protocol:
// a capacity of 0 asks for the size; a smaller buffer is ERROR_INSUFFICIENT_BUFFER.
template <class Char>
int Deliver(const std::basic_string<Char>& converted, Char* out, int capacity) {
  const auto needed = static_cast<int>(converted.size());
  if (capacity == 0) return needed;
  if (needed > capacity) {
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return 0;
  }
  std::memcpy(out, converted.data(), converted.size() * sizeof(Char));
  return needed;
}

}  // namespace

extern "C" UINT GetACP(void) {
  return CP_UTF8;
}

// CP_ACP and CP_UTF8 only, and no flags: other code pages and any flag
// (MB_ERR_INVALID_CHARS included) fail with ERROR_INVALID_PARAMETER. A length
// of -1 converts up to and including the NUL; invalid UTF-8 becomes U+FFFD.
extern "C" int MultiByteToWideChar(UINT codePage, DWORD flags, LPCSTR text, int length, LPWSTR wide,
                                   int wideLength) {
  if (!IsUtf8CodePage(codePage) || flags != 0 || text == nullptr || length == 0 || length < -1 ||
      wideLength < 0 || (wideLength > 0 && wide == nullptr)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  const size_t size = length == -1 ? std::strlen(text) + 1 : static_cast<size_t>(length);
  return Deliver(compat::DecodeUtf8(std::string_view(text, size)), wide, wideLength);
}

// CP_ACP and CP_UTF8 only, no flags, and neither a default character nor its
// flag (Windows refuses them for UTF-8 too): otherwise ERROR_INVALID_PARAMETER.
// Characters that UTF-8 cannot carry (lone surrogates) become U+FFFD.
extern "C" int WideCharToMultiByte(UINT codePage, DWORD flags, LPCWSTR wide, int wideLength,
                                   LPSTR text, int length, LPCSTR defaultChar, BOOL* usedDefault) {
  if (!IsUtf8CodePage(codePage) || flags != 0 || wide == nullptr || wideLength == 0 ||
      wideLength < -1 || length < 0 || (length > 0 && text == nullptr) || defaultChar != nullptr ||
      usedDefault != nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  const size_t size = wideLength == -1 ? std::wcslen(wide) + 1 : static_cast<size_t>(wideLength);
  return Deliver(compat::EncodeUtf8(wide, size), text, length);
}

// Only LOCALE_IDEFAULTANSICODEPAGE, which is "65001" for every locale; any
// other item (or a flag such as LOCALE_NOUSEROVERRIDE) fails with
// ERROR_INVALID_PARAMETER. The count includes the NUL.
extern "C" int GetLocaleInfoW(LCID, LCTYPE type, LPWSTR data, int size) {
  if (type != LOCALE_IDEFAULTANSICODEPAGE || size < 0 || (size > 0 && data == nullptr)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  return Deliver(std::wstring(L"65001", 6), data, size);
}

namespace {

struct LanguageEntry {
  const char* language;  // ISO 639 code of the POSIX locale name
  const char* region;    // ISO 3166 code, or "" for the language's default
  LANGID id;
};

// The locales Windows installs most often. A language without its region (or
// with a region not listed) takes the entry marked "", which comes first.
constexpr LanguageEntry kLanguages[] = {
    {"en", "", 0x0409},   {"en", "US", 0x0409}, {"en", "GB", 0x0809}, {"en", "AU", 0x0C09},
    {"en", "CA", 0x1009}, {"de", "", 0x0407},   {"de", "DE", 0x0407}, {"de", "AT", 0x0C07},
    {"de", "CH", 0x0807}, {"fr", "", 0x040C},   {"fr", "FR", 0x040C}, {"fr", "BE", 0x080C},
    {"fr", "CA", 0x0C0C}, {"fr", "CH", 0x100C}, {"it", "", 0x0410},   {"es", "", 0x0C0A},
    {"es", "MX", 0x080A}, {"pt", "", 0x0416},   {"pt", "BR", 0x0416}, {"pt", "PT", 0x0816},
    {"nl", "", 0x0413},   {"nl", "BE", 0x0813}, {"ja", "", 0x0411},   {"ko", "", 0x0412},
    {"zh", "", 0x0804},   {"zh", "CN", 0x0804}, {"zh", "TW", 0x0404}, {"zh", "HK", 0x0C04},
    {"ru", "", 0x0419},   {"pl", "", 0x0415},   {"cs", "", 0x0405},   {"hu", "", 0x040E},
    {"sv", "", 0x041D},   {"da", "", 0x0406},   {"fi", "", 0x040B},   {"nb", "", 0x0414},
    {"no", "", 0x0414},   {"tr", "", 0x041F},   {"el", "", 0x0408},   {"he", "", 0x040D},
    {"ar", "", 0x0401},   {"th", "", 0x041E},
};

constexpr LANGID kDefaultLanguage = 0x0409;

// The language of the first of LC_ALL, LC_MESSAGES and LANG that is set and
// not empty, read at each call. "C", "POSIX", unset and unknown names give
// English (United States).
LANGID LanguageFromEnvironment() {
  std::string_view name;
  for (const char* variable : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
    const char* value = std::getenv(variable);
    if (value != nullptr && *value != '\0') {
      name = value;
      break;
    }
  }
  // language[_REGION][.codeset][@modifier]
  name = name.substr(0, name.find_first_of(".@"));
  const size_t underscore = name.find('_');
  const std::string_view language = name.substr(0, underscore);
  const std::string_view region =
      underscore == std::string_view::npos ? std::string_view() : name.substr(underscore + 1);
  LANGID found = 0;
  for (const auto& entry : kLanguages) {
    if (language != entry.language) continue;
    if (region == entry.region) return entry.id;
    if (found == 0 && *entry.region == '\0') found = entry.id;
  }
  return found != 0 ? found : kDefaultLanguage;
}

}  // namespace

extern "C" LANGID GetUserDefaultUILanguage(void) {
  return LanguageFromEnvironment();
}

extern "C" LANGID GetSystemDefaultUILanguage(void) {
  return LanguageFromEnvironment();
}

extern "C" LANGID GetUserDefaultLangID(void) {
  return LanguageFromEnvironment();
}
