// Build step: writes the effect's property list resource bytes to the file named by its one
// argument. The Windows resource script embeds that file; Linux builds place it beside the
// module, where our host stand-in reads it.
#include <cstdio>

#include "Win/PiPLImage.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s OUTPUT\n", argv[0]);
    return 2;
  }
  const std::vector<uint8_t> image = BuildPiPLImage();
  std::FILE* file = std::fopen(argv[1], "wb");
  if (!file) {
    std::perror(argv[1]);
    return 1;
  }
  const bool written = std::fwrite(image.data(), 1, image.size(), file) == image.size();
  const bool closed = std::fclose(file) == 0;
  if (!written || !closed) {
    std::fprintf(stderr, "%s: could not write the property list\n", argv[1]);
    return 1;
  }
  return 0;
}
