#include "tools/cli/options.h"

#include <cstdlib>
#include <cstring>

#include "tools/cli/text.h"

namespace cli {
namespace {

bool ParseInt(const std::string& text, int& out) {
  if (text.empty()) return false;
  char* end = nullptr;
  const long value = std::strtol(text.c_str(), &end, 0);
  if (*end != '\0' || value < -2147483647L - 1 || value > 2147483647L) return false;
  out = static_cast<int>(value);
  return true;
}

// Splits "a,b,c" into at most `limit` pieces (the last keeps further commas).
std::vector<std::string> SplitItem(const std::string& text, size_t limit) {
  std::vector<std::string> pieces;
  size_t start = 0;
  while (pieces.size() + 1 < limit) {
    const size_t comma = text.find(',', start);
    if (comma == std::string::npos) break;
    pieces.push_back(text.substr(start, comma - start));
    start = comma + 1;
  }
  pieces.push_back(text.substr(start));
  return pieces;
}

struct ItemOption {
  const char* name;
  ItemKind kind;
  bool available;
};

constexpr ItemOption kItemOptions[] = {
    {"--installing-product", ItemKind::kProduct, false},
    {"--installing-distribution", ItemKind::kDistribution, false},
    {"--installing-suite", ItemKind::kSuite, false},
    {"--available-product", ItemKind::kProduct, true},
    {"--available-distribution", ItemKind::kDistribution, true},
    {"--available-suite", ItemKind::kSuite, true},
};

struct FlagOption {
  const char* name;
  int flag;
};

constexpr FlagOption kFlagOptions[] = {
    {"--no-query", 2},
    {"--silent", 4},
    {"--available-is-installing", 8},
};

}  // namespace

const char* UsageText() {
  return "usage: ravenlink-cli COMMAND [FILE] [OPTIONS]\n"
         "\n"
         "commands:\n"
         "  fetch            fetch the notifications and print those that apply\n"
         "  save FILE        fetch, save the service's answer to FILE, print the messages\n"
         "  load FILE        load a saved answer instead of fetching, print the messages\n"
         "  ping             ask whether the service answers\n"
         "  explain FILE     for each notification of a saved answer: its condition tree\n"
         "                   with each node's verdict, the record that decided it, and\n"
         "                   whether it was kept, dropped or discarded\n"
         "\n"
         "session (the arguments of WsRavenlinkOpen2):\n"
         "  --swapp NAME  --swapp-version VERSION  --reserved TEXT  --own-target-only N\n"
         "  --wrapperlib NAME  --wrapperlib-version VERSION  --language LANGID (default 9)\n"
         "  --flags N  --no-query  --silent  --available-is-installing\n"
         "\n"
         "what is installing or available (repeatable):\n"
         "  --installing-product UPGRADECODE[,VERSION]\n"
         "  --installing-distribution GUID[,VERSION[,LANGUAGE]]\n"
         "  --installing-suite GUID[,VERSION[,LANGUAGE]]\n"
         "  --available-product, --available-distribution, --available-suite: the same\n"
         "  --collect-system-information  --meta-utils-path PATH\n"
         "\n"
         "output and waiting:\n"
         "  --json           print JSON instead of a table\n"
         "  --quiet          no progress indicator\n"
         "  --timeout SECONDS  give up a fetch after this long (default: no limit)\n"
         "  --ping-timeout MS  (default 10000; 0 waits without judging the answer)\n"
         "\n"
         "exit status: 0 success, 2 usage, otherwise the library's result code\n"
         "(3 transport failed, 4 refused, 5 failed); 130 when Ctrl-C cancelled a fetch\n";
}

bool ParseOptions(int argc, char** argv, Options& options, std::string& error) {
  std::vector<std::string> positional;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    auto value = [&](std::string& out) {
      if (i + 1 >= argc) {
        error = arg + " needs a value";
        return false;
      }
      out = argv[++i];
      return true;
    };
    auto wide = [&](std::wstring& out) {
      std::string text;
      if (!value(text)) return false;
      out = FromUtf8(text);
      return true;
    };
    auto number = [&](int& out) {
      std::string text;
      if (!value(text)) return false;
      if (!ParseInt(text, out)) {
        error = arg + ": not a number: " + text;
        return false;
      }
      return true;
    };

    bool handled = true;
    if (arg == "--swapp") {
      handled = wide(options.swapp);
    } else if (arg == "--swapp-version") {
      handled = wide(options.swappVersion);
    } else if (arg == "--reserved") {
      handled = wide(options.reserved);
    } else if (arg == "--own-target-only") {
      handled = number(options.ownTargetOnly);
    } else if (arg == "--wrapperlib") {
      handled = wide(options.wrapperlib);
    } else if (arg == "--wrapperlib-version") {
      handled = wide(options.wrapperlibVersion);
    } else if (arg == "--language") {
      handled = number(options.languageId);
    } else if (arg == "--flags") {
      int flags = 0;
      handled = number(flags);
      options.flags |= flags;
    } else if (arg == "--meta-utils-path") {
      handled = wide(options.metaUtilsPath);
    } else if (arg == "--collect-system-information") {
      options.collectSystemInformation = true;
    } else if (arg == "--timeout") {
      handled = number(options.fetchTimeoutSeconds);
    } else if (arg == "--ping-timeout") {
      handled = number(options.pingTimeoutMs);
    } else if (arg == "--json") {
      options.json = true;
    } else if (arg == "--quiet") {
      options.quiet = true;
    } else if (arg == "--help" || arg == "-h") {
      options.command = "help";
    } else if (arg.rfind("--", 0) == 0) {
      bool known = false;
      for (const FlagOption& flag : kFlagOptions) {
        if (arg == flag.name) {
          options.flags |= flag.flag;
          known = true;
        }
      }
      for (const ItemOption& item : kItemOptions) {
        if (arg != item.name) continue;
        known = true;
        std::string text;
        if (!value(text)) return false;
        const size_t limit = item.kind == ItemKind::kProduct ? 2 : 3;
        const std::vector<std::string> pieces = SplitItem(text, limit);
        CallerItem caller;
        caller.kind = item.kind;
        caller.available = item.available;
        caller.key = FromUtf8(pieces[0]);
        if (pieces.size() > 1) caller.version = FromUtf8(pieces[1]);
        if (pieces.size() > 2) caller.language = FromUtf8(pieces[2]);
        options.items.push_back(caller);
      }
      if (!known) {
        error = "unknown option " + arg;
        return false;
      }
    } else {
      positional.push_back(arg);
    }
    if (!handled) return false;
  }
  if (options.command == "help") return true;
  if (positional.empty()) {
    error = "no command given";
    return false;
  }
  options.command = positional[0];
  const bool wantsFile =
      options.command == "load" || options.command == "save" || options.command == "explain";
  const bool known = wantsFile || options.command == "fetch" || options.command == "ping";
  if (!known) {
    error = "unknown command " + options.command;
    return false;
  }
  const size_t expected = wantsFile ? 2 : 1;
  if (positional.size() != expected) {
    error = options.command + (wantsFile ? " takes one file" : " takes no argument");
    return false;
  }
  if (wantsFile) options.file = positional[1];
  return true;
}

}  // namespace cli
