// Console output, text conversions and timing shared by the zandle-cli commands.
#pragma once

#include <cstdint>
#include <string>

namespace zandle::cli {

void Print(const std::wstring& text);       // standard output
void PrintError(const std::wstring& text);  // standard error

std::string Ansi(const wchar_t* text);  // process code page; null gives ""
std::wstring Wide(const char* text);

// Narrow texts for the A exports; a null text stays null.
struct NarrowArg {
  explicit NarrowArg(const wchar_t* w) : isNull(w == nullptr), text(Ansi(w)) {}
  const char* get() const { return isNull ? nullptr : text.c_str(); }
  bool isNull;
  std::string text;
};

// Milliseconds since construction, from the performance counter.
class Stopwatch {
 public:
  Stopwatch();
  std::int64_t Ms() const;

 private:
  std::int64_t start_;
};

}  // namespace zandle::cli
