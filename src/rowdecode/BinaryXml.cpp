#include "rowdecode/BinaryXml.h"

#include <algorithm>
#include <bit>
#include <charconv>
#include <optional>
#include <string_view>
#include <vector>

#include "pagestore/Bytes.h"
#include "rowdecode/ScalarRender.h"
#include "rowdecode/TextConvert.h"

namespace binxml {

namespace {

// Token bytes of the stream.
enum : std::uint8_t {
    TOK_SQL_SMALLINT = 0x01,
    TOK_SQL_INT = 0x02,
    TOK_SQL_REAL = 0x03,
    TOK_SQL_FLOAT = 0x04,
    TOK_SQL_MONEY = 0x05,
    TOK_SQL_BIT = 0x06,
    TOK_SQL_TINYINT = 0x07,
    TOK_SQL_BIGINT = 0x08,
    TOK_SQL_UUID = 0x09,
    TOK_SQL_DECIMAL = 0x0A,
    TOK_SQL_NUMERIC = 0x0B,
    TOK_SQL_BINARY = 0x0C,
    TOK_SQL_CHAR = 0x0D,
    TOK_SQL_NCHAR = 0x0E,
    TOK_SQL_VARBINARY = 0x0F,
    TOK_SQL_VARCHAR = 0x10,
    TOK_SQL_NVARCHAR = 0x11,
    TOK_SQL_DATETIME = 0x12,
    TOK_SQL_SMALLDATETIME = 0x13,
    TOK_SQL_SMALLMONEY = 0x14,
    TOK_SQL_TEXT = 0x16,
    TOK_SQL_IMAGE = 0x17,
    TOK_SQL_NTEXT = 0x18,
    TOK_SQL_UDT = 0x1B,
    TOK_KATMAI_TIMEOFFSET = 0x7A,
    TOK_KATMAI_DATETIMEOFFSET = 0x7B,
    TOK_KATMAI_DATEOFFSET = 0x7C,
    TOK_KATMAI_TIME = 0x7D,
    TOK_KATMAI_DATETIME = 0x7E,
    TOK_KATMAI_DATE = 0x7F,
    TOK_XSD_TIME = 0x81,
    TOK_XSD_DATETIME = 0x82,
    TOK_XSD_DATE = 0x83,
    TOK_XSD_BINHEX = 0x84,
    TOK_XSD_BASE64 = 0x85,
    TOK_XSD_BOOLEAN = 0x86,
    TOK_XSD_DECIMAL = 0x87,
    TOK_XSD_BYTE = 0x88,
    TOK_XSD_UNSIGNEDSHORT = 0x89,
    TOK_XSD_UNSIGNEDINT = 0x8A,
    TOK_XSD_UNSIGNEDLONG = 0x8B,
    TOK_XSD_QNAME = 0x8C,
    TOK_NMFLUSH = 0xE9,
    TOK_EXTN = 0xEA,
    TOK_ENDNEST = 0xEB,
    TOK_NEST = 0xEC,
    TOK_XMLTEXT = 0xED,
    TOK_QNAME = 0xEF,
    TOK_NAME = 0xF0,
    TOK_ENDCDATA = 0xF1,
    TOK_CDATA = 0xF2,
    TOK_COMMENT = 0xF3,
    TOK_PI = 0xF4,
    TOK_ENDATTRS = 0xF5,
    TOK_ATTR = 0xF6,
    TOK_ENDELEM = 0xF7,
    TOK_ELEMENT = 0xF8,
    TOK_SUBSET = 0xF9,
    TOK_PUBLIC = 0xFA,
    TOK_SYSTEM = 0xFB,
    TOK_DOCTYPE = 0xFC,
    TOK_ENCODING = 0xFD,
    TOK_XMLDECL = 0xFE,
};

// A decoded value far larger than any stored one means a stream that repeats long names on
// purpose; it is refused rather than built.
constexpr std::size_t kMaxOutput = 64u << 20;

struct QName {
    std::uint32_t nNamespace = 0, nPrefix = 0, nLocal = 0;
};

struct NameTables {
    std::vector<std::string> names{std::string()}; // id 0 is the empty name
    std::vector<QName> qnames{QName()};            // ids start at 1
};

struct Attribute {
    std::string strName;
    std::string strValue; // escaped
};

// The start tag being built: attributes are gathered until the tag closes, so that the
// namespace declarations its names need can be added without duplicating explicit ones.
struct PendingTag {
    std::string strName;
    std::string strPrefix;
    std::string strNamespace;
    std::vector<Attribute> attrs;
    std::vector<std::pair<std::string, std::string>> ownDecls; // prefix ("" default) -> uri
    std::vector<std::pair<std::string, std::string>> attrNamespaces;
};

void EscapeInto(std::string& out, std::string_view s, bool bAttribute) {
    for (char c : s) {
        switch (c) {
        case '&':
            out += "&amp;";
            break;
        case '<':
            out += "&lt;";
            break;
        case '>':
            out += "&gt;";
            break;
        case '"':
            if (bAttribute)
                out += "&quot;";
            else
                out += c;
            break;
        default:
            out += c;
        }
    }
}

template <typename T> std::string Number(T v) {
    char buf[32];
    auto res = std::to_chars(buf, buf + sizeof buf, v);
    return std::string(buf, res.ptr);
}

std::string Base64(std::span<const std::uint8_t> b) {
    static constexpr char kAlphabet[] =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    out.reserve((b.size() + 2) / 3 * 4);
    for (std::size_t i = 0; i < b.size(); i += 3) {
        const std::uint32_t n = (std::uint32_t(b[i]) << 16) |
                                (i + 1 < b.size() ? std::uint32_t(b[i + 1]) << 8 : 0) |
                                (i + 2 < b.size() ? std::uint32_t(b[i + 2]) : 0);
        out += kAlphabet[(n >> 18) & 63];
        out += kAlphabet[(n >> 12) & 63];
        out += i + 1 < b.size() ? kAlphabet[(n >> 6) & 63] : '=';
        out += i + 2 < b.size() ? kAlphabet[n & 63] : '=';
    }
    return out;
}

std::string HexText(std::span<const std::uint8_t> b) {
    static constexpr char kDigits[] = "0123456789ABCDEF";
    std::string out;
    for (std::uint8_t v : b) {
        out += kDigits[v >> 4];
        out += kDigits[v & 15];
    }
    return out;
}

void AppendTwo(std::string& out, std::int64_t v) {
    out += static_cast<char>('0' + v / 10 % 10);
    out += static_cast<char>('0' + v % 10);
}

// xs:date text of a day number counted from 0001-01-01.
std::optional<std::string> XsdDate(std::int64_t nDays) {
    if (nDays < 0 || nDays > 3652058) return std::nullopt;
    const render::CivilDate d = render::CivilFromDays(nDays);
    std::string out = Number(d.nYear);
    out.insert(0, 4 - std::min<std::size_t>(4, out.size()), '0');
    out += '-';
    AppendTwo(out, d.nMonth);
    out += '-';
    AppendTwo(out, d.nDay);
    return out;
}

std::string XsdClock(std::int64_t nSeconds, std::uint64_t nFraction, int nScale) {
    std::string out;
    AppendTwo(out, nSeconds / 3600);
    out += ':';
    AppendTwo(out, nSeconds / 60 % 60);
    out += ':';
    AppendTwo(out, nSeconds % 60);
    if (nScale > 0) {
        std::string f = Number(nFraction);
        out += '.';
        out.append(static_cast<std::size_t>(nScale) - std::min<std::size_t>(nScale, f.size()), '0');
        out += f;
    }
    return out;
}

std::string XsdZone(int nMinutes) {
    if (nMinutes == 0) return "Z";
    std::string out(1, nMinutes < 0 ? '-' : '+');
    const int a = nMinutes < 0 ? -nMinutes : nMinutes;
    AppendTwo(out, a / 60);
    out += ':';
    AppendTwo(out, a % 60);
    return out;
}

class Decoder {
public:
    explicit Decoder(std::span<const std::uint8_t> b) : m_bytes(b) {}

