// vtlens: the effect's lens work outside the host. See UsageText() for the commands.
#include <cstdio>
#include <exception>
#include <string>
#include <vector>

#include "Commands.h"
#include "Controls.h"
#include "Host/EffectInfo.h"
#include "TempFiles.h"
#include "ToolError.h"
#include "VtlensMain.h"

namespace {

const CommandDef* FindCommand(const std::string& name) {
  for (const CommandDef& c : CommandTable())
    if (name == c.name) return &c;
  return nullptr;
}

[[noreturn]] void UnknownCommand(const std::string& name) {
  std::string message = "unknown command " + Echo(name) + "; the commands are";
  const CommandDef* closest = nullptr;
  size_t distance = 0;
  for (const CommandDef& c : CommandTable()) {
    message += std::string(&c == &CommandTable().front() ? " " : ", ") + c.name;
    size_t d = EditDistance(name, c.name);
    if (!closest || d < distance) {
      closest = &c;
      distance = d;
    }
  }
  if (closest && distance <= 2) message += "; did you mean " + std::string(closest->name) + "?";
  throw UsageError(message);
}

int Run(const CommandDef& command, const std::vector<std::string>& args) {
  try {
    return command.run(args);
  } catch (const HelpRequest& help) {
    std::fputs(CommandUsageText(command, help.options).c_str(), stdout);
    return 0;
  }
}

int Dispatch(const std::string& command, const std::vector<std::string>& args) {
  if (command == "--version") {
    std::printf("vtlens %d.%d.%d, with %s\n", kEffectMajorVersion, kEffectMinorVersion,
                kEffectBugVersion, kEffectName);
    return 0;
  }
  if (command == "help" || command == "--help" || command == "-h") {
    if (args.empty()) {
      std::fputs(UsageText().c_str(), stdout);
      return 0;
    }
    const CommandDef* c = FindCommand(args[0]);
    if (!c) UnknownCommand(args[0]);
    return Run(*c, {"--help"});
  }
  const CommandDef* c = FindCommand(command);
  if (!c) UnknownCommand(command);
  return Run(*c, args);
}

}  // namespace

int VtlensMain(int argc, char** argv) {
  InstallTempFileCleanup();
  if (argc < 2) {
    std::fputs(UsageText().c_str(), stderr);
    return kExitUsage;
  }
  std::vector<std::string> args(argv + 2, argv + argc);
  try {
    return Dispatch(argv[1], args);
  } catch (const ToolError& e) {
    std::fprintf(stderr, "vtlens: %s\n", e.what());
    if (e.status == kExitUsage) {
      std::string command = argv[1];
      std::fputs((FindCommand(command) ? "run \"vtlens " + command + " --help\" for its options\n"
                                       : std::string("run \"vtlens help\" for the commands\n"))
                     .c_str(),
                 stderr);
    }
    return e.status;
  } catch (const std::bad_alloc&) {
    std::fputs("vtlens: out of memory\n", stderr);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "vtlens: %s\n", e.what());
  }
  return kExitFailure;
}
