#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "rowdecode/BinaryXml.h"
#include "rowdecode/ValueFormat.h"

namespace {

// Assembles binary xml streams token by token.
class Xb {
public:
    Xb() { m_b = {0xDF, 0xFF, 0x01, 0xB0, 0x04}; }
    Xb& Raw(std::initializer_list<std::uint8_t> b) {
        m_b.insert(m_b.end(), b);
        return *this;
    }
    Xb& Mb(std::uint32_t v) {
        do {
            m_b.push_back(static_cast<std::uint8_t>((v & 0x7F) | (v > 0x7F ? 0x80 : 0)));
            v >>= 7;
        } while (v);
        return *this;
    }
    Xb& Str(std::u16string_view s) {
        Mb(static_cast<std::uint32_t>(s.size()));
        for (char16_t c : s) Raw({static_cast<std::uint8_t>(c), static_cast<std::uint8_t>(c >> 8)});
        return *this;
    }
    Xb& Name(std::u16string_view s) { return Raw({0xF0}).Str(s); }
    Xb& QName(std::uint32_t ns, std::uint32_t prefix, std::uint32_t local) {
        return Raw({0xEF}).Mb(ns).Mb(prefix).Mb(local);
    }
    Xb& Elem(std::uint32_t q) { return Raw({0xF8}).Mb(q); }
    Xb& Attr(std::uint32_t q, std::u16string_view value) { return Raw({0xF6}).Mb(q).Text(value); }
    Xb& EndAttrs() { return Raw({0xF5}); }
    Xb& End() { return Raw({0xF7}); }
    Xb& Text(std::u16string_view s) { return Raw({0x11}).Str(s); }
    const std::vector<std::uint8_t>& Bytes() const { return m_b; }
    std::string Decode() const { return binxml::Decode(m_b); }

private:
    std::vector<std::uint8_t> m_b;
};

// <a b="x">hi</a>, each name defined just before its first use.
Xb WorkedExample() {
    Xb x;
    x.Name(u"a").QName(0, 0, 1).Name(u"b").QName(0, 0, 2);
    x.Elem(1).Attr(2, u"x").EndAttrs().Text(u"hi").End();
    return x;
}

} // namespace

TEST(BinaryXml, ElementWithAttributeAndText) {
    const Xb x = WorkedExample();
    EXPECT_EQ(x.Decode(), "<a b=\"x\">hi</a>");
    EXPECT_EQ(XmlValueText(x.Bytes()), "<a b=\"x\">hi</a>");
}

TEST(BinaryXml, NestingEscapesAndTypedValues) {
    Xb x;
    x.Name(u"root").QName(0, 0, 1).Name(u"item").QName(0, 0, 2).Name(u"id").QName(0, 0, 3);
    x.Elem(1).EndAttrs();
    x.Elem(2).Raw({0xF6, 0x03, 0x02, 0x2A, 0x00, 0x00, 0x00}).EndAttrs(); // id = SQL_INT 42
    x.Text(u"a < b & \"c\" > d").End();
    x.Elem(2).Attr(3, u"q\"<&>").End();   // empty element
    x.Elem(2).EndAttrs().Text(u"").End(); // empty text keeps the end tag
    x.Elem(2).EndAttrs().Raw({0x08, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}).End();
    x.Elem(2).EndAttrs().Raw({0x86, 0x01}).Text(u"\u00e9").End();
    x.End();
    EXPECT_EQ(x.Decode(), "<root><item id=\"42\">a &lt; b &amp; \"c\" &gt; d</item>"
                          "<item id=\"q&quot;&lt;&amp;&gt;\"/><item></item><item>-1</item>"
                          "<item>true\xC3\xA9</item></root>");
}