    std::optional<std::string> Run() {
        if (m_bytes.size() < 5 || m_bytes[0] != 0xDF || m_bytes[1] != 0xFF) return std::nullopt;
        if (m_bytes[2] != 1 && m_bytes[2] != 2) return std::nullopt;
        if (le::U16(m_bytes.data() + 3) != 1200) return std::nullopt;
        m_nPos = 5;
        while (m_nPos < m_bytes.size()) {
            if (!Token()) return std::nullopt;
            if (m_out.size() > kMaxOutput) return std::nullopt;
        }
        if (m_pending || !m_open.empty() || !m_savedTables.empty()) return std::nullopt;
        return std::move(m_out);
    }

private:
    struct OpenElement {
        std::string strName;
        std::size_t nScope; // namespace bindings in force outside this element
    };

    std::span<const std::uint8_t> m_bytes;
    std::size_t m_nPos = 0;
    std::string m_out;
    NameTables m_tables;
    std::vector<NameTables> m_savedTables; // tables of the documents that nest the current one
    std::optional<PendingTag> m_pending;
    std::vector<OpenElement> m_open;
    std::vector<std::pair<std::string, std::string>> m_scope; // prefix -> uri, innermost last

    // --- Reading ---------------------------------------------------------------------------

    bool Byte(std::uint8_t& v) {
        if (m_nPos >= m_bytes.size()) return false;
        v = m_bytes[m_nPos++];
        return true;
    }
    bool Peek(std::uint8_t& v) const {
        if (m_nPos >= m_bytes.size()) return false;
        v = m_bytes[m_nPos];
        return true;
    }
    bool Take(std::size_t n, std::span<const std::uint8_t>& out) {
        if (m_bytes.size() - m_nPos < n) return false;
        out = m_bytes.subspan(m_nPos, n);
        m_nPos += n;
        return true;
    }
    // 7 bits a byte, least significant group first, at most five bytes.
    bool Mb32(std::uint32_t& v) {
        v = 0;
        for (int i = 0; i < 5; ++i) {
            std::uint8_t b;
            if (!Byte(b)) return false;
            if (i == 4 && b > 0x0F) return false;
            v |= static_cast<std::uint32_t>(b & 0x7F) << (7 * i);
            if (!(b & 0x80)) return true;
        }
        return false;
    }
    // A count of UTF-16 units, then the units.
    bool String(std::string& out) {
        std::uint32_t n;
        if (!Mb32(n) || n > (m_bytes.size() - m_nPos) / 2) return false;
        std::span<const std::uint8_t> b;
        Take(std::size_t(n) * 2, b);
        std::vector<char16_t> units(n);
        for (std::uint32_t i = 0; i < n; ++i) units[i] = static_cast<char16_t>(le::U16(&b[i * 2]));
        out.clear();
        text::AppendUtf16Units(out, units.data(), units.size());
        return true;
    }
    bool LengthBytes(std::span<const std::uint8_t>& b) {
        std::uint32_t n;
        return Mb32(n) && Take(n, b);
    }

