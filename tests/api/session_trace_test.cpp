// The trace lines a fetch leaves in the log file when tracing is switched on.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "session_harness.h"
#include "support/library_loader.h"

namespace session_test {
namespace {

class TraceTest : public SessionTest {
 protected:
  // The service URL plus the tracing switch, writing to log.txt.
  void TraceTo(const std::string& name) {
    std::string path;
    for (wchar_t c : PathIn(name)) {
      if (c == L'\\') path += '\\';
      path += static_cast<char>(c);
    }
    const std::string text =
        "Windows Registry Editor Version 5.00\n\n"
        "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Quorvane\\Flumeway]\n"
        "\"S_URL\"=\"" +
        server_.BaseUrl() +
        "/qvwp/flumeway\"\n\n"
        "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Quorvane\\InternalTesting]\n"
        "\"qvwshttplogging\"=\"" +
        path + "\"\n";
    registry_->Replace(std::wstring(text.begin(), text.end()));
  }

  // The log's lines (UTF-16LE, decoded as PostedText does).
  std::vector<std::string> Lines(const std::string& name) const {
    const std::string text = PostedText(ReadFile(name));
    std::vector<std::string> lines(1);
    for (char c : text) {
      if (c == '\n') {
        lines.emplace_back();
      } else if (c != '\r') {
        lines.back() += c;
      }
    }
    return lines;
  }
};

size_t CountEndingWith(const std::vector<std::string>& lines, const std::string& tail) {
  return std::count_if(lines.begin(), lines.end(), [&](const std::string& line) {
    return line.size() >= tail.size() &&
           line.compare(line.size() - tail.size(), tail.size(), tail) == 0;
  });
}

TEST_F(TraceTest, FetchesAreBracketedInTheLog) {
  TraceTo("log.txt");
  {
    // The shared log record outlives the session: the library keeps it.
    LeakCheckPause pause;
    Session refused;
    Answer({{.id = "x"}}, "300");
    EXPECT_EQ(refused.Fetch(), RAVENLINK_REFUSED);
    Answer({{.id = "a"}, {.id = "b", .severity = "Unheard"}});
    Session broken;
    EXPECT_EQ(broken.Fetch(), RAVENLINK_REFUSED);
    Answer({{.id = "a"}});
    Session good;
    EXPECT_EQ(good.Fetch(), RAVENLINK_OK);
  }
  const std::vector<std::string> lines = Lines("log.txt");
  const struct {
    const char* tail;
    size_t count;
  } expected[] = {
      {"<WsRavenlinkSession::ParseQueryResponse>", 3},
      {"</WsRavenlinkSession::ParseQueryResponse>", 3},  // also after each failure
      {"\tConstructing catalog", 2},                     // not for the refused answer
      {"\tDone constructing catalog, creating ravenlink entries", 1},
      {"<WsRavenlinkSession::CollectSystemInformation>", 2},
      {"</WsRavenlinkSession::CollectSystemInformation>", 2},
      {"<WsRavenlinkSession::WsRavenlinkSession>", 3},
      {"</WsRavenlinkSession::~WsRavenlinkSession>", 3},
  };
  for (const auto& e : expected) {
    EXPECT_EQ(CountEndingWith(lines, e.tail), e.count) << e.tail;
  }
}

}  // namespace
}  // namespace session_test
