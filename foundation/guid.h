// Guid: the key of products, distributions and suites. It holds a parsed GUID
// or, when the text is not a GUID, the text itself (compared in a normalised
// form: without "-{}()" and with a-z upper-cased).
#pragma once

#include <cstddef>

#include "compat/win32.h"
#include "foundation/ws_string.h"

class Guid {
 public:
  // An empty key: not a GUID, both texts empty.
  Guid() = default;
  explicit Guid(const WsString& text) { Parse(text); }
  explicit Guid(const wchar_t* text) { Parse(text); }

  // Makes the key from text; never fails (a text that is not a GUID becomes a
  // text key).
  void Parse(const WsString& text);
  void Parse(const wchar_t* text);
  void Clear();
  bool IsEmpty() const { return notGuid_ && text_.empty(); }
  // "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}" for a GUID, the original text
  // otherwise.
  WsString ToString() const;

  bool IsGuid() const { return !notGuid_; }
  bool NotGuid() const { return notGuid_; }
  // Meaningful only when IsGuid().
  const GUID& Value() const { return value_; }
  // The text the key was made from, unchanged.
  WsString Text() const { return printedText_ ? ToString() : text_; }
  // Empty for a GUID.
  const WsString& Normalised() const { return normalised_; }

  // text without the characters "-{}()", a-z upper-cased; returns the length.
  static size_t Normalize(const WsString& text, WsString& normalised);

  friend bool operator==(const Guid& a, const Guid& b);
  // A strict weak ordering: GUIDs by value (fields unsigned, in order), all
  // GUIDs before all text keys, text keys by normalised text.
  friend bool operator<(const Guid& a, const Guid& b);

 private:
  void Assign(const wchar_t* text, size_t length);

  GUID value_{};
  // Empty when printedText_ is set: the text was the printed form of the
  // value, the usual spelling, and is made again on demand, so that most
  // keys (and their copies) hold no text of their own.
  WsString text_;
  bool printedText_ = false;
  WsString normalised_;
  bool notGuid_ = true;
};

inline bool operator!=(const Guid& a, const Guid& b) {
  return !(a == b);
}
