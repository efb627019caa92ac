#include "rules/inventory_library.h"

#include "zeb_system_utility.h"

namespace {

WsString Copy(const wchar_t* text) {
  return text != nullptr ? WsString(text) : WsString();
}

}  // namespace

namespace InventoryLibrary {

void SysInfoOpen() {
  QVSysInfo_Open();
}
void SysInfoClose() {
  QVSysInfo_Close();
}
int ProductCount() {
  return QVSysInfo_GetNumProducts();
}
WsString ProductUpdateVersion(int index) {
  return Copy(QVSysInfo_Product_GetQVUpdateProductVersion(index));
}
WsString ProductUpdateCode(int index) {
  return Copy(QVSysInfo_Product_GetQVUpdateProductCode(index));
}
WsString ProductCode(int index) {
  return Copy(QVSysInfo_Product_GetProductCode(index));
}
int PartCount() {
  return QVSysInfo_GetNumParts();
}
WsString PartProductCode(int index) {
  return Copy(QVSysInfo_Part_GetProductCode(index));
}
WsString PartProductVersion(int index) {
  return Copy(QVSysInfo_Part_GetProductVersion(index));
}
WsString PartUpgradeCode(int index) {
  return Copy(QVSysInfo_Part_GetUpgradeCode(index));
}
int DistributionCount() {
  return QVSysInfo_GetNumDistributions();
}
WsString DistributionVersion(int index) {
  return Copy(QVSysInfo_Dist_GetDistVersion(index));
}
WsString DistributionLanguages(int index) {
  return Copy(QVSysInfo_Dist_GetDistLang(index));
}
WsString DistributionGuid(int index) {
  return Copy(QVSysInfo_Dist_GetDistGuid(index));
}

int PathsOpen(const WsString& mergeModulePath) {
  return QVPaths_Open(mergeModulePath.c_str());
}
int AddRequestedPaths(const WsString& condition) {
  return QVPaths_AddRequestedPathsFromCondition(condition.c_str());
}
int PathsRun() {
  return QVPaths_Run();
}
int EvaluateCondition(const WsString& condition) {
  return QVPaths_EvaluateCondition(condition.c_str());
}
void PathsClose() {
  QVPaths_Close();
}

}  // namespace InventoryLibrary
