// ZEBSystemUtility: the functions of the system inventory library that
// ravenlink imports by name. This stand-in answers them from an inventory file
// (see README.md). Texts are zero-terminated wchar_t; a returned text stays
// valid until the next QVSysInfo_Open or QVPaths_Open.
#pragma once

extern "C" {

// Inventory pass: Open re-reads the inventory file.
int QVSysInfo_Open(void);
int QVSysInfo_Close(void);
int QVSysInfo_GetNumProducts(void);
const wchar_t* QVSysInfo_Product_GetQVUpdateProductVersion(int index);
const wchar_t* QVSysInfo_Product_GetQVUpdateProductCode(int index);
const wchar_t* QVSysInfo_Product_GetProductCode(int index);
int QVSysInfo_GetNumParts(void);
const wchar_t* QVSysInfo_Part_GetProductCode(int index);
const wchar_t* QVSysInfo_Part_GetProductVersion(int index);
const wchar_t* QVSysInfo_Part_GetUpgradeCode(int index);
int QVSysInfo_GetNumDistributions(void);
const wchar_t* QVSysInfo_Dist_GetDistVersion(int index);
const wchar_t* QVSysInfo_Dist_GetDistLang(int index);
const wchar_t* QVSysInfo_Dist_GetDistGuid(int index);

// MSI condition batch: Open re-reads the inventory file.
int QVPaths_Open(const wchar_t* mergeModulePath);
int QVPaths_AddRequestedPathsFromCondition(const wchar_t* condition);
int QVPaths_Run(void);
int QVPaths_EvaluateCondition(const wchar_t* condition);
int QVPaths_Close(void);

// For tests only. Once ZEBTest_ResetCalls has been called, every call above is
// logged as one line: the function's name, followed by its argument in
// parentheses when it has one, for example
// "QVPaths_EvaluateCondition(VersionNT >= 600)" or "QVSysInfo_Part_GetUpgradeCode(2)".
// The number of logged lines equal to call:
int ZEBTest_CountCalls(const wchar_t* call);
// All logged lines, each ended by "\n"; valid until the next call of the library.
const wchar_t* ZEBTest_CallLog(void);
// Empties the log; the first call starts logging (nothing is logged before).
void ZEBTest_ResetCalls(void);

}  // extern "C"
