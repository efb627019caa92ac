#include <gtest/gtest.h>

#include "foundation/ws_status.h"
#include "packet/xml_document.h"
#include "packet/xml_helpers.h"
#include "packet/xml_serializable.h"

namespace {

WsXmlDocument Load(const char* text) {
  WsXmlDocument document;
  document.LoadFromBuffer(text);
  return document;
}

// The document's text without byte-order mark and declaration.
WsString Raw(const WsXmlDocument& document) {
  return document.ToString(false, false).substr(1);
}

TEST(XmlHelpersTest, GetTextRestoresWindowsLineEnds) {
  struct Case {
    const char* xml;
    const wchar_t* expected;
  };
  const Case cases[] = {
      {"<t>a\r\nb</t>", L"a\r\nb"},
      {"<t>a\nb</t>", L"a\r\nb"},
      {"<t>a\rb</t>", L"a\r\nb"},
      {"<t>\nx\n</t>", L"\r\nx\r\n"},
      {"<t>\n\n</t>", L""},  // whitespace-only text is not kept
      {"<t><![CDATA[x\r\ny]]></t>", L"x\r\ny"},
      {"<t>  padded  </t>", L"  padded  "},
      {"<t>a &amp; &#x263A;</t>", L"a & \u263A"},
      {"<t><c>inner</c>tail</t>", L"tail"},
      {"<t/>", L""},
      {"<t><c>inner</c></t>", L""},
  };
  for (const Case& c : cases) {
    WsXmlDocument document = Load(c.xml);
    EXPECT_EQ(GetText(document.Root()), WsString(c.expected)) << c.xml;
  }
  EXPECT_EQ(GetText(pugi::xml_node()), WsString());
}

TEST(XmlHelpersTest, MissingNodesReadAsEmpty) {
  WsXmlDocument document = Load("<r a=\"\"><c>one</c></r>");
  const pugi::xml_node root = document.Root();
  EXPECT_TRUE(HasAttribute(root, L"a"));
  EXPECT_EQ(GetAttribute(root, L"a"), WsString());
  EXPECT_FALSE(HasAttribute(root, L"b"));
  EXPECT_EQ(GetChildText(root, L"c"), WsString(L"one"));
  EXPECT_EQ(GetChildText(root, L"missing"), WsString());
  EXPECT_FALSE(IsNode(GetChild(root, L"C")));  // names are case-sensitive

  EXPECT_EQ(GetName(pugi::xml_node()), WsString());
}

TEST(XmlHelpersTest, ChildListsAppendInDocumentOrder) {
  WsXmlDocument document = Load("<r>text<a n=\"1\"/><b/><![CDATA[x]]><a n=\"2\"/></r>");
  const pugi::xml_node root = document.Root();

  std::vector<pugi::xml_node> nodes;
  EXPECT_EQ(GetChildElements(root, nodes), 3u);
  ASSERT_EQ(nodes.size(), 3u);
  EXPECT_EQ(GetName(nodes[1]), WsString(L"b"));

  // Lists are appended to, not replaced.
  EXPECT_EQ(GetChildrenNamed(root, L"a", nodes), 5u);
  EXPECT_EQ(GetAttribute(nodes[3], L"n"), WsString(L"1"));
  EXPECT_EQ(GetAttribute(nodes[4], L"n"), WsString(L"2"));

  std::vector<pugi::xml_node> none;
  EXPECT_EQ(GetChildrenNamed(root, L"missing", none), 0u);
  EXPECT_EQ(GetChildElements(pugi::xml_node(), none), 0u);
}

TEST(XmlHelpersTest, SetAttributeForceAndOrder) {
  struct Case {
    const wchar_t* value;
    bool force;
    const wchar_t* expected;
  };
  const Case cases[] = {
      {L"", false, L"<e a=\"1\" b=\"2\"/>"},
      {L"", true, L"<e a=\"1\" b=\"2\" c=\"\"/>"},
      {L"v", false, L"<e a=\"1\" b=\"2\" c=\"v\"/>"},
      {L"<&\">", false, L"<e a=\"1\" b=\"2\" c=\"&lt;&amp;&quot;>\"/>"},
  };
  for (const Case& c : cases) {
    WsXmlDocument document(L"e", L"");
    SetAttribute(document.Root(), L"a", L"1");
    SetAttribute(document.Root(), L"b", L"2");
    SetAttribute(document.Root(), L"c", c.value, c.force);
    EXPECT_EQ(Raw(document), WsString(c.expected)) << c.force;
  }

  // An existing attribute is changed in place; an empty value without force
  // leaves it as it was.
  WsXmlDocument document(L"e", L"");
  SetAttribute(document.Root(), L"a", L"1");
  SetAttribute(document.Root(), L"b", L"2");
  SetAttribute(document.Root(), L"a", L"3");
  SetAttribute(document.Root(), L"b", L"");
  EXPECT_EQ(Raw(document), WsString(L"<e a=\"3\" b=\"2\"/>"));
  SetAttribute(document.Root(), L"b", L"", true);
  EXPECT_EQ(Raw(document), WsString(L"<e a=\"3\" b=\"\"/>"));
}

TEST(XmlHelpersTest, TextElementsAndTextChildren) {
  struct Case {
    const wchar_t* text;
    bool force;
    const wchar_t* expected;
  };
  const Case cases[] = {
      {L"", false, L"<r/>"},
      {L"", true, L"<r><t/></r>"},
      {L"x & y", false, L"<r><t>x &amp; y</t></r>"},
  };
  for (const Case& c : cases) {
    WsXmlDocument document(L"r", L"");
    AddTextElement(document.Root(), L"t", c.text, c.force);
    EXPECT_EQ(Raw(document), WsString(c.expected)) << c.force;
  }

  // SetText always appends: a second call adds a second text child.
  WsXmlDocument document(L"r", L"");
  SetText(document.Root(), L"a");
  SetText(document.Root(), L"b");
  EXPECT_EQ(Raw(document), WsString(L"<r>ab</r>"));
  EXPECT_EQ(GetText(document.Root()), WsString(L"a"));
}

TEST(XmlHelpersTest, AppendingNodes) {
  WsXmlDocument source = Load("<src k=\"v\"><deep>text</deep></src>");
  WsXmlDocument target(L"r", L"");
  const pugi::xml_node copy = AppendCopy(target.Root(), source.Root());
  EXPECT_EQ(GetName(copy), WsString(L"src"));
  EXPECT_FALSE(IsNode(AppendCopy(target.Root(), pugi::xml_node())));
  source = WsXmlDocument();  // the copy is deep: it outlives its source
  EXPECT_EQ(Raw(target), WsString(L"<r><src k=\"v\"><deep>text</deep></src></r>"));

  // Only elements and documents take child elements.
  const pugi::xml_node text = target.Root().append_child(pugi::node_pcdata);
  EXPECT_FALSE(IsNode(AppendElement(text, L"x")));
  EXPECT_FALSE(IsNode(AppendElement(pugi::xml_node(), L"x")));
}

class Point : public WsXmlSerializable {
 public:
  void WriteXml(WsXmlDocument& document, pugi::xml_node element) const override {
    document.AddNamespace(L"p", L"urn:point");
    SetAttribute(element, L"x", L"1");
    AddTextElement(element, L"label", L"origin");
  }
};

TEST(XmlHelpersTest, AppendObjectWritesIntoANewElement) {
  WsXmlDocument document(L"r", L"");
  const pugi::xml_node element = AppendObject(document.Root(), document, L"point", Point());
  EXPECT_EQ(GetName(element), WsString(L"point"));
  EXPECT_EQ(Raw(document),
            WsString(L"<r xmlns:p=\"urn:point\"><point x=\"1\"><label>origin</label></point></r>"));
}

}  // namespace
