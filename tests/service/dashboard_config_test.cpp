// The configuration editor and the GetAppInfo reply it feeds: names the reply
// cannot carry are refused, and every reply is well-formed XML 1.0 whatever
// the store holds.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <cstdio>
#include <fstream>

#include "service_test_support.h"

namespace zandle::servicetest {
namespace {

using testkit::HttpReply;

// Python's expat parser, strict about the characters XML 1.0 allows.
testing::AssertionResult isWellFormedXml(const std::string& document) {
  testkit::TemporaryDirectory directory;
  const std::string path = directory.path() + "/reply.xml";
  std::ofstream(path, std::ios::binary) << document;
  const std::string command =
      "python3 -c 'import sys, xml.dom.minidom; xml.dom.minidom.parse(sys.argv[1])' " + path + " 2>&1";
  FILE* pipe = popen(command.c_str(), "r");
  if (!pipe) return testing::AssertionFailure() << "python3 did not start";
  std::string complaint;
  char buffer[512];
  while (std::fgets(buffer, sizeof buffer, pipe)) complaint += buffer;
  if (pclose(pipe) != 0) return testing::AssertionFailure() << complaint << "in\n" << document;
  return testing::AssertionSuccess();
}

class ConfigEditorTest : public testing::Test {
 protected:
  void SetUp() override { service_ = std::make_unique<RunningService>(Backend::Sqlite); }

  HttpReply appInfo(std::string_view tool) const {
    return service_->call("GetAppInfo", "strLoginUIN=1&strModelNameVer=" + clientEncode(tool) + ",1.0");
  }

  // Writes a configuration row as an older service, or another program, could have.
  void storeRawConfig(const std::string& model, const std::string& functions) {
    service_->terminate();
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(service_->store().substr(std::string_view("sqlite:").size()).c_str(), &db), SQLITE_OK);
    sqlite3_stmt* statement = nullptr;
    ASSERT_EQ(sqlite3_prepare_v2(db,
                                 "INSERT OR REPLACE INTO tool_config (model, warning_level, functions, updated_ms) "
                                 "VALUES (?, 1, CAST(? AS TEXT), 0)",
                                 -1, &statement, nullptr),
              SQLITE_OK);
    sqlite3_bind_text(statement, 1, model.data(), static_cast<int>(model.size()), SQLITE_TRANSIENT);
    sqlite3_bind_blob(statement, 2, functions.data(), static_cast<int>(functions.size()), SQLITE_TRANSIENT);
    EXPECT_EQ(sqlite3_step(statement), SQLITE_DONE);
    sqlite3_finalize(statement);
    sqlite3_close(db);
    service_->restart();
  }