    const std::string* Name(std::uint32_t nId) const {
        return nId < m_tables.names.size() ? &m_tables.names[nId] : nullptr;
    }
    const QName* FindQName(std::uint32_t nId) const {
        return nId >= 1 && nId < m_tables.qnames.size() ? &m_tables.qnames[nId] : nullptr;
    }

    // --- Names and namespaces --------------------------------------------------------------

    static std::string Qualified(const std::string& strPrefix, const std::string& strLocal) {
        return strPrefix.empty() ? strLocal : strPrefix + ":" + strLocal;
    }

    const std::string* Bound(const std::string& strPrefix) const {
        for (auto it = m_scope.rbegin(); it != m_scope.rend(); ++it)
            if (it->first == strPrefix) return &it->second;
        return nullptr;
    }

    // Closes the pending start tag: explicit declarations first, then the declarations the
    // element's and attributes' prefixes need and do not have in scope.
    void FlushTag(bool bEmpty) {
        PendingTag& t = *m_pending;
        const std::size_t nScope = m_scope.size();
        auto declared = [&](const std::string& strPrefix, const std::string& strUri) {
            for (std::size_t i = nScope; i < m_scope.size(); ++i)
                if (m_scope[i].first == strPrefix) return true;
            const std::string* pBound = Bound(strPrefix);
            return pBound ? *pBound == strUri : strUri.empty();
        };
        std::string strDecls;
        auto declare = [&](const std::string& strPrefix, const std::string& strUri) {
            strDecls += strPrefix.empty() ? " xmlns=\"" : " xmlns:" + strPrefix + "=\"";
            EscapeInto(strDecls, strUri, true);
            strDecls += '"';
            m_scope.emplace_back(strPrefix, strUri);
        };
        for (auto& [strPrefix, strUri] : t.ownDecls) declare(strPrefix, strUri);
        if (t.strPrefix != "xml" && !declared(t.strPrefix, t.strNamespace))
            declare(t.strPrefix, t.strNamespace);
        for (auto& [strPrefix, strUri] : t.attrNamespaces)
            if (!strPrefix.empty() && strPrefix != "xml" && !strUri.empty() &&
                !declared(strPrefix, strUri))
                declare(strPrefix, strUri);

        m_out += '<';
        m_out += t.strName;
        m_out += strDecls;
        for (const Attribute& a : t.attrs) {
            m_out += ' ';
            m_out += a.strName;
            m_out += "=\"";
            m_out += a.strValue;
            m_out += '"';
        }
        if (bEmpty) {
            m_out += "/>";
            m_scope.resize(m_open.back().nScope);
            m_open.pop_back();
        } else {
            m_out += '>';
        }
        m_pending.reset();
    }

