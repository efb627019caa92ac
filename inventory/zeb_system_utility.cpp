// The exported functions of the inventory stand-in. QVSysInfo_Open and
// QVPaths_Open re-read the inventory file; every other call answers from what
// was read last. Sessions on several threads use it at once, so what one call
// hands out outlives the re-reads of the others. Once a test has reset the
// call log, every call is also appended to it.
#include "zeb_system_utility.h"

#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "inventory_file.h"

namespace {

std::mutex& Lock() {
  static std::mutex lock;
  return lock;
}

zeb::Inventory& Current() {
  static zeb::Inventory inventory;
  return inventory;
}

// Re-reads the inventory file (under the lock). Strings handed out stay valid
// while other threads may still read them: the inventory is replaced only
// when the file says something new, and the one replaced is kept.
void Reload() {
  static std::optional<std::optional<std::string>> lastText;  // unset before the first read
  static std::vector<zeb::Inventory> replaced;
  std::string path;
  std::optional<std::string> text = zeb::ReadInventoryFile(&path);
  if (lastText && *lastText == text) return;
  replaced.push_back(std::move(Current()));
  Current() = zeb::InventoryFromFile(text, path);
  lastText = std::move(text);
}

std::vector<std::wstring>& Calls() {
  static std::vector<std::wstring> calls;
  return calls;
}

std::wstring& CallLogText() {
  static std::wstring text;
  return text;
}

const wchar_t kEmpty[] = L"";

// The log is kept once a test has asked for it (ZEBTest_ResetCalls), so that
// programs that never read it neither pay for it nor grow it.
bool& Logging() {
  static bool logging = false;
  return logging;
}

void Log(const wchar_t* name) {
  if (Logging()) Calls().emplace_back(name);
}

void Log(const wchar_t* name, const std::wstring& argument) {
  if (Logging()) Calls().push_back(std::wstring(name) + L"(" + argument + L")");
}

void Log(const wchar_t* name, int index) {
  if (Logging()) Log(name, std::to_wstring(index));
}

std::wstring Argument(const wchar_t* text) {
  return text != nullptr ? text : L"<null>";
}

int Count(const std::optional<int>& scripted, size_t records) {
  return scripted ? *scripted : static_cast<int>(records);
}

// The text of one field of record `index`, or an empty text when the index
// lies outside the records (a scripted count may exceed them).
template <typename Record>
const wchar_t* Field(const std::vector<Record>& records, int index, std::wstring Record::*field) {
  if (index < 0 || static_cast<size_t>(index) >= records.size()) return kEmpty;
  return (records[static_cast<size_t>(index)].*field).c_str();
}

const zeb::ConditionScript& ScriptFor(const wchar_t* condition) {
  const zeb::Inventory& inventory = Current();
  if (condition != nullptr) {
    auto it = inventory.conditions.find(condition);
    if (it != inventory.conditions.end()) return it->second;
  }
  return inventory.unlisted;
}

}  // namespace

