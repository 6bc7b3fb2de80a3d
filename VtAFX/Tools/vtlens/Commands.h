// The subcommands. Each takes the words after its name, does its work, prints to stdout
// what the user asked for and to stderr how it went, and returns the exit status (0).
// Failures are thrown as ToolError.
#pragma once

#include <string>
#include <vector>

int RunRender(const std::vector<std::string>& args);
int RunMap(const std::vector<std::string>& args);
int RunStmap(const std::vector<std::string>& args);
int RunInfo(const std::vector<std::string>& args);
int RunDemo(const std::vector<std::string>& args);
int RunFarm(const std::vector<std::string>& args);

// The usage text printed by `vtlens help` and after a command-line mistake.
const char* UsageText();