    void CloseStartTag() {
        if (m_pending) FlushTag(false);
    }

    // --- Typed values ----------------------------------------------------------------------

    static bool IsValueToken(std::uint8_t t) {
        return (t >= TOK_SQL_SMALLINT && t <= TOK_SQL_SMALLMONEY) ||
               (t >= TOK_SQL_TEXT && t <= TOK_SQL_NTEXT) || t == TOK_SQL_UDT ||
               (t >= TOK_KATMAI_TIMEOFFSET && t <= TOK_KATMAI_DATE) ||
               (t >= TOK_XSD_TIME && t <= TOK_XSD_QNAME);
    }

    // Bytes of a Katmai time of the given scale.
    static int KatmaiTimeBytes(int nScale) { return nScale <= 2 ? 3 : nScale <= 4 ? 4 : 5; }

    // The text of one typed value (unescaped), or false on malformed input.
    bool Value(std::uint8_t t, std::string& out) {
        std::span<const std::uint8_t> b;
        auto fixed = [&](std::size_t n) { return Take(n, b); };
        switch (t) {
        case TOK_SQL_SMALLINT:
            if (!fixed(2)) return false;
            out = Number(le::I16(b.data()));
            return true;
        case TOK_SQL_INT:
            if (!fixed(4)) return false;
            out = Number(le::I32(b.data()));
            return true;
        case TOK_SQL_REAL:
            if (!fixed(4)) return false;
            out = Number(std::bit_cast<float>(le::U32(b.data())));
            return true;
        case TOK_SQL_FLOAT:
            if (!fixed(8)) return false;
            out = Number(std::bit_cast<double>(le::U64(b.data())));
            return true;
        case TOK_SQL_MONEY:
            if (!fixed(8)) return false;
            out = render::Money(b, 8);
            return true;
        case TOK_SQL_SMALLMONEY:
            if (!fixed(4)) return false;
            out = render::Money(b, 4);
            return true;
        case TOK_SQL_BIT:
            if (!fixed(1)) return false;
            out = b[0] ? "1" : "0";
            return true;
        case TOK_SQL_TINYINT:
            if (!fixed(1)) return false;
            out = Number(int(b[0]));
            return true;
        case TOK_SQL_BIGINT:
            if (!fixed(8)) return false;
            out = Number(le::I64(b.data()));
            return true;
        case TOK_XSD_BYTE:
            if (!fixed(1)) return false;
            out = Number(int(static_cast<std::int8_t>(b[0])));
            return true;
        case TOK_XSD_UNSIGNEDSHORT:
            if (!fixed(2)) return false;
            out = Number(le::U16(b.data()));
            return true;
        case TOK_XSD_UNSIGNEDINT:
            if (!fixed(4)) return false;
            out = Number(le::U32(b.data()));
            return true;
        case TOK_XSD_UNSIGNEDLONG:
            if (!fixed(8)) return false;
            out = Number(le::U64(b.data()));
            return true;
        case TOK_XSD_BOOLEAN:
            if (!fixed(1)) return false;
            out = b[0] ? "true" : "false";
            return true;
        case TOK_SQL_UUID:
            if (!fixed(16)) return false;
            out = render::Guid(b);
            return true;
        case TOK_SQL_DECIMAL:
        case TOK_SQL_NUMERIC:
        case TOK_XSD_DECIMAL:
            // precision, scale, then the sign byte and the magnitude
            if (!LengthBytes(b) || b.size() < 3) return false;
            out = render::Decimal(b.subspan(2), b[0], b[1]);
            return !out.empty();
        case TOK_SQL_BINARY:
        case TOK_SQL_VARBINARY:
        case TOK_SQL_IMAGE:
        case TOK_SQL_UDT:
        case TOK_XSD_BASE64:
            if (!LengthBytes(b)) return false;
            out = Base64(b);
            return true;
        case TOK_XSD_BINHEX:
            if (!LengthBytes(b)) return false;
            out = HexText(b);
            return true;
        case TOK_SQL_CHAR:
        case TOK_SQL_VARCHAR:
        case TOK_SQL_TEXT: {
            // a four-byte code page, then the bytes in it
            if (!LengthBytes(b) || b.size() < 4) return false;
            out.clear();
            const auto nCodePage = static_cast<int>(le::U32(b.data()));
            if (!text::AppendCodePage(out, b.subspan(4), nCodePage))
                text::AppendWidened(out, b.subspan(4));
            return true;
        }
        case TOK_SQL_NCHAR:
        case TOK_SQL_NVARCHAR:
        case TOK_SQL_NTEXT:
            return String(out);
        case TOK_SQL_DATETIME: {
            // days first, then 1/300-second ticks: the reverse of the row format
            if (!fixed(8)) return false;
            const std::int64_t nDays = render::kDay1900 + le::I32(b.data());
            const std::uint32_t nTicks = le::U32(b.data() + 4);
            const std::uint64_t nMs = (std::uint64_t(nTicks) * 10 + 1) / 3;
            const auto d = XsdDate(nDays);
            if (!d || nMs >= 86400000) return false;
            out = *d + "T" + XsdClock(std::int64_t(nMs / 1000), nMs % 1000, 3);
            return true;
        }
        case TOK_SQL_SMALLDATETIME: {
            if (!fixed(4)) return false;
            const std::int64_t nDays = render::kDay1900 + le::U16(b.data());
            const std::uint16_t nMinutes = le::U16(b.data() + 2);
            const auto d = XsdDate(nDays);
            if (!d || nMinutes >= 1440) return false;
            out = *d + "T" + XsdClock(nMinutes * 60, 0, 0);
            return true;
        }
        case TOK_KATMAI_DATE:
        case TOK_KATMAI_DATEOFFSET: {
            if (!fixed(t == TOK_KATMAI_DATE ? 3 : 5)) return false;
            const auto d = XsdDate(b[0] | (b[1] << 8) | (b[2] << 16));
            if (!d) return false;
            out = *d;
            if (t == TOK_KATMAI_DATEOFFSET) out += XsdZone(le::I16(b.data() + 3));
            return true;
        }
        case TOK_KATMAI_TIME:
        case TOK_KATMAI_DATETIME:
        case TOK_KATMAI_TIMEOFFSET:
        case TOK_KATMAI_DATETIMEOFFSET:
            return KatmaiTime(t, out);
        case TOK_XSD_TIME:
        case TOK_XSD_DATETIME:
        case TOK_XSD_DATE:
            // Eight bytes whose packing is not decoded here; shown as their hex digits so the
            // rest of the document is kept.
            if (!fixed(8)) return false;
            out = HexText(b);
            return true;
        case TOK_XSD_QNAME: {
            std::uint32_t nId;
            if (!Mb32(nId)) return false;
            const QName* q = FindQName(nId);
            if (!q) return false;
            out = Qualified(*Name(q->nPrefix), *Name(q->nLocal));
            return true;
        }
        default:
            return false;
        }
    }

