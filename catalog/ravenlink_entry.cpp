#include "catalog/ravenlink_entry.h"

#include "foundation/ws_status.h"
#include "packet/xml_helpers.h"

const WsString kEngineVersion = L"17.0.0";

namespace {

struct SeverityWord {
  const wchar_t* text;
  int32_t value;
};

// Tested in this order.
constexpr SeverityWord kSeverities[] = {
    {L"ServicePack", 5}, {L"Upgrade", 4},  {L"Info", 0},
    {L"Warning", 1},     {L"Critical", 2}, {L"Fatal", 3},
};

constexpr uint32_t kEnglish = 9;

// An entry needs a newer engine unless its minimum is a version no higher than ours.
bool NeedsNewerEngine(const WsString& minimum) {
  if (minimum.empty()) return false;
  const VersionNumber required(minimum);
  return !required.IsValid() || required.Compare(VersionNumber(kEngineVersion)) > 0;
}

// Picks the message to read from those offered in document order: the last
// one in the session's language, failing that the first English one.
// Messages whose "lang" is not a number are passed over.
class MessageChooser {
 public:
  explicit MessageChooser(uint32_t language) : language_(language) {}

  // Whether the message with this "lang" text becomes the chosen one.
  bool Offer(const WsString& lang) {
    uint32_t number = 0;
    if (!lang.ToUInt32(number)) return false;
    if (number != language_ && (number != kEnglish || chosen_)) return false;
    chosen_ = true;
    return true;
  }

 private:
  uint32_t language_;
  bool chosen_ = false;
};

}  // namespace

bool ParseSeverity(const wchar_t* text, int32_t& severity) {
  for (const SeverityWord& word : kSeverities) {
    if (WsString::SameNoCase(text, word.text)) {
      severity = word.value;
      return true;
    }
  }
  return false;
}

WsRavenlinkEntry::WsRavenlinkEntry(pugi::xml_node notification, uint32_t language,
                                   MessageReading reading)
    : language_(language) {
  Read(notification);
  if (reading == kReadMessage) ReadLaterMessage();
}

WsRavenlinkEntry::WsRavenlinkEntry(const WsRavenlinkEntry& other)
    : WsXmlSerializable(other),
      evaluated_(other.evaluated_),
      applies_(other.applies_),
      severity_(other.severity_),
      id_(other.id_),
      target_application_(other.target_application_),
      status_code_(other.status_code_),
      message_family_(other.message_family_),
      body_(other.body_),
      title_(other.title_),
      more_info_url_(other.more_info_url_),
      min_engine_version_(other.min_engine_version_),
      unsupported_(other.unsupported_),
      display_names_(other.display_names_),
      conditions_element_(other.conditions_element_),
      later_messages_(other.later_messages_),
      language_(other.language_) {
  if (other.engine_ != nullptr) {
    AttachToSession(other.session_, *other.engine_);
  }
}

WsRavenlinkEntry::WsRavenlinkEntry(WsRavenlinkEntry&& other) noexcept
    : WsXmlSerializable(other),
      session_(other.session_),
      engine_(other.engine_),
      evaluated_(other.evaluated_),
      applies_(other.applies_),
      severity_(other.severity_),
      id_(std::move(other.id_)),
      target_application_(std::move(other.target_application_)),
      status_code_(std::move(other.status_code_)),
      message_family_(std::move(other.message_family_)),
      body_(std::move(other.body_)),
      title_(std::move(other.title_)),
      more_info_url_(std::move(other.more_info_url_)),
      min_engine_version_(std::move(other.min_engine_version_)),
      unsupported_(other.unsupported_),
      display_names_(std::move(other.display_names_)),
      condition_tree_(std::move(other.condition_tree_)),
      conditions_element_(other.conditions_element_),
      later_messages_(other.later_messages_),
      language_(other.language_) {}

WsRavenlinkEntry::~WsRavenlinkEntry() = default;

void WsRavenlinkEntry::ForgetTreeEvaluation() {
  if (condition_tree_) condition_tree_->ForgetEvaluation();
}

void WsRavenlinkEntry::ForgetDocument() {
  conditions_element_ = pugi::xml_node();
  later_messages_ = pugi::xml_node();
}

void WsRavenlinkEntry::ReadMessageFrom(pugi::xml_node messages) {
  later_messages_ = messages;
  ReadLaterMessage();
  if (evaluated_ && applies_) display_names_.Resolve(GetConditionTree().Root());
}

