// Helpers of the session tests: they drive the library only through
// include/ravenlink.h, against the loopback test server, a registry fixture
// that points the service URL at it, and an inventory file of their own.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "ravenlink.h"
#include "support/platform.h"
#include "support/registry_fixture.h"
#include "support/temp_dir.h"
#include "support/test_server.h"

namespace session_test {

inline constexpr int kUntouched = 0x5A5A5A5A;

// A caller-owned VARIANT output. It starts as a VT_I4 sentinel, so a test
// sees whether a failed call left it alone; VariantClear frees what the
// library stored.
class Variant {
 public:
  Variant() { Reset(); }
  ~Variant() { VariantClear(&v_); }
  Variant(const Variant&) = delete;
  Variant& operator=(const Variant&) = delete;

  VARIANT* get() { return &v_; }
  void Reset() {
    VariantClear(&v_);
    v_.vt = VT_I4;
    v_.lVal = kUntouched;
  }
  bool Untouched() const { return v_.vt == VT_I4 && v_.lVal == kUntouched; }
  // The text stored, or a marker that says what else the VARIANT holds.
  std::wstring Text() const {
    if (v_.vt != VT_BSTR) return L"<vt " + std::to_wstring(v_.vt) + L">";
    if (v_.bstrVal == nullptr) return L"";
    return std::wstring(v_.bstrVal, SysStringLen(v_.bstrVal));
  }

 private:
  VARIANT v_{};
};

// What a test opens a session with. flags defaults to silent, so that no
// dialog can ever come up in a test run.
struct OpenArgs {
  std::wstring swapp = L"App";
  std::wstring swappVersion = L"1.0";
  std::wstring reserved = L"";
  int ownTargetOnly = 1;
  std::wstring wrapperlib = L"Wrapper";
  std::wstring wrapperlibVersion = L"2.0";
  int languageId = 9;
  int flags = RAVENLINK_FLAG_SILENT;
};

// One open session; closed on destruction.
class Session {
 public:
  explicit Session(const OpenArgs& a = OpenArgs()) {
    openResult_ = WsRavenlinkOpen2(a.swapp.c_str(), a.swappVersion.c_str(), a.reserved.c_str(),
                                   a.ownTargetOnly, a.wrapperlib.c_str(),
                                   a.wrapperlibVersion.c_str(), a.languageId, a.flags, &handle_);
  }
  ~Session() { Close(); }
  Session(const Session&) = delete;
  Session& operator=(const Session&) = delete;

  int OpenResult() const { return openResult_; }
  int handle() const { return handle_; }
  operator int() const { return handle_; }  // NOLINT: passed straight to the exports
  int Close() {
    const int result = handle_ > 0 ? WsRavenlinkClose(handle_) : 0;
    handle_ = 0;
    return result;
  }

  // Start, then Check until the fetch ends (bounded, so a hang fails the
  // test instead of the run). The result of the call that ended it.
  int Fetch() const {
    int result = StartGetNotifications(handle_);
    for (int i = 0; result == RAVENLINK_PENDING && i < 600; ++i) {
      result = CheckGetNotifications(handle_);
    }
    return result;
  }

  // GetMessageCount; -1 when the call fails.
  int Count() const {
    int count = -1;
    return GetMessageCount(handle_, &count) == RAVENLINK_OK ? count : -1;
  }
  // The ids of the applicable messages, in the library's order (counts first).
  std::vector<std::wstring> Ids() const {
    std::vector<std::wstring> ids;
    const int count = Count();
    for (int i = 0; i < count; ++i) {
      Variant id;
      if (GetMessageId(handle_, i, id.get()) != RAVENLINK_OK) {
        ids.push_back(L"<failed>");
      } else {
        ids.push_back(id.Text());
      }
    }
    return ids;
  }
  std::wstring Title(const std::wstring& id) const {
    Variant title;
    const int result = GetMessageTitle(handle_, id.c_str(), title.get());
    return result == RAVENLINK_OK ? title.Text() : L"<result " + std::to_wstring(result) + L">";
  }
  int Discarded() const {
    int count = -1;
    return GetDiscardedNotificationCount(handle_, &count) == RAVENLINK_OK ? count : -1;
  }

