/* Opens a session, counts the messages of an empty session and closes it.
 * Exit status 0 when every call gave the expected result. */
#include <ravenlink.h>
#include <stdio.h>

int main(void) {
  int handle = 0;
  int count = -1;
  int rc = WsRavenlinkOpen2(L"consumer", L"1.0", L"", -1, L"consumer", L"1.0", 9,
                            RAVENLINK_FLAG_NO_QUERY | RAVENLINK_FLAG_SILENT, &handle);
  if (rc != RAVENLINK_OK || handle < 1) {
    fprintf(stderr, "WsRavenlinkOpen2 returned %d (handle %d)\n", rc, handle);
    return 1;
  }
  rc = GetDiscardedNotificationCount(handle, &count);
  if (rc != RAVENLINK_OK || count != 0) {
    fprintf(stderr, "GetDiscardedNotificationCount returned %d (count %d)\n", rc, count);
    return 1;
  }
  rc = WsRavenlinkClose(handle);
  if (rc != RAVENLINK_OK) {
    fprintf(stderr, "WsRavenlinkClose returned %d\n", rc);
    return 1;
  }
  printf("consumer: opened and closed session %d\n", handle);
  return 0;
}
