#include "SampleDatabases.h"

#include <algorithm>
#include <cstring>
#include <stdexcept>

#include "pagestore/Bytes.h"
#include "pagestore/TypeCodes.h"

namespace qw::samples {

namespace {

// Latin1_General_CI_AS_KS_WS, the collation content databases are created with.
constexpr std::int32_t kCollation = 4104;

// A small deterministic generator (splitmix64): the samples come out the same on every build.
class Rng {
public:
    explicit Rng(std::uint64_t nSeed) : m_n(nSeed) {}
    std::uint64_t Next() {
        std::uint64_t z = (m_n += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return z ^ (z >> 31);
    }
    std::uint32_t Below(std::uint32_t n) { return static_cast<std::uint32_t>(Next() % n); }
    Bytes Fill(std::size_t n) {
        Bytes b(n);
        for (std::uint8_t& x : b) x = static_cast<std::uint8_t>(Next() >> 56);
        return b;
    }

private:
    std::uint64_t m_n;
};

std::uint64_t Hash(std::string_view s) {
    std::uint64_t h = 0xCBF29CE484222325ull;
    for (char c : s) h = (h ^ static_cast<std::uint8_t>(c)) * 0x100000001B3ull;
    return h;
}

// A version-4 GUID in its stored form.
Bytes Guid(Rng& rng) {
    Bytes g = rng.Fill(16);
    g[7] = static_cast<std::uint8_t>((g[7] & 0x0F) | 0x40); // version nibble (third group, LE)
    g[8] = static_cast<std::uint8_t>((g[8] & 0x3F) | 0x80); // variant
    return g;
}

// Days from 1970-01-01 of a civil date.
constexpr int DaysFromCivil(int y, int m, int d) {
    y -= m <= 2;
    const int era = (y >= 0 ? y : y - 399) / 400;
    const int yoe = y - era * 400;
    const int doy = (153 * (m > 2 ? m - 3 : m + 9) + 2) / 5 + d - 1;
    const int doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe - 719468;
}

// A point in time: days from 1970-01-01 and seconds of the day.
struct Moment {
    int nDays = 0;
    int nSeconds = 0;
};

Moment At(int y, int m, int d, int hh = 9, int mm = 0, int ss = 0) {
    return {DaysFromCivil(y, m, d), hh * 3600 + mm * 60 + ss};
}

// A moment in office hours between two dates.
Moment Between(Rng& rng, Moment from, Moment to) {
    const int nSpan = std::max(to.nDays - from.nDays, 1);
    return {from.nDays + static_cast<int>(rng.Below(static_cast<std::uint32_t>(nSpan))),
            7 * 3600 + static_cast<int>(rng.Below(11 * 3600))};
}

// The last day anything in the samples happened.
constexpr int kLastDay = DaysFromCivil(2026, 11, 30);

// A moment up to nMaxDays after m, in office hours, and not after the last day.
Moment Later(Rng& rng, Moment m, int nMaxDays) {
    Moment out{m.nDays + static_cast<int>(rng.Below(static_cast<std::uint32_t>(nMaxDays))),
               7 * 3600 + static_cast<int>(rng.Below(11 * 3600))};
    if (out.nDays > kLastDay) out.nDays = std::max(m.nDays, kLastDay);
    if (out.nDays == m.nDays && out.nSeconds < m.nSeconds) out.nSeconds = m.nSeconds;
    return out;
}

// datetime: ticks of 1/300 s since midnight, then days since 1900-01-01.
Bytes DateTime(Moment m) {
    return Cat({LE32(static_cast<std::uint32_t>(m.nSeconds * 300)),
                LE32(static_cast<std::uint32_t>(m.nDays - DaysFromCivil(1900, 1, 1)))});
}
// smalldatetime: minutes since midnight, then days since 1900-01-01.
Bytes SmallDateTime(Moment m) {
    return Cat({LE16(static_cast<std::uint16_t>(m.nSeconds / 60)),
                LE16(static_cast<std::uint16_t>(m.nDays - DaysFromCivil(1900, 1, 1)))});
}
// date: three bytes of days since 0001-01-01.
Bytes Date(Moment m) {
    const auto n = static_cast<std::uint32_t>(m.nDays - DaysFromCivil(1, 1, 1));
    return {static_cast<std::uint8_t>(n), static_cast<std::uint8_t>(n >> 8),
            static_cast<std::uint8_t>(n >> 16)};
}
// time(7): five bytes of 100 ns units since midnight.
Bytes Time7(Moment m, std::uint32_t nFraction = 0) {
    const std::uint64_t n = static_cast<std::uint64_t>(m.nSeconds) * 10000000u + nFraction;
    const Bytes b = LE64(n);
    return Bytes(b.begin(), b.begin() + 5);
}
Bytes DateTime2(Moment m, std::uint32_t nFraction) {
    return Cat({Time7(m, nFraction), Date(m)});
}
// datetimeoffset(7): the UTC time and date, then the offset in minutes.
Bytes DateTimeOffset(Moment local, int nOffsetMinutes, std::uint32_t nFraction) {
    int nSeconds = local.nSeconds - nOffsetMinutes * 60, nDays = local.nDays;
    if (nSeconds < 0) {
        nSeconds += 86400;
        --nDays;
    } else if (nSeconds >= 86400) {
        nSeconds -= 86400;
        ++nDays;
    }
    return Cat({DateTime2({nDays, nSeconds}, nFraction),
                LE16(static_cast<std::uint16_t>(static_cast<std::int16_t>(nOffsetMinutes)))});
}
// decimal and numeric: a sign byte (1 positive) and the unscaled magnitude.
Bytes Decimal(std::int64_t nUnscaled, std::size_t nSize) {
    const auto nMagnitude = static_cast<std::uint64_t>(nUnscaled < 0 ? -nUnscaled : nUnscaled);
    Bytes b(nSize, 0);
    b[0] = nUnscaled < 0 ? 0 : 1;
    for (std::size_t i = 1; i < nSize && i <= 8; ++i)
        b[i] = static_cast<std::uint8_t>(nMagnitude >> (8 * (i - 1)));
    return b;
}
// float and real: the IEEE 754 bytes, little-endian like every supported host.
template <class T> Bytes Ieee(T v) {
    Bytes b(sizeof v);
    std::memcpy(b.data(), &v, sizeof v);
    return b;
}
Bytes PaddedAscii(std::string_view s, std::size_t n) {
    Bytes b = Ascii(s);
    b.resize(n, ' ');
    return b;
}
// Single-byte text of a Latin-1 collation (code page 1252 agrees with Latin-1 on every
// letter used here); other characters become '?'.
Bytes Latin1(std::string_view utf8) {
    const Bytes wide = Utf16Text(utf8);
    Bytes b;
    for (std::size_t i = 0; i + 1 < wide.size(); i += 2)
        b.push_back(wide[i + 1] == 0 ? wide[i] : static_cast<std::uint8_t>('?'));
    return b;
}
Bytes PaddedWide(std::string_view s, std::size_t nBytes) {
    Bytes b = Utf16Text(s);
    while (b.size() < nBytes) b.insert(b.end(), {' ', 0});
    b.resize(nBytes);
    return b;
}

Cell Str(std::string_view utf8) {
    return Val(Utf16Text(utf8));
}
Cell Tiny(int v) {
    return Val(Bytes{static_cast<std::uint8_t>(v)});
}
Cell Short(int v) {
    return Val(LE16(static_cast<std::uint16_t>(v)));
}

std::uint8_t PrecisionOf(std::uint8_t nType) {
    switch (nType) {
    case ST_TINYINT:
        return 3;
    case ST_SMALLINT:
        return 5;
    case ST_INT:
        return 10;
    case ST_BIGINT:
    case ST_MONEY:
        return 19;
    case ST_SMALLMONEY:
        return 10;
    case ST_BIT:
        return 1;
    case ST_FLOAT:
        return 53;
    case ST_REAL:
        return 24;
    case ST_DATETIME:
        return 23;
    case ST_SMALLDATETIME:
        return 16;
    case ST_DATE:
        return 10;
    default:
        return 0;
    }
}

ColumnSpec Col(const char* name, std::uint8_t nType, std::int16_t nLength, bool bNullable = true) {
    ColumnSpec c;
    c.strName = name;
    c.nSystemType = nType;
    c.nMaxLength = nLength;
    c.nPrecision = PrecisionOf(nType);
    c.nScale = nType == ST_MONEY || nType == ST_SMALLMONEY ? 4 : nType == ST_DATETIME ? 3 : 0;
    c.bNullable = bNullable;
    switch (nType) {
    case ST_CHAR:
    case ST_VARCHAR:
    case ST_NCHAR:
    case ST_NVARCHAR:
    case ST_TEXT:
    case ST_NTEXT:
        c.nCollationId = kCollation;
        break;
    default:
        break;
    }
    return c;
}
ColumnSpec Scaled(const char* name, std::uint8_t nType, std::int16_t nLength,
                  std::uint8_t nPrecision, std::uint8_t nScale) {
    ColumnSpec c = Col(name, nType, nLength);
    c.nPrecision = nPrecision;
    c.nScale = nScale;
    return c;
}
ColumnSpec Guid(const char* name, bool bNullable = false) {
    return Col(name, ST_UNIQUEIDENTIFIER, 16, bNullable);
}

// The leading bytes a stored document starts with, by its extension, so the streams look like
// the files they stand for.
Bytes FileHeader(std::string_view leaf) {
    const std::string ext = [&] {
        const std::size_t n = leaf.rfind('.');
        return n == std::string_view::npos ? std::string() : std::string(leaf.substr(n + 1));
    }();
    if (ext == "docx" || ext == "xlsx" || ext == "pptx" || ext == "zip")
        return Cat({Bytes{'P', 'K', 3, 4, 0x14, 0, 6, 0, 8, 0}, Bytes(16, 0),
                    Ascii("[Content_Types].xml")});
    if (ext == "pdf") return Ascii("%PDF-1.7\n%\xE2\xE3\xCF\xD3\n1 0 obj\n<< /Type /Catalog >>\n");
    if (ext == "png")
        return {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A, 0, 0, 0, 0x0D, 'I', 'H', 'D', 'R'};
    if (ext == "jpg") return {0xFF, 0xD8, 0xFF, 0xE0, 0, 0x10, 'J', 'F', 'I', 'F', 0, 1, 1};
    if (ext == "aspx")
        return Ascii("<%@ Page Inherits=\"Microsoft.SharePoint.Publishing.TemplateRedirectionPage"
                     "\" %>\r\n<html><head><title>");
    return {};
}

// The bytes of a document of nSize bytes: its header, then text (for text files) or bytes that
// do not repeat.
Bytes FileContent(std::string_view leaf, std::size_t nSize, std::uint64_t nSeed) {
    Rng rng(nSeed ^ Hash(leaf));
    Bytes b = FileHeader(leaf);
    const bool bText = leaf.ends_with(".txt") || leaf.ends_with(".aspx");
    static const char* const lines[] = {
        "Besprechung am Montag: Budgetplanung und offene Punkte.\r\n",
        "Action items: review the Q1 figures, update the forecast.\r\n",
        "Nächster Termin: Freitag, 10:00 Uhr, Raum 3.14.\r\n",
        "Notes kept in the team library for everyone to read.\r\n",
    };
    while (b.size() < nSize) {
        if (bText) {
            const Bytes l = Ascii(lines[rng.Below(4)]);
            b.insert(b.end(), l.begin(), l.end());
        } else {
            const Bytes r = rng.Fill(64);
            b.insert(b.end(), r.begin(), r.end());
        }
    }
    b.resize(nSize);
    return b;
}

// A large value as a table row holds it: in the row when it is small, else on text pages
// through an in-row root.
Cell MaxValue(Bytes b) {
    if (b.size() <= 3000) return Val(std::move(b));
    return Lob(std::move(b), LobForm::MaxRoot, 8000);
}

struct Profile {
    const char* pDatabase;
    const char* pFileName;
    std::uint16_t nVersion;
    SitesTable sites;
    const char* pSiteUrl;
    const char* pTitles[3];
    const char* pSubUrls[2];
};

// One document or folder of a library, its path relative to the library.
struct DocSpec {
    int nWeb; // 0 the root web, 1 and 2 the sub-sites, -1 the library without a site
    const char* pLibrary;
    const char* pPath;  // folders end with '/'
    std::int32_t nSize; // files
};

const DocSpec kDocs[] = {
    {0, "Shared Documents", "Reports/", 0},
    {0, "Shared Documents", "Reports/2025/", 0},
    {0, "Shared Documents", "Reports/2025/Jahresabschluss 2025.xlsx", 48213},
    {0, "Shared Documents", "Reports/2025/Q4 Report.docx", 31744},
    {0, "Shared Documents", "Reports/2026/", 0},
    {0, "Shared Documents", "Reports/2026/Q1 Report.docx", 28672},
    {0, "Shared Documents", "Reports/2026/Übersicht.docx", 19456},
    {0, "Shared Documents", "Reports/2026/Budget 2026.xlsx", 61440},
    {0, "Shared Documents", "Contracts/", 0},
    {0, "Shared Documents", "Contracts/Rahmenvertrag Müller GmbH.pdf", 73418},
    {0, "Shared Documents", "Contracts/NDA template.docx", 22528},
    {0, "Shared Documents", "Team meeting notes.txt", 1873},
    {0, "Shared Documents", "placeholder.txt", 0},
    {0, "Site Assets", "logo.png", 6234},
    {0, "Site Assets", "banner – Frühjahr.jpg", 45120},
    {0, "Site Pages", "Home.aspx", 3412},
    {0, "Site Pages", "Über uns.aspx", 2761},
    {1, "Shared Documents", "Kostenstellen/", 0},
    {1, "Shared Documents", "Kostenstellen/Kostenstellenplan 2024.xlsx", 38912},
    {1, "Shared Documents", "Kostenstellen/Abweichungsanalyse März.pptx", 55296},
    {1, "Shared Documents", "Forecast 2026.xlsx", 27136},
    {1, "Site Assets", "chart.png", 4096},
    {2, "Shared Documents", "Prüfbericht 2024.pdf", 66342},
    {2, "Shared Documents", "Findings/", 0},
    {2, "Shared Documents", "Findings/2025/", 0},
    {2, "Shared Documents", "Findings/2025/Finding 01 – Zugriffsrechte.docx", 17408},
    {-1, "Archiv 2019", "Altbestand.zip", 12288},
    {-1, "Archiv 2019", "Notizen.txt", 934},
};

struct Library {
    int nWeb;
    const char* pTitle;
    std::int32_t nServerTemplate;
    const char* pDescription;
};

const Library kLibraries[] = {
    {0, "Shared Documents", 101,
     "Share a document with the team by adding it to this document library."},
    {0, "Site Assets", 101, "Use this library to store files which are included on pages."},
    {0, "Site Pages", 119, "Use this library to create and store pages on this site."},
    {1, "Shared Documents", 101,
     "Share a document with the team by adding it to this document library."},
    {1, "Site Assets", 101, nullptr},
    {2, "Shared Documents", 101, nullptr},
    {2, "Site Assets", 101, nullptr},
    {-1, "Archiv 2019", 101, "Abgeschlossene Vorgänge bis Ende 2019."},
};

// Object ids handed out as the server spaces them.
class ObjectIds {
public:
    std::int32_t Take() {
        const std::int32_t n = m_nNext;
        m_nNext += 16000057;
        return n;
    }

private:
    std::int32_t m_nNext = 245575913;
};

std::string Lines(std::initializer_list<const char*> lines) {
    std::string s;
    for (const char* l : lines) s += std::string(l) + "\r\n";
    return s;
}

class Builder {
public:
    explicit Builder(const Profile& p) : m_p(p), m_rng(Hash(p.pDatabase)) {
        m_db.strName = p.pDatabase;
        m_db.nVersion = p.nVersion;
        m_db.nCollationId = kCollation;
        m_db.files = {{1, p.pDatabase, std::string("D:\\SQLData\\") + p.pDatabase + ".mdf", 2},
                      {2, std::string(p.pDatabase) + "_log",
                       std::string("D:\\SQLData\\") + p.pDatabase + "_log.ldf", 0x100042}};
        m_created = At(2023, 2, 14, 10, 12, 40);
    }

