#include "pagestore/CBootPage.h"

#include <span>

#include "pagestore/Bytes.h"
#include "pagestore/Text.h"

std::string CBootPage::VersionText(std::uint16_t nVersion) {
    switch (nVersion) {
    case 408:
        return " SQL Server 6.5";
    case 515:
        return " SQL Server 7.0";
    case 539:
        return " SQL Server 2000";
    case 611:
        return " SQL Server 2005";
    case 612:
        return " SQL Server 2005 SP2+ with VarDecimal enabled";
    case 655:
        return " SQL Server 2008";
    case 660:
    case 661:
        return " SQL Server 2008 R2";
    case 684:
        return " SQL Server 2012 CTP1";
    case 706:
        return " SQL Server 2012";
    case 782:
        return " SQL Server 2014";
    case 852:
        return " SQL Server 2016";
    case 868:
    case 869:
        return " SQL Server 2017";
    case 904:
        return " SQL Server 2019";
    case 957:
        return " SQL Server 2022";
    default:
        return "Unknown SQL Version";
    }
}

namespace {

void StoreCollation(CDravoltBrevantProjApp& app, std::int64_t nKey, const CollationEntry& e) {
    app.m_bCollationFound = true;
    app.m_nCollationId = nKey;
    app.m_nCollationCodePage = e.nCodePage;
    app.m_strCollationName = e.strName;
}

} // namespace

bool SelectCollation(CDravoltBrevantProjApp& app, std::int32_t nBootCollationId) {
    if (!app.m_bAutoCollation) {
        const CollationEntry* e = app.FindCollation(app.m_nManualCollationId);
        if (e) StoreCollation(app, app.m_nManualCollationId, *e);
        return e != nullptr;
    }
    const std::int64_t nFull = nBootCollationId;
    if (const CollationEntry* e = app.FindCollation(nFull)) {
        StoreCollation(app, nFull, *e);
        return true;
    }
    const std::int64_t nLow = static_cast<std::uint32_t>(nBootCollationId) & 0xFFFF;
    if (const CollationEntry* e = app.FindCollation(nLow)) {
        StoreCollation(app, nLow, *e);
        return true;
    }
    return false;
}

CBootPage::CBootPage(const std::uint8_t* pPage, CDravoltBrevantProjApp& app) {
    m_nVersion = le::U16(pPage + 100);
    app.m_strVersion = VersionText(m_nVersion);

    // The name is stored as up to 104 UTF-16 units, padded with zeros or with blank bytes (so
    // the padding reads as units 0x2020); a blank after the first character ends it.
    std::size_t nUnits = 0;
    while (nUnits < 104 && le::U16(pPage + 148 + 2 * nUnits) != 0 &&
           le::U16(pPage + 148 + 2 * nUnits) != 0x2020)
        ++nUnits;
    std::string name = text::Utf16ToUtf8(std::span<const std::uint8_t>(pPage + 148, 2 * nUnits));
    const std::size_t nBlank = name.find(' ');
    if (nBlank != std::string::npos && nBlank != 0) name.resize(nBlank);
    // A field of blanks only holds no name.
    if (name.find_first_not_of(' ') == std::string::npos) name.clear();
    m_strDatabaseName = std::move(name);

    m_nCollationId = le::I32(pPage + 488);
    SelectCollation(app, m_nCollationId);
}
