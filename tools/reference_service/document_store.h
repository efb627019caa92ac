// The notification documents the service answers with: every "*.xml" file of
// one folder whose root element is "notification".
#pragma once

#include <memory>
#include <string>
#include <vector>

#include <pugixml.hpp>

#include "document_metadata.h"

namespace ravenlink_service {

struct NotificationDocument {
  std::string fileName;
  std::shared_ptr<pugi::xml_document> document;
  DocumentMetadata metadata;

  pugi::xml_node Notification() const { return document->document_element(); }
};

struct DocumentSet {
  bool folderReadable = false;
  std::vector<NotificationDocument> documents;  // ordered by file name
  std::vector<std::string> warnings;            // files that were skipped, and why
};

// Reads the folder afresh (so edited documents are served at once). Files that
// do not parse or whose root is not "notification" are skipped with a warning;
// sub-folders are not read.
DocumentSet LoadDocuments(const std::string& folder);

}  // namespace ravenlink_service
