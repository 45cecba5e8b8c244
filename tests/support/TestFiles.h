// Temporary folders for written test files, and the folder of real files.
#pragma once

#include <cstdint>
#include <filesystem>
#include <map>
#include <string>

#include "support/DbWriter.h"

namespace qw {

class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::filesystem::path& Path() const { return m_path; }
    std::string File(const std::string& strName) const { return (m_path / strName).string(); }
    std::string Write(const std::string& strName, const FileBuilder& f) const;
    std::string WriteBytes(const std::string& strName, const Bytes& bytes) const;

private:
    std::filesystem::path m_path;
};

// The folder of real SQL Server files, or empty when it is not beside this checkout.
std::filesystem::path CorpusDir();

// The user tables the folder's README lists for each file, with the rows each one stores:
// file name -> (table name -> stored rows).
std::map<std::string, std::map<std::string, std::int64_t>> CorpusTables();

} // namespace qw

// Skips the current test when the folder of real files is absent.
#define QUARVEL_REQUIRE_CORPUS()                                                                   \
    do {                                                                                           \
        if (::qw::CorpusDir().empty())                                                             \
            GTEST_SKIP() << "real SQL Server files not found (expected ../shared/corpus "          \
                            "beside the repository)";                                              \
    } while (0)
