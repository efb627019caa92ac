// The exported C functions. Each forwards its arguments unchanged to the
// session manager, which runs the session's operation behind the guard of
// api/export_guard.h: only result codes and the documented outputs leave.
//
// The library's platform header comes first, so that include/ravenlink.h
// takes BSTR, VARIANT and HWND from it instead of declaring its own.
#include "api/session_manager.h"
#include "compat/win32.h"
#include "ravenlink.h"

namespace {

using S = WsRavenlinkSession;

WsRavenlinkManager& M() {
  return RavenlinkManager();
}

}  // namespace

extern "C" {

RAVENLINK_API int RAVENLINK_CALL WsRavenlinkOpen(const wchar_t* swapp, const wchar_t* swappVersion,
                                                 const wchar_t* wrapperlib,
                                                 const wchar_t* wrapperlibVersion, int languageId,
                                                 int* handle) {
  return M().Open(swapp, swappVersion, wrapperlib, wrapperlibVersion, languageId, handle);
}

RAVENLINK_API int RAVENLINK_CALL WsRavenlinkOpen2(const wchar_t* swapp, const wchar_t* swappVersion,
                                                  const wchar_t* reserved, int ownTargetOnly,
                                                  const wchar_t* wrapperlib,
                                                  const wchar_t* wrapperlibVersion, int languageId,
                                                  int flags, int* handle) {
  return M().Open2(swapp, swappVersion, reserved, ownTargetOnly, wrapperlib, wrapperlibVersion,
                   languageId, flags, handle);
}

RAVENLINK_API int RAVENLINK_CALL WsRavenlinkClose(int handle) {
  return M().Close(handle);
}

RAVENLINK_API int RAVENLINK_CALL SetInstallingProduct(int handle, const wchar_t* upgradeCode,
                                                      const wchar_t* version) {
  return M().Call(handle, &S::SetInstallingProduct, upgradeCode, version);
}

RAVENLINK_API int RAVENLINK_CALL SetInstallingDistribution(int handle, const wchar_t* guid,
                                                           const wchar_t* version,
                                                           const wchar_t* language) {
  return M().Call(handle, &S::SetInstallingDistribution, guid, version, language);
}

RAVENLINK_API int RAVENLINK_CALL SetInstallingSuite(int handle, const wchar_t* guid,
                                                    const wchar_t* version,
                                                    const wchar_t* language) {
  return M().Call(handle, &S::SetInstallingSuite, guid, version, language);
}

RAVENLINK_API int RAVENLINK_CALL SetAvailableProduct(int handle, const wchar_t* upgradeCode,
                                                     const wchar_t* version) {
  return M().Call(handle, &S::SetAvailableProduct, upgradeCode, version);
}

RAVENLINK_API int RAVENLINK_CALL SetAvailableDistribution(int handle, const wchar_t* guid,
                                                          const wchar_t* version,
                                                          const wchar_t* language) {
  return M().Call(handle, &S::SetAvailableDistribution, guid, version, language);
}

RAVENLINK_API int RAVENLINK_CALL SetAvailableSuite(int handle, const wchar_t* guid,
                                                   const wchar_t* version,
                                                   const wchar_t* language) {
  return M().Call(handle, &S::SetAvailableSuite, guid, version, language);
}

RAVENLINK_API int RAVENLINK_CALL ClearInstallingInfo(int handle) {
  return M().Call(handle, &S::ClearInstallingInfo);
}

RAVENLINK_API int RAVENLINK_CALL CollectSystemInformation(int handle) {
  return M().Call(handle, &S::CollectSystemInformation);
}

RAVENLINK_API int RAVENLINK_CALL SetMetaUtilsPath(int handle, const wchar_t* path) {
  return M().Call(handle, &S::SetMetaUtilsPath, path);
}

RAVENLINK_API int RAVENLINK_CALL SetParentWindow(int handle, HWND window) {
  return M().Call(handle, &S::SetParentWindow, window);
}

RAVENLINK_API int RAVENLINK_CALL StartGetNotifications(int handle) {
  return M().Call(handle, &S::StartGetNotifications);
}

RAVENLINK_API int RAVENLINK_CALL CheckGetNotifications(int handle) {
  return M().Call(handle, &S::CheckGetNotifications);
}

RAVENLINK_API int RAVENLINK_CALL CancelGetNotifications(int handle) {
  return M().Call(handle, &S::CancelGetNotifications);
}

RAVENLINK_API int RAVENLINK_CALL PingServer(int handle, int timeoutMs) {
  return M().Call<Outcome::kPingVerdict>(handle, &S::PingServer, timeoutMs);
}

RAVENLINK_API int RAVENLINK_CALL LoadNotificationResponse(int handle, const wchar_t* path) {
  return M().Call<Outcome::kAnyFailureIs5>(handle, &S::LoadNotificationResponse, path);
}

RAVENLINK_API int RAVENLINK_CALL SaveNotificationResponse(int handle, const wchar_t* path) {
  return M().Call<Outcome::kAnyFailureIs5>(handle, &S::SaveNotificationResponse, path);
}

RAVENLINK_API int RAVENLINK_CALL ResetConditions(int handle, int flags) {
  return M().Call(handle, &S::ResetConditions, flags);
}

RAVENLINK_API int RAVENLINK_CALL GetMessageCount(int handle, int* count) {
  return M().Call(handle, &S::GetMessageCount, count);
}

RAVENLINK_API int RAVENLINK_CALL GetMessageId(int handle, int index, VARIANT* id) {
  return M().Call(handle, &S::GetMessageId, index, id);
}

RAVENLINK_API int RAVENLINK_CALL GetMessageInfo(int handle, int index, const wchar_t* ignoredText,
                                                VARIANT* title, VARIANT* body, VARIANT* url) {
  return M().Call(handle, &S::GetMessageInfo, index, ignoredText, title, body, url);
}

RAVENLINK_API int RAVENLINK_CALL GetMessageTitle(int handle, const wchar_t* messageId,
                                                 VARIANT* title) {
  return M().Call(handle, &S::GetMessageTitle, messageId, title);
}

RAVENLINK_API int RAVENLINK_CALL GetMessageBody(int handle, const wchar_t* messageId,
                                                VARIANT* body) {
  return M().Call(handle, &S::GetMessageBody, messageId, body);
}

RAVENLINK_API int RAVENLINK_CALL GetMessageUrl(int handle, const wchar_t* messageId, VARIANT* url) {
  return M().Call(handle, &S::GetMessageUrl, messageId, url);
}

RAVENLINK_API int RAVENLINK_CALL GetMessageSeverity(int handle, const wchar_t* messageId,
                                                    int* severity) {
  return M().Call(handle, &S::GetMessageSeverity, messageId, severity);
}

RAVENLINK_API int RAVENLINK_CALL GetTargetApplication(int handle, const wchar_t* messageId,
                                                      VARIANT* targetApplication) {
  return M().Call(handle, &S::GetTargetApplication, messageId, targetApplication);
}

RAVENLINK_API int RAVENLINK_CALL GetProductMessageCount(int handle, const wchar_t* upgradeCode,
                                                        const wchar_t* version, int* count) {
  return M().Call(handle, &S::GetProductMessageCount, upgradeCode, version, count);
}

RAVENLINK_API int RAVENLINK_CALL GetProductMessageId(int handle, const wchar_t* upgradeCode,
                                                     const wchar_t* version, int index,
                                                     VARIANT* id) {
  return M().Call(handle, &S::GetProductMessageId, upgradeCode, version, index, id);
}

RAVENLINK_API int RAVENLINK_CALL GetDistributionMessageCount(int handle, const wchar_t* guid,
                                                             const wchar_t* version,
                                                             const wchar_t* language, int* count) {
  return M().Call(handle, &S::GetDistributionMessageCount, guid, version, language, count);
}

RAVENLINK_API int RAVENLINK_CALL GetDistributionMessageId(int handle, const wchar_t* guid,
                                                          const wchar_t* version,
                                                          const wchar_t* language, int index,
                                                          VARIANT* id) {
  return M().Call(handle, &S::GetDistributionMessageId, guid, version, language, index, id);
}

RAVENLINK_API int RAVENLINK_CALL GetSuiteMessageCount(int handle, const wchar_t* guid,
                                                      const wchar_t* version,
                                                      const wchar_t* language, int* count) {
  return M().Call(handle, &S::GetSuiteMessageCount, guid, version, language, count);
}

RAVENLINK_API int RAVENLINK_CALL GetSuiteMessageId(int handle, const wchar_t* guid,
                                                   const wchar_t* version, const wchar_t* language,
                                                   int index, VARIANT* id) {
  return M().Call(handle, &S::GetSuiteMessageId, guid, version, language, index, id);
}

RAVENLINK_API int RAVENLINK_CALL GetDisplayNameCount(int handle, const wchar_t* messageId,
                                                     int* count) {
  return M().Call(handle, &S::GetDisplayNameCount, messageId, count);
}

RAVENLINK_API int RAVENLINK_CALL GetDisplayNameInfo(int handle, const wchar_t* messageId, int index,
                                                    VARIANT* displayName, VARIANT* verMin,
                                                    VARIANT* verMax, VARIANT* guid, int* flags) {
  return M().Call(handle, &S::GetDisplayNameInfo, messageId, index, displayName, verMin, verMax,
                  guid, flags);
}

RAVENLINK_API int RAVENLINK_CALL GetProductRequiredCount(int handle, const wchar_t* messageId,
                                                         int* count) {
  return M().Call(handle, &S::GetProductRequiredCount, messageId, count);
}

RAVENLINK_API int RAVENLINK_CALL GetProductRequired(int handle, const wchar_t* messageId, int index,
                                                    VARIANT* upgradeCode, VARIANT* version,
                                                    int* kind, int* value) {
  return M().Call(handle, &S::GetProductRequired, messageId, index, upgradeCode, version, kind,
                  value);
}

RAVENLINK_API int RAVENLINK_CALL GetDistributionRequiredCount(int handle, const wchar_t* messageId,
                                                              int* count) {
  return M().Call(handle, &S::GetDistributionRequiredCount, messageId, count);
}

RAVENLINK_API int RAVENLINK_CALL GetDistributionRequired(int handle, const wchar_t* messageId,
                                                         int index, VARIANT* guid, VARIANT* version,
                                                         VARIANT* language, int* kind, int* value) {
  return M().Call(handle, &S::GetDistributionRequired, messageId, index, guid, version, language,
                  kind, value);
}

RAVENLINK_API int RAVENLINK_CALL GetSuiteRequiredCount(int handle, const wchar_t* messageId,
                                                       int* count) {
  return M().Call(handle, &S::GetSuiteRequiredCount, messageId, count);
}

RAVENLINK_API int RAVENLINK_CALL GetSuiteRequired(int handle, const wchar_t* messageId, int index,
                                                  VARIANT* guid, VARIANT* version,
                                                  VARIANT* language, int* kind, int* value) {
  return M().Call(handle, &S::GetSuiteRequired, messageId, index, guid, version, language, kind,
                  value);
}

RAVENLINK_API int RAVENLINK_CALL GetKXDriverTemplateInfo(int handle, const wchar_t* messageId,
                                                         int* first, int* second, int* third,
                                                         VARIANT* text, int* found) {
  return M().Call(handle, &S::GetKXDriverTemplateInfo, messageId, first, second, third, text,
                  found);
}

RAVENLINK_API int RAVENLINK_CALL GetDiscardedNotificationCount(int handle, int* count) {
  return M().Call(handle, &S::GetDiscardedNotificationCount, count);
}

RAVENLINK_API int RAVENLINK_CALL SubmitReport(int, int) {
  return 0;
}

}  // extern "C"
