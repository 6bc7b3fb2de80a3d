#include "Commands.h"

const char* UsageText() {
  return R"(vtlens: the Advanced Distortion lens effect outside the host

  vtlens render INPUT OUTPUT [effect options] [--frames A-B] [--threads N]
                [--depth 8|16|32] [--raw-channels] [--skip-existing]
      Renders an image, or a sequence when INPUT and OUTPUT hold #### or %04d and
      --frames gives the frames, through the effect module as the host would.
      --skip-existing leaves frames whose output file exists as they are.
  vtlens map [effect options] --layer WxH [--frame N] [--points FILE]
             (--space normalised --direction distort|undistort | --to source|output)
      Maps points, one "x y" or "x,y" a line (from FILE or stdin), printing "X Y V".
  vtlens stmap OUTPUT [effect options] --layer WxH [--frame N]
      Writes a float OpenEXR ST map of the output extent: s = (x + 0.5) / width,
      t = 1 - (y + 0.5) / height of the input position, blue 0, alpha 1 where valid.
  vtlens info [--json]
      Lists the effect's property list and its controls.
  vtlens demo [--out DIR]
      Distorts and restores a generated test chart and writes the pictures.
  vtlens farm slurm INPUT OUTPUT --frames A-B [render options] [--chunk N]
                    [--partition P] [--time T] [--cpus-per-task N] [--script FILE]
                    [--force] [--submit]
      Writes a Slurm array script (default OUTPUT's folder/NAME.sbatch), one task per
      N frames (default 10), presets copied beside it, logs in NAME.logs/; tasks skip
      finished frames unless --force. --submit hands it to sbatch, printing the job id.

effect options:
  --lens-model V, --distort-mode V, --filter V   popup entry text or 1-based number
  --set NAME=VALUE    any control by displayed name or index 1 to 76; a point is X,Y
                      in layer pixels; repeatable, applied in order
  --preset FILE       JSON object of control to value, applied before --set; an
                      animatable control may take keyframes {"1001": -0.05, ...}
  --module PATH       the effect module (else VTLENS_MODULE, else next to vtlens,
                      else the one this build made)
)";
}
