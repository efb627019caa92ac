// Whole fetches and single exchanges over loopback against bare libcurl
// transfers of the same bytes from the same server, and how soon a cancel
// ends an exchange. Process CPU time is reported: the library's own work runs
// on its worker. Whole fetches are answered by the reference service, a child
// process whose work counts for neither side; single exchanges by the test
// server in this process, for both sides.
#include <benchmark/benchmark.h>
#include <pugixml.hpp>

#include <chrono>
#include <stdexcept>

#include "answer_generator.h"
#include "bare_transfer.h"
#include "bench_environment.h"
#include "session/ravenlink_session.h"
#include "transport/http_request.h"

namespace {

WsStatus FetchOnce() {
  WsRavenlinkSession session(BenchClient(), 9, 0);
  WsStatus status = session.StartGetNotifications();
  while (status == kWsStillRunning) status = session.CheckGetNotifications();
  int32_t count = 0;
  session.GetMessageCount(&count);
  if (count == 0) throw std::runtime_error("nothing applies");
  return status;
}

void FetchArgs(benchmark::internal::Benchmark* bench) {
  bench->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime();
}

// StartGetNotifications until the CheckGetNotifications that returns 0, the
// answer coming from the reference service serving that many documents.
void Fetch(benchmark::State& state) {
  auto& env = BenchEnvironment::Get();
  env.PointRegistryAt(env.ReferenceServiceBase(static_cast<size_t>(state.range(0))) + "/svc");
  FetchOnce();  // untimed warm-up, as in the parse benchmarks
  for (auto _ : state) {
    if (FetchOnce() != kWsOk) throw std::runtime_error("fetch failed");
  }
  env.PointRegistryAt(env.ServiceUrl());
}
BENCHMARK(Fetch)->Apply(FetchArgs);

// The packet the library sends, posted by libcurl to the same service at the
// same target with the same answer encoding asked for, then parsed by pugixml.
void BareFetch(benchmark::State& state) {
  auto& env = BenchEnvironment::Get();
  const size_t count = static_cast<size_t>(state.range(0));
  // One fetch from the test server records the library's request.
  ServeBytes(env.Server(), env.GzipAnswer(count), true);
  FetchOnce();
  const RecordedRequest request = env.Server().Requests().back();
  const std::string url = env.ReferenceServiceBase(count) + request.target;
  const bool gzip = request.Header("Accept-Encoding").find("gzip") != std::string::npos;
  const auto once = [&] {
    const std::string answer = BareTransfer(url, request.body, gzip);
    pugi::xml_document document;
    if (!document.load_buffer(answer.data(), answer.size())) throw std::runtime_error("parse");
    benchmark::DoNotOptimize(document.first_child());
  };
  once();  // untimed warm-up
  for (auto _ : state) once();
}
BENCHMARK(BareFetch)->Apply(FetchArgs);

constexpr size_t kMiB = 1024 * 1024;

// Bodies of 1 and 20 MiB (arg 0), plain or gzip on the wire (arg 1).
void ExchangeArgs(benchmark::internal::Benchmark* bench) {
  for (int64_t size : {1, 20}) {
    for (int64_t gzip : {0, 1}) bench->Args({size, gzip});
  }
  bench->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime();
}

// Serves the first size MiB of a large answer; returns the plain bytes.
std::string ServeExchangeBody(const benchmark::State& state) {
  auto& env = BenchEnvironment::Get();
  const std::string plain = env.Answer(10000).substr(0, static_cast<size_t>(state.range(0)) * kMiB);
  ServeBytes(env.Server(), state.range(1) != 0 ? GzipEncode(plain) : plain, state.range(1) != 0);
  return plain;
}

void Exchange(benchmark::State& state) {
  const std::string plain = ServeExchangeBody(state);
  const std::string narrow = BenchEnvironment::Get().ServiceUrl();
  const std::wstring url(narrow.begin(), narrow.end());
  for (auto _ : state) {
    WsHttpRequest request(L"App", L"1.0", false);
    request.SetUrl(WsString(url));
    request.SetRequestGzip(state.range(1) != 0);
    request.Execute(60000, true);
    if (request.GetResponse().size() != plain.size()) throw std::runtime_error("short answer");
  }
}
BENCHMARK(Exchange)->Apply(ExchangeArgs);

void BareExchange(benchmark::State& state) {
  const std::string plain = ServeExchangeBody(state);
  const std::string url = BenchEnvironment::Get().ServiceUrl();
  for (auto _ : state) {
    if (BareTransfer(url, "", state.range(1) != 0).size() != plain.size()) {
      throw std::runtime_error("short answer");
    }
  }
}
BENCHMARK(BareExchange)->Apply(ExchangeArgs);

// From Cancel to the worker's end, while the server holds the body back.
void CancelExchange(benchmark::State& state) {
  auto& env = BenchEnvironment::Get();
  const std::string narrow = env.ServiceUrl();
  const std::wstring url(narrow.begin(), narrow.end());
  ScriptedResponse stall = ScriptedResponse::Ok(env.Answer(1000));
  stall.fault = ServerFault::kStallInBody;
  stall.bodySplit = 4096;
  env.Server().SetDefault(stall);
  for (auto _ : state) {
    const size_t before = env.Server().RequestCount();
    WsHttpRequest request(L"App", L"1.0", false);
    request.SetUrl(WsString(url));
    if (request.Execute(0, true) != kWsStillRunning) throw std::runtime_error("not running");
    if (!env.Server().WaitForRequests(before + 1, std::chrono::seconds(10))) {
      throw std::runtime_error("no request");
    }
    const auto start = std::chrono::steady_clock::now();
    request.Cancel(true);
    state.SetIterationTime(
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
  }
}
BENCHMARK(CancelExchange)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(20);

}  // namespace
