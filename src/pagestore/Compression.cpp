#include "pagestore/Compression.h"

#include <unicode/ucnv.h>

#include <algorithm>

#include "appstate/CDravoltBrevantProjApp.h"
#include "pagestore/Bytes.h"
#include "pagestore/CPage_Header.h"
#include "pagestore/RowLayout.h"
#include "pagestore/TypeCodes.h"

namespace {

using ByteVec = std::vector<std::uint8_t>;
using ByteSpan = std::span<const std::uint8_t>;

// Upper bounds of the compression information record and its dictionary.
constexpr int kMaxInfoSize = 4096;
constexpr std::size_t kCiStart = kPageHeaderSize;

// Anchor values from the anchor row's descriptors: every column gets an entry, so that entry b
// always belongs to column b.
std::vector<AnchorValue> AnchorValues(const CPrimaryRecord& anchor,
                                      const CDravoltBrevantProjApp& app) {
    std::vector<AnchorValue> values;
    std::size_t nShort = 0, nLong = 0;
    const ByteVec& shortData = anchor.m_fixedData;
    for (std::uint8_t d : anchor.m_columnDescriptors) {
        if (app.StopRequested()) break;
        AnchorValue v;
        if (d == CD_EMPTY) {
            v.nLength = -1;
        } else if (d >= CD_SHORT_1 && d <= CD_SHORT_8) {
            const std::size_t n = static_cast<std::size_t>(ShortSize(d));
            if (nShort + n <= shortData.size()) {
                v.bytes.assign(shortData.begin() + static_cast<std::ptrdiff_t>(nShort),
                               shortData.begin() + static_cast<std::ptrdiff_t>(nShort + n));
                v.nLength = static_cast<std::int32_t>(n);
            }
            nShort += n;
        } else if (d == CD_LONG) {
            if (nLong < anchor.m_varValues.size() && anchor.m_varValues[nLong].HasBytes()) {
                const ByteSpan s = anchor.m_varValues[nLong].Value();
                v.bytes.assign(s.begin(), s.end());
                v.nLength = static_cast<std::int32_t>(s.size());
            }
            ++nLong;
        } else {
            nShort += static_cast<std::size_t>(ShortSize(d)); // a symbol is no anchor value
        }
        values.push_back(std::move(v));
    }
    return values;
}

void DecodeDictionary(CompressionInfo& ci, ByteSpan page) {
    const int nSize = ci.nRecordSize;
    const int nOffset = ci.nDictionaryOffset;
    if (!(0 < nOffset && nOffset < nSize && nSize < kMaxInfoSize &&
          static_cast<int>(kCiStart) + nOffset < kMaxInfoSize))
        return;
    const std::size_t nStart = kCiStart + static_cast<std::size_t>(nOffset);
    const int nCount = le::U16At(page, nStart);
    std::vector<int> ends;
    for (int k = 0; k < nCount; ++k) {
        const std::size_t at = nStart + 2 + 2 * static_cast<std::size_t>(k);
        if (at + 2 > page.size()) break;
        const int nEnd = le::U16(page.data() + at);
        if (nEnd > kMaxInfoSize) break;
        ends.push_back(nEnd);
    }
    // Entries must lie inside the record (and so inside the page).
    const int nLimit = nSize - nOffset;
    int nPrev = 2 + 2 * nCount;
    for (int nEnd : ends) {
        CompressionInfo::Entry e;
        const int nLen = nEnd - nPrev;
        if (nLen > 0 && nLen < nSize && nPrev < kMaxInfoSize && nEnd <= nLimit) {
            e.bytes.assign(page.begin() + static_cast<std::ptrdiff_t>(nStart) + nPrev,
                           page.begin() + static_cast<std::ptrdiff_t>(nStart) + nEnd);
            e.bValid = true;
        }
        ci.dictionary.push_back(std::move(e));
        nPrev = nEnd;
    }
}

// A value stored as the number of leading bytes taken from the anchor value, then the rest.
bool ExpandPrefix(const AnchorValue& anchor, ByteSpan stored, ByteVec& out) {
    if (stored.empty()) return false;
    const std::size_t p = stored[0];
    if (anchor.bytes.size() < p) return false;
    out.assign(anchor.bytes.begin(), anchor.bytes.begin() + static_cast<std::ptrdiff_t>(p));
    out.insert(out.end(), stored.begin() + 1, stored.end());
    return true;
}

// Integers: big-endian in the fewest bytes with the top bit flipped; out is the little-endian
// two's complement of nWidth bytes.
bool SignedInteger(ByteSpan c, std::size_t nWidth, ByteVec& out) {
    if (c.size() > nWidth) return false;
    out.assign(nWidth, 0);
    if (c.empty()) return true;
    const std::size_t n = c.size();
    auto be = [&c](std::size_t i) {
        return i == 0 ? static_cast<std::uint8_t>(c[0] ^ 0x80) : c[i];
    };
    const std::uint8_t fill = (be(0) & 0x80) ? 0xFF : 0x00;
    for (std::size_t k = 0; k < nWidth; ++k) out[k] = k < n ? be(n - 1 - k) : fill;
    return true;
}

// Unsigned integer forms (date and time types): big-endian with leading zero bytes dropped.
bool UnsignedInteger(ByteSpan c, std::size_t nWidth, ByteVec& out) {
    if (c.size() > nWidth) return false;
    out.assign(nWidth, 0);
    for (std::size_t k = 0; k < c.size(); ++k) out[k] = c[c.size() - 1 - k];
    return true;
}

// Floating point: the IEEE value big-endian with trailing zero bytes dropped.
bool Floating(ByteSpan c, std::size_t nWidth, ByteVec& out) {
    if (c.size() > nWidth) return false;
    out.assign(nWidth, 0);
    for (std::size_t k = 0; k < c.size(); ++k) out[nWidth - 1 - k] = c[k];
    return true;
}

// Decimal and numeric: compressed as a variable-length decimal (a sign and exponent byte, then
// three-digit groups of 10 bits each), stored as a sign byte and a little-endian magnitude of
// the value times 10^scale.
bool Vardecimal(ByteSpan c, std::int32_t nStorageSize, std::int32_t nScale, ByteVec& out) {
    if (nStorageSize != 5 && nStorageSize != 9 && nStorageSize != 13 && nStorageSize != 17)
        return false;
    const std::size_t nMagnitude = static_cast<std::size_t>(nStorageSize - 1);
    if (c.empty()) {
        out.assign(static_cast<std::size_t>(nStorageSize), 0);
        out[0] = 1;
        return true;
    }
    if (nScale < 0 || nScale > 38) return false;
    const bool bPositive = (c[0] & 0x80) != 0;
    const int nExponent = (c[0] & 0x7F) - 64;
    // Trailing zero bits may be left out, so a last partial group is read with zeros after it.
    const std::size_t nBits = (c.size() - 1) * 8;
    std::vector<unsigned> groups((nBits + 9) / 10);
    for (std::size_t g = 0; g < groups.size(); ++g) {
        unsigned v = 0;
        for (std::size_t b = 0; b < 10; ++b) {
            const std::size_t bit = g * 10 + b;
            const unsigned nBit = bit < nBits ? (c[1 + bit / 8] >> (7 - bit % 8)) & 1u : 0u;
            v = (v << 1) | nBit;
        }
        if (v > 999) return false;
        groups[g] = v;
    }
    std::vector<std::uint8_t> digits;
    for (unsigned v : groups)
        digits.insert(digits.end(),
                      {static_cast<std::uint8_t>(v / 100), static_cast<std::uint8_t>(v / 10 % 10),
                       static_cast<std::uint8_t>(v % 10)});
    // The digits d1 d2 d3 ... stand for d1.d2d3... x 10^exponent; the stored magnitude is that
    // times 10^scale: the first (exponent + 1 + scale) digits, with zeros appended when there
    // are fewer (digits below the scale are dropped).
    const int nWanted = nExponent + 1 + nScale;
    if (nWanted > 39) return false;
    unsigned __int128 m = 0;
    constexpr unsigned __int128 kMax = ~static_cast<unsigned __int128>(0);
    for (int k = 0; k < nWanted; ++k) {
        const unsigned d =
            static_cast<std::size_t>(k) < digits.size() ? digits[static_cast<std::size_t>(k)] : 0;
        if (m > (kMax - d) / 10) return false;
        m = m * 10 + d;
    }
    if (nMagnitude < 16 && (m >> (8 * nMagnitude)) != 0) return false;
    out.assign(static_cast<std::size_t>(nStorageSize), 0);
    out[0] = bPositive ? 1 : 0;
    for (std::size_t k = 0; k < nMagnitude; ++k)
        out[1 + k] = static_cast<std::uint8_t>(m >> (8 * k));
    return true;
}

// Unicode values: SCSU when the length is odd, UTF-16LE as is when it is even.
ByteVec UnicodeValue(ByteSpan c) {
    if (c.size() % 2 == 0) return ByteVec(c.begin(), c.end());
    return ScsuToUtf16(c);
}

void Pad(ByteVec& v, std::int32_t nSize, std::initializer_list<std::uint8_t> unit) {
    if (nSize <= 0) return;
    const std::size_t n = static_cast<std::size_t>(nSize);
    while (v.size() + unit.size() <= n) v.insert(v.end(), unit);
}

// Default storage sizes of the date and time types when the layout gives none.
std::size_t TemporalWidth(std::int32_t nType, std::int32_t nStorageSize) {
    if (nStorageSize > 0) return static_cast<std::size_t>(nStorageSize);
    switch (nType) {
    case TYPE_DATE:
        return 3;
    case TYPE_SMALLDATETIME:
        return 4;
    case TYPE_TIME:
        return 5;
    case TYPE_DATETIME2:
        return 8;
    default:
        return 10;
    }
}

struct Converter {
    UConverter* p = nullptr;
    Converter() {
        UErrorCode err = U_ZERO_ERROR;
        p = ucnv_open("SCSU", &err);
        if (U_FAILURE(err)) p = nullptr;
    }
    ~Converter() {
        if (p) ucnv_close(p);
    }
};

UConverter* Scsu() {
    thread_local Converter c;
    if (c.p) ucnv_reset(c.p);
    return c.p;
}

} // namespace

