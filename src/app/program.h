#pragma once

// The program's entry: everything main() does, in a library so the executable stays a one-liner. Returns the
// process's exit code, which is 0 in every case.
int RunProgram(int argc, char** argv);
