#include "SlurmScript.h"

#include <cctype>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <sstream>

#include "ToolError.h"

namespace {

// The render options a task gets from the plan itself rather than as the user typed them.
bool SetByThePlan(const std::string& name) {
  return name == "frames" || name == "threads" || name == "module" || name == "preset" ||
         name == "skip-existing";
}

const OptionDef* RenderOption(const std::string& name) {
  for (const OptionDef& def : RenderOptionDefs())
    if (name == def.name) return &def;
  return nullptr;
}

std::string Folder(const std::string& path) { return path.substr(0, path.find_last_of('/')); }

std::string FileName(const std::string& path) { return path.substr(path.find_last_of('/') + 1); }

// The job's name when none is given: OUTPUT's file name before its frame number
// ("undist.####.exr" gives "undist").
std::string DefaultStem(const std::string& output, const FramePattern& pattern) {
  size_t start = output.find_last_of('/') + 1;
  std::string stem = output.substr(start, pattern.position - start);
  while (!stem.empty() && std::string("._- ").find(stem.back()) != std::string::npos)
    stem.pop_back();
  return stem.empty() ? "vtlens-farm" : stem;
}

// Slurm's job names show in every queue listing; keep them to characters no tool chokes on.
std::string JobName(const std::string& stem) {
  std::string name = stem;
  for (char& c : name)
    if (!std::isalnum(static_cast<unsigned char>(c)) && c != '_' && c != '.' && c != '-') c = '_';
  return name;
}

std::string ReadWholeFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw UsageError("--preset \"" + path + "\": cannot read the file");
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

// Copies are named by their contents, so writing a new job beside a running one never
// changes a preset that the running one has yet to read.
std::string ContentName(const std::string& contents) {
  uint64_t hash = 14695981039346656037ull;  // FNV-1a
  for (unsigned char c : contents) hash = (hash ^ c) * 1099511628211ull;
  char hex[17];
  std::snprintf(hex, sizeof hex, "%016llx", static_cast<unsigned long long>(hash));
  return hex;
}

// A Slurm directive's value: sbatch splits directives at blanks but honours double quotes,
// and has no escape for a quote inside them.
std::string DirectiveValue(const std::string& value, const std::string& what) {
  if (value.find_first_of("\"\\\n") != std::string::npos)
    throw UsageError(what + " \"" + value +
                     "\" holds a quote, backslash or line break, which a Slurm directive cannot");
  return value.find(' ') == std::string::npos ? value : "\"" + value + "\"";
}

void CheckCharacters(const std::string& value, const std::string& option,
                     const std::string& allowed) {
  if (value.empty() || value.find_first_not_of(allowed) != std::string::npos)
    throw UsageError(option + " \"" + value + "\": only the characters " + allowed + " may appear");
}

}  // namespace

const std::vector<OptionDef>& FarmOptionDefs() {
  static const std::vector<OptionDef> accepted = {
      {"chunk", true, "N", "frames per array task (default 10)"},
      {"partition", true, "P", "the Slurm partition"},
      {"time", true, "T", "each task's time limit, as Slurm takes it"},
      {"cpus-per-task", true, "N", "CPUs per task (default --threads, else 1)"},
      {"script", true, "FILE", "where the script goes (default NAME.sbatch beside the output)"},
      {"force", false, "", "tasks render frames whose output exists too"},
      {"submit", false, "", "hand the script to sbatch and print the job id"}};
  return accepted;
}

std::string ShellQuote(const std::string& text) {
  static const std::string plain =
      "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789_./:=@%+,-";
  if (!text.empty() && text.find_first_not_of(plain) == std::string::npos) return text;
  std::string quoted = "'";
  for (char c : text) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return quoted + "'";
}

std::string AbsolutePath(const std::string& path, const std::string& folder) {
  if (!path.empty() && path[0] == '/') return path;
  std::string relative = path;
  while (relative.compare(0, 2, "./") == 0) relative.erase(0, 2);
  return folder + (folder.back() == '/' ? "" : "/") + relative;
}

