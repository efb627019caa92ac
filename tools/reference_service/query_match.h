// Deciding whether a document's metadata satisfies a content query.
#pragma once

#include <string>

#include "content_query.h"
#include "document_metadata.h"

namespace ravenlink_service {

// Orders two metadata values: when both are dotted numbers ("17", "2.1.0.7")
// field by field as numbers, a missing field counting as 0; otherwise as texts,
// ignoring ASCII letter case. Returns <0, 0 or >0.
int CompareValues(const std::wstring& a, const std::wstring& b);

// A comparison holds when one of the document's values of the field satisfies
// "document value <compareType> query value": Equal and NotEqual ignore ASCII
// letter case, Contains is a substring test ignoring case, the four orderings
// use CompareValues. NotEqual holds when no value equals the query's, so it is
// the one comparison that holds for a field the document does not have.
bool ComparisonHolds(const Comparison& comparison, const DocumentMetadata& metadata);

// "And" groups hold when all their comparisons and subgroups hold, "Or" groups
// when one does. A group with nothing in it holds (the client leaves its group
// of installing items empty when there are none).
bool QueryMatches(const QueryGroup& group, const DocumentMetadata& metadata);

}  // namespace ravenlink_service
