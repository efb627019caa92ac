// Operating-system information (version, edition, processor, languages):
// written with the rules engine.
#pragma once

#include <windows.h>
