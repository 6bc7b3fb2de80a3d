#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <sys/stat.h>

#include "SlurmScript.h"
#include "ToolError.h"
#include "VtlensTestSupport.h"

namespace {

SlurmJob Plan(const std::vector<std::string>& args, const FarmContext& context) {
  std::vector<OptionDef> defs = RenderOptionDefs();
  defs.insert(defs.end(), FarmOptionDefs().begin(), FarmOptionDefs().end());
  return PlanSlurmJob(ParseArguments(args, defs), context);
}

// Runs the script as array task `task` with a stand-in vtlens that prints each argument
// it gets on a line of its own, in brackets.
std::string RunTask(const std::string& script, long task) {
  std::string file = ::testing::TempDir() + "vtlens_farm_task.sh";
  std::ofstream(file) << script;
  std::string command =
      "SLURM_ARRAY_TASK_ID=" + std::to_string(task) + " bash " + file + " 2>/dev/null";
  FILE* pipe = popen(command.c_str(), "r");
  std::string out;
  char buffer[256];
  for (size_t n; pipe && (n = fread(buffer, 1, sizeof buffer, pipe)) > 0;) out.append(buffer, n);
  if (pipe) pclose(pipe);
  return out;
}

class SlurmScript : public ::testing::Test {
 protected:
  void SetUp() override {
    mkdir(folder.c_str(), 0777);
    std::ofstream(context.vtlens) << "#!/bin/sh\nfor a; do printf '[%s]\\n' \"$a\"; done\n";
    chmod(context.vtlens.c_str(), 0755);
    std::ofstream(folder + "/lens.json") << "{\"R4 C2\": -0.05}\n";
  }
  const std::string folder = ::testing::TempDir() + "vtlens farm test";
  const FarmContext context{folder, folder + "/echo args", "lib/VtAFXAdvLens.so"};
};

TEST_F(SlurmScript, WritesArrayTasksOverChunks) {
  struct Case {
    std::vector<std::string> args;
    std::vector<std::string> lines;                   // each a whole line of the script
    std::vector<std::pair<long, std::string>> tasks;  // array task, then the output it must print
  } cases[] = {
      {{"in.####.exr", "out/undist.####.exr", "--frames", "1001-1024", "--chunk", "5"},
       {"#SBATCH --job-name=undist", "#SBATCH --array=0-4", "#SBATCH --cpus-per-task=1",
        "first=1001 last=1024 chunk=5", "  --threads 1 \\", "  --skip-existing"},
       {{0, "[--frames]\n[1001-1005]"},
        {3, "[--frames]\n[1016-1020]"},
        {4, "[--frames]\n[1021-1024]"},
        {5, ""}}},
      // One task when the chunk covers the range; --threads sets the CPUs when not given.
      {{"a b/plate.%04d.png", "a b/it's out.%04d.png", "--frames", "0-9", "--threads", "4",
        "--force", "--set", "R4 C2=0.031", "--raw-channels", "--partition", "gpu,cpu", "--time",
        "1-00:30"},
       {"#SBATCH --job-name=it_s_out", "#SBATCH --array=0-0", "#SBATCH --cpus-per-task=4",
        "#SBATCH --partition=gpu,cpu", "#SBATCH --time=1-00:30", "  --threads 4 \\",
        "  --set 'R4 C2=0.031' \\", "  --raw-channels"},
       {{0,
         "[render]\n[FOLDER/a b/plate.%04d.png]\n[FOLDER/a b/it's "
         "out.%04d.png]\n[--frames]\n[0-9]\n"},
        {1, ""}}},
      {{"/abs/p.#.exr", "o.#.exr", "--frames", "7", "--chunk", "3", "--cpus-per-task", "2",
        "--threads", "8", "--script", "jobs/shot 7.sh", "--module", "/m.so"},
       {"#SBATCH --job-name=shot_7", "#SBATCH --array=0-0", "#SBATCH --cpus-per-task=2",
        "#SBATCH --output=\"FOLDER/jobs/shot 7.logs/%A_%a.log\"", "#SBATCH --chdir=\"FOLDER\"",
        "  --module 'FOLDER/lib/VtAFXAdvLens.so' \\", "  --threads 8 \\"},
       {{0, "[/abs/p.#.exr]\n[FOLDER/o.#.exr]\n[--frames]\n[7-7]"}}},
  };
  auto withFolder = [&](std::string text) {
    for (size_t at; (at = text.find("FOLDER")) != std::string::npos;) text.replace(at, 6, folder);
    return text;
  };
  for (const Case& c : cases) {
    const SlurmJob job = Plan(c.args, context);
    for (const std::string& line : c.lines)
      EXPECT_NE(("\n" + job.script).find("\n" + withFolder(line) + "\n"), std::string::npos)
          << job.script << "lacks " << withFolder(line);
    for (const auto& [task, expected] : c.tasks) {
      const std::string out = RunTask(job.script, task);
      EXPECT_TRUE(expected.empty() ? out.empty() : out.find(withFolder(expected)) != out.npos)
          << c.args[1] << " task " << task << ": " << out;
    }
  }
}

// Presets are copied beside the script under a name of their contents, so an edit after
// submitting changes no task.
TEST_F(SlurmScript, CopiesPresetsByContentAndRefusesWhatCannotBeSubmitted) {
  const auto sequence = [](const char* option, const char* value) {
    return std::vector<std::string>{"p.####.exr", "o.####.exr", "--frames", "1-2", option, value};
  };
  const SlurmJob first = Plan(sequence("--preset", "lens.json"), context);
  ASSERT_EQ(first.copies.size(), 1u);
  EXPECT_EQ(first.copies[0].contents, "{\"R4 C2\": -0.05}\n");
  EXPECT_EQ(first.copies[0].path.rfind(folder + "/o.preset-", 0), 0u) << first.copies[0].path;
  EXPECT_NE(first.script.find("\n  --preset " + ShellQuote(first.copies[0].path) + " \\\n"),
            std::string::npos);
  EXPECT_EQ(OptionValue(first.taskArguments, "preset"), first.copies[0].path);
  std::ofstream(folder + "/lens.json") << "{\"R4 C2\": -0.06}\n";
  EXPECT_NE(Plan(sequence("--preset", "lens.json"), context).copies[0].path, first.copies[0].path);

  std::vector<std::vector<std::string>> bad = {{"p.####.exr", "o.####.exr"},
                                               {"p.exr", "o.exr", "--frames", "1-2"}};
  const std::pair<const char*, const char*> refused[] = {
      {"--chunk", "0"},         {"--partition", "a b"},      {"--time", "1h"},
      {"--cpus-per-task", "0"}, {"--script", "a\"b/job.sh"}, {"--preset", "no such.json"}};
  for (const auto& [option, value] : refused) bad.push_back(sequence(option, value));
  for (const auto& args : bad)
    EXPECT_NE(UsageMessage([&] { Plan(args, context); }), "(no error)") << args.back();
}

}  // namespace
