#include "rowdecode/ValueFormat.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cstring>
#include <limits>

#include "appstate/CDravoltBrevantProjApp.h"
#include "pagestore/Bytes.h"
#include "rowdecode/BinaryXml.h"
#include "rowdecode/ScalarRender.h"
#include "rowdecode/TextConvert.h"

namespace {

using Bytes = std::span<const std::uint8_t>;

// The first N bytes of the value, zero-filled where the value is shorter: a rule that reads
// more bytes than the value has reads zeros.
template <std::size_t N> std::array<std::uint8_t, N> Padded(Bytes v) {
    std::array<std::uint8_t, N> a{};
    std::copy_n(v.begin(), std::min(N, v.size()), a.begin());
    return a;
}

template <typename T> std::string Decimal(T v) {
    char buf[24];
    auto res = std::to_chars(buf, buf + sizeof buf, v);
    return std::string(buf, res.ptr);
}

std::string Hex(Bytes v, bool bPrefix) {
    static constexpr char kDigits[] = "0123456789ABCDEF";
    std::string out;
    out.reserve(v.size() * 2 + 2);
    if (bPrefix) out += "0x";
    for (std::uint8_t b : v) {
        out += kDigits[b >> 4];
        out += kDigits[b & 15];
    }
    return out;
}

// --- Single-byte text -------------------------------------------------------------------

int DefaultCodePage(const CDravoltBrevantProjApp& app) {
    return app.m_nDefaultCodePage;
}

// Converts the bytes before the first zero with code page nCodePage; code page 0 means the
// default single-byte page, and a code page without a converter widens byte for byte.
std::string CodePageText(Bytes v, int nCodePage, const CDravoltBrevantProjApp& app) {
    if (nCodePage == 0) nCodePage = DefaultCodePage(app);
    const Bytes b = text::UpToZero(v);
    std::string out;
    out.reserve(b.size());
    if (!text::AppendCodePage(out, b, nCodePage)) text::AppendWidened(out, b);
    return out;
}

std::string DefaultText(Bytes v, const CDravoltBrevantProjApp& app) {
    return CodePageText(v, DefaultCodePage(app), app);
}

// The text before the first zero byte in code page nCodePage, then one character per remaining
// byte of the value: "_" for a zero byte, the character with the same code otherwise. A fixed
// char value stays recognisable even when a damaged row put zeros into it.
std::string PaddedCodePageText(Bytes v, int nCodePage, const CDravoltBrevantProjApp& app) {
    std::string out = text::HasCodePage(nCodePage == 0 ? DefaultCodePage(app) : nCodePage)
                          ? CodePageText(v, nCodePage, app)
                          : DefaultText(v, app);
    for (std::size_t i = text::UpToZero(v).size(); i < v.size(); ++i) {
        if (v[i] == 0)
            out += '_';
        else
            text::AppendCodePoint(out, v[i]);
    }
    return out;
}

// A column's collation counts only inside a listing, and only when it names one.
bool CollationCounts(const TableColumn& column, const CDravoltBrevantProjApp& app) {
    return column.m_nCollationId != -1 && column.m_nCollationId != 0 &&
           app.m_bListingMode.load(std::memory_order_relaxed);
}

// The database's collation id as recorded may have been read unsigned; compare the 32 bits.
bool IsDatabaseCollation(std::int32_t nId, const CDravoltBrevantProjApp& app) {
    return app.m_bCollationFound && static_cast<std::int32_t>(app.m_nCollationId) == nId;
}

// varchar and text.
std::string VarcharText(Bytes v, const TableColumn& column, const CDravoltBrevantProjApp& app) {
    int nCodePage = DefaultCodePage(app);
    if (CollationCounts(column, app)) {
        const std::int64_t nId = column.m_nCollationId;
        if (IsDatabaseCollation(column.m_nCollationId, app))
            nCodePage = app.m_nCollationCodePage;
        else if (const CollationEntry* pEntry = app.FindCollation(nId))
            nCodePage = pEntry->nCodePage;
    }
    return CodePageText(v, nCodePage, app);
}

// char.
std::string CharText(Bytes v, const TableColumn& column, const CDravoltBrevantProjApp& app) {
    if (CollationCounts(column, app)) {
        if (const CollationEntry* pEntry = app.FindCollation(column.m_nCollationId)) {
            if (app.m_bCollationFound) return PaddedCodePageText(v, pEntry->nCodePage, app);
            return CodePageText(v, pEntry->nCodePage, app);
        }
    }
    return DefaultText(v, app);
}

std::string Utf16Text(Bytes v) {
    std::string out;
    out.reserve(v.size() / 2);
    text::AppendUtf16(out, v);
    return out;
}

// ntext and the text of variant large objects: UTF-16 when it looks like it, else single-byte.
std::string WideOrDefaultText(Bytes v, const CDravoltBrevantProjApp& app) {
    if (LooksLikeUtf16(v.data(), v.size())) return Utf16Text(v);
    return DefaultText(v, app);
}

std::string BitValue(ValueDescriptor& desc, Bytes v) {
    if (desc.m_nLength <= 0) return "False";
    desc.m_nDeclaredLength = 0;
    const std::uint8_t nByte = v.empty() ? 0 : v[0];
    BitCursor* pCursor = desc.m_pBitCursor;
    if (desc.m_nLength != 1 || !pCursor) return std::string();
    // Index 8 (or anything a byte cannot hold) means the previous byte is used up.
    if (pCursor->m_nNextBit < 0 || pCursor->m_nNextBit >= 8) pCursor->m_bLoaded = 0;
    if (!pCursor->m_bLoaded) {
        pCursor->m_nCurrentByte = nByte;
        pCursor->m_nNextBit = 0;
        pCursor->m_bLoaded = 1;
        pCursor->m_bNewByte = 1;
        desc.m_nSize = 1;
        desc.m_nLength = 1;
        desc.m_nDeclaredLength = 1;
    } else {
        desc.m_nSize = 0;
        desc.m_nLength = 1;
        desc.m_nDeclaredLength = 0;
        pCursor->m_bNewByte = 0;
    }
    const bool bSet = (pCursor->m_nCurrentByte >> pCursor->m_nNextBit) & 1;
    ++pCursor->m_nNextBit;
    return bSet ? "True" : "False";
}

} // namespace

