// BSTR and VARIANT. A BSTR is allocated as one block: the 32-bit length of the
// text in bytes, the text, and a NUL; the pointer handed out is the text's.

#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <limits>

#include <oleauto.h>

namespace {

constexpr size_t kPrefix = sizeof(uint32_t);

char* BlockOf(BSTR text) {
  return reinterpret_cast<char*>(text) - kPrefix;
}

}  // namespace

extern "C" BSTR SysAllocString(const OLECHAR* text) {
  if (text == nullptr) return nullptr;
  const size_t length = std::wcslen(text);
  if (length > std::numeric_limits<UINT>::max()) return nullptr;
  return SysAllocStringLen(text, static_cast<UINT>(length));
}

// A null text gives a string of length characters, all NUL. Null when the
// byte length does not fit the 32-bit prefix or memory runs out.
extern "C" BSTR SysAllocStringLen(const OLECHAR* text, UINT length) {
  const uint64_t bytes = static_cast<uint64_t>(length) * sizeof(OLECHAR);
  if (bytes > std::numeric_limits<uint32_t>::max() - kPrefix - sizeof(OLECHAR)) return nullptr;
  auto* block = static_cast<char*>(std::malloc(kPrefix + bytes + sizeof(OLECHAR)));
  if (block == nullptr) return nullptr;
  const auto prefix = static_cast<uint32_t>(bytes);
  std::memcpy(block, &prefix, kPrefix);
  auto* result = reinterpret_cast<BSTR>(block + kPrefix);
  if (text != nullptr) {
    std::memcpy(result, text, bytes);
  } else {
    std::memset(result, 0, bytes);
  }
  result[length] = L'\0';
  return result;
}

extern "C" void SysFreeString(BSTR text) {
  if (text != nullptr) std::free(BlockOf(text));
}

// In characters, from the prefix: NULs inside the text count.
extern "C" UINT SysStringLen(BSTR text) {
  if (text == nullptr) return 0;
  uint32_t bytes = 0;
  std::memcpy(&bytes, BlockOf(text), kPrefix);
  return bytes / sizeof(OLECHAR);
}

extern "C" void VariantInit(VARIANT* variant) {
  std::memset(variant, 0, sizeof(*variant));
}

// Frees what the variant owns (a VT_BSTR's string) and leaves it VT_EMPTY.
// Only VT_EMPTY, VT_NULL, VT_I4 and VT_BSTR are known here: any other type is
// left untouched with DISP_E_BADVARTYPE.
extern "C" HRESULT VariantClear(VARIANT* variant) {
  if (variant == nullptr) return E_INVALIDARG;
  switch (variant->vt) {
    case VT_BSTR:
      SysFreeString(variant->bstrVal);
      break;
    case VT_EMPTY:
    case VT_NULL:
    case VT_I4:
      break;
    default:
      return DISP_E_BADVARTYPE;
  }
  variant->vt = VT_EMPTY;
  variant->llVal = 0;
  return S_OK;
}
