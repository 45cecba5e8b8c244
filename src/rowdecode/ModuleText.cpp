#include "rowdecode/ModuleText.h"

#include <cstdio>

#include "pagestore/Text.h"
#include "pagestore/TypeCodes.h"
#include "rowdecode/TableRowDecoder.h"

namespace {

TableColumn Pseudo(const char* name, const char* type, std::int32_t nCode) {
    TableColumn c = CDbCatalog::BuildTableColumn(name, type, nCode);
    c.m_bStored = true; // no placement rows: read in column order
    return c;
}

// Value text bytes: two hexadecimal digits per byte after "0x"; a character that is no digit
// counts by its low four bits, a lone last digit gives a byte whose low half is 0.
std::vector<std::uint8_t> HexBytes(const std::string& s) {
    auto nibble = [](char c) -> int {
        if (c >= '0' && c <= '9') return c - '0';
        if (c >= 'A' && c <= 'F') return c - 'A' + 10;
        if (c >= 'a' && c <= 'f') return c - 'a' + 10;
        return static_cast<unsigned char>(c) & 15;
    };
    std::vector<std::uint8_t> out;
    for (std::size_t i = 2; i < s.size(); i += 2) {
        const int hi = nibble(s[i]);
        const int lo = i + 1 < s.size() ? nibble(s[i + 1]) : 0;
        out.push_back(static_cast<std::uint8_t>(hi * 16 + lo));
    }
    return out;
}

// The key column list of a script: " a , b " from the qualifying column names.
std::string KeyColumnList(const std::vector<std::string>& names) {
    std::string s = " ";
    for (const std::string& n : names) s += n + " , ";
    while (!s.empty() &&
           (s.back() == ' ' || s.back() == '\t' || s.back() == '\r' || s.back() == '\n'))
        s.pop_back();
    if (!s.empty()) s.pop_back();
    return s;
}

const LegacyTableEntry* LegacyTable(const CDbCatalog& c, std::int32_t nTableId) {
    for (const LegacyTableEntry& t : c.m_legacyTables)
        if (t.m_nObjectId == nTableId) return &t;
    return nullptr;
}

std::string TableName(const CDbCatalog& c, std::int32_t nTableId) {
    for (const ObjectEntry& o : c.m_objects)
        if (o.m_nId == nTableId) return o.m_strName;
    return {};
}

std::string Format(const char* fmt, const std::string& a, const std::string& b,
                   const std::string& c = {}) {
    std::string out(std::snprintf(nullptr, 0, fmt, a.c_str(), b.c_str(), c.c_str()) + 1, '\0');
    std::snprintf(out.data(), out.size(), fmt, a.c_str(), b.c_str(), c.c_str());
    out.pop_back();
    return out;
}

} // namespace

std::vector<TableColumn> ValueTableColumns(bool b2000) {
    if (b2000)
        return {Pseudo("id", "int", TYPE_INT), Pseudo("number", "int", TYPE_SMALLINT),
                Pseudo("colid", "short", TYPE_SMALLINT), Pseudo("status", "short", TYPE_SMALLINT),
                Pseudo("ctext", "varbinary(-1)", TYPE_VARBINARY)};
    return {Pseudo("valclass", "tinyint(1)", TYPE_TINYINT),
            Pseudo("objid", "int(4)", TYPE_INT),
            Pseudo("subobjid", "int(4)", TYPE_INT),
            Pseudo("valnum", "int(4)", TYPE_INT),
            Pseudo("value", "sql_variant(8016)", TYPE_SQL_VARIANT),
            Pseudo("imageval", "varbinary(-1)", TYPE_VARBINARY)};
}

void CollectValueTriples(CDbCatalog& catalog, std::vector<ValueTriple>& out,
                         IEngineNotify& notify) {
    CMdfReader& reader = catalog.Reader();
    CDravoltBrevantProjApp& app = reader.App();
    const bool b2000 = app.m_bIsSql2000;
    if (!b2000 || catalog.m_tableColumnList.empty())
        catalog.m_tableColumnList = ValueTableColumns(b2000);
    notify.LogLine("Retrieving Objects of Sysobjvalues System Tables...........");
    const auto& pages = CMdfReader::PagesOf(reader.SystemPages(), b2000 ? 6 : 60);
    notify.ProgressRange(pages.size());
    // Values are read whole: the listing placeholders would stand in for the texts.
    const bool bListing = app.m_bListingMode.exchange(false);
    CTableRowDecoder decoder(catalog.m_tableColumnList, app, reader, true);
    std::size_t nDone = 0;
    for (const PageIndexEntry& e : pages) {
        if (app.StopRequested()) break;
        ++nDone;
        // The value table's rows lie on its data pages; its large values on text pages.
        if (e.nPageType != PAGE_TYPE_DATA) continue;
        auto page = reader.ReadCatalogPage(e.Pointer());
        if (!page) continue;
        for (const DecodedRow& row : decoder.ReadRows(*page)) {
            const std::vector<std::string>& t = row.texts;
            ValueTriple v;
            if (b2000) {
                if (t.empty()) continue;
                v.strObjectId = t[0];
                if (t.size() >= 2) v.strSubObjectId = t[1];
                if (t.size() > 4) v.strValue = t[4];
            } else {
                if (t.size() < 3) continue;
                v = {t[1], t[2], t.back()};
            }
            out.push_back(std::move(v));
        }
        notify.ProgressPos(nDone);
    }
    app.m_bListingMode = bListing;
    notify.ProgressPos(pages.size());
    notify.LogLine("Retrieving  Objects of Sysobjvalues System Tables has been done...........");
}

