#include "bench_environment.h"

#include <fstream>
#include <map>
#include <stdexcept>

#include "answer_generator.h"
#include "reference_service.h"
#include "rules_inventory_fixture.h"
#include "support/registry_fixture.h"
#include "support/temp_dir.h"

namespace {

BenchEnvironment* current = nullptr;

std::wstring RegistryText(const std::string& url) {
  return L"Windows Registry Editor Version 5.00\r\n\r\n"
         L"[HKEY_LOCAL_MACHINE\\SOFTWARE\\Quorvane\\Flumeway]\r\n\"S_URL\"=\"" +
         std::wstring(url.begin(), url.end()) + L"\"\r\n";
}

}  // namespace

struct BenchEnvironment::State {
  TempDir dir;
  rules_test::InventoryFixture inventory{rules_test::InventoryFixture::kNoCallLog};
  TestServer server;
  std::unique_ptr<ScopedRegistry> registry;
  std::map<size_t, std::string> answers;
  std::map<size_t, std::string> gzipAnswers;
  std::map<size_t, std::filesystem::path> files;
  std::map<size_t, std::unique_ptr<ReferenceService>> services;
};

BenchEnvironment::BenchEnvironment() : state_(std::make_unique<State>()) {
  state_->inventory.Write(GenerateInventory());
  state_->registry = std::make_unique<ScopedRegistry>(RegistryText(ServiceUrl()));
  current = this;
}

BenchEnvironment::~BenchEnvironment() {
  current = nullptr;
}

BenchEnvironment& BenchEnvironment::Get() {
  if (current == nullptr) throw std::logic_error("no benchmark environment");
  return *current;
}

TestServer& BenchEnvironment::Server() {
  return state_->server;
}

std::string BenchEnvironment::ServiceUrl() const {
  return state_->server.BaseUrl() + "/svc";
}

const std::string& BenchEnvironment::Answer(size_t count) {
  auto found = state_->answers.find(count);
  if (found == state_->answers.end()) {
    found = state_->answers.emplace(count, GenerateAnswer(count)).first;
  }
  return found->second;
}

const std::string& BenchEnvironment::GzipAnswer(size_t count) {
  auto found = state_->gzipAnswers.find(count);
  if (found == state_->gzipAnswers.end()) {
    found = state_->gzipAnswers.emplace(count, GzipEncode(Answer(count))).first;
  }
  return found->second;
}

WsString BenchEnvironment::AnswerFile(size_t count) {
  auto found = state_->files.find(count);
  if (found == state_->files.end()) {
    const auto path = state_->dir.path() / ("answer-" + std::to_string(count) + ".xml");
    std::ofstream(path, std::ios::binary) << Answer(count);
    found = state_->files.emplace(count, path).first;
  }
  return WsString(found->second.wstring());
}

std::string BenchEnvironment::ReferenceServiceBase(size_t count) {
  auto found = state_->services.find(count);
  if (found == state_->services.end()) {
    const auto documents = state_->dir.path() / ("documents-" + std::to_string(count));
    WriteDocuments(count, documents);
    found = state_->services
                .emplace(count,
                         std::make_unique<ReferenceService>(RAVENLINK_SERVICE_PROGRAM, documents))
                .first;
  }
  return found->second->BaseUrl();
}

void BenchEnvironment::PointRegistryAt(const std::string& url) {
  state_->registry->Replace(RegistryText(url));
}

void ServeBytes(TestServer& server, const std::string& bytes, bool gzipBytes) {
  ScriptedResponse response = ScriptedResponse::Ok(bytes);
  response.headers.emplace_back("Content-Type", "text/xml; charset=utf-8");
  if (gzipBytes) response.headers.emplace_back("Content-Encoding", "gzip");
  server.SetDefault(response);
}
