// A sequence render cut into chunks of frames for Slurm: one array task per chunk, each
// running `vtlens render` on its own frame range. Everything a task needs is written into
// the script or copied beside it, so that nothing edited after submission (a preset, the
// working folder, the environment) changes what a running job renders.
#pragma once

#include <string>
#include <vector>

#include "Arguments.h"
#include "Sequence.h"

// What the script depends on that the command line does not say.
struct FarmContext {
  std::string workingFolder;  // absolute; relative paths on the command line start here
  std::string vtlens;         // absolute path of the vtlens the tasks run
  std::string module;         // the effect module the tasks load
};

// A file the job needs written before it runs.
struct FileCopy {
  std::string path;  // absolute
  std::string contents;
};

struct SlurmJob {
  std::string scriptPath;         // absolute
  std::string logFolder;          // absolute; one log a task goes here
  std::string script;             // the script's text
  std::vector<FileCopy> copies;   // the presets, named by their contents
  ParsedArguments taskArguments;  // what each task's render gets, --frames aside
  FrameRange frames;
  long chunk = 0;
  long tasks = 0;
  int cpusPerTask = 0;
};

// The options `farm slurm` adds to render's.
const std::vector<OptionDef>& FarmOptionDefs();

// Plans the job for `parsed` (parsed against RenderOptionDefs() and FarmOptionDefs()):
// INPUT OUTPUT --frames A-B, every render option, --chunk N (default 10), --partition,
// --time, --cpus-per-task (default --threads, else 1), --script FILE (default NAME.sbatch in
// OUTPUT's folder, NAME from OUTPUT's file name), --force. Reads the preset files to name
// their copies by content. Throws usage errors for what the user must correct.
SlurmJob PlanSlurmJob(const ParsedArguments& parsed, const FarmContext& context);

// `text` as one word for the shell, in single quotes where it needs any.
std::string ShellQuote(const std::string& text);

// `path` made absolute against `folder` (no symbolic links resolved).
std::string AbsolutePath(const std::string& path, const std::string& folder);
