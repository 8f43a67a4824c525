// The 2020 school allocation's level tables, read at run time from KANJIDIC2 as the
// kanjidic-xml package installs it. Nothing of the file is kept in the program or on disk.
#pragma once

#include <string>
#include <string_view>

#include "core/reports/kanji_tables.h"

namespace tessarin::reports {

// Where the kanjidic-xml package installs KANJIDIC2.
inline constexpr std::string_view kKanjidicPath = "/usr/share/edict/kanjidic2.xml.gz";
// Where the package keeps the data's documentation and licence.
inline constexpr std::string_view kKanjidicDocs = "/usr/share/doc/kanjidic-xml/";

// What the window's notice says of the data and fonts read from the machine, as their licences
// ask (the command line's --version says the same in the user's language).
inline constexpr std::string_view kDataNotice =
    "2020年度からの学年別漢字配当表は KANJIDIC2 から読みます。KANJIDIC2 は Electronic "
    "Dictionary Research and Development Group（EDRDG）の著作物で、同グループのライセンス "
    "Creative Commons 表示 - 継承（CC BY-SA 4.0）に従って使用しています。パッケージ "
    "kanjidic-xml が説明書とライセンスを /usr/share/doc/kanjidic-xml/ に置きます。\n\n"
    "書き順つき解答は KanjiStrokeOrders フォント（fonts-kanjistrokeorders、Copyright "
    "2004-2020 Ulrich Apel, the AAAA project and the Wadoku project、BSD-3-Clause "
    "ライセンス）で描きます。";

// The heading of the 2020 secondary level: the jouyou kanji beyond the elementary grades, which
// the kanji aptitude test spreads over its levels 4 to 2.
inline constexpr std::string_view kSecondary2020Label = "【中学で習う漢字】（漢検4級～2級）";

// Reads the level tables from a KANJIDIC2 file, gzip-compressed or plain: levels 1 to 6 are the
// kanji whose grade field is 1 to 6, level 7 those whose grade is 8 (the other jouyou kanji);
// each level keeps the file's order. Only each character's literal and grade are looked at.
// Throws host::HostError 53 when the file cannot be opened, 1004 when it is no KANJIDIC2 file
// or lacks one of the levels.
KanjiTableSet ReadKanjidicTables(const std::string& path);

// The tables of kKanjidicPath, read at the first call that succeeds and kept for the process.
// Throws as ReadKanjidicTables, and tries again at the next call.
const KanjiTableSet& Tables2020();

// Tables1989() or Tables2020().
const KanjiTableSet& TablesFor(GradeAllocation allocation);

}  // namespace tessarin::reports
