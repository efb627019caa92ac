#include "foundation/version_number.h"

#include <gtest/gtest.h>

#include <set>

namespace {

TEST(VersionNumberTest, ParsesLikeScanfOfFourUnsignedNumbers) {
  struct Case {
    const wchar_t* text;
    int32_t count;
    uint32_t first, second, third, fourth;
    const wchar_t* dotted;
    const wchar_t* underscored;
  } cases[] = {
      {L"1.2.3.4", 4, 1, 2, 3, 4, L"1.2.3.4", L"1_2_3_4"},
      {L"7", 1, 7, 0, 0, 0, L"7", L"7"},
      {L"", -1, 0, 0, 0, 0, L"", L""},
      {L"  ", -1, 0, 0, 0, 0, L"", L""},  // only blanks: input ends before a number
      {L"abc", 0, 0, 0, 0, 0, L"", L""},
      {L"1.2.3.4.5", 4, 1, 2, 3, 4, L"1.2.3.4", L"1_2_3_4"},
      {L"1.2.3a", 3, 1, 2, 3, 0, L"1.2.3", L"1_2_3"},
      {L" 1.2", 2, 1, 2, 0, 0, L"1.2", L"1_2"},
      {L"1. 2", 2, 1, 2, 0, 0, L"1.2", L"1_2"},  // blanks before each number
      {L"1 .2", 1, 1, 0, 0, 0, L"1", L"1"},      // but not before a dot
      {L"1..2", 1, 1, 0, 0, 0, L"1", L"1"},
      {L"1.", 1, 1, 0, 0, 0, L"1", L"1"},
      {L"+3.4", 2, 3, 4, 0, 0, L"3.4", L"3_4"},
      {L"10.0.19045.4291", 4, 10, 0, 19045, 4291, L"10.0.19045.4291", L"10_0_19045_4291"},
      {L"4294967295.0", 2, 4294967295u, 0, 0, 0, L"4294967295.0", L"4294967295_0"},
  };
  for (const Case& c : cases) {
    VersionNumber v(c.text);
    EXPECT_EQ(v.count, c.count) << c.text;
    EXPECT_EQ(v.first, c.first) << c.text;
    EXPECT_EQ(v.second, c.second) << c.text;
    EXPECT_EQ(v.third, c.third) << c.text;
    EXPECT_EQ(v.fourth, c.fourth) << c.text;
    EXPECT_EQ(v.IsValid(), c.count > 0) << c.text;
    EXPECT_EQ(v.ToString(false), WsString(c.dotted)) << c.text;
    EXPECT_EQ(v.ToString(true), WsString(c.underscored)) << c.text;
    EXPECT_EQ(VersionNumber(WsString(c.text)).count, c.count) << c.text;
  }
}

TEST(VersionNumberTest, ComparesFourthFieldBeforeThird) {
  struct Case {
    const wchar_t* a;
    const wchar_t* b;
    int order;
  } cases[] = {
      {L"1.2.3.100", L"1.2.4.99", 1},  // the fourth field outranks the third
      {L"1.2.9.1", L"1.2.0.2", -1},
      {L"1.2", L"1.2.0.0", 0},  // count takes no part
      {L"2", L"10", -1},        // numbers, not texts
      {L"1.3", L"1.2.9.9", 1},
      {L"1.2.3.4", L"1.2.3.4", 0},
      {L"4294967295", L"1", 1},  // unsigned
      {L"", L"0.0.0.0", 0},      // unreadable versions compare as 0.0.0.0
  };
  for (const Case& c : cases) {
    VersionNumber a(c.a), b(c.b);
    EXPECT_EQ(a.Compare(b), c.order) << c.a << " vs " << c.b;
    EXPECT_EQ(b.Compare(a), -c.order) << c.a << " vs " << c.b;
    EXPECT_EQ(a < b, c.order < 0) << c.a << " vs " << c.b;
    EXPECT_EQ(a == b, c.order == 0) << c.a << " vs " << c.b;
  }
}

TEST(VersionNumberTest, EqualVersionsShareOneKeyInSortedContainers) {
  std::set<VersionNumber> versions{VersionNumber(1, 2), VersionNumber(L"1.2.0.0"),
                                   VersionNumber(L"1.2.4.99"), VersionNumber(L"1.2.3.100")};
  ASSERT_EQ(versions.size(), 3u);
  auto it = versions.begin();
  EXPECT_EQ((it++)->ToString(false), WsString(L"1.2"));
  EXPECT_EQ((it++)->ToString(false), WsString(L"1.2.4.99"));
  EXPECT_EQ((it++)->ToString(false), WsString(L"1.2.3.100"));
}

}  // namespace