    // Scale byte, time, three-byte date and, for the offset forms, a signed 16-bit zone in
    // minutes; the stored time is UTC and is shown in the zone's local time.
    bool KatmaiTime(std::uint8_t t, std::string& out) {
        std::uint8_t nScale;
        if (!Byte(nScale) || nScale > 7) return false;
        const bool bZone = t == TOK_KATMAI_TIMEOFFSET || t == TOK_KATMAI_DATETIMEOFFSET;
        const int nTimeBytes = KatmaiTimeBytes(nScale);
        std::span<const std::uint8_t> b;
        if (!Take(static_cast<std::size_t>(nTimeBytes + 3 + (bZone ? 2 : 0)), b)) return false;
        std::uint64_t nTime = 0;
        for (int i = nTimeBytes - 1; i >= 0; --i) nTime = (nTime << 8) | b[i];
        std::uint64_t nPow = 1;
        for (int i = 0; i < nScale; ++i) nPow *= 10;
        std::int64_t nSeconds = static_cast<std::int64_t>(nTime / nPow);
        std::int64_t nDays = b[nTimeBytes] | (b[nTimeBytes + 1] << 8) | (b[nTimeBytes + 2] << 16);
        int nZone = 0;
        if (bZone) {
            nZone = le::I16(b.data() + nTimeBytes + 3);
            nSeconds += std::int64_t(nZone) * 60;
            while (nSeconds < 0) nSeconds += 86400, --nDays;
            while (nSeconds >= 86400) nSeconds -= 86400, ++nDays;
        }
        if (nSeconds < 0 || nSeconds >= 86400) return false;
        const std::string strClock = XsdClock(nSeconds, nTime % nPow, nScale);
        if (t == TOK_KATMAI_TIME || t == TOK_KATMAI_TIMEOFFSET) {
            out = strClock;
        } else {
            const auto d = XsdDate(nDays);
            if (!d) return false;
            out = *d + "T" + strClock;
        }
        if (bZone) out += XsdZone(nZone);
        return true;
    }

