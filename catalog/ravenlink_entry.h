// WsRavenlinkEntry: one notification as the library reads it from a
// "notification" element: identity, severity, the message chosen for the
// session's language, its display names, the engine version it needs and its
// conditions, evaluated once against the session's rules engine.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "catalog/display_name.h"
#include "catalog/installer_info.h"
#include "foundation/guid.h"
#include "foundation/version_number.h"
#include "foundation/ws_string.h"
#include "packet/xml_document.h"
#include "packet/xml_serializable.h"
#include "rules/condition_tree.h"

class IRulesEngine;
class WsRavenlinkSession;

// The engine version of this library; entries needing a later one are unsupported.
extern const WsString kEngineVersion;

// Severity words (compared without regard to case) and their values; false
// for any other text.
bool ParseSeverity(const wchar_t* text, int32_t& severity);

class WsRavenlinkEntry : public WsXmlSerializable {
 public:
  // How much of the chosen message the constructor reads.
  enum MessageReading {
    kReadMessage,        // at once
    kReadMessageIfKept,  // only once the entry is found applicable (see IsApplicable)
  };

  // Reads the entry for the session's language number (9 is English, the
  // fallback). Raises kWsXmlBadValue for an unknown or missing "severity" and
  // kWsXmlUnknown for a missing "status" element, unless the entry is unsupported.
  // Reading the message never fails, so leaving it for later changes no error;
  // the answer document must then still be alive when the entry is evaluated.
  WsRavenlinkEntry(pugi::xml_node notification, uint32_t language,
                   MessageReading reading = kReadMessage);
  // Copies everything but the session and the tree; a copy of an attached
  // entry is attached to the same session and engine, with a tree of its own.
  WsRavenlinkEntry(const WsRavenlinkEntry& other);
  // Takes everything, the tree included; the source is left without a tree.
  WsRavenlinkEntry(WsRavenlinkEntry&& other) noexcept;
  WsRavenlinkEntry& operator=(const WsRavenlinkEntry&) = delete;
  ~WsRavenlinkEntry();

  // Entries are only read.
  void WriteXml(WsXmlDocument&, pugi::xml_node) const override {}

  bool IsUnsupported() const { return unsupported_; }

  // Stores the session and builds the condition tree from the "conditions"
  // element with the session's engine; MSI texts are registered with the
  // engine's pending batch. The answer document must still be alive. Load
  // errors of the conditions propagate as WsStatus.
  void AttachToSession(WsRavenlinkSession* session, IRulesEngine& engine);
  // Evaluates the conditions on the first call (and resolves the display
  // names); later calls return the cached verdict. No tree: kWsMissingData.
  // An entry whose message was left for later reads it here when the verdict
  // is true; one found not applicable is only fit to be dropped.
  bool IsApplicable();
  // Lets go of the document the entry was read from, once its tree is built;
  // a message left for later is then read only by ReadMessageFrom. A copy
  // made afterwards gets no conditions.
  void ForgetDocument();
  // Reads the message, left for later, from the entry's "messages" element
  // parsed again (null: the entry has none); an entry already found
  // applicable resolves its display names as IsApplicable would have.
  void ReadMessageFrom(pugi::xml_node messages);
  // Which of the messages whose "lang" texts these are, in document order,
  // the entry reads (see ReadMessage); npos when none.
  size_t ChooseMessage(const std::vector<WsString>& languages) const;
  // As ReadMessageFrom, given the chosen "message" element alone (null: none
  // was chosen).
  void ReadChosenMessageFrom(pugi::xml_node message);
  bool IsEvaluated() const { return evaluated_; }
  // Frees the condition tree of an entry that is about to be dropped.
  void ReleaseTree() { condition_tree_.reset(); }
  // Forgets the verdict: the next IsApplicable evaluates the conditions again.
  void ResetEvaluation() { evaluated_ = false; }
  // Leaves the verdict and the resolved display names as they are but puts
  // the tree back in the state it had before its first evaluation (every node
  // false, no required items), as a tree freshly built for a copy would be.
  void ForgetTreeEvaluation();
  // The tree; kWsMissingData when the entry has none.
  ConditionTree& GetConditionTree() const;

  // Whether one of the entry's product, distribution or suite conditions
  // accepts the item `key` at `version` (with no language). kWsMissingData
  // without a tree.
  bool ConcernsProduct(const Guid& key, const VersionNumber& version) const;
  bool ConcernsDistribution(const Guid& key, const VersionNumber& version) const;
  bool ConcernsSuite(const Guid& key, const VersionNumber& version) const;

  WsRavenlinkSession* Session() const { return session_; }
  int32_t Severity() const { return severity_; }
  const WsString& Id() const { return id_; }
  const WsString& TargetApplication() const { return target_application_; }
  const WsString& StatusCode() const { return status_code_; }
  const WsString& MessageFamily() const { return message_family_; }
  const WsString& Body() const { return body_; }
  const WsString& Title() const { return title_; }
  const WsString& MoreInfoUrl() const { return more_info_url_; }
  const WsString& MinEngineVersion() const { return min_engine_version_; }
  pugi::xml_node ConditionsElement() const { return conditions_element_; }

  // Display names of the chosen message; an index at or beyond the count
  // gives EmptyString (texts) or 0 (flags).
  size_t DisplayNameCount() const { return display_names_.Count(); }
  const WsString& DisplayNameText(size_t index) const;
  const WsString& DisplayNameGuid(size_t index) const;
  const WsString& DisplayNameMaximum(size_t index) const;
  const WsString& DisplayNameMinimum(size_t index) const;
  uint16_t DisplayNameFlags(size_t index) const;
  const DisplayNames& GetDisplayNames() const { return display_names_; }

 private:
  void Read(pugi::xml_node notification);
  void ReadMessage(pugi::xml_node messages, uint32_t language);
  void ReadChosenMessage(pugi::xml_node message, uint32_t language);
  // Reads a message that was left for later, once.
  void ReadLaterMessage();
  bool Concerns(ItemType itemType, const Guid& key, const VersionNumber& version) const;

  WsRavenlinkSession* session_ = nullptr;
  IRulesEngine* engine_ = nullptr;  // the session's engine, set with the session
  bool evaluated_ = false;
  bool applies_ = false;
  int32_t severity_ = 0;
  WsString id_;
  WsString target_application_;
  WsString status_code_;
  WsString message_family_;
  WsString body_;
  WsString title_;
  WsString more_info_url_;
  WsString min_engine_version_;
  bool unsupported_ = false;
  DisplayNames display_names_;
  std::unique_ptr<ConditionTree> condition_tree_;
  pugi::xml_node conditions_element_;
  pugi::xml_node later_messages_;  // the "messages" element while it is unread
  uint32_t language_ = 0;
};
