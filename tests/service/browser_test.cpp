// The dashboard as a browser renders it: Debian's headless Chromium against
// the running service, signing in through the token link and its cookie, on
// four months of history. Screenshots at 1400 and 420 pixels wide go to
// build/.../dashboard-pictures for a person to look at.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <thread>

#include "common/text_escape.h"
#include "dashboard_sample.h"
#include "service_test_support.h"

namespace zandle::servicetest {
namespace {

constexpr int kBrowserTimeoutSeconds = 90;

std::string readFile(const std::string& path) {
  std::ifstream in(path);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

std::int64_t nowMillis() {
  using namespace std::chrono;
  return duration_cast<milliseconds>(system_clock::now().time_since_epoch()).count();
}

class BrowserTest : public testing::Test {
 protected:
  static void SetUpTestSuite() {
    if (access(ZANDLE_CHROMIUM, X_OK) != 0) return;
    service_ = new RunningService(Backend::Sqlite);
    // Store the tables, then write the history beside what the service keeps.
    ASSERT_TRUE(stringResult(service_->call("GetAppInfo", "strLoginUIN=1&strModelNameVer=" + std::string(kSampleTool) + ",2.2")));
    service_->terminate();
    writeSampleHistory(service_->store().substr(std::string_view("sqlite:").size()), nowMillis());
    service_->restart();
    const auto report = [](std::string_view method, const std::string& body) {
      ASSERT_TRUE(intResult(service_->call(method, body))) << method << " " << body;
    };
    // Client text that would run if it were not escaped.
    report("WriteLog", "strLoginUIN=1&strLogInfo=" +
                           clientEncode(std::string(kSampleTool) + ",2.2[<script>document.title='owned'</script>]") +
                           "&nLogLevel=0");
    report("WriteLog", "strLoginUIN=2&strLogInfo=" + std::string(kSampleTool) +
                           ",2.2[<img src=x onerror=\"document.title='owned'\">]&nLogLevel=0");
    std::string levels;
    for (const auto& [level, name, color] : {std::tuple{0, "错误", "#d0473c"}, std::tuple{1, "警告", "#e0a030"},
                                             std::tuple{2, "信息", "#2f6db5"}, std::tuple{3, "调试", "#9aa5b1"}}) {
      levels += "&levelName" + std::to_string(level) + "=" + service::urlEncode(name) + "&levelColor" +
                std::to_string(level) + "=" + service::urlEncode(color);
    }
    const testkit::HttpReply saved = testkit::postForm(
        service_->port(), "/config",
        "action=save&model=" + service::urlEncode(kSampleTool) + "&warningLevel=2&functions=" +
            service::urlEncode("打印,导出 PDF,保存,图层合并") + levels,
        "Authorization: Bearer " + std::string(kToken) + "\r\n");
    ASSERT_EQ(saved.status, 303) << saved.body;
  }
  static void TearDownTestSuite() {
    delete service_;
    service_ = nullptr;
  }
  void SetUp() override {
    if (!service_) GTEST_SKIP() << "no Chromium at " << ZANDLE_CHROMIUM;
  }

  // Chromium with `mode` ("--dump-dom" or "--screenshot=PATH") on the page at `target`, signed in by the token link.
  std::string runChromium(const std::string& target, const std::string& mode, int width, int height,
                          const RunningService* service = service_) {
    const std::string output = directory_.path() + "/chromium.out";
    const std::string url = "http://127.0.0.1:" + std::to_string(service->port()) + target +
                            (target.find('?') == std::string::npos ? "?" : "&") + "token=" + std::string(kToken);
    const std::string command = "cd " + directory_.path() + " && timeout " + std::to_string(kBrowserTimeoutSeconds) +
                                " " ZANDLE_CHROMIUM " --headless --no-sandbox --disable-gpu --disable-quic "
                                "--no-first-run --disable-background-networking --disable-component-update "
                                "--disable-sync --hide-scrollbars --force-device-scale-factor=1 --window-size=" +
                                std::to_string(width) + "," + std::to_string(height) + " --user-data-dir=" +
                                directory_.path() + "/profile " + mode + " '" + url + "' >" + output + " 2>" +
                                directory_.path() + "/chromium.err";
    const int status = std::system(command.c_str());
    EXPECT_EQ(status, 0) << readFile(directory_.path() + "/chromium.err");
    return readFile(output);
  }

  testkit::TemporaryDirectory directory_;
  static RunningService* service_;
};

RunningService* BrowserTest::service_ = nullptr;

const std::string kToolQuery = "tool=" + service::urlEncode(kSampleTool) + "&tz=Asia%2FShanghai";

TEST_F(BrowserTest, SignsInThroughTheTokenLinkAndShowsFiguresWithoutRunningClientText) {
  const std::string dom = runChromium("/?range=90d&" + kToolQuery, "--dump-dom", 1400, 3000);
  ASSERT_NE(dom.find("<h1>Zandle statistics</h1>"), std::string::npos) << dom.substr(0, 2000);
  EXPECT_NE(dom.find("<title>Zandle statistics</title>"), std::string::npos) << "a script changed the title";
  EXPECT_EQ(dom.find("owned</title>"), std::string::npos);
  EXPECT_NE(dom.find("&lt;script&gt;document.title='owned'&lt;/script&gt;"), std::string::npos);
  EXPECT_EQ(dom.find("<img"), std::string::npos);
  EXPECT_EQ(dom.find("<script"), std::string::npos);
  for (std::string_view section : {"id=\"summary\"", "id=\"daily\"", "id=\"satisfaction\"", "id=\"functions\"",
                                   "id=\"versions\"", "id=\"logs\"", "id=\"errors\"", "id=\"exports\""}) {
    EXPECT_NE(dom.find(section), std::string::npos) << section;
  }
  EXPECT_NE(dom.find("<svg"), std::string::npos);
  EXPECT_NE(dom.find("导出 PDF"), std::string::npos);
  EXPECT_NE(dom.find("0 错误"), std::string::npos) << "the tool's own level names";
  EXPECT_NE(dom.find("Asia/Shanghai (UTC+08:00)"), std::string::npos);
  EXPECT_NE(dom.find("class=\"preset active\""), std::string::npos);
}

// Pages at a desktop's and a phone's width, for a person to look at.
TEST_F(BrowserTest, ScreenshotsAtDesktopAndPhoneWidths) {
  const std::string pictures = ZANDLE_PICTURE_DIR;
  std::system(("mkdir -p " + pictures).c_str());
  struct Page {
    std::string name, target;
    int desktopHeight, phoneHeight;
  };
  const std::vector<Page> pages = {
      {"overview-90d", "/?range=90d&" + kToolQuery, 3900, 9000},
      {"overview-24h-all-tools", "/?range=24h&tz=Asia%2FShanghai", 3900, 9000},
      {"logs", "/logs?range=7d&" + kToolQuery, 2600, 7000},
      {"tools", "/tools", 700, 1400},
      {"config", "/config?model=" + service::urlEncode(kSampleTool), 900, 1700},
  };
  for (const Page& page : pages) {
    for (const auto& [width, height] : {std::pair{1400, page.desktopHeight}, std::pair{420, page.phoneHeight}}) {
      const std::string png = pictures + "/" + page.name + "-" + std::to_string(width) + ".png";
      std::remove(png.c_str());
      runChromium(page.target, "--screenshot=" + png, width, height);
      struct stat info {};
      ASSERT_EQ(stat(png.c_str(), &info), 0) << png;
      EXPECT_GT(info.st_size, 20'000) << png << ": a blank page compresses to far less";
    }
  }
}

// A new installation's first day: one session of a second and one answer, then a second user.
TEST_F(BrowserTest, ScreenshotsOfTheFirstRecords) {
  const std::string pictures = ZANDLE_PICTURE_DIR;
  std::system(("mkdir -p " + pictures).c_str());
  RunningService fresh(Backend::Sqlite);
  for (int uin : {1, 2}) {
    const auto id = intResult(fresh.call("UserEnter", "strLoginUIN=" + std::to_string(uin) + "&strModelNameVer=Tool,1.0"));
    ASSERT_TRUE(id);
    std::this_thread::sleep_for(std::chrono::milliseconds(1500 * uin));
    ASSERT_EQ(intResult(fresh.call("UserLeave", "nLoginDetailID=" + std::to_string(*id))), 1);
    ASSERT_EQ(intResult(fresh.call("Satisfaction", "strLoginUIN=" + std::to_string(uin) +
                                                       "&strModelNameVer=Tool-1.0,Print&nSatisLevel=" +
                                                       std::to_string(uin) + "&strSatisInfo=NULL")),
              1);
    const std::string png = pictures + "/overview-" + std::to_string(uin) + "-users-1400.png";
    std::remove(png.c_str());
    runChromium("/?range=30d", "--screenshot=" + png, 1400, 1500, &fresh);
    struct stat info {};
    ASSERT_EQ(stat(png.c_str(), &info), 0) << png;
  }
}

}  // namespace
}  // namespace zandle::servicetest
