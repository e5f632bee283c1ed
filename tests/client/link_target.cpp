// What a survey's link opens in the tests: it tells the waiting test that it ran.
#include <windows.h>

int main() {
  const HANDLE opened = ::OpenEventW(EVENT_MODIFY_STATE, FALSE, L"ZandleTestLinkOpened");
  if (!opened) return 1;
  ::SetEvent(opened);
  ::CloseHandle(opened);
  return 0;
}
