#include "packet/answer_parts.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <functional>
#include <vector>

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

// Whether the parser's decoding could see other characters than the bytes
// show: a zero byte (which ends its reading wherever it stands), or anything
// that is not proper UTF-8, whose bytes the decoding drops or turns into
// other characters (an overlong sequence into a zero or a '<'). Names read
// from the bytes then match the parser's names exactly. 32 bytes at a time
// while they are plain ASCII without a zero.
bool HidesCharacters(std::string_view text) {
  const auto* p = reinterpret_cast<const unsigned char*>(text.data());
  const unsigned char* const end = p + text.size();
  constexpr uint64_t kOnes = 0x0101010101010101ULL;
  constexpr uint64_t kHighs = 0x8080808080808080ULL;
  const auto continues = [&](size_t at, unsigned char low, unsigned char high) {
    return p + at < end && p[at] >= low && p[at] <= high;
  };
  while (p < end) {
    if (end - p >= 32) {
      uint64_t words[4];
      std::memcpy(words, p, 32);
      uint64_t flags = 0;
      for (const uint64_t word : words) flags |= word | ((word - kOnes) & ~word);
      if ((flags & kHighs) == 0) {
        p += 32;
        continue;
      }
    }
    const unsigned char c = *p;
    size_t length = 1;
    if (c == 0) return true;
    if (c >= 0x80) {
      bool proper = false;
      if (c >= 0xC2 && c <= 0xDF) {
        proper = continues(1, 0x80, 0xBF);
        length = 2;
      } else if (c >= 0xE0 && c <= 0xEF) {
        const unsigned char low = c == 0xE0 ? 0xA0 : 0x80;
        const unsigned char high = c == 0xED ? 0x9F : 0xBF;
        proper = continues(1, low, high) && continues(2, 0x80, 0xBF);
        length = 3;
      } else if (c >= 0xF0 && c <= 0xF4) {
        const unsigned char low = c == 0xF0 ? 0x90 : 0x80;
        const unsigned char high = c == 0xF4 ? 0x8F : 0xBF;
        proper = continues(1, low, high) && continues(2, 0x80, 0xBF) && continues(3, 0x80, 0xBF);
        length = 4;
      }
      if (!proper) return true;
    }
    p += length;
  }
  return false;
}

// Finds the end tag "</" + name (blanks allowed before its '>') from `from`
// on. A part's end is looked for straight away, without reading what lies
// between: an end tag met inside a comment, a section, an attribute or a
// nested element of the same name cuts the part short, and the cut part then
// fails to parse, which sends the answer to a whole parse. Past the '>', or
// npos.
class EndTagFinder {
 public:
  explicit EndTagFinder(std::string_view name)
      : needle_("</" + std::string(name)), searcher_(needle_.begin(), needle_.end()) {}

  size_t Find(std::string_view text, size_t from) const {
    const char* const end = text.data() + text.size();
    const char* p = text.data() + from;
    for (;;) {
      p = std::search(p, end, searcher_);
      if (p == end) return std::string_view::npos;
      const char* q = p + needle_.size();
      while (q < end && (*q == ' ' || *q == '\t' || *q == '\r' || *q == '\n')) ++q;
      if (q < end && *q == '>') return static_cast<size_t>(q + 1 - text.data());
      if (q != p + needle_.size()) return std::string_view::npos;  // not a well-formed end tag
      ++p;                                                         // a longer name
    }
  }

 private:
  std::string needle_;
  std::boyer_moore_horspool_searcher<std::string::const_iterator> searcher_;
};

// Character classes of the plain reader: ASCII names only.
constexpr unsigned char kNameStart = 1;
constexpr unsigned char kNameChar = 2;
constexpr unsigned char kBlank = 4;

struct CharClasses {
  unsigned char of[256];
  constexpr CharClasses() : of{} {
    for (int c = 'a'; c <= 'z'; ++c) of[c] = kNameStart | kNameChar;
    for (int c = 'A'; c <= 'Z'; ++c) of[c] = kNameStart | kNameChar;
    of[static_cast<int>('_')] = of[static_cast<int>(':')] = kNameStart | kNameChar;
    for (int c = '0'; c <= '9'; ++c) of[c] = kNameChar;
    of[static_cast<int>('-')] = of[static_cast<int>('.')] = kNameChar;
    for (char c : {' ', '\t', '\r', '\n'}) of[static_cast<int>(c)] = kBlank;
  }
};
constexpr CharClasses kClasses;

// Reads plainly formed markup (see the header). Every position it returns is
// npos when what it read is not plain.
class PlainReader {
 public:
  // The text ends with the zero every std::string keeps after its last
  // character, and holds no other zero (see HidesCharacters): the scans below
  // stop there without checking their position against the end.
  explicit PlainReader(const std::string& text) : text_(text), begin_(text.c_str()) {}

