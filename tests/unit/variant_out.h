// A VARIANT that receives a query's output and frees it when it goes.
#pragma once

#include "compat/win32.h"
#include "foundation/ws_string.h"

// The text a VARIANT holds; empty unless it holds a BSTR.
inline WsString VariantText(const VARIANT& value) {
  return value.vt == VT_BSTR && value.bstrVal != nullptr ? WsString(value.bstrVal) : WsString();
}

struct VariantOut {
  VariantOut() { VariantInit(&value); }
  ~VariantOut() { VariantClear(&value); }
  VariantOut(const VariantOut&) = delete;
  VariantOut& operator=(const VariantOut&) = delete;
  VARIANT* operator&() { return &value; }
  WsString text() const { return VariantText(value); }
  VARIANT value;
};
