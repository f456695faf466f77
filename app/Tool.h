#pragma once

// The program: the window, or the command line when given options. Returns its exit code.
int runTool(int argc, char *argv[]);
