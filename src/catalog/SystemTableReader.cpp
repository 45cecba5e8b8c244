#include "catalog/SystemTableReader.h"

#include <cstdio>

#include "pagestore/Bytes.h"
#include "pagestore/Text.h"

namespace {

// The fixed part of a row; a field is read only when it lies wholly inside it, otherwise it
// keeps its initial value.
class Fixed {
public:
    explicit Fixed(const CPrimaryRecord& r) : m_d(r.m_fixedData) {}
    std::size_t Size() const { return m_d.size(); }
    bool Present() const { return !m_d.empty(); }
    bool AtLeast(std::size_t n) const { return Present() && m_d.size() >= n; }

    template <class T> void Get(std::size_t nOff, T& out) const {
        if (nOff > m_d.size() || m_d.size() - nOff < sizeof(T)) return;
        const std::uint8_t* p = m_d.data() + nOff;
        if constexpr (sizeof(T) == 1)
            out = static_cast<T>(p[0]);
        else if constexpr (sizeof(T) == 2)
            out = static_cast<T>(le::U16(p));
        else if constexpr (sizeof(T) == 4)
            out = static_cast<T>(le::U32(p));
        else
            out = static_cast<T>(le::U64(p));
    }
    void Get(std::size_t nOff, PagePointer& out) const {
        if (nOff > m_d.size() || m_d.size() - nOff < 6) return;
        out = {le::I32(m_d.data() + nOff), le::I16(m_d.data() + nOff + 4)};
    }
    // A fixed-width UTF-16 field: up to its first zero unit, trailing white space removed.
    std::string WideField(std::size_t nOff, std::size_t nBytes) const {
        if (nOff >= m_d.size()) return {};
        const std::size_t n = std::min(nBytes, m_d.size() - nOff);
        std::string s =
            text::Utf16ToUtf8(std::span<const std::uint8_t>(m_d.data() + nOff, n), true);
        text::TrimTrailingSpace(s);
        return s;
    }

private:
    const std::vector<std::uint8_t>& m_d;
};

std::string VarText(const CPrimaryRecord& r, std::size_t i) {
    if (i >= r.m_varValues.size() || !r.m_varValues[i].HasBytes()) return {};
    return text::Utf16ToUtf8(r.m_varValues[i].Value());
}

} // namespace

template <class Fn> void SystemTableReader::ForEachRowOfPage(const CDataPage& page, Fn&& fn) {
    const CDravoltBrevantProjApp& app = m_reader.App();
    const std::size_t nSlots =
        static_cast<std::size_t>(std::max<int>(page.Header().m_nSlotCount, 0));
    for (std::size_t i = 0; i < nSlots && i < page.RecordCount(); ++i) {
        if (app.StopRequested()) return;
        const CPrimaryRecord* r = page.Record(i);
        // Rows the row decoder rejected (index rows, text fragments, damage) hold nothing.
        if (!r || r->m_bInvalid) continue;
        fn(*r, page);
    }
}

template <class Fn>
void SystemTableReader::ForEachRow(std::int32_t nObjectId, bool bDataPagesOnly, Fn&& fn) {
    const CDravoltBrevantProjApp& app = m_reader.App();
    for (const PageIndexEntry& e : CMdfReader::PagesOf(m_reader.SystemPages(), nObjectId)) {
        if (app.StopRequested()) return;
        if (bDataPagesOnly && e.nPageType != PAGE_TYPE_DATA) continue;
        auto page = m_reader.ReadCatalogPage(e.Pointer());
        // A table's rows lie on its data pages; the header and bitmap records of its
        // allocation pages would otherwise read as rows of initial values.
        if (page && page->Header().m_nPageType == PAGE_TYPE_DATA) ForEachRowOfPage(*page, fn);
    }
}

std::string SystemTableReader::RowName(const CPrimaryRecord& r, const char* pszPrefix) {
    auto repair = [&] { return pszPrefix + std::to_string(m_nRepairCounter++); };
    if (r.m_varValues.empty() || !r.m_varValues[0].HasBytes()) return repair();
    std::string s = VarText(r, 0);
    return s.empty() ? repair() : s;
}

