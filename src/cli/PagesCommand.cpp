// quarvel pages: how the reader sees a data file set.
#include <cstdio>
#include <string>

#include "appstate/CDravoltBrevantProjApp.h"
#include "cli/CliNotify.h"
#include "cli/Json.h"
#include "cli/Options.h"
#include "pagestore/CMdfReader.h"

namespace {

std::string JsonCounts(const PageMap& map) {
    std::string s = "{";
    for (const auto& [id, pages] : map) {
        if (s.size() > 1) s += ',';
        s += "\"" + std::to_string(id) + "\":" + std::to_string(pages.size());
    }
    return s + "}";
}

void PrintCounts(const char* title, const PageMap& map) {
    std::printf("%s (%zu objects)\n", title, map.size());
    for (const auto& [id, pages] : map) std::printf("  %11d  %zu\n", id, pages.size());
}

} // namespace

int RunPages(const CliOptions& opt) {
    CDravoltBrevantProjApp app;
    CCliNotify notify(opt.bQuiet);
    CMdfReader reader(opt.positional[0], app, notify);
    if (!reader.IsOpen()) {
        std::fprintf(stderr, "%s\n", notify.Fatal().c_str());
        return EXIT_UNUSABLE;
    }
    std::vector<SecondaryFile> files;
    if (!opt.ndfPaths.empty()) reader.MapFoundSecondaryFiles(opt.ndfPaths, files);

    if (opt.strFormat == "json") {
        std::string s = "{\"path\":" + json::Quote(reader.Path()) +
                        ",\"length\":" + std::to_string(reader.Length()) +
                        ",\"pages\":" + std::to_string(reader.PageCount()) +
                        ",\"base_offset\":" + std::to_string(reader.BaseOffset()) +
                        ",\"open\":true,\"system\":" + JsonCounts(reader.SystemPages()) +
                        ",\"data\":" + JsonCounts(reader.DataPages()) +
                        ",\"iam\":" + JsonCounts(reader.IamPages()) + ",\"secondary\":[";
        bool bFirst = true;
        for (const auto& [id, f] : reader.SecondaryFileTable()) {
            if (!bFirst) s += ',';
            bFirst = false;
            s += "{\"file_id\":" + std::to_string(id) + ",\"path\":" + json::Quote(f.strPath) +
                 ",\"length\":" + std::to_string(f.nLength) +
                 ",\"pages\":" + std::to_string(f.nPageCount) +
                 ",\"base_offset\":" + std::to_string(f.nBaseOffset) + "}";
        }
        std::printf("%s]}\n", s.c_str());
    } else {
        std::printf("File:        %s\n", reader.Path().c_str());
        std::printf("Length:      %llu bytes\n", static_cast<unsigned long long>(reader.Length()));
        std::printf("Pages:       %llu\n", static_cast<unsigned long long>(reader.PageCount()));
        std::printf("Base offset: %llu\n", static_cast<unsigned long long>(reader.BaseOffset()));
        std::printf("Open:        yes (read-only)\n");
        for (const auto& [id, f] : reader.SecondaryFileTable())
            std::printf("Secondary:   file id %d, %s, %llu pages, base offset %d\n", id,
                        f.strPath.c_str(), static_cast<unsigned long long>(f.nPageCount),
                        f.nBaseOffset);
        for (const std::string& p : opt.ndfPaths) {
            bool bMapped = false;
            for (const SecondaryFile& f : files) bMapped = bMapped || f.strPath == p;
            if (!bMapped)
                std::printf(
                    "Not mapped:  %s (cannot be read, or no page names a file id above 1)\n",
                    p.c_str());
        }
        PrintCounts("System page map: object id, pages", reader.SystemPages());
        PrintCounts("Data page map: object id, pages", reader.DataPages());
        PrintCounts("IAM page map: object id, pages", reader.IamPages());
    }
    return EXIT_DONE;
}
