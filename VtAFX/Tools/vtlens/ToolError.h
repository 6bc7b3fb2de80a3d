// The one way vtlens reports a failure: thrown anywhere, caught in main, printed as
// "vtlens: MESSAGE" with the exit status it carries.
#pragma once

#include <stdexcept>
#include <string>

// Exit statuses: 2 for a command line or a value the user must correct, 1 for everything
// that went wrong while working (files, rendering).
constexpr int kExitUsage = 2;
constexpr int kExitFailure = 1;

struct ToolError : std::runtime_error {
  int status;
  explicit ToolError(const std::string& message, int exitStatus = kExitFailure)
      : std::runtime_error(message), status(exitStatus) {}
};

// A mistake in what the user asked for: exits with kExitUsage.
inline ToolError UsageError(const std::string& message) { return ToolError(message, kExitUsage); }

// Text the user gave (a value, a line of a file, a key), quoted for a message: at most
// kEchoLength characters of it followed by "..." when there is more, and every byte that
// would not print as itself (controls, bytes outside well-formed UTF-8) as \xNN, so that
// a binary file fed by mistake cannot flood or garble the terminal.
constexpr size_t kEchoLength = 60;
std::string Echo(const std::string& input);
