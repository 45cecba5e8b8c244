#include <gtest/gtest.h>

#include "pagestore/Bytes.h"
#include "pagestore/CMdfReader.h"
#include "support/RecordingNotify.h"
#include "support/TestFiles.h"

using namespace qw;

namespace {

// A database whose text page 20 holds fragments in these slots:
//  0 small root "abc" as UTF-16      1 data fragment of 40 bytes ("hello" then zeros and text)
//  2 data fragment "wor"             3 large root: slot 1 of page 21, slot 2 of page 20
//  4 internal node linking to itself 5 a fragment whose fixed part is 6 bytes
//  6 small root of binary bytes with half of them zero
// Page 21 slot 0: data "+tail" (5 bytes), slot 1: data "ld"; page 22 is not a text page.
struct LobFile {
    TempDir dir;
    CDravoltBrevantProjApp app;
    RecordingNotify notify;
    std::unique_ptr<CMdfReader> reader;
    LobFile() {
        FileBuilder f = SkeletonFile(24);
        f.SetPage(16, SystemTablePage(7, {16, 1}));
        PageBuilder t(PT_TEXT_MIX, 600, {20, 1});
        t.AddRow(SmallRootRow(1, Utf16("abc")));
        t.AddRow(DataFragmentRow(2, Cat({Ascii("hello"), Bytes(20, 0), Ascii("ignored text 15")})));
        t.AddRow(DataFragmentRow(3, Ascii("wor")));
        t.AddRow(LargeRootRow(4, {{2, {21, 1}, 1}, {5, {20, 1}, 2}}));
        t.AddRow(InternalRow(5, {{0, {20, 1}, 4}, {0, {20, 1}, 2}}));
        t.AddRow(Bytes{0x08, 0x00, 0x0A, 0x00, 1, 2, 3, 4, 5, 6});
        t.AddRow(SmallRootRow(7, Bytes{0x01, 0x00, 0x02, 0x00}));
        f.SetPage(20, t);
        PageBuilder u(PT_TEXT_MIX, 600, {21, 1});
        u.AddRow(DataFragmentRow(8, Ascii("+tail")));
        u.AddRow(DataFragmentRow(9, Ascii("ld")));
        f.SetPage(21, u);
        reader = std::make_unique<CMdfReader>(dir.Write("lob.mdf", f), app, notify);
    }
    std::string Pointer(PagePointer p, std::uint16_t nSlot, LobOptions opt = {}) {
        LobRenderer r(*reader, std::move(opt));
        return r.RenderTextPointer(TextPointer(p, nSlot));
    }
};

} // namespace

TEST(Lob, RendersFragmentTrees) {
    LobFile fx;
    ASSERT_TRUE(fx.reader->IsOpen());
    LobOptions hex;
    hex.nHexMode = 1;
    LobOptions wide;
    wide.bWide = true;
    struct Case {
        const char* name;
        PagePointer page;
        std::uint16_t nSlot;
        LobOptions opt;
        std::string expect;
    };
    const Case cases[] = {
        {"small root of UTF-16 letters", {20, 1}, 0, {}, "abc"},
        {"small root as hexadecimal keeps the stored bytes", {20, 1}, 0, hex, "610062006300"},
        {"data fragment: narrow text up to the first zero", {20, 1}, 1, {}, "hello"},
        {"large root joins its parts in order", {20, 1}, 3, {}, "ldwor"},
        {"large root as hexadecimal", {20, 1}, 3, hex, "6C64776F72"},
        {"internal node linking to itself ends", {20, 1}, 4, {}, "wor"},
        {"fixed part shorter than ten bytes", {20, 1}, 5, {}, " "},
        {"binary small root with half zeros, as hexadecimal", {20, 1}, 6, hex, "01000200"},
        {"short last fragment", {21, 1}, 0, {}, "+tail"},
        {"slot past the page", {20, 1}, 40, {}, " "},
        {"page past the end of the file", {900, 1}, 0, {}, " "},
        {"page 0", {0, 1}, 0, {}, " "},
        {"unknown file", {20, 5}, 0, {}, " "},
        {"wide data fragment", {21, 1}, 1, wide, "\xE6\x91\xAC"}, // "ld" read as one UTF-16 unit
    };
    for (const Case& c : cases) EXPECT_EQ(fx.Pointer(c.page, c.nSlot, c.opt), c.expect) << c.name;
}

TEST(Lob, InRowRootsAndCollectMode) {
    LobFile fx;
    LobRenderer r(*fx.reader, {});
    // Entries of size 0 are skipped; a file id above 1000 is read from the primary file.
    EXPECT_EQ(r.RenderInRowRoot(InRowRoot({{3, {20, 2000}, 2}, {0, {21, 1}, 0}, {5, {21, 1}, 0}})),
              "wor+tail");

    std::vector<std::vector<std::uint8_t>> chunks;
    LobOptions collect;
    collect.pCollector = &chunks;
    LobRenderer c(*fx.reader, collect);
    EXPECT_EQ(c.RenderTextPointer(TextPointer({20, 1}, 3)), "");
    ASSERT_EQ(chunks.size(), 2u);
    EXPECT_EQ(chunks[0], Ascii("ld"));
    EXPECT_EQ(chunks[1], Ascii("wor"));
    EXPECT_FALSE(c.HadFailures());

    LobRenderer loop(*fx.reader, {});
    loop.RenderTextPointer(TextPointer({20, 1}, 4));
    EXPECT_TRUE(loop.HadFailures());
}

TEST(Lob, SmallRootOfAWholePageIsNotCollected) {
    TempDir dir;
    FileBuilder f = SkeletonFile(24);
    f.SetPage(16, SystemTablePage(7, {16, 1}));
    PageBuilder t(PT_TEXT_MIX, 600, {20, 1});
    // A small root claiming 8192 bytes whose fixed part cannot hold them.
    Bytes row = SmallRootRow(1, Bytes(100, 0x41));
    le::Put16(row.data() + 4 + 10, 8192);
    t.AddRow(row);
    f.SetPage(20, t);
    CDravoltBrevantProjApp app;
    RecordingNotify n;
    CMdfReader reader(dir.Write("big.mdf", f), app, n);
    std::vector<std::vector<std::uint8_t>> chunks;
    LobOptions collect;
    collect.pCollector = &chunks;
    LobRenderer c(reader, collect);
    c.RenderTextPointer(TextPointer({20, 1}, 0));
    EXPECT_TRUE(chunks.empty());
}

TEST(Lob, RealTextValuesDecode) {
    QUARVEL_REQUIRE_CORPUS();
    // nw2.mdf page 95 holds small roots of category descriptions, stored as UTF-16.
    CDravoltBrevantProjApp app;
    RecordingNotify n;
    CMdfReader reader((CorpusDir() / "nw2.mdf").string(), app, n);
    LobOptions wide;
    wide.bWide = true;
    LobRenderer r(reader, wide);
    EXPECT_EQ(r.RenderTextPointer(TextPointer({95, 1}, 11)), "Cheeses");
    EXPECT_EQ(r.RenderTextPointer(TextPointer({95, 1}, 16)).substr(0, 14), "Prepared meats");
}