  // The start tag whose '<' is at i: its name, whether it is empty (ends
  // with "/>"), and the position past it.
  size_t StartTag(size_t i, std::string_view& name, bool& empty) const {
    const char* p = begin_ + i + 1;
    if (!Is(*p, kNameStart)) return kNone;
    while (Is(*++p, kNameChar)) {
    }
    name = std::string_view(begin_ + i + 1, static_cast<size_t>(p - begin_ - i - 1));
    for (;;) {
      if (*p == '>') {
        empty = false;
        return static_cast<size_t>(p + 1 - begin_);
      }
      if (*p == '/') {
        if (p[1] != '>') return kNone;
        empty = true;
        return static_cast<size_t>(p + 2 - begin_);
      }
      // An attribute, after at least one blank.
      if (!Is(*p, kBlank)) return kNone;
      while (Is(*++p, kBlank)) {
      }
      if (*p == '>' || *p == '/') continue;
      if (!Is(*p, kNameStart)) return kNone;
      while (Is(*++p, kNameChar)) {
      }
      while (Is(*p, kBlank)) ++p;
      if (*p != '=') return kNone;
      while (Is(*++p, kBlank)) {
      }
      if (*p != '"' && *p != '\'') return kNone;
      const size_t close = Find(static_cast<size_t>(p + 1 - begin_), *p);
      if (close == kNone) return kNone;
      p = begin_ + close + 1;
      if (!Is(*p, kBlank) && *p != '/' && *p != '>') return kNone;
    }
  }

  // The end tag whose '<' is at i, which must close `name`; past its '>'.
  size_t EndTag(size_t i, std::string_view name) const {
    const char* p = begin_ + i + 2;
    // Names are short: compared here rather than by a call. A mismatch
    // stops at the final zero at the latest.
    for (const char c : name) {
      if (*p++ != c) return kNone;
    }
    while (Is(*p, kBlank)) ++p;
    if (*p != '>') return kNone;
    return static_cast<size_t>(p + 1 - begin_);
  }

  // The content of the elements in `names` (innermost last) from i, up to and
  // past the end tag of the element at depth `outer` (names.size() when
  // called). With `child`, stops instead at the first start tag of that name
  // directly inside that element, and returns its position with `found` set.
  size_t Content(size_t i, std::vector<std::string_view>& names, size_t outer,
                 std::string_view child, bool& found) const {
    found = false;
    const char* const begin = begin_;
    const size_t size = text_.size();
    for (;;) {
      // Tags often follow each other directly, text often is short.
      if (i >= size) return kNone;
      if (begin[i] != '<') {
        i = Find(i + 1, '<');
        if (i == kNone) return kNone;
      }
      const char after = i + 1 < size ? begin[i + 1] : 0;
      if (after == '/') {
        i = EndTag(i, names.back());
        if (i == kNone) return kNone;
        names.pop_back();
        if (names.size() < outer) return i;
      } else if (after == '!') {
        if (StartsWith(text_, i, "<!--")) {
          i = text_.find("-->", i + 4);
        } else if (StartsWith(text_, i, "<![CDATA[")) {
          i = text_.find("]]>", i + 9);
        } else {
          return kNone;
        }
        if (i == kNone) return kNone;
        i += 3;
      } else {
        std::string_view name;
        bool empty = false;
        const size_t next = StartTag(i, name, empty);
        if (next == kNone) return kNone;
        if (names.size() == outer && !child.empty() && name == child) {
          found = true;
          return i;
        }
        if (!empty) names.push_back(name);
        i = next;
      }
    }
  }

  // The value of the first attribute called `name` of the start tag at
  // [i, end), which StartTag read (so its syntax needs no checking here).
  bool AttributeValue(size_t i, size_t end, std::string_view name, std::string_view& value) const {
    const char* p = begin_ + i + 1;
    while (Is(*p, kNameChar)) ++p;
    const char* const stop = begin_ + end;
    while (p < stop) {
      while (Is(*p, kBlank)) ++p;
      if (*p == '>' || *p == '/') return false;
      const char* const nameStart = p;
      while (Is(*p, kNameChar)) ++p;
      const std::string_view attribute(nameStart, static_cast<size_t>(p - nameStart));
      while (*p != '"' && *p != '\'') ++p;  // past the blanks and the '='
      const size_t closeAt = Find(static_cast<size_t>(p + 1 - begin_), *p);
      if (closeAt == kNone) return false;
      const char* const close = begin_ + closeAt;
      if (attribute == name) {
        value = std::string_view(p + 1, static_cast<size_t>(close - p - 1));
        return true;
      }
      p = close + 1;
    }
    return false;
  }

  // The part element whose content starts at i (its start tag read, not
  // empty): past its end, and the span of its first `child` when the part
  // is plain up to that child's end.
  size_t Part(size_t i, std::string_view name, std::string_view child, AnswerPart& part) {
    names_.assign(1, name);
    bool found = false;
    i = Content(i, names_, 1, child, found);
    if (i == kNone || !found) return i;
    std::string_view childName;
    bool empty = false;
    size_t end = StartTag(i, childName, empty);
    if (end != kNone && !empty) {
      names_.push_back(childName);
      end = Content(end, names_, 2, std::string_view(), found);
    }
    if (end == kNone) return kNone;
    part.skipOffset = i;
    part.skipLength = end - i;
    return Content(end, names_, 1, std::string_view(), found);
  }

