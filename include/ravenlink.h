/* ravenlink: fetches the maker's notifications and tells which apply to this
 * computer. A flat C interface of 45 functions.
 *
 * Conventions
 *  1. Handles. WsRavenlinkOpen and WsRavenlinkOpen2 write a session handle
 *     (1, 2, 3, ... in order of opening, never reused) to *handle; every
 *     other function but SubmitReport takes it first. A handle is valid from
 *     Open until WsRavenlinkClose; a closed handle stays dead.
 *  2. Texts. Inputs are NUL-terminated UTF-16 (const wchar_t*); an empty text
 *     is allowed everywhere, a null pointer is refused. Outputs go into a
 *     caller-owned VARIANT, which must be initialised (VariantInit) because
 *     the library clears it before it stores a new BSTR with type VT_BSTR.
 *     The caller frees that BSTR with SysFreeString or VariantClear.
 *     Integer outputs are written only when the call returns RAVENLINK_OK.
 *  3. Blocking. No call waits for the network except these: Start- and
 *     CancelGetNotifications wait for the worker thread of an earlier fetch
 *     to end, CheckGetNotifications waits up to 100 ms for the running one,
 *     PingServer waits for its exchange (up to timeoutMs when it is > 0).
 *     While they wait they dispatch the calling thread's window messages.
 *  4. Threads. Any thread may call any function. One session must be used
 *     from one thread at a time, and must not be closed while another call
 *     on it is running; different sessions are independent.
 *  5. Results. Every function returns one of the RAVENLINK_* codes below,
 *     never anything else, and never lets an exception out. */
#ifndef RAVENLINK_H
#define RAVENLINK_H

#ifdef _WIN32
#include <windows.h>
#include <oleauto.h>
#define RAVENLINK_CALL __cdecl
#ifdef RAVENLINK_BUILDING
#define RAVENLINK_API __declspec(dllexport)
#else
#define RAVENLINK_API __declspec(dllimport)
#endif
#else
#include <stddef.h>
#define RAVENLINK_CALL
#define RAVENLINK_API __attribute__((visibility("default")))
/* The library's own code gets these types from its platform layer, which
 * defines RAVENLINK_COMPAT; a caller gets them here. */
#ifndef RAVENLINK_COMPAT
#include "ravenlink_ole_types.h"
#endif
#endif

/* Result codes (2 is never returned). */
#define RAVENLINK_OK 0      /* success; for Start/Check: the fetch is done and parsed */
#define RAVENLINK_PENDING 1 /* the fetch is still running: call Check again */
#define RAVENLINK_TRANSPORT_FAILED \
  3                         /* HTTP, connection, time-out, bad query, unknown id or index */
#define RAVENLINK_REFUSED 4 /* the service or the content refused; unsuccessful ping */
#define RAVENLINK_FAILED 5  /* bad handle, no fetch started, internal error */

/* Open2 flags. */
#define RAVENLINK_FLAG_NO_QUERY 2 /* build no query: fill the session with Load... only */
#define RAVENLINK_FLAG_SILENT 4   /* never show a dialog */
#define RAVENLINK_FLAG_AVAILABLE_IS_INSTALLING 8 /* available items count as installing */

