#include "packet/xml_document.h"

#include <new>

#include "compat/win32.h"
#include "foundation/utf16.h"
#include "foundation/ws_status.h"
#include "packet/xml_helpers.h"

namespace {

// Collects the serialised bytes; they are turned into text once complete, so
// a character is never split between two calls of write.
class ByteCollector : public pugi::xml_writer {
 public:
  void write(const void* data, size_t size) override {
    bytes.append(static_cast<const char*>(data), size);
  }
  std::string bytes;
};

unsigned int SaveFlags(bool indent, bool declaration) {
  unsigned int flags = pugi::format_write_bom;
  flags |= indent ? pugi::format_indent : pugi::format_raw;
  if (!declaration) flags |= pugi::format_no_declaration;
  return flags;
}

// Reads the whole file through the platform file functions, so that a
// Windows path with backslashes works on every build.
bool ReadWholeFile(const WsString& path, std::string& bytes) {
  HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  bool ok = true;
  char chunk[65536];
  for (;;) {
    DWORD read = 0;
    if (!ReadFile(file, chunk, sizeof(chunk), &read, nullptr)) {
      ok = false;
      break;
    }
    if (read == 0) break;
    bytes.append(chunk, read);
  }
  CloseHandle(file);
  return ok;
}

}  // namespace

WsXmlDocument::WsXmlDocument(const WsString& rootName, const WsString& namespaceUri)
    : document_(std::make_shared<pugi::xml_document>()) {
  root_ = AppendElement(*document_, rootName);
  if (!namespaceUri.empty()) SetAttribute(root_, L"xmlns", namespaceUri);
}

void WsXmlDocument::Reset() {
  loaded_ = false;
  document_.reset();
  root_ = pugi::xml_node();
}

void WsXmlDocument::LoadFromBuffer(const std::string& bytes) {
  Reset();
  pugi::xml_parse_result result;
  try {
    document_ = std::make_shared<pugi::xml_document>();
    result = document_->load_buffer(bytes.data(), bytes.size(), pugi::parse_default,
                                    pugi::encoding_auto);
  } catch (...) {
    // The parser reports its own failures in the result; what is thrown
    // here is a failure to set up the document.
    Reset();
    throw WsStatus(kWsXmlNoRoot);
  }
  // A text without any element (an empty answer, for one) is reported by the
  // parser as an error of its own; it is the "no document element" case.
  if (result.status == pugi::status_no_document_element) {
    Reset();
    throw WsStatus(kWsXmlNoRoot);
  }
  if (!result) {
    Reset();
    throw WsStatus(kWsXmlUnreadable);
  }
  root_ = document_->first_child();
  if (!root_) {
    Reset();
    throw WsStatus(kWsXmlNoRoot);
  }
  loaded_ = true;
}

void WsXmlDocument::LoadFromFile(const WsString& path) {
  std::string bytes;
  bool read = false;
  try {
    read = ReadWholeFile(path, bytes);
  } catch (const std::bad_alloc&) {
    read = false;
  }
  if (!read) {
    Reset();
    throw WsStatus(kWsXmlUnreadable);
  }
  LoadFromBuffer(bytes);
}

void WsXmlDocument::AddNamespace(const WsString& prefix, const WsString& uri) {
  SetAttribute(root_, L"xmlns:" + prefix, uri);
}

WsString WsXmlDocument::ToString(bool indent, bool declaration) const {
  if (!document_) return WsString();
  try {
    ByteCollector collector;
    document_->save(collector, L"\t", SaveFlags(indent, declaration), pugi::encoding_utf16_le);
    return FromUtf16LE(collector.bytes.data(), collector.bytes.size());
  } catch (...) {
    return WsString();
  }
}
