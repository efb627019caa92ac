#include "packet/answer_parts.h"

#include <cstring>

namespace {

bool StartsWith(std::string_view text, size_t at, std::string_view prefix) {
  return text.size() - at >= prefix.size() && text.compare(at, prefix.size(), prefix) == 0;
}

char Lower(char c) {
  return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool SameNoCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (Lower(a[i]) != Lower(b[i])) return false;
  }
  return true;
}

// Whether the text is UTF-8 by its start, the way the parser's detection would
// see it; `start` is set past a UTF-8 byte-order mark.
bool IsUtf8(std::string_view text, size_t& start) {
  start = 0;
  if (StartsWith(text, 0, "\xEF\xBB\xBF")) start = 3;
  if (StartsWith(text, 0, "\xFE\xFF") || StartsWith(text, 0, "\xFF\xFE")) return false;
  for (size_t i = start; i < text.size() && i < start + 4; ++i) {
    if (text[i] == 0) return false;
  }
  if (!StartsWith(text, start, "<?xml")) return true;
  const size_t end = text.find("?>", start);
  if (end == std::string_view::npos) return false;
  const std::string_view declaration = text.substr(start, end - start);
  const size_t name = declaration.find("encoding");
  if (name == std::string_view::npos) return true;
  const size_t open = declaration.find_first_of("\"'", name);
  if (open == std::string_view::npos) return false;
  const size_t close = declaration.find(declaration[open], open + 1);
  if (close == std::string_view::npos) return false;
  const std::string_view value = declaration.substr(open + 1, close - open - 1);
  return SameNoCase(value, "utf-8") || SameNoCase(value, "utf8");
}

bool EndsName(char c) {
  return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '/' || c == '>';
}

// The end of the start tag whose '<' is at `at`, past its '>', skipping
// quoted attribute values; npos when the text ends first.
size_t EndOfStartTag(std::string_view text, size_t at, bool& empty) {
  const char* const begin = text.data();
  const char* const end = begin + text.size();
  for (const char* p = begin + at + 1; p < end; ++p) {
    const char c = *p;
    if (c == '>') {
      empty = p[-1] == '/';
      return static_cast<size_t>(p - begin) + 1;
    }
    if (c == '"' || c == '\'') {
      p = static_cast<const char*>(std::memchr(p + 1, c, static_cast<size_t>(end - p - 1)));
      if (p == nullptr) break;
    }
  }
  return std::string_view::npos;
}

}  // namespace

bool SplitAnswer(std::string_view text, std::string_view container, std::string_view part,
                 AnswerParts& out) {
  out.skeleton.clear();
  out.parts.clear();
  size_t i = 0;
  if (!IsUtf8(text, i)) return false;

  constexpr size_t kNone = std::string_view::npos;
  size_t depth = 0;          // elements open at i
  bool inFirstRoot = false;  // depth >= 1 counts inside the first root element
  bool rootSeen = false;
  bool containerSeen = false;  // the first container under the root was found
  bool inContainer = false;    // and is open at depth 2
  size_t partStart = kNone;    // the part being passed over, at depth >= 3
  size_t copied = 0;           // text before this is in the skeleton
  for (;;) {
    const void* found = std::memchr(text.data() + i, '<', text.size() - i);
    if (found == nullptr) break;
    i = static_cast<size_t>(static_cast<const char*>(found) - text.data());
    const char after = i + 1 < text.size() ? text[i + 1] : 0;
    size_t next = kNone;
    if (after == '/') {
      next = text.find('>', i + 2);
      if (next == kNone || depth == 0) return false;
      ++next;
      if (inContainer && depth == 2) inContainer = false;
      --depth;
      if (depth == 0) inFirstRoot = false;
      if (partStart != kNone && depth == 2) {
        out.parts.push_back({partStart, next - partStart});
        copied = next;
        partStart = kNone;
      }
    } else if (after == '?') {
      next = text.find("?>", i + 2);
      if (next != kNone) next += 2;
    } else if (StartsWith(text, i, "<!--")) {
      next = text.find("-->", i + 4);
      if (next != kNone) next += 3;
    } else if (StartsWith(text, i, "<![CDATA[")) {
      next = text.find("]]>", i + 9);
      if (next != kNone) next += 3;
    } else if (after == '!') {
      return false;  // a document type declaration or worse
    } else {
      bool empty = false;
      next = EndOfStartTag(text, i, empty);
      if (next == kNone) return false;
      // Names matter only down to the parts' level.
      if (depth <= 2) {
        size_t nameEnd = i + 1;
        while (nameEnd < next && !EndsName(text[nameEnd])) ++nameEnd;
        const std::string_view name = text.substr(i + 1, nameEnd - i - 1);
        if (name.empty()) return false;
        if (depth == 0 && !rootSeen) {
          rootSeen = true;
          inFirstRoot = !empty;
        } else if (inFirstRoot && depth == 1 && !containerSeen && name == container) {
          containerSeen = true;
          inContainer = !empty;
        } else if (inContainer && depth == 2 && name == part) {
          out.skeleton.append(text, copied, i - copied);
          if (empty) {
            out.parts.push_back({i, next - i});
            copied = next;
          } else {
            partStart = i;
          }
        }
      }
      if (!empty) ++depth;
    }
    if (next == kNone) return false;
    i = next;
  }
  if (partStart != kNone || out.parts.empty()) return false;
  out.skeleton.append(text, copied, text.size() - copied);
  return true;
}
