#include "reference_service.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <stdexcept>
#include <vector>

extern char** environ;

namespace {

constexpr char kListening[] = "listening on ";

// Reads one line from the descriptor, byte by byte (the child prints it once
// and then only logs to the file it was given).
bool ReadLine(int fd, std::string& line) {
  line.clear();
  char c = 0;
  while (read(fd, &c, 1) == 1) {
    if (c == '\n') return true;
    line += c;
  }
  return false;
}

}  // namespace

ReferenceService::ReferenceService(const std::filesystem::path& program,
                                   const std::filesystem::path& documents) {
  int out[2];
  if (pipe(out) != 0) throw std::runtime_error("pipe");
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
  posix_spawn_file_actions_addclose(&actions, out[0]);
  posix_spawn_file_actions_addclose(&actions, out[1]);
  // The request log would only cost the service time; nobody reads it.
  posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);

  const std::string programText = program.string();
  const std::string documentsText = documents.string();
  std::vector<std::string> arguments = {programText, "--documents", documentsText, "--port",
                                        "0",         "--bind",      "127.0.0.1"};
  std::vector<char*> argv;
  for (std::string& argument : arguments) argv.push_back(argument.data());
  argv.push_back(nullptr);
  const int spawned =
      posix_spawn(&pid_, programText.c_str(), &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  close(out[1]);
  if (spawned != 0) {
    close(out[0]);
    pid_ = -1;
    throw std::runtime_error("cannot start " + programText);
  }
  output_ = out[0];
  std::string line;
  const bool gotLine = ReadLine(output_, line);
  if (!gotLine || line.rfind(kListening, 0) != 0) {
    Stop();
    throw std::runtime_error("the reference service did not start: " + line);
  }
  baseUrl_ = line.substr(sizeof kListening - 1);
}

ReferenceService::~ReferenceService() {
  Stop();
}

void ReferenceService::Stop() {
  if (pid_ <= 0) {
    if (output_ >= 0) close(output_);
    output_ = -1;
    return;
  }
  kill(pid_, SIGTERM);
  int status = 0;
  waitpid(pid_, &status, 0);
  pid_ = -1;
  if (output_ >= 0) close(output_);
  output_ = -1;
}
