#include "foundation/guid.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <vector>

namespace {

TEST(GuidTest, ParseAndPrint) {
  const wchar_t* kBraced = L"{6B29FC40-CA47-1067-B31D-00DD010662DA}";
  struct Case {
    const wchar_t* text;
    bool isGuid;
    const wchar_t* printed;
    const wchar_t* normalised;
  } cases[] = {
      {kBraced, true, kBraced, L""},
      {L"6b29fc40ca471067b31d00dd010662da", true, kBraced, L""},
      {L"(6B29FC40-CA47-1067-B31D-00DD010662DA)", true, kBraced, L""},
      {L"6b29fc40-ca47-1067-b31d-00dd010662da", true, kBraced, L""},
      {L"{6b29fc40-ca47-1067-b31d-00dd010662da}", true, kBraced, L""},
      {L"{6B29FC40C-A47-1067-B31D-00DD010662DA}", true, kBraced, L""},  // hyphen moved
      {L"MyProduct", false, L"MyProduct", L"MYPRODUCT"},
      {L"{My-(Product)}", false, L"{My-(Product)}", L"MYPRODUCT"},
      {L"6B29FC40CA471067B31D00DD010662D", false, L"6B29FC40CA471067B31D00DD010662D",
       L"6B29FC40CA471067B31D00DD010662D"},  // 31 digits
      {L"6B29FC40CA471067B31D00DD010662DA0", false, L"6B29FC40CA471067B31D00DD010662DA0",
       L"6B29FC40CA471067B31D00DD010662DA0"},  // 33 digits
      {L"6B29FC40CA471067B31D00DD010662DG", false, L"6B29FC40CA471067B31D00DD010662DG",
       L"6B29FC40CA471067B31D00DD010662DG"},
      {L"product_\u00e4 1.0", false, L"product_\u00e4 1.0", L"PRODUCT_\u00e4 1.0"},
  };
  for (const Case& c : cases) {
    Guid g(c.text);
    EXPECT_EQ(g.IsGuid(), c.isGuid) << c.text;
    EXPECT_EQ(g.NotGuid(), !c.isGuid) << c.text;
    EXPECT_FALSE(g.IsEmpty()) << c.text;
    EXPECT_EQ(g.Text(), WsString(c.text)) << c.text;
    const Guid copy = g;
    EXPECT_EQ(copy.Text(), WsString(c.text)) << c.text;
    EXPECT_EQ(copy, g) << c.text;
    EXPECT_EQ(g.ToString(), WsString(c.printed)) << c.text;
    EXPECT_EQ(g.Normalised(), WsString(c.normalised)) << c.text;
  }
}

TEST(GuidTest, ValueFieldsAndClear) {
  Guid g(L"{01234567-89AB-CDEF-FEDC-BA9876543210}");
  ASSERT_TRUE(g.IsGuid());
  EXPECT_EQ(g.Value().Data1, 0x01234567u);
  EXPECT_EQ(g.Value().Data2, 0x89ABu);
  EXPECT_EQ(g.Value().Data3, 0xCDEFu);
  const uint8_t bytes[8] = {0xFE, 0xDC, 0xBA, 0x98, 0x76, 0x54, 0x32, 0x10};
  EXPECT_TRUE(std::equal(bytes, bytes + 8, g.Value().Data4));

  g.Clear();
  EXPECT_TRUE(g.IsEmpty());
  EXPECT_EQ(g.ToString(), WsString(L""));
  EXPECT_TRUE(Guid(L"").IsEmpty());
  EXPECT_TRUE(Guid().IsEmpty());
  EXPECT_EQ(Guid(L""), Guid());

  // Parsing again replaces a GUID by a text key and back.
  g.Parse(L"text");
  EXPECT_TRUE(g.NotGuid());
  g.Parse(L"{01234567-89AB-CDEF-FEDC-BA9876543210}");
  EXPECT_TRUE(g.IsGuid());
  EXPECT_EQ(g.Normalised(), WsString(L""));
}

TEST(GuidTest, Equality) {
  struct Case {
    const wchar_t* a;
    const wchar_t* b;
    bool equal;
  } cases[] = {
      {L"{6B29FC40-CA47-1067-B31D-00DD010662DA}", L"6b29fc40ca471067b31d00dd010662da", true},
      {L"{6B29FC40-CA47-1067-B31D-00DD010662DA}", L"{6B29FC40-CA47-1067-B31D-00DD010662DB}", false},
      {L"abc", L"A-B-C", true},
      {L"abc", L"(ABC)", true},
      {L"abc", L"abd", false},
      {L"abc", L"ab c", false},
      // A GUID and a text key are never equal, even for the same digits.
      {L"{6B29FC40-CA47-1067-B31D-00DD010662DA}", L"6B29FC40CA471067B31D00DD010662DAX", false},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Guid(c.a) == Guid(c.b), c.equal) << c.a << " " << c.b;
    EXPECT_EQ(Guid(c.a) != Guid(c.b), !c.equal) << c.a << " " << c.b;
    // Equal keys are equivalent under the ordering too.
    bool equivalent = !(Guid(c.a) < Guid(c.b)) && !(Guid(c.b) < Guid(c.a));
    EXPECT_EQ(equivalent, c.equal) << c.a << " " << c.b;
  }
}

TEST(GuidTest, OrderingSortsGuidsByUnsignedFieldsThenTextKeys) {
  // Expected order; each field is compared unsigned, Data1 to Data4.
  const wchar_t* sorted[] = {
      L"{00000001-0000-0000-0000-000000000000}",
      L"{7FFFFFFF-0000-0000-0000-000000000000}",
      L"{80000000-0000-0000-0000-000000000000}",
      L"{80000000-0001-0000-0000-000000000000}",
      L"{80000000-8000-0000-0000-000000000000}",
      L"{80000000-8000-0001-0000-000000000000}",
      L"{80000000-8000-0001-0000-000000000001}",
      L"{80000000-8000-0001-0080-000000000000}",
      L"{80000000-8000-0001-FF00-000000000000}",
      L"A",
      L"AB",
      L"b",  // text keys compare normalised: 'B' after 'AB'
      L"ZZ",
  };
  std::vector<Guid> keys;
  for (auto it = std::rbegin(sorted); it != std::rend(sorted); ++it) keys.emplace_back(*it);
  std::sort(keys.begin(), keys.end());
  ASSERT_EQ(keys.size(), std::size(sorted));
  for (size_t i = 0; i < keys.size(); ++i) EXPECT_EQ(keys[i].ToString(), WsString(sorted[i])) << i;
  for (const Guid& k : keys) EXPECT_FALSE(k < k);
}

TEST(GuidTest, MapKeysMergeEquivalentTexts) {
  std::map<Guid, int> items;
  items[Guid(L"{6B29FC40-CA47-1067-B31D-00DD010662DA}")] = 1;
  items[Guid(L"6b29fc40-ca47-1067-b31d-00dd010662da")] = 2;
  items[Guid(L"Office-Suite")] = 3;
  items[Guid(L"officesuite")] = 4;
  ASSERT_EQ(items.size(), 2u);
  EXPECT_EQ(items.begin()->second, 2);
  EXPECT_EQ(items.rbegin()->second, 4);
  // The first key made keeps its text.
  EXPECT_EQ(items.rbegin()->first.ToString(), WsString(L"Office-Suite"));
}

}  // namespace
