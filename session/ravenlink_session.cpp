#include "session/ravenlink_session.h"

#include "foundation/trace_log.h"

namespace {

// The operations of a fetch, its answer and the message queries are not
// built yet: they fail as an internal error (result 5).
[[noreturn]] void NotBuilt() {
  throw WsStatus(kWsInternal);
}

}  // namespace

WsRavenlinkSession::WsRavenlinkSession(const ClientIdentity& client, uint32_t languageId,
                                       uint32_t flags)
    : client_(client), flags_(flags), languageId_(languageId) {
  LogOpen();
  LogWrite(L"<WsRavenlinkSession::WsRavenlinkSession>");
}

WsRavenlinkSession::~WsRavenlinkSession() {
  LogWrite(L"</WsRavenlinkSession::~WsRavenlinkSession>");
  LogRelease();
}

WsStatus WsRavenlinkSession::StartGetNotifications() {
  NotBuilt();
}
WsStatus WsRavenlinkSession::CheckGetNotifications() {
  NotBuilt();
}
WsStatus WsRavenlinkSession::CancelGetNotifications() {
  NotBuilt();
}
WsStatus WsRavenlinkSession::PingServer(int32_t) {
  NotBuilt();
}
WsStatus WsRavenlinkSession::ParseQueryResponse() {
  NotBuilt();
}
void WsRavenlinkSession::LoadNotificationResponse(const WsString&) {
  NotBuilt();
}
void WsRavenlinkSession::SaveNotificationResponse(const WsString&) {
  NotBuilt();
}

void WsRavenlinkSession::SetParentWindow(HWND window) {
  parentWindow_ = window;
}

void WsRavenlinkSession::SetInstallingProduct(const WsString&, const WsString&) {
  NotBuilt();
}
void WsRavenlinkSession::SetInstallingDistribution(const WsString&, const WsString&,
                                                   const WsString&) {
  NotBuilt();
}
void WsRavenlinkSession::SetInstallingSuite(const WsString&, const WsString&, const WsString&) {
  NotBuilt();
}
void WsRavenlinkSession::SetAvailableProduct(const WsString&, const WsString&) {
  NotBuilt();
}
void WsRavenlinkSession::SetAvailableDistribution(const WsString&, const WsString&,
                                                  const WsString&) {
  NotBuilt();
}
void WsRavenlinkSession::SetAvailableSuite(const WsString&, const WsString&, const WsString&) {
  NotBuilt();
}
void WsRavenlinkSession::ClearInstallingInfo() {
  NotBuilt();
}
void WsRavenlinkSession::ResetConditions(uint32_t) {
  NotBuilt();
}
void WsRavenlinkSession::CollectSystemInformation() {
  NotBuilt();
}
void WsRavenlinkSession::SetMetaUtilsPath(const WsString&) {
  NotBuilt();
}

void WsRavenlinkSession::GetMessageCount(int32_t*) {
  NotBuilt();
}
void WsRavenlinkSession::GetMessageId(uint32_t, VARIANT*) {
  NotBuilt();
}
void WsRavenlinkSession::GetMessageInfo(uint32_t, const WsString&, VARIANT*, VARIANT*, VARIANT*) {
  NotBuilt();
}
void WsRavenlinkSession::GetMessageTitle(const WsString&, VARIANT*) {
  NotBuilt();
}
void WsRavenlinkSession::GetMessageBody(const WsString&, VARIANT*) {
  NotBuilt();
}
void WsRavenlinkSession::GetMessageUrl(const WsString&, VARIANT*) {
  NotBuilt();
}
void WsRavenlinkSession::GetMessageSeverity(const WsString&, int32_t*) {
  NotBuilt();
}
void WsRavenlinkSession::GetTargetApplication(const WsString&, VARIANT*) {
  NotBuilt();
}

void WsRavenlinkSession::GetProductMessageCount(const WsString&, const WsString&, int32_t*) {
  NotBuilt();
}
void WsRavenlinkSession::GetProductMessageId(const WsString&, const WsString&, uint32_t, VARIANT*) {
  NotBuilt();
}
void WsRavenlinkSession::GetDistributionMessageCount(const WsString&, const WsString&,
                                                     const WsString&, int32_t*) {
  NotBuilt();
}
void WsRavenlinkSession::GetDistributionMessageId(const WsString&, const WsString&, const WsString&,
                                                  uint32_t, VARIANT*) {
  NotBuilt();
}
void WsRavenlinkSession::GetSuiteMessageCount(const WsString&, const WsString&, const WsString&,
                                              int32_t*) {
  NotBuilt();
}
void WsRavenlinkSession::GetSuiteMessageId(const WsString&, const WsString&, const WsString&,
                                           uint32_t, VARIANT*) {
  NotBuilt();
}

void WsRavenlinkSession::GetDisplayNameCount(const WsString&, int32_t*) {
  NotBuilt();
}
void WsRavenlinkSession::GetDisplayNameInfo(const WsString&, uint32_t, VARIANT*, VARIANT*, VARIANT*,
                                            VARIANT*, int32_t*) {
  NotBuilt();
}

void WsRavenlinkSession::GetProductRequiredCount(const WsString&, int32_t*) {
  NotBuilt();
}
void WsRavenlinkSession::GetProductRequired(const WsString&, uint32_t, VARIANT*, VARIANT*, int32_t*,
                                            int32_t*) {
  NotBuilt();
}
void WsRavenlinkSession::GetDistributionRequiredCount(const WsString&, int32_t*) {
  NotBuilt();
}
void WsRavenlinkSession::GetDistributionRequired(const WsString&, uint32_t, VARIANT*, VARIANT*,
                                                 VARIANT*, int32_t*, int32_t*) {
  NotBuilt();
}
void WsRavenlinkSession::GetSuiteRequiredCount(const WsString&, int32_t*) {
  NotBuilt();
}
void WsRavenlinkSession::GetSuiteRequired(const WsString&, uint32_t, VARIANT*, VARIANT*, VARIANT*,
                                          int32_t*, int32_t*) {
  NotBuilt();
}

void WsRavenlinkSession::GetKXDriverTemplateInfo(const WsString&, int32_t*, int32_t*, int32_t*,
                                                 VARIANT*, int32_t*) {
  NotBuilt();
}

void WsRavenlinkSession::GetDiscardedNotificationCount(int32_t* count) {
  *count = static_cast<int32_t>(discardedCount_);
}