    WrittenDatabase Build(bool bCompressed) {
        Sites();
        Lists();
        Docs();
        TypeSamples();
        Audit();
        Users();
        Modules();
        WrittenDatabase w = WriteTables(m_db, m_tables);
        if (bCompressed) Compress(w);
        return w;
    }

private:
    // A table with a clustered primary key on its first columns and the key's object row.
    TableSpec& AddTable(const std::string& strName, std::vector<ColumnSpec> columns,
                        std::vector<std::int32_t> keys) {
        TableSpec t;
        t.object.nId = m_ids.Take();
        t.object.strName = strName;
        t.object.columns = std::move(columns);
        t.object.nCreated = t.object.nModified = Stamp(m_created);
        if (!keys.empty()) {
            const std::string strKey = "PK_" + strName;
            t.object.indexes = {IndexSpec{strKey, 1, 1, true, true, false, keys}};
            AddChild(strKey, "PK", t.object.nId);
        }
        m_tables.push_back(std::move(t));
        return m_tables.back();
    }
    std::int32_t AddChild(const std::string& strName, const char* type, std::int32_t nParent) {
        ObjectSpec o;
        o.nId = m_ids.Take();
        o.strName = strName;
        o.strType = type;
        o.nParentId = nParent;
        o.nCreated = o.nModified = Stamp(m_created);
        m_db.objects.push_back(o);
        return o.nId;
    }
    std::int32_t AddModule(const std::string& strName, const char* type, std::int32_t nParent,
                           std::string strText) {
        const std::int32_t nId = AddChild(strName, type, nParent);
        m_db.modules.push_back({nId, std::move(strText), std::nullopt, std::nullopt});
        return nId;
    }
    static std::uint64_t Stamp(Moment m) {
        const Bytes b = DateTime(m);
        return le::U64(b.data());
    }
    TableSpec& Table(const std::string& strName) {
        for (TableSpec& t : m_tables)
            if (t.object.strName == strName) return t;
        throw std::logic_error("no table " + strName);
    }
    std::string WebUrl(int nWeb) const {
        if (nWeb < 0) return std::string(m_p.pSiteUrl) + "/archiv";
        if (nWeb == 0) return m_p.pSiteUrl;
        return std::string(m_p.pSiteUrl) + "/" + m_p.pSubUrls[nWeb - 1];
    }
    const Bytes& WebId(int nWeb) const { return nWeb < 0 ? m_orphanWeb : m_webs[nWeb]; }

