#include "Commands.h"

namespace {

constexpr size_t kLineWidth = 80;
constexpr size_t kHelpColumn = 30;

// `text` broken into lines of at most kLineWidth columns, each after `indent` spaces (the
// first line's indent is the caller's).
std::string Wrapped(const std::string& text, size_t indent, size_t firstColumn) {
  std::string out;
  size_t column = firstColumn;
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find(' ', start);
    if (end == std::string::npos) end = text.size();
    std::string word = text.substr(start, end - start);
    if (column > indent && column + 1 + word.size() > kLineWidth) {
      out += "\n" + std::string(indent, ' ');
      column = indent;
    } else if (column > indent) {
      out += ' ';
      ++column;
    }
    out += word;
    column += word.size();
    start = end + 1;
  }
  return out + "\n";
}

}  // namespace

const std::vector<CommandDef>& CommandTable() {
  static const std::vector<CommandDef> commands = {
      {"render", RunRender, "INPUT OUTPUT [options]",
       "Renders an image, or a sequence when INPUT and OUTPUT hold #### or %04d and --frames gives "
       "the frames, "
       "through the effect module as the host would."},
      {"map", RunMap,
       "--layer WxH (--to source|output | --space normalised --direction D) [options]",
       "Maps points, one \"x y\" or \"x,y\" a line (from --points FILE or stdin), printing \"X Y "
       "V\"."},
      {"stmap", RunStmap, "OUTPUT --layer WxH [options]",
       "Writes a float OpenEXR ST map of the output extent: s = (x + 0.5) / width, t = 1 - (y + "
       "0.5) / height "
       "of the input position, blue 0, alpha 1 where valid."},
      {"info", RunInfo, "[--json]", "Lists the effect's property list and its controls."},
      {"demo", RunDemo, "[--out DIR]",
       "Distorts and restores a generated test chart and writes the pictures."},
      {"farm", RunFarm, "slurm INPUT OUTPUT --frames A-B [options]",
       "Writes a Slurm array script (default OUTPUT's folder/NAME.sbatch), one task per N frames "
       "(default 10), "
       "presets copied beside it, logs in NAME.logs/; tasks skip finished frames unless --force. "
       "--submit hands "
       "it to sbatch, printing the job id."},
      {"solve", RunSolve, "SOURCE [options]",
       "Solves the lens model's coefficients (or the controls named by --free) from SOURCE, one "
       "of: --points FILE "
       "(\"xu yu xd yd\" a line, layer pixels); --stmap FILE.exr; --chart IMAGE... --grid "
       "COLSxROWS "
       "[--pattern chessboard|circles|acircles]; --lensfun \"MAKER\" \"MODEL\" --focal MM [--crop "
       "FACTOR]. "
       "Writes a preset for render and the residuals' picture."},
  };
  return commands;
}

std::string UsageText() {
  std::string text = "vtlens: the Advanced Distortion lens effect outside the host\n\n";
  for (const CommandDef& c : CommandTable()) {
    text += "  vtlens " + std::string(c.name) + " " + c.synopsis + "\n      ";
    text += Wrapped(c.description, 6, 6);
  }
  text += "  vtlens --version\n\n\"vtlens COMMAND --help\" lists the options of a command.\n";
  return text;
}

std::string CommandUsageText(const CommandDef& command, const std::vector<OptionDef>& options) {
  std::string text = "usage: vtlens " + std::string(command.name) + " " + command.synopsis + "\n\n";
  text += Wrapped(command.description, 0, 0) + "\noptions:\n";
  auto line = [&](const std::string& head, const std::string& help) {
    text += head;
    if (head.size() + 1 >= kHelpColumn) {
      text += "\n" + std::string(kHelpColumn, ' ');
    } else {
      text += std::string(kHelpColumn - head.size(), ' ');
    }
    text += Wrapped(help, kHelpColumn, kHelpColumn);
  };
  for (const OptionDef& o : options) {
    std::string head =
        "  --" + std::string(o.name) + (o.takesValue ? " " + std::string(o.value) : "");
    line(head, std::string(o.help) + (o.repeatable ? " (repeatable)" : ""));
  }
  line("  -h, --help", "this text");
  return text;
}
