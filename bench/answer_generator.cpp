#include "answer_generator.h"

#include <cstdio>
#include <fstream>
#include <stdexcept>

namespace {

// Distinct items the notifications refer to; the inventory installs a share.
constexpr size_t kProducts = 400;
constexpr size_t kDistributions = 100;
constexpr size_t kSuites = 40;

std::string Key(char kind, size_t index) {
  char text[64];
  std::snprintf(text, sizeof text, "{%c%07zX-1234-5678-9ABC-%012zX}", kind, index, index * 7919);
  return text;
}

const char* const kSeverities[] = {"Info",    "Warning",     "Critical",
                                   "Upgrade", "ServicePack", "Fatal"};
const char* const kStatuses[] = {"installed",    "installing",          "installedOrInstalling",
                                 "notInstalled", "notInstalling",       "notInstalledOrInstalling",
                                 "available",    "installedOrAvailable"};

// One of several condition shapes, all of them seen in real answers: plain
// product tests, groups over distributions and suites, packages, the
// operating system and MSI conditions.
void AppendConditions(std::string& out, size_t i) {
  const std::string product = Key('A', i % kProducts);
  const std::string other = Key('A', (i * 31 + 7) % kProducts);
  const std::string distribution = Key('D', i % kDistributions);
  const std::string suite = Key('E', i % kSuites);
  const char* status = kStatuses[i % 8];
  out += "<conditions>";
  switch (i % 5) {
    case 0:
      out += "<product upc='" + product + "' status='" + status + "' verMin='1.0' verMax='2.5'/>";
      out += "<operatingSystem os='Windows' verMin='6.1' verMax='10.0' bits='64'/>";
      break;
    case 1:
      out += "<or><product upc='" + product +
             "' status='installed' verMin='1.0' verMax='3.0'/><product upc='" + other +
             "' status='installing' verMin='2.0' verMax='2.9'/></or>";
      out += "<distribution guid='" + distribution + "' status='" + status +
             "' verMin='1' verMax='9' lang='1033'/>";
      break;
    case 2:
      out += "<and logic='not'><suite guid='" + suite +
             "' status='installed' verMin='1' verMax='4' lang=''/><package id='libpart" +
             std::to_string(i % 60) + "' status='installed' verMin='1.0' verMax='2.0'/></and>";
      out += "<msi>VersionNT &gt;= " + std::to_string(500 + (i % 4) * 100) + "</msi>";
      break;
    case 3:
      out += "<operatingSystem os='Windows' verMin='6.0' verMax='11.0' productType='1'/>";
      out += "<or><product upc='" + product + "' status='" + status +
             "' verMin='1.0' verMax='2.0'/><distribution guid='" + distribution +
             "' status='installed' verMin='2' verMax='8' lang='1031'/><suite guid='" + suite +
             "' status='available' verMin='1' verMax='2' lang=''/></or>";
      break;
    default:
      out += "<product upc='" + product + "' status='installed' verMin='1.0' verMax='9.0'/>";
      break;
  }
  out += "</conditions>";
}

void AppendMessage(std::string& out, size_t i, const char* lang, const char* word) {
  out += "<message lang='";
  out += lang;
  out += "'><title>";
  out += word;
  out += " notice " + std::to_string(i) + "</title><body>An update of component " +
         std::to_string(i % kProducts) +
         " is ready.\nIt fixes the problems &amp; warnings reported since the last release "
         "and should be installed before continuing.</body>"
         "<moreInfoUrl>https://support.example.com/notes/" +
         std::to_string(i) + "?lang=" + lang + "</moreInfoUrl><displayNames><displayName guid='" +
         Key('A', i % kProducts) + "' verMin='1.0' verMax='2.5'>Component " +
         std::to_string(i % kProducts) + "</displayName><displayName guid='" +
         Key('A', (i * 31 + 7) % kProducts) +
         "' verMin='2.0' verMax='2.9' invertedRange='false'>Component " +
         std::to_string((i * 31 + 7) % kProducts) + " tools</displayName></displayNames></message>";
}

}  // namespace

std::wstring ProductKey(size_t index) {
  const std::string key = Key('A', index % kProducts);
  return std::wstring(key.begin(), key.end());
}

std::string GenerateNotification(size_t i) {
  std::string out;
  out.reserve(2600);
  out += i % 97 == 0 ? "<notification minEngineVersion='18.0'>" : "<notification>";
  char id[32];
  std::snprintf(id, sizeof id, "N%07zu", (i * 7331) % 10000019);
  out += "<ID>";
  out += id;
  out += "</ID><targetApplication>App</targetApplication><severity>";
  out += kSeverities[i % 6];
  out += "</severity><messageFamily>family" + std::to_string(i % 50) +
         "</messageFamily><status code='live'/>";
  AppendConditions(out, i);
  out += "<messages>";
  AppendMessage(out, i, "9", "English");
  AppendMessage(out, i, "7", "German");
  AppendMessage(out, i, "0xC", "French");
  out += "</messages></notification>";
  return out;
}

std::string GenerateAnswer(size_t count) {
  std::string out;
  out.reserve(count * 2600 + 256);
  out +=
      "<?xml version='1.0' encoding='utf-8'?>\n<packet><header><server><status code='0'/>"
      "<date>2026-12-06T00:00:00</date></server></header><body>\n";
  for (size_t i = 0; i < count; ++i) {
    out += GenerateNotification(i);
    out += "\n";
  }
  out += "</body></packet>\n";
  return out;
}

void WriteDocuments(size_t count, const std::filesystem::path& folder) {
  std::filesystem::create_directories(folder);
  for (size_t i = 0; i < count; ++i) {
    char name[32];
    std::snprintf(name, sizeof name, "n%07zu.xml", i);
    std::ofstream file(folder / name, std::ios::binary);
    file << "<?xml version='1.0' encoding='utf-8'?>\n" << GenerateNotification(i) << "\n";
    if (!file) throw std::runtime_error("cannot write a notification document");
  }
}

std::string GenerateInventory() {
  std::string out;
  for (size_t i = 0; i < kProducts; i += 3) {
    out += "[product]\nUpdateCode = " + Key('A', i) +
           "\nUpdateVersion = " + (i % 2 ? "1.5" : "2.2") + "\nProductCode = " + Key('B', i) + "\n";
  }
  for (size_t i = 0; i < kDistributions; i += 2) {
    out += "[distribution]\nGuid = " + Key('D', i) + "\nVersion = 3.0\nLanguages = 1033,1031\n";
  }
  return out;
}

ClientIdentity BenchClient() {
  ClientIdentity client;
  client.swapp = L"App";
  client.swappVersion = L"1.0";
  client.ownTargetOnly = 1;
  client.wrapperlib = L"App";
  client.wrapperlibVersion = L"2.0";
  return client;
}