#ifdef __cplusplus
extern "C" {
#endif

#if !defined(_WIN32) && !defined(RAVENLINK_COMPAT)
/* BSTR and VARIANT helpers, exported by the library where the system has none. */
RAVENLINK_API BSTR SysAllocString(const OLECHAR* text);
RAVENLINK_API BSTR SysAllocStringLen(const OLECHAR* text, unsigned int length);
RAVENLINK_API void SysFreeString(BSTR text);
RAVENLINK_API unsigned int SysStringLen(BSTR text);
RAVENLINK_API void VariantInit(VARIANT* variant);
RAVENLINK_API int VariantClear(VARIANT* variant);
#endif

/* Sessions. WsRavenlinkOpen is WsRavenlinkOpen2 with reserved "",
 * ownTargetOnly -1 and flags 0. Closing a handle below 1 or a closed one
 * returns RAVENLINK_OK; one never issued returns RAVENLINK_FAILED. */
RAVENLINK_API int RAVENLINK_CALL WsRavenlinkOpen(const wchar_t* swapp, const wchar_t* swappVersion,
                                                 const wchar_t* wrapperlib,
                                                 const wchar_t* wrapperlibVersion, int languageId,
                                                 int* handle);
RAVENLINK_API int RAVENLINK_CALL WsRavenlinkOpen2(const wchar_t* swapp, const wchar_t* swappVersion,
                                                  const wchar_t* reserved, int ownTargetOnly,
                                                  const wchar_t* wrapperlib,
                                                  const wchar_t* wrapperlibVersion, int languageId,
                                                  int flags, int* handle);
RAVENLINK_API int RAVENLINK_CALL WsRavenlinkClose(int handle);

/* What the caller installs or could install. */
RAVENLINK_API int RAVENLINK_CALL SetInstallingProduct(int handle, const wchar_t* upgradeCode,
                                                      const wchar_t* version);
RAVENLINK_API int RAVENLINK_CALL SetInstallingDistribution(int handle, const wchar_t* guid,
                                                           const wchar_t* version,
                                                           const wchar_t* language);
RAVENLINK_API int RAVENLINK_CALL SetInstallingSuite(int handle, const wchar_t* guid,
                                                    const wchar_t* version,
                                                    const wchar_t* language);
RAVENLINK_API int RAVENLINK_CALL SetAvailableProduct(int handle, const wchar_t* upgradeCode,
                                                     const wchar_t* version);
RAVENLINK_API int RAVENLINK_CALL SetAvailableDistribution(int handle, const wchar_t* guid,
                                                          const wchar_t* version,
                                                          const wchar_t* language);
RAVENLINK_API int RAVENLINK_CALL SetAvailableSuite(int handle, const wchar_t* guid,
                                                   const wchar_t* version, const wchar_t* language);
RAVENLINK_API int RAVENLINK_CALL ClearInstallingInfo(int handle);
RAVENLINK_API int RAVENLINK_CALL CollectSystemInformation(int handle);
RAVENLINK_API int RAVENLINK_CALL SetMetaUtilsPath(int handle, const wchar_t* path);
RAVENLINK_API int RAVENLINK_CALL SetParentWindow(int handle, HWND window);

/* Fetching. */
RAVENLINK_API int RAVENLINK_CALL StartGetNotifications(int handle);
RAVENLINK_API int RAVENLINK_CALL CheckGetNotifications(int handle);
RAVENLINK_API int RAVENLINK_CALL CancelGetNotifications(int handle);
RAVENLINK_API int RAVENLINK_CALL PingServer(int handle, int timeoutMs);
RAVENLINK_API int RAVENLINK_CALL LoadNotificationResponse(int handle, const wchar_t* path);
RAVENLINK_API int RAVENLINK_CALL SaveNotificationResponse(int handle, const wchar_t* path);
RAVENLINK_API int RAVENLINK_CALL ResetConditions(int handle, int flags);

/* Messages that apply. Indexes are zero-based. */
RAVENLINK_API int RAVENLINK_CALL GetMessageCount(int handle, int* count);
RAVENLINK_API int RAVENLINK_CALL GetMessageId(int handle, int index, VARIANT* id);
RAVENLINK_API int RAVENLINK_CALL GetMessageInfo(int handle, int index, const wchar_t* ignoredText,
                                                VARIANT* title, VARIANT* body, VARIANT* url);
RAVENLINK_API int RAVENLINK_CALL GetMessageTitle(int handle, const wchar_t* messageId,
                                                 VARIANT* title);
RAVENLINK_API int RAVENLINK_CALL GetMessageBody(int handle, const wchar_t* messageId,
                                                VARIANT* body);
RAVENLINK_API int RAVENLINK_CALL GetMessageUrl(int handle, const wchar_t* messageId, VARIANT* url);
RAVENLINK_API int RAVENLINK_CALL GetMessageSeverity(int handle, const wchar_t* messageId,
                                                    int* severity);
RAVENLINK_API int RAVENLINK_CALL GetTargetApplication(int handle, const wchar_t* messageId,
                                                      VARIANT* targetApplication);

/* Messages that concern one product, distribution or suite. */
RAVENLINK_API int RAVENLINK_CALL GetProductMessageCount(int handle, const wchar_t* upgradeCode,
                                                        const wchar_t* version, int* count);
RAVENLINK_API int RAVENLINK_CALL GetProductMessageId(int handle, const wchar_t* upgradeCode,
                                                     const wchar_t* version, int index,
                                                     VARIANT* id);
RAVENLINK_API int RAVENLINK_CALL GetDistributionMessageCount(int handle, const wchar_t* guid,
                                                             const wchar_t* version,
                                                             const wchar_t* language, int* count);
RAVENLINK_API int RAVENLINK_CALL GetDistributionMessageId(int handle, const wchar_t* guid,
                                                          const wchar_t* version,
                                                          const wchar_t* language, int index,
                                                          VARIANT* id);
RAVENLINK_API int RAVENLINK_CALL GetSuiteMessageCount(int handle, const wchar_t* guid,
                                                      const wchar_t* version,
                                                      const wchar_t* language, int* count);
RAVENLINK_API int RAVENLINK_CALL GetSuiteMessageId(int handle, const wchar_t* guid,
                                                   const wchar_t* version, const wchar_t* language,
                                                   int index, VARIANT* id);

/* Display names of the products a message names. */
RAVENLINK_API int RAVENLINK_CALL GetDisplayNameCount(int handle, const wchar_t* messageId,
                                                     int* count);
RAVENLINK_API int RAVENLINK_CALL GetDisplayNameInfo(int handle, const wchar_t* messageId, int index,
                                                    VARIANT* displayName, VARIANT* verMin,
                                                    VARIANT* verMax, VARIANT* guid, int* flags);

/* Items a message requires (kind 1) or excludes (kind 2). */
RAVENLINK_API int RAVENLINK_CALL GetProductRequiredCount(int handle, const wchar_t* messageId,
                                                         int* count);
RAVENLINK_API int RAVENLINK_CALL GetProductRequired(int handle, const wchar_t* messageId, int index,
                                                    VARIANT* upgradeCode, VARIANT* version,
                                                    int* kind, int* value);
RAVENLINK_API int RAVENLINK_CALL GetDistributionRequiredCount(int handle, const wchar_t* messageId,
                                                              int* count);
RAVENLINK_API int RAVENLINK_CALL GetDistributionRequired(int handle, const wchar_t* messageId,
                                                         int index, VARIANT* guid, VARIANT* version,
                                                         VARIANT* language, int* kind, int* value);
RAVENLINK_API int RAVENLINK_CALL GetSuiteRequiredCount(int handle, const wchar_t* messageId,
                                                       int* count);
RAVENLINK_API int RAVENLINK_CALL GetSuiteRequired(int handle, const wchar_t* messageId, int index,
                                                  VARIANT* guid, VARIANT* version,
                                                  VARIANT* language, int* kind, int* value);

/* Driver-template analysis of a message's conditions. */
RAVENLINK_API int RAVENLINK_CALL GetKXDriverTemplateInfo(int handle, const wchar_t* messageId,
                                                         int* first, int* second, int* third,
                                                         VARIANT* text, int* found);

/* Notifications of the last answer set aside because they need a newer library. */
RAVENLINK_API int RAVENLINK_CALL GetDiscardedNotificationCount(int handle, int* count);

/* Does nothing; always RAVENLINK_OK. */
RAVENLINK_API int RAVENLINK_CALL SubmitReport(int first, int second);

#ifdef __cplusplus
}
#endif

#endif /* RAVENLINK_H */
