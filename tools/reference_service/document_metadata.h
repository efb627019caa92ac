// The metadata a notification document exposes to content queries: named
// fields, each with one or more text values.
#pragma once

#include <map>
#include <string>
#include <vector>

#include <pugixml.hpp>

namespace ravenlink_service {

// Field name (case-sensitive) -> its values, in document order, without
// duplicates.
using DocumentMetadata = std::map<std::wstring, std::vector<std::wstring>>;

// Reads the metadata of one "notification" element. Derived from the
// document itself:
//   contentType        "NOTIFICATION"
//   id                 text of "ID"
//   targetApplication  text of "targetApplication"
//   severity           text of "severity"
//   messageFamily      text of "messageFamily"
//   status             "code" attribute of "status"
//   minEngineVersion   the root's "minEngineVersion" attribute
//   upc                every "upc" of a "product" condition
//   guid               every "guid" of a "distribution" or "suite" condition
//   package            every "id" of a "package" condition
//   lang               every "lang" of a "messages"/"message"
// Fields without a value (missing element, empty text) are left out. A
// "metadata" child of the root declares fields of its own with "field"
// children (<field name="status">test</field>); the declared values of a name
// replace the derived ones of that name. Values are trimmed of surrounding
// white space.
DocumentMetadata ReadDocumentMetadata(pugi::xml_node notification);

}  // namespace ravenlink_service
