#include "packet/xml_document.h"

#include <algorithm>
#include <cstdint>
#include <new>

#include "compat/win32.h"
#include "foundation/file_helpers.h"
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

// Reads the whole file into storage of the parser's own allocator, sized from
// the file's size, so that the parser can take the bytes over and release them
// once it has converted them. Null when the file cannot be opened or read, or
// when what was read is not the size the file reported (it changed meanwhile);
// the caller then reads it the ordinary way.
void* ReadFileForParser(const WsString& path, size_t& size) {
  HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return nullptr;
  void* data = nullptr;
  LARGE_INTEGER length;
  if (GetFileSizeEx(file, &length) && length.QuadPart >= 0 &&
      static_cast<ULONGLONG>(length.QuadPart) < SIZE_MAX / 2) {
    size = static_cast<size_t>(length.QuadPart);
    // One byte more than the size, to see that the file ends where it said.
    const size_t room = size + 1;
    data = pugi::get_memory_allocation_function()(room);
    if (data != nullptr) {
      char* bytes = static_cast<char*>(data);
      size_t done = 0;
      bool ok = true;
      while (done < room) {
        const DWORD step = static_cast<DWORD>(std::min<size_t>(room - done, size_t{1} << 30));
        DWORD read = 0;
        if (!ReadFile(file, bytes + done, step, &read, nullptr)) {
          ok = false;
          break;
        }
        if (read == 0) break;
        done += read;
      }
      if (!ok || done != size) {
        pugi::get_memory_deallocation_function()(data);
        data = nullptr;
      }
    }
  }
  CloseHandle(file);
  return data;
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
  Parse(bytes.data(), bytes.size(), false);
}

void WsXmlDocument::Parse(const void* bytes, size_t size, bool own) {
  Reset();
  pugi::xml_parse_result result;
  try {
    document_ = std::make_shared<pugi::xml_document>();
    if (own) {
      // From here on the document owns the bytes, whatever the outcome.
      own = false;
      result = document_->load_buffer_inplace_own(const_cast<void*>(bytes), size,
                                                  pugi::parse_default, pugi::encoding_auto);
    } else {
      result = document_->load_buffer(bytes, size, pugi::parse_default, pugi::encoding_auto);
    }
  } catch (...) {
    if (own) pugi::get_memory_deallocation_function()(const_cast<void*>(bytes));
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
  size_t size = 0;
  if (void* owned = ReadFileForParser(path, size)) {
    Parse(owned, size, true);
    return;
  }
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
