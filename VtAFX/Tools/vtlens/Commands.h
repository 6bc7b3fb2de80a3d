// The subcommands. Each takes the words after its name, does its work, prints to stdout
// what the user asked for and to stderr how it went, and returns the exit status (0).
// Failures are thrown as ToolError.
#pragma once

#include <string>
#include <vector>

#include "Arguments.h"

int RunRender(const std::vector<std::string>& args);
int RunMap(const std::vector<std::string>& args);
int RunStmap(const std::vector<std::string>& args);
int RunInfo(const std::vector<std::string>& args);
int RunDemo(const std::vector<std::string>& args);
int RunFarm(const std::vector<std::string>& args);
int RunSolve(const std::vector<std::string>& args);

struct CommandDef {
  const char* name;
  int (*run)(const std::vector<std::string>& args);
  const char* synopsis;     // what follows "vtlens NAME" in the usage
  const char* description;  // what it does
};

// Every command, in the order the usage lists them.
const std::vector<CommandDef>& CommandTable();

// The overview printed by `vtlens help` and after a command-line mistake.
std::string UsageText();

// The usage of `command` with the `options` it parses, for `vtlens COMMAND --help`.
std::string CommandUsageText(const CommandDef& command, const std::vector<OptionDef>& options);