    // One or more consecutive value tokens (meta tokens may come between them).
    bool Values(std::string& out) {
        std::uint8_t t;
        bool bAny = false;
        while (Peek(t)) {
            if (t == TOK_NAME || t == TOK_QNAME || t == TOK_NMFLUSH || t == TOK_EXTN) {
                if (!Meta()) return false;
                continue;
            }
            if (!IsValueToken(t)) break;
            ++m_nPos;
            std::string s;
            if (!Value(t, s)) return false;
            out += s;
            bAny = true;
        }
        return bAny;
    }

    // --- Tokens ----------------------------------------------------------------------------

    bool Meta() {
        std::uint8_t t;
        if (!Byte(t)) return false;
        switch (t) {
        case TOK_NAME: {
            std::string s;
            if (!String(s)) return false;
            m_tables.names.push_back(std::move(s));
            return true;
        }
        case TOK_QNAME: {
            QName q;
            if (!Mb32(q.nNamespace) || !Mb32(q.nPrefix) || !Mb32(q.nLocal)) return false;
            if (!Name(q.nNamespace) || !Name(q.nPrefix) || !Name(q.nLocal)) return false;
            m_tables.qnames.push_back(q);
            return true;
        }
        case TOK_NMFLUSH:
            m_tables = NameTables();
            return true;
        case TOK_EXTN: {
            std::span<const std::uint8_t> b;
            return LengthBytes(b);
        }
        default:
            return false;
        }
    }