    void Sites() {
        const char* name = m_p.sites == SitesTable::Webs ? "Webs" : "AllWebs";
        TableSpec& t = AddTable(
            name,
            {Guid("Id"), Guid("SiteId"), Guid("ParentWebId", true),
             Col("FullUrl", ST_NVARCHAR, 512, false), Col("Title", ST_NVARCHAR, 510),
             Col("Description", ST_NVARCHAR, -1), Col("TimeCreated", ST_DATETIME, 8, false),
             Col("WebTemplate", ST_INT, 4, false), Col("Language", ST_INT, 4),
             Col("Author", ST_INT, 4)},
            {1});
        m_site = Guid(m_rng);
        m_orphanWeb = Guid(m_rng);
        const Moment created[] = {m_created, At(2023, 6, 1, 14, 3, 11), At(2024, 3, 11, 8, 47, 5)};
        const char* descriptions[] = {"Team site of the department.", nullptr,
                                      "Berichte und Prüfungen der internen Revision."};
        for (int k = 0; k < 3; ++k) {
            m_webs.push_back(Guid(m_rng));
            t.rows.push_back({{Val(m_webs[static_cast<std::size_t>(k)]), Val(m_site),
                               k == 0 ? Null() : Val(m_webs[0]), Str(WebUrl(k)),
                               Str(m_p.pTitles[k]), descriptions[k] ? Str(descriptions[k]) : Null(),
                               Val(DateTime(created[k])), Int(1), Int(1031), Int(1 + k)}});
        }
    }