std::string AssembleModuleText(const std::vector<ValueTriple>& triples,
                               const std::string& strObjectId) {
    std::string text;
    for (const ValueTriple& t : triples) {
        // A NULL value reads as the text "NULL", not as hexadecimal digits: it adds nothing.
        if (t.strObjectId != strObjectId || t.strValue.size() <= 2 ||
            t.strValue.compare(0, 2, "0x") != 0)
            continue;
        const std::vector<std::uint8_t> b = HexBytes(t.strValue);
        const bool bWide = b.size() > 1 && std::find(b.begin() + 1, b.end(), 0) != b.end();
        if (bWide) {
            text += text::Utf16ToUtf8(b, true);
        } else {
            const std::string s = text::Cp1252ToUtf8(b);
            if (s != text) text += s;
        }
    }
    return text;
}

std::string CModuleTexts::ModuleText(CDbCatalog& catalog, const std::string& strObjectId,
                                     IEngineNotify& notify) {
    if (!m_bLoaded) {
        m_triples.clear();
        CollectValueTriples(catalog, m_triples, notify);
        m_bLoaded = !m_triples.empty();
    }
    return AssembleModuleText(m_triples, strObjectId);
}

std::string ColumnDescription(const TableColumn& c) {
    if (c.m_strName.empty()) return {};
    std::string s = c.m_strName + "  " + c.m_strType;
    if (c.m_bPrimaryKey)
        s += "[Primary Key]";
    else if (c.m_bUniqueConstraint || c.m_bUniqueIndex)
        s += "[Unique]";
    if (c.m_bForeignKey)
        s += "  (foreign key) references " + c.m_strReferencedTable + "( " +
             c.m_strReferencedColumn + ")";
    return s;
}

namespace {

// The table name and key column names of a script. The 2000 layout's table list gives both;
// a table of the later layout has no entry there, so its name and the columns the layout
// resolution marked as keys are used.
template <class LegacyQualifies, class ColumnQualifies>
std::pair<std::string, std::vector<std::string>>
ScriptKeys(const CDbCatalog& catalog, std::int32_t nTableId,
           const std::vector<TableColumn>& columns, LegacyQualifies legacyQualifies,
           ColumnQualifies columnQualifies) {
    std::pair<std::string, std::vector<std::string>> out;
    if (const LegacyTableEntry* t = LegacyTable(catalog, nTableId)) {
        out.first = t->m_strName;
        for (const auto& c : t->m_columns)
            if (legacyQualifies(c.m_nTypeStatus)) out.second.push_back(c.m_strName);
    } else {
        out.first = TableName(catalog, nTableId);
        for (const TableColumn& c : columns)
            if (columnQualifies(c)) out.second.push_back(c.m_strName);
    }
    return out;
}

} // namespace

std::string PrimaryKeyScript(const CDbCatalog& catalog, std::int32_t nTableId,
                             const std::vector<TableColumn>& columns) {
    const auto [strTable, names] = ScriptKeys(
        catalog, nTableId, columns, [](std::uint8_t nTypeStatus) { return (nTypeStatus & 1) != 0; },
        [](const TableColumn& c) { return c.m_bPrimaryKey; });
    return Format("ALTER TABLE %s ADD PRIMARY KEY (%s)", strTable, KeyColumnList(names));
}

std::string UniqueScript(const CDbCatalog& catalog, std::int32_t nTableId,
                         const std::string& strConstraint,
                         const std::vector<TableColumn>& columns) {
    const auto [strTable, names] = ScriptKeys(
        catalog, nTableId, columns,
        [](std::uint8_t nTypeStatus) { return nTypeStatus == 0 || (nTypeStatus & 1) != 0; },
        [](const TableColumn& c) { return c.m_bUniqueConstraint || c.m_bUniqueIndex; });
    return Format("ALTER TABLE[dbo].[%s] WITH NOCHECK ADD CONSTRAINT[%s] UNIQUE CLUSTERED "
                  "\r\n(\r\n[%s] DSC\r\n)",
                  strTable, strConstraint, KeyColumnList(names));
}

std::string CheckScript(const std::string& strTable, const std::string& strConstraint,
                        const std::string& strModuleText) {
    return Format("ALTER TABLE  [dbo].[%s] WITH NOCHECK ADD CONSTRAINT[%s] CHECK %s", strTable,
                  strConstraint, strModuleText);
}