std::int32_t DeclaredLength(const std::string& strType) {
    const std::size_t nOpen = strType.find('(');
    const std::size_t nClose = strType.find(')');
    if (nOpen == std::string::npos || nClose == std::string::npos || nClose < nOpen) return 0;
    std::size_t i = nOpen + 1;
    while (i < nClose && (strType[i] == ' ' || strType[i] == '\t')) ++i;
    bool bNegative = false;
    if (i < nClose && (strType[i] == '-' || strType[i] == '+')) bNegative = strType[i++] == '-';
    std::int64_t v = 0;
    for (; i < nClose && strType[i] >= '0' && strType[i] <= '9'; ++i)
        v = std::min<std::int64_t>(v * 10 + (strType[i] - '0'),
                                   std::numeric_limits<std::int32_t>::max());
    return static_cast<std::int32_t>(bNegative ? -v : v);
}

ValueDescriptor InitValueDescriptor(const TableColumn& column, BitCursor& cursor) {
    ValueDescriptor d;
    d.m_nTypeCode = column.m_nTypeCode;
    const auto nMax = column.m_nMaxLength;
    auto set = [&d](bool bVariable, std::int32_t nSize, std::int32_t nLength) {
        d.m_bVariable = bVariable ? 1 : 0;
        d.m_nSize = static_cast<std::int16_t>(nSize);
        d.m_nLength = nLength;
    };
    switch (column.m_nTypeCode) {
    case TYPE_BIGINT:
    case TYPE_DATETIME:
    case TYPE_DATETIME2:
    case TYPE_MONEY:
    case TYPE_FLOAT:
    case TYPE_TIMESTAMP:
        set(false, 8, 8);
        break;
    case TYPE_BINARY:
    case TYPE_CHAR:
    case TYPE_DECIMAL:
        set(false, nMax, nMax);
        break;
    case TYPE_BIT:
        d.m_pBitCursor = &cursor;
        cursor.m_bNewByte = cursor.m_nNextBit == 8 ? 1 : 0;
        set(false, cursor.m_bNewByte, 1);
        break;
    case TYPE_DATE:
        set(false, 3, 3);
        break;
    case TYPE_TIME:
        set(false, 5, 5);
        break;
    case TYPE_DATETIMEOFFSET:
        set(false, 10, 10);
        break;
    case TYPE_INT:
    case TYPE_SMALLDATETIME:
    case TYPE_REAL:
    case TYPE_SMALLMONEY:
        set(false, 4, 4);
        break;
    case TYPE_NCHAR:
    case TYPE_NVARCHAR:
    case TYPE_NTEXT:
    case TYPE_SQL_VARIANT:
    case TYPE_TEXT:
    case TYPE_HIERARCHYID:
    case TYPE_GEOMETRY:
    case TYPE_CLR:
        set(column.m_bVariableLength, nMax, nMax);
        break;
    case TYPE_SMALLINT:
        set(false, 2, 2);
        break;
    case TYPE_TINYINT:
        set(false, 1, 1);
        break;
    case TYPE_UNIQUEIDENTIFIER:
        set(false, 16, 16);
        break;
    case TYPE_VARBINARY:
        set(true, 0, nMax);
        break;
    case TYPE_VARCHAR:
        set(column.m_bVariableLength, 0, nMax);
        break;
    case TYPE_NUMERIC:
        set(false, 19, 19);
        break;
    case TYPE_IMAGE:
    case TYPE_XML:
        set(true, 0, nMax);
        break;
    default:
        set(false, 0, 0);
        break;
    }
    return d;
}

