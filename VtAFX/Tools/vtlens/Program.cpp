#include "VtlensMain.h"

int main(int argc, char** argv) { return VtlensMain(argc, argv); }
