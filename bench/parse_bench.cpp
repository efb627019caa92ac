// Parse and evaluate an answer against a bare parse of the same bytes, and
// the gzip decoding of the answer against zlib's own inflate.
#include <benchmark/benchmark.h>
#include <pugixml.hpp>
#include <zlib.h>

#include <filesystem>
#include <stdexcept>

#include "answer_generator.h"
#include "bench_environment.h"
#include "session/ravenlink_session.h"
#include "transport/gzip.h"

namespace {

constexpr int64_t kSizes[] = {100, 1000, 10000, 50000};

// Every benchmark here runs its work once, untimed, before the timed
// loop. The allocator then already holds the memory the work needs, whichever
// benchmark ran before; otherwise the first of a figure and its limit to run
// pays for growing the heap (a large share at 50,000 notifications).

void SizeArgs(benchmark::internal::Benchmark* bench) {
  for (int64_t size : kSizes) bench->Arg(size);
  bench->Unit(benchmark::kMillisecond);
}

// The library's road from the saved bytes to the count of applicable
// messages: read, parse, build the catalog and the condition trees,
// evaluate, sort; then the session is closed.
void ParseEvaluate(benchmark::State& state) {
  auto& env = BenchEnvironment::Get();
  const size_t count = static_cast<size_t>(state.range(0));
  const WsString path = env.AnswerFile(count);
  int32_t messages = 0;
  const auto once = [&] {
    WsRavenlinkSession session(BenchClient(), 9, 0);
    session.LoadNotificationResponse(path);
    session.GetMessageCount(&messages);
    benchmark::DoNotOptimize(messages);
  };
  once();  // untimed warm-up
  for (auto _ : state) once();
  if (messages == 0) state.SkipWithError("no notification applies");
  state.counters["applicable"] = messages;
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * env.Answer(count).size()));
}
BENCHMARK(ParseEvaluate)->Apply(SizeArgs);

// pugixml alone, with the options the library uses, on the same file.
void BareParse(benchmark::State& state) {
  auto& env = BenchEnvironment::Get();
  const size_t count = static_cast<size_t>(state.range(0));
  const std::string path = std::filesystem::path(env.AnswerFile(count).c_str()).string();
  const auto once = [&] {
    pugi::xml_document document;
    const pugi::xml_parse_result result = document.load_file(path.c_str());
    if (!result) throw std::runtime_error("bare parse failed");
    benchmark::DoNotOptimize(document.first_child());
  };
  once();
  for (auto _ : state) once();
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * env.Answer(count).size()));
}
BENCHMARK(BareParse)->Apply(SizeArgs);

void GzipDecode(benchmark::State& state) {
  auto& env = BenchEnvironment::Get();
  const size_t count = static_cast<size_t>(state.range(0));
  const std::string& encoded = env.GzipAnswer(count);
  const auto once = [&] {
    std::string response = encoded;
    GunzipResponse(response);
    if (response.size() != env.Answer(count).size()) throw std::runtime_error("decode failed");
    benchmark::DoNotOptimize(response.data());
  };
  once();
  for (auto _ : state) once();
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * env.Answer(count).size()));
}
BENCHMARK(GzipDecode)->Apply(SizeArgs);

// zlib's inflate the ordinary way: a copy of the encoded body, then output
// grown in 64 KiB steps as inflate asks for room.
void ZlibInflate(benchmark::State& state) {
  auto& env = BenchEnvironment::Get();
  const size_t count = static_cast<size_t>(state.range(0));
  const std::string& encoded = env.GzipAnswer(count);
  const auto once = [&] {
    std::string input = encoded;
    std::string output;
    z_stream stream{};
    if (inflateInit2(&stream, 16 + MAX_WBITS) != Z_OK) throw std::runtime_error("inflateInit2");
    stream.next_in = reinterpret_cast<Bytef*>(input.data());
    stream.avail_in = static_cast<uInt>(input.size());
    int result = Z_OK;
    while (result == Z_OK) {
      const size_t used = output.size();
      output.resize(used + 65536);
      stream.next_out = reinterpret_cast<Bytef*>(output.data() + used);
      stream.avail_out = 65536;
      result = inflate(&stream, Z_NO_FLUSH);
      output.resize(used + 65536 - stream.avail_out);
    }
    inflateEnd(&stream);
    if (result != Z_STREAM_END) throw std::runtime_error("inflate failed");
    benchmark::DoNotOptimize(output.data());
  };
  once();
  for (auto _ : state) once();
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * env.Answer(count).size()));
}
BENCHMARK(ZlibInflate)->Apply(SizeArgs);

}  // namespace