bool LooksLikeUtf16(const std::uint8_t* pBytes, std::size_t n) {
    if (!pBytes) return n == 0;
    const auto nZeros = static_cast<std::size_t>(std::count(pBytes, pBytes + n, std::uint8_t{0}));
    return nZeros == n / 2;
}

std::string XmlValueText(std::span<const std::uint8_t> bytes) {
    std::string out = binxml::Decode(bytes);
    return out.empty() ? std::string(" ") : out;
}

std::string FormatColumnValue(ValueDescriptor& desc, const std::uint8_t* pData,
                              const TableColumn& column, const CDravoltBrevantProjApp& app) {
    if (!pData) return std::string();
    if (desc.m_nDeclaredLength == 0) desc.m_nDeclaredLength = DeclaredLength(column.m_strType);
    if (desc.m_bVariable)
        desc.m_nAvailable = desc.m_nLength > 0 ? std::uint64_t(desc.m_nLength) : 0;

    const std::int32_t nLength = desc.m_nLength;
    const std::uint64_t nAvailable = desc.m_nAvailable;
    const std::int32_t nCode = desc.m_nTypeCode;

    // Never read past what the caller said is there.
    std::int64_t nValueLength = nLength;
    if (nCode == TYPE_SQL_VARIANT) {
        nValueLength -= 8;
        if (nValueLength <= 0) return std::string();
    }
    const std::size_t nCopy = static_cast<std::size_t>(
        std::min<std::uint64_t>(nValueLength > 0 ? std::uint64_t(nValueLength) : 0, nAvailable));
    const Bytes v(pData, nCopy);

    const bool bInBounds = nLength >= 1 && std::uint64_t(nLength) <= nAvailable;
    const bool bPositive = nLength >= 1;
    // Fixed-size rules: the check, and afterwards the length becomes the declared length.
    auto fixedOk = [&](std::int64_t nNeed) {
        desc.m_nLength = desc.m_nDeclaredLength;
        return bPositive && (nNeed <= 0 || std::uint64_t(nNeed) <= nAvailable);
    };
    const std::int32_t nFixed = desc.m_nDeclaredLength;

    switch (nCode) {
    case TYPE_BIGINT:
        if (!bInBounds) return std::string();
        return Decimal(le::I64(Padded<8>(v).data()));
    case TYPE_BINARY:
        return bInBounds ? Hex(v, true) : std::string();
    case TYPE_BIT:
        return BitValue(desc, v);
    case TYPE_CHAR:
        return bInBounds ? CharText(v, column, app) : std::string();
    case TYPE_DATETIME:
        return fixedOk(8) ? render::DateTime(v) : std::string();
    case TYPE_DATE:
        return fixedOk(3) ? render::Date(v) : std::string();
    case TYPE_TIME:
        return fixedOk(nFixed) ? render::Time(v, nFixed, column.m_nScale) : std::string();
    case TYPE_DATETIME2:
        return fixedOk(nFixed) ? render::DateTime2(v, nFixed, column.m_nScale) : std::string();
    case TYPE_DATETIMEOFFSET:
        return fixedOk(nFixed) ? render::DateTimeOffset(v, nFixed, column.m_nScale) : std::string();
    case TYPE_INT:
        if (!bInBounds) return std::string();
        return Decimal(le::I32(Padded<4>(v).data()));
    case TYPE_NCHAR:
        return bInBounds ? Utf16Text(v) : std::string();
    case TYPE_NVARCHAR:
        return bPositive ? Utf16Text(v) : std::string();
    case TYPE_SMALLINT:
        if (!bInBounds) return std::string();
        return Decimal(static_cast<int>(le::I16(Padded<2>(v).data())));
    case TYPE_TINYINT:
        if (!bInBounds) return std::string();
        return Decimal(static_cast<int>(Padded<1>(v)[0]));
    case TYPE_UNIQUEIDENTIFIER: {
        desc.m_nLength = desc.m_nDeclaredLength;
        return bInBounds ? render::Guid(v) : std::string();
    }
    case TYPE_VARBINARY:
        return bPositive ? Hex(v, false) : std::string();
    case TYPE_VARCHAR:
        return bPositive ? VarcharText(v, column, app) : std::string();
    case TYPE_NTEXT:
        return bPositive ? WideOrDefaultText(v, app) : std::string();
    case TYPE_SQL_VARIANT:
        return WideOrDefaultText(v, app);
    case TYPE_MONEY:
        return fixedOk(nFixed) ? render::Money(v, 8) : std::string();
    case TYPE_FLOAT:
        return bInBounds ? render::Float(v, true) : std::string();
    case TYPE_NUMERIC:
    case TYPE_DECIMAL:
        return fixedOk(nFixed) ? render::Decimal(v, column.m_nPrecision, column.m_nScale)
                               : std::string();
    case TYPE_TEXT:
        return bPositive ? VarcharText(v, column, app) : std::string();
    case TYPE_SMALLDATETIME:
        return fixedOk(4) ? render::SmallDateTime(v) : std::string();
    case TYPE_REAL:
        return bInBounds ? render::Real(v, true) : std::string();
    case TYPE_SMALLMONEY:
        return fixedOk(nFixed) ? render::Money(v, 4) : std::string();
    case TYPE_TIMESTAMP: {
        desc.m_nLength = desc.m_nDeclaredLength;
        return bInBounds ? Hex(v, true) : std::string();
    }
    case TYPE_HIERARCHYID:
        return bPositive ? Hex(v, true) : std::string();
    case TYPE_GEOMETRY:
        return bPositive ? Hex(v, false) : std::string();
    case TYPE_CLR:
        return bInBounds ? Hex(v, true) : std::string();
    case TYPE_XML:
        return bPositive ? XmlValueText(v) : std::string();
    default:
        return std::string(); // 12, 18, 25 (image) and unknown codes
    }
}

