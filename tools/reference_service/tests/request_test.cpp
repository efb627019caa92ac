#include <gtest/gtest.h>

#include <fstream>

#include "accept_encoding.h"
#include "content_query.h"
#include "document_metadata.h"
#include "request_handler.h"
#include "service_test_support.h"
#include "support/temp_dir.h"

namespace ravenlink_service {
namespace {

TEST(RequestPacketTest, ReadsTheClientsUtf16PacketIntoAQueryTree) {
  const RequestPacket packet = ParseRequestPacket(Utf16LeWithBom(
      ClientQueryPacket({"METAINSTALLER", "QVINSTALLER"},
                        "<metadata compareType=\"NotEqual\" field=\"upc\">{P1}</metadata>")));
  EXPECT_EQ(packet.locale, L"en-us");
  ASSERT_TRUE(packet.client.present);
  EXPECT_EQ(packet.client.swapp.name, L"App");
  EXPECT_EQ(packet.client.swapp.version, L"1.0");
  EXPECT_EQ(packet.client.wrapperlib.name, L"METAINSTALLER");

  const QueryGroup& root = packet.query;
  EXPECT_FALSE(root.isOr);
  ASSERT_EQ(root.comparisons.size(), 2u);
  EXPECT_EQ(root.comparisons[0].field, L"contentType");
  EXPECT_EQ(root.comparisons[0].value, L"NOTIFICATION");
  EXPECT_EQ(root.comparisons[0].compare, CompareType::kEqual);
  ASSERT_EQ(root.groups.size(), 2u);
  EXPECT_TRUE(root.groups[0].isOr);
  EXPECT_EQ(root.groups[0].comparisons.size(), 2u);
  ASSERT_EQ(root.groups[1].comparisons.size(), 1u);
  EXPECT_EQ(root.groups[1].comparisons[0].compare, CompareType::kNotEqual);
  EXPECT_EQ(root.groups[1].comparisons[0].value, L"{P1}");
}

std::string Packet(const std::string& body) {
  return "<packet><header/><body>" + body + "</body></packet>";
}

TEST(RequestPacketTest, EveryCompareTypeOfTheQueryLanguageIsRead) {
  const struct {
    const char* text;
    CompareType type;
  } rows[] = {
      {"NotEqual", CompareType::kNotEqual},
      {"Contains", CompareType::kContains},
      {"GreaterThan", CompareType::kGreaterThan},
      {"GreaterThanEqual", CompareType::kGreaterThanEqual},
      {"LessThan", CompareType::kLessThan},
      {"LessThanEqual", CompareType::kLessThanEqual},
  };
  for (const auto& row : rows) {
    const RequestPacket packet = ParseRequestPacket(
        Packet(std::string("<contentQuery><query type=\"Or\"><metadata compareType=\"") + row.text +
               "\" field=\"f\">v</metadata></query></contentQuery>"));
    ASSERT_EQ(packet.query.comparisons.size(), 1u) << row.text;
    EXPECT_EQ(packet.query.comparisons[0].compare, row.type) << row.text;
  }
}

TEST(RequestPacketTest, MalformedRequestsAreRejectedWithStatus300) {
  std::string deep = "<metadata field=\"a\">b</metadata>";
  for (int i = 0; i <= kMaxQueryDepth; ++i) deep = "<query type=\"And\">" + deep + "</query>";
  const struct {
    const char* name;
    std::string bytes;
  } rows[] = {
      {"empty", ""},
      {"not XML", "packet"},
      {"truncated", "<packet><body><contentQuery><query type=\"And\">"},
      {"other root",
       "<request><body><contentQuery><query type=\"And\"/></contentQuery></body>"
       "</request>"},
      {"no body", "<packet><header/></packet>"},
      {"no contentQuery", Packet("<query type=\"And\"/>")},
      {"no query", Packet("<contentQuery/>")},
      {"group type", Packet("<contentQuery><query type=\"Xor\"/></contentQuery>")},
      {"group type case", Packet("<contentQuery><query type=\"and\"/></contentQuery>")},
      {"compareType", Packet("<contentQuery><query type=\"And\"><metadata field=\"a\" "
                             "compareType=\"Equals\">b</metadata></query></contentQuery>")},
      {"no field", Packet("<contentQuery><query type=\"And\"><metadata>b</metadata></query>"
                          "</contentQuery>")},
      {"stray element", Packet("<contentQuery><query type=\"And\"><meta field=\"a\"/></query>"
                               "</contentQuery>")},
      {"too deep", Packet("<contentQuery>" + deep + "</contentQuery>")},
  };
  for (const auto& row : rows) {
    try {
      ParseRequestPacket(row.bytes);
      ADD_FAILURE() << row.name << " was accepted";
    } catch (const RequestError& error) {
      EXPECT_EQ(error.code, kStatusMalformedRequest) << row.name;
      EXPECT_FALSE(error.message.empty()) << row.name;
    }
  }
}

TEST(DocumentMetadataTest, FieldsComeFromTheDocumentAndFromItsMetadataElement) {
  pugi::xml_document document;
  ASSERT_TRUE(
      document.load_string(LR"(
    <notification minEngineVersion="17.0">
      <metadata>
        <field name="status">test</field>
        <field name="status">live</field>
        <field name="region"> eu </field>
        <field>ignored without a name</field>
      </metadata>
      <ID>QI-0042</ID>
      <targetApplication>QVINSTALLER</targetApplication>
      <severity>Warning</severity>
      <status code="retired"/>
      <conditions>
        <or>
          <product upc="{P1}" status="installed" verMin="1" verMax="2"/>
          <and logic="not"><product upc="{P2}" status="installed" verMin="1" verMax="2"/></and>
          <product upc="{P1}" status="installing" verMin="3" verMax="4"/>
        </or>
        <suite guid="{S1}" status="available" verMin="1" verMax="2" lang=""/>
        <distribution guid="{D1}" status="installed" verMin="1" verMax="2" lang="1033"/>
        <package id="pkg-a" status="installed" verMin="1" verMax="2"/>
      </conditions>
      <messages><message lang="9"/><message lang="7"/></messages>
    </notification>)"));
  const DocumentMetadata metadata = ReadDocumentMetadata(document.document_element());
  const DocumentMetadata expected = {
      {L"contentType", {L"NOTIFICATION"}},
      {L"id", {L"QI-0042"}},
      {L"targetApplication", {L"QVINSTALLER"}},
      {L"severity", {L"Warning"}},
      {L"status", {L"test", L"live"}},  // declared values replace "retired"
      {L"region", {L"eu"}},
      {L"minEngineVersion", {L"17.0"}},
      {L"upc", {L"{P1}", L"{P2}"}},
      {L"guid", {L"{S1}", L"{D1}"}},
      {L"package", {L"pkg-a"}},
      {L"lang", {L"9", L"7"}},
  };
  EXPECT_EQ(metadata, expected);
}

TEST(AcceptEncodingTest, GzipIsUsedOnlyWhenTheRequestAcceptsIt) {
  const struct {
    const char* header;
    bool accepts;
  } rows[] = {
      {"gzip", true},         {"GZIP", true},      {"deflate, gzip;q=0.5", true},
      {"x-gzip", true},       {"*", true},         {"", false},
      {"identity", false},    {"gzip;q=0", false}, {"gzip; q=0.000", false},
      {"deflate, br", false}, {"gzipx", false},
  };
  for (const auto& row : rows) EXPECT_EQ(AcceptsGzip(row.header), row.accepts) << row.header;
}

// A documents folder with three notifications and a file that is not XML.
class RequestHandlerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    Write("a_installer.xml", R"(<notification>
      <metadata><field name="region">eu</field></metadata>
      <ID>A</ID><targetApplication>QVINSTALLER</targetApplication><severity>Info</severity>
      <status code="live"/>
      <conditions><product upc="{P1}" status="installed" verMin="1.0" verMax="2.0"/></conditions>
    </notification>)");
    Write("b_update.xml", R"(<notification><ID>B</ID>
      <targetApplication>UPDATESERVICE</targetApplication><severity>Info</severity>
      <status code="live"/></notification>)");
    Write("c_draft.xml", R"(<notification><ID>C</ID>
      <targetApplication>QVINSTALLER</targetApplication><severity>Info</severity>
      <status code="test"/></notification>)");
    Write("d_broken.xml", "<notification><ID>");
    Write("notes.txt", "not a document");
    config_.documentsFolder = dir_.path().string();
  }

