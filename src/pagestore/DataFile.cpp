#include "pagestore/DataFile.h"

#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

class CPosixFile final : public IDataFile {
public:
    CPosixFile(int fd, std::uint64_t nLength) : m_fd(fd), m_nLength(nLength) {}
    ~CPosixFile() override { ::close(m_fd); }
    std::uint64_t Length() const override { return m_nLength; }
    std::size_t ReadAt(std::uint64_t nOffset, std::uint8_t* pBuf,
                       std::size_t nSize) const override {
        std::size_t nDone = 0;
        while (nDone < nSize) {
            const ssize_t n =
                ::pread(m_fd, pBuf + nDone, nSize - nDone, static_cast<off_t>(nOffset + nDone));
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) break; // end of file or an unreadable sector: the rest stays zero
            nDone += static_cast<std::size_t>(n);
        }
        std::memset(pBuf + nDone, 0, nSize - nDone);
        return nDone;
    }
    void WillReadSequentially(std::uint64_t nOffset) const override {
#ifdef POSIX_FADV_SEQUENTIAL
        ::posix_fadvise(m_fd, static_cast<off_t>(nOffset), 0, POSIX_FADV_SEQUENTIAL);
#endif
    }

private:
    int m_fd;
    std::uint64_t m_nLength;
};

class CMemoryFile final : public IDataFile {
public:
    explicit CMemoryFile(std::shared_ptr<const std::vector<std::uint8_t>> bytes)
        : m_bytes(std::move(bytes)) {}
    std::uint64_t Length() const override { return m_bytes->size(); }
    std::size_t ReadAt(std::uint64_t nOffset, std::uint8_t* pBuf,
                       std::size_t nSize) const override {
        std::size_t n = 0;
        if (nOffset < m_bytes->size()) n = std::min<std::size_t>(nSize, m_bytes->size() - nOffset);
        if (n) std::memcpy(pBuf, m_bytes->data() + nOffset, n);
        std::memset(pBuf + n, 0, nSize - n);
        return n;
    }

private:
    std::shared_ptr<const std::vector<std::uint8_t>> m_bytes;
};

} // namespace

std::unique_ptr<IDataFile> CPosixFileSource::Open(const std::string& strPath) const {
    if (strPath.empty()) return nullptr;
    const int fd = ::open(strPath.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return nullptr;
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return nullptr;
    }
    return std::make_unique<CPosixFile>(fd, st.st_size > 0 ? static_cast<std::uint64_t>(st.st_size)
                                                           : 0);
}

std::vector<std::string> CPosixFileSource::List(const std::string& strFolder) const {
    std::vector<std::string> names;
    if (DIR* dir = ::opendir(strFolder.empty() ? "." : strFolder.c_str())) {
        while (const dirent* e = ::readdir(dir)) names.emplace_back(e->d_name);
        ::closedir(dir);
    }
    return names;
}

const CPosixFileSource& CPosixFileSource::Instance() {
    static const CPosixFileSource source;
    return source;
}

void CMemoryFileSource::Add(const std::string& strPath, std::vector<std::uint8_t> bytes) {
    m_files[strPath] = std::make_shared<const std::vector<std::uint8_t>>(std::move(bytes));
}

std::unique_ptr<IDataFile> CMemoryFileSource::Open(const std::string& strPath) const {
    auto it = m_files.find(strPath);
    return it == m_files.end() ? nullptr : std::make_unique<CMemoryFile>(it->second);
}

std::vector<std::string> CMemoryFileSource::List(const std::string& strFolder) const {
    std::vector<std::string> names;
    for (const auto& [path, bytes] : m_files) {
        const std::size_t n = path.find_last_of('/');
        const std::string folder = n == std::string::npos ? std::string() : path.substr(0, n + 1);
        if (folder == strFolder) names.push_back(path.substr(folder.size()));
    }
    return names;
}
