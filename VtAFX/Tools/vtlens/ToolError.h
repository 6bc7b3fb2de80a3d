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