std::vector<std::uint8_t> ScsuToUtf16(std::span<const std::uint8_t> scsu) {
    UConverter* cnv = Scsu();
    if (!cnv || scsu.empty() || scsu.size() > kPageSize) return {};
    // A byte yields at most two UTF-16 units (a supplementary character in a window).
    std::vector<UChar> units(2 * scsu.size() + 2);
    UErrorCode err = U_ZERO_ERROR;
    const int32_t n = ucnv_toUChars(cnv, units.data(), static_cast<int32_t>(units.size()),
                                    reinterpret_cast<const char*>(scsu.data()),
                                    static_cast<int32_t>(scsu.size()), &err);
    if (U_FAILURE(err) || n < 0) return {};
    ByteVec out;
    out.reserve(2 * static_cast<std::size_t>(n));
    for (int32_t i = 0; i < n; ++i) {
        out.push_back(static_cast<std::uint8_t>(units[static_cast<std::size_t>(i)] & 0xFF));
        out.push_back(static_cast<std::uint8_t>(units[static_cast<std::size_t>(i)] >> 8));
    }
    return out;
}

std::vector<std::uint8_t> Utf16ToScsu(std::span<const std::uint8_t> utf16le) {
    UConverter* cnv = Scsu();
    if (!cnv || utf16le.size() < 2) return {};
    std::vector<UChar> units(utf16le.size() / 2);
    for (std::size_t i = 0; i < units.size(); ++i) units[i] = le::U16(utf16le.data() + 2 * i);
    std::vector<char> out(units.size() * 4 + 16);
    UErrorCode err = U_ZERO_ERROR;
    const int32_t n = ucnv_fromUChars(cnv, out.data(), static_cast<int32_t>(out.size()),
                                      units.data(), static_cast<int32_t>(units.size()), &err);
    if (U_FAILURE(err) || n < 0) return {};
    return ByteVec(out.begin(), out.begin() + n);
}

