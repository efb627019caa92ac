// The system inventory library, as the rules engine sees it: each function
// forwards to the library function of the same role and copies a returned
// text at once (a null text reads as empty). Results are passed on unchecked.
#pragma once

#include "foundation/ws_string.h"

namespace InventoryLibrary {

// Inventory pass: SysInfoOpen, the product, part and distribution loops, SysInfoClose.
void SysInfoOpen();
void SysInfoClose();
int ProductCount();
WsString ProductUpdateVersion(int index);
WsString ProductUpdateCode(int index);
WsString ProductCode(int index);
int PartCount();
WsString PartProductCode(int index);
WsString PartProductVersion(int index);
WsString PartUpgradeCode(int index);
int DistributionCount();
WsString DistributionVersion(int index);
WsString DistributionLanguages(int index);
WsString DistributionGuid(int index);

// MSI condition batch: PathsOpen, AddRequestedPaths per text, PathsRun,
// EvaluateCondition per text, PathsClose. 0 is success for the first three.
int PathsOpen(const WsString& mergeModulePath);
int AddRequestedPaths(const WsString& condition);
int PathsRun();
// 1 true, 3 error, anything else false.
int EvaluateCondition(const WsString& condition);
void PathsClose();

}  // namespace InventoryLibrary
