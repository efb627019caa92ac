// BSTR and VARIANT as a C caller on Windows uses them. A BSTR points at the
// text, preceded by its length in bytes (32 bits) and followed by a NUL.
// These functions are exported from libravenlink.so so callers free what they get.
#pragma once

#include <windows.h>

typedef WCHAR OLECHAR;
typedef OLECHAR* BSTR;
typedef const OLECHAR* LPCOLESTR;
typedef uint16_t VARTYPE;

enum VARENUM { VT_EMPTY = 0, VT_NULL = 1, VT_I4 = 3, VT_BSTR = 8 };

typedef struct tagVARIANT {
  VARTYPE vt;
  WORD wReserved1;
  WORD wReserved2;
  WORD wReserved3;
  union {
    LONG lVal;
    BSTR bstrVal;
    LONGLONG llVal;
    void* byref;
  };
} VARIANT, *LPVARIANT, VARIANTARG;

#define S_OK ((HRESULT)0)
#define E_INVALIDARG ((HRESULT)0x80070057L)
#define DISP_E_BADVARTYPE ((HRESULT)0x80020008L)

extern "C" {
RAVENLINK_COMPAT_EXPORT BSTR SysAllocString(const OLECHAR* text);
RAVENLINK_COMPAT_EXPORT BSTR SysAllocStringLen(const OLECHAR* text, UINT length);
RAVENLINK_COMPAT_EXPORT void SysFreeString(BSTR text);
RAVENLINK_COMPAT_EXPORT UINT SysStringLen(BSTR text);
RAVENLINK_COMPAT_EXPORT void VariantInit(VARIANT* variant);
RAVENLINK_COMPAT_EXPORT HRESULT VariantClear(VARIANT* variant);
}