SlurmJob PlanSlurmJob(const ParsedArguments& parsed, const FarmContext& context) {
  if (parsed.positional.size() != 2) throw UsageError("farm slurm takes INPUT and OUTPUT");
  std::string input = AbsolutePath(parsed.positional[0], context.workingFolder);
  std::string output = AbsolutePath(parsed.positional[1], context.workingFolder);
  FramePattern outputPattern = FindFramePattern(output);
  if (!FindFramePattern(input).isSequence || !outputPattern.isSequence)
    throw UsageError("a farm renders sequences: put #### or %04d in INPUT and OUTPUT");
  if (!HasOption(parsed, "frames")) throw UsageError("farm slurm needs --frames A-B");

  SlurmJob job;
  job.frames = ParseFrameRange(OptionValue(parsed, "frames"));
  job.chunk = ParseBoundedInt(OptionValue(parsed, "chunk", "10"), "--chunk", 1, 1000000);
  job.tasks = (job.frames.last - job.frames.first) / job.chunk + 1;
  bool threadsGiven = HasOption(parsed, "threads");
  int threads =
      threadsGiven ? ParseBoundedInt(OptionValue(parsed, "threads"), "--threads", 1, 256) : 0;
  // Without either, one CPU a task: the farm's parallelism is its tasks, and this machine's
  // core count says nothing about the nodes'.
  job.cpusPerTask =
      HasOption(parsed, "cpus-per-task")
          ? ParseBoundedInt(OptionValue(parsed, "cpus-per-task"), "--cpus-per-task", 1, 256)
      : threadsGiven ? threads
                     : 1;
  if (!threadsGiven) threads = job.cpusPerTask;

  job.scriptPath = HasOption(parsed, "script")
                       ? AbsolutePath(OptionValue(parsed, "script"), context.workingFolder)
                       : Folder(output) + "/" + DefaultStem(output, outputPattern) + ".sbatch";
  std::string stem = FileName(job.scriptPath);
  if (stem.empty())
    throw UsageError("--script \"" + OptionValue(parsed, "script") +
                     "\" names a folder, not a file");
  size_t dot = stem.find_last_of('.');
  if (dot != std::string::npos && dot > 0) stem.erase(dot);
  std::string folder = Folder(job.scriptPath);
  job.logFolder = folder + "/" + stem + ".logs";
  for (const std::string& path : {job.scriptPath, input, output})
    if (path.find('\n') != std::string::npos)
      throw UsageError("\"" + path + "\": a path with a line break cannot go in a script");

  std::vector<std::pair<std::string, std::string>>& task = job.taskArguments.options;
  job.taskArguments.positional = {input, output};
  for (const auto& o : parsed.options) {
    if (o.first != "preset") continue;
    FileCopy copy;
    copy.contents = ReadWholeFile(AbsolutePath(o.second, context.workingFolder));
    copy.path = folder + "/" + stem + ".preset-" + ContentName(copy.contents) + ".json";
    task.emplace_back("preset", copy.path);
    job.copies.push_back(std::move(copy));
  }
  task.emplace_back("module", AbsolutePath(context.module, context.workingFolder));
  task.emplace_back("threads", std::to_string(threads));
  if (!HasOption(parsed, "force")) task.emplace_back("skip-existing", "");
  for (const auto& o : parsed.options)
    if (RenderOption(o.first) && !SetByThePlan(o.first)) task.push_back(o);

  std::ostringstream s;
  s << "#!/bin/bash\n"
    << "# vtlens farm slurm: frames " << job.frames.first << "-" << job.frames.last << " of "
    << output << ",\n"
    << "# " << job.tasks << (job.tasks == 1 ? " task" : " tasks") << " of up to " << job.chunk
    << " frames. Submit with: sbatch " << ShellQuote(job.scriptPath) << "\n";
  if (!HasOption(parsed, "force"))
    s << "# Tasks skip frames whose output exists: submitting again completes an interrupted "
         "job.\n";
  s << "#SBATCH --job-name=" << JobName(stem) << "\n"
    << "#SBATCH --array=0-" << job.tasks - 1 << "\n"
    << "#SBATCH --ntasks=1\n"
    << "#SBATCH --cpus-per-task=" << job.cpusPerTask << "\n";
  if (HasOption(parsed, "partition")) {
    std::string partition = OptionValue(parsed, "partition");
    CheckCharacters(partition, "--partition",
                    "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789_.,-");
    s << "#SBATCH --partition=" << partition << "\n";
  }
  if (HasOption(parsed, "time")) {
    std::string time = OptionValue(parsed, "time");
    if (time != "UNLIMITED" && time != "INFINITE") CheckCharacters(time, "--time", "0123456789:-");
    s << "#SBATCH --time=" << time << "\n";
  }
  // %A is the job, %a the task; "%%" keeps a percent sign in the folder's name literal.
  std::string logPattern;
  for (char c : job.logFolder) logPattern += c == '%' ? std::string("%%") : std::string(1, c);
  logPattern += "/%A_%a.log";
  s << "#SBATCH --chdir=" << DirectiveValue(context.workingFolder, "the working folder") << "\n"
    << "#SBATCH --output=" << DirectiveValue(logPattern, "the log folder")
    << "\n"
    // A requeued task appends to its first attempt's log instead of erasing it.
    << "#SBATCH --open-mode=append\n"
    << "#SBATCH --requeue\n"
    << "set -u\n"
    << "first=" << job.frames.first << " last=" << job.frames.last << " chunk=" << job.chunk << "\n"
    << "task=${SLURM_ARRAY_TASK_ID:-}\n"
    << "if ! [[ $task =~ ^[0-9]+$ ]] || ((first + task * chunk > last)); then\n"
    << "  echo \"vtlens farm: no frames for array task '$task'; submit this script with sbatch\" "
       ">&2\n"
    << "  exit 2\n"
    << "fi\n"
    << "start=$((first + task * chunk))\n"
    << "end=$((start + chunk - 1))\n"
    << "if ((end > last)); then end=$last; fi\n"
    << "echo \"vtlens farm: task $task, frames $start-$end, on $(hostname)\"\n"
    << "exec " << ShellQuote(context.vtlens) << " render " << ShellQuote(input) << " "
    << ShellQuote(output) << " --frames \"$start-$end\"";
  for (const auto& o : task) {
    s << " \\\n  --" << o.first;
    const OptionDef* def = RenderOption(o.first);
    if (def && def->takesValue) s << " " << ShellQuote(o.second);
  }
  s << "\n";
  job.script = s.str();
  return job;
}