std::string SystemTableReader::IdentityText(std::span<const std::uint8_t> b) {
    std::int64_t nSeed = 1, nIncrement = 1;
    const std::size_t L = b.size();
    if (L >= 24) {
        if (le::I32(b.data()) != 0 && le::I32(b.data() + 4) == 0) {
            nSeed = le::I64(b.data() + 8);
            nIncrement = le::I64(b.data() + 16);
        } else {
            nSeed = le::U32(b.data() + 4);
            nIncrement = le::U32(b.data() + 8);
        }
    } else if (L >= 12) {
        nSeed = le::U32(b.data() + 4);
        nIncrement = le::U32(b.data() + 8);
    } else if (L >= 6) {
        nSeed = le::U16(b.data() + 2);
        nIncrement = le::U16(b.data() + 4);
    }
    if (nIncrement == 0) nIncrement = 1;
    char buf[64];
    std::snprintf(buf, sizeof buf, "identity(%lld,%lld)", static_cast<long long>(nSeed),
                  static_cast<long long>(nIncrement));
    return buf;
}

void SystemTableReader::ReadFiles(std::vector<SecondaryFile>& out) {
    ForEachRow(OBJ_SYSFILES1, false, [&](const CPrimaryRecord& r, const CDataPage&) {
        SecondaryFile f;
        const Fixed d(r);
        if (d.AtLeast(520)) {
            d.Get(0, f.nStatus);
            std::int16_t nFileId = 0;
            d.Get(4, nFileId);
            f.nFileId = nFileId;
            f.strLogicalName = d.WideField(6, 256);
            f.strPath = d.WideField(262, 520);
        }
        out.push_back(std::move(f));
    });
}

void SystemTableReader::ReadObjects(std::vector<ObjectEntry>& out, bool b2000) {
    ForEachRow(b2000 ? OBJ_SYSOBJECTS_2000 : OBJ_SYSSCHOBJS, false,
               [&](const CPrimaryRecord& r, const CDataPage&) {
                   const Fixed d(r);
                   std::int32_t nId = 0;
                   d.Get(0, nId);
                   if (!d.AtLeast(20) || nId <= 0) return;
                   ObjectEntry o;
                   o.m_nId = nId;
                   d.Get(4, o.m_nSchemaId);
                   d.Get(8, o.m_nNameSpaceClass);
                   d.Get(9, o.m_nStatus);
                   const std::size_t nType = b2000 ? 4 : 13;
                   o.m_strType = {static_cast<char>(r.m_fixedData[nType]),
                                  static_cast<char>(r.m_fixedData[nType + 1])};
                   d.Get(b2000 && d.Size() >= 28 ? 24 : 15, o.m_nParentId);
                   d.Get(19, o.m_nParentClass);
                   d.Get(20, o.m_nInternalProperty);
                   o.m_strName = RowName(r, "Repairname");
                   out.push_back(std::move(o));
               });
}

void SystemTableReader::ReadAllocUnits(std::int32_t nObjectId, std::vector<AllocUnitEntry>& out) {
    ForEachRow(nObjectId, false, [&](const CPrimaryRecord& r, const CDataPage&) {
        AllocUnitEntry a;
        const Fixed d(r);
        if (d.AtLeast(39)) {
            d.Get(0, a.m_nId);
            d.Get(8, a.m_nType);
            d.Get(9, a.m_nOwnerId);
            d.Get(17, a.m_nStatus);
            d.Get(21, a.m_nFilegroupId);
            d.Get(23, a.m_firstPage);
            d.Get(29, a.m_rootPage);
            d.Get(35, a.m_firstIamPage);
        }
        out.push_back(a);
    });
}

void SystemTableReader::ReadRowsets(std::vector<RowsetEntry>& out) {
    ForEachRow(OBJ_SYSROWSETS, false, [&](const CPrimaryRecord& r, const CDataPage&) {
        RowsetEntry e;
        const Fixed d(r);
        if (d.AtLeast(27)) {
            d.Get(0, e.m_nRowsetId);
            d.Get(8, e.m_nOwnerType);
            d.Get(9, e.m_nObjectId);
            d.Get(13, e.m_nIndexId);
            d.Get(17, e.m_nPartitionNumber);
            d.Get(21, e.m_nStatus);
            d.Get(25, e.m_nFilegroup);
            d.Get(27, e.m_nRowCount);
        }
        out.push_back(e);
    });
}

