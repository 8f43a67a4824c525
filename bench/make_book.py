#!/usr/bin/env python3
"""Writes a question workbook for the benches: one sheet "ミラトス" with a question in column D
and its answer in column E on every row, through shared strings as spreadsheet programs save.

Usage: make_book.py OUT.xlsx ROWS [--group N] [--uneven N]
  --group N   every answer appears N times (groups of N equal answers); default: all distinct
  --uneven N  one answer appears N times, all other answers are distinct
Questions are always distinct, so every question can be looked up by its text."""
import argparse
import zipfile
from xml.sax.saxutils import escape

KANJI = "山川田日月火水木金土石花草竹糸貝車町村森林空雨天気"


def text_of(n, prefix):
    digits = []
    while True:
        digits.append(KANJI[n % len(KANJI)])
        n //= len(KANJI)
        if n == 0:
            break
    return prefix + "".join(digits)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("out")
    parser.add_argument("rows", type=int)
    parser.add_argument("--group", type=int, default=1)
    parser.add_argument("--uneven", type=int, default=0)
    args = parser.parse_args()

    strings, index = [], {}

    def sid(text):
        if text not in index:
            index[text] = len(strings)
            strings.append(text)
        return index[text]

    rows = []
    for r in range(1, args.rows + 1):
        question = text_of(r, "カタカナのモンダイ") + "をかく。"
        if args.uneven:
            answer = "同" if r <= args.uneven else text_of(r, "答")
        else:
            answer = text_of((r - 1) // args.group, "答")
        rows.append(f'<row r="{r}"><c r="D{r}" t="s"><v>{sid(question)}</v></c>'
                    f'<c r="E{r}" t="s"><v>{sid(answer)}</v></c></row>')

    main_ns = "http://schemas.openxmlformats.org/spreadsheetml/2006/main"
    rel_ns = "http://schemas.openxmlformats.org/officeDocument/2006/relationships"
    pkg = "http://schemas.openxmlformats.org/package/2006"
    with zipfile.ZipFile(args.out, "w", zipfile.ZIP_DEFLATED) as z:
        z.writestr("[Content_Types].xml",
                   f'<?xml version="1.0" encoding="UTF-8" standalone="yes"?>'
                   f'<Types xmlns="{pkg}/content-types">'
                   '<Default Extension="rels" ContentType="application/vnd.openxmlformats-package.relationships+xml"/>'
                   '<Default Extension="xml" ContentType="application/xml"/>'
                   '<Override PartName="/xl/workbook.xml" ContentType="application/vnd.openxmlformats-officedocument.spreadsheetml.sheet.main+xml"/>'
                   '<Override PartName="/xl/worksheets/sheet1.xml" ContentType="application/vnd.openxmlformats-officedocument.spreadsheetml.worksheet+xml"/>'
                   '<Override PartName="/xl/sharedStrings.xml" ContentType="application/vnd.openxmlformats-officedocument.spreadsheetml.sharedStrings+xml"/>'
                   '</Types>')
        z.writestr("_rels/.rels",
                   f'<?xml version="1.0" encoding="UTF-8" standalone="yes"?><Relationships xmlns="{pkg}/relationships">'
                   f'<Relationship Id="rId1" Type="{rel_ns}/officeDocument" Target="xl/workbook.xml"/></Relationships>')
        z.writestr("xl/workbook.xml",
                   f'<?xml version="1.0" encoding="UTF-8" standalone="yes"?><workbook xmlns="{main_ns}" xmlns:r="{rel_ns}">'
                   '<sheets><sheet name="ミラトス" sheetId="1" r:id="rId1"/></sheets></workbook>')
        z.writestr("xl/_rels/workbook.xml.rels",
                   f'<?xml version="1.0" encoding="UTF-8" standalone="yes"?><Relationships xmlns="{pkg}/relationships">'
                   f'<Relationship Id="rId1" Type="{rel_ns}/worksheet" Target="worksheets/sheet1.xml"/>'
                   f'<Relationship Id="rId2" Type="{rel_ns}/sharedStrings" Target="sharedStrings.xml"/></Relationships>')
        z.writestr("xl/worksheets/sheet1.xml",
                   f'<?xml version="1.0" encoding="UTF-8" standalone="yes"?><worksheet xmlns="{main_ns}">'
                   f'<sheetData>{"".join(rows)}</sheetData></worksheet>')
        z.writestr("xl/sharedStrings.xml",
                   f'<?xml version="1.0" encoding="UTF-8" standalone="yes"?><sst xmlns="{main_ns}" '
                   f'count="{2 * args.rows}" uniqueCount="{len(strings)}">'
                   + "".join(f"<si><t>{escape(s)}</t></si>" for s in strings) + "</sst>")


if __name__ == "__main__":
    main()
