// ravenlink-cli: drives the library through its exported functions the way
// the maker's installer does: open a session, say what is installing or
// available, fetch (or load a saved answer), and print the messages that apply.
#include <ravenlink.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <string>

#include "tools/cli/explain.h"
#include "tools/cli/messages.h"
#include "tools/cli/options.h"
#include "tools/cli/text.h"

namespace {

constexpr int kExitUsage = 2;
constexpr int kExitCancelled = 130;

volatile std::sig_atomic_t g_interrupted = 0;

extern "C" void OnInterrupt(int) {
  g_interrupted = 1;
}

const char* ResultWord(int rc) {
  switch (rc) {
    case RAVENLINK_OK:
      return "ok";
    case RAVENLINK_PENDING:
      return "pending";
    case RAVENLINK_TRANSPORT_FAILED:
      return "transport failed";
    case RAVENLINK_REFUSED:
      return "refused";
    case RAVENLINK_FAILED:
      return "failed";
    default:
      return "unknown result";
  }
}

// Prints "ravenlink-cli: Call: words (n)" and gives the exit status for rc.
int Fail(const std::string& call, int rc) {
  std::fprintf(stderr, "ravenlink-cli: %s: %s (%d)\n", call.c_str(), ResultWord(rc), rc);
  return rc;
}

// The open session; closed when it goes.
class Session {
 public:
  ~Session() {
    if (handle_ > 0) WsRavenlinkClose(handle_);
  }
  int Open(const cli::Options& o) {
    const int rc = WsRavenlinkOpen2(o.swapp.c_str(), o.swappVersion.c_str(), o.reserved.c_str(),
                                    o.ownTargetOnly, o.wrapperlib.c_str(),
                                    o.wrapperlibVersion.c_str(), o.languageId, o.flags, &handle_);
    if (rc != RAVENLINK_OK) handle_ = 0;
    return rc;
  }
  int Handle() const { return handle_; }

