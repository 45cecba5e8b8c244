// A workflow over in-memory ports and files, and the databases its tests scan.
#pragma once

#include <condition_variable>
#include <mutex>
#include <string>
#include <vector>

#include "pagestore/DataFile.h"
#include "support/DatabaseWriter.h"
#include "workflow/MemoryPorts.h"
#include "workflow/RecoveryWorkflow.h"

namespace wft {

using qw::Col;
using qw::Obj;

// A file source that holds the opening of one path, or the first read of one offset of its
// files, until the test lets it go, so a test can act while a worker is known to be inside the
// scan or a listing.
class CGatedFileSource final : public IFileSource {
public:
    explicit CGatedFileSource(const IFileSource& inner) : m_inner(inner) {}
    void Gate(const std::string& strPath) { m_strGate = strPath; }
    // Holds the first read that covers nOffset from now on.
    void GateRead(std::uint64_t nOffset) {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_nGateOffset = nOffset;
        m_bReadGated = true;
        m_bReached = m_bReleased = false;
    }
    std::unique_ptr<IDataFile> Open(const std::string& strPath) const override {
        if (!m_strGate.empty() && strPath == m_strGate) Hold();
        auto inner = m_inner.Open(strPath);
        if (!inner) return inner;
        return std::make_unique<CGatedFile>(*this, std::move(inner));
    }
    std::vector<std::string> List(const std::string& strFolder) const override {
        return m_inner.List(strFolder);
    }
    void WaitUntilReached() const {
        std::unique_lock<std::mutex> lock(m_mutex);
        m_cv.wait(lock, [&] { return m_bReached; });
    }
    void Release() const {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_bReleased = true;
        m_cv.notify_all();
    }

private:
    class CGatedFile final : public IDataFile {
    public:
        CGatedFile(const CGatedFileSource& source, std::unique_ptr<IDataFile> inner)
            : m_source(source), m_inner(std::move(inner)) {}
        std::uint64_t Length() const override { return m_inner->Length(); }
        std::size_t ReadAt(std::uint64_t nOffset, std::uint8_t* pBuf,
                           std::size_t nSize) const override {
            m_source.HoldRead(nOffset, nSize);
            return m_inner->ReadAt(nOffset, pBuf, nSize);
        }

    private:
        const CGatedFileSource& m_source;
        std::unique_ptr<IDataFile> m_inner;
    };

    void Hold() const {
        std::unique_lock<std::mutex> lock(m_mutex);
        m_bReached = true;
        m_cv.notify_all();
        m_cv.wait(lock, [&] { return m_bReleased; });
    }
    void HoldRead(std::uint64_t nOffset, std::size_t nSize) const {
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            if (!m_bReadGated || nOffset > m_nGateOffset || m_nGateOffset >= nOffset + nSize)
                return;
            m_bReadGated = false;
        }
        Hold();
    }

    const IFileSource& m_inner;
    std::string m_strGate;
    mutable bool m_bReadGated = false;
    std::uint64_t m_nGateOffset = 0;
    mutable std::mutex m_mutex;
    mutable std::condition_variable m_cv;
    mutable bool m_bReached = false, m_bReleased = false;
};

struct Harness {
    CMemoryFileSource files;
    CGatedFileSource gated{files};
    CDravoltBrevantProjApp app;
    CMemoryPorts ports;
    CRecoveryWorkflow wf{app, ports.Ports(), gated};

    Harness() {
        ParseCollationList("SQL_Latin1_General_CP1_CI_AS\t872468488\t1252\n", app.m_collations);
    }
    ScanSettings Settings(const std::string& strPath, const std::string& strLogFolder = "") {
        ScanSettings s;
        s.strMdfPath = strPath;
        s.strLogFolder = strLogFolder;
        return s;
    }
    // Opens and scans a file, waiting for the scan worker to end.
    bool Scan(const std::string& strPath, const std::string& strLogFolder = "") {
        const bool bStarted = wf.Open(Settings(strPath, strLogFolder));
        wf.Wait();
        return bStarted;
    }
    std::vector<std::string> Lines() const { return ports.output.Lines(); }
    std::string LastLine() const {
        const auto l = Lines();
        return l.empty() ? std::string() : l.back();
    }
    bool HasLine(const std::string& s) const {
        for (const std::string& l : Lines())
            if (l == s) return true;
        return false;
    }
};

} // namespace wft