CompressionInfo DecodeCompressionInfo(const PageRef& page) {
    CompressionInfo ci;
    if (!page.pHeader || !page.pBytes || !page.pApp || !page.pHeader->IsCompressedPage()) return ci;
    const ByteSpan pg(page.pBytes, kPageSize);
    ci.nFlags = pg[kCiStart];
    const bool bAnchor = (ci.nFlags & CI_HAS_ANCHOR) != 0;
    const bool bDictionary = (ci.nFlags & CI_HAS_DICTIONARY) != 0;
    // After the flags and two unused bytes come one 2-byte end offset per part present: with
    // both parts, the end of the anchor row (where the dictionary starts) and the end of the
    // record; with one part, the end of the record. The first part follows the offsets.
    std::size_t nPartAt = kCiStart + 5;
    if (bAnchor && bDictionary) {
        ci.nDictionaryOffset = le::U16At(pg, kCiStart + 3);
        ci.nRecordSize = le::U16At(pg, kCiStart + 5);
        nPartAt = kCiStart + 7;
    } else {
        ci.nRecordSize = le::U16At(pg, kCiStart + 3);
        if (bDictionary) ci.nDictionaryOffset = 5;
    }
    if (ci.nRecordSize == 0) return ci;
    ci.bPresent = true;
    if (bAnchor) {
        const int nAvailable = std::min<int>(ci.nRecordSize, static_cast<int>(kPageSize - nPartAt));
        ci.pAnchor =
            std::make_unique<CPrimaryRecord>(page.pBytes + nPartAt, page, nAvailable, false);
        if (ci.pAnchor->m_bInvalid || !ci.pAnchor->m_bCompressed) {
            ci.pAnchor.reset();
            return ci; // no anchor, and then no dictionary either
        }
        ci.anchorValues = AnchorValues(*ci.pAnchor, *page.pApp);
    }
    if (bDictionary) DecodeDictionary(ci, pg);
    return ci;
}

