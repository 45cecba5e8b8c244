// Large values and the odd corners of the row reader: text pointers, in-row roots and
// row-overflow pointers to text pages, placeholders of the listing mode, damaged links, bit
// packing, short records, sparse columns and the "0x" prefix.
#include <gtest/gtest.h>

#include "RowsFixture.h"
#include "pagestore/Bytes.h"

using namespace qw;

namespace {

using Rows = std::vector<std::vector<std::string>>;

std::string Repeat(std::size_t n) {
    std::string s;
    for (std::size_t i = 0; i < n; ++i) s += static_cast<char>('a' + i % 26);
    return s;
}

} // namespace

TEST(RowReaderLob, LargeValuesInFullAndAsPlaceholders) {
    const std::string big = Repeat(20000);
    const Bytes png{0x89, 'P', 'N', 'G', 0x0D, 0x0A};
    struct Case {
        const char* what;
        ColumnSpec column;
        Cell cell;
        std::string full, listing;
    } cases[] = {
        {"text, small root", Col("C", ST_TEXT, 16, kLatin1),
         Lob(Ascii("hello"), LobForm::SmallRoot), "hello", "<BINARY DATA>"},
        {"ntext, small root of UTF-16", Col("C", ST_NTEXT, 16, kLatin1),
         Lob(Utf16("wide"), LobForm::SmallRoot), "wide", "<BINARY DATA>"},
        {"image, small root", Col("C", ST_IMAGE, 16), Lob(png, LobForm::SmallRoot),
         "0x89504E470D0A", "<BINARY DATA>"},
        {"text, large root of three fragments", Col("C", ST_TEXT, 16, kLatin1),
         Lob(Ascii(big), LobForm::LargeRoot), big, "<BINARY DATA>"},
        {"image, large root", Col("C", ST_IMAGE, 16), Lob(png, LobForm::LargeRoot, 4),
         "0x89504E470D0A", "<BINARY DATA>"},
        {"text, large root and internal node", Col("C", ST_TEXT, 16, kLatin1),
         Lob(Ascii(big), LobForm::Tree, 7000), big, "<BINARY DATA>"},
        {"varchar(max), in-row root", Col("C", ST_VARCHAR, -1, kLatin1),
         Lob(Ascii(big), LobForm::MaxRoot), big, "<BIG BINARY DATA>"},
        {"nvarchar(max), in-row root", Col("C", ST_NVARCHAR, -1, kLatin1),
         Lob(Utf16(Repeat(5000)), LobForm::MaxRoot, 4000), Repeat(5000), "<BIG BINARY DATA>"},
        {"varchar(max), in the row", Col("C", ST_VARCHAR, -1, kLatin1), Text("short"), "short",
         "short"},
        {"varchar(8000) pushed off the row", Col("C", ST_VARCHAR, 8000, kLatin1),
         Lob(Ascii(Repeat(6000)), LobForm::Overflow), Repeat(6000), Repeat(6000)},
        {"varbinary(8000) pushed off the row", Col("C", ST_VARBINARY, 8000),
         Lob(Bytes(3000, 0xAB), LobForm::Overflow), "", ""},
        {"xml, in-row root", Col("C", ST_XML, -1),
         Lob({0xDF, 0xFF, 0x01, 0xB0, 0x04, 0xF0, 0x01, 0x61, 0x00, 0xEF, 0x00, 0x00, 0x01, 0xF8,
              0x01, 0xF7},
             LobForm::MaxRoot, 5),
         "<a/>", "<a/>"},
    };
    // The hexadecimal of 3000 bytes AB.
    std::string hex = "0x";
    for (int i = 0; i < 3000; ++i) hex += "AB";
    cases[10].full = hex;
    cases[10].listing = hex;

    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        TableSpec t =
            Table(600, "T", {Col("Id", ST_INT, 4), c.column}, {TableRow{{Int(1), c.cell}}});
        OpenedDb db(WriteTables({}, {t}).file);
        const auto full = db.Rows("T");
        ASSERT_EQ(full.rows.size(), 1u);
        EXPECT_EQ(full.rows[0][1], c.full);
        EXPECT_FALSE(full.bLobFailure);
        const auto listing = db.Rows("T", true);
        ASSERT_EQ(listing.rows.size(), 1u);
        EXPECT_EQ(listing.rows[0][1], c.listing);
    }
}

TEST(RowReaderLob, DamagedLinksEndWithClearResults) {
    // A table whose large values point to page 0, past the end of the file, to the data page
    // itself, to a slot the text page does not have, and through in-row root entries of size 0
    // or with file id 2000 (read from the primary file).
    TableSpec t = Table(600, "T",
                        {Col("Id", ST_INT, 4), Col("Txt", ST_TEXT, 16, kLatin1),
                         Col("Big", ST_VARCHAR, -1, kLatin1)});
    t.rows = {TableRow{{Int(1), Lob(Ascii("first"), LobForm::SmallRoot),
                        Lob(Ascii("0123456789"), LobForm::MaxRoot, 5)}}};
    WrittenDatabase probe = WriteTables({}, {t});
    const PagePointer text = probe.tables[0].textPages.at(0);
    const PagePointer data = probe.tables[0].dataPages.at(0);
    // The in-row root of row 1 names fragments at slots 1 and 2 of the text page.
    auto root = [&](std::vector<LobLink> links) { return Complex(InRowRoot(links)); };
    const std::uint16_t nPastEnd = 60000;
    t.rows.push_back({{Int(2), Complex(TextPointer({0, 1}, 0)), root({{5, {0, 1}, 0}})}});
    t.rows.push_back(
        {{Int(3), Complex(TextPointer({nPastEnd, 1}, 0)), root({{5, {nPastEnd, 1}, 0}})}});
    t.rows.push_back({{Int(4), Complex(TextPointer(data, 0)), root({{5, data, 0}})}});
    t.rows.push_back(
        {{Int(5), Complex(TextPointer(text, 40)), root({{0, text, 1}, {10, text, 2}})}});
    t.rows.push_back(
        {{Int(6), Complex(TextPointer(text, 0)), root({{5, {text.nPageId, 2000}, 1}})}});
    OpenedDb db(WriteTables({}, {t}).file);
    const auto listing = db.Rows("T");
    EXPECT_EQ(listing.rows, (Rows{{"1", "first", "0123456789"},
                                  {"2", " ", ""},
                                  {"3", " ", ""},
                                  {"4", " ", ""},
                                  {"5", " ", "56789"},
                                  {"6", "first", "01234"}}));
    EXPECT_TRUE(listing.bLobFailure);
}

