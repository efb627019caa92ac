// Every export that takes a handle, called as a C caller would through
// include/ravenlink.h.
#include "ravenlink.h"

#include <gtest/gtest.h>

#include <climits>
#include <functional>
#include <set>
#include <string>
#include <vector>

namespace {

constexpr int kSentinel = 0x5A5A5A5A;

// The outputs handed to an export; a failed call must leave them alone.
struct Outputs {
  int ints[5];
  VARIANT texts[4];

  void Reset() {
    for (int& i : ints) i = kSentinel;
    for (VARIANT& v : texts) {
      v.vt = VT_I4;
      v.lVal = kSentinel;
    }
  }
  bool Untouched() const {
    for (int i : ints)
      if (i != kSentinel) return false;
    for (const VARIANT& v : texts)
      if (v.vt != VT_I4 || v.lVal != kSentinel) return false;
    return true;
  }
};

struct ExportCase {
  const char* name;
  std::function<int(int handle, Outputs& o)> call;
  // Expected results for handle 0, -1, one never issued, one closed.
  int zero = 5, minusOne = 5, neverIssued = 5, closed = 5;
};

const wchar_t* const kGuid = L"{6B29FC40-CA47-1067-B31D-00DD010662DA}";

std::vector<ExportCase> AllHandleExports() {
  using O = Outputs;
  return {
      {"WsRavenlinkClose", [](int h, O&) { return WsRavenlinkClose(h); }, 0, 0, 5, 0},
      {"SetInstallingProduct", [](int h, O&) { return SetInstallingProduct(h, kGuid, L"1.0"); }},
      {"SetInstallingDistribution",
       [](int h, O&) { return SetInstallingDistribution(h, kGuid, L"1.0", L"1033"); }},
      {"SetInstallingSuite", [](int h, O&) { return SetInstallingSuite(h, kGuid, L"1.0", L""); }},
      {"SetAvailableProduct", [](int h, O&) { return SetAvailableProduct(h, kGuid, L"2"); }},
      {"SetAvailableDistribution",
       [](int h, O&) { return SetAvailableDistribution(h, L"not-a-guid", L"", L""); }},
      {"SetAvailableSuite", [](int h, O&) { return SetAvailableSuite(h, kGuid, L"3.1", L"9"); }},
      {"ClearInstallingInfo", [](int h, O&) { return ClearInstallingInfo(h); }},
      {"CollectSystemInformation", [](int h, O&) { return CollectSystemInformation(h); }},
      {"SetMetaUtilsPath", [](int h, O&) { return SetMetaUtilsPath(h, L"C:\\x"); }},
      {"SetParentWindow", [](int h, O&) { return SetParentWindow(h, nullptr); }},
      {"StartGetNotifications", [](int h, O&) { return StartGetNotifications(h); }},
      {"CheckGetNotifications", [](int h, O&) { return CheckGetNotifications(h); }},
      {"CancelGetNotifications", [](int h, O&) { return CancelGetNotifications(h); }},
      {"PingServer", [](int h, O&) { return PingServer(h, 1); }},
      {"LoadNotificationResponse", [](int h, O&) { return LoadNotificationResponse(h, L"x.xml"); }},
      {"SaveNotificationResponse", [](int h, O&) { return SaveNotificationResponse(h, L"x.xml"); }},
      {"ResetConditions", [](int h, O&) { return ResetConditions(h, 0); }},
      {"GetMessageCount", [](int h, O& o) { return GetMessageCount(h, &o.ints[0]); }},
      {"GetMessageId", [](int h, O& o) { return GetMessageId(h, 0, &o.texts[0]); }},
      {"GetMessageInfo",
       [](int h, O& o) {
         return GetMessageInfo(h, 0, L"", &o.texts[0], &o.texts[1], &o.texts[2]);
       }},
      {"GetMessageTitle", [](int h, O& o) { return GetMessageTitle(h, L"id", &o.texts[0]); }},
      {"GetMessageBody", [](int h, O& o) { return GetMessageBody(h, L"id", &o.texts[0]); }},
      {"GetMessageUrl", [](int h, O& o) { return GetMessageUrl(h, L"id", &o.texts[0]); }},
      {"GetMessageSeverity", [](int h, O& o) { return GetMessageSeverity(h, L"id", &o.ints[0]); }},
      {"GetTargetApplication",
       [](int h, O& o) { return GetTargetApplication(h, L"id", &o.texts[0]); }},
      {"GetProductMessageCount",
       [](int h, O& o) { return GetProductMessageCount(h, kGuid, L"1.0", &o.ints[0]); }},
      {"GetProductMessageId",
       [](int h, O& o) { return GetProductMessageId(h, kGuid, L"1.0", 0, &o.texts[0]); }},
      {"GetDistributionMessageCount",
       [](int h, O& o) { return GetDistributionMessageCount(h, kGuid, L"1", L"", &o.ints[0]); }},
      {"GetDistributionMessageId",
       [](int h, O& o) { return GetDistributionMessageId(h, kGuid, L"1", L"", 0, &o.texts[0]); }},
      {"GetSuiteMessageCount",
       [](int h, O& o) { return GetSuiteMessageCount(h, kGuid, L"1", L"", &o.ints[0]); }},
      {"GetSuiteMessageId",
       [](int h, O& o) { return GetSuiteMessageId(h, kGuid, L"1", L"", 0, &o.texts[0]); }},
      {"GetDisplayNameCount",
       [](int h, O& o) { return GetDisplayNameCount(h, L"id", &o.ints[0]); }},
      {"GetDisplayNameInfo",
       [](int h, O& o) {
         return GetDisplayNameInfo(h, L"id", 0, &o.texts[0], &o.texts[1], &o.texts[2], &o.texts[3],
                                   &o.ints[0]);
       }},
      {"GetProductRequiredCount",
       [](int h, O& o) { return GetProductRequiredCount(h, L"id", &o.ints[0]); }},
      {"GetProductRequired",
       [](int h, O& o) {
         return GetProductRequired(h, L"id", 0, &o.texts[0], &o.texts[1], &o.ints[0], &o.ints[1]);
       }},
      {"GetDistributionRequiredCount",
       [](int h, O& o) { return GetDistributionRequiredCount(h, L"id", &o.ints[0]); }},
      {"GetDistributionRequired",
       [](int h, O& o) {
         return GetDistributionRequired(h, L"id", 0, &o.texts[0], &o.texts[1], &o.texts[2],
                                        &o.ints[0], &o.ints[1]);
       }},
      {"GetSuiteRequiredCount",
       [](int h, O& o) { return GetSuiteRequiredCount(h, L"id", &o.ints[0]); }},
      {"GetSuiteRequired",
       [](int h, O& o) {
         return GetSuiteRequired(h, L"id", 0, &o.texts[0], &o.texts[1], &o.texts[2], &o.ints[0],
                                 &o.ints[1]);
       }},
      {"GetKXDriverTemplateInfo",
       [](int h, O& o) {
         return GetKXDriverTemplateInfo(h, L"id", &o.ints[0], &o.ints[1], &o.ints[2], &o.texts[0],
                                        &o.ints[3]);
       }},
      {"GetDiscardedNotificationCount",
       [](int h, O& o) { return GetDiscardedNotificationCount(h, &o.ints[0]); }},
  };
}

int OpenSession() {
  int handle = 0;
  EXPECT_EQ(WsRavenlinkOpen(L"ExportsTest", L"1.0", L"TESTWRAP", L"2.0", 9, &handle), RAVENLINK_OK);
  return handle;
}

TEST(Exports, TableCoversEveryExportThatTakesAHandle) {
  // 45 exports, less the two Opens and SubmitReport.
  std::set<std::string> names;
  for (const ExportCase& c : AllHandleExports()) names.insert(c.name);
  EXPECT_EQ(names.size(), 42u);
}

TEST(Exports, BadHandlesFailAndLeaveOutputsAlone) {
  const int closed = OpenSession();
  ASSERT_EQ(WsRavenlinkClose(closed), RAVENLINK_OK);
  const int open = OpenSession();
  const int neverIssued = open + 1;

  Outputs outputs;
  for (const ExportCase& c : AllHandleExports()) {
    const struct {
      const char* what;
      int handle, expected;
    } handles[] = {{"0", 0, c.zero},
                   {"-1", -1, c.minusOne},
                   {"INT_MIN", INT_MIN, c.minusOne},
                   {"never issued", neverIssued, c.neverIssued},
                   {"INT_MAX", INT_MAX, c.neverIssued},
                   {"closed", closed, c.closed}};
    for (const auto& h : handles) {
      outputs.Reset();
      EXPECT_EQ(c.call(h.handle, outputs), h.expected) << c.name << " with handle " << h.what;
      EXPECT_TRUE(outputs.Untouched()) << c.name << " with handle " << h.what;
    }
  }
  EXPECT_EQ(WsRavenlinkClose(open), RAVENLINK_OK);
}

TEST(Exports, OpenSessionAnswersOnlyResultCodes) {
  const std::set<int> codes = {0, 1, 3, 4, 5};
  Outputs outputs;
  for (const ExportCase& c : AllHandleExports()) {
    const int handle = OpenSession();
    outputs.Reset();
    const int result = c.call(handle, outputs);
    EXPECT_TRUE(codes.count(result)) << c.name << " returned " << result;
    if (result != RAVENLINK_OK) {
      EXPECT_TRUE(outputs.Untouched()) << c.name;
    }
    WsRavenlinkClose(handle);
  }
}

TEST(Exports, NothingDiscardedBeforeAnyAnswer) {
  const int handle = OpenSession();
  int count = kSentinel;
  EXPECT_EQ(GetDiscardedNotificationCount(handle, &count), RAVENLINK_OK);
  EXPECT_EQ(count, 0);
  EXPECT_EQ(GetDiscardedNotificationCount(handle, nullptr), RAVENLINK_FAILED);
  WsRavenlinkClose(handle);
}

TEST(Exports, SubmitReportAlwaysSucceeds) {
  const int pairs[][2] = {{0, 0}, {-1, INT_MIN}, {INT_MAX, 5}, {1, 1}};
  for (const auto& p : pairs) EXPECT_EQ(SubmitReport(p[0], p[1]), RAVENLINK_OK);
}

TEST(Exports, OpenRefusesNullArgumentsWithoutWritingTheHandle) {
  int handle = kSentinel;
  EXPECT_EQ(WsRavenlinkOpen(nullptr, L"1", L"W", L"1", 9, &handle), RAVENLINK_FAILED);
  EXPECT_EQ(WsRavenlinkOpen2(L"A", L"1", nullptr, 0, L"W", L"1", 9, 0, &handle), RAVENLINK_FAILED);
  EXPECT_EQ(handle, kSentinel);
  EXPECT_EQ(WsRavenlinkOpen(L"A", L"1", L"W", L"1", 9, nullptr), RAVENLINK_FAILED);
}

}  // namespace