bool RebuildStoredValue(std::int32_t nType, std::int32_t nStorageSize, std::int32_t nScale,
                        std::span<const std::uint8_t> c, bool bBitOne,
                        std::vector<std::uint8_t>& out) {
    out.clear();
    switch (nType) {
    case TYPE_BIT:
        out.assign(1, bBitOne || (!c.empty() && c.back() != 0) ? 1 : 0);
        return true;
    case TYPE_TINYINT:
        if (c.size() > 1) return false;
        out.assign(1, c.empty() ? 0 : c[0]);
        return true;
    case TYPE_SMALLINT:
        return SignedInteger(c, 2, out);
    case TYPE_INT:
    case TYPE_SMALLMONEY:
        return SignedInteger(c, 4, out);
    case TYPE_BIGINT:
    case TYPE_MONEY:
    case TYPE_DATETIME: // ticks in the low half, days in the high half of one 64-bit integer
        return SignedInteger(c, 8, out);
    case TYPE_REAL:
        return Floating(c, 4, out);
    case TYPE_FLOAT:
        return Floating(c, 8, out);
    case TYPE_DATE:
    case TYPE_SMALLDATETIME:
    case TYPE_TIME:
    case TYPE_DATETIME2:
    case TYPE_DATETIMEOFFSET:
        return UnsignedInteger(c, TemporalWidth(nType, nStorageSize), out);
    case TYPE_DECIMAL:
    case TYPE_NUMERIC:
        return Vardecimal(c, nStorageSize, nScale, out);
    case TYPE_UNIQUEIDENTIFIER:
        if (!c.empty() && c.size() != 16) return false;
        out.assign(16, 0);
        std::copy(c.begin(), c.end(), out.begin());
        return true;
    case TYPE_CHAR:
        out.assign(c.begin(), c.end());
        Pad(out, nStorageSize, {0x20});
        return true;
    case TYPE_BINARY:
        out.assign(c.begin(), c.end());
        Pad(out, nStorageSize, {0x00});
        return true;
    case TYPE_NCHAR:
        out = UnicodeValue(c);
        if (!c.empty() && out.empty()) return false;
        Pad(out, nStorageSize, {0x20, 0x00});
        return true;
    case TYPE_NVARCHAR:
    case TYPE_SYSTEM_232:
        out = UnicodeValue(c);
        return c.empty() || !out.empty();
    default: // stored unchanged
        out.assign(c.begin(), c.end());
        return true;
    }
}