    bool Attr() {
        if (!m_pending) return false;
        std::uint32_t nId;
        if (!Mb32(nId)) return false;
        const QName* q = FindQName(nId);
        if (!q) return false;
        const QName qn = *q; // the value may add names and move the table
        std::string strValue;
        if (!Values(strValue)) return false;
        // A flush among the value tokens may have emptied the tables.
        if (!Name(qn.nNamespace) || !Name(qn.nPrefix) || !Name(qn.nLocal)) return false;
        const std::string strNs = *Name(qn.nNamespace);
        const std::string strPrefix = *Name(qn.nPrefix);
        const std::string strLocal = *Name(qn.nLocal);
        if (qn.nLocal == 0 || strPrefix == "xmlns" || (strPrefix.empty() && strLocal == "xmlns")) {
            // A namespace declaration: "xmlns" declares the default namespace, "xmlns:p" or
            // "xmlns" + local p declares p.
            std::string strDeclared;
            if (qn.nLocal == 0)
                strDeclared = strPrefix.rfind("xmlns:", 0) == 0 ? strPrefix.substr(6)
                              : strPrefix == "xmlns"            ? std::string()
                                                                : strPrefix;
            else if (strPrefix == "xmlns")
                strDeclared = strLocal;
            const std::string strUri = strValue.empty() && qn.nLocal == 0 ? strNs : strValue;
            for (const auto& d : m_pending->ownDecls)
                if (d.first == strDeclared) return true; // a repeat would not be well-formed
            m_pending->ownDecls.emplace_back(strDeclared, strUri);
            return true;
        }
        Attribute a;
        a.strName = Qualified(strPrefix, strLocal);
        for (const Attribute& other : m_pending->attrs)
            if (other.strName == a.strName) return true;
        EscapeInto(a.strValue, strValue, true);
        m_pending->attrs.push_back(std::move(a));
        m_pending->attrNamespaces.emplace_back(strPrefix, strNs);
        return true;
    }

    bool Element() {
        std::uint32_t nId;
        if (!Mb32(nId)) return false;
        const QName* q = FindQName(nId);
        if (!q) return false;
        CloseStartTag();
        PendingTag t;
        t.strPrefix = *Name(q->nPrefix);
        t.strNamespace = *Name(q->nNamespace);
        t.strName = Qualified(t.strPrefix, *Name(q->nLocal));
        if (t.strName.empty()) return false;
        m_open.push_back(OpenElement{t.strName, m_scope.size()});
        m_pending = std::move(t);
        return true;
    }

    bool EndElement() {
        if (m_open.empty()) return false;
        if (m_pending) {
            FlushTag(true);
            return true;
        }
        m_out += "</";
        m_out += m_open.back().strName;
        m_out += '>';
        m_scope.resize(m_open.back().nScope);
        m_open.pop_back();
        return true;
    }