 private:
  int handle_ = 0;
  int openResult_ = -1;
};

// ---------------------------------------------------------------------------
// Answers the service sends.

// One "notification" element. Empty texts leave an element out where the
// reader treats it as optional; severity "-" leaves "severity" out and
// status false leaves "status" out.
struct Note {
  std::string id;
  std::string conditions = "<conditions/>";
  std::string severity = "Info";
  bool status = true;
  std::string minEngineVersion;  // attribute, left out when empty
  std::string target = "Wrapper";
  std::string title;  // defaults to "Title " + id
  std::string body = "Body";
  std::string url = "http://example.invalid/more";
  std::string displayNames;  // inner XML of "displayNames", left out when empty
};

inline std::string NotificationXml(const Note& n) {
  std::string xml = "<notification";
  if (!n.minEngineVersion.empty()) xml += " minEngineVersion=\"" + n.minEngineVersion + "\"";
  xml += "><ID>" + n.id + "</ID><targetApplication>" + n.target + "</targetApplication>";
  if (n.severity != "-") xml += "<severity>" + n.severity + "</severity>";
  xml += "<messageFamily>family</messageFamily>";
  if (n.status) xml += "<status code=\"live\"/>";
  xml += n.conditions;
  xml += "<messages><message lang=\"9\"><title>" + (n.title.empty() ? "Title " + n.id : n.title) +
         "</title><body>" + n.body + "</body><moreInfoUrl>" + n.url + "</moreInfoUrl>";
  if (!n.displayNames.empty()) xml += "<displayNames>" + n.displayNames + "</displayNames>";
  xml += "</message></messages></notification>";
  return xml;
}

// An answer packet holding the notifications; statusCode, when not empty,
// goes into "header"/"server"/"status".
inline std::string AnswerXml(const std::vector<Note>& notes, const std::string& statusCode = "") {
  std::string xml =
      "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n"
      "<packet xmlns=\"http://www.quorvane.com/Schemas/KVA/2.0\"><header><date>2026-12-06</date>";
  if (!statusCode.empty()) {
    xml += "<server><status code=\"" + statusCode + "\">refused</status></server>";
  }
  xml += "</header><body>";
  for (const Note& n : notes) xml += NotificationXml(n);
  xml += "</body></packet>";
  return xml;
}

// ---------------------------------------------------------------------------
// What crosses the wire.

// The UTF-16LE bytes of a text (ASCII and BMP only, as the fixtures are).
inline std::string Utf16LE(std::u16string_view text) {
  std::string bytes;
  for (char16_t c : text) {
    bytes += static_cast<char>(c & 0xFF);
    bytes += static_cast<char>(c >> 8);
  }
  return bytes;
}

// A posted body read back as text: it must be UTF-16LE with a byte-order
// mark; code units beyond ASCII come back as \u{XXXX}.
inline std::string PostedText(const std::string& body) {
  if (body.size() < 2 || body.size() % 2 != 0 || body[0] != '\xFF' || body[1] != '\xFE') {
    return "<not UTF-16LE with a byte-order mark: " + std::to_string(body.size()) + " bytes>";
  }
  std::string text;
  for (size_t i = 2; i < body.size(); i += 2) {
    const unsigned unit =
        static_cast<unsigned char>(body[i]) | static_cast<unsigned char>(body[i + 1]) << 8;
    if (unit < 0x80) {
      text += static_cast<char>(unit);
    } else {
      char buffer[16];
      std::snprintf(buffer, sizeof buffer, "\\u{%04X}", unit);
      text += buffer;
    }
  }
  return text;
}

struct Md {
  std::string field;
  std::string value;
};
using Group = std::vector<Md>;

// The request packet a session posts: the header of App 1.0 / Wrapper 2.0
// (unless given) and a query of the outer comparisons followed by the
// nested "Or" groups.
struct ExpectedQuery {
  Group outer;
  std::vector<Group> groups;
  std::string locale = "en-us";
  std::string swapp = "App", swappVersion = "1.0", wrapperlib = "Wrapper",
              wrapperlibVersion = "2.0";
};

inline std::string PacketText(const ExpectedQuery& q) {
  auto metadata = [](const Md& m, const std::string& indent) {
    return indent + "<metadata field=\"" + m.field + "\">" + m.value + "</metadata>\n";
  };
  std::string text =
      "<?xml version=\"1.0\"?>\n"
      "<packet xmlns=\"http://www.quorvane.com/Schemas/KVA/2.0\" "
      "xmlns:xsi=\"http://www.w3.org/2001/XMLSchema-instance\" "
      "xsi:schemaLocation=\"http://www.quorvane.com/Schemas/KVA/2.0 "
      "Schemas/Common/2.0/Packet.xsd\" schemaVersion=\"2.0\">\n"
      "\t<header>\n"
      "\t\t<locale>" +
      q.locale +
      "</locale>\n"
      "\t\t<date />\n"
      "\t\t<client>\n"
      "\t\t\t<swapp version=\"" +
      q.swappVersion + "\">" + q.swapp +
      "</swapp>\n"
      "\t\t\t<corelib version=\"17.0.0\">quillo</corelib>\n"
      "\t\t\t<wrapperlib version=\"" +
      q.wrapperlibVersion + "\">" + q.wrapperlib +
      "</wrapperlib>\n"
      "\t\t</client>\n"
      "\t</header>\n"
      "\t<body>\n"
      "\t\t<contentQuery>\n"
      "\t\t\t<query type=\"And\">\n";
  for (const Md& m : q.outer) text += metadata(m, "\t\t\t\t");
  for (const Group& g : q.groups) {
    if (g.empty()) {
      text += "\t\t\t\t<query type=\"Or\" />\n";
      continue;
    }
    text += "\t\t\t\t<query type=\"Or\">\n";
    for (const Md& m : g) text += metadata(m, "\t\t\t\t\t");
    text += "\t\t\t\t</query>\n";
  }
  text +=
      "\t\t\t</query>\n"
      "\t\t</contentQuery>\n"
      "\t</body>\n"
      "</packet>\n";
  return text;
}

inline const char kQueryTarget[] =
    "/qvwp/flumeway?cmd=ContentCmd:QueryDocument&flumeway%5Fversion=2%2E0";
inline const char kPingTarget[] = "/qvwp/flumeway?cmd=PingCmd:Ping&module=Flumeway";

// ---------------------------------------------------------------------------
// The fixture: a server, a registry that sends every product to it, and an
// empty machine (an inventory file that does not exist yet).

class SessionTest : public ::testing::Test {
 protected:
  SessionTest() {
    inventory_ = dir_.path() / "inventory.ini";
    SetEnvironmentVariableForTest("ZEB_INVENTORY_FILE", inventory_.string().c_str());
    registry_ = std::make_unique<ScopedRegistry>(RegistryText(""));
  }
  ~SessionTest() override {
    registry_.reset();
    SetEnvironmentVariableForTest("ZEB_INVENTORY_FILE", nullptr);
  }