    void Lists() {
        TableSpec& t = AddTable(
            "AllLists",
            {Guid("tp_WebId"), Guid("tp_ID"), Col("tp_Title", ST_NVARCHAR, 510, false),
             Col("tp_Description", ST_NVARCHAR, -1), Col("tp_Created", ST_DATETIME, 8, false),
             Col("tp_Modified", ST_DATETIME, 8, false), Col("tp_BaseType", ST_INT, 4, false),
             Col("tp_ServerTemplate", ST_INT, 4, false), Col("tp_ItemCount", ST_INT, 4, false),
             Col("tp_Hidden", ST_BIT, 1, false)},
            {1, 2});
        for (const Library& l : kLibraries) {
            m_lists.push_back(Guid(m_rng));
            int nItems = 0;
            for (const DocSpec& d : kDocs)
                if (d.nWeb == l.nWeb && std::string_view(d.pLibrary) == l.pTitle) ++nItems;
            const Moment created = Between(m_rng, At(2023, 2, 14), At(2024, 6, 1));
            t.rows.push_back({{Val(WebId(l.nWeb)), Val(m_lists.back()), Str(l.pTitle),
                               l.pDescription ? Str(l.pDescription) : Null(),
                               Val(DateTime(created)), Val(DateTime(Later(m_rng, created, 700))),
                               Int(1), Int(l.nServerTemplate), Int(nItems), Bit(false)}});
        }
    }

