#include "query_match.h"

#include <algorithm>

namespace ravenlink_service {
namespace {

wchar_t FoldCase(wchar_t c) {
  return c >= L'A' && c <= L'Z' ? static_cast<wchar_t>(c + 32) : c;
}

std::wstring Folded(const std::wstring& text) {
  std::wstring out(text);
  std::transform(out.begin(), out.end(), out.begin(), FoldCase);
  return out;
}

// Splits "1.20.3" into its numbers; false unless the text is dotted digits.
bool DottedNumbers(const std::wstring& text, std::vector<std::wstring>& fields) {
  fields.assign(1, std::wstring());
  for (wchar_t c : text) {
    if (c == L'.') {
      if (fields.back().empty()) return false;
      fields.emplace_back();
    } else if (c >= L'0' && c <= L'9') {
      fields.back().push_back(c);
    } else {
      return false;
    }
  }
  return !fields.back().empty();
}

// Compares digit strings of any length by their numeric value.
int CompareDigits(std::wstring a, std::wstring b) {
  const auto stripZeros = [](std::wstring& s) {
    const size_t first = s.find_first_not_of(L'0');
    s.erase(0, first == std::wstring::npos ? s.size() : first);
  };
  stripZeros(a);
  stripZeros(b);
  if (a.size() != b.size()) return a.size() < b.size() ? -1 : 1;
  return a.compare(b);
}

bool Satisfies(const std::wstring& documentValue, const Comparison& comparison) {
  const int order = CompareValues(documentValue, comparison.value);
  switch (comparison.compare) {
    case CompareType::kEqual:
    case CompareType::kNotEqual:
      return Folded(documentValue) == Folded(comparison.value);
    case CompareType::kContains:
      return Folded(documentValue).find(Folded(comparison.value)) != std::wstring::npos;
    case CompareType::kGreaterThan:
      return order > 0;
    case CompareType::kGreaterThanEqual:
      return order >= 0;
    case CompareType::kLessThan:
      return order < 0;
    case CompareType::kLessThanEqual:
      return order <= 0;
  }
  return false;
}

}  // namespace

int CompareValues(const std::wstring& a, const std::wstring& b) {
  std::vector<std::wstring> left;
  std::vector<std::wstring> right;
  if (DottedNumbers(a, left) && DottedNumbers(b, right)) {
    const size_t count = std::max(left.size(), right.size());
    left.resize(count, L"0");
    right.resize(count, L"0");
    for (size_t i = 0; i < count; ++i) {
      if (const int order = CompareDigits(left[i], right[i]); order != 0) return order;
    }
    return 0;
  }
  const int order = Folded(a).compare(Folded(b));
  return order < 0 ? -1 : (order > 0 ? 1 : 0);
}

bool ComparisonHolds(const Comparison& comparison, const DocumentMetadata& metadata) {
  const auto found = metadata.find(comparison.field);
  bool any = false;
  if (found != metadata.end()) {
    any = std::any_of(found->second.begin(), found->second.end(),
                      [&](const std::wstring& value) { return Satisfies(value, comparison); });
  }
  return comparison.compare == CompareType::kNotEqual ? !any : any;
}

bool QueryMatches(const QueryGroup& group, const DocumentMetadata& metadata) {
  if (group.comparisons.empty() && group.groups.empty()) return true;
  const auto comparisonHolds = [&](const Comparison& c) { return ComparisonHolds(c, metadata); };
  const auto groupHolds = [&](const QueryGroup& g) { return QueryMatches(g, metadata); };
  if (group.isOr) {
    return std::any_of(group.comparisons.begin(), group.comparisons.end(), comparisonHolds) ||
           std::any_of(group.groups.begin(), group.groups.end(), groupHolds);
  }
  return std::all_of(group.comparisons.begin(), group.comparisons.end(), comparisonHolds) &&
         std::all_of(group.groups.begin(), group.groups.end(), groupHolds);
}

}  // namespace ravenlink_service
