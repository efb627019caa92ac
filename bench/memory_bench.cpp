// Peak and held memory of a session that loads an answer of 10,000
// notifications, against the answer's size, next to a bare parse of the same
// bytes. Every allocation of the C++ runtime and of the XML parser is counted
// (with a size header), so the figures are exact and repeatable.
//
// Prints "name value" lines for scripts/bench. Needs only the tests' support
// library, so it also builds for 64-bit Windows and runs under Wine, where
// wchar_t is 2 bytes as in the product.
#include <pugixml.hpp>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <new>

#include "answer_generator.h"
#include "rules_inventory_fixture.h"
#include "session/ravenlink_session.h"
#include "support/registry_fixture.h"
#include "support/temp_dir.h"

namespace {

std::atomic<size_t> current{0};
std::atomic<size_t> peak{0};

constexpr size_t kHeader = alignof(std::max_align_t);

void* Allocate(size_t size) {
  auto* block = static_cast<unsigned char*>(std::malloc(size + kHeader));
  if (block == nullptr) return nullptr;
  *reinterpret_cast<size_t*>(block) = size;
  const size_t now = current.fetch_add(size) + size;
  size_t seen = peak.load();
  while (now > seen && !peak.compare_exchange_weak(seen, now)) {
  }
  return block + kHeader;
}

void Release(void* pointer) {
  if (pointer == nullptr) return;
  auto* block = static_cast<unsigned char*>(pointer) - kHeader;
  current.fetch_sub(*reinterpret_cast<size_t*>(block));
  std::free(block);
}

// Runs f and returns its peak use above what was in use before, and what it
// left in use.
template <class F>
std::pair<size_t, size_t> Measure(F&& f) {
  const size_t before = current.load();
  peak.store(before);
  f();
  return {peak.load() - before, current.load() - before};
}

}  // namespace

void* operator new(size_t size) {
  void* pointer = Allocate(size);
  if (pointer == nullptr) throw std::bad_alloc();
  return pointer;
}
void* operator new[](size_t size) {
  return operator new(size);
}
void operator delete(void* pointer) noexcept {
  Release(pointer);
}
void operator delete[](void* pointer) noexcept {
  Release(pointer);
}
void operator delete(void* pointer, size_t) noexcept {
  Release(pointer);
}
void operator delete[](void* pointer, size_t) noexcept {
  Release(pointer);
}

int main() {
  pugi::set_memory_management_functions(&Allocate, &Release);
  constexpr size_t kCount = 10000;
  // What the sessions read: a private registry naming a service that is never
  // asked, the inventory that makes some of the notifications apply, and the
  // answer in a file.
  rules_test::InventoryFixture inventory(rules_test::InventoryFixture::kNoCallLog);
  inventory.Write(GenerateInventory());
  const ScopedRegistry registry(
      L"Windows Registry Editor Version 5.00\r\n\r\n"
      L"[HKEY_LOCAL_MACHINE\\SOFTWARE\\Quorvane\\Flumeway]\r\n"
      L"\"S_URL\"=\"http://127.0.0.1:9/svc\"\r\n");
  TempDir dir;
  const std::filesystem::path file = dir.path() / "answer.xml";
  double answer = 0;
  {
    const std::string bytes = GenerateAnswer(kCount);
    std::ofstream(file, std::ios::binary) << bytes;
    answer = static_cast<double>(bytes.size());
  }
  const WsString path(file.wstring());

  std::unique_ptr<WsRavenlinkSession> session;
  const auto [sessionPeak, sessionHeld] = Measure([&] {
    session = std::make_unique<WsRavenlinkSession>(BenchClient(), 9, 0);
    session->LoadNotificationResponse(path);
    int32_t count = 0;
    session->GetMessageCount(&count);
  });
  session.reset();
  // The library's reading of the file alone, to tell its share of the peak
  // from that of the entries.
  const auto [loadPeak, loadHeld] = Measure([&] {
    WsXmlDocument document;
    document.LoadFromFile(path);
  });

  pugi::xml_document document;
  const auto [barePeak, bareHeld] = Measure([&] { document.load_file(file.c_str()); });

  std::printf("answer_bytes %.0f\n", answer);
  std::printf("session_peak_bytes %zu\n", sessionPeak);
  std::printf("session_held_bytes %zu\n", sessionHeld);
  std::printf("document_load_peak_bytes %zu\n", loadPeak);
  std::printf("bare_parse_peak_bytes %zu\n", barePeak);
  std::printf("bare_document_bytes %zu\n", bareHeld);
  std::printf("session_peak_ratio %.2f\n", static_cast<double>(sessionPeak) / answer);
  return 0;
}
