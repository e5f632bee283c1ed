// Lines on stdout through which scripts follow the sample tool: its events, and what
// the survey popups look like on the screen. A real tool needs none of this.
#ifndef ZANDLE_SAMPLE_OUTPUT_H
#define ZANDLE_SAMPLE_OUTPUT_H

#include <windows.h>

#include <string>

namespace sample {

std::string Utf8(const std::wstring& text);
unsigned long long Elapsed();  // milliseconds since the program started
void Emit(const std::string& line);  // one line, flushed at once
void EmitWindowRect(const char* what, HWND window);  // "WHAT L T R B", screen coordinates
void EmitWorkArea();  // "workarea L T R B"

// From now on, on this thread: "popup N rect L T R B alpha A at MS" whenever a survey
// popup's rectangle or layered alpha changes, "popup N gone at MS" when it disappears.
void WatchPopups();

}  // namespace sample

#endif
