#include "tools/cli/messages.h"

#include <ravenlink.h>

#include "tools/cli/text.h"

namespace cli {
namespace {

// A caller-owned VARIANT that frees its text.
class Variant {
 public:
  Variant() { VariantInit(&value_); }
  ~Variant() { VariantClear(&value_); }
  Variant(const Variant&) = delete;
  Variant& operator=(const Variant&) = delete;
  VARIANT* get() { return &value_; }
  std::string Text() const {
    if (value_.vt != VT_BSTR || value_.bstrVal == nullptr) return std::string();
    return ToUtf8(std::wstring(value_.bstrVal, SysStringLen(value_.bstrVal)));
  }

 private:
  VARIANT value_;
};

class Reader {
 public:
  Reader(int handle, std::string& failedCall) : handle_(handle), failedCall_(failedCall) {}

  // Records the first failing call and tells whether this one succeeded.
  bool Ok(int rc, const char* call) {
    if (rc == RAVENLINK_OK) return true;
    if (status_ == RAVENLINK_OK) {
      status_ = rc;
      failedCall_ = call;
    }
    return false;
  }
  int Status() const { return status_; }
  int Handle() const { return handle_; }

 private:
  int handle_;
  std::string& failedCall_;
  int status_ = RAVENLINK_OK;
};

void ReadDisplayNames(Reader& r, const std::wstring& id, Message& m) {
  int count = 0;
  if (!r.Ok(GetDisplayNameCount(r.Handle(), id.c_str(), &count), "GetDisplayNameCount")) return;
  for (int i = 0; i < count; ++i) {
    Variant name, verMin, verMax, guid;
    DisplayName d;
    if (!r.Ok(GetDisplayNameInfo(r.Handle(), id.c_str(), i, name.get(), verMin.get(), verMax.get(),
                                 guid.get(), &d.flags),
              "GetDisplayNameInfo")) {
      return;
    }
    d.name = name.Text();
    d.versionMin = verMin.Text();
    d.versionMax = verMax.Text();
    d.guid = guid.Text();
    m.displayNames.push_back(d);
  }
}

void ReadRequired(Reader& r, const std::wstring& id, Message& m) {
  int count = 0;
  if (r.Ok(GetProductRequiredCount(r.Handle(), id.c_str(), &count), "GetProductRequiredCount")) {
    for (int i = 0; i < count; ++i) {
      Variant key, version;
      RequiredEntry e{"product"};
      if (!r.Ok(GetProductRequired(r.Handle(), id.c_str(), i, key.get(), version.get(), &e.kind,
                                   &e.value),
                "GetProductRequired")) {
        break;
      }
      e.key = key.Text();
      e.version = version.Text();
      m.required.push_back(e);
    }
  }
  using CountFn = int(RAVENLINK_CALL*)(int, const wchar_t*, int*);
  using ItemFn =
      int(RAVENLINK_CALL*)(int, const wchar_t*, int, VARIANT*, VARIANT*, VARIANT*, int*, int*);
  struct Kind {
    const char* type;
    CountFn count;
    ItemFn item;
    const char* countName;
    const char* itemName;
  };
  const Kind kinds[] = {
      {"distribution", GetDistributionRequiredCount, GetDistributionRequired,
       "GetDistributionRequiredCount", "GetDistributionRequired"},
      {"suite", GetSuiteRequiredCount, GetSuiteRequired, "GetSuiteRequiredCount",
       "GetSuiteRequired"},
  };
  for (const Kind& kind : kinds) {
    count = 0;
    if (!r.Ok(kind.count(r.Handle(), id.c_str(), &count), kind.countName)) continue;
    for (int i = 0; i < count; ++i) {
      Variant key, version, language;
      RequiredEntry e{kind.type};
      if (!r.Ok(kind.item(r.Handle(), id.c_str(), i, key.get(), version.get(), language.get(),
                          &e.kind, &e.value),
                kind.itemName)) {
        break;
      }
      e.key = key.Text();
      e.version = version.Text();
      e.language = language.Text();
      m.required.push_back(e);
    }
  }
}

void ReadDriverTemplate(Reader& r, const std::wstring& id, Message& m) {
  int first = 0, second = 0, third = 0, found = 0;
  Variant text;
  // A tree without the shape of a driver-template rule is not an error of the
  // message: it is reported as not read.
  if (GetKXDriverTemplateInfo(r.Handle(), id.c_str(), &first, &second, &third, text.get(),
                              &found) != RAVENLINK_OK) {
    return;
  }
  DriverTemplate& t = m.driverTemplate;
  t.read = true;
  t.found = found != 0;
  t.first = first != 0;
  t.second = second != 0;
  t.third = third != 0;
  t.text = text.Text();
}

// JSON and table helpers.
std::string Bool(bool value) {
  return value ? "true" : "false";
}

std::string RequirementWord(int kind) {
  if (kind == 1) return "required";
  if (kind == 2) return "excluded";
  return std::to_string(kind);
}

// Continuation lines of a multi-line text line up under its first line.
std::string Indented(const std::string& text) {
  std::string out;
  for (const char c : text) {
    out += c;
    if (c == '\n') out += std::string(13, ' ');
  }
  return out;
}

std::string DisplayFlagsWords(int flags) {
  std::string words;
  if (flags & 0x0001) words += "inverted range";
  if (flags & 0x1000) words += words.empty() ? "applies" : ", applies";
  return words.empty() ? "none" : words;
}

}  // namespace

std::string SeverityWord(int severity) {
  static const char* const kWords[] = {"info",  "warning", "critical",
                                       "fatal", "upgrade", "service pack"};
  if (severity >= 0 && severity < 6) return kWords[severity];
  return std::to_string(severity);
}

std::string InstallStatusWord(int status) {
  static const char* const kWords[] = {"installing",
                                       "installed",
                                       "installed or installing",
                                       "not installing",
                                       "not installed",
                                       "not installed or installing",
                                       "available",
                                       "installed or available"};
  if (status >= 0 && status < 8) return kWords[status];
  return std::to_string(status);
}

int ReadMessages(int handle, MessageList& list, std::string& failedCall) {
  Reader r(handle, failedCall);
  int count = 0;
  if (!r.Ok(GetMessageCount(handle, &count), "GetMessageCount")) return r.Status();
  if (!r.Ok(GetDiscardedNotificationCount(handle, &list.discarded),
            "GetDiscardedNotificationCount")) {
    return r.Status();
  }
  for (int i = 0; i < count; ++i) {
    Message m;
    Variant id, title, body, url, target;
    if (!r.Ok(GetMessageId(handle, i, id.get()), "GetMessageId")) return r.Status();
    if (!r.Ok(GetMessageInfo(handle, i, L"", title.get(), body.get(), url.get()),
              "GetMessageInfo")) {
      return r.Status();
    }
    m.id = id.Text();
    m.title = title.Text();
    m.body = body.Text();
    m.link = url.Text();
    const std::wstring wideId = FromUtf8(m.id);
    if (!r.Ok(GetMessageSeverity(handle, wideId.c_str(), &m.severity), "GetMessageSeverity") ||
        !r.Ok(GetTargetApplication(handle, wideId.c_str(), target.get()), "GetTargetApplication")) {
      return r.Status();
    }
    m.targetApplication = target.Text();
    ReadDisplayNames(r, wideId, m);
    ReadRequired(r, wideId, m);
    ReadDriverTemplate(r, wideId, m);
    list.messages.push_back(m);
  }
  return r.Status();
}

void PrintTable(std::FILE* out, const MessageList& list) {
  const bool one = list.messages.size() == 1;
  std::fprintf(out, "%zu %s", list.messages.size(), one ? "message applies" : "messages apply");
  if (list.discarded > 0) {
    std::fprintf(out, " (%d discarded: they need a newer library)", list.discarded);
  }
  std::fprintf(out, "\n");
  for (const Message& m : list.messages) {
    std::fprintf(out, "\n%-12s %s\n", "id", m.id.c_str());
    std::fprintf(out, "%-12s %s\n", "severity", SeverityWord(m.severity).c_str());
    std::fprintf(out, "%-12s %s\n", "title", Indented(m.title).c_str());
    std::fprintf(out, "%-12s %s\n", "body", Indented(m.body).c_str());
    std::fprintf(out, "%-12s %s\n", "link", m.link.c_str());
    if (!m.targetApplication.empty()) {
      std::fprintf(out, "%-12s %s\n", "target", m.targetApplication.c_str());
    }
    for (const DisplayName& d : m.displayNames) {
      std::fprintf(out, "%-12s %s [%s .. %s] %s (flags: %s)\n", "display name", d.name.c_str(),
                   d.versionMin.c_str(), d.versionMax.c_str(), d.guid.c_str(),
                   DisplayFlagsWords(d.flags).c_str());
    }
    for (const RequiredEntry& e : m.required) {
      std::fprintf(out, "%-12s %s %s %s%s%s (%s)\n", RequirementWord(e.kind).c_str(),
                   e.type.c_str(), e.key.c_str(), e.version.c_str(), e.language.empty() ? "" : " ",
                   e.language.c_str(), InstallStatusWord(e.value).c_str());
    }
    const DriverTemplate& t = m.driverTemplate;
    if (t.read) {
      std::fprintf(out, "%-12s %s; first %s, second %s, third %s%s%s\n", "driver tmpl",
                   t.found ? "found" : "not found", t.first ? "yes" : "no", t.second ? "yes" : "no",
                   t.third ? "yes" : "no", t.text.empty() ? "" : "; products ", t.text.c_str());
    }
  }
}

void PrintJson(std::FILE* out, const MessageList& list) {
  std::fprintf(out, "{\"discarded\": %d, \"messages\": [", list.discarded);
  const char* separator = "";
  for (const Message& m : list.messages) {
    std::fprintf(out, "%s\n  {\"id\": %s, \"severity\": %s, \"severityValue\": %d,", separator,
                 JsonQuote(m.id).c_str(), JsonQuote(SeverityWord(m.severity)).c_str(), m.severity);
    std::fprintf(out, " \"title\": %s, \"body\": %s, \"link\": %s, \"targetApplication\": %s,",
                 JsonQuote(m.title).c_str(), JsonQuote(m.body).c_str(), JsonQuote(m.link).c_str(),
                 JsonQuote(m.targetApplication).c_str());
    std::fprintf(out, "\n   \"displayNames\": [");
    const char* inner = "";
    for (const DisplayName& d : m.displayNames) {
      std::fprintf(out,
                   "%s{\"name\": %s, \"versionMin\": %s, \"versionMax\": %s, \"guid\": %s, "
                   "\"flags\": %d, \"invertedRange\": %s, \"applies\": %s}",
                   inner, JsonQuote(d.name).c_str(), JsonQuote(d.versionMin).c_str(),
                   JsonQuote(d.versionMax).c_str(), JsonQuote(d.guid).c_str(), d.flags,
                   Bool(d.flags & 0x0001).c_str(), Bool(d.flags & 0x1000).c_str());
      inner = ", ";
    }
    std::fprintf(out, "],\n   \"required\": [");
    inner = "";
    for (const RequiredEntry& e : m.required) {
      std::fprintf(out,
                   "%s{\"type\": %s, \"key\": %s, \"version\": %s, \"language\": %s, "
                   "\"requirement\": %s, \"status\": %s}",
                   inner, JsonQuote(e.type).c_str(), JsonQuote(e.key).c_str(),
                   JsonQuote(e.version).c_str(), JsonQuote(e.language).c_str(),
                   JsonQuote(RequirementWord(e.kind)).c_str(),
                   JsonQuote(InstallStatusWord(e.value)).c_str());
      inner = ", ";
    }
    std::fprintf(out, "],\n   \"driverTemplate\": ");
    const DriverTemplate& t = m.driverTemplate;
    if (t.read) {
      std::fprintf(out,
                   "{\"found\": %s, \"first\": %s, \"second\": %s, \"third\": %s, \"text\": %s}}",
                   Bool(t.found).c_str(), Bool(t.first).c_str(), Bool(t.second).c_str(),
                   Bool(t.third).c_str(), JsonQuote(t.text).c_str());
    } else {
      std::fprintf(out, "null}");
    }
    separator = ",";
  }
  std::fprintf(out, "%s]}\n", list.messages.empty() ? "" : "\n");
}

}  // namespace cli