  std::unique_ptr<RunningService> service_;
};

const std::vector<std::string>& unsendableNames() {
  static const std::vector<std::string> names = {
      std::string("nul\0x", 5), "bell\x07", "tab\tname", "esc\x1b[1m", "del\x7f",
      "c1\xc2\x85",             "fffe\xef\xbf\xbe", "ffff\xef\xbf\xbf", "fdd0\xef\xb7\x90", "plane1\xf0\x9f\xbf\xbf"};
  return names;
}

TEST_F(ConfigEditorTest, ControlCharactersAndNoncharactersInFunctionNamesAreRefused) {
  for (const std::string& name : unsendableNames()) {
    const HttpReply reply = service_->configure("Painter", 1, "Print," + name);
    EXPECT_EQ(reply.status, 400) << name;
  }
  EXPECT_TRUE(service_->exportJson("config.json").empty());
  const HttpReply info = appInfo("Painter");
  EXPECT_TRUE(isWellFormedXml(info.body));
}

TEST_F(ConfigEditorTest, FunctionNamesAreLimitedTo255BytesAsReportsCarryThem) {
  std::string longest, tooLong;
  for (int i = 0; i < 85; ++i) longest += "打";  // 255 bytes
  for (int i = 0; i < 100; ++i) tooLong += "打";  // 100 characters, 300 bytes
  EXPECT_EQ(service_->configure("Painter", 1, "Print," + tooLong).status, 400);
  EXPECT_TRUE(service_->exportJson("config.json").empty());
  ASSERT_EQ(service_->configure("Painter", 1, "Print," + longest).status, 303);
  // A report naming it reaches its function.
  ASSERT_EQ(intResult(service_->call("Satisfaction", "strLoginUIN=1&strModelNameVer=" + clientEncode("Painter,1.0," + longest) +
                                                      "&nSatisLevel=1&strSatisInfo=NULL")),
            1);
  const auto answers = service_->exportJson("satisfaction.json");
  ASSERT_EQ(answers.size(), 1u);
  EXPECT_EQ(answers[0].value("function", ""), longest) << answers.dump();
}

// A script learns from the reply which field to mend; nothing of a refused form is kept.
TEST_F(ConfigEditorTest, RefusedFormsNameTheMissingOrBadField) {
  const auto post = [this](const std::string& body) {
    return testkit::postForm(service_->port(), "/config", body, "Authorization: Bearer " + std::string(kToken) + "\r\n");
  };
  const std::vector<std::pair<std::string, std::string>> refusals = {
      {"warningLevel=1&functions=Print", "model: missing"},
      {"model=Painter&functions=Print", "warningLevel: missing"},
      {"model=Painter&warningLevel=two&functions=Print", "warningLevel: must be a whole number"},
      {"model=Painter&warningLevel=%2B1", "warningLevel: must be a whole number"},
      {"model=Painter&warningLevel=1&action=update", "action: &quot;save&quot; or &quot;delete&quot;"},
      {"model=Painter&warningLevel=1&functions=Print,a%3Cb", "functions: Function names may not contain"},
      {"model=Painter&warningLevel=1&functions=Print,Print", "functions: The function &quot;Print&quot; is listed twice"},
      {"model=" + std::string(300, 'x') + "&warningLevel=1", "model: The tool name is longer than 255 bytes"},
      {"model=Painter&warningLevel=1&levelName3=Trace&levelColor3=red", "levelColor3: a colour of the form #rrggbb"},
      {"model=Painter&warningLevel=1&levelName4=" + std::string(41, 'n'), "levelName4: level names are plain text"},
  };
  for (const auto& [body, reason] : refusals) {
    const HttpReply reply = post(body);
    EXPECT_EQ(reply.status, 400) << body;
    EXPECT_NE(reply.body.find(reason), std::string::npos) << body << "\n" << reply.body;
  }
  EXPECT_TRUE(service_->exportJson("config.json").empty());
  // Only model and warningLevel are needed; the action defaults to save.
  EXPECT_EQ(post("model=Painter&warningLevel=-1").status, 303);
  const auto configs = service_->exportJson("config.json");
  ASSERT_EQ(configs.size(), 1u);
  EXPECT_EQ(configs[0]["warningLevel"], -1);
  EXPECT_EQ(post("model=Painter&action=delete").status, 303);
  EXPECT_TRUE(service_->exportJson("config.json").empty());
}

TEST_F(ConfigEditorTest, NamesInAnyScriptStillReachTheToolInWellFormedReplies) {
  const std::string names = "打印,Save as…,Ελληνικά,emoji 😀,tab-free name";
  ASSERT_EQ(service_->configure("Painter", 2, names).status, 303);
  const HttpReply info = appInfo("Painter");
  EXPECT_TRUE(isWellFormedXml(info.body));
  EXPECT_EQ(stringResult(info), "&lt;AppInfo&gt;&lt;WarningLevel&gt;2&lt;/WarningLevel&gt;&lt;FunName&gt;" + names +
                                    "&lt;/FunName&gt;&lt;/AppInfo&gt;");
}

TEST_F(ConfigEditorTest, RepliesStayWellFormedWhenTheStoredDefaultHoldsUnsendableNames) {
  std::string functions = "Print";
  for (const std::string& name : unsendableNames()) functions += "," + name;
  functions += ",bad utf8 \xff\xfe,Save";
  storeRawConfig("", functions);
  storeRawConfig("Painter", functions);
  for (std::string_view tool : {"Painter", "Other", "绘图工具", ""}) {
    const HttpReply info = appInfo(tool);
    ASSERT_EQ(info.status, 200) << tool;
    EXPECT_TRUE(isWellFormedXml(info.body)) << tool;
    // The names the tool can use still reach it.
    EXPECT_NE(info.body.find("&lt;FunName&gt;Print,Save&lt;/FunName&gt;"), std::string::npos) << info.body;
  }
}

// A store made before level names and the per-tool indexes gets them at start.
TEST_F(ConfigEditorTest, StoresFromBeforeLevelNamesAreUpgradedWhenTheServiceStarts) {
  ASSERT_EQ(service_->configure("Painter", 1, "Print").status, 303);
  service_->terminate();
  sqlite3* db = nullptr;
  ASSERT_EQ(sqlite3_open(service_->store().substr(std::string_view("sqlite:").size()).c_str(), &db), SQLITE_OK);
  ASSERT_EQ(sqlite3_exec(db,
                         "DROP TABLE tool_log_levels; DROP INDEX sessions_by_tool_time; "
                         "DROP INDEX sessions_by_tool_version;",
                         nullptr, nullptr, nullptr),
            SQLITE_OK);
  sqlite3_close(db);
  service_->restart();
  const HttpReply saved = testkit::postForm(
      service_->port(), "/config", "action=save&model=Painter&warningLevel=1&functions=Print&levelName0=Crash&levelColor0=%23aa0000",
      "Authorization: Bearer " + std::string(kToken) + "\r\n");
  EXPECT_EQ(saved.status, 303);
  EXPECT_NE(service_->get("/config?model=Painter").body.find("value=\"Crash\""), std::string::npos);
  EXPECT_EQ(stringResult(appInfo("Painter")),
            "&lt;AppInfo&gt;&lt;WarningLevel&gt;1&lt;/WarningLevel&gt;&lt;FunName&gt;Print&lt;/FunName&gt;&lt;/AppInfo&gt;");
}

}  // namespace
}  // namespace zandle::servicetest
