#include <gtest/gtest.h>

#include <climits>
#include <memory>

#include "foundation/utf16.h"
#include "foundation/ws_status.h"
#include "packet/content_query.h"
#include "packet/packet.h"
#include "packet/xml_helpers.h"
#include "xml_test_files.h"

namespace {

ClientIdentity SampleClient() {
  ClientIdentity client;
  client.swapp = L"Setup";
  client.swappVersion = L"3.1";
  client.reserved = L"never written";
  client.ownTargetOnly = 1;
  client.wrapperlib = L"Bridge";
  client.corelib = L"quillo";
  client.corelibVersion = L"17.0.0";
  return client;
}

WsXmlDocument Parse(const char* text) {
  WsXmlDocument document;
  document.LoadFromBuffer(text);
  return document;
}

const wchar_t kRootStart[] =
    L"<packet xmlns=\"http://www.quorvane.com/Schemas/KVA/2.0\" "
    L"xmlns:xsi=\"http://www.w3.org/2001/XMLSchema-instance\" "
    L"xsi:schemaLocation=\"http://www.quorvane.com/Schemas/KVA/2.0 "
    L"Schemas/Common/2.0/Packet.xsd\" schemaVersion=\"2.0\">";

using PacketFileTest = XmlTestFiles;

TEST_F(PacketFileTest, RequestPacketBytes) {
  WsContentQuery query;
  query.BeginGroup(kQueryGroupAnd);
  query.AddMetadata(L"contentType", L"NOTIFICATION", kCompareEqual);
  query.BeginGroup(kQueryGroupOr);
  query.AddMetadata(L"targetApplication", L"QVINSTALLER", kCompareEqual);
  query.EndGroup();
  query.EndGroup();
  const WsPacket packet(WsPacketHeader(SampleClient(), L"en-US"), L"contentQuery", &query);

  // Missing folders of the path are created.
  ASSERT_TRUE(packet.SaveToFile(WindowsPath("new/folder/request.xml")));
  const WsString expected =
      L"\uFEFF<?xml version=\"1.0\"?>\n" + WsString(kRootStart) +
      L"\n"
      L"\t<header>\n"
      L"\t\t<locale>en-US</locale>\n"
      L"\t\t<date />\n"
      L"\t\t<client>\n"
      L"\t\t\t<swapp version=\"3.1\">Setup</swapp>\n"
      L"\t\t\t<corelib version=\"17.0.0\">quillo</corelib>\n"
      L"\t\t\t<wrapperlib version=\"\">Bridge</wrapperlib>\n"
      L"\t\t</client>\n"
      L"\t</header>\n"
      L"\t<body>\n"
      L"\t\t<contentQuery>\n"
      L"\t\t\t<query type=\"And\">\n"
      L"\t\t\t\t<metadata field=\"contentType\">NOTIFICATION</metadata>\n"
      L"\t\t\t\t<query type=\"Or\">\n"
      L"\t\t\t\t\t<metadata field=\"targetApplication\">QVINSTALLER</metadata>\n"
      L"\t\t\t\t</query>\n"
      L"\t\t\t</query>\n"
      L"\t\t</contentQuery>\n"
      L"\t</body>\n"
      L"</packet>\n";
  const std::string bytes = Read("new/folder/request.xml");
  ASSERT_GE(bytes.size(), 4u);
  EXPECT_EQ(bytes.substr(0, 4), std::string("\xFF\xFE<\0", 4));
  EXPECT_EQ(bytes, ToUtf16LE(expected));
  EXPECT_EQ(packet.ToDocument().ToString(true, true), expected);
}

TEST(PacketTest, HeaderOnlyAndTextBodies) {
  ClientIdentity client;  // every text empty: each part is still written
  client.corelib.clear();
  client.corelibVersion.clear();
  WsPacket packet{WsPacketHeader(client, L"")};
  const WsString header =
      L"<header><locale/><date/><client><swapp version=\"\"></swapp>"
      L"<corelib version=\"\"></corelib><wrapperlib version=\"\"></wrapperlib></client></header>";
  EXPECT_EQ(packet.ToDocument().ToString(false, false),
            L"\uFEFF" + WsString(kRootStart) + header + L"</packet>");

  packet.SetBodyText(L"plain & simple");
  EXPECT_EQ(
      packet.ToDocument().ToString(false, false),
      L"\uFEFF" + WsString(kRootStart) + header + L"<body>plain &amp; simple</body></packet>");
}

TEST(PacketTest, AFailingBodyObjectFailsTheWrite) {
  WsContentQuery open;
  open.BeginGroup(kQueryGroupAnd);
  const WsPacket packet(WsPacketHeader(SampleClient(), L"en-US"), L"contentQuery", &open);
  uint32_t status = kWsOk;
  try {
    packet.ToDocument();
  } catch (const WsStatus& thrown) {
    status = thrown.code;
  }
  EXPECT_EQ(status, kWsQueryOpen);
}

const char kAnswer[] =
    "<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n"
    "<packet xmlns=\"http://www.quorvane.com/Schemas/KVA/2.0\">"
    "<header>"
    "<date>2026-12-06T02:00:00Z</date>"
    "<client><swapp version=\"3.1\">Setup</swapp><corelib version=\"17.0.0\">quillo</corelib>"
    "<wrapperlib version=\"1.2\">Bridge</wrapperlib></client>"
    "<server><status code=\" 900\">Service\r\ndown</status></server>"
    "</header>"
    "<body><catalog><item id=\"1\">one</item></catalog></body>"
    "</packet>";

TEST(PacketTest, ReadsAnAnswer) {
  const WsPacket packet(Parse(kAnswer));
  const WsPacketHeader& header = packet.Header();
  EXPECT_EQ(header.Date(), WsString(L"2026-12-06T02:00:00Z"));
  EXPECT_EQ(header.Client().swapp, WsString(L"Setup"));
  EXPECT_EQ(header.Client().swappVersion, WsString(L"3.1"));
  EXPECT_EQ(header.Client().corelib, WsString(L"quillo"));
  EXPECT_EQ(header.Client().corelibVersion, WsString(L"17.0.0"));
  EXPECT_EQ(header.Client().wrapperlib, WsString(L"Bridge"));
  EXPECT_EQ(header.Client().wrapperlibVersion, WsString(L"1.2"));
  EXPECT_EQ(header.StatusCode(), WsString(L" 900"));
  EXPECT_EQ(header.StatusText(), WsString(L"Service\r\ndown"));
  EXPECT_EQ(header.ServerCode(), 900);
  EXPECT_EQ(GetName(GetChild(packet.BodyElement(), L"catalog")), WsString(L"catalog"));
}

TEST(PacketTest, AnswersWithoutHeaderOrBody) {
  const WsPacket bare(Parse("<packet/>"));
  EXPECT_EQ(bare.Header().ServerCode(), 0);
  EXPECT_EQ(bare.Header().Date(), WsString());
  EXPECT_FALSE(IsNode(bare.BodyElement()));
  // Nothing to copy: the saved form has no "body" either.
  EXPECT_EQ(bare.ToDocument().ToString(false, false).find(L"<body"), WsString::npos);
}

TEST(PacketTest, ServerCodes) {
  struct Case {
    const char* status;  // the "server" element's content
    int32_t code;
    uint32_t mapped;  // StatusFromServerCode, for a non-zero code
  };
  const Case cases[] = {
      {"", 0, kWsOk},
      {"<status>no code</status>", 0, kWsOk},
      {"<status code=\"0\"/>", 0, kWsOk},
      {"<status code=\"OK\"/>", 0, kWsOk},
      {"<status code=\"10\"/>", 10, 0x80008006},
      {"<status code=\"100\"/>", 100, 0x80008003},
      {"<status code=\"200\"/>", 200, 0x80008003},
      {"<status code=\"300\"/>", 300, 0x80008004},
      {"<status code=\"600\"/>", 600, 0x80008004},
      {"<status code=\"700\"/>", 700, 0x80008005},
      {"<status code=\"800\"/>", 800, 0x80008005},
      {"<status code=\"900\"/>", 900, 0x80008002},
      {"<status code=\"6000\"/>", 6000, 0x80008007},
      {"<status code=\"42\"/>", 42, 0x80008001},
      {"<status code=\"\t+300 apples\"/>", 300, 0x80008004},
      {"<status code=\"-900\"/>", -900, 0x80008001},
      {"<status code=\"99999999999\"/>", INT_MAX, 0x80008001},
      {"<status code=\"-99999999999\"/>", INT_MIN, 0x80008001},
  };
  for (const Case& c : cases) {
    const std::string xml =
        std::string("<packet><header><server>") + c.status + "</server></header></packet>";
    const WsPacket packet(Parse(xml.c_str()));
    EXPECT_EQ(packet.Header().ServerCode(), c.code) << c.status;
    if (c.code != 0) {
      EXPECT_EQ(StatusFromServerCode(c.code).code, c.mapped) << c.status;
    }
  }
}

TEST_F(PacketFileTest, SavedAnswerKeepsItsBody) {
  auto packet = std::make_unique<WsPacket>(Parse(kAnswer));
  // A copy shares the parsed document: it outlives the original.
  const WsPacket copy = *packet;
  packet.reset();

  ASSERT_TRUE(copy.SaveToFile(WindowsPath("answer.xml")));
  const WsString expected = L"\uFEFF<?xml version=\"1.0\"?>\n" + WsString(kRootStart) +
                            L"\n"
                            L"\t<header>\n"
                            L"\t\t<locale />\n"
                            L"\t\t<date>2026-12-06T02:00:00Z</date>\n"
                            L"\t\t<client>\n"
                            L"\t\t\t<swapp version=\"3.1\">Setup</swapp>\n"
                            L"\t\t\t<corelib version=\"17.0.0\">quillo</corelib>\n"
                            L"\t\t\t<wrapperlib version=\"1.2\">Bridge</wrapperlib>\n"
                            L"\t\t</client>\n"
                            L"\t</header>\n"
                            L"\t<body>\n"
                            L"\t\t<catalog>\n"
                            L"\t\t\t<item id=\"1\">one</item>\n"
                            L"\t\t</catalog>\n"
                            L"\t</body>\n"
                            L"</packet>\n";
  EXPECT_EQ(Read("answer.xml"), ToUtf16LE(expected));

  // The saved file loads back into the same answer.
  WsXmlDocument reloaded;
  reloaded.LoadFromFile(WindowsPath("answer.xml"));
  const WsPacket again(reloaded);
  EXPECT_EQ(again.Header().Date(), copy.Header().Date());
  EXPECT_EQ(GetAttribute(GetChild(GetChild(again.BodyElement(), L"catalog"), L"item"), L"id"),
            WsString(L"1"));
}

TEST_F(PacketFileTest, SaveReportsFailureByItsResult) {
  Write("occupied", "a file, not a folder");
  const WsPacket packet(Parse(kAnswer));
  EXPECT_FALSE(packet.SaveToFile(WindowsPath("occupied/answer.xml")));
}

}  // namespace
