#!/usr/bin/env python3
"""Writes data/collation.txt, the collation list installed beside the quarvel programs.

Input: a tab-separated list of every SQL Server collation (name, 32-bit collation id as a
signed decimal, Windows code page; 0 for the Unicode-only collations, 65001 for the UTF-8
ones), by default ../shared/data/collations.tsv beside this repository.
Output: one line per collation, name TAB id TAB code page, ordered by id.
"""
import pathlib
import sys

root = pathlib.Path(__file__).resolve().parent.parent
src = pathlib.Path(sys.argv[1]) if len(sys.argv) > 1 else root.parent / "shared" / "data" / "collations.tsv"
dst = root / "data" / "collation.txt"

rows = {}
for n, line in enumerate(src.read_text(encoding="utf-8").splitlines(), 1):
    if not line.strip():
        continue
    name, cid, cp = line.split("\t")
    cid, cp = int(cid), int(cp)
    if not -2**31 <= cid < 2**31 or cid in rows:
        sys.exit(f"{src}:{n}: bad or repeated collation id {cid}")
    rows[cid] = (name, cp)

with dst.open("w", encoding="ascii", newline="\n") as out:
    for cid in sorted(rows):
        name, cp = rows[cid]
        out.write(f"{name}\t{cid}\t{cp}\n")
print(f"{dst}: {len(rows)} collations")
