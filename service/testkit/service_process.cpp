#include "testkit/service_process.h"

#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <thread>

namespace zandle::testkit {
namespace {

constexpr int kStartupTimeoutMs = 15'000;
constexpr int kStopGraceMs = 20'000;
constexpr std::string_view kListeningPrefix = "listening on ";

std::string temporaryRoot() {
  const char* root = std::getenv("TMPDIR");
  return root && *root ? root : "/tmp";
}

}  // namespace

TemporaryDirectory::TemporaryDirectory() {
  std::string pattern = temporaryRoot() + "/zandle-service-XXXXXX";
  if (!mkdtemp(pattern.data())) throw std::runtime_error("mkdtemp failed");
  path_ = pattern;
}

TemporaryDirectory::~TemporaryDirectory() {
  std::error_code ignored;
  std::filesystem::remove_all(path_, ignored);
}

std::unique_ptr<ServiceProcess> ServiceProcess::start(const std::string& binary,
                                                      const std::vector<std::string>& arguments) {
  std::unique_ptr<ServiceProcess> process(new ServiceProcess);
  char logPattern[] = "/tmp/zandle-service-log-XXXXXX";
  const int logFd = mkstemp(logPattern);
  if (logFd < 0) throw std::runtime_error("mkstemp failed");
  process->logPath_ = logPattern;
  int pipeFds[2];
  if (pipe(pipeFds) != 0) throw std::runtime_error("pipe failed");

  std::vector<std::string> all{binary, "--listen", "127.0.0.1:0"};
  all.insert(all.end(), arguments.begin(), arguments.end());
  std::vector<char*> argv;
  for (auto& argument : all) argv.push_back(argument.data());
  argv.push_back(nullptr);

  process->pid_ = fork();
  if (process->pid_ < 0) throw std::runtime_error("fork failed");
  if (process->pid_ == 0) {
    dup2(pipeFds[1], STDOUT_FILENO);
    dup2(logFd, STDERR_FILENO);
    close(pipeFds[0]);
    close(pipeFds[1]);
    close(logFd);
    execv(binary.c_str(), argv.data());
    _exit(127);
  }
  close(pipeFds[1]);
  close(logFd);

  std::string output;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(kStartupTimeoutMs);
  while (output.find('\n') == std::string::npos && std::chrono::steady_clock::now() < deadline) {
    pollfd ready{pipeFds[0], POLLIN, 0};
    if (poll(&ready, 1, 100) <= 0) continue;
    char chunk[256];
    const ssize_t received = read(pipeFds[0], chunk, sizeof chunk);
    if (received <= 0) break;
    output.append(chunk, static_cast<std::size_t>(received));
  }
  close(pipeFds[0]);  // later stdout lines go nowhere; the service writes only this one
  const std::size_t at = output.find(kListeningPrefix);
  const std::size_t colon = output.rfind(':');
  if (at == std::string::npos || colon == std::string::npos) {
    const std::string log = process->log();
    process->kill();
    throw std::runtime_error("service did not start: " + log);
  }
  process->port_ = static_cast<std::uint16_t>(std::stoi(output.substr(colon + 1)));
  return process;
}

ServiceProcess::~ServiceProcess() {
  if (pid_ > 0) kill();
  if (!logPath_.empty()) unlink(logPath_.c_str());
}

int ServiceProcess::waitForExit(int graceMillis) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(graceMillis);
  for (;;) {
    int status = 0;
    const pid_t done = waitpid(pid_, &status, WNOHANG);
    if (done == pid_) {
      pid_ = -1;
      return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    if (std::chrono::steady_clock::now() >= deadline) return -2;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
}

int ServiceProcess::terminate() {
  if (pid_ <= 0) return -1;
  ::kill(pid_, SIGTERM);
  const int status = waitForExit(kStopGraceMs);
  if (status == -2) {
    kill();
    return -1;
  }
  return status;
}

void ServiceProcess::kill() {
  if (pid_ <= 0) return;
  ::kill(pid_, SIGKILL);
  waitpid(pid_, nullptr, 0);
  pid_ = -1;
}

std::string ServiceProcess::log() const {
  std::ifstream file(logPath_);
  std::stringstream text;
  text << file.rdbuf();
  return text.str();
}

}  // namespace zandle::testkit
