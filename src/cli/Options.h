// Parsed command line of the quarvel command.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "appstate/CDravoltBrevantProjApp.h"

struct CliOptions {
    std::string strCommand;
    std::vector<std::string> positional;
    std::vector<std::string> ndfPaths;
    std::string strFormat = "text";
    std::string strCollation = "auto";
    bool bSql2000 = false;
    bool bDeleted = false;
    bool bAdvancedDeleted = false;
    bool bQuiet = false;
    bool bAllRows = false;
    bool bFullValues = false;
    std::uint64_t nScreen = 1;
    std::string strOption = "complete"; // scan, tree: complete or documents
    std::string strMode = "standard";   // standard or advanced
    std::string strLogDir;              // scan: the log folder (default: the current folder)
};

// Exit codes.
enum : int { EXIT_DONE = 0, EXIT_UNUSABLE = 1, EXIT_BAD_ARGUMENTS = 2 };

// Applies the options to the application state and loads the collation list installed beside
// the program. False (with the reason) when a named collation is not in the list.
bool PrepareApp(const CliOptions& opt, CDravoltBrevantProjApp& app, std::string& strError);

int RunPages(const CliOptions& opt);
int RunInfo(const CliOptions& opt);
int RunRows(const CliOptions& opt);
int RunReport(const CliOptions& opt);
int RunModule(const CliOptions& opt);
int RunScan(const CliOptions& opt);
int RunTree(const CliOptions& opt);
int RunSharePoint(const CliOptions& opt);
// Runs the scan worker with in-memory ports and prints the tree it built (with bDocuments the
// scan of a document recovery and its document trees); with bTreeOnly no log file is written
// and only the tree is printed.
int ScanAndPrint(const CliOptions& opt, bool bTreeOnly, bool bDocuments);
