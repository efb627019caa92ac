// ravenlink-service: serves the notification documents of a folder to the
// client over HTTP or HTTPS. See README.md.
#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>
#include <thread>

#include <pthread.h>

#include "http_server.h"

namespace {

const char kUsage[] =
    "usage: ravenlink-service --documents DIR [options]\n"
    "  --documents DIR    folder of notification documents (*.xml)\n"
    "  --port N           port to listen on; 0 picks a free one (default 8080)\n"
    "  --bind ADDRESS     address to listen on (default 127.0.0.1)\n"
    "  --cert FILE        certificate (PEM) for HTTPS; needs --key\n"
    "  --key FILE         private key (PEM) for HTTPS; needs --cert\n"
    "  --status-code N    answer every request with status code N and no documents\n"
    "  --log FILE         append the request log to FILE (default: standard error)\n";

struct Options {
  std::string documents;
  int port = 8080;
  std::string bind = "127.0.0.1";
  std::string cert;
  std::string key;
  std::optional<int> statusCode;
  std::string log;
};

bool ParseInt(const char* text, int& out) {
  char* end = nullptr;
  const long value = std::strtol(text, &end, 10);
  if (end == text || *end != '\0' || value < -2147483647 || value > 2147483647) return false;
  out = static_cast<int>(value);
  return true;
}

bool ParseOptions(int argc, char** argv, Options& options) {
  for (int i = 1; i < argc; ++i) {
    const std::string name = argv[i];
    if (name == "--help" || name == "-h") return false;
    if (i + 1 >= argc) {
      std::fprintf(stderr, "%s needs a value\n", name.c_str());
      return false;
    }
    const char* value = argv[++i];
    int number = 0;
    if (name == "--documents") {
      options.documents = value;
    } else if (name == "--port" && ParseInt(value, number) && number >= 0 && number <= 65535) {
      options.port = number;
    } else if (name == "--bind") {
      options.bind = value;
    } else if (name == "--cert") {
      options.cert = value;
    } else if (name == "--key") {
      options.key = value;
    } else if (name == "--status-code" && ParseInt(value, number)) {
      options.statusCode = number;
    } else if (name == "--log") {
      options.log = value;
    } else {
      std::fprintf(stderr, "bad option %s %s\n", name.c_str(), value);
      return false;
    }
  }
  if (options.documents.empty()) {
    std::fprintf(stderr, "--documents is required\n");
    return false;
  }
  if (options.cert.empty() != options.key.empty()) {
    std::fprintf(stderr, "--cert and --key go together\n");
    return false;
  }
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  Options options;
  if (!ParseOptions(argc, argv, options)) {
    std::fputs(kUsage, stderr);
    return 2;
  }

  std::FILE* logFile = stderr;
  if (!options.log.empty()) {
    logFile = std::fopen(options.log.c_str(), "a");
    if (logFile == nullptr) {
      std::fprintf(stderr, "cannot open log %s: %s\n", options.log.c_str(), std::strerror(errno));
      return 1;
    }
  }

  // SIGINT and SIGTERM stop the server; they are taken by one waiting thread,
  // so every other thread (the server's workers too) has them blocked.
  sigset_t stopSignals;
  sigemptyset(&stopSignals);
  sigaddset(&stopSignals, SIGINT);
  sigaddset(&stopSignals, SIGTERM);
  pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);

  std::unique_ptr<httplib::Server> server =
      ravenlink_service::CreateServer(options.cert, options.key);
  if (!server) {
    std::fprintf(stderr, "cannot use certificate %s with key %s\n", options.cert.c_str(),
                 options.key.c_str());
    return 1;
  }
  ravenlink_service::ServiceConfig config{options.documents, options.statusCode};
  ravenlink_service::RequestLog log(logFile);
  ravenlink_service::ConfigureServer(*server, config, log);

  int port = options.port;
  if (port == 0) {
    port = server->bind_to_any_port(options.bind);
    if (port < 0) port = -1;
  } else if (!server->bind_to_port(options.bind, port)) {
    port = -1;
  }
  if (port <= 0) {
    std::fprintf(stderr, "cannot listen on %s:%d\n", options.bind.c_str(), options.port);
    return 1;
  }
  std::printf("listening on %s://%s:%d\n", options.cert.empty() ? "http" : "https",
              options.bind.c_str(), port);
  std::fflush(stdout);

  std::atomic<bool> signalled{false};
  std::thread stopper([&server, &stopSignals, &signalled] {
    int signal = 0;
    sigwait(&stopSignals, &signal);
    signalled = true;
    server->stop();
  });
  const bool served = server->listen_after_bind();
  // The server ends on its own only after an error: wake the waiting thread.
  if (!signalled) pthread_kill(stopper.native_handle(), SIGTERM);
  stopper.join();
  if (logFile != stderr) std::fclose(logFile);
  return served ? 0 : 1;
}