void SystemTableReader::ReadColumns(std::int32_t nObjectId, std::vector<ColumnEntry>& out) {
    ForEachRow(nObjectId, false, [&](const CPrimaryRecord& r, const CDataPage&) {
        ColumnEntry c;
        const Fixed d(r);
        if (d.AtLeast(37)) {
            d.Get(0, c.m_nObjectId);
            d.Get(4, c.m_nNumber);
            d.Get(6, c.m_nColumnId);
            d.Get(10, c.m_nSystemTypeId);
            d.Get(11, c.m_nUserTypeId);
            d.Get(15, c.m_nMaxLength);
            d.Get(17, c.m_nPrecision);
            d.Get(18, c.m_nScale);
            d.Get(19, c.m_nCollationId);
            d.Get(23, c.m_nStatus);
            d.Get(27, c.m_nInRowMaxLength);
            d.Get(29, c.m_nXmlCollectionId);
            d.Get(33, c.m_nDefaultObjectId);
            d.Get(37, c.m_nCheckObjectId);
        }
        c.m_strName = RowName(r, "RepairColumn");
        if (c.m_nStatus == 5 && r.m_varValues.size() >= 2)
            c.m_strIdentity = IdentityText(r.m_varValues[1].Value());
        out.push_back(std::move(c));
    });
}

void SystemTableReader::DecodeLegacyColumns(const PageIndexEntry& e,
                                            std::vector<LegacyColumnEntry>& out) {
    auto page = m_reader.ReadCatalogPage(e.Pointer());
    if (!page || page->Header().m_nPageType != PAGE_TYPE_DATA) return;
    ForEachRowOfPage(*page, [&](const CPrimaryRecord& r, const CDataPage&) {
        LegacyColumnEntry c;
        const Fixed d(r);
        d.Get(0, c.m_nObjectId);
        d.Get(4, c.m_nSystemType);
        d.Get(5, c.m_nTypeStatus);
        d.Get(6, c.m_nUserType);
        d.Get(8, c.m_nLength);
        d.Get(10, c.m_nPrecision);
        d.Get(11, c.m_nScale);
        d.Get(12, c.m_nColumnId);
        d.Get(14, c.m_nFixedOffset);
        d.Get(16, c.m_nBitPosition);
        d.Get(17, c.m_nReserved);
        d.Get(18, c.m_nColumnStatus);
        d.Get(20, c.m_nDefaultObject);
        d.Get(24, c.m_nDomain);
        d.Get(28, c.m_nNumber);
        d.Get(30, c.m_nColumnOrder);
        d.Get(32, c.m_nRowOffset);
        if (r.m_nColumnCount >= 21) {
            d.Get(34, c.m_nCollationId);
            d.Get(42, c.m_nStatus);
        }
        c.m_strName = RowName(r, "RepairColumn");
        out.push_back(std::move(c));
    });
}

void SystemTableReader::ReadLegacyIndexes(std::map<std::int32_t, LegacyIndexEntry>& out) {
    ForEachRow(OBJ_SYSINDEXES_2000, false, [&](const CPrimaryRecord& r, const CDataPage& page) {
        const Fixed d(r);
        if (!d.AtLeast(64)) return;
        LegacyIndexEntry e;
        d.Get(0, e.m_nObjectId);
        d.Get(14, e.m_nIndexId);
        if (e.m_nIndexId != 1) return;
        e.m_nFileId = page.Header().m_nFileId;
        d.Get(8, e.m_nFirstPageId);
        d.Get(64, e.m_nFirstIamPageId);
        out[e.m_nObjectId] = e;
    });
}

void SystemTableReader::ReadScalarTypes(std::vector<ScalarTypeEntry>& out) {
    ForEachRow(OBJ_SYSSCALARTYPES, false, [&](const CPrimaryRecord& r, const CDataPage&) {
        const Fixed d(r);
        if (!d.Present()) return;
        ScalarTypeEntry t;
        if (d.AtLeast(34)) {
            d.Get(0, t.m_nTypeId);
            d.Get(4, t.m_nSchemaId);
            d.Get(8, t.m_nSystemTypeId);
            d.Get(9, t.m_nMaxLength);
            d.Get(11, t.m_nPrecision);
            d.Get(12, t.m_nScale);
            d.Get(13, t.m_nCollationId);
            d.Get(17, t.m_nStatus);
            d.Get(30, t.m_nValueA);
            d.Get(34, t.m_nValueB);
        }
        t.m_strName = VarText(r, 0);
        out.push_back(std::move(t));
    });
}

