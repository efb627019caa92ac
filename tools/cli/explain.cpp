#include "tools/cli/explain.h"

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "api/result_code.h"
#include "catalog/content_catalog.h"
#include "catalog/installer_info.h"
#include "catalog/ravenlink_entry.h"
#include "foundation/ws_status.h"
#include "packet/packet.h"
#include "packet/packet_header.h"
#include "packet/xml_document.h"
#include "rules/condition_installer.h"
#include "rules/condition_msi.h"
#include "rules/condition_operator.h"
#include "rules/condition_tree.h"
#include "session/ravenlink_session.h"
#include "tools/cli/messages.h"
#include "tools/cli/text.h"

namespace cli {
namespace {

std::string Utf8(const WsString& text) {
  return ToUtf8(text);
}

const char* KindWord(ConditionKind kind) {
  switch (kind) {
    case kConditionAnd:
      return "and";
    case kConditionOr:
      return "or";
    case kConditionProduct:
      return "product";
    case kConditionDistribution:
      return "distribution";
    case kConditionSuite:
      return "suite";
    case kConditionOperatingSystem:
      return "operating system";
    case kConditionMsi:
      return "msi";
    case kConditionPackage:
      return "package";
  }
  return "?";
}

std::string Range(const InstallerInfo& info) {
  auto bracket = [](bool inclusive, char open, char closed) { return inclusive ? open : closed; };
  if (const auto* meta = dynamic_cast<const MetaInstallerInfo*>(&info)) {
    std::string text(1, bracket(meta->IsLowerInclusive(), '[', '('));
    text += meta->LowerBound().IsValid() ? Utf8(meta->LowerBound().ToString(false)) : "";
    text += " .. ";
    text += meta->UpperBound().IsValid() ? Utf8(meta->UpperBound().ToString(false)) : "";
    text += bracket(meta->IsUpperInclusive(), ']', ')');
    return text;
  }
  if (const auto* package = dynamic_cast<const PackageInfo*>(&info)) {
    std::string text(1, bracket(package->IsLowerInclusive(), '[', '('));
    text += package->LowerBound().IsLowest() ? "" : Utf8(package->LowerBound().Text());
    text += " .. ";
    text += package->UpperBound().IsHighest() ? "" : Utf8(package->UpperBound().Text());
    text += bracket(package->IsUpperInclusive(), ']', ')');
    return text;
  }
  return std::string();
}

// A record of one of the engine's sets: key, version (or range) and languages.
std::string Record(const InstallerInfo& info) {
  std::string text = Utf8(info.Key().ToString());
  text += ' ';
  text += Range(info);
  if (!info.Languages().empty()) {
    text += ' ';
    text += Utf8(info.Languages());
  }
  return text;
}

std::string Records(const InstallerRecords& records) {
  if (records.empty()) return "none";
  std::string text;
  for (const InstallerInfo* record : records) {
    if (!text.empty()) text += "; ";
    text += Record(*record);
  }
  return text;
}

void PrintNode(std::FILE* out, const Condition& node, int depth) {
  const std::string indent(static_cast<size_t>(depth) * 2 + 4, ' ');
  std::fprintf(out, "%s%s %s%s", indent.c_str(), node.LastResult() ? "true " : "false",
               node.IsNegated() ? "not " : "", KindWord(node.Kind()));
  if (const auto* op = dynamic_cast<const OperatorCondition*>(&node)) {
    std::fprintf(out, "\n");
    for (const auto& child : op->Children()) PrintNode(out, *child, depth + 1);
    return;
  }
  if (const auto* msi = dynamic_cast<const MsiCondition*>(&node)) {
    std::fprintf(out, " \"%s\"\n", Utf8(msi->Text()).c_str());
    return;
  }
  if (const auto* installer = dynamic_cast<const BaseInstallerCondition*>(&node)) {
    const InstallerInfo& info = installer->Info();
    std::fprintf(out, " %s is %s\n", Record(info).c_str(),
                 InstallStatusWord(static_cast<int>(info.Status())).c_str());
    InstallerRecords installed;
    if (const InstallerInfo* found = installer->FindInstalled()) installed.push_back(found);
    InstallerRecords installing;
    installer->FindInstalling(installing);
    InstallerRecords available;
    installer->FindAvailable(available);
    std::fprintf(out, "%s    installed: %s\n", indent.c_str(), Records(installed).c_str());
    std::fprintf(out, "%s    installing: %s\n", indent.c_str(), Records(installing).c_str());
    std::fprintf(out, "%s    available: %s\n", indent.c_str(), Records(available).c_str());
    return;
  }
  std::fprintf(out, "\n");
}

int Failed(const char* what, WsStatus status) {
  const int rc = ToResultCode(status);
  std::fprintf(stderr, "ravenlink-cli: explain: %s: status 0x%08X (result %d)\n", what,
               static_cast<unsigned>(status.code), rc);
  return rc == 0 ? kResultFailed : rc;
}

}  // namespace

int Explain(const Options& o) {
  ClientIdentity client;
  client.swapp = o.swapp;
  client.swappVersion = o.swappVersion;
  client.reserved = o.reserved;
  client.ownTargetOnly = o.ownTargetOnly;
  client.wrapperlib = o.wrapperlib;
  client.wrapperlibVersion = o.wrapperlibVersion;
  // The session holds the rules engine, fed exactly as the exports feed it;
  // no query is built because nothing is fetched.
  std::unique_ptr<WsRavenlinkSession> session;
  try {
    session =
        std::make_unique<WsRavenlinkSession>(client, static_cast<uint32_t>(o.languageId),
                                             static_cast<uint32_t>(o.flags) | kSessionNoQuery);
    if (!o.metaUtilsPath.empty()) session->SetMetaUtilsPath(o.metaUtilsPath);
    for (const CallerItem& item : o.items) {
      switch (item.kind) {
        case ItemKind::kProduct:
          if (item.available) {
            session->SetAvailableProduct(item.key, item.version);
          } else {
            session->SetInstallingProduct(item.key, item.version);
          }
          break;
        case ItemKind::kDistribution:
          if (item.available) {
            session->SetAvailableDistribution(item.key, item.version, item.language);
          } else {
            session->SetInstallingDistribution(item.key, item.version, item.language);
          }
          break;
        case ItemKind::kSuite:
          if (item.available) {
            session->SetAvailableSuite(item.key, item.version, item.language);
          } else {
            session->SetInstallingSuite(item.key, item.version, item.language);
          }
          break;
      }
    }
    session->CollectSystemInformation();
  } catch (const WsStatus& status) {
    return Failed("opening the session", status);
  }

  WsXmlDocument document;
  try {
    document.LoadFromFile(FromUtf8(o.file));
  } catch (const WsStatus& status) {
    std::string what = "reading ";
    what += o.file;
    return Failed(what.c_str(), status);
  }
  const WsPacket answer(document);
  if (answer.Header().ServerCode() != 0) {
    return Failed("the answer reports a failure",
                  StatusFromServerCode(answer.Header().ServerCode()));
  }

  RulesEngine& engine = session->Rules();
  std::unique_ptr<WsContentCatalog<WsRavenlinkEntry>> catalog;
  std::vector<WsRavenlinkEntry> working;
  try {
    catalog = std::make_unique<WsContentCatalog<WsRavenlinkEntry>>(
        answer.BodyElement(), static_cast<uint32_t>(o.languageId));
    // The same steps as a fetch: attach the supported entries, resolve every
    // MSI condition in one batch, then evaluate.
    working.reserve(catalog->Count());
    for (size_t i = 0; i < catalog->Count(); ++i) {
      const WsRavenlinkEntry& entry = catalog->At(i);
      if (entry.IsUnsupported()) continue;
      working.push_back(entry);
      working.back().AttachToSession(session.get(), engine);
    }
    engine.MsiConditions().Run();
  } catch (const WsStatus& status) {
    return Failed("the answer's notifications", status);
  }

  size_t kept = 0, dropped = 0, discarded = 0;
  auto next = working.begin();
  for (size_t i = 0; i < catalog->Count(); ++i) {
    const WsRavenlinkEntry& read = catalog->At(i);
    if (read.IsUnsupported()) {
      ++discarded;
      // Reading stops at the engine version, so a discarded entry has no id.
      std::printf("notification %zu: discarded (needs engine %s, this is %s)\n\n", i + 1,
                  Utf8(read.MinEngineVersion()).c_str(), Utf8(kEngineVersion).c_str());
      continue;
    }
    WsRavenlinkEntry& entry = *next++;
    bool applies = false;
    try {
      applies = entry.IsApplicable();
    } catch (const WsStatus& status) {
      std::printf("%s: dropped (evaluation failed with status 0x%08X)\n\n",
                  Utf8(entry.Id()).c_str(), static_cast<unsigned>(status.code));
      ++dropped;
      continue;
    }
    ++(applies ? kept : dropped);
    std::printf("%s: %s  [%s] %s\n", Utf8(entry.Id()).c_str(), applies ? "kept" : "dropped",
                SeverityWord(entry.Severity()).c_str(), Utf8(entry.Title()).c_str());
    PrintNode(stdout, *entry.GetConditionTree().Root(), 0);
    std::printf("\n");
  }
  std::printf("%zu kept, %zu dropped, %zu discarded\n", kept, dropped, discarded);
  return 0;
}

}  // namespace cli