void CompleteCompressedRow(CPrimaryRecord& r, const CompressionInfo& info,
                           const IRowLayout& layout) {
    const std::vector<RowLayoutColumn>& columns = layout.LayoutColumns();
    const auto* pScales = dynamic_cast<const IRowLayoutScales*>(&layout);
    const std::size_t n = std::min({static_cast<std::size_t>(std::max(r.m_nColumnCount, 0)),
                                    r.m_columnDescriptors.size(), columns.size()});
    r.m_completed.clear();
    r.m_completed.reserve(n);
    std::size_t nShort = 0, nLong = 0;
    const ByteVec& shortData = r.m_fixedData;
    for (std::size_t i = 0; i < n; ++i) {
        const std::uint8_t d = r.m_columnDescriptors[i];
        const AnchorValue* pAnchor = info.Anchor(i);
        const bool bPrefixed = pAnchor && pAnchor->HasPrefix();
        CPrimaryRecord::CompletedColumn col;
        ByteVec value;
        bool bHave = false;
        if (d == CD_NULL) {
            col.bNull = true;
        } else if (d == CD_EMPTY) {
            // With an anchor value, the column holds the anchor value itself.
            if (bPrefixed) value = pAnchor->bytes;
            bHave = true;
        } else if (d >= CD_SHORT_1 && d <= CD_SHORT_8) {
            const std::size_t nSize = static_cast<std::size_t>(ShortSize(d));
            if (nShort + nSize <= shortData.size()) {
                value.assign(shortData.begin() + static_cast<std::ptrdiff_t>(nShort),
                             shortData.begin() + static_cast<std::ptrdiff_t>(nShort + nSize));
                bHave = true;
            }
            nShort += nSize;
        } else if (d == CD_LONG) {
            if (nLong < r.m_varValues.size() && r.m_varValues[nLong].HasBytes()) {
                const VarValue& v = r.m_varValues[nLong];
                col.bComplex = v.bComplex;
                if (v.bComplex) {
                    col.bytes.assign(v.Value().begin(), v.Value().end());
                } else if (bPrefixed) {
                    bHave = ExpandPrefix(*pAnchor, v.Value(), value);
                } else {
                    value.assign(v.Value().begin(), v.Value().end());
                    bHave = true;
                }
            }
            ++nLong;
        } else if (d == CD_BIT_ONE) {
            bHave = true;
        } else if (d == CD_SYMBOL) {
            if (nShort < shortData.size()) {
                const std::size_t k = shortData[nShort];
                if (k < info.dictionary.size() && info.dictionary[k].bValid) {
                    const ByteVec& e = info.dictionary[k].bytes;
                    // Entries hold a column's values as its rows would store them: with an
                    // anchor value, in the prefix form.
                    if (bPrefixed)
                        bHave = ExpandPrefix(*pAnchor, e, value);
                    else {
                        value = e;
                        bHave = true;
                    }
                }
            }
            ++nShort;
        }
        if (bHave) {
            const RowLayoutColumn& c = columns[i];
            const std::int32_t nScale = pScales ? pScales->ColumnScale(i) : -1;
            if (!RebuildStoredValue(c.nTypeCode, c.nStorageSize, nScale, value, d == CD_BIT_ONE,
                                    col.bytes))
                col.bytes.clear();
        }
        r.m_completed.push_back(std::move(col));
    }
    r.m_bCompleted = true;
}