  void Write(const std::string& name, const std::string& text) {
    std::ofstream(dir_.path() / name, std::ios::binary) << text;
  }

  ServiceRequest Query(const std::string& upcs) const {
    ServiceRequest request;
    request.method = "POST";
    request.params = {{"cmd", "ContentCmd:QueryDocument"}, {"flumeway_version", "2.0"}};
    request.body = Utf16LeWithBom(ClientQueryPacket({"METAINSTALLER", "QVINSTALLER"}, upcs));
    return request;
  }

  static ServiceRequest Ping() {
    ServiceRequest request;
    request.method = "GET";
    request.params = {{"cmd", "PingCmd:Ping"}, {"module", "Flumeway"}};
    return request;
  }

  // The IDs of the notifications in an answer's body; "no body" without one.
  static std::string Ids(const pugi::xml_document& answer) {
    const pugi::xml_node body = answer.child(L"packet").child(L"body");
    if (!body) return "no body";
    std::string ids;
    for (pugi::xml_node notification : body.children(L"notification")) {
      ids += pugi::as_utf8(notification.child_value(L"ID"));
    }
    return ids;
  }

  static int Code(const pugi::xml_document& answer) {
    return answer.child(L"packet")
        .child(L"header")
        .child(L"server")
        .child(L"status")
        .attribute(L"code")
        .as_int(-1);
  }

