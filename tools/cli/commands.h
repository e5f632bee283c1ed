// The commands that call one export each, checked before the DLL is loaded and run in order.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "dll_exports.h"

namespace zandle::cli {

struct Command {
  std::wstring name;
  std::vector<const wchar_t*> args;
};

bool IsCommandName(const std::wstring& name);

// Takes the command at args[i] and its arguments, advancing i. On a usage error returns
// false with a one-line reason in `error`.
bool ParseCommand(const std::vector<const wchar_t*>& args, std::size_t& i, Command& command, std::wstring& error);

class Runner {
 public:
  Runner(const Exports& e, bool narrow) : e_(e), narrow_(narrow) {}
  void Run(const Command& command);
  bool AllSucceeded() const { return allSucceeded_; }

 private:
  void Report(const wchar_t* name, const std::wstring& result, bool ok, const wchar_t* note = nullptr);

  const Exports& e_;
  bool narrow_;
  int lastDetailId_ = -1;
  int level_ = 0;
  int warningLevel_ = 0;  // the DLL's, as its GetAppInfo replies set it
  bool allSucceeded_ = true;
};

}  // namespace zandle::cli
