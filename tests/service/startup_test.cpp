// Start-up mistakes are refused with a message that names what is wrong.
#include <gtest/gtest.h>

#include <fstream>
#include <regex>
#include <sstream>
#include <stdexcept>

#include "service_test_support.h"

namespace zandle::servicetest {
namespace {

// The service's stderr when it refuses to start; empty when it started after all.
std::string refusal(const std::vector<std::string>& arguments) {
  try {
    auto process = testkit::ServiceProcess::start(ZANDLE_SERVICE_BINARY, arguments);
    process->terminate();
    return {};
  } catch (const std::runtime_error& error) {
    return error.what();
  }
}

TEST(StartupTest, ListenPortsOutsideTheRangeAreRefusedNotWrapped) {
  for (const std::string port : {"99999", "65536", "-1", "80x"}) {
    const std::string message = refusal({"--store", "none", "--token", std::string(kToken), "--listen", "127.0.0.1:" + port});
    EXPECT_NE(message.find("port \"" + port + "\""), std::string::npos) << message;
    EXPECT_NE(message.find("65535"), std::string::npos) << message;
  }
}

TEST(StartupTest, AMissingTokenFileIsNamedAsMissing) {
  testkit::TemporaryDirectory directory;
  const std::string path = directory.path() + "/absent-token";
  const std::string message = refusal({"--store", "none", "--token-file", path});
  EXPECT_NE(message.find(path), std::string::npos) << message;
  EXPECT_NE(message.find("No such file"), std::string::npos) << message;
  EXPECT_EQ(message.find("no token in"), std::string::npos) << message;

  std::ofstream(directory.path() + "/empty-token").close();
  const std::string empty = refusal({"--store", "none", "--token-file", directory.path() + "/empty-token"});
  EXPECT_NE(empty.find(directory.path() + "/empty-token"), std::string::npos) << empty;
  EXPECT_NE(empty.find("no token"), std::string::npos) << empty;
}

TEST(StartupTest, AStoreThatIsNoDatabaseIsNamedWithTheCause) {
  testkit::TemporaryDirectory directory;
  const std::string path = directory.path() + "/notes.txt";
  std::ofstream(path) << "these are notes, not a database, and long enough to fill a header of sorts\n";
  const std::string message = refusal({"--store", "sqlite:" + path, "--token", std::string(kToken)});
  EXPECT_NE(message.find(path), std::string::npos) << message;
  EXPECT_NE(message.find("file is not a database"), std::string::npos) << message;
  EXPECT_EQ(message.find("script failed"), std::string::npos) << message;
}

// A second start finds the schema in place: the store's chatter about it
// (PostgreSQL's "already exists, skipping") stays out of the log.
class StartupLogTest : public testing::TestWithParam<Backend> {};

TEST_P(StartupLogTest, EveryLineTheServiceWritesIsALineOfItsLog) {
  RunningService service(GetParam());
  if (service.skipped()) GTEST_SKIP() << "no PostgreSQL server for this run";
  service.restart();
  ASSERT_EQ(intResult(service.call("WriteLog", kValidLog)), 1);
  const std::string log = service.process().log();
  const std::regex own(R"(\d{4}-\d\d-\d\d \d\d:\d\d:\d\d zandle-service (info|warning|error): .*)");
  std::istringstream lines(log);
  int count = 0;
  for (std::string line; std::getline(lines, line); ++count) EXPECT_TRUE(std::regex_match(line, own)) << line;
  EXPECT_GT(count, 0);
  EXPECT_EQ(log.find("NOTICE"), std::string::npos) << log;
}

INSTANTIATE_TEST_SUITE_P(Stores, StartupLogTest, testing::Values(Backend::Sqlite, Backend::Postgres), backendName);

}  // namespace
}  // namespace zandle::servicetest