TEST(RowReaderLob, LoopingLargeValueTreesEnd) {
    // A large root whose link names itself, and an internal node that links to itself and to
    // its root: rendering ends and keeps the data it did reach.
    TableSpec t = Table(600, "T", {Col("Id", ST_INT, 4), Col("Txt", ST_TEXT, 16, kLatin1)});
    t.rows = {TableRow{{Int(1), Lob(Ascii("abcdef"), LobForm::Tree, 3)}}};
    WrittenDatabase w = WriteTables({}, {t});
    const PagePointer text = w.tables[0].textPages.at(0);
    // Fragments in order: data 0, data 1, internal node 2, large root 3.
    PageBuilder pb(PT_TEXT_MIX, le::I32(w.PageAt(text) + 24), text);
    pb.Header().nIndexId = le::I16(w.PageAt(text) + 6);
    pb.AddRow(DataFragmentRow(1, Ascii("abc")));
    pb.AddRow(DataFragmentRow(2, Ascii("def")));
    pb.AddRow(InternalRow(3, {{3, text, 0}, {6, text, 2}, {9, text, 3}, {12, text, 1}}));
    pb.AddRow(LargeRootRow(4, {{12, text, 2}, {20, text, 3}}));
    const Page page = pb.Build();
    std::copy(page.begin(), page.end(), w.PageAt(text));
    OpenedDb db(w.file);
    const auto listing = db.Rows("T");
    ASSERT_EQ(listing.rows.size(), 1u);
    EXPECT_EQ(listing.rows[0][1], "abcdef");
    EXPECT_TRUE(listing.bLobFailure);
}

TEST(RowReaderLob, BitsShortRecordsSparseColumnsAndBinaryPrefix) {
    // Nine bit columns: eight share a byte, the ninth takes a new one.
    std::vector<ColumnSpec> cols{Col("Id", ST_INT, 4)};
    TableRow bits{{Int(1)}};
    for (int i = 0; i < 9; ++i) {
        cols.push_back(Col("B" + std::to_string(i), ST_BIT, 1));
        bits.cells.push_back(Bit(i % 3 == 0));
    }
    cols.push_back(Col("After", ST_INT, 4));
    bits.cells.push_back(Int(77));
    OpenedDb nine(WriteTables({}, {Table(600, "T", cols, {bits})}).file);
    EXPECT_EQ(nine.Rows("T").rows, (Rows{{"1", "True", "False", "False", "True", "False", "False",
                                          "True", "False", "False", "77"}}));

    // A record written before two columns were added: their texts stay empty, whatever the
    // previous row held.
    TableSpec grown = Table(601, "G",
                            {Col("Id", ST_INT, 4), Col("Vb", ST_VARBINARY, 10),
                             Col("New1", ST_INT, 4), Col("New2", ST_VARCHAR, 5, kLatin1)});
    grown.rows = {TableRow{{Int(1), Val({0x01, 0x02}), Int(5), Text("x")}},
                  TableRow{{Int(2), Val({}), Int(6), Text("y")}}};
    WrittenDatabase w = WriteTables({}, {grown});
    {
        // Rewrite the second row with a column count of two.
        const PagePointer p = w.tables[0].dataPages[0];
        PageBuilder pb(PT_DATA, w.tables[0].nPageObjectId, p);
        pb.Header().nIndexId = w.tables[0].nPageIndexId;
        pb.AddRow(RowBuilder()
                      .Fixed(Cat({LE32(1), LE32(5)}))
                      .Columns(4)
                      .Var({0x01, 0x02})
                      .Var(Ascii("x"))
                      .Build());
        pb.AddRow(RowBuilder().Fixed(LE32(2)).Columns(2).Var({0xAA}).Build());
        const Page page = pb.Build();
        std::copy(page.begin(), page.end(), w.PageAt(p));
    }
    OpenedDb short_(w.file);
    EXPECT_EQ(short_.Rows("G").rows, (Rows{{"1", "0x0102", "5", "x"}, {"2", "0xAA", "", ""}}));

    // Sparse columns live in the sparse vector; a NULL sparse value is absent from it.
    ColumnSpec s1 = Col("S1", ST_INT, 4), s2 = Col("S2", ST_VARCHAR, 10, kLatin1);
    s1.bSparse = s2.bSparse = true;
    TableSpec sparse =
        Table(602, "S", {Col("Id", ST_INT, 4), Col("V", ST_VARCHAR, 10, kLatin1), s1, s2},
              {TableRow{{Int(1), Text("v"), Int(42), Text("sv")}},
               TableRow{{Int(2), Null(), Null(), Text("only")}}});
    OpenedDb sp(WriteTables({}, {sparse}).file);
    EXPECT_EQ(sp.Rows("S").rows, (Rows{{"1", "v", "42", "sv"}, {"2", "NULL", "", "only"}}));
}
