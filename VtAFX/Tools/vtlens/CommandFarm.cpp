// vtlens farm slurm: a sequence render as a Slurm array job, written as a script and, with
// --submit, handed to sbatch.
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <spawn.h>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "Arguments.h"
#include "Commands.h"
#include "EffectSession.h"
#include "ImageFile.h"
#include "SlurmScript.h"
#include "TempFiles.h"
#include "ToolError.h"

extern char** environ;

namespace {

std::string WorkingFolder() {
  char buffer[PATH_MAX];
  if (!getcwd(buffer, sizeof buffer))
    throw ToolError(std::string("cannot tell the working folder: ") + std::strerror(errno));
  return buffer;
}

std::string ThisExecutable() {
  char buffer[PATH_MAX];
  ssize_t n = readlink("/proc/self/exe", buffer, sizeof buffer - 1);
  if (n <= 0) throw ToolError("cannot tell where this vtlens is (/proc/self/exe)");
  return std::string(buffer, static_cast<size_t>(n));
}

void MakeFolder(const std::string& path) {
  if (mkdir(path.c_str(), 0777) != 0 && errno != EEXIST)
    throw ToolError("cannot make the folder \"" + path + "\": " + std::strerror(errno));
}

// Runs `sbatch --parsable SCRIPT` and returns the job id it prints. sbatch's own messages
// go straight to our stderr.
std::string Submit(const std::string& script) {
  int out[2];
  if (pipe(out) != 0) throw ToolError(std::string("cannot run sbatch: ") + std::strerror(errno));
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
  posix_spawn_file_actions_addclose(&actions, out[0]);
  posix_spawn_file_actions_addclose(&actions, out[1]);
  std::string program = "sbatch", parsable = "--parsable";
  char* argv[] = {&program[0], &parsable[0], const_cast<char*>(script.c_str()), nullptr};
  pid_t pid = 0;
  int spawned = posix_spawnp(&pid, "sbatch", &actions, nullptr, argv, environ);
  posix_spawn_file_actions_destroy(&actions);
  close(out[1]);
  std::string printed;
  if (spawned == 0) {
    char buffer[512];
    for (ssize_t n; (n = read(out[0], buffer, sizeof buffer)) != 0;) {
      if (n < 0 && errno == EINTR) continue;
      if (n < 0) break;
      printed.append(buffer, static_cast<size_t>(n));
    }
  }
  close(out[0]);
  if (spawned != 0) throw ToolError(std::string("cannot run sbatch: ") + std::strerror(spawned));
  int status = 0;
  while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
    throw ToolError("sbatch refused the job (" +
                    (WIFEXITED(status) ? "status " + std::to_string(WEXITSTATUS(status))
                                       : std::string("killed")) +
                    "); the script is \"" + script + "\"");
  // "--parsable" prints "ID" or "ID;CLUSTER".
  std::string id = printed.substr(0, printed.find_first_of(";\n"));
  if (id.empty()) throw ToolError("sbatch printed no job id; the script is \"" + script + "\"");
  return id;
}

}  // namespace

int RunFarm(const std::vector<std::string>& args) {
  if (args.empty() || args[0] != "slurm")
    throw UsageError(
        "farm takes the workload manager first: vtlens farm slurm INPUT OUTPUT --frames A-B ...");
  std::vector<OptionDef> accepted = RenderOptionDefs();
  accepted.insert(accepted.end(), FarmOptionDefs().begin(), FarmOptionDefs().end());
  ParsedArguments parsed =
      ParseArguments(std::vector<std::string>(args.begin() + 1, args.end()), accepted);

  FarmContext context;
  context.workingFolder = WorkingFolder();
  context.vtlens = ThisExecutable();
  context.module = FindModulePath(OptionValue(parsed, "module"));
  SlurmJob job = PlanSlurmJob(parsed, context);

  // Everything a task would stumble on is checked here, once, rather than by every task.
  const std::string& input = job.taskArguments.positional[0];
  const std::string& output = job.taskArguments.positional[1];
  std::string firstOutput = FramePath(output, FindFramePattern(output), job.frames.first);
  CheckWritableFormat(firstOutput);
  CheckOutputFolder(firstOutput);
  std::vector<long> missing = MissingFrames(input, FindFramePattern(input), job.frames);
  if (!missing.empty())
    throw ToolError("\"" + input + "\": " + std::to_string(missing.size()) + " of " +
                    std::to_string(job.frames.last - job.frames.first + 1) +
                    " frames are missing: " + DescribeFrames(missing));

  MakeFolder(job.logFolder);
  for (const FileCopy& copy : job.copies) WriteFileThroughTemporary(copy.path, copy.contents, 0644);
  // The tasks' own settings, presets read from the copies, must be ones the effect takes.
  EffectSession session = OpenEffect(OptionValue(job.taskArguments, "module"));
  ControlSettings settings;
  ApplyEffectOptions(job.taskArguments, session.controls, settings);
  (void)NewInstance(session, settings);
  WriteFileThroughTemporary(job.scriptPath, job.script, 0755);

  long frames = job.frames.last - job.frames.first + 1;
  std::fprintf(stderr,
               "vtlens: %ld frames in %ld array tasks of up to %ld, %d CPU%s each; logs in %s\n",
               frames, job.tasks, job.chunk, job.cpusPerTask, job.cpusPerTask == 1 ? "" : "s",
               job.logFolder.c_str());
  // Slurm's default MaxArraySize is 1001; clusters may raise it, so this only warns.
  if (job.tasks > 1001)
    std::fprintf(
        stderr,
        "vtlens: warning: %ld tasks exceed Slurm's default array limit of 1001; a larger --chunk "
        "makes fewer\n",
        job.tasks);
  if (!HasOption(parsed, "submit")) {
    std::printf("%s\n", job.scriptPath.c_str());
    std::fprintf(stderr, "vtlens: submit it with: sbatch %s\n", ShellQuote(job.scriptPath).c_str());
    return 0;
  }
  std::string id = Submit(job.scriptPath);
  std::printf("%s\n", id.c_str());
  std::fprintf(stderr, "vtlens: submitted job %s (%s)\n", id.c_str(), job.scriptPath.c_str());
  return 0;
}
