// Splitting a large answer into parts that are parsed a few at a time: the
// elements of one name directly under the root's first element of another
// name ("notification" elements in the "body" of a packet), and the rest of
// the text, the skeleton. An answer holding thousands of notifications is then
// never held as one parsed tree.
//
// The split only finds where elements begin and end; it checks nothing else.
// The parser checks every piece, and a split whose pieces do not all parse
// must be given up for a parse of the whole text, which then decides.
//
// Within a part, one child element may be marked as skippable: the part was
// read as plainly formed markup from its start to that child's end (ASCII
// names, matching end tags, quoted attribute values, text, comments and CDATA
// sections, nothing else). Whatever is read that way the parser accepts as
// well, so the child may be left out of what is parsed and still count as
// well formed.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

struct AnswerPart {
  size_t offset = 0;  // where the part lies in the answer
  size_t length = 0;
  size_t skipOffset = 0;  // where its skippable child lies; length 0 when none
  size_t skipLength = 0;
};

struct AnswerParts {
  // The answer without the parts, byte for byte otherwise.
  std::string skeleton;
  // The parts in document order.
  std::vector<AnswerPart> parts;
};

// Splits UTF-8 text (with or without its byte-order mark), marking in each
// part its first child named `skippable` (when not empty) where it can. False,
// with `out` unspecified, when the text is not UTF-8 by its start (another
// byte-order mark, a declaration naming another encoding), holds a zero byte
// or anything that is not proper UTF-8,
// a document type declaration or markup the split does not know, is cut off
// inside markup, or holds no part at all: the caller parses it whole.
bool SplitAnswer(const std::string& text, std::string_view container, std::string_view part,
                 std::string_view skippable, AnswerParts& out);

// A child element of a skippable child, as ListPlainChildren finds it.
struct PlainChild {
  std::string_view text;       // the whole element
  std::string_view attribute;  // the value asked for, as the parser gives it
  bool hasAttribute = false;
};

// The elements named `name` directly inside `element`, a skippable child
// that SplitAnswer marked in `text`, in document order, each with the value
// of its first attribute called `attribute`. False when such a value would
// not read as its bytes (a reference, a tab or line end, a byte beyond ASCII):
// the caller then parses the element.
bool ListPlainChildren(const std::string& text, std::string_view element, std::string_view name,
                       std::string_view attribute, std::vector<PlainChild>& out);