TEST(BinaryXml, NamespaceDeclarations) {
    // names: 1 "urn:x", 2 "p", 3 "e", 4 "xmlns", 5 "f"
    Xb x;
    x.Name(u"urn:x").Name(u"p").Name(u"e").Name(u"xmlns").Name(u"f");
    x.QName(1, 2, 3); // q1 p:e in urn:x
    x.QName(1, 2, 0); // q2 declaration of p
    x.QName(1, 0, 5); // q3 f in urn:x, default namespace
    x.QName(0, 2, 5); // q4 p:f without a namespace name
    // An explicit declaration is written once; a child in the same namespace needs none.
    x.Elem(1).Attr(2, u"urn:x").EndAttrs().Elem(1).End().End();
    EXPECT_EQ(x.Decode(), "<p:e xmlns:p=\"urn:x\"><p:e/></p:e>");

    Xb y;
    y.Name(u"urn:x").Name(u"p").Name(u"e").Name(u"xmlns").Name(u"f");
    y.QName(1, 2, 3).QName(1, 2, 0).QName(1, 0, 5);
    // Implied declarations: p:e needs xmlns:p, the default-namespace f needs xmlns.
    y.Elem(1).EndAttrs().Elem(3).Elem(3).End().End().End();
    EXPECT_EQ(y.Decode(), "<p:e xmlns:p=\"urn:x\"><f xmlns=\"urn:x\"><f/></f></p:e>");

    // Declarations written as attributes of the xmlns namespace: xmlns:p and xmlns.
    Xb z;
    z.Name(u"urn:x").Name(u"p").Name(u"e").Name(u"xmlns").Name(u"http://www.w3.org/2000/xmlns/");
    z.QName(1, 2, 3).QName(5, 4, 2).QName(5, 0, 4).QName(0, 0, 3);
    z.Elem(1).Attr(2, u"urn:x").Attr(3, u"urn:d").EndAttrs().Elem(4).End().End();
    EXPECT_EQ(z.Decode(), "<p:e xmlns:p=\"urn:x\" xmlns=\"urn:d\"><e xmlns=\"\"/></p:e>");
}

TEST(BinaryXml, CommentsCdataAndProcessingInstructions) {
    Xb x;
    x.Name(u"a").QName(0, 0, 1).Name(u"pi");
    x.Raw({0xF4}).Mb(2).Str(u"go now");
    x.Elem(1).EndAttrs();
    x.Raw({0xF3}).Str(u"note -- here");
    x.Raw({0xF2}).Str(u"x<y").Raw({0xF2}).Str(u" ]]> z").Raw({0xF1});
    x.End();
    EXPECT_EQ(x.Decode(), "<?pi go now?><a><!--note - - here--><![CDATA[x<y ]]]]><![CDATA[> z]]>"
                          "</a>");
}

TEST(BinaryXml, MalformedStreamsGiveNothing) {
    const Xb good = WorkedExample();
    const std::vector<std::uint8_t>& b = good.Bytes();
    // Every proper prefix is truncated somewhere: inside a token or with the element open.
    for (std::size_t n = 0; n < b.size(); ++n) {
        const std::vector<std::uint8_t> cut(b.begin(), b.begin() + static_cast<long>(n));
        EXPECT_EQ(binxml::Decode(cut), "") << n;
        EXPECT_EQ(XmlValueText(cut), " ") << n;
    }
    EXPECT_EQ(Xb().Name(u"a").QName(0, 0, 1).Elem(1).Raw({0x55}).End().Decode(), "");
    EXPECT_EQ(Xb().Name(u"a").QName(0, 0, 9).Elem(1).End().Decode(), ""); // name out of range
    EXPECT_EQ(Xb().Name(u"a").QName(0, 0, 1).Elem(7).End().Decode(), ""); // qname out of range
    EXPECT_EQ(Xb().Name(u"a").QName(0, 0, 1).Elem(1).End().End().Decode(), "");
    EXPECT_EQ(Xb().Raw({0xF6, 0x01}).Decode(), ""); // attribute outside a start tag
    EXPECT_EQ(Xb().Raw({0x11, 0xFF, 0xFF, 0xFF, 0xFF, 0x0F}).Decode(), ""); // huge count
    EXPECT_EQ(Xb().Name(u"a").QName(0, 0, 1).Elem(1).Raw({0xE9}).End().Decode(), "<a/>");
    std::vector<std::uint8_t> badHeader = b;
    badHeader[3] = 0xE9; // code page other than UTF-16
    EXPECT_EQ(binxml::Decode(badHeader), "");
}
