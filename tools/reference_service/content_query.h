// The content query of a request packet: a tree of "And"/"Or" groups of
// metadata comparisons, read from the packet the client posts.
#pragma once

#include <string>
#include <vector>

namespace ravenlink_service {

enum class CompareType {
  kEqual,  // no "compareType" attribute
  kNotEqual,
  kContains,
  kGreaterThan,
  kGreaterThanEqual,
  kLessThan,
  kLessThanEqual,
};

struct Comparison {
  std::wstring field;
  std::wstring value;
  CompareType compare = CompareType::kEqual;
};

struct QueryGroup {
  bool isOr = false;
  std::vector<Comparison> comparisons;
  std::vector<QueryGroup> groups;
};

// The client's identity from the request header, echoed in the answer.
struct ClientPart {
  std::wstring name;
  std::wstring version;
};
struct ClientIdentity {
  bool present = false;
  ClientPart swapp;
  ClientPart corelib;
  ClientPart wrapperlib;
};

struct RequestPacket {
  std::wstring locale;
  ClientIdentity client;
  QueryGroup query;
};

// A request the service cannot answer with documents. code is the server
// status code of the answer packet.
struct RequestError {
  int code;
  std::string message;
};

// Server status codes of the answers (see README.md).
constexpr int kStatusOk = 0;
constexpr int kStatusUnsupportedVersion = 10;
constexpr int kStatusUnknownCommand = 100;
constexpr int kStatusMalformedRequest = 300;
constexpr int kStatusNoDocuments = 900;

// Deepest nesting of "query" elements accepted.
constexpr int kMaxQueryDepth = 32;

// "" gives kEqual; the six names give their type. Returns false for any other
// text.
bool CompareTypeFromText(const std::wstring& text, CompareType& out);

// Reads the packet's bytes (any encoding pugixml detects, the client sends
// UTF-16LE with a byte-order mark). Throws RequestError with
// kStatusMalformedRequest when the bytes are no packet, the packet has no
// "body"/"contentQuery"/"query", or the query is malformed (a group type other
// than "And" or "Or", an unknown "compareType", a "metadata" without "field", an
// element other than "metadata" or "query" inside a query, nesting deeper than
// kMaxQueryDepth).
RequestPacket ParseRequestPacket(const std::string& bytes);

}  // namespace ravenlink_service
