// The explain command: why each notification of a saved answer applies or
// not. It reads the library's internals directly and changes nothing in them.
#pragma once

#include "tools/cli/options.h"

namespace cli {

// Prints, for each notification of options.file, its condition tree with each
// node's verdict and the records that decided the installer tests, and
// whether it was kept, dropped or discarded for its engine version. Returns
// the exit status (0, or the result code the failure maps to).
int Explain(const Options& options);

}  // namespace cli
