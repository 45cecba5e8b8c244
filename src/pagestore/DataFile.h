// Read-only access to data files. The reader opens every file through an IFileSource: the
// POSIX one opens files O_RDONLY and reads them with pread; tests and fuzzers may serve
// files from memory instead.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

class IDataFile {
public:
    virtual ~IDataFile() = default;
    virtual std::uint64_t Length() const = 0;
    // Reads up to nSize bytes at nOffset; the bytes not read (end of file, a read error) are
    // zero. Returns the number of bytes read.
    virtual std::size_t ReadAt(std::uint64_t nOffset, std::uint8_t* pBuf,
                               std::size_t nSize) const = 0;
    // A hint that the file will be read front to back from nOffset.
    virtual void WillReadSequentially(std::uint64_t /*nOffset*/) const {}
};

class IFileSource {
public:
    virtual ~IFileSource() = default;
    // The regular file at a path, opened for reading; null when it cannot be opened or is not a
    // regular file (a directory, say).
    virtual std::unique_ptr<IDataFile> Open(const std::string& strPath) const = 0;
    // The names of the entries of a folder ("" is the current folder).
    virtual std::vector<std::string> List(const std::string& strFolder) const = 0;
};

// The machine's files.
class CPosixFileSource final : public IFileSource {
public:
    std::unique_ptr<IDataFile> Open(const std::string& strPath) const override;
    std::vector<std::string> List(const std::string& strFolder) const override;
    static const CPosixFileSource& Instance();
};

// Files held in memory, by path; folders are the paths' prefixes up to their last '/'.
class CMemoryFileSource final : public IFileSource {
public:
    void Add(const std::string& strPath, std::vector<std::uint8_t> bytes);
    std::unique_ptr<IDataFile> Open(const std::string& strPath) const override;
    std::vector<std::string> List(const std::string& strFolder) const override;

private:
    std::map<std::string, std::shared_ptr<const std::vector<std::uint8_t>>> m_files;
};