    void Docs() {
        TableSpec& docs =
            AddTable("AllDocs",
                     {Guid("Id"), Guid("SiteId"), Col("DirName", ST_NVARCHAR, 512, false),
                      Col("LeafName", ST_NVARCHAR, 256, false), Guid("WebId"), Guid("ListId", true),
                      Col("DoclibRowId", ST_INT, 4), Col("Type", ST_TINYINT, 1, false),
                      Col("Size", ST_INT, 4), Col("Version", ST_INT, 4),
                      Col("Level", ST_TINYINT, 1, false), Col("TimeCreated", ST_DATETIME, 8, false),
                      Col("TimeLastModified", ST_DATETIME, 8, false),
                      Col("ExtensionForFile", ST_NVARCHAR, 510), Col("CheckoutUserId", ST_INT, 4),
                      Col("UIVersion", ST_INT, 4, false)},
                     {1});
        const std::int32_t nDocs = docs.object.nId;
        TableSpec& streams =
            AddTable("AllDocStreams",
                     {Guid("Id"), Guid("SiteId"), Col("InternalVersion", ST_INT, 4, false),
                      Col("Size", ST_INT, 4), Col("Content", ST_VARBINARY, -1),
                      Col("RbsId", ST_VARBINARY, 64)},
                     {1});
        const std::int32_t nStreams = streams.object.nId;
        // Keys and constraints of the documents.
        AddModule("CK_AllDocs_Size", "C ", nDocs, "([Size]>=(0))");
        const std::int32_t nLevelDefault = AddModule("DF_AllDocs_Level", "D ", nDocs, "((1))");
        Table("AllDocs").object.columns[10].nDefaultObjectId = nLevelDefault;
        Table("AllDocs").object.indexes.push_back(
            IndexSpec{"UQ_AllDocs_Url", 2, 2, false, true, true, {2, 3, 4}});
        AddChild("UQ_AllDocs_Url", "UQ", nDocs);
        const std::int32_t nFkLists = AddChild("FK_AllDocs_AllLists", "F ", nDocs);
        m_db.foreignKeys.push_back(
            {nFkLists, nDocs, Table("AllLists").object.nId, {{5, 1}, {6, 2}}, 1});
        const std::int32_t nFkDocs = AddChild("FK_AllDocStreams_AllDocs", "F ", nStreams);
        m_db.foreignKeys.push_back({nFkDocs, nStreams, nDocs, {{1, 1}}, 1});

        auto row = [&](int nWeb, std::size_t nList, const std::string& dir, const std::string& leaf,
                       bool bFolder, std::int32_t nSize, std::int32_t nRowId, Moment created) {
            const Bytes id = Guid(m_rng);
            const Moment modified = Later(m_rng, created, 400);
            const std::size_t nDot = leaf.rfind('.');
            const bool bRoot = nRowId == 0;
            TableSpec& d = Table("AllDocs");
            d.rows.push_back(
                {{Val(id), Val(m_site), Str(dir), Str(leaf), Val(WebId(nWeb)), Val(m_lists[nList]),
                  bRoot ? Null() : Int(nRowId), Tiny(bFolder ? 1 : 0), Int(nSize),
                  Int(bFolder ? 0 : 512 * (1 + static_cast<int>(m_rng.Below(3)))), Tiny(1),
                  Val(DateTime(created)), Val(DateTime(modified)),
                  bFolder || nDot == std::string::npos ? Null() : Str(leaf.substr(nDot + 1)),
                  Null(), Int(bFolder ? 1 : 512)}});
            if (bFolder) return;
            Bytes content = FileContent(leaf, static_cast<std::size_t>(nSize), Hash(m_p.pDatabase));
            TableSpec& s = Table("AllDocStreams");
            s.rows.push_back({{Val(id), Val(m_site), Int(1 + nRowId % 3), Int(nSize),
                               MaxValue(std::move(content)), Null()}});
        };
        for (std::size_t n = 0; n < std::size(kLibraries); ++n) {
            const Library& l = kLibraries[n];
            const Moment libCreated = Between(m_rng, At(2023, 2, 14), At(2024, 6, 1));
            // The library's root folder, then its folders and files in path order.
            row(l.nWeb, n, WebUrl(l.nWeb), l.pTitle, true, 0, 0, libCreated);
            std::int32_t nRowId = 0;
            Moment clock = libCreated;
            for (const DocSpec& d : kDocs) {
                if (d.nWeb != l.nWeb || std::string_view(d.pLibrary) != l.pTitle) continue;
                std::string path = d.pPath;
                const bool bFolder = path.back() == '/';
                if (bFolder) path.pop_back();
                const std::size_t nSlash = path.rfind('/');
                std::string dir = WebUrl(l.nWeb) + "/" + l.pTitle;
                if (nSlash != std::string::npos) dir += "/" + path.substr(0, nSlash);
                const std::string leaf =
                    nSlash == std::string::npos ? path : path.substr(nSlash + 1);
                // Each item is created after the one before it: folders before their files.
                clock = Later(m_rng, clock, 90);
                row(l.nWeb, n, dir, leaf, bFolder, d.nSize, ++nRowId, clock);
            }
        }
    }