  static void Load(const ServiceAnswer& answer, pugi::xml_document& document) {
    ASSERT_TRUE(document.load_buffer(answer.body.data(), answer.body.size())) << answer.body;
  }

  TempDir dir_;
  ServiceConfig config_;
  static constexpr long long kNow = 1000000000;
};

TEST_F(RequestHandlerTest, QueryAnswersTheMatchingDocumentsInAPacket) {
  const ServiceAnswer answer = HandleRequest(config_, Query(""), kNow);
  EXPECT_EQ(answer.httpStatus, 200);
  EXPECT_EQ(answer.packetStatus, 0);
  EXPECT_EQ(answer.contentEncoding, "");
  ASSERT_EQ(answer.warnings.size(), 1u);
  EXPECT_NE(answer.warnings[0].find("d_broken.xml"), std::string::npos);
  EXPECT_EQ(answer.body.find('\0'), std::string::npos);

  pugi::xml_document document;
  Load(answer, document);
  const pugi::xml_node root = document.document_element();
  EXPECT_STREQ(root.name(), L"packet");
  const wchar_t* const attributes[] = {L"xmlns", L"xmlns:xsi", L"xsi:schemaLocation",
                                       L"schemaVersion"};
  pugi::xml_attribute attribute = root.first_attribute();
  for (const wchar_t* name : attributes) {
    ASSERT_TRUE(attribute) << pugi::as_utf8(name);
    EXPECT_STREQ(attribute.name(), name);
    attribute = attribute.next_attribute();
  }
  EXPECT_STREQ(root.attribute(L"xsi:schemaLocation").value(),
               L"http://www.quorvane.com/Schemas/KVA/2.0 Schemas/Common/2.0/Packet.xsd");
  const pugi::xml_node header = root.child(L"header");
  EXPECT_STREQ(header.child_value(L"date"), L"2001-09-09T01:46:40Z");
  EXPECT_STREQ(header.child_value(L"locale"), L"en-us");
  EXPECT_STREQ(header.child(L"client").child(L"wrapperlib").attribute(L"version").value(), L"2.0");
  EXPECT_EQ(Code(document), 0);
  EXPECT_EQ(Ids(document), "A");
  // The service's own declarations stay behind.
  EXPECT_FALSE(root.child(L"body").child(L"notification").child(L"metadata"));
  EXPECT_TRUE(root.child(L"body").child(L"notification").child(L"conditions"));
}

TEST_F(RequestHandlerTest, InstallingItemCriteriaNarrowTheAnswer) {
  const struct {
    const char* upcs;
    const char* ids;
  } rows[] = {
      {"<metadata field=\"upc\">{p1}</metadata>", "A"},
      {"<metadata field=\"upc\">{P9}</metadata>", ""},
      {"<metadata field=\"upc\">{P9}</metadata><metadata field=\"region\">EU</metadata>", "A"},
  };
  for (const auto& row : rows) {
    pugi::xml_document document;
    Load(HandleRequest(config_, Query(row.upcs), kNow), document);
    EXPECT_EQ(Ids(document), row.ids) << row.upcs;
  }
}

TEST_F(RequestHandlerTest, RequestsThatCannotBeServedGetAStatusPacketWithoutBody) {
  const struct {
    const char* name;
    std::string method;
    std::multimap<std::string, std::string> params;
    std::string body;
    int code;
  } rows[] = {
      {"ping", "GET", {{"cmd", "PingCmd:Ping"}}, "", 0},
      {"no cmd", "GET", {}, "", kStatusUnknownCommand},
      {"unknown cmd", "POST", {{"cmd", "ContentCmd:Delete"}}, "", kStatusUnknownCommand},
      {"query by GET", "GET", {{"cmd", "ContentCmd:QueryDocument"}}, "", kStatusMalformedRequest},
      {"garbage packet",
       "POST",
       {{"cmd", "ContentCmd:QueryDocument"}},
       "\x01\xFF<<",
       kStatusMalformedRequest},
      {"protocol version",
       "POST",
       {{"cmd", "ContentCmd:QueryDocument"}, {"flumeway_version", "3.0"}},
       Query("").body,
       kStatusUnsupportedVersion},
  };
  for (const auto& row : rows) {
    ServiceRequest request;
    request.method = row.method;
    request.params = row.params;
    request.body = row.body;
    const ServiceAnswer answer = HandleRequest(config_, request, kNow);
    EXPECT_EQ(answer.httpStatus, 200) << row.name;
    EXPECT_EQ(answer.packetStatus, row.code) << row.name;
    pugi::xml_document document;
    Load(answer, document);
    EXPECT_EQ(Code(document), row.code) << row.name;
    EXPECT_EQ(Ids(document), "no body") << row.name;
    EXPECT_STREQ(document.child(L"packet").child(L"header").child_value(L"date"),
                 L"2001-09-09T01:46:40Z")
        << row.name;
  }
}

TEST_F(RequestHandlerTest, MissingFolderAndForcedStatusAnswerWithoutDocuments) {
  ServiceConfig missing{(dir_.path() / "none").string(), std::nullopt};
  pugi::xml_document document;
  Load(HandleRequest(missing, Query(""), kNow), document);
  EXPECT_EQ(Code(document), kStatusNoDocuments);
  EXPECT_EQ(Ids(document), "no body");

  ServiceConfig forced{config_.documentsFolder, 6000};
  for (const ServiceRequest& request : {Query(""), Ping()}) {
    Load(HandleRequest(forced, request, kNow), document);
    EXPECT_EQ(Code(document), 6000);
    EXPECT_EQ(Ids(document), "no body");
  }
  forced.forcedStatus = 0;
  Load(HandleRequest(forced, Query(""), kNow), document);
  EXPECT_EQ(Ids(document), "A");
}

TEST_F(RequestHandlerTest, GzipAnswersDecodeToThePlainAnswer) {
  for (const ServiceRequest& plainRequest : {Query(""), Ping()}) {
    ServiceRequest gzipRequest = plainRequest;
    gzipRequest.acceptEncoding = "gzip, deflate";
    const ServiceAnswer plain = HandleRequest(config_, plainRequest, kNow);
    const ServiceAnswer gzip = HandleRequest(config_, gzipRequest, kNow);
    EXPECT_EQ(gzip.contentEncoding, "gzip");
    EXPECT_EQ(gzip.body.substr(0, 2), "\x1F\x8B");
    EXPECT_EQ(Gunzip(gzip.body), plain.body);
  }
}

}  // namespace
}  // namespace ravenlink_service
