#include "session/ravenlink_session.h"

#include <optional>

#include "catalog/content_catalog.h"
#include "catalog/parted_catalog.h"
#include "foundation/file_helpers.h"
#include "foundation/registry.h"
#include "foundation/trace_log.h"
#include "packet/content_query.h"
#include "packet/flumeway_request.h"
#include "packet/packet.h"
#include "packet/packet_header.h"
#include "transport/service_endpoint.h"

namespace {

const WsString kQueryCommand = L"ContentCmd:QueryDocument";
const WsString kQueryElement = L"contentQuery";
// The answer's elements that are read a few at a time, and their child that
// is parsed only for the notifications that apply.
const char kNotificationPart[] = "notification";
const char kMessagesChild[] = "messages";
const WsString kInternalTesting = L"InternalTesting";

// Wrapper names that ask for the meta-installer query.
const WsString kMetaInstaller = L"METAINSTALLER";
const WsString kMetaSuite = L"METASUITE";
const WsString kInstallerTarget = L"QVINSTALLER";
const WsString kUpdateServiceTarget = L"UPDATESERVICE";

const WsString kContentType = L"contentType";
const WsString kNotification = L"NOTIFICATION";
const WsString kTargetApplication = L"targetApplication";
const WsString kStatus = L"status";
const WsString kLive = L"live";

constexpr uint32_t kEnglish = 9;

bool InternalTesting() {
  bool testing = false;
  return RegValueExists(kServiceSettingsKey, kInternalTesting) &&
         RegReadBool(kServiceSettingsKey, kInternalTesting, testing) && testing;
}

}  // namespace

WsRavenlinkSession::WsRavenlinkSession(const ClientIdentity& client, uint32_t languageId,
                                       uint32_t flags)
    : rules_(flags & AvailableCountsAsInstalling),
      client_(client),
      flags_(flags),
      languageId_(languageId) {
  rules_.SetOptions(flags & AvailableCountsAsInstalling);
  LogOpen();
  try {
    LogWrite(L"<WsRavenlinkSession::WsRavenlinkSession>");
    if ((flags & kSessionNoQuery) == 0) BuildQuery();
  } catch (...) {
    // The destructor does not run for a half-built session.
    LogRelease();
    throw;
  }
}

// contentType AND target applications AND (unless testing) status live AND
// an Or group, left open, for the items the caller names before the fetch.
void WsRavenlinkSession::BuildQuery() {
  query_ = std::make_unique<WsContentQuery>();
  WsContentQuery& query = *query_;
  query.BeginGroup(kQueryGroupAnd);
  query.AddMetadata(kContentType, kNotification, kCompareEqual);
  const WsString& target = client_.wrapperlib;
  if (target.EqualsNoCase(kMetaInstaller) || target.EqualsNoCase(kMetaSuite)) {
    query.BeginGroup(kQueryGroupOr);
    query.AddMetadata(kTargetApplication, target, kCompareEqual);
    query.AddMetadata(kTargetApplication, kInstallerTarget, kCompareEqual);
    query.EndGroup();
  } else if (client_.ownTargetOnly != 0) {
    query.AddMetadata(kTargetApplication, target, kCompareEqual);
  } else {
    query.BeginGroup(kQueryGroupOr);
    query.AddMetadata(kTargetApplication, target, kCompareEqual);
    query.AddMetadata(kTargetApplication, kUpdateServiceTarget, kCompareEqual);
    query.AddMetadata(kTargetApplication, kMetaInstaller, kCompareEqual);
    query.AddMetadata(kTargetApplication, kInstallerTarget, kCompareEqual);
    query.EndGroup();
  }
  if (!InternalTesting()) query.AddMetadata(kStatus, kLive, kCompareEqual);
  query.BeginGroup(kQueryGroupOr);
}

WsRavenlinkSession::~WsRavenlinkSession() {
  query_.reset();
  if (request_) {
    request_->Cancel(false);
    request_.reset();  // cancels again and waits for the worker
  }
  ClearEntries();
  LogWrite(L"</WsRavenlinkSession::~WsRavenlinkSession>");
  LogRelease();
}

WsString WsRavenlinkSession::Locale() const {
  return languageId_ == kEnglish ? L"en-us" : L"xx-xx";
}

void WsRavenlinkSession::ClearEntries() {
  applicable_.clear();
  productIndex_.clear();
  distributionIndex_.clear();
  suiteIndex_.clear();
  productMessageCache_.clear();
  entries_.clear();
  evaluated_ = false;
  retiredRecords_.clear();  // nothing names them any more
}

std::unique_ptr<WsFlumewayRequest> WsRavenlinkSession::MakeQueryRequest() const {
  const WsPacket packet(WsPacketHeader(client_, Locale()), kQueryElement, query_.get());
  auto request = std::make_unique<WsFlumewayRequest>(client_, kQueryCommand, packet, true);
  request->SetAnswerParts(kNotificationPart, kMessagesChild);
  return request;
}

WsStatus WsRavenlinkSession::FinishFetch() {
  const WsStatus status = ParseQueryResponse();
  query_.reset();
  return status;
}

