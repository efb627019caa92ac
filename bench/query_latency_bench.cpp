// Calls that must cost microseconds whatever the size of the catalog: the
// start of a fetch with a large query, and the message queries on a session
// holding 50,000 notifications.
#include <benchmark/benchmark.h>

#include <chrono>
#include <ctime>
#include <memory>
#include <stdexcept>

#include "answer_generator.h"
#include "bench_environment.h"
#include "compat/win32.h"
#include "session/ravenlink_session.h"

namespace {

double ThreadCpuSeconds() {
  timespec now{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
  return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

// StartGetNotifications with 1,000 caller criteria in the query; the
// exchange it starts is cancelled outside the measured time.
void StartWithThousandCriteria(benchmark::State& state) {
  auto& env = BenchEnvironment::Get();
  ServeBytes(env.Server(), env.GzipAnswer(100), true);
  double cpu = 0;
  for (auto _ : state) {
    WsRavenlinkSession session(BenchClient(), 9, 0);
    for (size_t i = 0; i < 1000; ++i) {
      wchar_t key[64];
      swprintf(key, 64, L"{%08zX-0000-4000-8000-%012zX}", i, i * 13);
      session.SetInstallingProduct(WsString(key), L"1.0");
    }
    const double cpuBefore = ThreadCpuSeconds();
    const auto start = std::chrono::steady_clock::now();
    const WsStatus status = session.StartGetNotifications();
    state.SetIterationTime(
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
    cpu += ThreadCpuSeconds() - cpuBefore;
    if (status != kWsStillRunning && status != kWsOk) throw std::runtime_error("start failed");
    session.CancelGetNotifications();
  }
  // The calling thread's own time: on a loaded machine the wall time also
  // holds the waits for a processor.
  state.counters["cpu_us"] = benchmark::Counter(cpu * 1e6, benchmark::Counter::kAvgIterations);
}
BENCHMARK(StartWithThousandCriteria)->UseManualTime()->Unit(benchmark::kMicrosecond);

constexpr size_t kLarge = 50000;

// A session loaded with the large answer, for one query benchmark. Each
// benchmark loads its own and closes it when done: a session of 50,000
// notifications kept alive for the rest of the run would leave every later
// benchmark a heap strewn with its live blocks, and the allocation-heavy
// figures would depend on whether they ran before or after it.
std::unique_ptr<WsRavenlinkSession> LargeSession() {
  auto& env = BenchEnvironment::Get();
  auto session = std::make_unique<WsRavenlinkSession>(BenchClient(), 9, 0);
  session->LoadNotificationResponse(env.AnswerFile(kLarge));
  int32_t count = 0;
  session->GetMessageCount(&count);
  return session;
}

// An applicable message in the middle of the list.
WsString MiddleId(WsRavenlinkSession& session) {
  int32_t count = 0;
  session.GetMessageCount(&count);
  VARIANT id;
  VariantInit(&id);
  session.GetMessageId(static_cast<uint32_t>(count / 2), &id);
  WsString text(id.bstrVal);
  VariantClear(&id);
  return text;
}

void GetMessageCountLarge(benchmark::State& state) {
  const std::unique_ptr<WsRavenlinkSession> large = LargeSession();
  WsRavenlinkSession& session = *large;
  int32_t count = 0;
  for (auto _ : state) {
    session.GetMessageCount(&count);
    benchmark::DoNotOptimize(count);
  }
  state.counters["applicable"] = count;
}
// A fixed count of iterations, so that each repetition loads its session once.
constexpr int64_t kQueryIterations = 200000;

BENCHMARK(GetMessageCountLarge)->Unit(benchmark::kMicrosecond)->Iterations(kQueryIterations);

// Each Get* by id (or index), named by the argument.
enum Query : int64_t {
  kMessageId,
  kTitle,
  kBody,
  kSeverity,
  kDisplayNameInfo,
  kProductRequired,
  kProductMessageCount,
};

void GetByIdLarge(benchmark::State& state) {
  const std::unique_ptr<WsRavenlinkSession> large = LargeSession();
  WsRavenlinkSession& session = *large;
  const WsString id = MiddleId(session);
  const WsString product(ProductKey(3));
  const auto query = static_cast<Query>(state.range(0));
  state.SetLabel(std::vector<const char*>{
      "GetMessageId", "GetMessageTitle", "GetMessageBody", "GetMessageSeverity",
      "GetDisplayNameInfo", "GetProductRequiredCount", "GetProductMessageCount"}[query]);
  VARIANT text;
  VariantInit(&text);
  int32_t value = 0;
  for (auto _ : state) {
    switch (query) {
      case kMessageId:
        session.GetMessageId(100, &text);
        break;
      case kTitle:
        session.GetMessageTitle(id, &text);
        break;
      case kBody:
        session.GetMessageBody(id, &text);
        break;
      case kSeverity:
        session.GetMessageSeverity(id, &value);
        break;
      case kDisplayNameInfo:
        session.GetDisplayNameInfo(id, 0, &text, nullptr, nullptr, nullptr, &value);
        break;
      case kProductRequired:
        session.GetProductRequiredCount(id, &value);
        break;
      case kProductMessageCount:
        session.GetProductMessageCount(product, L"1.5", &value);
        break;
    }
    VariantClear(&text);
    benchmark::DoNotOptimize(value);
  }
}
BENCHMARK(GetByIdLarge)
    ->DenseRange(kMessageId, kProductMessageCount)
    ->Unit(benchmark::kMicrosecond)
    ->Iterations(kQueryIterations);

}  // namespace