 private:
  int handle_ = 0;
};

int ApplyInputs(int handle, const cli::Options& o) {
  if (!o.metaUtilsPath.empty()) {
    const int rc = SetMetaUtilsPath(handle, o.metaUtilsPath.c_str());
    if (rc != RAVENLINK_OK) return Fail("SetMetaUtilsPath", rc);
  }
  if (o.collectSystemInformation) {
    const int rc = CollectSystemInformation(handle);
    if (rc != RAVENLINK_OK) return Fail("CollectSystemInformation", rc);
  }
  for (const cli::CallerItem& item : o.items) {
    const wchar_t* key = item.key.c_str();
    const wchar_t* version = item.version.c_str();
    const wchar_t* language = item.language.c_str();
    int rc = RAVENLINK_OK;
    const char* call = "";
    switch (item.kind) {
      case cli::ItemKind::kProduct:
        call = item.available ? "SetAvailableProduct" : "SetInstallingProduct";
        rc = item.available ? SetAvailableProduct(handle, key, version)
                            : SetInstallingProduct(handle, key, version);
        break;
      case cli::ItemKind::kDistribution:
        call = item.available ? "SetAvailableDistribution" : "SetInstallingDistribution";
        rc = item.available ? SetAvailableDistribution(handle, key, version, language)
                            : SetInstallingDistribution(handle, key, version, language);
        break;
      case cli::ItemKind::kSuite:
        call = item.available ? "SetAvailableSuite" : "SetInstallingSuite";
        rc = item.available ? SetAvailableSuite(handle, key, version, language)
                            : SetInstallingSuite(handle, key, version, language);
        break;
    }
    if (rc != RAVENLINK_OK) return Fail(call, rc);
  }
  return RAVENLINK_OK;
}

// Blanks the progress line (plain spaces: not every console knows escapes).
void ClearProgress() {
  std::fprintf(stderr, "\r%24s\r", "");
}

// Start, then Check until the fetch ends; a spinner on stderr when it is a
// terminal. Ctrl-C or the time limit cancels the fetch.
int Fetch(int handle, const cli::Options& o) {
  const bool progress = !o.quiet && isatty(2) != 0;
  const auto started = std::chrono::steady_clock::now();
  g_interrupted = 0;
  std::signal(SIGINT, OnInterrupt);
  int rc = StartGetNotifications(handle);
  static const char kSpinner[] = "|/-\\";
  int tick = 0;
  while (rc == RAVENLINK_PENDING) {
    const double elapsed =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    if (g_interrupted != 0 || (o.fetchTimeoutSeconds > 0 && elapsed >= o.fetchTimeoutSeconds)) {
      CancelGetNotifications(handle);
      if (progress) ClearProgress();
      std::signal(SIGINT, SIG_DFL);
      if (g_interrupted != 0) {
        std::fprintf(stderr, "ravenlink-cli: fetch cancelled\n");
        return kExitCancelled;
      }
      std::fprintf(stderr, "ravenlink-cli: fetch cancelled after %d s\n", o.fetchTimeoutSeconds);
      return RAVENLINK_TRANSPORT_FAILED;
    }
    if (progress) {
      std::fprintf(stderr, "\rfetching %c %.1f s", kSpinner[tick++ % 4], elapsed);
      std::fflush(stderr);
    }
    rc = CheckGetNotifications(handle);
  }
  if (progress) ClearProgress();
  std::signal(SIGINT, SIG_DFL);
  if (rc != RAVENLINK_OK) return Fail("fetch", rc);
  return RAVENLINK_OK;
}

int PrintMessages(int handle, const cli::Options& o) {
  // Stored entries keep the verdict of the fetch but not the required items
  // and node values behind it; evaluating again, as an installer does before
  // it asks for required items, fills them in.
  int rc = ResetConditions(handle, o.flags);
  if (rc != RAVENLINK_OK) return Fail("ResetConditions", rc);
  cli::MessageList list;
  std::string failedCall;
  rc = cli::ReadMessages(handle, list, failedCall);
  if (rc != RAVENLINK_OK) return Fail(failedCall, rc);
  if (o.json) {
    cli::PrintJson(stdout, list);
  } else {
    cli::PrintTable(stdout, list);
  }
  return RAVENLINK_OK;
}

int Run(const cli::Options& o) {
  if (o.command == "explain") return cli::Explain(o);
  Session session;
  int rc = session.Open(o);
  if (rc != RAVENLINK_OK) return Fail("WsRavenlinkOpen2", rc);
  const int handle = session.Handle();
  rc = ApplyInputs(handle, o);
  if (rc != RAVENLINK_OK) return rc;

  if (o.command == "ping") {
    rc = PingServer(handle, o.pingTimeoutMs);
    if (rc != RAVENLINK_OK) return Fail("PingServer", rc);
    std::printf(o.json ? "{\"ping\": \"ok\"}\n" : "the service answers\n");
    return RAVENLINK_OK;
  }
  if (o.command == "load") {
    const std::wstring path = cli::FromUtf8(o.file);
    rc = LoadNotificationResponse(handle, path.c_str());
    if (rc != RAVENLINK_OK) return Fail("LoadNotificationResponse", rc);
    return PrintMessages(handle, o);
  }
  rc = Fetch(handle, o);
  if (rc != RAVENLINK_OK) return rc;
  if (o.command == "save") {
    const std::wstring path = cli::FromUtf8(o.file);
    // Saving replaces the file; removing it first lets its presence tell
    // whether the write happened, which the library does not report.
    std::remove(o.file.c_str());
    rc = SaveNotificationResponse(handle, path.c_str());
    if (rc != RAVENLINK_OK) return Fail("SaveNotificationResponse", rc);
    std::FILE* saved = std::fopen(o.file.c_str(), "rb");
    if (saved == nullptr) {
      std::fprintf(stderr, "ravenlink-cli: the answer was not saved to %s\n", o.file.c_str());
      return RAVENLINK_FAILED;
    }
    std::fclose(saved);
    std::fprintf(stderr, "ravenlink-cli: answer saved to %s\n", o.file.c_str());
  }
  return PrintMessages(handle, o);
}

}  // namespace

int main(int argc, char** argv) {
  cli::Options options;
  std::string error;
  if (!cli::ParseOptions(argc, argv, options, error)) {
    std::fprintf(stderr, "ravenlink-cli: %s\n\n%s", error.c_str(), cli::UsageText());
    return kExitUsage;
  }
  if (options.command == "help") {
    std::printf("%s", cli::UsageText());
    return 0;
  }
  return Run(options);
}
