// A UTF-8 answer is read a few notifications at a time; the same answer as
// UTF-16 is parsed whole. Both readings must leave a session in the same
// state: the same messages, texts and display names, the same discarded
// count and pending MSI texts, the same error, and on an error the same
// entries kept or dropped.
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include <pugixml.hpp>

#include "foundation/utf16.h"
#include "rules_fixture.h"
#include "rules_inventory_fixture.h"
#include "session/ravenlink_session.h"
#include "variant_out.h"
#include "support/registry_fixture.h"
#include "support/temp_dir.h"
#include "support/test_server.h"

namespace {

std::string Narrow(const WsString& text) {
  return pugi::as_utf8(text);
}

std::string Message(const std::string& lang, const std::string& title,
                    const std::string& extra = "") {
  return "<message lang='" + lang + "'><title>" + title + "</title><body>body of " + title +
         "</body><moreInfoUrl>http://x/" + title + "</moreInfoUrl>" + extra + "</message>";
}

// A notification; without messages it has one English message titled after its id.
std::string Note(const std::string& id, const std::string& conditions = "",
                 const std::string& messages = "", const std::string& attributes = "",
                 const std::string& severity = "Info") {
  return "<notification" + attributes + "><ID>" + id + "</ID><severity>" + severity +
         "</severity><targetApplication>Mine</targetApplication><status code='3'/><conditions>" +
         conditions + "</conditions><messages>" + (messages.empty() ? Message("9", id) : messages) +
         "</messages></notification>";
}

std::string Answer(const std::string& notifications, const std::string& code = "0") {
  return "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<packet><header><server><status code='" +
         code + "'/></server></header><body>" + notifications + "</body></packet>";
}

std::string Msi(const std::string& text, bool negated = false) {
  return std::string(negated ? "<msi logic='not'>" : "<msi>") + text + "</msi>";
}

// Holds while product A is being installed (the sessions say it is).
const std::string kInstallingA =
    "<product upc='" + Narrow(kKeyA) + "' status='installing' verMin='1' verMax='2'/>";
const std::string kInstallingB =
    "<product upc='" + Narrow(kKeyB) + "' status='installing' verMin='1' verMax='2'/>";
const std::string kTooNew = " minEngineVersion='99.0'";

// `count` notifications of about 330 bytes each, every third not applying;
// the ids of those that apply go to `ids`.
std::string Many(int count, std::vector<std::string>* ids = nullptr) {
  std::string out;
  for (int i = 0; i < count; ++i) {
    char id[16];
    std::snprintf(id, sizeof(id), "m%04d", i);
    out += Note(id, i % 3 == 0 ? kInstallingB : kInstallingA);
    if (i % 3 != 0 && ids != nullptr) ids->push_back(id);
  }
  return out;
}

// The UTF-16LE file with a byte-order mark that holds the same answer.
std::string Utf16File(const std::string& utf8) {
  return "\xFF\xFE" + ToUtf16LE(WsString(pugi::as_wide(utf8)));
}

ClientIdentity Client() {
  ClientIdentity client;
  client.swapp = L"App";
  client.swappVersion = L"1.0";
  client.wrapperlib = L"Mine";
  client.wrapperlibVersion = L"2.0";
  return client;
}

using Out = VariantOut;

std::vector<std::string> Ids(WsRavenlinkSession& session) {
  std::vector<std::string> ids;
  int32_t count = 0;
  session.GetMessageCount(&count);
  for (int32_t i = 0; i < count; ++i) {
    Out id;
    session.GetMessageId(static_cast<uint32_t>(i), &id);
    ids.push_back(Narrow(id.text()));
  }
  return ids;
}

// Everything a caller can read of the stored messages, one fact a line, and
// the session's discarded count and pending MSI texts.
std::string Describe(WsRavenlinkSession& session) {
  std::string out;
  for (const auto& stored : session.Entries()) {
    const WsString& id = stored.first;
    Out title, body, url, target;
    int32_t severity = -1, names = -1;
    session.GetMessageTitle(id, &title);
    session.GetMessageBody(id, &body);
    session.GetMessageUrl(id, &url);
    session.GetTargetApplication(id, &target);
    session.GetMessageSeverity(id, &severity);
    session.GetDisplayNameCount(id, &names);
    out += Narrow(id) + ": title=" + Narrow(title.text()) + " body=" + Narrow(body.text()) +
           " url=" + Narrow(url.text()) + " target=" + Narrow(target.text()) +
           " severity=" + std::to_string(severity) + "\n";
    for (int32_t i = 0; i < names; ++i) {
      Out name, verMin, verMax, guid;
      int32_t flags = -1;
      session.GetDisplayNameInfo(id, static_cast<uint32_t>(i), &name, &verMin, &verMax, &guid,
                                 &flags);
      out += "  name " + Narrow(name.text()) + "|" + Narrow(verMin.text()) + "|" +
             Narrow(verMax.text()) + "|" + Narrow(guid.text()) + "|" + std::to_string(flags) + "\n";
    }
  }
  int32_t discarded = -1;
  session.GetDiscardedNotificationCount(&discarded);
  out += "discarded=" + std::to_string(discarded) + "\npending=";
  for (const WsString& text : session.Rules().MsiConditions().Pending()) out += Narrow(text) + ";";
  return out;
}

enum class Encoding { kUtf8, kUtf16 };

struct Outcome {
  uint32_t status = 0;
  std::vector<std::string> ids;
  std::string state;
  uint32_t saveStatus = 0;
  std::string saved;  // the answer the session saves afterwards
};

std::string ReadBytes(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// The answer the session saves, and the status saving raises.
void Save(WsRavenlinkSession& session, const std::filesystem::path& path, Outcome& out) {
  std::filesystem::remove(path);
  out.saveStatus = StatusOf([&] { session.SaveNotificationResponse(WsString(path.wstring())); });
  out.saved = ReadBytes(path);
}

const wchar_t kEmptyRegistry[] = L"Windows Registry Editor Version 5.00\r\n\r\n";

class SessionPartedAnswerTest : public ::testing::Test {
 protected:
  SessionPartedAnswerTest() { inventory.Write(""); }

  void Load(WsRavenlinkSession& session, Encoding encoding, const std::string& answer) {
    const auto path = dir.path() / "answer.xml";
    std::ofstream(path, std::ios::binary | std::ios::trunc)
        << (encoding == Encoding::kUtf8 ? answer : Utf16File(answer));
    session.LoadNotificationResponse(WsString(path.wstring()));
  }

  // What a session is left with after it loaded `prior` and then `answer`,
  // both written in the encoding.
  Outcome Read(Encoding encoding, const std::string& answer, uint32_t language = 9) {
    WsRavenlinkSession session(Client(), language, kSessionNoQuery);
    session.SetMetaUtilsPath(inventory.MissingModule());
    session.SetInstallingProduct(kKeyA, L"1.0");
    Load(session, encoding, prior);
    Outcome out;
    out.status = StatusOf([&] { Load(session, encoding, answer); });
    out.ids = Ids(session);
    out.state = Describe(session);
    Save(session, dir.path() / "saved.xml", out);
    return out;
  }

  // Reads the answer both ways and checks that they agree; the parted reading's outcome.
  Outcome ReadBothWays(const std::string& name, const std::string& answer, uint32_t language = 9) {
    const Outcome parts = Read(Encoding::kUtf8, answer, language);
    const Outcome whole = Read(Encoding::kUtf16, answer, language);
    EXPECT_EQ(parts.status, whole.status) << name;
    EXPECT_EQ(parts.ids, whole.ids) << name;
    EXPECT_EQ(parts.state, whole.state) << name;
    EXPECT_EQ(parts.saveStatus, whole.saveStatus) << name;
    EXPECT_TRUE(parts.saved == whole.saved) << name << ": the saved answers differ";
    return parts;
  }

  ScopedRegistry registry{kEmptyRegistry};
  rules_test::InventoryFixture inventory;
  TempDir dir;
  // Loaded before each answer: one message, one discarded, one pending MSI text.
  std::string prior = Answer(Note("prior", Msi("P", true)) + Note("old", "", "", kTooNew));
};

TEST_F(SessionPartedAnswerTest, BothReadingsAgree) {
  std::vector<std::string> manyIds;
  const std::string many = Many(500, &manyIds);
  const std::string malformed =
      "<notification><ID>bad</Id><severity>Info</severity><status/>"
      "<conditions/></notification>";
  const std::string displayNames =
      "<displayNames><displayName guid='" + Narrow(kKeyA) +
      "'>Applies</displayName><displayName guid='{X}' verMin='8.5' verMax='9' "
      "invertedRange='true'>Inverted</displayName><displayName>Plain</displayName>"
      "</displayNames>";
  const struct {
    const char* name;
    std::string answer;
    uint32_t status;
    std::vector<std::string> ids;
    std::string shows;  // a line the session's state holds
  } rows[] = {
      {"conditions decide",
       Answer(Note("b") + Note("no", kInstallingB) + Note("a", kInstallingA) +
              Note("new", "", "", kTooNew, "Bogus") + Note("msi", Msi("M", true)) +
              Note("msi2", Msi("N"))),
       0,
       {"a", "b", "msi"},
       "discarded=1\npending=M;N;P;"},
      {"the last applicable of an id wins",
       Answer(Note("d", "", Message("9", "first")) + Note("d", "", Message("9", "second")) +
              Note("d", kInstallingB, Message("9", "third"))),
       0,
       {"d"},
       "d: title=second"},
      {"unknown severity in a later notification",
       Answer(Note("a", Msi("A")) + Note("b", "", "", "", "Information")),
       0x8000400B,
       {},
       "discarded=1\npending=P;"},
      {"unknown severity, then no status",
       Answer(Note("a", "", "", "", "Information") +
              "<notification><ID>b</ID><severity>Info</severity></notification>"),
       0x8000400B,
       {},
       ""},
      {"unknown severity in an unsupported notification",
       Answer(Note("x", "", "", " minEngineVersion='17.0.1'", "Information") + Note("y")),
       0,
       {"y"},
       "discarded=1"},
      {"bad condition, then an unknown severity",
       Answer(Note("a", Msi("A")) + Note("b", "<unknown/>") + Note("c", "", "", "", "Information")),
       0x8000400B,
       {},
       "pending=P;"},
      {"bad condition",
       Answer(Note("a", Msi("A")) + Note("b", Msi("B") + "<unknown/>") + Note("c", Msi("C"))),
       0x8000400A,
       {},
       "discarded=0\npending=A;B;P;"},
      {"malformed notification",
       Answer(Note("a") + malformed + Note("c")),
       0x80004002,
       {"prior"},
       "discarded=1\npending=P;"},
      {"malformed after an unknown severity",
       Answer(Note("a", "", "", "", "Information") + Note("b", "<unknown/>") + malformed),
       0x80004002,
       {"prior"},
       ""},
      {"service refused", Answer(Note("a", Msi("A")), "10"), 0x80008006, {"prior"}, "pending=P;"},
      // The parser reads C0 80 as a zero, which ends its reading.
      {"a zero in the messages of a notification that applies",
       Answer(Note("a", Msi("A")) + Note("z", "", Message("9", "\xC0\x80"))),
       0x80004002,
       {"prior"},
       "discarded=1\npending=P;"},
      {"a zero in the messages of a notification that does not apply",
       Answer(Note("a", Msi("A")) + Note("z", kInstallingB, Message("9", "\xC0\x80"))),
       0x80004002,
       {"prior"},
       "discarded=1\npending=P;"},
      {"other content in the body",
       Answer("text<!-- <notification><ID>c</ID></notification> -->" + Note("a") + "<other>" +
              Note("nested") + "</other><![CDATA[<notification>]]><?pi <x> ?>" + Note("b") +
              "<notifications/>"),
       0,
       {"a", "b"},
       ""},
      {"a part's end tag inside its markup",
       Answer("<notification><ID>a</ID><!-- </notification> --><severity>Info</severity><status/>"
              "<conditions/><messages>" +
              Message("9", "kept") + "</messages></notification>" + Note("b")),
       0,
       {"a", "b"},
       "a: title=kept"},
      {"a part's end and start tags inside its markup",
       Answer("<notification><ID>a</ID><!-- </notification><notification> --><severity>Info"
              "</severity><status/><conditions/><messages>" +
              Message("9", "kept") + "</messages></notification>" + Note("b")),
       0,
       {"a", "b"},
       "a: title=kept"},
      {"texts and display names",
       Answer(
           Note("t", kInstallingA,
                Message("9",
                        "Gr\xC3\xBC\xC3\x9F"
                        "e \xE2\x82\xAC &lt;1&gt;",
                        displayNames)) +
           Note("crlf", "", "<message lang='9'><title>x</title><body>1\r\n2\n3</body></message>")),
       0,
       {"crlf", "t"},
       "  name Applies|-1|-1|" + Narrow(kKeyA) + "|4096\n  name Inverted|8.5|9|{X}|1\n"},
      {"many notifications", Answer(many), 0, manyIds, "discarded=0"},
      {"many, unknown severity in the last",
       Answer(many + Note("z", "", "", "", "Information")),
       0x8000400B,
       {},
       "pending=P;"},
      {"many, malformed in the last", Answer(many + malformed), 0x80004002, {"prior"}, ""},
      {"many, bad condition in the last",
       Answer(many + Note("z", "<unknown/>")),
       0x8000400A,
       {},
       ""},
  };
  for (const auto& row : rows) {
    const Outcome outcome = ReadBothWays(row.name, row.answer);
    EXPECT_EQ(outcome.status, row.status) << row.name;
    EXPECT_EQ(outcome.ids, row.ids) << row.name;
    EXPECT_NE(outcome.state.find(row.shows), std::string::npos) << row.name << "\n"
                                                                << outcome.state;
  }
}

TEST_F(SessionPartedAnswerTest, MessageLanguage) {
  const std::string mixed = Message("9", "en1") + Message("7", "de1") + Message("x", "bad") +
                            Message("7", "de2") + Message("9", "en2");
  // Only the message read is parsed again where the "lang" values can be
  // taken as they stand; the others must come out the same.
  const struct {
    const char* name;
    std::string messages;
    uint32_t language;
    const char* title;
  } rows[] = {
      {"English", mixed, 9, "m: title=en2 "},
      {"the last in the language", mixed, 7, "m: title=de2 "},
      {"the first English otherwise", mixed, 12, "m: title=en1 "},
      {"none chosen", Message("12", "it") + Message("", "empty"), 9, "m: title= "},
      {"hexadecimal", Message("9", "en") + Message("0x7", "hex"), 7, "m: title=hex "},
      {"a reference", Message("9", "en") + Message("&#55;", "ref"), 7, "m: title=ref "},
      {"a tab", Message("9", "en") + Message("\t7", "tab"), 7, "m: title=en "},
      {"beyond ASCII", Message("9", "en") + Message("\xD9\xA7", "arabic"), 7, "m: title=en "},
      {"the first of two lang attributes",
       "<message lang='7' lang='9'><title>two</title></message>" + Message("9", "en"), 7,
       "m: title=two "},
      {"nested deeper, commented, other children",
       "<group>" + Message("7", "deep") + "</group><!-- " + Message("7", "comment") + " -->" +
           Message("9", "en") + "<note lang='7'/>",
       7, "m: title=en "},
      {"empty message", "<message lang='7'/>" + Message("9", "en"), 7, "m: title= "},
      {"sections and references inside",
       Message("7", "<![CDATA[a<b]]> &amp; c",
               "<displayNames><displayName>n</displayName>"
               "</displayNames>"),
       7, "m: title=a<b "},
  };
  for (const auto& row : rows) {
    const Outcome outcome =
        ReadBothWays(row.name, Answer(Note("m", "", row.messages)), row.language);
    EXPECT_NE(outcome.state.find(row.title), std::string::npos) << row.name << "\n"
                                                                << outcome.state;
  }
}

// A file whose declaration names another encoding is read whole, in that encoding.
TEST_F(SessionPartedAnswerTest, EightBitAnswer) {
  WsRavenlinkSession session(Client(), 9, kSessionNoQuery);
  session.SetMetaUtilsPath(inventory.MissingModule());
  Load(session, Encoding::kUtf8,
       "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?><packet><body>" +
           Note("l", "", Message("9", "caf\xE9")) + "</body></packet>");
  Out title;
  session.GetMessageTitle(L"l", &title);
  EXPECT_EQ(Narrow(title.text()), "caf\xC3\xA9");
}

// A fetched answer takes the request's own way to the parts and back to the
// whole; the answer saved afterwards is the one fetched.
TEST_F(SessionPartedAnswerTest, FetchedAnswers) {
  TestServer server;
  const std::string url = server.BaseUrl() + "/svc";
  registry.Replace(
      kEmptyRegistry +
      std::wstring(L"[HKEY_LOCAL_MACHINE\\SOFTWARE\\Quorvane\\Flumeway]\r\n\"S_URL\"=\"") +
      std::wstring(url.begin(), url.end()) + L"\"\r\n");
  const std::string malformed = "<notification><ID>bad</Id></notification>";
  const struct {
    const char* name;
    std::string answer;
    uint32_t status;
    std::vector<std::string> ids;
  } rows[] = {
      {"good",
       Answer(Note("b") + Note("a", Msi("A", true)) + Note("n", kInstallingB)),
       0,
       {"a", "b"}},
      {"unknown severity",
       Answer(Note("a") + Note("b", "", "", "", "Information")),
       0x8000400B,
       {}},
      {"bad condition", Answer(Note("a") + Note("b", "<unknown/>")), 0x8000400A, {}},
      {"malformed", Answer(Note("a") + malformed), 0x80004002, {}},
      {"malformed and refused", Answer(Note("a") + malformed, "10"), 0x80004002, {}},
      {"a zero in the messages",
       Answer(Note("a") + Note("z", kInstallingB, Message("9", "\xC0\x80"))),
       0x80004002,
       {}},
      {"refused", Answer(Note("a"), "10"), 0x80008006, {}},
  };
  for (const auto& row : rows) {
    Outcome outcomes[2];
    for (Encoding encoding : {Encoding::kUtf8, Encoding::kUtf16}) {
      Outcome& out = outcomes[encoding == Encoding::kUtf8 ? 0 : 1];
      server.Enqueue(
          ScriptedResponse::Ok(encoding == Encoding::kUtf8 ? row.answer : Utf16File(row.answer)));
      WsRavenlinkSession session(Client(), 9, 0);
      session.SetMetaUtilsPath(inventory.MissingModule());
      WsStatus status = session.StartGetNotifications();
      while (status == kWsStillRunning) status = session.CheckGetNotifications();
      out.status = status.code;
      out.ids = Ids(session);
      out.state = Describe(session);
      Save(session, dir.path() / "saved.xml", out);
    }
    EXPECT_EQ(outcomes[0].status, row.status) << row.name;
    EXPECT_EQ(outcomes[0].ids, row.ids) << row.name;
    EXPECT_EQ(outcomes[1].status, outcomes[0].status) << row.name;
    EXPECT_EQ(outcomes[1].ids, outcomes[0].ids) << row.name;
    EXPECT_EQ(outcomes[1].state, outcomes[0].state) << row.name;
    EXPECT_EQ(outcomes[1].saveStatus, outcomes[0].saveStatus) << row.name << ": saving";
    EXPECT_TRUE(outcomes[1].saved == outcomes[0].saved) << row.name << ": the saved answers differ";
  }
}

}  // namespace