 private:
  static constexpr size_t kNone = std::string_view::npos;

  // The first c at or after i: up to 32 bytes looked at eight at a time
  // here, the rest by memchr, whose call costs more than a short scan.
  size_t Find(size_t i, char c) const {
    const size_t size = text_.size();
    constexpr uint64_t kOnes = 0x0101010101010101ULL;
    constexpr uint64_t kHighs = 0x8080808080808080ULL;
    const uint64_t pattern = kOnes * static_cast<unsigned char>(c);
    for (int words = 0; words < 4 && i + 8 <= size; ++words, i += 8) {
      uint64_t word;
      std::memcpy(&word, begin_ + i, 8);
      word ^= pattern;  // a zero byte where c is
      // The lowest flagged byte is the first zero (little-endian order).
      const uint64_t zeros = (word - kOnes) & ~word & kHighs;
      if (zeros != 0) return i + static_cast<size_t>(__builtin_ctzll(zeros) >> 3);
    }
    if (i >= size) return kNone;
    const void* found = std::memchr(begin_ + i, c, size - i);
    return found == nullptr ? kNone : static_cast<size_t>(static_cast<const char*>(found) - begin_);
  }

  static bool Is(char c, unsigned char kind) {
    return (kClasses.of[static_cast<unsigned char>(c)] & kind) != 0;
  }
  std::string_view text_;
  const char* begin_;
  std::vector<std::string_view> names_;  // the open elements, reused from part to part
};

}  // namespace

bool ListPlainChildren(const std::string& text, std::string_view element, std::string_view name,
                       std::string_view attribute, std::vector<PlainChild>& out) {
  out.clear();
  constexpr size_t kNone = std::string_view::npos;
  if (element.empty() || element.data() < text.data() ||
      element.data() + element.size() > text.data() + text.size()) {
    return false;
  }
  const size_t start = static_cast<size_t>(element.data() - text.data());
  const size_t end = start + element.size();
  PlainReader reader(text);
  std::string_view elementName;
  bool empty = false;
  size_t i = reader.StartTag(start, elementName, empty);
  if (i == kNone) return false;
  if (empty) return i == end;
  std::vector<std::string_view> names{elementName};
  for (;;) {
    bool found = false;
    i = reader.Content(i, names, 1, name, found);
    if (i == kNone) return false;
    if (!found) return i == end;
    std::string_view childName;
    bool childEmpty = false;
    size_t next = reader.StartTag(i, childName, childEmpty);
    if (next == kNone) return false;
    PlainChild child;
    child.hasAttribute = reader.AttributeValue(i, next, attribute, child.attribute);
    // The parser replaces references and white space in attribute values,
    // and decodes what is beyond ASCII: such a value is not its bytes.
    for (const char c : child.attribute) {
      if (c == '&' || c == '\t' || c == '\n' || c == '\r' ||
          static_cast<unsigned char>(c) >= 0x80) {
        return false;
      }
    }
    if (!childEmpty) {
      names.push_back(childName);
      next = reader.Content(next, names, 2, std::string_view(), found);
      if (next == kNone) return false;
    }
    child.text = std::string_view(text).substr(i, next - i);
    out.push_back(child);
    i = next;
  }
}

bool SplitAnswer(const std::string& answer, std::string_view container, std::string_view part,
                 std::string_view skippable, AnswerParts& out) {
  const std::string_view text(answer);
  out.skeleton.clear();
  out.parts.clear();
  size_t i = 0;
  if (!IsUtf8(text, i)) return false;
  // A part's child may be passed over unparsed, so the parser must not see
  // anything there that the plain reading does not.
  if (HidesCharacters(text)) return false;

  constexpr size_t kNone = std::string_view::npos;
  size_t depth = 0;          // elements open at i
  bool inFirstRoot = false;  // depth >= 1 counts inside the first root element
  bool rootSeen = false;
  bool containerSeen = false;  // the first container under the root was found
  bool inContainer = false;    // and is open at depth 2
  const EndTagFinder partEnd(part);
  PlainReader reader(answer);
  size_t copied = 0;  // text before this is in the skeleton
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
          AnswerPart found;
          found.offset = i;
          if (!empty) {
            // Read plainly where it can be, else only its end looked for.
            const size_t plainEnd = reader.Part(next, name, skippable, found);
            if (plainEnd != kNone) {
              next = plainEnd;
            } else {
              found.skipLength = 0;
              next = partEnd.Find(text, next);
              if (next == kNone) return false;
            }
          }
          found.length = next - i;
          out.parts.push_back(found);
          copied = next;
          i = next;
          continue;
        }
      }
      if (!empty) ++depth;
    }
    if (next == kNone) return false;
    i = next;
  }
  if (out.parts.empty()) return false;
  out.skeleton.append(text, copied, text.size() - copied);
  return true;
}
