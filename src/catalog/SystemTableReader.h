// Decoders of the system tables: each reads the pages the page maps list for the table's
// object id and turns every accepted row into an entry.
#pragma once

#include <cstdint>
#include <map>
#include <vector>

#include "catalog/SystemEntries.h"
#include "pagestore/CMdfReader.h"

class SystemTableReader {
public:
    explicit SystemTableReader(CMdfReader& reader) : m_reader(reader) {}

    void ReadFiles(std::vector<SecondaryFile>& out);
    // Objects in the 2005+ layout (object 34), or in the 2000 layout (object 1) when b2000.
    void ReadObjects(std::vector<ObjectEntry>& out, bool b2000);
    void ReadAllocUnits(std::int32_t nObjectId, std::vector<AllocUnitEntry>& out);
    void ReadRowsets(std::vector<RowsetEntry>& out);
    void ReadColumns(std::int32_t nObjectId, std::vector<ColumnEntry>& out);
    // The 2000 column rows of one page.
    void DecodeLegacyColumns(const PageIndexEntry& page, std::vector<LegacyColumnEntry>& out);
    void ReadLegacyIndexes(std::map<std::int32_t, LegacyIndexEntry>& out);
    void ReadScalarTypes(std::vector<ScalarTypeEntry>& out);
    void ReadRsColumns(std::vector<RsColumnEntry>& out);
    void ReadObjectRefs(std::vector<ObjectRefEntry>& out);
    void ReadIndexes(std::vector<IndexEntry>& out);
    void ReadIndexColumns(std::vector<IndexColumnEntry>& out);
    void ReadHobtColumns(std::vector<HobtColumnEntry>& out);
    void ReadRowsetColumns(std::vector<RowsetColumnEntry>& out);

    // Rows without a readable name are named after this counter ("Repairname0",
    // "RepairColumn0", ...); each pass that names rows starts it again at 0.
    void ResetRepairCounter() { m_nRepairCounter = 0; }
    std::uint64_t RepairCounter() const { return m_nRepairCounter; }

    // The identity text of a column from its seed/increment value.
    static std::string IdentityText(std::span<const std::uint8_t> blob);

    CMdfReader& Reader() const { return m_reader; }

private:
    template <class Fn> void ForEachRow(std::int32_t nObjectId, bool bDataPagesOnly, Fn&& fn);
    template <class Fn> void ForEachRowOfPage(const CDataPage& page, Fn&& fn);
    std::string RowName(const CPrimaryRecord& r, const char* pszRepairPrefix);

    CMdfReader& m_reader;
    std::uint64_t m_nRepairCounter = 0;
};
