// Window messages. There are no windows and no message queue here: nothing is
// ever pending, and waiting "for objects or input" is waiting for the objects.

#include "compat/handles.h"

// Always FALSE: no message is ever waiting.
extern "C" BOOL PeekMessageW(LPMSG, HWND, UINT, UINT, UINT) {
  return FALSE;
}

extern "C" BOOL TranslateMessage(const MSG*) {
  return FALSE;
}

extern "C" LRESULT DispatchMessageW(const MSG*) {
  return 0;
}

// Waits for the events with the time limit; no input ever arrives, so the
// result WAIT_OBJECT_0 + count never occurs. Only events can be waited for.
extern "C" DWORD MsgWaitForMultipleObjects(DWORD count, const HANDLE* handles, BOOL waitAll,
                                           DWORD milliseconds, DWORD) {
  return compat::WaitForEvents(count, handles, waitAll != FALSE, milliseconds);
}

// No desktop window: null, which dialogs read as "no owner".
extern "C" HWND GetDesktopWindow(void) {
  return nullptr;
}