    void TypeSamples() {
        ColumnSpec id = Col("Id", ST_INT, 4, false);
        id.identity = std::make_pair(1, 1);
        id.nIdentityLast = 6;
        TableSpec& t = AddTable("FieldTypeSamples",
                                {id,
                                 Col("BigNumber", ST_BIGINT, 8),
                                 Col("SmallNumber", ST_SMALLINT, 2),
                                 Col("TinyNumber", ST_TINYINT, 1),
                                 Col("Flag", ST_BIT, 1),
                                 Scaled("Amount", ST_DECIMAL, 9, 12, 2),
                                 Scaled("Ratio", ST_NUMERIC, 5, 9, 4),
                                 Col("Price", ST_MONEY, 8),
                                 Col("Fee", ST_SMALLMONEY, 4),
                                 Col("Measure", ST_FLOAT, 8),
                                 Col("Approx", ST_REAL, 4),
                                 Col("Stamp", ST_DATETIME, 8),
                                 Col("ShortStamp", ST_SMALLDATETIME, 4),
                                 Col("Day", ST_DATE, 3),
                                 Scaled("Clock", ST_TIME, 5, 16, 7),
                                 Scaled("Precise", ST_DATETIME2, 8, 27, 7),
                                 Scaled("Zoned", ST_DATETIMEOFFSET, 10, 34, 7),
                                 Col("Code", ST_CHAR, 8),
                                 Col("Label", ST_VARCHAR, 40),
                                 Col("WideCode", ST_NCHAR, 12),
                                 Col("Name", ST_NVARCHAR, 160),
                                 Col("LongNote", ST_NVARCHAR, -1),
                                 Col("LongAscii", ST_VARCHAR, -1),
                                 Guid("RowGuid", true),
                                 Col("Hash", ST_BINARY, 8),
                                 Col("Blob", ST_VARBINARY, 64),
                                 Col("BigBlob", ST_VARBINARY, -1),
                                 Col("LegacyText", ST_TEXT, 16),
                                 Col("LegacyWide", ST_NTEXT, 16),
                                 Col("Picture", ST_IMAGE, 16)},
                                {1});
        AddModule("DF_FieldTypeSamples_TinyNumber", "D ", t.object.nId, "((0))");
        t.object.columns[3].nDefaultObjectId = m_db.objects.back().nId;
        AddModule("CK_FieldTypeSamples_Ratio", "C ", t.object.nId, "([Ratio]>=(0))");

        struct Sample {
            std::int64_t nBig;
            int nSmall, nTiny;
            bool bFlag;
            std::int64_t nAmountCents, nRatio, nPrice, nFee;
            double dMeasure;
            float fApprox;
            Moment when;
            int nOffset;
            const char *pCode, *pLabel, *pWide, *pName;
        };
        const Sample samples[] = {
            {9007199254740993, -32768, 0, true, 123456789, 15000, 19990000, 25000, 3.14159265358979,
             2.5f, At(2024, 2, 29, 23, 59, 59), 60, "AB-1234", "plain ASCII label", "DE",
             "Ünïcödé Näme"},
            {-42, 32767, 255, false, -500, 0, -12345, -1, -0.001, -1.0e10f,
             At(1999, 12, 31, 0, 0, 0), -300, "", "", "", ""},
            {0, 0, 1, true, 0, 99999999, 0, 0, 0.0, 0.0f, At(2026, 1, 1, 12, 30, 0), 0, "X", "x",
             "ÆØÅ", "Ελληνικά και русский"},
            {0, 0, 0, false, 0, 0, 0, 0, 0, 0, {}, 0, nullptr, nullptr, nullptr, nullptr},
            {INT64_MIN + 1, 1, 2, false, 99999999999, 1, 922337203685477, 2147483647, 6.02214076e23,
             3.4e38f, At(2025, 7, 4, 6, 15, 0), 330, "12345678", "Résumé (cp1252)", "日本",
             "emoji 😀 text"},
            {77, -1, 3, true, 1999, 31416, 9999, 10000, 273.15, 0.5f, At(2023, 10, 9, 17, 5, 30),
             -480, "ZZ", "last row", "ok", "Last"},
        };
        for (std::size_t k = 0; k < std::size(samples); ++k) {
            const Sample& s = samples[k];
            const auto nId = static_cast<std::int32_t>(k + 1);
            if (!s.pCode) { // every column NULL but the key
                TableRow r;
                r.cells.assign(t.object.columns.size(), Null());
                r.cells[0] = Int(nId);
                t.rows.push_back(std::move(r));
                continue;
            }
            const bool bLarge = k == 0;
            std::string longNote;
            while (longNote.size() < (bLarge ? 12000u : 300u))
                longNote += "Große Werte liegen außerhalb der Zeile. ";
            std::string longAscii(bLarge ? 9000u : 120u, 'a');
            for (std::size_t i = 0; i < longAscii.size(); ++i)
                longAscii[i] = static_cast<char>('a' + (i * 7 + k) % 26);
            const Bytes note = Utf16Text(longNote);
            t.rows.push_back({{
                Int(nId),
                BigInt(s.nBig),
                Short(s.nSmall),
                Tiny(s.nTiny),
                Bit(s.bFlag),
                Val(Decimal(s.nAmountCents, 9)),
                Val(Decimal(s.nRatio, 5)),
                Val(LE64(static_cast<std::uint64_t>(s.nPrice))),
                Val(LE32(static_cast<std::uint32_t>(s.nFee))),
                Val(Ieee(s.dMeasure)),
                Val(Ieee(s.fApprox)),
                Val(DateTime(s.when)),
                Val(SmallDateTime(s.when)),
                Val(Date(s.when)),
                Val(Time7(s.when, 1234567)),
                Val(DateTime2(s.when, 1234567)),
                Val(DateTimeOffset(s.when, s.nOffset, 5000000)),
                Val(PaddedAscii(s.pCode, 8)),
                Val(Latin1(s.pLabel)),
                Val(PaddedWide(s.pWide, 12)),
                Str(s.pName),
                bLarge ? Lob(note, LobForm::MaxRoot, 8000) : Val(note),
                bLarge ? Lob(Ascii(longAscii), LobForm::MaxRoot, 4000) : Val(Ascii(longAscii)),
                Val(Guid(m_rng)),
                Val(m_rng.Fill(8)),
                Val(m_rng.Fill(1 + k * 10)),
                bLarge ? Lob(m_rng.Fill(9000), LobForm::MaxRoot, 8000) : Val(m_rng.Fill(40)),
                Lob(Ascii(bLarge ? std::string(10000, 'T') : "short legacy text"),
                    bLarge ? LobForm::LargeRoot : LobForm::SmallRoot, 8000),
                Lob(Utf16Text("ntext: Grüße aus der alten Spalte"), LobForm::SmallRoot),
                Lob(Cat({FileHeader("x.png"), m_rng.Fill(bLarge ? 12000 : 200)}),
                    bLarge ? LobForm::Tree : LobForm::SmallRoot, 6000),
            }});
        }
    }

