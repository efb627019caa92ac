#include <gtest/gtest.h>

#include <functional>

#include "foundation/ws_status.h"
#include "packet/content_query.h"
#include "packet/xml_document.h"
#include "packet/xml_helpers.h"

namespace {

uint32_t StatusOf(const std::function<void()>& action) {
  try {
    action();
  } catch (const WsStatus& status) {
    return status.code;
  }
  return kWsOk;
}

// The "contentQuery" element as raw text, as the query writes it.
WsString Written(const WsContentQuery& query) {
  WsXmlDocument document(L"contentQuery", L"");
  query.WriteXml(document, document.Root());
  return document.ToString(false, false).substr(1);
}

TEST(ContentQueryTest, ComparisonsComeBeforeSubgroups) {
  WsContentQuery query;
  query.BeginGroup(kQueryGroupAnd);
  query.AddMetadata(L"contentType", L"NOTIFICATION", kCompareEqual);
  query.BeginGroup(kQueryGroupOr);
  query.AddMetadata(L"targetApplication", L"QVINSTALLER", kCompareEqual);
  query.AddMetadata(L"targetApplication", L"QVUPDATER", kCompareEqual);
  query.EndGroup();
  query.AddMetadata(L"status", L"live", kCompareEqual);  // after the subgroup
  query.BeginGroup(kQueryGroupAnd);                      // left open: written as it is
  query.EndGroup();
  query.EndGroup();
  query.EndGroup();                                // closing the root again is harmless
  query.AddMetadata(L"late", L"", kCompareEqual);  // a closed group still takes comparisons
  EXPECT_EQ(Written(query), WsString(L"<contentQuery><query type=\"And\">"
                                     L"<metadata field=\"contentType\">NOTIFICATION</metadata>"
                                     L"<metadata field=\"status\">live</metadata>"
                                     L"<metadata field=\"late\"></metadata>"
                                     L"<query type=\"Or\">"
                                     L"<metadata field=\"targetApplication\">QVINSTALLER</metadata>"
                                     L"<metadata field=\"targetApplication\">QVUPDATER</metadata>"
                                     L"</query>"
                                     L"<query type=\"And\"/>"
                                     L"</query></contentQuery>"));
}

TEST(ContentQueryTest, CompareTypeAttribute) {
  struct Case {
    int32_t compare;
    const wchar_t* expected;
  };
  const Case cases[] = {
      {kCompareEqual, L"<metadata field=\"f\">v</metadata>"},
      {kCompareNotEqual, L"<metadata compareType=\"NotEqual\" field=\"f\">v</metadata>"},
      {kCompareContains, L"<metadata compareType=\"Contains\" field=\"f\">v</metadata>"},
      {kCompareGreaterThan, L"<metadata compareType=\"GreaterThan\" field=\"f\">v</metadata>"},
      {kCompareGreaterThanEqual,
       L"<metadata compareType=\"GreaterThanEqual\" field=\"f\">v</metadata>"},
      {kCompareLessThan, L"<metadata compareType=\"LessThan\" field=\"f\">v</metadata>"},
      {kCompareLessThanEqual, L"<metadata compareType=\"LessThanEqual\" field=\"f\">v</metadata>"},
      {7, L"<metadata field=\"f\">v</metadata>"},
      {-1, L"<metadata field=\"f\">v</metadata>"},
  };
  for (const Case& c : cases) {
    WsContentQuery query;
    query.BeginGroup(kQueryGroupOr);
    query.AddMetadata(L"f", L"v", c.compare);
    query.EndGroup();
    EXPECT_EQ(Written(query), L"<contentQuery><query type=\"Or\">" + WsString(c.expected) +
                                  L"</query></contentQuery>")
        << c.compare;
  }
}

TEST(ContentQueryTest, MalformedQueriesFail) {
  struct Case {
    const char* label;
    std::function<void(WsContentQuery&)> build;
    uint32_t status;
  };
  const Case cases[] = {
      {"no group", [](WsContentQuery&) {}, kWsQueryEmpty},
      {"root open", [](WsContentQuery& q) { q.BeginGroup(kQueryGroupAnd); }, kWsQueryOpen},
      {"root reopened by a subgroup",
       [](WsContentQuery& q) {
         q.BeginGroup(kQueryGroupAnd);
         q.BeginGroup(kQueryGroupOr);
       },
       kWsQueryOpen},
      {"bad root type",
       [](WsContentQuery& q) {
         q.BeginGroup(2);
         q.EndGroup();
       },
       kWsQueryGroupType},
      {"bad subgroup type",
       [](WsContentQuery& q) {
         q.BeginGroup(kQueryGroupAnd);
         q.BeginGroup(-1);
         q.EndGroup();
         q.EndGroup();
       },
       kWsQueryGroupType},
  };
  for (const Case& c : cases) {
    WsContentQuery query;
    c.build(query);
    EXPECT_EQ(StatusOf([&] { Written(query); }), c.status) << c.label;
  }

  WsContentQuery fresh;
  EXPECT_EQ(StatusOf([&] { fresh.EndGroup(); }), kWsQueryNoGroup);
  EXPECT_EQ(StatusOf([&] { fresh.AddMetadata(L"f", L"v", kCompareEqual); }), kWsQueryNoGroup);
}

}  // namespace