extern "C" {

int QVSysInfo_Open(void) {
  std::lock_guard<std::mutex> guard(Lock());
  Log(L"QVSysInfo_Open");
  Reload();
  return 0;
}

int QVSysInfo_Close(void) {
  std::lock_guard<std::mutex> guard(Lock());
  Log(L"QVSysInfo_Close");
  return 0;
}

int QVSysInfo_GetNumProducts(void) {
  std::lock_guard<std::mutex> guard(Lock());
  Log(L"QVSysInfo_GetNumProducts");
  return Count(Current().productCount, Current().products.size());
}

const wchar_t* QVSysInfo_Product_GetQVUpdateProductVersion(int index) {
  std::lock_guard<std::mutex> guard(Lock());
  Log(L"QVSysInfo_Product_GetQVUpdateProductVersion", index);
  return Field(Current().products, index, &zeb::Product::updateVersion);
}

const wchar_t* QVSysInfo_Product_GetQVUpdateProductCode(int index) {
  std::lock_guard<std::mutex> guard(Lock());
  Log(L"QVSysInfo_Product_GetQVUpdateProductCode", index);
  return Field(Current().products, index, &zeb::Product::updateCode);
}

const wchar_t* QVSysInfo_Product_GetProductCode(int index) {
  std::lock_guard<std::mutex> guard(Lock());
  Log(L"QVSysInfo_Product_GetProductCode", index);
  return Field(Current().products, index, &zeb::Product::productCode);
}

int QVSysInfo_GetNumParts(void) {
  std::lock_guard<std::mutex> guard(Lock());
  Log(L"QVSysInfo_GetNumParts");
  return Count(Current().partCount, Current().parts.size());
}

const wchar_t* QVSysInfo_Part_GetProductCode(int index) {
  std::lock_guard<std::mutex> guard(Lock());
  Log(L"QVSysInfo_Part_GetProductCode", index);
  return Field(Current().parts, index, &zeb::Part::productCode);
}

const wchar_t* QVSysInfo_Part_GetProductVersion(int index) {
  std::lock_guard<std::mutex> guard(Lock());
  Log(L"QVSysInfo_Part_GetProductVersion", index);
  return Field(Current().parts, index, &zeb::Part::productVersion);
}

const wchar_t* QVSysInfo_Part_GetUpgradeCode(int index) {
  std::lock_guard<std::mutex> guard(Lock());
  Log(L"QVSysInfo_Part_GetUpgradeCode", index);
  return Field(Current().parts, index, &zeb::Part::upgradeCode);
}

int QVSysInfo_GetNumDistributions(void) {
  std::lock_guard<std::mutex> guard(Lock());
  Log(L"QVSysInfo_GetNumDistributions");
  return Count(Current().distributionCount, Current().distributions.size());
}

const wchar_t* QVSysInfo_Dist_GetDistVersion(int index) {
  std::lock_guard<std::mutex> guard(Lock());
  Log(L"QVSysInfo_Dist_GetDistVersion", index);
  return Field(Current().distributions, index, &zeb::Distribution::version);
}

const wchar_t* QVSysInfo_Dist_GetDistLang(int index) {
  std::lock_guard<std::mutex> guard(Lock());
  Log(L"QVSysInfo_Dist_GetDistLang", index);
  return Field(Current().distributions, index, &zeb::Distribution::languages);
}

const wchar_t* QVSysInfo_Dist_GetDistGuid(int index) {
  std::lock_guard<std::mutex> guard(Lock());
  Log(L"QVSysInfo_Dist_GetDistGuid", index);
  return Field(Current().distributions, index, &zeb::Distribution::guid);
}

int QVPaths_Open(const wchar_t* mergeModulePath) {
  std::lock_guard<std::mutex> guard(Lock());
  Log(L"QVPaths_Open", Argument(mergeModulePath));
  Reload();
  return Current().openResult;
}

int QVPaths_AddRequestedPathsFromCondition(const wchar_t* condition) {
  std::lock_guard<std::mutex> guard(Lock());
  Log(L"QVPaths_AddRequestedPathsFromCondition", Argument(condition));
  return ScriptFor(condition).add;
}

int QVPaths_Run(void) {
  std::lock_guard<std::mutex> guard(Lock());
  Log(L"QVPaths_Run");
  return Current().runResult;
}

int QVPaths_EvaluateCondition(const wchar_t* condition) {
  std::lock_guard<std::mutex> guard(Lock());
  Log(L"QVPaths_EvaluateCondition", Argument(condition));
  return ScriptFor(condition).evaluate;
}

int QVPaths_Close(void) {
  std::lock_guard<std::mutex> guard(Lock());
  Log(L"QVPaths_Close");
  return 0;
}

int ZEBTest_CountCalls(const wchar_t* call) {
  std::lock_guard<std::mutex> guard(Lock());
  int count = 0;
  for (const std::wstring& line : Calls()) {
    if (call != nullptr && line == call) ++count;
  }
  return count;
}

const wchar_t* ZEBTest_CallLog(void) {
  std::lock_guard<std::mutex> guard(Lock());
  std::wstring& text = CallLogText();
  text.clear();
  for (const std::wstring& line : Calls()) text += line + L"\n";
  return text.c_str();
}

void ZEBTest_ResetCalls(void) {
  std::lock_guard<std::mutex> guard(Lock());
  Calls().clear();
  Logging() = true;
}

}  // extern "C"
