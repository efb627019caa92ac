// WsRavenlinkSession: the object behind one handle. It holds what the caller
// said about itself and what it installs, fetches the notifications from the
// service (or loads a saved answer), keeps the ones whose conditions hold and
// answers the message queries about them.
//
// Each operation takes the arguments of the export of the same name, without
// the handle. Failures are raised as WsStatus; the manager turns them into
// result codes. Outputs are written only on success, except where noted.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <vector>

#include "catalog/entry_filter.h"
#include "catalog/ravenlink_entry.h"
#include "compat/win32.h"
#include "foundation/guid.h"
#include "foundation/version_number.h"
#include "foundation/ws_status.h"
#include "foundation/ws_string.h"
#include "packet/client_identity.h"
#include "rules/rules_engine.h"

class WsContentQuery;
class WsFlumewayRequest;

// Open flags.
inline constexpr uint32_t kSessionNoQuery = 2;              // build no content query
inline constexpr uint32_t kSessionSilent = 4;               // never show a dialog
inline constexpr uint32_t kSessionAvailableInstalling = 8;  // available counts as installing

class PartedCatalog;

class WsRavenlinkSession {
 public:
  // Opens the shared trace log and builds the content query for the
  // caller's target application (unless flags has kSessionNoQuery).
  WsRavenlinkSession(const ClientIdentity& client, uint32_t languageId, uint32_t flags);
  // Cancels a running fetch, waits for its worker and releases the trace log.
  ~WsRavenlinkSession();
  WsRavenlinkSession(const WsRavenlinkSession&) = delete;
  WsRavenlinkSession& operator=(const WsRavenlinkSession&) = delete;

  // Fetch. Start comes back at once: kWsStillRunning while the exchange
  // runs, 0 when it already ended and its answer was parsed. Check waits up
  // to 100 ms: kWsStillRunning, then the parse result exactly once, then
  // kWsNoTransfer. Cancel stops the fetch and drops the query; returns 0.
  WsStatus StartGetNotifications();
  WsStatus CheckGetNotifications();
  WsStatus CancelGetNotifications();
  // 0 when the service's answer was judged successful. timeoutMs 0 waits
  // for the answer without judging it.
  WsStatus PingServer(int32_t timeoutMs);
  // Replaces the entries with those of an answer saved earlier (or any file
  // that parses into a packet).
  void LoadNotificationResponse(const WsString& path);
  // Writes the last answer as a UTF-16LE packet document; nothing when
  // there is no successful answer.
  void SaveNotificationResponse(const WsString& path);
  // Owner of a dialog the transport shows during a ping.
  void SetParentWindow(HWND window);

  // Caller inputs. Until a fetch completes, an item whose key is new to its
  // set also narrows the query.
  void SetInstallingProduct(const WsString& upgradeCode, const WsString& version);
  void SetInstallingDistribution(const WsString& guid, const WsString& version,
                                 const WsString& language);
  void SetInstallingSuite(const WsString& guid, const WsString& version, const WsString& language);
  void SetAvailableProduct(const WsString& upgradeCode, const WsString& version);
  void SetAvailableDistribution(const WsString& guid, const WsString& version,
                                const WsString& language);
  void SetAvailableSuite(const WsString& guid, const WsString& version, const WsString& language);
  // Empties the installing and available sets; cached verdicts stay.
  void ClearInstallingInfo();
  // Replaces the flags and makes the next query evaluate every entry again.
  void ResetConditions(uint32_t flags);
  // Rebuilds the installed sets from the system inventory library.
  void CollectSystemInformation();
  // Module path of the MSI condition cache.
  void SetMetaUtilsPath(const WsString& path);

  // Applicable messages, in ordinal order of id. Count evaluates when
  // needed; Id and Info read the list as last evaluated. Index beyond the
  // list or unknown id: kWsNotFound. Null VARIANT outputs of Info are skipped.
  void GetMessageCount(int32_t* count);
  void GetMessageId(uint32_t index, VARIANT* id);
  void GetMessageInfo(uint32_t index, const WsString& ignoredText, VARIANT* title, VARIANT* body,
                      VARIANT* url);
  // Any stored message, applicable now or not.
  void GetMessageTitle(const WsString& messageId, VARIANT* title);
  void GetMessageBody(const WsString& messageId, VARIANT* body);
  void GetMessageUrl(const WsString& messageId, VARIANT* url);
  void GetMessageSeverity(const WsString& messageId, int32_t* severity);
  void GetTargetApplication(const WsString& messageId, VARIANT* targetApplication);

  // Applicable messages whose conditions name one item at one version.
  // The language is accepted and not used.
  void GetProductMessageCount(const WsString& upgradeCode, const WsString& version, int32_t* count);
  void GetProductMessageId(const WsString& upgradeCode, const WsString& version, uint32_t index,
                           VARIANT* id);
  void GetDistributionMessageCount(const WsString& guid, const WsString& version,
                                   const WsString& language, int32_t* count);
  void GetDistributionMessageId(const WsString& guid, const WsString& version,
                                const WsString& language, uint32_t index, VARIANT* id);
  void GetSuiteMessageCount(const WsString& guid, const WsString& version, const WsString& language,
                            int32_t* count);
  void GetSuiteMessageId(const WsString& guid, const WsString& version, const WsString& language,
                         uint32_t index, VARIANT* id);