  // The settings key with the service URL of every product, plus lines.
  std::wstring RegistryText(const std::string& extraSettings) const {
    const std::string text =
        "Windows Registry Editor Version 5.00\n\n"
        "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Quorvane\\Flumeway]\n"
        "\"S_URL\"=\"" +
        server_.BaseUrl() + "/qvwp/flumeway\"\n" + extraSettings;
    return std::wstring(text.begin(), text.end());
  }
  // No connection of the server is left open: the library ended its
  // exchanges (and the threads that ran them). The Windows internet client
  // decides itself when its connections end (it keeps finished ones open for
  // reuse, and a read it was blocked in may outlive a cancel), so there this
  // proves nothing and is left out.
  void ExpectIdle() {
    if (!TestsRunOnWindows()) {
      EXPECT_TRUE(server_.WaitForIdle(std::chrono::seconds(30)));
    }
  }
  // A ping with a time limit, meant to meet the response queued for it (one
  // that stalls or never ends). On a busy machine, or behind connections the
  // Windows internet client still holds for earlier stalled exchanges, the
  // ping can spend its whole limit before its request reaches the server,
  // which would leave that response for whatever comes next; the ping is then
  // tried again with a longer limit. Gives the result of the ping whose
  // request the server received.
  int PingReachingServer(int session, int limitMs) {
    int result = -1;
    for (int attempt = 0; attempt < 4; ++attempt, limitMs *= 4) {
      const size_t before = server_.RequestCount();
      result = PingServer(session, limitMs);
      if (server_.RequestCount() > before) return result;
    }
    ADD_FAILURE() << "no ping reached the server";
    return result;
  }
  void UseRegistry(const std::string& extraSettings) {
    registry_->Replace(RegistryText(extraSettings));
  }
  void WriteInventory(const std::string& text) const {
    std::ofstream(inventory_, std::ios::binary) << text;
  }
  void Answer(const std::vector<Note>& notes, const std::string& statusCode = "") {
    server_.Enqueue(ScriptedResponse::Ok(AnswerXml(notes, statusCode)));
  }
  // A file of the test's folder as the library is given it: the Windows
  // form, with backslashes (the platform layer maps them elsewhere).
  std::wstring PathIn(const std::string& name) const {
    std::wstring path = dir_.path().wstring() + L"\\";
    for (char c : name) path += c == '/' ? L'\\' : static_cast<wchar_t>(c);
    return path;
  }
  // The same file as the test itself opens it.
  std::filesystem::path HostPath(const std::string& name) const { return dir_.path() / name; }
  void WriteFile(const std::string& name, const std::string& content) const {
    std::filesystem::create_directories(HostPath(name).parent_path());
    std::ofstream(HostPath(name), std::ios::binary) << content;
  }
  std::string ReadFile(const std::string& name) const {
    std::ifstream in(HostPath(name), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }

  TestServer server_;
  TempDir dir_;
  std::filesystem::path inventory_;
  std::unique_ptr<ScopedRegistry> registry_;
};

}  // namespace session_test
