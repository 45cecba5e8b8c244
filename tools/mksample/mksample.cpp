// Writes the bundled sample database: a small primary file with the allocation pages every
// file starts with, pages of the system tables and a user table with a few rows.
#include <cstdio>
#include <exception>

#include "support/DbWriter.h"

using namespace qw;

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "Usage: mksample OUT.mdf\n");
        return 2;
    }
    try {
        FileBuilder f = SkeletonFile(64);
        // System tables: object ids of the base tables that hold the catalog.
        const int systemObjects[] = {3, 4, 5, 7, 8, 34, 41, 50, 54, 55, 60, 64, 74};
        int nPos = 16;
        for (int nObject : systemObjects) {
            PageBuilder pb = SystemTablePage(nObject, {nPos, 1});
            pb.AddRow(RowBuilder()
                          .Fixed(LE32(static_cast<std::uint32_t>(nObject)))
                          .Var(Utf16("sys"))
                          .Build());
            f.SetPage(static_cast<std::size_t>(nPos++), pb);
        }
        // A user table with three rows on two chained pages and its allocation page.
        const std::int32_t nTable = 245575913;
        PageBuilder iam(PT_IAM, nTable, {40, 1});
        iam.AddRow(RowBuilder().Fixed(Bytes(90, 0)).Build());
        f.SetPage(40, iam);
        PageBuilder p1(PT_DATA, nTable, {41, 1});
        p1.Header().next = {42, 1};
        p1.AddRow(RowBuilder().Fixed(LE32(1)).Var(Ascii("first row")).Build());
        p1.AddRow(RowBuilder().Fixed(LE32(2)).Var(Ascii("second row")).Build());
        PageBuilder p2(PT_DATA, nTable, {42, 1});
        p2.Header().prev = {41, 1};
        p2.AddRow(RowBuilder().Fixed(LE32(3)).Null(1).Build());
        f.SetPage(41, p1).SetPage(42, p2);
        f.Write(argv[1]);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "mksample: %s\n", e.what());
        return 1;
    }
    return 0;
}