    void Audit() {
        TableSpec& t =
            AddTable("AuditData",
                     {Guid("SiteId"), Guid("ItemId"), Col("ItemType", ST_SMALLINT, 2, false),
                      Col("UserId", ST_INT, 4), Col("MachineName", ST_NVARCHAR, 256),
                      Col("MachineIp", ST_NVARCHAR, 40), Col("DocLocation", ST_NVARCHAR, 520),
                      Col("LocationType", ST_TINYINT, 1), Col("Occurred", ST_DATETIME, 8, false),
                      Col("Event", ST_INT, 4, false), Col("EventName", ST_NVARCHAR, 256),
                      Col("EventSource", ST_TINYINT, 1, false), Col("SourceName", ST_NVARCHAR, 512),
                      Col("EventData", ST_NVARCHAR, -1)},
                     {});
        AddModule("DF_AuditData_EventSource", "D ", t.object.nId, "((0))");
        t.object.columns[11].nDefaultObjectId = m_db.objects.back().nId;
        // Events of the documents over almost three years, oldest first.
        const TableSpec& docs = Table("AllDocs");
        const char* machines[] = {"SP-WFE01", "SP-WFE02", "SP-APP01"};
        const int nFrom = DaysFromCivil(2024, 1, 2), nTo = DaysFromCivil(2026, 11, 30);
        for (int k = 0; k < 2600; ++k) {
            const TableRow& d =
                docs.rows[m_rng.Below(static_cast<std::uint32_t>(docs.rows.size()))];
            const Moment when{nFrom + (nTo - nFrom) * k / 2600,
                              7 * 3600 + static_cast<int>(m_rng.Below(12 * 3600))};
            const int nEvent = 1 << m_rng.Below(4); // check out, check in, view, delete
            t.rows.push_back(
                {{Val(m_site), d.cells[0], Short(1), Int(1 + static_cast<int>(m_rng.Below(40))),
                  Str(machines[m_rng.Below(3)]),
                  k % 7 ? Str("10.20.1." + std::to_string(10 + m_rng.Below(200))) : Null(),
                  Val(Cat({d.cells[2].bytes, Utf16Text("/"), d.cells[3].bytes})), Tiny(1),
                  Val(DateTime(when)), Int(nEvent), Null(), Tiny(0), Null(),
                  k % 50 == 0 ? Str("<Version><AllVersions /></Version>") : Null()}});
        }
    }

    void Users() {
        TableSpec& t = AddTable(
            kCompressedTable,
            {Guid("tp_SiteID"), Col("tp_ID", ST_INT, 4, false),
             Col("tp_DomainGroup", ST_BIT, 1, false), Guid("tp_GUID", true),
             Col("tp_SystemID", ST_VARBINARY, 512), Col("tp_Deleted", ST_INT, 4, false),
             Col("tp_SiteAdmin", ST_BIT, 1, false), Col("tp_IsActive", ST_BIT, 1, false),
             Col("tp_Login", ST_NVARCHAR, 510, false), Col("tp_Title", ST_NVARCHAR, 510, false),
             Col("tp_Email", ST_NVARCHAR, 510), Col("tp_Notes", ST_NVARCHAR, 2046),
             Col("tp_Created", ST_DATETIME, 8, false), Col("tp_Locale", ST_INT, 4),
             Scaled("tp_Quota", ST_DECIMAL, 5, 9, 2), Col("tp_Flags", ST_SMALLINT, 2)},
            {1, 2});
        t.nRowsPerPage = 30;
        const char* first[] = {"Anna",  "Jürgen", "Søren",  "Zoë",   "Łukasz",
                               "Chloé", "Mehmet", "Ingrid", "Pedro", "Yuki"};
        const char* last[] = {"Müller", "Weiß",   "Hansen", "Dubois", "Nowak",
                              "García", "Yılmaz", "Berg",   "Costa",  "Tanaka"};
        const char* logins[] = {"amueller", "jweiss",  "shansen", "zdubois", "lnowak",
                                "cgarcia",  "myilmaz", "iberg",   "pcosta",  "ytanaka"};
        for (int k = 0; k < 60; ++k) {
            const std::size_t f = static_cast<std::size_t>(k % 10),
                              l = static_cast<std::size_t>((k * 7 + k / 10) % 10);
            const std::string login =
                "i:0#.w|contoso\\" + std::string(logins[f]) + (k >= 10 ? std::to_string(k) : "");
            const bool bGroup = k % 13 == 5;
            const Bytes sid = Cat({Bytes{1, 5, 0, 0, 0, 0, 0, 5, 0x15, 0, 0, 0}, m_rng.Fill(12),
                                   LE32(static_cast<std::uint32_t>(1100 + k))});
            m_users.push_back({
                m_site,
                LE32(static_cast<std::uint32_t>(k + 1)),
                Bytes{static_cast<std::uint8_t>(bGroup)},
                k % 4 ? StoredValue(Guid(m_rng)) : std::nullopt,
                k == 0 ? std::nullopt : StoredValue(sid),
                LE32(static_cast<std::uint32_t>(k % 17 == 3 ? k : 0)),
                Bytes{static_cast<std::uint8_t>(k < 3)},
                Bytes{static_cast<std::uint8_t>(k % 9 != 8)},
                Utf16Text(login),
                Utf16Text(bGroup ? "Finance Members" : std::string(first[f]) + " " + last[l]),
                k % 5 == 4 ? std::nullopt
                           : StoredValue(Utf16Text(std::string(logins[f]) + "@contoso.com")),
                k % 3 ? std::nullopt : StoredValue(Utf16Text("Abteilung Finanzen")),
                DateTime(Between(m_rng, At(2023, 2, 14), At(2026, 11, 30))),
                k % 2 ? StoredValue(LE32(1031)) : StoredValue(LE32(1033)),
                Decimal(static_cast<std::int64_t>(m_rng.Below(5000000)), 5),
                k % 7 ? StoredValue(LE16(static_cast<std::uint16_t>(k % 7))) : std::nullopt,
            });
            TableRow r;
            for (const StoredValue& v : m_users.back()) r.cells.push_back(v ? Val(*v) : Null());
            t.rows.push_back(std::move(r));
        }
    }

