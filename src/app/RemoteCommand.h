#pragma once

#include <optional>

// The command line: "--press N", "--show" and "--status" go to the running instance, "--help"
// and "--version" are answered here. Returns the exit code when this start is done with
// that, nothing when the program itself is to run (verbose then says whether to log the
// dongle's traffic).
std::optional<int> RunCommandLine(int argc, char** argv, bool& verbose);
