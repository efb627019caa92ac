// Driver template analysis: whether an evaluated condition tree has the shape
// of a driver-template rule, and if so three flags and a list of product keys.
// The analysis only reads the tree's values and the engine's sets.
#pragma once

#include "foundation/ws_string.h"

class ConditionTree;

struct DriverTemplateInfo {
  bool found = false;
  bool first = false;
  bool second = false;
  bool third = false;
  WsString text;  // product keys joined with ";"
};

// Runs the analysis on an evaluated tree. `info` comes in with the flags the
// caller chose (normally all false): text, first and second are reset, third
// is only ever set. Returns info.found. A tree without a root gives found true.
bool AnalyzeDriverTemplate(const ConditionTree& tree, DriverTemplateInfo& info);
