// quarvel: the command-line front end of the recovery engine.
#include <cstdio>
#include <cstring>
#include <string>

#include "cli/Options.h"

namespace {

constexpr const char* kUsage =
    "Usage: quarvel COMMAND DB.mdf [options]\n"
    "\n"
    "Reads SQL Server data files directly, without a server. Files are opened read-only;\n"
    "nothing is ever written to them.\n"
    "\n"
    "Commands:\n"
    "  info DB.mdf      version, database name, collation, files and the objects of the\n"
    "                   catalog (id, type, parent, name)\n"
    "  rows DB.mdf TABLE  the rows of a table, a screen page of 1000 as the record list shows\n"
    "                   it (first stored column first; columns that are not stored are left\n"
    "                   out; rows whose values are all empty are not shown); the page label\n"
    "                   goes to stderr\n"
    "  module DB.mdf NAME  the text of a view, procedure, function, trigger, default or\n"
    "                   check constraint\n"
    "  report DB.mdf    for every user table: pages found, rows decoded, the rows the catalog\n"
    "                   says it stores, rows that could not be read, large values that could\n"
    "                   not be read whole\n"
    "  scan DB.mdf      the whole scan as the desktop application runs it: the output lines\n"
    "                   as they are written, an activity log file, then the object tree (with\n"
    "                   --option documents the document trees); tables with rows marked *\n"
    "  tree DB.mdf      just the object tree a scan builds (no log file)\n"
    "  sharepoint DB.mdf  just the document trees of a SharePoint content database: sites,\n"
    "                   libraries, folders and files (SharePointACTUAL), and the folders of\n"
    "                   every document's path (SharePointData)\n"
    "  pages DB.mdf     file length, page count, base offset and the page maps\n"
    "                   (object id -> number of pages) of the system, data and IAM pages\n"
    "\n"
    "Options:\n"
    "  --ndf PATH       a secondary data file of the database (repeatable); files the\n"
    "                   database lists are otherwise looked for beside DB.mdf\n"
    "  --sql2000        read the catalog in the SQL Server 2000 layout (it is used anyway when\n"
    "                   the file has no catalog rows of the later layout)\n"
    "  --collation C    auto (default: the database's own) or a collation name\n"
    "  --option O       with scan and tree: complete (default) or documents\n"
    "  --mode M         standard (default) or advanced (with rows: the pages the page maps list\n"
    "                   for the table instead of its allocation maps)\n"
    "  --log-dir DIR    with scan: the folder of the activity log (default: the current one)\n"
    "  --screen N       with rows: the N-th screen page (default 1), reached with Next Records\n"
    "  --all            with rows: every row\n"
    "  --full-values    with rows: large values in full instead of <BINARY DATA> placeholders\n"
    "  --format FMT     text (default), json, or csv (rows only); json of a tree: nested\n"
    "                   {\"text\":..,\"bold\":..,\"children\":[..]}\n"
    "  --deleted        include deleted rows\n"
    "  --advanced-deleted  also search pages for rows no slot points to any more\n"
    "  --quiet          no progress on stderr\n"
    "  --help           this text\n"
    "  --version        the tool's version\n"
    "\n"
    "Exit status: 0 done, 1 the file cannot be used, 2 bad arguments.\n";

int BadArguments(const std::string& strWhy) {
    std::fprintf(stderr, "quarvel: %s\nTry 'quarvel --help'.\n", strWhy.c_str());
    return EXIT_BAD_ARGUMENTS;
}

} // namespace

int main(int argc, char** argv) {
    CliOptions opt;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        auto value = [&](std::string& out) {
            if (i + 1 >= argc) return false;
            out = argv[++i];
            return true;
        };
        if (a == "--help" || a == "-h") {
            std::fputs(kUsage, stdout);
            return EXIT_DONE;
        } else if (a == "--version") {
            std::printf("quarvel %s\n", QUARVEL_VERSION);
            return EXIT_DONE;
        } else if (a == "--quiet" || a == "-q") {
            opt.bQuiet = true;
        } else if (a == "--all") {
            opt.bAllRows = true;
        } else if (a == "--full-values") {
            opt.bFullValues = true;
        } else if (a == "--screen") {
            std::string n;
            if (!value(n) || n.empty() || n.find_first_not_of("0123456789") != std::string::npos ||
                std::stoull(n) == 0)
                return BadArguments("--screen needs a page number from 1");
            opt.nScreen = std::stoull(n);
        } else if (a == "--sql2000") {
            opt.bSql2000 = true;
        } else if (a == "--deleted") {
            opt.bDeleted = true;
        } else if (a == "--advanced-deleted") {
            opt.bAdvancedDeleted = true;
        } else if (a == "--collation") {
            if (!value(opt.strCollation)) return BadArguments("--collation needs auto or a name");
        } else if (a == "--option") {
            if (!value(opt.strOption) ||
                (opt.strOption != "complete" && opt.strOption != "documents"))
                return BadArguments("--option needs complete or documents");
        } else if (a == "--mode") {
            if (!value(opt.strMode) || (opt.strMode != "standard" && opt.strMode != "advanced"))
                return BadArguments("--mode needs standard or advanced");
        } else if (a == "--log-dir") {
            if (!value(opt.strLogDir) || opt.strLogDir.empty())
                return BadArguments("--log-dir needs a folder");
        } else if (a == "--ndf") {
            std::string p;
            if (!value(p)) return BadArguments("--ndf needs a path");
            opt.ndfPaths.push_back(p);
        } else if (a == "--format") {
            if (!value(opt.strFormat)) return BadArguments("--format needs text or json");
            if (opt.strFormat != "text" && opt.strFormat != "json" && opt.strFormat != "csv")
                return BadArguments("unknown format '" + opt.strFormat + "'");
        } else if (a.size() > 1 && a[0] == '-') {
            return BadArguments("unknown option '" + a + "'");
        } else if (opt.strCommand.empty()) {
            opt.strCommand = a;
        } else {
            opt.positional.push_back(a);
        }
    }
    if (opt.strCommand.empty()) return BadArguments("no command given");
    if (opt.strCommand == "module") {
        if (opt.positional.size() != 2)
            return BadArguments("module takes a data file and an object name");
        if (opt.strFormat == "csv") return BadArguments("--format csv is for rows");
        return RunModule(opt);
    }
    if (opt.strCommand == "rows") {
        if (opt.positional.size() != 2)
            return BadArguments("rows takes a data file and a table name");
        return RunRows(opt);
    }
    if (opt.strFormat == "csv") return BadArguments("--format csv is for rows");
    if (opt.strCommand == "scan" || opt.strCommand == "tree" || opt.strCommand == "sharepoint") {
        if (opt.positional.size() != 1)
            return BadArguments(opt.strCommand + " takes one data file");
        if (opt.strCommand == "sharepoint") return RunSharePoint(opt);
        return opt.strCommand == "scan" ? RunScan(opt) : RunTree(opt);
    }
    if (opt.strCommand == "pages" || opt.strCommand == "info" || opt.strCommand == "report") {
        if (opt.positional.size() != 1)
            return BadArguments(opt.strCommand + " takes one data file");
        if (opt.strCommand == "report") return RunReport(opt);
        return opt.strCommand == "pages" ? RunPages(opt) : RunInfo(opt);
    }
    return BadArguments("unknown command '" + opt.strCommand + "'");
}