  // Display-name records of a message; an index beyond them gives empty
  // texts and flags 0. Null VARIANT outputs are skipped.
  void GetDisplayNameCount(const WsString& messageId, int32_t* count);
  void GetDisplayNameInfo(const WsString& messageId, uint32_t index, VARIANT* displayName,
                          VARIANT* verMin, VARIANT* verMax, VARIANT* guid, int32_t* flags);

  // Items the last evaluation of a message's conditions required (kind 1)
  // or excluded (kind 2); value is the record's install status. kind and
  // value are written before the record is checked.
  void GetProductRequiredCount(const WsString& messageId, int32_t* count);
  void GetProductRequired(const WsString& messageId, uint32_t index, VARIANT* upgradeCode,
                          VARIANT* version, int32_t* kind, int32_t* value);
  void GetDistributionRequiredCount(const WsString& messageId, int32_t* count);
  void GetDistributionRequired(const WsString& messageId, uint32_t index, VARIANT* guid,
                               VARIANT* version, VARIANT* language, int32_t* kind, int32_t* value);
  void GetSuiteRequiredCount(const WsString& messageId, int32_t* count);
  void GetSuiteRequired(const WsString& messageId, uint32_t index, VARIANT* guid, VARIANT* version,
                        VARIANT* language, int32_t* kind, int32_t* value);

  // Driver-template analysis of a message's condition tree.
  void GetKXDriverTemplateInfo(const WsString& messageId, int32_t* first, int32_t* second,
                               int32_t* third, VARIANT* text, int32_t* found);

  // Notifications of the last parse set aside for needing a newer engine.
  void GetDiscardedNotificationCount(int32_t* count);

  const ClientIdentity& Client() const { return client_; }
  uint32_t LanguageId() const { return languageId_; }
  uint32_t Flags() const { return flags_; }
  // "en-us" for English (9), "xx-xx" for every other language.
  WsString Locale() const;

  // Turns the current request's answer into entries; used by Start, Check
  // and Load. Returns the answer's server status or the failure that ended
  // the parse; entries stay as they were when the server refused. An answer
  // read in parts is read part by part (PartedCatalog), unless `parted`
  // already holds its parts' reading.
  WsStatus ParseQueryResponse(PartedCatalog* parted = nullptr);

  // Read by the tests: the content query still open (null once a fetch
  // completed or was cancelled), the rules engine and the stored entries.
  const WsContentQuery* Query() const { return query_.get(); }
  RulesEngine& Rules() { return rules_; }
  const RavenlinkEntryMap& Entries() const { return entries_; }

 private:
  using EntryList = std::vector<WsRavenlinkEntry*>;
  using EntryIndex = std::map<Guid, EntryList>;

  void BuildQuery();
  // Destroys the stored entries and everything that points at them.
  void ClearEntries();
  // Builds the packet of the content query and a request around it.
  std::unique_ptr<WsFlumewayRequest> MakeQueryRequest() const;
  // Collects a completed exchange: parses the answer and drops the query.
  WsStatus FinishFetch();

  // Adds a "upc" or "guid" criterion for a key new to `set` while the query
  // is still there.
  void AddCriterion(const MetaItemSet& set, const Guid& key, const wchar_t* field,
                    const WsString& keyText);

  // Builds applicable_ and the three indexes unless they are current.
  void Evaluate();
  // The stored entry with this id; kWsNotFound when there is none.
  WsRavenlinkEntry& FindEntry(const WsString& messageId) const;
  // The applicable entry at index as last evaluated; kWsNotFound beyond it.
  WsRavenlinkEntry& ApplicableAt(uint32_t index) const;
  const EntryList& ProductMessages(const WsString& upgradeCode, const WsString& version);
  EntryList ItemMessages(ItemType type, const WsString& key, const WsString& version);

  std::unique_ptr<WsFlumewayRequest> request_;
  std::unique_ptr<WsContentQuery> query_;
  RavenlinkEntryMap entries_;
  EntryList applicable_;
  bool evaluated_ = false;
  EntryIndex productIndex_;
  EntryIndex distributionIndex_;
  EntryIndex suiteIndex_;
  uint32_t discardedCount_ = 0;
  std::map<Guid, std::map<VersionNumber, EntryList>> productMessageCache_;
  RulesEngine rules_;
  // Caller records removed by ClearInstallingInfo. The requirement lists of
  // the stored entries still point at them until the entries are replaced.
  std::vector<std::unique_ptr<InstallerInfo>> retiredRecords_;
  ClientIdentity client_;
  uint32_t flags_;
  uint32_t languageId_;
  HWND parentWindow_ = nullptr;
};
