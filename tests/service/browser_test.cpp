// The dashboard as a browser renders it: Debian's headless Chromium against
// the running service, signing in through the token link and its cookie.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <sstream>

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

class BrowserTest : public testing::Test {
 protected:
  void SetUp() override {
    if (access(ZANDLE_CHROMIUM, X_OK) != 0) GTEST_SKIP() << "no Chromium at " << ZANDLE_CHROMIUM;
    service_ = std::make_unique<RunningService>(Backend::Sqlite);
    const auto report = [&](std::string_view method, std::string body) {
      ASSERT_TRUE(intResult(service_->call(method, body)) || stringResult(service_->call(method, body)));
    };
    report("GetAppInfo", "strLoginUIN=1&strModelNameVer=绘图工具,2.1");
    long long firstSession = 0;
    for (int uin = 1; uin <= 3; ++uin) {
      const auto id = intResult(service_->call("UserEnter", "strLoginUIN=" + std::to_string(uin) + "&strModelNameVer=绘图工具,2.1"));
      ASSERT_TRUE(id);
      if (uin == 1) firstSession = *id;
    }
    report("UserLeave", "nLoginDetailID=" + std::to_string(firstSession));
    report("WriteLog", "strLoginUIN=1&strLogInfo=" + clientEncode("绘图工具,2.1[<script>document.title='owned'</script>]") +
                           "&nLogLevel=1");
    report("WriteLog", "strLoginUIN=2&strLogInfo=绘图工具,2.1[<img src=x onerror=\"document.title='owned'\">]&nLogLevel=2");
    for (int level : {1, 1, 2, 3}) {
      report("Satisfaction", "strLoginUIN=1&strModelNameVer=绘图工具-2.1,打印&nSatisLevel=" + std::to_string(level));
    }
  }

  // Runs Chromium with `mode` ("--dump-dom" or "--screenshot=PATH") on the token link.
  std::string runChromium(const std::string& mode) {
    const std::string output = directory_.path() + "/chromium.out";
    const std::string url = "http://127.0.0.1:" + std::to_string(service_->port()) + "/?token=" + std::string(kToken);
    const std::string command = "cd " + directory_.path() + " && timeout " + std::to_string(kBrowserTimeoutSeconds) +
                                " " ZANDLE_CHROMIUM " --headless --no-sandbox --disable-gpu --disable-quic "
                                "--no-first-run --disable-background-networking --disable-component-update "
                                "--disable-sync --window-size=1200,2400 --user-data-dir=" +
                                directory_.path() + "/profile " + mode + " '" + url + "' >" + output +
                                " 2>" + directory_.path() + "/chromium.err";
    const int status = std::system(command.c_str());
    EXPECT_EQ(status, 0) << readFile(directory_.path() + "/chromium.err");
    return readFile(output);
  }

  testkit::TemporaryDirectory directory_;
  std::unique_ptr<RunningService> service_;
};

TEST_F(BrowserTest, SignsInThroughTheTokenLinkAndShowsFiguresWithoutRunningClientText) {
  const std::string dom = runChromium("--dump-dom");
  ASSERT_NE(dom.find("<h1>Zandle statistics</h1>"), std::string::npos) << dom.substr(0, 2000);
  EXPECT_NE(dom.find("<title>Zandle statistics</title>"), std::string::npos) << "a script changed the title";
  EXPECT_EQ(dom.find("owned</title>"), std::string::npos);
  EXPECT_NE(dom.find("&lt;script&gt;document.title='owned'&lt;/script&gt;"), std::string::npos);
  EXPECT_EQ(dom.find("<img"), std::string::npos);
  EXPECT_EQ(dom.find("<script"), std::string::npos);
  for (std::string_view section : {"id=\"summary\"", "id=\"daily\"", "id=\"functions\"", "id=\"satisfaction\"",
                                   "id=\"logs\""}) {
    EXPECT_NE(dom.find(section), std::string::npos) << section;
  }
  EXPECT_NE(dom.find("<svg"), std::string::npos);
  EXPECT_NE(dom.find("绘图工具 / 打印"), std::string::npos);
  EXPECT_NE(dom.find("<b>2</b>open sessions"), std::string::npos);
}

TEST_F(BrowserTest, RendersAScreenshot) {
  const std::string png = directory_.path() + "/dashboard.png";
  runChromium("--screenshot=" + png);
  struct stat info {};
  ASSERT_EQ(stat(png.c_str(), &info), 0);
  EXPECT_GT(info.st_size, 20'000);  // a blank page compresses to far less
  if (const char* keep = std::getenv("ZANDLE_KEEP_SCREENSHOT")) {
    std::system(("cp " + png + " " + keep).c_str());
  }
}

}  // namespace
}  // namespace zandle::servicetest