std::string FormatVariantValue(ValueDescriptor& desc, const std::uint8_t* pData, int nTotalLength,
                               const TableColumn& /*column*/, const CDravoltBrevantProjApp& app) {
    desc.m_nDeclaredLength = 0;
    if (!pData || nTotalLength < 1) return std::string();
    const Bytes v(pData, static_cast<std::size_t>(nTotalLength));
    const std::uint8_t nBase = v[0];
    if (nBase == 108) desc.m_nDeclaredLength = nTotalLength - 4;
    const int n = nTotalLength;
    const Bytes data2 = v.subspan(std::min<std::size_t>(2, v.size()));

    switch (nBase) {
    case 127:
        if (n != 10) break;
        return Decimal(le::I64(data2.data()));
    case 56:
        if (n != 6) break;
        return Decimal(le::I32(data2.data()));
    case 52:
        if (n != 4) break;
        return Decimal(static_cast<int>(le::I16(data2.data())));
    case 48:
        if (n != 3) break;
        return Decimal(static_cast<int>(data2[0]));
    case 104:
        if (n != 3) break;
        return data2[0] != 0 ? "True" : "False";
    case 62:
        if (n != 10) break;
        return render::Float(data2, false);
    case 59:
        if (n != 6) break;
        return render::Real(data2, false);
    case 60:
        if (n != 10) break;
        return render::Money(data2, 8);
    case 122:
        if (n != 6) break;
        return render::Money(data2, 4);
    case 61:
        if (n != 10) break;
        return render::DateTime(data2);
    case 58:
        if (n != 6) break;
        return render::SmallDateTime(data2);
    case 40:
        if (n != 5) break;
        return render::Date(data2);
    case 41:
    case 42:
    case 43: {
        if (n <= 3) break;
        const int nScale = v[2];
        const Bytes t = v.subspan(3);
        const int nCount = n - 3;
        if (nBase == 41) return render::Time(t, nCount, nScale);
        if (nBase == 42) return render::DateTime2(t, nCount, nScale);
        return render::DateTimeOffset(t, nCount, nScale);
    }
    case 106:
    case 108:
        if (n <= 4) break;
        return render::Decimal(v.subspan(4), v[2], v[3]);
    case 36:
        if (n != 18) break;
        return render::Guid(data2);
    case 165:
    case 173:
        // Bytes, not text: shown as binary columns are, whatever zeros they hold.
        if (n <= 4) break;
        return Hex(v.subspan(4), true);
    case 175:
        if (n <= 8) break;
        return DefaultText(v.subspan(8), app);
    case 167: {
        if (n <= 8) break;
        std::string out;
        text::AppendWidened(out, text::UpToZero(v.subspan(8)));
        return out;
    }
    case 231:
    case 239:
        if (n <= 8) break;
        return Utf16Text(v.subspan(8));
    case 240:
        if (n <= 2) break;
        return Hex(data2, true);
    default:
        break;
    }
    return std::string();
}
