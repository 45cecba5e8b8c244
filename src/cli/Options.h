// Parsed command line of the quarvel command.
#pragma once

#include <string>
#include <vector>

struct CliOptions {
    std::string strCommand;
    std::vector<std::string> positional;
    std::vector<std::string> ndfPaths;
    std::string strFormat = "text";
    bool bQuiet = false;
};

// Exit codes.
enum : int { EXIT_DONE = 0, EXIT_UNUSABLE = 1, EXIT_BAD_ARGUMENTS = 2 };

int RunPages(const CliOptions& opt);
