#include "pagestore/CMdfReader.h"

#include <algorithm>
#include <cctype>

#include "pagestore/Bytes.h"
#include "pagestore/FileScan.h"

namespace {

// Folder part of a local path, with its trailing separator ("" for a bare file name).
std::string FolderOf(std::string strPath) {
    for (const char* doubled : {"\\\\", "//"}) {
        for (std::size_t i; (i = strPath.find(doubled)) != std::string::npos;) strPath.erase(i, 1);
    }
    const std::size_t n = strPath.find_last_of("/\\");
    return n == std::string::npos ? std::string() : strPath.substr(0, n + 1);
}

bool EndsWithNdf(const std::string& s) {
    if (s.size() < 4) return false;
    std::string tail = s.substr(s.size() - 4);
    std::transform(tail.begin(), tail.end(), tail.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return tail == ".ndf";
}

// Appends to a page map, remembering the last object's list: pages of one object mostly come
// in runs (extents), so most appends skip the map lookup.
class PageMapAppender {
public:
    explicit PageMapAppender(PageMap& map) : m_map(map) {}
    void Add(std::int32_t nObjectId, const PageIndexEntry& e) {
        if (!m_pLast || nObjectId != m_nLastId) {
            m_pLast = &m_map[nObjectId];
            m_nLastId = nObjectId;
        }
        m_pLast->push_back(e);
    }

private:
    PageMap& m_map;
    std::vector<PageIndexEntry>* m_pLast = nullptr;
    std::int32_t m_nLastId = 0;
};

// Pages of the system tables carry their index id (0..255) in the header; pages of user
// allocation units carry 256 and above, with object ids that may equal a system table's.
bool IsSystemIndexId(const std::uint8_t* page) {
    return le::U16(page + 6) < 256;
}

} // namespace

bool CMdfReader::IsPrimarySystemObject(std::int32_t id) {
    switch (id) {
    case 1:
    case 2:
    case 3:
    case 4:
    case 5:
    case 6:
    case 7:
    case 8:
    case 13:
    case 14:
    case 20:
    case 21:
    case 34:
    case 41:
    case 50:
    case 53:
    case 54:
    case 55:
    case 60:
    case 74:
    case 99:
    case 2187:
        return true;
    default:
        return false;
    }
}

bool CMdfReader::IsSecondarySystemObject(std::int32_t id) {
    switch (id) {
    case 3:
    case 4:
    case 5:
    case 7:
    case 8:
    case 13:
    case 34:
    case 41:
    case 50:
    case 54:
    case 55:
    case 60:
    case 74:
        return true;
    default:
        return false;
    }
}

const std::vector<PageIndexEntry>& CMdfReader::PagesOf(const PageMap& map, std::int32_t nObjectId) {
    static const std::vector<PageIndexEntry> kNone;
    auto it = map.find(nObjectId);
    return it == map.end() ? kNone : it->second;
}

CMdfReader::CMdfReader(std::string strPath, CDravoltBrevantProjApp& app, IEngineNotify& notify,
                       const IFileSource& source)
    : m_strPath(std::move(strPath)), m_app(app), m_notify(notify), m_source(source) {
    m_pFile = m_source.Open(m_strPath);
    if (!m_pFile) {
        m_notify.FatalError(kTextCannotOpen);
        return;
    }
    m_nLength = m_pFile->Length();
    if (m_nLength < kPageSize) {
        m_notify.FatalError(kTextNotValid);
        return;
    }
    m_nPageCount = (m_nLength - m_nLength % kPageSize) / kPageSize;
    m_nExtentCount = m_nPageCount / kPagesPerExtent;
    m_nBaseOffset =
        filescan::ProbeBaseOffset(*m_pFile, m_nPageCount, m_nLength % kPageSize, m_app, m_notify);
    m_bOpen = MapPrimaryPages();
    if (!m_bOpen) m_notify.FatalError(kTextNotValid);
    m_app.m_bStopRequested = false;
}

CMdfReader::~CMdfReader() = default;

std::uint64_t CMdfReader::FilePageCount(std::int16_t nFileId) const {
    if (nFileId == kPrimaryFileId) return m_nPageCount;
    auto it = m_secondary.find(nFileId);
    return it == m_secondary.end() ? 0 : it->second.nPageCount;
}

bool CMdfReader::Geometry(std::int16_t nFileId, FileGeometry& out) const {
    if (!m_bOpen) return false;
    if (nFileId == kPrimaryFileId) {
        out = {m_pFile.get(), m_nLength, m_nPageCount, m_nBaseOffset};
        return true;
    }
    if (nFileId <= 0) return false;
    auto it = m_secondary.find(nFileId);
    if (it == m_secondary.end() || it->second.strPath.empty()) return false;
    auto fileIt = m_secondaryFiles.find(nFileId);
    if (fileIt == m_secondaryFiles.end()) {
        auto pFile = m_source.Open(it->second.strPath);
        if (!pFile) return false;
        fileIt = m_secondaryFiles.emplace(nFileId, std::move(pFile)).first;
    }
    const SecondaryFile& f = it->second;
    out = {fileIt->second.get(), f.nLength, f.nPageCount,
           static_cast<std::uint64_t>(std::max<std::int32_t>(f.nBaseOffset, 0))};
    return true;
}

PageBytes CMdfReader::ReadPage(PagePointer ptr, std::int32_t nMinPageId) const {
    FileGeometry g;
    if (ptr.nPageId < nMinPageId || !Geometry(ptr.nFileId, g)) return nullptr;
    if (static_cast<std::uint64_t>(ptr.nPageId) > g.nPageCount) return nullptr;
    const std::uint64_t nOffset =
        static_cast<std::uint64_t>(ptr.nPageId) * kPageSize + g.nBaseOffset;
    if (nOffset > g.nLength) return nullptr;
    PageBytes p = MakePageBuffer();
    g.pFile->ReadAt(nOffset, p.get(), kPageSize);
    return p;
}

PageBytes CMdfReader::ReadRawPage(PagePointer ptr) const {
    return ReadPage(ptr, 1);
}

std::optional<CPage_Header> CMdfReader::ReadPageHeader(PagePointer ptr) const {
    PageBytes p = ReadPage(ptr, 1);
    if (!p) return std::nullopt;
    return CPage_Header(p.get());
}

std::optional<CPage_Header> CMdfReader::ReadPageHeaderKeep(PagePointer ptr) {
    m_pCurrentPage = ReadPage(ptr, 1);
    if (!m_pCurrentPage) return std::nullopt;
    return CPage_Header(m_pCurrentPage.get());
}

std::unique_ptr<CDataPage> CMdfReader::ReadDataPage(PagePointer ptr) {
    PageBytes p = ReadPage(ptr, 1);
    if (!p) return nullptr;
    return std::make_unique<CDataPage>(std::move(p), m_app, this);
}

std::unique_ptr<CDataPage> CMdfReader::ReadCatalogPage(PagePointer ptr) {
    PageBytes p = ReadPage(ptr, 0);
    if (!p) return nullptr;
    return std::make_unique<CDataPage>(std::move(p), m_app, this);
}

std::unique_ptr<IamPage> CMdfReader::ReadIamPage(PagePointer ptr) {
    PageBytes p = ReadPage(ptr, 1);
    if (!p) return nullptr;
    return std::make_unique<IamPage>(std::move(p), m_app, this);
}

std::unique_ptr<TextMixPage> CMdfReader::ReadTextMixPage(PagePointer ptr) {
    PageBytes p = ReadShiftCorrectedPage(ptr);
    if (!p) return nullptr;
    return std::make_unique<TextMixPage>(std::move(p), m_app, this);
}

PageBytes CMdfReader::ReadShiftCorrectedPage(PagePointer ptr) const {
    if (auto h = ReadPageHeader(ptr)) {
        const std::int64_t k = static_cast<std::int64_t>(h->m_nPageId) - ptr.nPageId;
        const std::int64_t nTarget = static_cast<std::int64_t>(ptr.nPageId) - k;
        if (nTarget < 1 || nTarget > INT32_MAX) return nullptr;
        ptr.nPageId = static_cast<std::int32_t>(nTarget);
    }
    return ReadPage(ptr, 1);
}

std::unique_ptr<CBootPage> CMdfReader::ReadBootPage() {
    m_strDatabaseName.clear();
    std::int64_t k = 0;
    const std::vector<PageIndexEntry>* pSeen = &PagesOf(m_systemPages, 7);
    if (pSeen->empty()) pSeen = &PagesOf(m_systemPages, 41);
    if (!pSeen->empty()) {
        const PageIndexEntry& e = pSeen->front();
        if (auto h = ReadPageHeader(e.Pointer()))
            k = static_cast<std::int64_t>(h->m_nPageId) - e.nPageNumber;
    }
    const std::int64_t b = 9 - k;
    if (b <= 0 || static_cast<std::uint64_t>(b) >= m_nPageCount) return nullptr;
    PageBytes p = MakePageBuffer();
    m_pFile->ReadAt(static_cast<std::uint64_t>(b) * kPageSize + m_nBaseOffset, p.get(), kPageSize);
    auto boot = std::make_unique<CBootPage>(p.get(), m_app);
    m_strDatabaseName = boot->m_strDatabaseName;
    return boot;
}

bool CMdfReader::MapPrimaryPages() {
    m_systemPages.clear();
    m_dataPages.clear();
    m_iamPages.clear();
    m_notify.ProgressRange(m_nPageCount);
    m_notify.ProgressPos(0);
    m_notify.StatusText("Mapping Database Objects...........");

    bool bFoundSystem = false;
    const std::uint64_t nStep = filescan::ProgressStep(m_nPageCount);
    filescan::SequentialPages pages(*m_pFile, m_nBaseOffset);
    PageMapAppender system(m_systemPages), data(m_dataPages), iam(m_iamPages);
    for (std::uint64_t n = 0; n < m_nPageCount && !m_app.StopRequested(); ++n) {
        const std::uint8_t* page = pages.Next();
        const std::int32_t nObjectId = le::I32(page + 24);
        const std::int16_t nFileId = le::I16(page + 36);
        const std::int32_t nType = page[1];
        const auto nPage = static_cast<std::int32_t>(n);
        if (IsPrimarySystemObject(nObjectId) && IsSystemIndexId(page)) {
            system.Add(nObjectId, {nFileId, nPage, nType, le::I16(page + 6)});
            bFoundSystem = true;
        }
        if (nObjectId > 0) {
            const std::int16_t nIndexId = le::I16(page + 6);
            if (nType == PAGE_TYPE_DATA)
                data.Add(nObjectId, {nFileId, nPage, PAGE_TYPE_DATA, nIndexId});
            else if (nType == PAGE_TYPE_IAM)
                iam.Add(nObjectId, {nFileId, nPage, PAGE_TYPE_IAM, nIndexId});
        }
        if ((n + 1) % nStep == 0) m_notify.ProgressPos(n + 1);
    }
    m_notify.ProgressPos(m_nPageCount);
    m_notify.StatusText("Mapping of Database Objects has been done ......................");
    return bFoundSystem;
}

std::int32_t CMdfReader::MapSecondaryFile(const IDataFile& source, const SecondaryFile& file,
                                          std::int32_t nForcedFileId) {
    m_notify.ProgressRange(file.nPageCount);
    m_notify.ProgressPos(0);
    std::int32_t nFoundId = 0;
    const std::uint64_t nStep = filescan::ProgressStep(file.nPageCount);
    filescan::SequentialPages pages(source, static_cast<std::uint64_t>(file.nBaseOffset));
    PageMapAppender system(m_systemPages), data(m_dataPages);
    for (std::uint64_t i = 0; i < file.nPageCount && !m_app.StopRequested(); ++i) {
        const std::uint8_t* page = pages.Next();
        const std::int32_t nObjectId = le::I32(page + 24);
        const std::int16_t nHeaderFileId = le::I16(page + 36);
        const std::int32_t nType = page[1];
        const auto nFileId =
            nForcedFileId > 0 ? static_cast<std::int16_t>(nForcedFileId) : nHeaderFileId;
        const auto nPage = static_cast<std::int32_t>(i);
        if (IsSecondarySystemObject(nObjectId) && IsSystemIndexId(page))
            system.Add(nObjectId, {nFileId, nPage, nType, le::I16(page + 6)});
        if (nObjectId > 0 && nType == PAGE_TYPE_DATA)
            data.Add(nObjectId, {nFileId, nPage, PAGE_TYPE_DATA, le::I16(page + 6)});
        if (nFoundId == 0 && nHeaderFileId > 1) nFoundId = nHeaderFileId;
        if ((i + 1) % nStep == 0) m_notify.ProgressPos(i + 1);
    }
    m_notify.ProgressPos(file.nPageCount);
    return nFoundId;
}

// The base offset is probed like the primary file's, so odd bytes after the last page do not
// shift every page of the file.
void CMdfReader::MeasureSecondary(const IDataFile& data, SecondaryFile& f) {
    f.nLength = data.Length();
    std::uint64_t nBase = f.nLength % kPageSize;
    f.nPageCount = (f.nLength - nBase) / kPageSize;
    if (f.nPageCount > 0)
        nBase = filescan::ProbeBaseOffset(data, f.nPageCount, nBase, m_app, m_notify);
    f.nBaseOffset = static_cast<std::int32_t>(nBase);
}

void CMdfReader::StoreSecondary(const SecondaryFile& f) {
    const auto nId = static_cast<std::int16_t>(f.nFileId);
    m_secondary[nId] = f;
    m_secondaryFiles.erase(nId);
}

void CMdfReader::ResolveSecondaryFiles(std::vector<SecondaryFile>& files,
                                       const std::string& strPrimaryPath) {
    if (m_app.StopRequested()) return;
    const std::string strFolder = FolderOf(strPrimaryPath);
    if (files.empty()) {
        FindSecondaryFiles(files, strPrimaryPath);
        return;
    }
    for (SecondaryFile& f : files) {
        // A transaction log holds no pages of tables: it keeps its recorded path, unmapped.
        if (f.nFileId <= 1 || f.IsLog()) continue;
        // Recorded paths are the server's (often Windows) paths: only the file name is kept,
        // and the file is looked for beside the primary file.
        const std::size_t nSep = f.strPath.find_last_of("\\/");
        const std::string strName =
            nSep == std::string::npos ? f.strPath : f.strPath.substr(nSep + 1);
        const std::size_t nDot = strName.rfind('.');
        const std::string strStem =
            nDot == std::string::npos ? std::string() : strName.substr(0, nDot);
        f.strPath = strFolder + (strStem.empty() ? strName : strStem + ".ndf");
    }
    MapSecondaryPages(files);
}

void CMdfReader::MapSecondaryPages(std::vector<SecondaryFile>& files) {
    for (SecondaryFile& f : files) {
        if (f.nFileId <= 1 || f.nFileId > INT16_MAX || f.IsLog()) continue;
        // A file the user named for this id was mapped already: the listed row keeps its
        // logical name and status, the file keeps the path it was found at.
        if (auto it = m_secondary.find(static_cast<std::int16_t>(f.nFileId));
            it != m_secondary.end()) {
            it->second.strLogicalName = f.strLogicalName;
            it->second.nStatus = f.nStatus;
            f = it->second;
            continue;
        }
        auto pFile = m_source.Open(f.strPath);
        if (!pFile) continue;
        MeasureSecondary(*pFile, f);
        StoreSecondary(f);
        MapSecondaryFile(*pFile, f, f.nFileId);
    }
}

void CMdfReader::FindSecondaryFiles(std::vector<SecondaryFile>& files,
                                    const std::string& strPrimaryPath) {
    files.clear();
    const std::string strFolder = FolderOf(strPrimaryPath);
    std::vector<std::string> names = m_source.List(strFolder);
    std::erase_if(names, [](const std::string& n) { return !EndsWithNdf(n); });
    // Directory order is arbitrary; a fixed order makes the replace-on-same-id rule repeatable.
    std::sort(names.begin(), names.end());
    for (std::string& strName : names) strName = strFolder + strName;
    std::erase_if(names, [this](const std::string& p) {
        return std::any_of(m_secondary.begin(), m_secondary.end(),
                           [&](const auto& e) { return e.second.strPath == p; });
    });
    MapFoundSecondaryFiles(names, files);
}

void CMdfReader::MapFoundSecondaryFiles(const std::vector<std::string>& paths,
                                        std::vector<SecondaryFile>& files) {
    for (const std::string& strPath : paths) {
        if (m_app.StopRequested()) break;
        SecondaryFile f;
        f.strPath = strPath;
        auto pFile = m_source.Open(f.strPath); // directories are refused here
        if (!pFile) continue;
        MeasureSecondary(*pFile, f);
        f.nFileId = MapSecondaryFile(*pFile, f, 0);
        if (f.nFileId <= 1) continue;
        files.push_back(f);
        StoreSecondary(f);
    }
}
