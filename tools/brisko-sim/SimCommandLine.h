#pragma once

#include "CBriskoModel.h"

#include <functional>
#include <string>
#include <vector>

// The brisko-sim command line: flags that set the simulated dongle's script.
namespace mirelight::simcli {

struct Options
{
    long comNumber = 1;
    bool help = false;
    std::vector<std::function<void(CBriskoModel&)>> script; // applied in order
};

// Parses args (without the program name). False, with error set, on an unknown flag or a
// malformed value.
bool Parse(const std::vector<std::string>& args, Options& options, std::string& error);

// The --help text: every flag and the syntax of a request selector.
std::string HelpText();

// Turns the escapes \r \n \\ and \xHH of a command-line text into bytes.
std::string Unescape(const std::string& text);

} // namespace mirelight::simcli
