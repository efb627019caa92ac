#include "catalog/parted_catalog.h"

#include <string_view>

#include "packet/packet.h"
#include "packet/xml_helpers.h"

namespace {

const wchar_t kNotification[] = L"notification";

// Text parsed at a time: enough that the parser's own allocations are few,
// little enough that the parsed run stays in the cache while it is read.
constexpr size_t kRunBytes = 64 * 1024;

}  // namespace

PartedCatalog::PartedCatalog(const WsPacket& answer, WsRavenlinkSession* session,
                             IRulesEngine& engine, uint32_t language)
    : answer_(answer), engine_(engine), pendingBefore_(engine.MsiConditions().Pending()) {
  try {
    entries_.reserve(answer.PartCount());
    parts_.reserve(answer.PartCount());
    // One document, loaded again for every run.
    pugi::xml_document document;
    size_t first = 0;
    while (first < answer.PartCount()) {
      size_t last = first + 1;
      size_t bytes = answer.Part(first).size();
      while (last < answer.PartCount() && bytes < kRunBytes) bytes += answer.Part(last++).size();
      if (!ReadRun(first, last, document, session, language)) {
        malformed_ = true;
        Abandon();
        return;
      }
      first = last;
    }
  } catch (...) {
    Abandon();  // no destructor runs for a constructor that throws
    throw;
  }
}

PartedCatalog::~PartedCatalog() {
  Abandon();
}

void PartedCatalog::Abandon() {
  entries_.clear();
  parts_.clear();
  if (keepPending_) return;
  keepPending_ = true;
  engine_.MsiConditions().RestorePending(std::move(pendingBefore_));
}

bool PartedCatalog::ReadRun(size_t first, size_t last, pugi::xml_document& document,
                            WsRavenlinkSession* session, uint32_t language) {
  // Neighbouring parts are apart only by the body's other content, which
  // parses by itself (the skeleton did): the run's own elements are the parts.
  // A part's messages are left out where they are plainly well formed: they
  // are read only for the entries that apply, parsed again then.
  run_.clear();
  const char* copied = answer_.Part(first).data();
  for (size_t part = first; part < last; ++part) {
    const std::string_view messages = answer_.SkippableChild(part);
    if (messages.empty()) continue;
    run_.append(copied, static_cast<size_t>(messages.data() - copied));
    copied = messages.data() + messages.size();
  }
  const std::string_view end = answer_.Part(last - 1);
  run_.append(copied, static_cast<size_t>(end.data() + end.size() - copied));
  if (!document.load_buffer(run_.data(), run_.size(), pugi::parse_default, pugi::encoding_utf8)) {
    return false;
  }
  size_t part = first;
  for (pugi::xml_node node = document.first_child(); node; node = node.next_sibling()) {
    if (node.type() != pugi::node_element || !SameName(node.name(), kNotification)) continue;
    if (part == last) return false;
    // After an error the entries are no longer needed, only the checks of
    // the parts that follow: every part must still parse and, until an entry
    // fails to read, every entry be read.
    if (readError_ == kWsOk) ReadPart(node, part, session, language);
    ++part;
  }
  return part == last;
}

void PartedCatalog::ReadPart(pugi::xml_node notification, size_t part, WsRavenlinkSession* session,
                             uint32_t language) {
  try {
    auto entry = std::make_unique<WsRavenlinkEntry>(notification, language,
                                                    WsRavenlinkEntry::kReadMessageIfKept);
    if (treeError_ != kWsOk) return;
    if (entry->IsUnsupported()) {
      ++discarded_;
      return;
    }
    try {
      entry->AttachToSession(session, engine_);
    } catch (const WsStatus& status) {
      treeError_ = status;
      entries_.clear();
      parts_.clear();
      return;
    }
    entry->ForgetDocument();
    entries_.push_back(std::move(entry));
    parts_.push_back(part);
  } catch (const WsStatus& status) {
    readError_ = status;
    entries_.clear();
    parts_.clear();
  }
}

void PartedCatalog::ThrowReadError() const {
  if (readError_ != kWsOk) throw readError_;
}

uint32_t PartedCatalog::Store(RavenlinkEntryMap& entries) {
  ThrowReadError();
  // The trees before the failing one have registered their MSI conditions,
  // as the whole catalog's attaching would have.
  keepPending_ = true;
  if (treeError_ != kWsOk) throw treeError_;
  run_ = std::string();
  pugi::xml_document document;
  std::vector<PlainChild> children;
  std::vector<WsString> languages;
  const auto parse = [&](std::string_view text) {
    if (!document.load_buffer(text.data(), text.size(), pugi::parse_default, pugi::encoding_utf8)) {
      throw WsStatus(kWsXmlUnreadable);  // cannot happen: it was read before
    }
    return document.first_child();
  };
  StoreApplicable(engine_, entries_, entries, [&](size_t index) {
    WsRavenlinkEntry& entry = *entries_[index];
    const size_t part = parts_[index];
    // Where the messages were left out, only the one the entry reads is
    // parsed again if they can be listed as they stand, else all of them;
    // where they were not, the whole part. All of it parsed before.
    if (answer_.SkippableChildren(part, "message", "lang", children)) {
      languages.clear();
      for (const PlainChild& child : children) {
        languages.emplace_back(std::wstring(child.attribute.begin(), child.attribute.end()));
      }
      const size_t chosen = entry.ChooseMessage(languages);
      entry.ReadChosenMessageFrom(chosen == WsString::npos ? pugi::xml_node()
                                                           : parse(children[chosen].text));
      return;
    }
    const std::string_view messages = answer_.SkippableChild(part);
    const pugi::xml_node element = parse(messages.empty() ? answer_.Part(part) : messages);
    entry.ReadMessageFrom(messages.empty() ? GetChild(element, L"messages") : element);
  });
  return discarded_;
}
