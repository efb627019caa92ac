#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <thread>

#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/x509.h>
#include <pugixml.hpp>

#include "http_server.h"
#include "service_test_support.h"
#include "support/temp_dir.h"

namespace ravenlink_service {
namespace {

// Writes a fresh self-signed certificate for 127.0.0.1 and its key as PEM
// files in the folder.
void WriteSelfSignedCertificate(const std::filesystem::path& folder, std::string& certPath,
                                std::string& keyPath) {
  certPath = (folder / "cert.pem").string();
  keyPath = (folder / "key.pem").string();
  EVP_PKEY* key = EVP_EC_gen("P-256");
  ASSERT_NE(key, nullptr);
  X509* cert = X509_new();
  ASN1_INTEGER_set(X509_get_serialNumber(cert), 1);
  X509_gmtime_adj(X509_getm_notBefore(cert), -60);
  X509_gmtime_adj(X509_getm_notAfter(cert), 3600);
  X509_set_pubkey(cert, key);
  X509_NAME* name = X509_get_subject_name(cert);
  X509_NAME_add_entry_by_txt(name, "CN", MBSTRING_ASC,
                             reinterpret_cast<const unsigned char*>("127.0.0.1"), -1, -1, 0);
  X509_set_issuer_name(cert, name);
  ASSERT_GT(X509_sign(cert, key, EVP_sha256()), 0);
  std::FILE* certFile = std::fopen(certPath.c_str(), "w");
  std::FILE* keyFile = std::fopen(keyPath.c_str(), "w");
  ASSERT_TRUE(certFile != nullptr && keyFile != nullptr);
  EXPECT_EQ(PEM_write_X509(certFile, cert), 1);
  EXPECT_EQ(PEM_write_PrivateKey(keyFile, key, nullptr, nullptr, 0, nullptr, nullptr), 1);
  std::fclose(certFile);
  std::fclose(keyFile);
  X509_free(cert);
  EVP_PKEY_free(key);
}

// The service on a loopback port picked at run time, over HTTP and HTTPS,
// answered by cpp-httplib's client as the library's transport would ask.
class RoundTripTest : public ::testing::TestWithParam<bool> {};

TEST_P(RoundTripTest, QueryAndPingOverLoopback) {
  const bool https = GetParam();
  TempDir dir;
  std::string certPath;
  std::string keyPath;
  if (https) WriteSelfSignedCertificate(dir.path(), certPath, keyPath);
  std::ofstream(dir.path() / "one.xml") << R"(<notification><ID>ONE</ID>
      <targetApplication>QVINSTALLER</targetApplication><severity>Critical</severity>
      <status code="live"/><messages><message lang="9"><title>Grüße</title></message></messages>
    </notification>)";
  const std::filesystem::path logPath = dir.path() / "service.log";
  std::FILE* logFile = std::fopen(logPath.string().c_str(), "w");
  ASSERT_NE(logFile, nullptr);

  ServiceConfig config{dir.path().string(), std::nullopt};
  RequestLog log(logFile);
  std::unique_ptr<httplib::Server> server = CreateServer(certPath, keyPath);
  ASSERT_TRUE(server);
  ConfigureServer(*server, config, log);
  const int port = server->bind_to_any_port("127.0.0.1");
  ASSERT_GT(port, 0);
  std::thread serving([&server] { server->listen_after_bind(); });

  httplib::Client client((https ? "https://127.0.0.1:" : "http://127.0.0.1:") +
                         std::to_string(port));
  client.enable_server_certificate_verification(false);
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

INSTANTIATE_TEST_SUITE_P(HttpAndHttps, RoundTripTest, ::testing::Bool());

TEST(CreateServerTest, HttpsNeedsAUsableCertificateAndKey) {
  TempDir dir;
  std::ofstream(dir.path() / "junk.pem") << "not a certificate";
  const std::string junk = (dir.path() / "junk.pem").string();
  EXPECT_FALSE(CreateServer(junk, ""));
  EXPECT_FALSE(CreateServer("", junk));
  EXPECT_FALSE(CreateServer(junk, junk));
}

}  // namespace
}  // namespace ravenlink_service
