// A fresh library and a loopback service for each test.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "loopback_server.h"
#include "zandle_dll.h"

namespace zandle::test {

inline constexpr char kPathPrefix[] = "/WriteLogWeb/WriteLogWeb.asmx/";

class ClientTest : public ::testing::Test {
 protected:
  void SetUp() override { dll.SetServerW(server.Address().c_str(), 0); }

  // Names the tool without leaving a request behind.
  void NameTool(const char* model = "Tool", const char* version = "1.0", int uin = 7) {
    ASSERT_NE(dll.getAppInfoA(uin, model, version), nullptr);
    server.ClearRequests();
  }

  HttpRequest OnlyRequest() {
    const auto requests = server.Requests();
    EXPECT_EQ(requests.size(), 1u);
    return requests.empty() ? HttpRequest{} : requests.front();
  }

  LoopbackServer server;
  ZandleDll dll;
};

}  // namespace zandle::test
