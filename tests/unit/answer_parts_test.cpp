// SplitAnswer: which answers are split into a skeleton and the body's
// notification elements, where the parts and their skippable "messages" lie,
// and that a split whose pieces all parse says what a parse of the whole says.
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include <pugixml.hpp>

#include "packet/answer_parts.h"

namespace {

std::string Packet(const std::string& body) {
  return "<packet><header><server><status code='0'/></server></header><body>" + body +
         "</body></packet>";
}

// ASCII text as UTF-16 code units, little- or big-endian.
std::string Utf16(const std::string& text, bool bigEndian) {
  std::string out;
  for (char c : text) {
    if (bigEndian) out += '\0';
    out += c;
    if (!bigEndian) out += '\0';
  }
  return out;
}

std::optional<AnswerParts> Split(const std::string& text, std::string_view skippable = "") {
  AnswerParts out;
  if (!SplitAnswer(text, "body", "notification", skippable, out)) return std::nullopt;
  return out;
}

std::vector<std::string> PartTexts(const std::string& text, const AnswerParts& split) {
  std::vector<std::string> texts;
  for (const AnswerPart& span : split.parts) texts.push_back(text.substr(span.offset, span.length));
  return texts;
}

// The skeleton with the parts put back at their places; empty when the spans
// are out of order or do not fit the skeleton.
std::string Reassemble(const std::string& text, const AnswerParts& split) {
  std::string out;
  size_t fromSkeleton = 0;
  size_t end = 0;  // end of the previous part in the text
  for (const AnswerPart& span : split.parts) {
    if (span.offset < end || span.length == 0 || span.offset + span.length > text.size()) return "";
    const size_t gap = span.offset - end;
    if (fromSkeleton + gap > split.skeleton.size()) return "";
    out += split.skeleton.substr(fromSkeleton, gap);
    fromSkeleton += gap;
    out += text.substr(span.offset, span.length);
    end = span.offset + span.length;
  }
  return out + split.skeleton.substr(fromSkeleton);
}

std::string Print(pugi::xml_node node) {
  std::ostringstream out;
  node.print(out, L"", pugi::format_raw | pugi::format_no_declaration, pugi::encoding_utf8);
  return out.str();
}

bool Load(pugi::xml_document& document, const std::string& text, pugi::xml_encoding encoding) {
  return document.load_buffer(text.data(), text.size(), pugi::parse_default, encoding);
}

// The contract the readers of the parts rely on: when the skeleton and every
// part parse (each part as one notification element, its skippable child
// left out), the whole text parses, to the skeleton's tree with the parts'
// elements in its body; a part then parses with its skippable child as well.
// Empty when it holds, otherwise what differs.
std::string PiecesAgreeWithWhole(const std::string& text, const AnswerParts& split) {
  pugi::xml_document skeleton;
  if (!Load(skeleton, split.skeleton, pugi::encoding_auto)) return "";
  std::vector<std::string> parts;
  for (const AnswerPart& span : split.parts) {
    if (span.skipLength != 0 && (span.skipOffset < span.offset ||
                                 span.skipOffset + span.skipLength > span.offset + span.length)) {
      return "a skippable child outside its part";
    }
    std::string part = text.substr(span.offset, span.length);
    if (span.skipLength != 0) part.erase(span.skipOffset - span.offset, span.skipLength);
    pugi::xml_document document;
    if (!Load(document, part, pugi::encoding_utf8)) return "";
    pugi::xml_node element = document.first_child();
    if (std::wstring(element.name()) != L"notification" || element.next_sibling()) return "";
    if (span.skipLength != 0) {
      if (!Load(document, text.substr(span.offset, span.length), pugi::encoding_utf8)) {
        return "a part does not parse with its skippable child " +
               text.substr(span.skipOffset, span.skipLength);
      }
      element = document.first_child();
    }
    parts.push_back(Print(element));
  }
  pugi::xml_document whole;
  if (!Load(whole, text, pugi::encoding_auto)) return "every piece parses, the whole does not";
  std::vector<std::string> wholeParts;
  pugi::xml_node body = whole.document_element().child(L"body");
  for (pugi::xml_node child = body.first_child(); child;) {
    const pugi::xml_node next = child.next_sibling();
    if (child.type() == pugi::node_element && std::wstring(child.name()) == L"notification") {
      wholeParts.push_back(Print(child));
      body.remove_child(child);
    }
    child = next;
  }
  if (wholeParts != parts) return "the parts are not the body's notifications";
  std::ostringstream a, b;
  skeleton.save(a, L"", pugi::format_raw | pugi::format_no_declaration, pugi::encoding_utf8);
  whole.save(b, L"", pugi::format_raw | pugi::format_no_declaration, pugi::encoding_utf8);
  if (a.str() != b.str()) return "the skeleton is not the rest of the whole: " + a.str();
  return "";
}

TEST(AnswerPartsTest, SplitsTheFirstBodysNotifications) {
  const std::string n = "<notification><ID>a</ID></notification>";
  const struct {
    const char* name;
    std::string text;
    std::vector<std::string> parts;
  } rows[] = {
      {"two parts",
       Packet(n + "<notification><ID>b</ID></notification>"),
       {n, "<notification><ID>b</ID></notification>"}},
      {"UTF-8 byte-order mark", "\xEF\xBB\xBF" + Packet(n), {n}},
      {"declaration naming utf-8", "<?xml version=\"1.0\" encoding=\"utf-8\"?>" + Packet(n), {n}},
      {"declaration naming UTF8", "<?xml version='1.0' encoding='UTF8'?>\n" + Packet(n), {n}},
      {"declaration without encoding", "<?xml version=\"1.0\"?>" + Packet(n), {n}},
      {"markup between parts",
       Packet("<!-- <notification> a<b --><notification/><![CDATA[ <notification> "
              "</notification> ]]><?pi <notification> > ?>text > <other><notification/></other>"
              "<notification a='1'/>"),
       {"<notification/>", "<notification a='1'/>"}},
      {"markup inside a part",
       Packet("<notification><!-- <notification> x>y --><![CDATA[<notification/> <]]>"
              "<?pi <notification>?><ID>a</ID></notification>"),
       {"<notification><!-- <notification> x>y --><![CDATA[<notification/> <]]>"
        "<?pi <notification>?><ID>a</ID></notification>"}},
      {"attribute values holding > and />",
       Packet("<notification a='x>y' b=\"/>\"><ID>a</ID></notification><notification c='/>'/>"),
       {"<notification a='x>y' b=\"/>\"><ID>a</ID></notification>", "<notification c='/>'/>"}},
      {"self-closing parts",
       Packet("<notification/><notification /><notification\ta=\"1\"/>"),
       {"<notification/>", "<notification />", "<notification\ta=\"1\"/>"}},
      {"end tag with blanks",
       Packet("<notification><ID>a</ID></notification \n>"),
       {"<notification><ID>a</ID></notification \n>"}},
      {"deeper notifications and longer names are no parts",
       "<packet><header><notification/></header><body><wrap><notification/></wrap>"
       "<notifications/><notificationx a='1'/><notification><x><notification/></x>"
       "<notifications>n</notifications></notification></body></packet>",
       {"<notification><x><notification/></x><notifications>n</notifications></notification>"}},
      {"only the root's first body",
       "<packet><header><body><notification a='h'/></body></header><body><notification a='1'/>"
       "</body><body><notification a='2'/></body></packet>",
       {"<notification a='1'/>"}},
      {"a second top-level element is no root",
       Packet("<notification a='1'/>") + "<packet><body><notification a='2'/></body></packet>",
       {"<notification a='1'/>"}},
  };
  for (const auto& row : rows) {
    const std::optional<AnswerParts> split = Split(row.text);
    ASSERT_TRUE(split) << row.name;
    EXPECT_EQ(PartTexts(row.text, *split), row.parts) << row.name;
    EXPECT_EQ(Reassemble(row.text, *split), row.text) << row.name;
    EXPECT_EQ(PiecesAgreeWithWhole(row.text, *split), "") << row.name;
  }
}

TEST(AnswerPartsTest, LeavesToTheWholeParse) {
  const std::string packet = Packet("<notification/>");
  const struct {
    const char* name;
    std::string text;
  } rows[] = {
      {"UTF-16LE byte-order mark", "\xFF\xFE" + Utf16(packet, false)},
      {"UTF-16BE byte-order mark", "\xFE\xFF" + Utf16(packet, true)},
      {"UTF-16LE without a mark", Utf16(packet, false)},
      {"zero byte first", std::string(1, '\0') + packet},
      {"zero byte after a UTF-8 mark", std::string("\xEF\xBB\xBF<\0", 5) + packet},
      {"zero byte in a part", Packet(std::string("<notification>a\0b</notification>", 33))},
      {"overlong '<' in a part", Packet("<notification><m>\xC0\xBCx/></m></notification>")},
      {"stray continuation byte", Packet("<notification/><x>\xA2</x>")},
      {"cut multi-byte character", Packet("<notification/><x>\xE2\x82</x>")},
      {"declaration naming ISO-8859-1", "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>" +
                                            Packet("<notification>\xE9</notification>")},
      {"declaration never ends", "<?xml version='1.0' encoding='utf-8'" + packet},
      {"document type declaration", "<!DOCTYPE packet>" + packet},
      {"document type declaration in the body", Packet("<notification/><!DOCTYPE x>")},
      {"no notification in the body", Packet("<other><notification/></other>")},
      {"no body", "<packet><header><notification/></header></packet>"},
      {"first body self-closing", "<packet><body/><body><notification/></body></packet>"},
      {"the root is no body", "<body><notification/></body>"},
      {"body in a second top-level element",
       "<packet><header/></packet><packet><body><notification/></body></packet>"},
      {"cut in a start tag", "<packet><body><notification/><notification a='1'"},
      {"cut in an attribute", "<packet><body><notification/><notification a='1>"},
      {"cut in an end tag", "<packet><body><notification/></body></pac"},
      {"cut in a comment", "<packet><body><notification/><!-- <a> -"},
      {"cut in a section", "<packet><body><notification/><![CDATA[ ]]"},
      {"cut in an instruction", "<packet><body><notification/><?pi ?"},
      {"unclosed part", "<packet><body><notification/><notification><ID>a</ID>"},
      {"unclosed part cut in its comment", "<packet><body><notification><!-- </notification"},
      {"end tag before any element", "</x>" + packet},
      {"element without a name", Packet("<notification/>< notification/>")},
  };
  for (const auto& row : rows) {
    EXPECT_FALSE(Split(row.text)) << row.name;
  }
}

// The first "messages" child of a part is marked skippable only where the
// part is plainly formed markup.
TEST(AnswerPartsTest, MarksPlainMessages) {
  const std::string messages =
      "<messages><message lang='9' a = \"&gt;\"><title>t &amp; u \xC3\xBC</title><!-- <x> -->"
      "<![CDATA[<y>]]><body/></message ></messages>";
  const struct {
    const char* name;
    std::string part;
    std::string skipped;
  } rows[] = {
      {"plain part", "<notification a='1'><ID>a</ID>" + messages + "<x/></notification>", messages},
      {"self-closing messages", "<notification><messages/><ID>a</ID></notification>",
       "<messages/>"},
      {"the first of two", "<notification><messages a='1'/><messages/></notification>",
       "<messages a='1'/>"},
      {"no messages", "<notification><ID>a</ID></notification>", ""},
      {"self-closing part", "<notification/>", ""},
      {"messages deeper down", "<notification><x><messages/></x></notification>", ""},
      {"a longer name", "<notification><messagesx/></notification>", ""},
      {"an instruction in the part", "<notification><?pi?>" + messages + "</notification>", ""},
      {"a mismatched end tag in the messages",
       "<notification><messages><a></b></messages></notification>", ""},
  };
  for (const auto& row : rows) {
    const std::string text = Packet(row.part + "<notification/>");
    const std::optional<AnswerParts> split = Split(text, "messages");
    ASSERT_TRUE(split) << row.name;
    ASSERT_EQ(split->parts.size(), 2u) << row.name;
    const AnswerPart& part = split->parts[0];
    EXPECT_EQ(text.substr(part.offset, part.length), row.part) << row.name;
    EXPECT_EQ(text.substr(part.skipOffset, part.skipLength), row.skipped) << row.name;
    EXPECT_EQ(Reassemble(text, *split), text) << row.name;
  }
}

// Texts where an end tag hides in other markup, the nesting is wrong or a
// character decodes to a zero: the split may give up, or give pieces that do
// not parse, but pieces that parse must tell what the whole tells.
TEST(AnswerPartsTest, PiecesThatParseAgreeWithTheWhole) {
  const std::string tail = "<severity>Info</severity></notification><notification a='2'/>";
  const std::string rows[] = {
      Packet("<notification><!-- </notification> -->" + tail),
      Packet("<notification><![CDATA[</notification>]]>" + tail),
      Packet("<notification><?pi </notification>?>" + tail),
      Packet("<notification><x a='</notification>'/>" + tail),
      Packet("<notification><x><notification><ID>n</ID></notification></x>" + tail),
      Packet("<notification><!-- </notification><notification> -->" + tail),
      Packet("<notification><!-- </notification><z><notification> -->" + tail + "</z>"),
      Packet("<notification><a></b></notification><notification/>"),
      Packet("<notification><ID>a</ID>"),
      Packet("<notification/></x><notification/>") + "<y>",
      Packet("<notification/><x>") + "</x>",
      Packet("<notification><messages><m>a\xC0\x80</m></messages></notification>"),
      Packet("<notification><messages><m>\xE0\x80\x80</m></messages></notification>"),
      Packet("<notification><messages><m t='\xF0\x80\x80\x80'/></messages></notification>"),
      Packet("<notification><messages><!-- \xC0\x80 --></messages></notification>"),
      // Bytes the decoding drops join a name the bytes do not show.
      Packet("<notification/><notificatio\xA2n/>"),
      Packet("<notification><messages><m>\xC0\xBCx/></m></messages></notification>"),
  };
  for (const std::string& text : rows) {
    for (const char* skippable : {"", "messages"}) {
      const std::optional<AnswerParts> split = Split(text, skippable);
      if (!split) continue;
      EXPECT_EQ(Reassemble(text, *split), text) << skippable << ": " << text;
      EXPECT_EQ(PiecesAgreeWithWhole(text, *split), "") << skippable << ": " << text;
    }
  }
}

}  // namespace
