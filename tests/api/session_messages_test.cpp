// Reading the messages of a fetched answer: texts, severities, the per-item
// message queries, required items, display names, the driver template, and
// how caller inputs and ResetConditions change what applies.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "session_harness.h"

namespace session_test {
namespace {

using Ids = std::vector<std::wstring>;

const char kA[] = "{AAAAAAAA-1111-2222-3333-444444444444}";
const wchar_t kAw[] = L"{AAAAAAAA-1111-2222-3333-444444444444}";
const char kB[] = "{BBBBBBBB-1111-2222-3333-444444444444}";
const wchar_t kBw[] = L"{BBBBBBBB-1111-2222-3333-444444444444}";
const char kD[] = "{DDDDDDDD-1111-2222-3333-444444444444}";
const wchar_t kDw[] = L"{DDDDDDDD-1111-2222-3333-444444444444}";

std::string Product(const char* key, const char* status, const char* min, const char* max,
                    const char* logic = "") {
  std::string xml = std::string("<product upc=\"") + key + "\" status=\"" + status +
                    "\" verMin=\"" + min + "\" verMax=\"" + max + "\"";
  if (*logic) xml += std::string(" logic=\"") + logic + "\"";
  return xml + "/>";
}

std::string Conditions(const std::string& inner) {
  return "<conditions>" + inner + "</conditions>";
}

class MessagesTest : public SessionTest {};

TEST_F(MessagesTest, MessageTexts) {
  Answer({{.id = "m",
           .target = "Other",
           .title = "Hello",
           .body = "Line\nNext",
           .url = "http://example.invalid/m"}});
  Session session;
  ASSERT_EQ(session.Fetch(), RAVENLINK_OK);
  ASSERT_EQ(session.Count(), 1);

  Variant title, body, url, target;
  EXPECT_EQ(GetMessageInfo(session, 0, L"ignored", title.get(), body.get(), url.get()),
            RAVENLINK_OK);
  EXPECT_EQ(title.Text(), L"Hello");
  EXPECT_EQ(body.Text(), L"Line\r\nNext");
  EXPECT_EQ(url.Text(), L"http://example.invalid/m");
  // Outputs that already hold a text are cleared first (the sanitizer build
  // sees a leak otherwise).
  EXPECT_EQ(GetMessageTitle(session, L"m", title.get()), RAVENLINK_OK);
  EXPECT_EQ(title.Text(), L"Hello");
  EXPECT_EQ(GetMessageBody(session, L"m", body.get()), RAVENLINK_OK);
  EXPECT_EQ(body.Text(), L"Line\r\nNext");
  EXPECT_EQ(GetMessageUrl(session, L"m", url.get()), RAVENLINK_OK);
  EXPECT_EQ(url.Text(), L"http://example.invalid/m");
  EXPECT_EQ(GetTargetApplication(session, L"m", target.get()), RAVENLINK_OK);
  EXPECT_EQ(target.Text(), L"Other");
  EXPECT_EQ(GetMessageInfo(session, 0, L"", nullptr, nullptr, nullptr), RAVENLINK_OK);

  // Unknown ids and indexes: 3, outputs untouched.
  Variant untouched;
  int number = kUntouched;
  EXPECT_EQ(GetMessageTitle(session, L"M", untouched.get()), RAVENLINK_TRANSPORT_FAILED);
  EXPECT_EQ(GetMessageBody(session, L"", untouched.get()), RAVENLINK_TRANSPORT_FAILED);
  EXPECT_EQ(GetMessageUrl(session, L"m ", untouched.get()), RAVENLINK_TRANSPORT_FAILED);
  EXPECT_EQ(GetTargetApplication(session, L"x", untouched.get()), RAVENLINK_TRANSPORT_FAILED);
  EXPECT_EQ(GetMessageId(session, 1, untouched.get()), RAVENLINK_TRANSPORT_FAILED);
  EXPECT_EQ(GetMessageId(session, -1, untouched.get()), RAVENLINK_TRANSPORT_FAILED);
  EXPECT_EQ(GetMessageInfo(session, 1, L"", untouched.get(), nullptr, nullptr),
            RAVENLINK_TRANSPORT_FAILED);
  EXPECT_EQ(GetMessageSeverity(session, L"x", &number), RAVENLINK_TRANSPORT_FAILED);
  EXPECT_EQ(GetDisplayNameCount(session, L"x", &number), RAVENLINK_TRANSPORT_FAILED);
  EXPECT_EQ(GetProductRequiredCount(session, L"x", &number), RAVENLINK_TRANSPORT_FAILED);
  EXPECT_TRUE(untouched.Untouched());
  EXPECT_EQ(number, kUntouched);
}

TEST_F(MessagesTest, Severities) {
  const struct {
    const char* text;
    int value;
  } cases[] = {{"Info", 0},    {"Warning", 1}, {"Critical", 2},    {"Fatal", 3},
               {"Upgrade", 4}, {"warning", 1}, {"SERVICEPACK", 5}, {"ServicePack", 5}};
  std::vector<Note> notes;
  for (const auto& c : cases) notes.push_back({.id = c.text, .severity = c.text});
  Answer(notes);
  Session session;
  ASSERT_EQ(session.Fetch(), RAVENLINK_OK);
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    int severity = -1;
    const std::string id(c.text);
    EXPECT_EQ(GetMessageSeverity(session, std::wstring(id.begin(), id.end()).c_str(), &severity),
              RAVENLINK_OK);
    EXPECT_EQ(severity, c.value);
  }
}

// Conditions on what the caller installs: the verdict, the required items,
// and the open flag that lets available items count as installing.
TEST_F(MessagesTest, InstallingAndAvailableItems) {
  struct Case {
    const char* name;
    int flags;
    std::string conditions;
    bool installing;  // SetInstallingProduct(A, 1.5) else SetAvailableProduct(A, 1.5)
    bool applies;
    int kind, value;  // of the one required product, when it applies
  } cases[] = {
      {"Installing", 4, Conditions(Product(kA, "installing", "1.0", "2.0")), true, true, 1, 0},
      {"OnlyAvailable", 4, Conditions(Product(kA, "installing", "1.0", "2.0")), false, false, 0, 0},
      {"AvailableCountsAsInstalling", 12, Conditions(Product(kA, "installing", "1.0", "2.0")),
       false, true, 1, 6},
      {"OutOfRange", 12, Conditions(Product(kA, "installing", "1.6", "2.0")), true, false, 0, 0},
      {"NotInstallingWhileAvailable", 4, Conditions(Product(kA, "notInstalling", "1.0", "2.0")),
       false, true, 2, 6},
      {"NegatedInstalling", 4, Conditions(Product(kA, "installing", "1.0", "2.0", "NOT")), false,
       true, 2, 6},
      {"Available", 4, Conditions(Product(kA, "available", "1.0", "2.0")), false, true, -1, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    OpenArgs args;
    args.flags = c.flags;
    Session session(args);
    if (c.installing) {
      ASSERT_EQ(SetInstallingProduct(session, kAw, L"1.5"), RAVENLINK_OK);
    } else {
      ASSERT_EQ(SetAvailableProduct(session, kAw, L"1.5"), RAVENLINK_OK);
    }
    Answer({{.id = "m", .conditions = c.conditions}});
    ASSERT_EQ(session.Fetch(), RAVENLINK_OK);
    EXPECT_EQ(session.Ids(), c.applies ? Ids{L"m"} : Ids{});
    if (!c.applies) {
      int count = kUntouched;
      EXPECT_EQ(GetProductRequiredCount(session, L"m", &count), RAVENLINK_TRANSPORT_FAILED);
      continue;
    }
    // The stored entry's tree records its required items at its next
    // evaluation.
    ASSERT_EQ(ResetConditions(session, c.flags), RAVENLINK_OK);
    ASSERT_EQ(session.Ids(), Ids{L"m"});
    int count = -1;
    EXPECT_EQ(GetProductRequiredCount(session, L"m", &count), RAVENLINK_OK);
    EXPECT_EQ(count, c.kind < 0 ? 0 : 1);
    if (c.kind < 0) continue;
    Variant key, version;
    int kind = -1, value = -1;
    EXPECT_EQ(GetProductRequired(session, L"m", 0, key.get(), version.get(), &kind, &value),
              RAVENLINK_OK);
    EXPECT_EQ(key.Text(), kAw);
    EXPECT_EQ(version.Text(), L"1.5");
    EXPECT_EQ(kind, c.kind);
    EXPECT_EQ(value, c.value);
    Variant beyond;
    EXPECT_EQ(GetProductRequired(session, L"m", 1, beyond.get(), nullptr, &kind, &value),
              RAVENLINK_TRANSPORT_FAILED);
    EXPECT_TRUE(beyond.Untouched());
  }
}

// The required items name the caller's records; clearing the caller's items
// does not clear what the last evaluation recorded.
TEST_F(MessagesTest, RequirementsOutliveClearInstallingInfo) {
  Session session;
  ASSERT_EQ(SetInstallingProduct(session, kAw, L"1.5"), RAVENLINK_OK);
  Answer({{.id = "m", .conditions = Conditions(Product(kA, "installing", "1.0", "2.0"))}});
  ASSERT_EQ(session.Fetch(), RAVENLINK_OK);
  ASSERT_EQ(ResetConditions(session, RAVENLINK_FLAG_SILENT), RAVENLINK_OK);
  ASSERT_EQ(session.Ids(), Ids{L"m"});
  ASSERT_EQ(ClearInstallingInfo(session), RAVENLINK_OK);
  ASSERT_EQ(SetAvailableProduct(session, kBw, L"9.9"), RAVENLINK_OK);

  int count = -1;
  EXPECT_EQ(GetProductRequiredCount(session, L"m", &count), RAVENLINK_OK);
  EXPECT_EQ(count, 1);
  Variant key, version;
  int kind = -1, value = -1;
  EXPECT_EQ(GetProductRequired(session, L"m", 0, key.get(), version.get(), &kind, &value),
            RAVENLINK_OK);
  EXPECT_EQ(key.Text(), kAw);
  EXPECT_EQ(version.Text(), L"1.5");
  EXPECT_EQ(kind, 1);
  EXPECT_EQ(value, 0);

  // The next evaluation records against the sets as they are now.
  ASSERT_EQ(ResetConditions(session, RAVENLINK_FLAG_SILENT), RAVENLINK_OK);
  EXPECT_EQ(session.Ids(), Ids{});
  EXPECT_EQ(GetProductRequiredCount(session, L"m", &count), RAVENLINK_OK);
  EXPECT_EQ(count, 0);
}

TEST_F(MessagesTest, DistributionAndSuiteRequirements) {
  Session session;
  ASSERT_EQ(SetInstallingDistribution(session, kDw, L"3.0", L"1031,1033"), RAVENLINK_OK);
  ASSERT_EQ(SetAvailableSuite(session, kBw, L"7.1", L""), RAVENLINK_OK);
  Answer({{.id = "m",
           .conditions = Conditions(
               std::string("<distribution guid=\"") + kD +
               "\" status=\"installing\" verMin=\"2.0\" verMax=\"4.0\" lang=\"1033, 1031\"/>"
               "<suite guid=\"" +
               kB + "\" status=\"notInstalling\" verMin=\"7\" verMax=\"8\" lang=\"\"/>")}});
  ASSERT_EQ(session.Fetch(), RAVENLINK_OK);
  ASSERT_EQ(ResetConditions(session, RAVENLINK_FLAG_SILENT), RAVENLINK_OK);
  ASSERT_EQ(session.Ids(), Ids{L"m"});

  int count = -1;
  EXPECT_EQ(GetDistributionRequiredCount(session, L"m", &count), RAVENLINK_OK);
  EXPECT_EQ(count, 1);
  Variant guid, version, language;
  int kind = -1, value = -1;
  EXPECT_EQ(GetDistributionRequired(session, L"m", 0, guid.get(), version.get(), language.get(),
                                    &kind, &value),
            RAVENLINK_OK);
  EXPECT_EQ(guid.Text(), kDw);
  EXPECT_EQ(version.Text(), L"3.0");
  EXPECT_EQ(language.Text(), L"1031,1033");
  EXPECT_EQ(kind, 1);
  EXPECT_EQ(value, 0);

  EXPECT_EQ(GetSuiteRequiredCount(session, L"m", &count), RAVENLINK_OK);
  EXPECT_EQ(count, 1);
  guid.Reset();
  version.Reset();
  language.Reset();
  EXPECT_EQ(
      GetSuiteRequired(session, L"m", 0, guid.get(), version.get(), language.get(), &kind, &value),
      RAVENLINK_OK);
  EXPECT_EQ(guid.Text(), kBw);
  EXPECT_EQ(version.Text(), L"7.1");
  EXPECT_EQ(language.Text(), L"");
  EXPECT_EQ(kind, 2);
  EXPECT_EQ(value, 6);
  EXPECT_EQ(GetProductRequiredCount(session, L"m", &count), RAVENLINK_OK);
  EXPECT_EQ(count, 0);
}

// Messages that concern one item: keyed by GUID, matched by version; an
// entry that names an item twice is listed once.
TEST_F(MessagesTest, ItemMessageQueries) {
  Session session;
  ASSERT_EQ(SetInstallingDistribution(session, kDw, L"2.0", L""), RAVENLINK_OK);
  ASSERT_EQ(SetInstallingProduct(session, kAw, L"1.5"), RAVENLINK_OK);
  const std::string dist = std::string("<distribution guid=\"") + kD +
                           "\" status=\"installing\" verMin=\"1.0\" verMax=\"3.0\" lang=\"\"/>";
  Answer({{.id = "twice", .conditions = Conditions("<or>" + dist + dist + "</or>")},
          {.id = "prod", .conditions = Conditions(Product(kA, "installing", "1.0", "2.0"))},
          {.id = "both", .conditions = Conditions(Product(kA, "installing", "1.2", "1.8") + dist)},
          {.id = "plain"}});
  ASSERT_EQ(session.Fetch(), RAVENLINK_OK);

  struct Case {
    const char* name;
    int kind;  // 0 product, 1 distribution, 2 suite
    const wchar_t* key;
    const wchar_t* version;
    Ids ids;
  } cases[] = {
      {"DistributionInRange", 1, kDw, L"2.0", {L"both", L"twice"}},
      {"DistributionLowerCaseKey",
       1,
       L"{dddddddd-1111-2222-3333-444444444444}",
       L"3.0",
       {L"both", L"twice"}},
      {"DistributionOutOfRange", 1, kDw, L"3.1", {}},
      {"ProductInBothRanges", 0, kAw, L"1.5", {L"both", L"prod"}},
      {"ProductInOneRange", 0, kAw, L"1.9", {L"prod"}},
      {"ProductUnknown", 0, kBw, L"1.5", {}},
      {"SuiteNone", 2, kDw, L"2.0", {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    int count = -1;
    const int result = c.kind == 0 ? GetProductMessageCount(session, c.key, c.version, &count)
                       : c.kind == 1
                           ? GetDistributionMessageCount(session, c.key, c.version, L"1033", &count)
                           : GetSuiteMessageCount(session, c.key, c.version, L"", &count);
    EXPECT_EQ(result, RAVENLINK_OK);
    ASSERT_EQ(count, static_cast<int>(c.ids.size()));
    for (int i = 0; i <= count; ++i) {
      Variant id;
      const int r = c.kind == 0 ? GetProductMessageId(session, c.key, c.version, i, id.get())
                    : c.kind == 1
                        ? GetDistributionMessageId(session, c.key, c.version, L"", i, id.get())
                        : GetSuiteMessageId(session, c.key, c.version, L"", i, id.get());
      if (i == count) {
        EXPECT_EQ(r, RAVENLINK_TRANSPORT_FAILED);
        EXPECT_TRUE(id.Untouched());
      } else {
        EXPECT_EQ(r, RAVENLINK_OK);
        EXPECT_EQ(id.Text(), c.ids[i]);
      }
    }
  }
}

// Verdicts are cached: new inputs change the messages only after
// ResetConditions; entries dropped at the parse never come back.
TEST_F(MessagesTest, ReevaluationAfterResetConditions) {
  Session session;
  Answer({{.id = "needsA", .conditions = Conditions(Product(kA, "notInstalling", "1.0", "2.0"))},
          {.id = "withA", .conditions = Conditions(Product(kA, "installing", "1.0", "2.0"))},
          {.id = "always"}});
  ASSERT_EQ(session.Fetch(), RAVENLINK_OK);
  EXPECT_EQ(session.Ids(), (Ids{L"always", L"needsA"}));
  int count = -1;
  EXPECT_EQ(GetProductMessageCount(session, kAw, L"1.5", &count), RAVENLINK_OK);
  EXPECT_EQ(count, 1);

  // A now installs: nothing changes yet, not even the product message cache.
  EXPECT_EQ(SetInstallingProduct(session, kAw, L"1.5"), RAVENLINK_OK);
  EXPECT_EQ(GetProductMessageCount(session, kAw, L"1.5", &count), RAVENLINK_OK);
  EXPECT_EQ(count, 1);
  EXPECT_EQ(session.Ids(), (Ids{L"always", L"needsA"}));
  EXPECT_EQ(ClearInstallingInfo(session), RAVENLINK_OK);
  EXPECT_EQ(SetInstallingProduct(session, kAw, L"1.5"), RAVENLINK_OK);
  EXPECT_EQ(session.Ids(), (Ids{L"always", L"needsA"}));

  EXPECT_EQ(ResetConditions(session, RAVENLINK_FLAG_SILENT), RAVENLINK_OK);
  EXPECT_EQ(session.Ids(), Ids{L"always"});  // "withA" was dropped at the parse
  EXPECT_EQ(GetProductMessageCount(session, kAw, L"1.5", &count), RAVENLINK_OK);
  EXPECT_EQ(count, 0);
  // A stored entry that no longer applies is still found by id.
  EXPECT_EQ(session.Title(L"needsA"), L"Title needsA");
  EXPECT_EQ(session.Title(L"withA"), L"<result 3>");

  EXPECT_EQ(ClearInstallingInfo(session), RAVENLINK_OK);
  EXPECT_EQ(ResetConditions(session, RAVENLINK_FLAG_SILENT), RAVENLINK_OK);
  EXPECT_EQ(session.Ids(), (Ids{L"always", L"needsA"}));
}

TEST_F(MessagesTest, ResetConditionsChangesTheAvailableFlag) {
  OpenArgs args;
  args.flags = RAVENLINK_FLAG_SILENT | RAVENLINK_FLAG_AVAILABLE_IS_INSTALLING;
  Session session(args);
  ASSERT_EQ(SetAvailableProduct(session, kAw, L"1.5"), RAVENLINK_OK);
  Answer({{.id = "m", .conditions = Conditions(Product(kA, "installing", "1.0", "2.0"))}});
  ASSERT_EQ(session.Fetch(), RAVENLINK_OK);
  EXPECT_EQ(session.Ids(), Ids{L"m"});
  EXPECT_EQ(ResetConditions(session, RAVENLINK_FLAG_SILENT), RAVENLINK_OK);
  EXPECT_EQ(session.Ids(), Ids{});
  EXPECT_EQ(ResetConditions(session, RAVENLINK_FLAG_AVAILABLE_IS_INSTALLING), RAVENLINK_OK);
  EXPECT_EQ(session.Ids(), Ids{L"m"});
}

// Installed products come from the inventory library, read again at every
// parse and by CollectSystemInformation.
TEST_F(MessagesTest, InstalledProductsFromTheInventory) {
  WriteInventory(std::string("[product]\nUpdateCode = ") + kA +
                 "\nUpdateVersion = 1.5\nProductCode = {01000000-0000-0000-0000-000000000000}\n");
  Session session;
  Answer({{.id = "installed", .conditions = Conditions(Product(kA, "installed", "1.0", "2.0"))},
          {.id = "absent", .conditions = Conditions(Product(kA, "notInstalled", "1.0", "2.0"))}});
  ASSERT_EQ(session.Fetch(), RAVENLINK_OK);
  EXPECT_EQ(session.Ids(), Ids{L"installed"});

  WriteInventory("");
  EXPECT_EQ(ResetConditions(session, RAVENLINK_FLAG_SILENT), RAVENLINK_OK);
  EXPECT_EQ(session.Ids(), Ids{L"installed"});  // the installed sets were not read again
  EXPECT_EQ(CollectSystemInformation(session), RAVENLINK_OK);
  EXPECT_EQ(session.Ids(), Ids{L"installed"});  // not evaluated again yet
  EXPECT_EQ(ResetConditions(session, RAVENLINK_FLAG_SILENT), RAVENLINK_OK);
  EXPECT_EQ(session.Ids(), Ids{});
}

TEST_F(MessagesTest, DisplayNames) {
  Session session;
  ASSERT_EQ(SetInstallingProduct(session, kAw, L"1.5"), RAVENLINK_OK);
  Answer({{.id = "m",
           .conditions = Conditions(Product(kA, "installing", "1.0", "3.0")),
           .displayNames = std::string("<displayName guid=\"") + kA +
                           "1.5-2.0\">Inside</displayName>"
                           "<displayName guid=\"" +
                           kA +
                           "0.5-2.0\" verMin=\"0.5\" verMax=\"2.0\" "
                           "invertedRange=\"true\">Wider</displayName>"
                           "<displayName guid=\"" +
                           kA +
                           "\">Bare</displayName>"
                           "<displayName>Plain</displayName>"}});
  ASSERT_EQ(session.Fetch(), RAVENLINK_OK);
  int count = -1;
  EXPECT_EQ(GetDisplayNameCount(session, L"m", &count), RAVENLINK_OK);
  EXPECT_EQ(count, 4);

  const std::wstring a(kAw);
  struct Row {
    std::wstring name, verMin, verMax, guid;
    int flags;
  } rows[] = {
      {L"Inside", L"-1", L"-1", a + L"1.5-2.0", 0x1000},
      {L"Wider", L"0.5", L"2.0", a + L"0.5-2.0", 1},
      {L"Bare", L"-1", L"-1", a, 0x1000},
      {L"Plain", L"-1", L"-1", L"", 0},
      {L"", L"", L"", L"", 0},  // beyond the records: not an error
  };
  for (int i = 0; i < 5; ++i) {
    SCOPED_TRACE(i);
    Variant name, verMin, verMax, guid;
    int flags = -1;
    EXPECT_EQ(GetDisplayNameInfo(session, L"m", i, name.get(), verMin.get(), verMax.get(),
                                 guid.get(), &flags),
              RAVENLINK_OK);
    EXPECT_EQ(name.Text(), rows[i].name);
    EXPECT_EQ(verMin.Text(), rows[i].verMin);
    EXPECT_EQ(verMax.Text(), rows[i].verMax);
    EXPECT_EQ(guid.Text(), rows[i].guid);
    EXPECT_EQ(flags, rows[i].flags);
  }
  int flags = -1;
  EXPECT_EQ(GetDisplayNameInfo(session, L"m", 1, nullptr, nullptr, nullptr, nullptr, &flags),
            RAVENLINK_OK);
  EXPECT_EQ(flags, 1);
}

TEST_F(MessagesTest, DriverTemplate) {
  WriteInventory(std::string("[product]\nUpdateCode = ") + kA +
                 "\nUpdateVersion = 1.5\nProductCode = {01000000-0000-0000-0000-000000000000}\n"
                 "[product]\nUpdateCode = " +
                 kD +
                 "\nUpdateVersion = 4.0\nProductCode = {02000000-0000-0000-0000-000000000000}\n");
  struct Case {
    const char* name;
    std::string conditions;
    int found, first, second, third;
    std::wstring text;
  } cases[] = {
      {"NoProducts", "<conditions/>", 1, 0, 0, 0, L""},
      // Two installed products and one installing: the second installed is listed.
      {"ShapeOne",
       Conditions(Product(kA, "installed", "1.0", "2.0") + Product(kD, "installed", "3.0", "5.0") +
                  Product(kB, "installing", "1.0", "9.0")),
       1, 1, 0, 1, kDw},
      // Installed, installing and not installing: the installing one is listed.
      {"ShapeTwo",
       Conditions(Product(kA, "installed", "1.0", "2.0") + Product(kB, "installing", "1.0", "9.0") +
                  Product(kA, "notInstalling", "1.0", "2.0")),
       1, 1, 1, 0, kBw},
      // Only one installed product: neither shape.
      {"NeitherShape", Conditions(Product(kA, "installed", "1.0", "2.0")), 0, 0, 0, 0, L""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Session session;
    ASSERT_EQ(SetInstallingProduct(session, kBw, L"2.0"), RAVENLINK_OK);
    Answer({{.id = "m", .conditions = c.conditions}});
    ASSERT_EQ(session.Fetch(), RAVENLINK_OK);
    ASSERT_EQ(ResetConditions(session, RAVENLINK_FLAG_SILENT), RAVENLINK_OK);
    ASSERT_EQ(session.Ids(), Ids{L"m"});
    int found = -1, first = -1, second = -1, third = -1;
    Variant text;
    EXPECT_EQ(GetKXDriverTemplateInfo(session, L"m", &first, &second, &third, text.get(), &found),
              RAVENLINK_OK);
    EXPECT_EQ(found, c.found);
    EXPECT_EQ(first, c.first);
    EXPECT_EQ(second, c.second);
    EXPECT_EQ(third, c.third);
    EXPECT_EQ(text.Text(), c.text);
    EXPECT_EQ(GetKXDriverTemplateInfo(session, L"m", &first, &second, &third, nullptr, &found),
              RAVENLINK_OK);
    Variant untouched;
    EXPECT_EQ(
        GetKXDriverTemplateInfo(session, L"x", &first, &second, &third, untouched.get(), &found),
        RAVENLINK_TRANSPORT_FAILED);
    EXPECT_TRUE(untouched.Untouched());
  }
}

}  // namespace
}  // namespace session_test
