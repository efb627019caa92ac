#include <gtest/gtest.h>

#include <memory>

#include "foundation/utf16.h"
#include "foundation/ws_status.h"
#include "packet/xml_document.h"
#include "packet/xml_helpers.h"
#include "xml_test_files.h"

namespace {

uint32_t LoadStatus(WsXmlDocument& document, const std::string& bytes) {
  try {
    document.LoadFromBuffer(bytes);
  } catch (const WsStatus& status) {
    return status.code;
  }
  return kWsOk;
}

WsXmlDocument SampleDocument() {
  WsXmlDocument document(L"packet", L"urn:sample");
  pugi::xml_node a = AppendElement(document.Root(), L"a");
  SetAttribute(a, L"b", L"1");
  SetText(a, L"text");
  AppendElement(document.Root(), L"empty");
  AppendElement(AppendElement(document.Root(), L"outer"), L"inner");
  return document;
}

TEST(XmlDocumentTest, SerialisesEachFlagCombination) {
  const WsXmlDocument document = SampleDocument();
  struct Case {
    bool indent;
    bool declaration;
    const wchar_t* expected;
  };
  const Case cases[] = {
      {true, true,
       L"\uFEFF<?xml version=\"1.0\"?>\n"
       L"<packet xmlns=\"urn:sample\">\n"
       L"\t<a b=\"1\">text</a>\n"
       L"\t<empty />\n"
       L"\t<outer>\n"
       L"\t\t<inner />\n"
       L"\t</outer>\n"
       L"</packet>\n"},
      {false, true,
       L"\uFEFF<?xml version=\"1.0\"?><packet xmlns=\"urn:sample\"><a b=\"1\">text</a><empty/>"
       L"<outer><inner/></outer></packet>"},
      {true, false,
       L"\uFEFF<packet xmlns=\"urn:sample\">\n"
       L"\t<a b=\"1\">text</a>\n"
       L"\t<empty />\n"
       L"\t<outer>\n"
       L"\t\t<inner />\n"
       L"\t</outer>\n"
       L"</packet>\n"},
      {false, false,
       L"\uFEFF<packet xmlns=\"urn:sample\"><a b=\"1\">text</a><empty/><outer><inner/></outer>"
       L"</packet>"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(document.ToString(c.indent, c.declaration), WsString(c.expected))
        << "indent=" << c.indent << " declaration=" << c.declaration;
  }
  EXPECT_FALSE(document.IsLoaded());
}

TEST(XmlDocumentTest, EmptyDocumentSerialisesToNothing) {
  WsXmlDocument document;
  EXPECT_FALSE(IsNode(document.Root()));
  EXPECT_EQ(document.ToString(true, true), WsString());
}

TEST(XmlDocumentTest, BytesAreUtf16LittleEndianOnEveryBuild) {
  WsXmlDocument document(L"a", L"");
  SetAttribute(document.Root(), L"x", L"\u00E9");
  SetText(document.Root(), L"\U0001F600");  // beyond the BMP: a surrogate pair
  static const char kExpected[] =
      "\xFF\xFE"
      "<\0a\0 \0x\0=\0\"\0\xE9\0\"\0>\0"
      "\x3D\xD8\x00\xDE"
      "<\0/\0a\0>\0";
  EXPECT_EQ(ToUtf16LE(document.ToString(false, false)),
            std::string(kExpected, sizeof(kExpected) - 1));
}

TEST(XmlDocumentTest, NamespacesGoOnTheRoot) {
  WsXmlDocument document(L"r", L"");
  document.AddNamespace(L"xsi", L"urn:instance");
  document.AddNamespace(L"none", L"");
  EXPECT_EQ(document.ToString(false, false), WsString(L"\uFEFF<r xmlns:xsi=\"urn:instance\"/>"));
}

std::string Utf16LEWithBom(const wchar_t* text) {
  return "\xFF\xFE" + ToUtf16LE(WsString(text));
}

TEST(XmlDocumentTest, LoadDetectsTheEncoding) {
  struct Case {
    const char* label;
    std::string bytes;
  };
  const Case cases[] = {
      {"UTF-8 without declaration", "<r a=\"\xC3\xA9\">\xC3\xA9</r>"},
      {"UTF-8 with byte-order mark", "\xEF\xBB\xBF<r a=\"\xC3\xA9\">\xC3\xA9</r>"},
      {"UTF-16LE with byte-order mark", Utf16LEWithBom(L"<r a=\"\u00E9\">\u00E9</r>")},
      {"UTF-16LE with declaration",
       Utf16LEWithBom(
           L"<?xml version=\"1.0\" encoding=\"utf-16\"?>\r\n<r a=\"\u00E9\">\u00E9</r>")},
      {"Latin-1 by declaration",
       "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?><r a=\"\xE9\">\xE9</r>"},
  };
  for (const Case& c : cases) {
    WsXmlDocument document;
    ASSERT_EQ(LoadStatus(document, c.bytes), kWsOk) << c.label;
    EXPECT_TRUE(document.IsLoaded()) << c.label;
    EXPECT_EQ(GetName(document.Root()), WsString(L"r")) << c.label;
    EXPECT_EQ(GetAttribute(document.Root(), L"a"), WsString(L"\u00E9")) << c.label;
    EXPECT_EQ(GetText(document.Root()), WsString(L"\u00E9")) << c.label;
  }
}

TEST(XmlDocumentTest, LoadFailuresLeaveTheDocumentEmpty) {
  struct Case {
    const char* label;
    std::string bytes;
    uint32_t status;
  };
  const Case cases[] = {
      {"empty buffer", "", kWsXmlNoRoot},
      {"comment only", "<!-- nothing else -->", kWsXmlNoRoot},
      {"declaration only", "<?xml version=\"1.0\"?>", kWsXmlNoRoot},
      {"mismatched end tag", "<a><b></a>", kWsXmlUnreadable},
      {"unterminated start tag", "<a", kWsXmlUnreadable},
      {"unclosed element", "<a><b/>", kWsXmlUnreadable},
      {"bad attribute", "<a b=1/>", kWsXmlUnreadable},
  };
  for (const Case& c : cases) {
    // Start from a loaded document: a failed load must not keep the old one.
    WsXmlDocument document;
    ASSERT_EQ(LoadStatus(document, "<old/>"), kWsOk);
    EXPECT_EQ(LoadStatus(document, c.bytes), c.status) << c.label;
    EXPECT_FALSE(document.IsLoaded()) << c.label;
    EXPECT_FALSE(IsNode(document.Root())) << c.label;
    EXPECT_EQ(document.ToString(false, false), WsString()) << c.label;
  }
}

TEST(XmlDocumentTest, LoadReplacesABuiltDocument) {
  WsXmlDocument document(L"built", L"urn:x");
  WsXmlDocument copy = document;
  ASSERT_EQ(LoadStatus(document, "<loaded/>"), kWsOk);
  EXPECT_EQ(GetName(document.Root()), WsString(L"loaded"));
  // The copy keeps the document it shared before the load.
  EXPECT_EQ(GetName(copy.Root()), WsString(L"built"));
  EXPECT_FALSE(copy.IsLoaded());
}

TEST(XmlDocumentTest, CopiesShareOneDocument) {
  auto first = std::make_unique<WsXmlDocument>(L"r", L"");
  WsXmlDocument copy(*first);
  AppendElement(first->Root(), L"added");
  EXPECT_TRUE(IsNode(GetChild(copy.Root(), L"added")));

  WsXmlDocument assigned;
  ASSERT_EQ(LoadStatus(assigned, "<other/>"), kWsOk);
  assigned = copy;
  EXPECT_FALSE(assigned.IsLoaded());
  EXPECT_EQ(assigned.Root(), copy.Root());
  assigned = assigned;  // self-assignment keeps the document

  // The first holder goes away; the others' handles stay valid.
  first.reset();
  AppendElement(assigned.Root(), L"later");
  EXPECT_EQ(copy.ToString(false, false), WsString(L"\uFEFF<r><added/><later/></r>"));
}

using XmlFileTest = XmlTestFiles;

TEST_F(XmlFileTest, LoadsFromAWindowsPath) {
  Write("answer.xml", Utf16LEWithBom(L"<packet><body>x\r\ny</body></packet>"));
  WsXmlDocument document;
  document.LoadFromFile(WindowsPath("answer.xml"));
  EXPECT_TRUE(document.IsLoaded());
  EXPECT_EQ(GetChildText(document.Root(), L"body"), WsString(L"x\r\ny"));
}

TEST_F(XmlFileTest, UnreadableOrEmptyFilesFail) {
  Write("empty.xml", "");
  struct Case {
    const char* name;
    uint32_t status;
  };
  const Case cases[] = {{"missing.xml", kWsXmlUnreadable}, {"empty.xml", kWsXmlNoRoot}};
  for (const Case& c : cases) {
    WsXmlDocument document;
    uint32_t status = kWsOk;
    try {
      document.LoadFromFile(WindowsPath(c.name));
    } catch (const WsStatus& thrown) {
      status = thrown.code;
    }
    EXPECT_EQ(status, c.status) << c.name;
    EXPECT_FALSE(document.IsLoaded()) << c.name;
  }
}

}  // namespace
