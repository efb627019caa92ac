/* BSTR, VARIANT and HWND as a C caller on Windows sees them, for systems
 * without Windows. Declarations only, no includes: include/ravenlink.h pulls
 * this in after <stddef.h> (for wchar_t in C). The layout is the one the
 * library's platform layer uses for its own code (api/ole_layout_check.cpp
 * keeps the two in step). */
#ifndef RAVENLINK_OLE_TYPES_H
#define RAVENLINK_OLE_TYPES_H

typedef wchar_t OLECHAR;
typedef OLECHAR* BSTR;
typedef unsigned short VARTYPE;

enum VARENUM { VT_EMPTY = 0, VT_NULL = 1, VT_I4 = 3, VT_BSTR = 8 };

typedef struct tagVARIANT {
  VARTYPE vt;
  unsigned short wReserved1;
  unsigned short wReserved2;
  unsigned short wReserved3;
  union {
    int lVal;
    BSTR bstrVal;
    long long llVal;
    void* byref;
  };
} VARIANT;

typedef struct HWND__* HWND;

#endif /* RAVENLINK_OLE_TYPES_H */
