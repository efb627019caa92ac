#include <gtest/gtest.h>

#include <algorithm>
#include <set>

#include <pugixml.hpp>

#include "document_store.h"
#include "request_handler.h"
#include "service_test_support.h"

namespace ravenlink_service {
namespace {

// The IDs the service answers to a session of the given application that
// names the given installing products (as "upc" criteria).
std::set<std::string> Served(const std::string& application, const std::string& upcs) {
  const std::vector<std::string> targets = {application, "UPDATESERVICE", "METAINSTALLER",
                                            "QVINSTALLER"};
  ServiceRequest request;
  request.method = "POST";
  request.params = {{"cmd", "ContentCmd:QueryDocument"}};
  request.body = Utf16LeWithBom(ClientQueryPacket(targets, upcs));
  const ServiceAnswer answer = HandleRequest(ServiceConfig{RAVENLINK_SAMPLES_DIR, {}}, request, 0);
  EXPECT_TRUE(answer.warnings.empty());
  pugi::xml_document document;
  EXPECT_TRUE(document.load_buffer(answer.body.data(), answer.body.size()));
  std::set<std::string> ids;
  for (pugi::xml_node notification :
       document.child(L"packet").child(L"body").children(L"notification")) {
    ids.insert(pugi::as_utf8(notification.child_value(L"ID")));
  }
  return ids;
}

TEST(SamplesTest, EverySampleIsANotificationWithTheFieldsTheClientReads) {
  const DocumentSet samples = LoadDocuments(RAVENLINK_SAMPLES_DIR);
  EXPECT_TRUE(samples.warnings.empty());
  ASSERT_EQ(samples.documents.size(), 16u);
  std::set<std::wstring> ids;
  std::set<std::wstring> severities;
  for (const NotificationDocument& sample : samples.documents) {
    const pugi::xml_node notification = sample.Notification();
    EXPECT_TRUE(ids.insert(notification.child_value(L"ID")).second) << sample.fileName;
    severities.insert(notification.child_value(L"severity"));
    EXPECT_TRUE(notification.child(L"status")) << sample.fileName;
    // Every sample has an English message to fall back on.
    const pugi::xml_node english =
        notification.child(L"messages").find_child_by_attribute(L"message", L"lang", L"9");
    EXPECT_TRUE(english.child(L"title")) << sample.fileName;
  }
  const std::set<std::wstring> expected = {L"Info",    L"Warning",     L"Critical", L"Fatal",
                                           L"Upgrade", L"ServicePack", L"Advisory"};
  EXPECT_EQ(severities, expected);
}

TEST(SamplesTest, TheServiceAnswersLiveNotificationsOfTheAskedApplications) {
  const std::set<std::string> studio = Served("QVSTUDIO", "");
  EXPECT_EQ(studio.size(), 14u);
  EXPECT_EQ(studio.count("QN-2026-0109"), 0u);  // status "test"
  EXPECT_EQ(studio.count("QN-2026-0116"), 0u);  // for QVVIEWER
  EXPECT_EQ(Served("QVVIEWER", "").count("QN-2026-0116"), 1u);

  // Naming Render Engine as an installing item narrows the answer to the
  // notifications that speak about it.
  const std::set<std::string> render = Served(
      "QVSTUDIO", "<metadata field=\"upc\">{7C1E9B52-4D3A-4F60-8E21-5A9B3C7D2E02}</metadata>");
  const std::set<std::string> expected = {"QN-2026-0103", "QN-2026-0108", "QN-2026-0113"};
  EXPECT_EQ(render, expected);
}

}  // namespace
}  // namespace ravenlink_service
