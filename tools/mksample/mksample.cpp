// Writes the bundled sample databases into a folder: content-webs.mdf (sites in Webs) and
// content-allwebs.mdf (sites in AllWebs only), SharePoint content databases in the SQL Server
// 2008 layout.
#include <cstdio>
#include <exception>
#include <filesystem>
#include <fstream>
#include <stdexcept>

#include "SampleDatabases.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "Usage: mksample DIR\n");
        return 2;
    }
    try {
        const std::filesystem::path dir = argv[1];
        std::filesystem::create_directories(dir);
        for (const qw::samples::SampleDatabase& db : qw::samples::BuildSampleDatabases()) {
            const std::filesystem::path path = dir / db.strFileName;
            const auto& bytes = db.written.file;
            std::ofstream out(path, std::ios::binary | std::ios::trunc);
            out.write(reinterpret_cast<const char*>(bytes.data()),
                      static_cast<std::streamsize>(bytes.size()));
            out.close();
            if (!out) throw std::runtime_error("cannot write " + path.string());
        }
    } catch (const std::exception& e) {
        std::fprintf(stderr, "mksample: %s\n", e.what());
        return 1;
    }
    return 0;
}
