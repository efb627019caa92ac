#include "document_store.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <system_error>

namespace ravenlink_service {

DocumentSet LoadDocuments(const std::string& folder) {
  namespace fs = std::filesystem;
  DocumentSet set;
  std::error_code error;
  fs::directory_iterator entries(folder, error);
  if (error) return set;
  set.folderReadable = true;

  std::vector<fs::path> files;
  for (const fs::directory_entry& entry : entries) {
    if (entry.is_regular_file(error) && entry.path().extension() == ".xml") {
      files.push_back(entry.path());
    }
  }
  std::sort(files.begin(), files.end());

  for (const fs::path& path : files) {
    const std::string name = path.filename().string();
    std::ifstream file(path, std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(file)),
                            std::istreambuf_iterator<char>());
    auto document = std::make_shared<pugi::xml_document>();
    const pugi::xml_parse_result parsed =
        document->load_buffer(bytes.data(), bytes.size(), pugi::parse_default, pugi::encoding_auto);
    if (!parsed) {
      set.warnings.push_back(name + ": not XML (" + parsed.description() + " at byte " +
                             std::to_string(parsed.offset) + ")");
      continue;
    }
    const pugi::xml_node root = document->document_element();
    if (std::wstring(root.name()) != L"notification") {
      set.warnings.push_back(name + ": root element is not 'notification'");
      continue;
    }
    set.documents.push_back(NotificationDocument{name, document, ReadDocumentMetadata(root)});
  }
  return set;
}

}  // namespace ravenlink_service
