// Differential fuzz target of reading an answer in parts: the input is the
// content of an answer's body. Whenever the split pieces all parse (the
// skeleton, and every part with its skippable "messages" child left out),
// the whole answer must parse too, hold the same notifications, and each of
// them must be the same element as its part once that child is taken out
// (their own texts aside).
// Anything else is a finding (abort).
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <sstream>
#include <string>

#include <pugixml.hpp>

#include "packet/answer_parts.h"

namespace {

bool Parse(pugi::xml_document& document, const std::string& text) {
  return static_cast<bool>(
      document.load_buffer(text.data(), text.size(), pugi::parse_default, pugi::encoding_utf8));
}

// The element as text, without its own text children: leaving a child out
// joins the texts around it, and a blank text that was dropped beside the
// child is kept once joined. The library never reads a notification's own
// text, only its children.
std::wstring Raw(pugi::xml_node node) {
  for (pugi::xml_node child = node.first_child(); child;) {
    const pugi::xml_node next = child.next_sibling();
    if (child.type() == pugi::node_pcdata) node.remove_child(child);
    child = next;
  }
  std::wostringstream out;
  node.print(out, L"", pugi::format_raw);
  return out.str();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string text = "<packet><header/><body>" +
                           std::string(reinterpret_cast<const char*>(data), size) +
                           "</body></packet>";
  AnswerParts split;
  if (!SplitAnswer(text, "body", "notification", "messages", split)) return 0;

  pugi::xml_document skeleton;
  if (!Parse(skeleton, split.skeleton)) return 0;
  std::vector<pugi::xml_document> shells(split.parts.size());
  for (size_t i = 0; i < split.parts.size(); ++i) {
    const AnswerPart& part = split.parts[i];
    std::string shell = text.substr(part.offset, part.length);
    if (part.skipLength != 0) shell.erase(part.skipOffset - part.offset, part.skipLength);
    if (!Parse(shells[i], shell)) return 0;
    const pugi::xml_node element = shells[i].first_child();
    if (element.type() != pugi::node_element || element.next_sibling()) return 0;
  }

  // Every piece parsed: the whole must, with the same notifications.
  pugi::xml_document whole;
  if (!Parse(whole, text)) std::abort();
  size_t i = 0;
  for (pugi::xml_node node = whole.first_child().child(L"body").child(L"notification"); node;
       node = node.next_sibling(L"notification"), ++i) {
    if (i == split.parts.size()) std::abort();
    if (split.parts[i].skipLength != 0) {
      const pugi::xml_node messages = node.child(L"messages");
      if (!messages) std::abort();
      node.remove_child(messages);
    }
    if (Raw(node) != Raw(shells[i].first_child())) std::abort();
  }
  if (i != split.parts.size()) std::abort();
  return 0;
}
