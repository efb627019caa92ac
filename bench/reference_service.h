// The reference service as a child process: started on a loopback port it
// picks itself, serving one folder of notification documents, stopped (SIGTERM,
// then waited for) when the object goes. Its request log is thrown away.
#pragma once

#include <sys/types.h>

#include <filesystem>
#include <string>

class ReferenceService {
 public:
  // Starts the program at `program` and waits for the line that names its
  // port; throws std::runtime_error when it does not come.
  ReferenceService(const std::filesystem::path& program, const std::filesystem::path& documents);
  ~ReferenceService();
  ReferenceService(const ReferenceService&) = delete;
  ReferenceService& operator=(const ReferenceService&) = delete;

  // "http://127.0.0.1:PORT"
  const std::string& BaseUrl() const { return baseUrl_; }

 private:
  void Stop();

  pid_t pid_ = -1;
  int output_ = -1;  // the child's standard output, kept open while it runs
  std::string baseUrl_;
};