WsStatus WsRavenlinkSession::StartGetNotifications() {
  if (request_) {
    request_->Cancel(true);
    request_.reset();
  }
  if (!query_) return kWsOk;
  query_->EndGroup();  // the caller's items
  query_->EndGroup();  // the outer group
  request_ = MakeQueryRequest();
  // Content queries get no parent window: a dialog is owned by the desktop.
  const WsStatus status = request_->Execute(0, (flags_ & kSessionSilent) != 0);
  if (status == kWsStillRunning) return status;
  return FinishFetch();
}

WsStatus WsRavenlinkSession::CheckGetNotifications() {
  if (!request_) return kWsNoTransfer;
  const WsStatus status = request_->Poll(100);
  if (status == kWsStillRunning || status == kWsNoTransfer) return status;
  return FinishFetch();
}

WsStatus WsRavenlinkSession::CancelGetNotifications() {
  if (request_) {
    request_->Cancel(true);
    request_.reset();
  }
  query_.reset();
  return kWsOk;
}

WsStatus WsRavenlinkSession::ParseQueryResponse(PartedCatalog* parted) {
  LogWrite(L"<WsRavenlinkSession::ParseQueryResponse>");
  try {
    if (!request_) throw WsStatus(kWsNoTransfer);
    const WsPacket* answer = &request_->GetResponsePacket();
    // An answer read in parts is read here, before anything changes, because
    // a part that does not parse fails the answer as a whole.
    std::optional<PartedCatalog> read;
    if (parted == nullptr && answer->PartCount() > 0) {
      parted = &read.emplace(*answer, this, rules_, languageId_);
    }
    if (parted != nullptr && parted->Malformed()) {
      // Only the whole answer's parse tells what is wrong with it.
      answer = &request_->ReadWholeResponsePacket();
      parted = nullptr;
    }
    const int32_t code = answer->Header().ServerCode();
    if (code != 0) {
      LogWrite(L"</WsRavenlinkSession::ParseQueryResponse>");
      return StatusFromServerCode(code);
    }
    CollectSystemInformation();
    ClearEntries();
    LogWrite(L"\tConstructing catalog");
    if (parted != nullptr) {
      parted->ThrowReadError();
      LogWrite(L"\tDone constructing catalog, creating ravenlink entries");
      discardedCount_ = 0;
      discardedCount_ = parted->Store(entries_);
    } else {
      // Messages are read only for the entries that are kept.
      WsContentCatalog<WsRavenlinkEntry> catalog(answer->BodyElement(), languageId_,
                                                 WsRavenlinkEntry::kReadMessageIfKept);
      LogWrite(L"\tDone constructing catalog, creating ravenlink entries");
      discardedCount_ = 0;
      discardedCount_ = CreateEntries(this, rules_, catalog, entries_);
    }
  } catch (const WsStatus& status) {
    LogWrite(L"</WsRavenlinkSession::ParseQueryResponse>");
    return status;
  }
  LogWrite(L"</WsRavenlinkSession::ParseQueryResponse>");
  return kWsOk;
}

void WsRavenlinkSession::LoadNotificationResponse(const WsString& path) {
  // A UTF-8 answer is read in parts, and its parts before anything changes:
  // a file that does not parse leaves the session as it was.
  std::optional<WsPacket> packet;
  std::optional<PartedCatalog> parted;
  auto bytes = std::make_shared<std::string>();
  const bool read = ReadWholeFile(path, *bytes);
  if (read) packet = ReadAnswerInParts(bytes, kNotificationPart, kMessagesChild);
  if (packet) {
    parted.emplace(*packet, this, rules_, languageId_);
    if (parted->Malformed()) {
      packet->ReadWhole();  // raises what is wrong
      parted.reset();
    }
  } else {
    // Parsed whole: the bytes already read, or the file again for its error.
    WsXmlDocument document;
    if (read) {
      document.LoadFromBuffer(*bytes);
    } else {
      document.LoadFromFile(path);
    }
    packet.emplace(document);
  }
  bytes.reset();  // the packet holds them if it needs them
  request_.reset();
  request_ = MakeQueryRequest();
  request_->SetResponsePacket(*packet);
  packet.reset();
  const WsStatus status = ParseQueryResponse(parted ? &*parted : nullptr);
  if (status != kWsOk) throw status;
}

void WsRavenlinkSession::SaveNotificationResponse(const WsString& path) {
  if (!request_) return;
  // A request that was never answered (one that only served a ping) raises here.
  const WsPacket& answer = request_->GetResponsePacket();
  if (answer.Header().ServerCode() != 0) return;
  // A failed write is not reported to the caller.
  answer.SaveToFile(path);
}

WsStatus WsRavenlinkSession::PingServer(int32_t timeoutMs) {
  if (!request_) request_ = std::make_unique<WsFlumewayRequest>(client_, true);
  if (parentWindow_ != nullptr) request_->SetParentWindow(parentWindow_);
  WsString serverDate;
  return request_->PingServiceFrom(static_cast<DWORD>(timeoutMs), serverDate,
                                   (flags_ & kSessionSilent) != 0, WsString());
}

void WsRavenlinkSession::SetParentWindow(HWND window) {
  parentWindow_ = window;
}
