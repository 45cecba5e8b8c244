// Feeds arbitrary bytes to the value formatters: FormatColumnValue over every type code (a
// row of several values sharing one bit cursor), FormatVariantValue, and the binary xml
// decoder. Each value is copied into a buffer of exactly the bytes the caller vouches for, so
// any read past them is caught.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "appstate/CDravoltBrevantProjApp.h"
#include "rowdecode/BinaryXml.h"
#include "rowdecode/ValueFormat.h"

namespace {

CDravoltBrevantProjApp& App() {
    static CDravoltBrevantProjApp* p = [] {
        auto* a = new CDravoltBrevantProjApp;
        a->m_collations[1] = {"Cyrillic", 1251};
        a->m_collations[2] = {"Japanese", 932};
        a->m_collations[3] = {"Utf8", 65001};
        a->m_collations[4] = {"Broken", 4242};
        a->m_collations[5] = {"UnicodeOnly", 0};
        a->m_collations[-1] = {"Minus", 1250};
        return a;
    }();
    return *p;
}

class Input {
public:
    Input(const std::uint8_t* p, std::size_t n) : m_p(p), m_n(n) {}
    std::uint8_t Byte() { return m_n ? (--m_n, *m_p++) : 0; }
    std::uint16_t Word() { return static_cast<std::uint16_t>(Byte() | (Byte() << 8)); }
    std::vector<std::uint8_t> Take(std::size_t n) {
        n = std::min(n, m_n);
        std::vector<std::uint8_t> v(m_p, m_p + n);
        m_p += n;
        m_n -= n;
        return v;
    }
    std::size_t Left() const { return m_n; }

private:
    const std::uint8_t* m_p;
    std::size_t m_n;
};

volatile std::size_t g_sink = 0;

void Columns(Input& in) {
    CDravoltBrevantProjApp& app = App();
    const std::uint8_t flags = in.Byte();
    app.m_bListingMode = flags & 1;
    app.m_bCollationFound = flags & 2;
    app.m_nCollationId = (flags >> 2) & 7;
    app.m_nCollationCodePage = flags & 0x20 ? 932 : 1251;
    BitCursor cursor;
    for (int nValue = 0; nValue < 8 && in.Left() > 0; ++nValue) {
        TableColumn c;
        c.m_nTypeCode = static_cast<int>(in.Byte() % 38) - 1;
        const std::uint8_t declared = in.Byte();
        c.m_strType = "t(" + std::to_string(static_cast<int>(declared) - 16) + ")";
        c.m_nMaxLength = in.Byte();
        c.m_bVariableLength = declared & 1;
        c.m_nPrecision = in.Byte();
        c.m_nScale = in.Byte();
        c.m_nCollationId = static_cast<std::int8_t>(in.Byte()) % 7;
        ValueDescriptor d = InitValueDescriptor(c, cursor);
        const std::uint16_t nLength = in.Word();
        std::vector<std::uint8_t> bytes = in.Take(in.Byte() == 0xFF ? in.Left() : in.Byte());
        // The caller's contract: available bytes exist; a variable value's length does.
        d.m_nAvailable = bytes.size();
        d.m_nLength = static_cast<std::int16_t>(nLength);
        if (d.m_bVariable && d.m_nLength > static_cast<std::int32_t>(bytes.size()))
            d.m_nLength = static_cast<std::int32_t>(bytes.size());
        const std::string s = FormatColumnValue(d, bytes.empty() ? nullptr : bytes.data(), c, app);
        g_sink = g_sink + s.size();
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    Input in(data + 1, size - 1);
    switch (data[0] % 3) {
    case 0:
        Columns(in);
        break;
    case 1: {
        const std::vector<std::uint8_t> v = in.Take(in.Left());
        TableColumn c;
        c.m_nTypeCode = TYPE_SQL_VARIANT;
        BitCursor cursor;
        ValueDescriptor d = InitValueDescriptor(c, cursor);
        const std::string s = FormatVariantValue(d, v.empty() ? nullptr : v.data(),
                                                 static_cast<int>(v.size()), c, App());
        g_sink = g_sink + s.size();
        break;
    }
    default: {
        const std::vector<std::uint8_t> v = in.Take(in.Left());
        g_sink = g_sink + binxml::Decode(v).size();
        break;
    }
    }
    return 0;
}
