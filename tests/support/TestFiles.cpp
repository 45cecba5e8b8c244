#include "support/TestFiles.h"

#include <atomic>
#include <fstream>
#include <regex>
#include <unistd.h>

namespace qw {

TempDir::TempDir() {
    static std::atomic<int> nCounter{0};
    m_path = std::filesystem::temp_directory_path() /
             ("quarvel-test-" + std::to_string(::getpid()) + "-" + std::to_string(nCounter++));
    std::filesystem::remove_all(m_path);
    std::filesystem::create_directories(m_path);
}

TempDir::~TempDir() {
    std::error_code ec;
    std::filesystem::remove_all(m_path, ec);
}

std::string TempDir::Write(const std::string& strName, const FileBuilder& f) const {
    const std::string p = File(strName);
    f.Write(p);
    return p;
}

std::string TempDir::WriteBytes(const std::string& strName, const Bytes& bytes) const {
    const std::string p = File(strName);
    std::ofstream out(p, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
    return p;
}

std::filesystem::path CorpusDir() {
#ifdef QUARVEL_CORPUS_DIR
    std::filesystem::path p(QUARVEL_CORPUS_DIR);
    std::error_code ec;
    if (std::filesystem::is_directory(p, ec)) return std::filesystem::canonical(p, ec);
#endif
    return {};
}

std::map<std::string, std::map<std::string, std::int64_t>> CorpusTables() {
    std::map<std::string, std::map<std::string, std::int64_t>> out;
    std::ifstream in(CorpusDir() / "README.md");
    std::string line, file;
    const std::regex section(R"(^### (\S+\.mdf)\s*$)");
    const std::regex row(R"(^\| (.+) \| (\d+) \|$)");
    std::smatch m;
    while (std::getline(in, line)) {
        if (std::regex_match(line, m, section))
            file = m[1];
        else if (!file.empty() && std::regex_match(line, m, row) && m[1] != "user table")
            out[file][m[1]] = std::stoll(m[2]);
    }
    return out;
}

} // namespace qw
