// Splitting a large answer into parts that are parsed one at a time: the
// elements of one name directly under the root's first element of another
// name ("notification" elements in the "body" of a packet), and the rest of
// the text, the skeleton. An answer holding thousands of notifications is then
// never held as one parsed tree.
//
// The split only finds where elements begin and end; it checks nothing else.
// The parser checks every piece, and a split whose pieces do not all parse
// must be given up for a parse of the whole text, which then decides.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

struct AnswerParts {
  struct Span {
    size_t offset = 0;
    size_t length = 0;
  };
  // The answer without the parts, byte for byte otherwise.
  std::string skeleton;
  // Where each part lies in the answer, in document order.
  std::vector<Span> parts;
};

// Splits UTF-8 text (with or without its byte-order mark). False, with
// `out` unspecified, when the text is not UTF-8 by its start (another
// byte-order mark, zero bytes, a declaration naming another encoding), holds a
// document type declaration or markup the split does not know, is cut off
// inside markup, or holds no part at all: the caller parses it whole.
bool SplitAnswer(std::string_view text, std::string_view container, std::string_view part,
                 AnswerParts& out);