    bool Token() {
        std::uint8_t t;
        if (!Peek(t)) return false;
        if (IsValueToken(t)) {
            CloseStartTag();
            std::string s;
            if (!Values(s)) return false;
            EscapeInto(m_out, s, false);
            return true;
        }
        switch (t) {
        case TOK_NAME:
        case TOK_QNAME:
        case TOK_NMFLUSH:
        case TOK_EXTN:
            return Meta();
        default:
            break;
        }
        ++m_nPos;
        switch (t) {
        case TOK_ELEMENT:
            return Element();
        case TOK_ATTR:
            return Attr();
        case TOK_ENDATTRS:
            if (!m_pending) return false;
            FlushTag(false);
            return true;
        case TOK_ENDELEM:
            return EndElement();
        case TOK_COMMENT: {
            std::string s;
            if (!String(s)) return false;
            CloseStartTag();
            // "--" may not occur inside a comment, nor may it end in "-".
            std::string body;
            for (char c : s) {
                if (c == '-' && !body.empty() && body.back() == '-') body += ' ';
                body += c;
            }
            if (!body.empty() && body.back() == '-') body += ' ';
            m_out += "<!--" + body + "-->";
            return true;
        }
        case TOK_CDATA: {
            std::string s, part;
            if (!String(s)) return false;
            std::uint8_t next;
            while (Peek(next) && next == TOK_CDATA) {
                ++m_nPos;
                if (!String(part)) return false;
                s += part;
            }
            if (Peek(next) && next == TOK_ENDCDATA) ++m_nPos;
            CloseStartTag();
            // "]]>" cannot stand inside a section: split it across two.
            std::string body;
            for (std::size_t p = 0;;) {
                const std::size_t q = s.find("]]>", p);
                if (q == std::string::npos) {
                    body.append(s, p);
                    break;
                }
                body.append(s, p, q - p + 2);
                body += "]]><![CDATA[";
                p = q + 2;
            }
            m_out += "<![CDATA[" + body + "]]>";
            return true;
        }
        case TOK_ENDCDATA:
            return true;
        case TOK_PI: {
            std::uint32_t nId;
            std::string s;
            if (!Mb32(nId) || !Name(nId) || Name(nId)->empty() || !String(s)) return false;
            CloseStartTag();
            m_out += "<?" + *Name(nId);
            if (!s.empty()) m_out += " " + s;
            m_out += "?>";
            return true;
        }
        case TOK_XMLTEXT: {
            std::string s;
            if (!String(s)) return false;
            CloseStartTag();
            m_out += s;
            return true;
        }
        case TOK_XMLDECL:
            return XmlDecl();
        case TOK_DOCTYPE:
            return DocType();
        case TOK_NEST:
            m_savedTables.push_back(std::move(m_tables));
            m_tables = NameTables();
            return true;
        case TOK_ENDNEST:
            if (m_savedTables.empty()) return false;
            m_tables = std::move(m_savedTables.back());
            m_savedTables.pop_back();
            return true;
        default:
            return false;
        }
    }

    bool XmlDecl() {
        if (!m_out.empty() || m_pending || !m_open.empty()) return false;
        std::string strVersion, strEncoding;
        if (!String(strVersion)) return false;
        std::uint8_t next;
        if (Peek(next) && next == TOK_ENCODING) {
            ++m_nPos;
            if (!String(strEncoding)) return false;
        }
        std::uint8_t nStandalone;
        if (!Byte(nStandalone) || nStandalone > 2) return false;
        m_out += "<?xml version=\"";
        EscapeInto(m_out, strVersion, true);
        m_out += '"';
        if (!strEncoding.empty()) {
            m_out += " encoding=\"";
            EscapeInto(m_out, strEncoding, true);
            m_out += '"';
        }
        if (nStandalone) m_out += nStandalone == 1 ? " standalone=\"yes\"" : " standalone=\"no\"";
        m_out += "?>";
        return true;
    }

    bool DocType() {
        if (m_pending || !m_open.empty()) return false;
        std::string strName, strSystem, strPublic, strSubset;
        if (!String(strName) || strName.empty()) return false;
        bool bSystem = false, bPublic = false, bSubset = false;
        std::uint8_t next;
        while (Peek(next) && (next == TOK_SYSTEM || next == TOK_PUBLIC || next == TOK_SUBSET)) {
            ++m_nPos;
            std::string& target = next == TOK_SYSTEM   ? strSystem
                                  : next == TOK_PUBLIC ? strPublic
                                                       : strSubset;
            (next == TOK_SYSTEM ? bSystem : next == TOK_PUBLIC ? bPublic : bSubset) = true;
            if (!String(target)) return false;
        }
        m_out += "<!DOCTYPE " + strName;
        if (bPublic)
            m_out += " PUBLIC \"" + strPublic + "\" \"" + strSystem + "\"";
        else if (bSystem)
            m_out += " SYSTEM \"" + strSystem + "\"";
        if (bSubset) m_out += " [" + strSubset + "]";
        m_out += '>';
        return true;
    }
};

} // namespace

std::string Decode(std::span<const std::uint8_t> bytes) {
    Decoder d(bytes);
    std::optional<std::string> out = d.Run();
    return out ? std::move(*out) : std::string();
}

} // namespace binxml
