#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <thread>

#include <pugixml.hpp>

#include "http_server.h"
#include "service_test_support.h"
#include "support/temp_dir.h"

namespace ravenlink_service {
namespace {

// The service on a loopback port picked at run time, answered by
// cpp-httplib's client as the library's transport would ask.
TEST(RoundTripTest, QueryAndPingOverLoopback) {
  TempDir dir;
  std::ofstream(dir.path() / "one.xml") << R"(<notification><ID>ONE</ID>
      <targetApplication>QVINSTALLER</targetApplication><severity>Critical</severity>
      <status code="live"/><messages><message lang="9"><title>Grüße</title></message></messages>
    </notification>)";
  const std::filesystem::path logPath = dir.path() / "service.log";
  std::FILE* logFile = std::fopen(logPath.string().c_str(), "w");
  ASSERT_NE(logFile, nullptr);

  ServiceConfig config{dir.path().string(), std::nullopt};
  RequestLog log(logFile);
  std::unique_ptr<httplib::Server> server = CreateServer("", "");
  ASSERT_TRUE(server);
  ConfigureServer(*server, config, log);
  const int port = server->bind_to_any_port("127.0.0.1");
  ASSERT_GT(port, 0);
  std::thread serving([&server] { server->listen_after_bind(); });

  httplib::Client client("127.0.0.1", port);
  client.set_decompress(false);
  const httplib::Headers gzip = {{"Accept-Encoding", "gzip"}};
  const auto query =
      client.Post("/qvwp/flumeway?cmd=ContentCmd:QueryDocument&flumeway%5Fversion=2%2E0", gzip,
                  Utf16LeWithBom(ClientQueryPacket({"QVINSTALLER"}, "")), "text/xml");
  const auto ping = client.Get("/qvwp/flumeway?cmd=PingCmd:Ping&module=Flumeway");
  const auto put = client.Put("/qvwp/flumeway", "x", "text/plain");
  server->stop();
  serving.join();
  std::fclose(logFile);

  ASSERT_TRUE(query);
  EXPECT_EQ(query->status, 200);
  EXPECT_EQ(query->get_header_value("Content-Encoding"), "gzip");
  const std::string answer = Gunzip(query->body);
  pugi::xml_document document;
  ASSERT_TRUE(document.load_buffer(answer.data(), answer.size())) << query->body;
  const pugi::xml_node notification =
      document.child(L"packet").child(L"body").child(L"notification");
  EXPECT_STREQ(notification.child_value(L"ID"), L"ONE");
  EXPECT_STREQ(notification.child(L"messages").child(L"message").child_value(L"title"),
               L"Gr\u00FC\u00DFe");

  ASSERT_TRUE(ping);
  EXPECT_EQ(ping->status, 200);
  EXPECT_EQ(ping->get_header_value("Content-Encoding"), "");
  ASSERT_TRUE(document.load_buffer(ping->body.data(), ping->body.size()));
  EXPECT_STREQ(document.child(L"packet")
                   .child(L"header")
                   .child(L"server")
                   .child(L"status")
                   .attribute(L"code")
                   .value(),
               L"0");
  EXPECT_FALSE(document.child(L"packet").child(L"body"));

  ASSERT_TRUE(put);
  EXPECT_GE(put->status, 400);

  // One line for each request, naming its command and outcome.
  std::ifstream logText(logPath);
  std::vector<std::string> lines;
  for (std::string line; std::getline(logText, line);) lines.push_back(line);
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_NE(lines[0].find("POST /qvwp/flumeway?cmd=ContentCmd:QueryDocument"), std::string::npos);
  EXPECT_NE(lines[0].find("status=0 documents=1/1 gzip"), std::string::npos) << lines[0];
  EXPECT_NE(lines[1].find("GET /qvwp/flumeway?cmd=PingCmd:Ping"), std::string::npos);
  EXPECT_NE(lines[2].find("PUT /qvwp/flumeway"), std::string::npos);
}

}  // namespace
}  // namespace ravenlink_service
