// Starts zandle-service as a child process on a free loopback port, for the
// tests and the benchmark.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace zandle::testkit {

class ServiceProcess {
 public:
  // Adds "--listen 127.0.0.1:0" and waits for the "listening on" line.
  // Throws std::runtime_error when the service does not come up.
  static std::unique_ptr<ServiceProcess> start(const std::string& binary, const std::vector<std::string>& arguments);
  ~ServiceProcess();

  std::uint16_t port() const { return port_; }
  pid_t pid() const { return pid_; }

  // SIGTERM, then the exit status (or -1 if it had to be killed after the grace time).
  int terminate();
  // SIGKILL, as a crash or power cut would end it.
  void kill();
  // What the service wrote to stderr so far.
  std::string log() const;

 private:
  ServiceProcess() = default;
  int waitForExit(int graceMillis);

  pid_t pid_ = -1;
  std::uint16_t port_ = 0;
  std::string logPath_;
};

// A fresh directory under $TMPDIR (or /tmp), removed by the destructor.
class TemporaryDirectory {
 public:
  TemporaryDirectory();
  ~TemporaryDirectory();
  const std::string& path() const { return path_; }

 private:
  std::string path_;
};

}  // namespace zandle::testkit
