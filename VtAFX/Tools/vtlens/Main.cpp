// vtlens: the effect's lens work outside the host. See UsageText() for the commands.
#include <cstdio>
#include <exception>
#include <string>
#include <vector>

#include "Commands.h"
#include "ToolError.h"

namespace {

int Dispatch(const std::string& command, const std::vector<std::string>& args) {
  if (command == "render") return RunRender(args);
  if (command == "map") return RunMap(args);
  if (command == "stmap") return RunStmap(args);
  if (command == "info") return RunInfo(args);
  if (command == "demo") return RunDemo(args);
  if (command == "farm") return RunFarm(args);
  if (command == "help" || command == "--help" || command == "-h") {
    std::fputs(UsageText(), stdout);
    return 0;
  }
  throw UsageError("unknown command \"" + command + "\"; the commands are render, map, stmap, info, demo, farm");
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fputs(UsageText(), stderr);
    return kExitUsage;
  }
  std::vector<std::string> args(argv + 2, argv + argc);
  try {
    return Dispatch(argv[1], args);
  } catch (const ToolError& e) {
    std::fprintf(stderr, "vtlens: %s\n", e.what());
    if (e.status == kExitUsage) std::fputs("run \"vtlens help\" for the commands and their options\n", stderr);
    return e.status;
  } catch (const std::bad_alloc&) {
    std::fputs("vtlens: out of memory\n", stderr);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "vtlens: %s\n", e.what());
  }
  return kExitFailure;
}