void SystemTableReader::ReadRsColumns(std::vector<RsColumnEntry>& out) {
    ForEachRow(OBJ_SYSRSCOLS, false, [&](const CPrimaryRecord& r, const CDataPage&) {
        RsColumnEntry c;
        const Fixed d(r);
        if (d.AtLeast(48)) {
            d.Get(0, c.m_nRowsetId);
            d.Get(8, c.m_nRowsetColumnId);
            d.Get(12, c.m_nContainerColumnId);
            d.Get(16, c.m_nModificationCounter);
            d.Get(24, c.m_nTypeInfo);
            d.Get(28, c.m_nColumnId);
            d.Get(32, c.m_nKeyOrdinal);
            d.Get(34, c.m_nInRowMaxLength);
            d.Get(36, c.m_nStatus);
            d.Get(40, c.m_nLeafOffset);
            d.Get(44, c.m_nNullBit);
            d.Get(48, c.m_nBitPosition);
        }
        out.push_back(c);
    });
}

void SystemTableReader::ReadObjectRefs(std::vector<ObjectRefEntry>& out) {
    ForEachRow(OBJ_SYSSINGLEOBJREFS, true, [&](const CPrimaryRecord& r, const CDataPage&) {
        const Fixed d(r);
        if (!d.Present()) return;
        ObjectRefEntry e;
        d.Get(0, e.m_nClass);
        d.Get(1, e.m_nDependentId);
        d.Get(5, e.m_nDependentSubId);
        d.Get(9, e.m_nIndependentId);
        d.Get(13, e.m_nIndependentSubId);
        d.Get(17, e.m_nStatus);
        out.push_back(e);
    });
}

void SystemTableReader::ReadIndexes(std::vector<IndexEntry>& out) {
    ForEachRow(OBJ_SYSIDXSTATS, false, [&](const CPrimaryRecord& r, const CDataPage&) {
        const Fixed d(r);
        if (!d.Present()) return;
        IndexEntry e;
        if (d.AtLeast(27)) {
            d.Get(0, e.m_nObjectId);
            d.Get(4, e.m_nIndexId);
            d.Get(8, e.m_nStatus);
            d.Get(12, e.m_nInternalProperty);
            d.Get(16, e.m_nFillFactor);
            d.Get(17, e.m_nIndexType);
            d.Get(18, e.m_nProperty);
            d.Get(19, e.m_nDataSpaceId);
            d.Get(23, e.m_nLobDataSpaceId);
            d.Get(27, e.m_nRowsetId);
        }
        e.m_strName = VarText(r, 0);
        out.push_back(std::move(e));
    });
}

void SystemTableReader::ReadIndexColumns(std::vector<IndexColumnEntry>& out) {
    ForEachRow(OBJ_SYSISCOLS, false, [&](const CPrimaryRecord& r, const CDataPage&) {
        IndexColumnEntry e;
        const Fixed d(r);
        if (d.AtLeast(21)) {
            d.Get(0, e.m_nObjectId);
            d.Get(4, e.m_nIndexId);
            d.Get(8, e.m_nOrdinal);
            d.Get(12, e.m_nStatus);
            d.Get(16, e.m_nColumnId);
            d.Get(20, e.m_nProperty1);
            d.Get(21, e.m_nProperty2);
        }
        out.push_back(e);
    });
}

void SystemTableReader::ReadHobtColumns(std::vector<HobtColumnEntry>& out) {
    ForEachRow(OBJ_HOBT_COLUMNS_2005, false, [&](const CPrimaryRecord& r, const CDataPage&) {
        HobtColumnEntry e;
        const Fixed d(r);
        d.Get(0, e.m_nRowsetIdLow);
        d.Get(4, e.m_nRowsetIdHigh);
        d.Get(8, e.m_nColumnId);
        d.Get(27, e.m_nValueP);
        d.Get(33, e.m_nValueQ);
        out.push_back(e);
    });
}

void SystemTableReader::ReadRowsetColumns(std::vector<RowsetColumnEntry>& out) {
    ForEachRow(OBJ_ROWSET_COLUMNS_2005, false, [&](const CPrimaryRecord& r, const CDataPage&) {
        RowsetColumnEntry e;
        const Fixed d(r);
        d.Get(0, e.m_nRowsetIdLow);
        d.Get(4, e.m_nRowsetIdHigh);
        d.Get(8, e.m_nColumnId);
        d.Get(12, e.m_nValueR);
        out.push_back(e);
    });
}
