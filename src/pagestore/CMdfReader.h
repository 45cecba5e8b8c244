// The open database file set: the primary data file, the secondary files, the page maps and
// every page read. Files are opened read-only and read with pread; nothing is ever written.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "appstate/CDravoltBrevantProjApp.h"
#include "appstate/EngineMessages.h"
#include "pagestore/CBootPage.h"
#include "pagestore/CPage_Header.h"
#include "pagestore/DataFile.h"
#include "pagestore/IamPage.h"
#include "pagestore/PageTypes.h"
#include "pagestore/RecordPage.h"
#include "pagestore/TextMixPage.h"

inline constexpr const char* kTextCannotOpen = "File cannot be open...........";
inline constexpr const char* kTextNotValid =
    "Wheteher File is not valid mdf file or file is highly corrupted...........";

class CMdfReader {
public:
    // Opens, validates and maps the primary file. Test IsOpen() before any other use. Files are
    // opened through `source` (the machine's files unless a test serves them from memory); the
    // source must outlive the reader.
    CMdfReader(std::string strPath, CDravoltBrevantProjApp& app, IEngineNotify& notify,
               const IFileSource& source = CPosixFileSource::Instance());
    ~CMdfReader();
    CMdfReader(const CMdfReader&) = delete;
    CMdfReader& operator=(const CMdfReader&) = delete;

    bool IsOpen() const { return m_bOpen; }
    const std::string& Path() const { return m_strPath; }
    std::uint64_t Length() const { return m_nLength; }
    std::uint64_t PageCount() const { return m_nPageCount; }
    std::uint64_t ExtentCount() const { return m_nExtentCount; }
    // Pages of the file with this id (0 when the file set has no such file).
    std::uint64_t FilePageCount(std::int16_t nFileId) const;
    std::uint64_t BaseOffset() const { return m_nBaseOffset; }
    const std::string& DatabaseName() const { return m_strDatabaseName; }
    void SetDatabaseName(std::string s) { m_strDatabaseName = std::move(s); }
    CDravoltBrevantProjApp& App() const { return m_app; }
    IEngineNotify& Notify() const { return m_notify; }

    const PageMap& SystemPages() const { return m_systemPages; }
    const PageMap& DataPages() const { return m_dataPages; }
    const PageMap& IamPages() const { return m_iamPages; }
    // The pages of one object id in a map; empty when the map has none.
    static const std::vector<PageIndexEntry>& PagesOf(const PageMap& map, std::int32_t nObjectId);
    const std::map<std::int16_t, SecondaryFile>& SecondaryFileTable() const { return m_secondary; }

    // Page reads. Each returns null (or nullopt) on any failed check: page id outside
    // 1 .. page count (0 .. page count for ReadCatalogPage), unknown file id, a page beyond the
    // end of its file. Short reads leave zeros.
    PageBytes ReadRawPage(PagePointer ptr) const;
    std::optional<CPage_Header> ReadPageHeader(PagePointer ptr) const;
    // As ReadPageHeader, but the page's bytes stay in CurrentPage() until the next such read
    // or ReleaseCurrentPage().
    std::optional<CPage_Header> ReadPageHeaderKeep(PagePointer ptr);
    const std::uint8_t* CurrentPage() const { return m_pCurrentPage.get(); }
    void ReleaseCurrentPage() { m_pCurrentPage.reset(); }
    std::unique_ptr<CDataPage> ReadDataPage(PagePointer ptr);
    std::unique_ptr<CDataPage> ReadCatalogPage(PagePointer ptr);
    std::unique_ptr<IamPage> ReadIamPage(PagePointer ptr);
    // The bytes of a text page, corrected for a shift between the page ids stored in headers
    // and the physical positions: the page whose stored id says it is `ptr`.
    PageBytes ReadShiftCorrectedPage(PagePointer ptr) const;
    std::unique_ptr<TextMixPage> ReadTextMixPage(PagePointer ptr);
    // Finds the boot page (page 9, corrected for a shift between stored page ids and physical
    // positions), decodes it and keeps the database name; the version text and the collation
    // go to the application. Returns the decoded page, or null when it lies outside the file.
    std::unique_ptr<CBootPage> ReadBootPage();

    // The mapping pass over the primary file; true when a page of a system table was found.
    bool MapPrimaryPages();
    // Settles the paths of the listed secondary files (beside the primary file) and maps them;
    // with no list, searches the primary file's folder for secondary files instead.
    void ResolveSecondaryFiles(std::vector<SecondaryFile>& files,
                               const std::string& strPrimaryPath);
    void MapSecondaryPages(std::vector<SecondaryFile>& files);
    void FindSecondaryFiles(std::vector<SecondaryFile>& files, const std::string& strPrimaryPath);
    // Maps secondary files given by path (found in a folder, or named by the user); each takes
    // the first file id above 1 that its page headers carry, and a file with none is dropped.
    void MapFoundSecondaryFiles(const std::vector<std::string>& paths,
                                std::vector<SecondaryFile>& files);

    static bool IsPrimarySystemObject(std::int32_t nObjectId);
    static bool IsSecondarySystemObject(std::int32_t nObjectId);

private:
    struct FileGeometry {
        const IDataFile* pFile = nullptr;
        std::uint64_t nLength = 0;
        std::uint64_t nPageCount = 0;
        std::uint64_t nBaseOffset = 0;
    };
    bool Geometry(std::int16_t nFileId, FileGeometry& out) const;
    PageBytes ReadPage(PagePointer ptr, std::int32_t nMinPageId) const;
    // Maps the pages of one secondary file; entries carry nForcedFileId when it is above 0,
    // else the file id of each page's header. Returns the first header file id above 1.
    // Puts a file into the secondary file table, replacing one with the same id.
    void StoreSecondary(const SecondaryFile& f);
    std::int32_t MapSecondaryFile(const IDataFile& data, const SecondaryFile& file,
                                  std::int32_t nForcedFileId);
    // Length, page count and base offset of a secondary file.
    void MeasureSecondary(const IDataFile& data, SecondaryFile& f);

    std::string m_strPath;
    CDravoltBrevantProjApp& m_app;
    IEngineNotify& m_notify;
    const IFileSource& m_source;
    std::unique_ptr<IDataFile> m_pFile;
    std::uint64_t m_nLength = 0;
    std::uint64_t m_nPageCount = 0;
    std::uint64_t m_nExtentCount = 0;
    std::uint64_t m_nBaseOffset = 0;
    std::string m_strDatabaseName;
    PageBytes m_pCurrentPage;
    PageMap m_systemPages;
    PageMap m_dataPages;
    PageMap m_iamPages;
    std::map<std::int16_t, SecondaryFile> m_secondary;
    // Secondary files stay open once read; keyed by file id, invalidated when the table changes.
    mutable std::map<std::int16_t, std::unique_ptr<IDataFile>> m_secondaryFiles;
    bool m_bOpen = false;
};