    void Modules() {
        const std::string sites = m_p.sites == SitesTable::Webs ? "Webs" : "AllWebs";
        AddModule("DocumentsView", "V ", 0,
                  Lines({"CREATE VIEW [dbo].[DocumentsView]", "AS",
                         "SELECT d.[Id], d.[SiteId], d.[WebId], d.[DirName], d.[LeafName], "
                         "d.[Size], d.[TimeLastModified]",
                         "FROM [dbo].[AllDocs] AS d", "WHERE d.[Type] = 0"}));
        AddModule(
            "proc_ListFolder", "P ", 0,
            Lines({"CREATE PROCEDURE [dbo].[proc_ListFolder]", "    @SiteId uniqueidentifier,",
                   "    @DirName nvarchar(256)", "AS", "BEGIN", "    SET NOCOUNT ON;",
                   "    SELECT [LeafName], [Type], [Size], [TimeLastModified]",
                   "    FROM [dbo].[AllDocs]",
                   "    WHERE [SiteId] = @SiteId AND [DirName] = @DirName",
                   "    ORDER BY [Type] DESC, [LeafName];", "END"}));
        AddModule(
            "proc_GetWebTitle", "P ", 0,
            Lines({"CREATE PROCEDURE [dbo].[proc_GetWebTitle] @WebId uniqueidentifier", "AS",
                   ("SELECT [Title], [FullUrl] FROM [dbo].[" + sites + "] WHERE [Id] = @WebId")
                       .c_str()}));
        AddModule("fn_DocUrl", "FN", 0,
                  Lines({"CREATE FUNCTION [dbo].[fn_DocUrl](@DirName nvarchar(256), "
                         "@LeafName nvarchar(128))",
                         "RETURNS nvarchar(385)", "AS", "BEGIN",
                         "    RETURN CASE WHEN @DirName = N'' THEN @LeafName "
                         "ELSE @DirName + N'/' + @LeafName END;",
                         "END"}));
        AddModule("trg_AllDocs_Delete", "TR", Table("AllDocs").object.nId,
                  Lines({"CREATE TRIGGER [dbo].[trg_AllDocs_Delete] ON [dbo].[AllDocs]",
                         "AFTER DELETE", "AS", "BEGIN", "    SET NOCOUNT ON;",
                         "    INSERT INTO [dbo].[AuditData] ([SiteId], [ItemId], [ItemType], "
                         "[Occurred], [Event], [EventSource], [DocLocation])",
                         "    SELECT d.[SiteId], d.[Id], 1, GETUTCDATE(), 8, 0, "
                         "d.[DirName] + N'/' + d.[LeafName]",
                         "    FROM deleted AS d;", "END"}));
    }

    // Replaces the compressed table's data pages with compressed pages holding the same rows,
    // page by page: page compression, except the last page, which keeps row compression only,
    // as the server leaves a page whose dictionary would not pay.
    void Compress(WrittenDatabase& w) {
        std::size_t nTable = 0;
        while (nTable < m_tables.size() && m_tables[nTable].object.strName != kCompressedTable)
            ++nTable;
        if (nTable == m_tables.size() || nTable >= w.tables.size())
            throw std::logic_error("no compressed table");
        const WrittenTable& wt = w.tables[nTable];
        std::vector<CompressedColumnType> types;
        for (const ColumnSpec& c : m_tables[nTable].object.columns)
            types.push_back({TypeCodeFromSystemType(c.nSystemType),
                             IsVariableColumn(c) ? 0 : std::max<std::int32_t>(c.nMaxLength, 1),
                             c.nScale});
        std::size_t nRow = 0;
        for (std::size_t k = 0; k < wt.dataPages.size(); ++k) {
            std::uint8_t* pPlain = w.PageAt(wt.dataPages[k]);
            const std::size_t nSlots = le::U16(pPlain + 22);
            const Compression mode =
                k + 1 < wt.dataPages.size() ? Compression::Page : Compression::Row;
            CompressedPageBuilder cb(types, mode, wt.nPageObjectId, wt.dataPages[k]);
            for (std::size_t i = 0; i < nSlots && nRow < m_users.size(); ++i)
                cb.AddRow(m_users[nRow++]);
            PageBuilder pb = cb.Builder();
            pb.Header().nIndexId = wt.nPageIndexId;
            if (k > 0) pb.Header().prev = wt.dataPages[k - 1];
            if (k + 1 < wt.dataPages.size()) pb.Header().next = wt.dataPages[k + 1];
            const Page p = pb.Build();
            std::copy(p.begin(), p.end(), pPlain);
        }
        if (nRow != m_users.size()) throw std::logic_error("compressed rows do not match");
    }

    const Profile& m_p;
    Rng m_rng;
    ObjectIds m_ids;
    DatabaseSpec m_db;
    std::vector<TableSpec> m_tables;
    Moment m_created;
    Bytes m_site, m_orphanWeb;
    std::vector<Bytes> m_webs, m_lists;
    std::vector<std::vector<StoredValue>> m_users; // the compressed table's rows, stored forms
};

const Profile kProfiles[] = {
    {"WSS_Content_Finance",
     "content-webs.mdf",
     661,
     SitesTable::Webs,
     "sites/finance",
     {"Finance", "Controlling", "Interne Revision"},
     {"controlling", "audit"}},
    {"WSS_Content_Projects",
     "content-allwebs.mdf",
     655,
     SitesTable::AllWebs,
     "sites/projects",
     {"Projekte", "Projekt Nordlicht", "Projekt Südwind"},
     {"nordlicht", "suedwind"}},
};

} // namespace

SampleDatabase BuildContentDatabase(SitesTable sites, bool bCompressed) {
    const Profile& p = kProfiles[sites == SitesTable::Webs ? 0 : 1];
    return {p.pFileName, Builder(p).Build(bCompressed)};
}

std::vector<SampleDatabase> BuildSampleDatabases() {
    std::vector<SampleDatabase> out;
    out.push_back(BuildContentDatabase(SitesTable::Webs));
    out.push_back(BuildContentDatabase(SitesTable::AllWebs));
    return out;
}

} // namespace qw::samples
