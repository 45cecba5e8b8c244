#include <filesystem>
#include <system_error>

#include "cli/CliDatabase.h"
#include <cstdio>

namespace {

std::string ProgramFolder() {
    std::error_code ec;
    const auto exe = std::filesystem::read_symlink("/proc/self/exe", ec);
    return ec ? std::string(".") : exe.parent_path().string();
}

} // namespace

bool PrepareApp(const CliOptions& opt, CDravoltBrevantProjApp& app, std::string& strError) {
    app.LoadCollationList(ProgramFolder());
    app.m_bIsSql2000 = opt.bSql2000;
    app.m_bShowDeleted = opt.bDeleted || opt.bAdvancedDeleted;
    app.m_bShowAdvancedDeleted = opt.bAdvancedDeleted;
    app.m_bAutoCollation = opt.strCollation == "auto";
    if (!app.m_bAutoCollation) {
        for (const auto& [nId, e] : app.m_collations) {
            if (e.strName == opt.strCollation) {
                app.m_nManualCollationId = nId;
                return true;
            }
        }
        strError = "unknown collation '" + opt.strCollation + "'";
        return false;
    }
    return true;
}

int CCliDatabase::Open(const CliOptions& opt) {
    std::string strError;
    if (!PrepareApp(opt, app, strError)) {
        std::fprintf(stderr, "quarvel: %s\n", strError.c_str());
        return EXIT_BAD_ARGUMENTS;
    }
    if (!OpenSession(opt.positional[0], session, app, notify, CPosixFileSource::Instance(),
                     opt.ndfPaths)) {
        std::fprintf(stderr, "%s\n", notify.Fatal().c_str());
        return EXIT_UNUSABLE;
    }
    return -1;
}