void WsRavenlinkEntry::Read(pugi::xml_node notification) {
  min_engine_version_ = GetAttribute(notification, L"minEngineVersion");
  if (NeedsNewerEngine(min_engine_version_)) {
    unsupported_ = true;
    return;
  }
  id_ = GetChildText(notification, L"ID");
  target_application_ = GetChildText(notification, L"targetApplication");
  // Read in place: no severity word holds a line end for GetText to convert.
  if (!ParseSeverity(GetChild(notification, L"severity").child_value(), severity_)) {
    throw WsStatus(kWsXmlBadValue);
  }
  message_family_ = GetChildText(notification, L"messageFamily");
  const pugi::xml_node status = GetChild(notification, L"status");
  if (!IsNode(status)) throw WsStatus(kWsXmlUnknown);
  status_code_ = GetAttribute(status, L"code");
  conditions_element_ = GetChild(notification, L"conditions");
  later_messages_ = GetChild(notification, L"messages");
}

void WsRavenlinkEntry::ReadLaterMessage() {
  const pugi::xml_node messages = later_messages_;
  later_messages_ = pugi::xml_node();
  if (IsNode(messages)) ReadMessage(messages, language_);
}

void WsRavenlinkEntry::ReadMessage(pugi::xml_node messages, uint32_t language) {
  MessageChooser chooser(language);
  pugi::xml_node chosen;
  for (pugi::xml_node message = GetChild(messages, L"message"); message;
       message = NextSiblingNamed(message, L"message")) {
    if (chooser.Offer(GetAttribute(message, L"lang"))) chosen = message;
  }
  if (IsNode(chosen)) ReadChosenMessage(chosen, language);
}

void WsRavenlinkEntry::ReadChosenMessage(pugi::xml_node chosen, uint32_t language) {
  body_ = GetChildText(chosen, L"body");
  title_ = GetChildText(chosen, L"title");
  more_info_url_ = GetChildText(chosen, L"moreInfoUrl");
  const pugi::xml_node names = GetChild(chosen, L"displayNames");
  if (IsNode(names)) display_names_.Parse(names, language);
}

size_t WsRavenlinkEntry::ChooseMessage(const std::vector<WsString>& languages) const {
  MessageChooser chooser(language_);
  size_t chosen = WsString::npos;
  for (size_t i = 0; i < languages.size(); ++i) {
    if (chooser.Offer(languages[i])) chosen = i;
  }
  return chosen;
}

void WsRavenlinkEntry::ReadChosenMessageFrom(pugi::xml_node message) {
  later_messages_ = pugi::xml_node();
  if (IsNode(message)) ReadChosenMessage(message, language_);
  if (evaluated_ && applies_) display_names_.Resolve(GetConditionTree().Root());
}

void WsRavenlinkEntry::AttachToSession(WsRavenlinkSession* session, IRulesEngine& engine) {
  session_ = session;
  engine_ = &engine;
  condition_tree_ = std::make_unique<ConditionTree>(&engine, conditions_element_);
}

bool WsRavenlinkEntry::IsApplicable() {
  if (evaluated_) return applies_;
  ConditionTree& tree = GetConditionTree();
  applies_ = tree.Evaluate();
  evaluated_ = true;
  if (applies_) ReadLaterMessage();
  display_names_.Resolve(tree.Root());
  return applies_;
}

ConditionTree& WsRavenlinkEntry::GetConditionTree() const {
  if (!condition_tree_) throw WsStatus(kWsMissingData);
  return *condition_tree_;
}

const WsString& WsRavenlinkEntry::DisplayNameText(size_t index) const {
  return index < display_names_.Count() ? display_names_.At(index).name : EmptyString();
}

const WsString& WsRavenlinkEntry::DisplayNameGuid(size_t index) const {
  return index < display_names_.Count() ? display_names_.At(index).guidText : EmptyString();
}

const WsString& WsRavenlinkEntry::DisplayNameMaximum(size_t index) const {
  return index < display_names_.Count() ? display_names_.At(index).maximumText : EmptyString();
}

const WsString& WsRavenlinkEntry::DisplayNameMinimum(size_t index) const {
  return index < display_names_.Count() ? display_names_.At(index).minimumText : EmptyString();
}

uint16_t WsRavenlinkEntry::DisplayNameFlags(size_t index) const {
  return index < display_names_.Count() ? display_names_.Flags(index) : 0;
}
