#include <gtest/gtest.h>

#include "content_query.h"
#include "query_match.h"

namespace ravenlink_service {
namespace {

const DocumentMetadata kMetadata = {
    {L"targetApplication", {L"QVINSTALLER"}},
    {L"minEngineVersion", {L"17.0.0"}},
    {L"upc", {L"{AAAA}", L"{BBBB}"}},
    {L"status", {L"live"}},
};

TEST(QueryMatchTest, EveryCompareTypeAgainstPresentMultiValuedAndMissingFields) {
  struct Row {
    const wchar_t* field;
    CompareType compare;
    const wchar_t* value;
    bool holds;
  };
  const Row rows[] = {
      {L"targetApplication", CompareType::kEqual, L"qvinstaller", true},
      {L"targetApplication", CompareType::kEqual, L"QVINSTALL", false},
      {L"upc", CompareType::kEqual, L"{bbbb}", true},  // any value of the field
      {L"missing", CompareType::kEqual, L"", false},
      {L"targetApplication", CompareType::kNotEqual, L"QVInstaller", false},
      {L"targetApplication", CompareType::kNotEqual, L"UPDATESERVICE", true},
      {L"upc", CompareType::kNotEqual, L"{AAAA}", false},  // one value equals
      {L"missing", CompareType::kNotEqual, L"x", true},
      {L"targetApplication", CompareType::kContains, L"install", true},
      {L"targetApplication", CompareType::kContains, L"SUITE", false},
      {L"missing", CompareType::kContains, L"", false},
      // Versions compare as numbers, field by field: 17 > 9 although "1" < "9".
      {L"minEngineVersion", CompareType::kGreaterThan, L"9.5", true},
      {L"minEngineVersion", CompareType::kGreaterThan, L"17", false},
      {L"minEngineVersion", CompareType::kGreaterThanEqual, L"17", true},
      {L"minEngineVersion", CompareType::kLessThan, L"17.0.1", true},
      {L"minEngineVersion", CompareType::kLessThan, L"17.0.0.0", false},
      {L"minEngineVersion", CompareType::kLessThanEqual, L"17.0.0.0", true},
      {L"minEngineVersion", CompareType::kLessThanEqual, L"16.10", false},
      // Other texts compare as texts, ignoring case.
      {L"status", CompareType::kLessThan, L"MORE", true},
      {L"status", CompareType::kGreaterThan, L"LIVE", false},
      {L"missing", CompareType::kGreaterThan, L"", false},
      {L"missing", CompareType::kLessThanEqual, L"zzz", false},
  };
  for (const Row& row : rows) {
    const Comparison comparison{row.field, row.value, row.compare};
    EXPECT_EQ(ComparisonHolds(comparison, kMetadata), row.holds)
        << static_cast<int>(row.compare) << " " << pugi::as_utf8(row.field) << " "
        << pugi::as_utf8(row.value);
  }
}

TEST(QueryMatchTest, CompareValuesOrdersVersionsNumericallyAndTextsWithoutCase) {
  struct Row {
    const wchar_t* a;
    const wchar_t* b;
    int sign;
  };
  const Row rows[] = {
      {L"1.10", L"1.9", 1},
      {L"1.0", L"1", 0},
      {L"010", L"10", 0},
      {L"2.1.0.7", L"2.1.0.10", -1},
      {L"1.", L"1", 1},
      {L"Alpha", L"alpha", 0},
      {L"1.a", L"1.B", -1},
      {L"", L"1", -1},
      {L"99999999999999999999", L"100000000000000000000", -1},
  };
  for (const Row& row : rows) {
    const int order = CompareValues(row.a, row.b);
    EXPECT_EQ((order > 0) - (order < 0), row.sign)
        << pugi::as_utf8(row.a) << " vs " << pugi::as_utf8(row.b);
  }
}

QueryGroup Group(bool isOr, std::vector<Comparison> comparisons,
                 std::vector<QueryGroup> groups = {}) {
  return QueryGroup{isOr, std::move(comparisons), std::move(groups)};
}

TEST(QueryMatchTest, GroupsCombineTheirComparisonsAndSubgroups) {
  const Comparison yes{L"status", L"live", CompareType::kEqual};
  const Comparison no{L"status", L"test", CompareType::kEqual};
  struct Row {
    const char* name;
    QueryGroup query;
    bool matches;
  };
  const Row rows[] = {
      {"empty And", Group(false, {}), true},
      {"empty Or", Group(true, {}), true},
      {"And of true and false", Group(false, {yes, no}), false},
      {"Or of false and true", Group(true, {no, yes}), true},
      {"Or of false only", Group(true, {no, no}), false},
      {"And with a failing subgroup", Group(false, {yes}, {Group(true, {no})}), false},
      {"Or decided by a subgroup", Group(true, {no}, {Group(false, {yes})}), true},
      {"And with an empty Or subgroup", Group(false, {yes}, {Group(true, {})}), true},
      {"deep nesting", Group(false, {}, {Group(true, {}, {Group(false, {no})})}), false},
  };
  for (const Row& row : rows) {
    EXPECT_EQ(QueryMatches(row.query, kMetadata), row.matches) << row.name;
  }
}

}  // namespace
}  // namespace ravenlink_service
