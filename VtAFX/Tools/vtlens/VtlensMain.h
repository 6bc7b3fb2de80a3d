// The whole of vtlens behind one call, so that tests can run it in a forked child of their
// own process and skip the start-up of a fresh program (the image library alone pulls in
// some hundreds of shared libraries).
#pragma once

// Runs the command line `argv` (argv[0] the program's name) and returns the exit status.
int VtlensMain(int argc, char** argv);
