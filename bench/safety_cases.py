#!/usr/bin/env python3
"""Runs the hostile inputs that saving and opening must survive, against one tessarin binary, and
prints for each the outcome, wall seconds, CPU seconds and peak memory. Run it against two builds
to compare them:

    bench/safety_cases.py build/app/cli/tessarin [CASE ...]

Every input is made on the fly in a temporary folder (zips written here, not files kept in the
repository). Some cases need root (chown to another user). A case that runs past its time limit is
killed and shown as "timeout"."""

import io
import json
import os
import shutil
import signal
import subprocess
import sys
import tempfile
import time
import zipfile

TESSARIN = os.path.abspath(sys.argv[1]) if len(sys.argv) > 1 else "build/app/cli/tessarin"
ONLY = set(sys.argv[2:])
WORK = tempfile.mkdtemp(prefix="safety-cases.")
HOME = os.path.join(WORK, "home")
DOCS = os.path.join(HOME, "Documents")
os.makedirs(DOCS)
ENV = dict(os.environ, HOME=HOME, XDG_DOCUMENTS_DIR=DOCS, LANG="C.UTF-8", LC_ALL="C.UTF-8")
SETTINGS_DIR = os.path.join(DOCS, "ミラトス保存データ")
SETTINGS = os.path.join(SETTINGS_DIR, "ミラトス_設定値.ini")


def run(args, stdin=None, limit=120):
    """Runs tessarin with args; returns (exit code or 'timeout', stdout, wall s, cpu s, peak MiB)."""
    start = time.monotonic()
    proc = subprocess.Popen([TESSARIN] + args, stdin=subprocess.PIPE, stdout=subprocess.PIPE,
                            stderr=subprocess.STDOUT, env=ENV, cwd=WORK, start_new_session=True)
    out = io.BytesIO()
    if stdin is not None:
        proc.stdin.write(stdin.encode())
    proc.stdin.close()
    os.set_blocking(proc.stdout.fileno(), False)
    code = None
    while code is None:
        chunk = proc.stdout.read()
        if chunk:
            out.write(chunk)
        pid, status, usage = os.wait4(proc.pid, os.WNOHANG)
        if pid:
            code = os.waitstatus_to_exitcode(status)
            break
        if time.monotonic() - start > limit:
            os.killpg(proc.pid, signal.SIGKILL)
            pid, status, usage = os.wait4(proc.pid, 0)
            code = "timeout"
            break
        time.sleep(0.01)
    chunk = proc.stdout.read()
    if chunk:
        out.write(chunk)
    wall = time.monotonic() - start
    return code, out.getvalue().decode(errors="replace"), wall, usage.ru_utime + usage.ru_stime, \
        usage.ru_maxrss / 1024


def script(lines, limit=120):
    # From a file: a long script written to a pipe while its transcript fills the other would stall.
    with tempfile.NamedTemporaryFile("w", suffix=".jsonl", dir=WORK, delete=False) as f:
        f.write("\n".join(json.dumps(l, ensure_ascii=False) for l in lines) + "\n")
    return run(["script", f.name], None, limit)


def errors(out):
    """The error texts of a transcript (or the plain output of a command)."""
    found = []
    for line in out.splitlines():
        try:
            ev = json.loads(line)
        except ValueError:
            if line.strip():
                found.append(line.strip())
            continue
        if isinstance(ev, dict) and "error" in ev:
            found.append(f'{ev["error"]} (error {ev.get("number", "-")})')
        elif isinstance(ev, dict) and ev.get("result", 0) != 0:
            found.append(f'{ev.get("description", "")} (error {ev["result"]})')
        elif isinstance(ev, dict) and isinstance(ev.get("msgbox"), dict):
            found.append("box: " + ev["msgbox"].get("text", ""))
    return found


def path(name):
    return os.path.join(WORK, name)


def sheet_xml(cells_xml, extra=""):
    return ('<?xml version="1.0" encoding="UTF-8" standalone="yes"?>\n'
            '<worksheet xmlns="http://schemas.openxmlformats.org/spreadsheetml/2006/main">'
            f'<sheetData>{cells_xml}</sheetData>{extra}</worksheet>')


def write_xlsx(name, sheet, more=(), sheets=1):
    """A minimal package with `sheets` sheets (the first holding `sheet`); `more` adds raw entries."""
    types = ('<?xml version="1.0" encoding="UTF-8"?><Types xmlns="http://schemas.openxmlformats.org/'
             'package/2006/content-types"><Default Extension="rels" ContentType="application/vnd.'
             'openxmlformats-package.relationships+xml"/><Default Extension="xml" ContentType="'
             'application/xml"/><Override PartName="/xl/workbook.xml" ContentType="application/vnd.'
             'openxmlformats-officedocument.spreadsheetml.sheet.main+xml"/>')
    for i in range(1, sheets + 1):
        types += (f'<Override PartName="/xl/worksheets/sheet{i}.xml" ContentType="application/vnd.'
                  'openxmlformats-officedocument.spreadsheetml.worksheet+xml"/>')
    types += "</Types>"
    rel = "http://schemas.openxmlformats.org/officeDocument/2006/relationships"
    wb = ('<?xml version="1.0" encoding="UTF-8"?><workbook xmlns="http://schemas.openxmlformats.org/'
          f'spreadsheetml/2006/main" xmlns:r="{rel}"><sheets>' +
          "".join(f'<sheet name="Sheet{i}" sheetId="{i}" r:id="rId{i}"/>' for i in range(1, sheets + 1))
          + "</sheets></workbook>")
    wb_rels = ('<?xml version="1.0" encoding="UTF-8"?><Relationships xmlns="http://schemas.'
               'openxmlformats.org/package/2006/relationships">' +
               "".join(f'<Relationship Id="rId{i}" Type="{rel}/worksheet" '
                       f'Target="worksheets/sheet{i}.xml"/>' for i in range(1, sheets + 1)) +
               "</Relationships>")
    root_rels = ('<?xml version="1.0" encoding="UTF-8"?><Relationships xmlns="http://schemas.'
                 'openxmlformats.org/package/2006/relationships"><Relationship Id="rId1" Type="'
                 f'{rel}/officeDocument" Target="xl/workbook.xml"/></Relationships>')
    with zipfile.ZipFile(path(name), "w", zipfile.ZIP_DEFLATED) as z:
        z.writestr("[Content_Types].xml", types)
        z.writestr("_rels/.rels", root_rels)
        z.writestr("xl/workbook.xml", wb)
        z.writestr("xl/_rels/workbook.xml.rels", wb_rels)
        z.writestr("xl/worksheets/sheet1.xml", sheet)
        for i in range(2, sheets + 1):
            z.writestr(f"xl/worksheets/sheet{i}.xml", sheet_xml(""))
        for entry, data in more:
            with warnings_off():
                z.writestr(entry, data)
    return path(name)


class warnings_off:
    def __enter__(self):
        import warnings
        self.ctx = warnings.catch_warnings()
        self.ctx.__enter__()
        warnings.simplefilter("ignore")

    def __exit__(self, *a):
        self.ctx.__exit__(*a)


def reopen(book):
    code, out, *_ = script([{"open": book}, {"show": "state"}])
    errs = errors(out)
    return "reopens" if not errs else "does not reopen: " + errs[0][:80]


CASES = []


def case(fn):
    CASES.append(fn)
    return fn


@case
def sheets_8001():
    book = path("many-sheets.xlsx")
    r = script([{"new": True}] + [{"addsheet": True}] * 8000 + [{"save": book}], limit=300)
    errs = errors(r[1])
    saved = os.path.exists(book)
    return r, ("save refused: " + errs[-1][:90]) if errs else ("saved, " + reopen(book) if saved
                                                                else "nothing saved")


@case
def addsheet_2000():
    r = script([{"new": True}] + [{"addsheet": True}] * 2000, limit=300)
    return r, "; ".join(errors(r[1]))[:90] or "ok"


@case
def merges_400k():
    merges = "".join(f'<mergeCell ref="A{2 * i + 1}:B{2 * i + 2}"/>' for i in range(400000))
    book = write_xlsx("merges.xlsx", sheet_xml('<row r="1"><c r="A1"><v>1</v></c></row>',
                                                f'<mergeCells count="400000">{merges}</mergeCells>'))
    r = script([{"open": book}, {"save": path("merges-out.xlsx")}], limit=300)
    return r, "; ".join(errors(r[1]))[:90] or "opened and saved"


@case
def fifo_as_book():
    fifo = path("book.xlsx.fifo")
    os.mkfifo(fifo)
    r = script([{"open": fifo}], limit=20)
    return r, "; ".join(errors(r[1]))[:90] or "opened?"


@case
def fifo_as_settings():
    os.makedirs(SETTINGS_DIR, exist_ok=True)
    os.mkfifo(SETTINGS)
    try:
        r = script([{"call": "Auto_Open"}, {"openfile": None}], limit=20)
    finally:
        os.unlink(SETTINGS)
    return r, "; ".join(errors(r[1]))[:90] or "ok"


@case
def settings_50mb_create_2000():
    os.makedirs(SETTINGS_DIR, exist_ok=True)
    with open(SETTINGS, "w", encoding="utf-8") as f:
        line = "x" * 99 + "\n"
        for _ in range(50 * 1024 * 1024 // 100):
            f.write(line)
    csv = path("questions.csv")
    with open(csv, "w", encoding="utf-8") as f:
        for i in range(2000):
            f.write(f",,,問題{i}の<かん>字,漢{i}\n")
    try:
        r = run(["create", csv, "--count", "40", "-o", path("created.xlsx")], limit=300)
        broken = os.path.exists(SETTINGS + ".broken")
    finally:
        for p in (SETTINGS, SETTINGS + ".broken"):
            if os.path.exists(p):
                os.unlink(p)
    return r, ("exit %s" % r[0]) + (", set aside as .broken" if broken else ", left in place")


@case
def settings_link_to_dev_zero():
    os.makedirs(SETTINGS_DIR, exist_ok=True)
    os.symlink("/dev/zero", SETTINGS)
    try:
        r = script([{"call": "Auto_Open"}, {"openfile": None}], limit=30)
    finally:
        os.unlink(SETTINGS)
    return r, "; ".join(errors(r[1]))[:90] or "ok"


@case
def new_120k():
    r = script([{"new": True}] * 120000, limit=300)
    errs = errors(r[1])
    return r, (f"{len(errs)} refused, first: " + errs[0][:70]) if errs else "all opened"


def planted(owner_uid):
    shared = path("shared")
    os.makedirs(shared, exist_ok=True)
    os.chmod(shared, 0o1777)
    victim = path("victim.txt")
    with open(victim, "w") as f:
        f.write("keep me\n")
    link = os.path.join(shared, "book.xlsx")
    if os.path.lexists(link):
        os.unlink(link)
    os.symlink(victim, link)
    os.lchown(link, owner_uid, owner_uid)
    r = script([{"new": True}, {"save": link}])
    with open(victim, "rb") as f:
        kept = f.read() == b"keep me\n"
    return r, ("victim kept" if kept else "VICTIM OVERWRITTEN") + "; " + "; ".join(errors(r[1]))[:70]


@case
def link_planted_by_other_user():
    return planted(65534)


@case
def read_only_book():
    book = path("read-only.xlsx")
    script([{"new": True}, {"save": book}])
    os.chmod(book, 0o444)
    before = os.stat(book).st_ino
    r = script([{"open": book}, {"type": {"cell": "A1", "value": "changed"}}, {"save": True}])
    replaced = os.stat(book).st_ino != before
    return r, ("REPLACED" if replaced else "kept") + "; " + "; ".join(errors(r[1]))[:70]


@case
def owner_group_mode_kept():
    book = path("owned.xlsx")
    script([{"new": True}, {"save": book}])
    os.chmod(book, 0o640)
    os.chown(book, 65534, 65534)
    r = script([{"open": book}, {"type": {"cell": "A1", "value": "x"}}, {"save": True}])
    st = os.stat(book)
    return r, f"after save: uid {st.st_uid} gid {st.st_gid} mode {oct(st.st_mode & 0o7777)}"


@case
def bad_save_paths():
    outs = []
    total = None
    os.makedirs(path("folder"), exist_ok=True)
    for p in ["", "/", path("dir") + "/", path("folder")]:
        r = script([{"new": True}, {"save": p}])
        total = r
        e = errors(r[1])
        outs.append(f"{p[-7:]!r}: " + ("refused" if e else "SAVED?"))
    return total, ", ".join(outs)


@case
def name_near_limit():
    book = path("n" * 250 + ".xlsx")
    r = script([{"new": True}, {"save": book}])
    return r, ("saved" if os.path.exists(book) else "not saved") + "; " + "; ".join(errors(r[1]))[:60]


@case
def stale_temporaries():
    folder = path("stale")
    os.makedirs(folder, exist_ok=True)
    for i in range(3):
        with open(os.path.join(folder, f".~tsr-99999{i}-1.tmp"), "w") as f:
            f.write("left by a killed save")
        os.utime(os.path.join(folder, f".~tsr-99999{i}-1.tmp"), (0, 0))
    r = script([{"new": True}, {"save": os.path.join(folder, "book.xlsx")}])
    left = [n for n in os.listdir(folder) if n.startswith(".~tsr-")]
    return r, f"{len(left)} of 3 stale temporary files left"


def hostile_entry(entry):
    book = write_xlsx("entry.xlsx", sheet_xml('<row r="1"><c r="A1"><v>1</v></c></row>'),
                      more=[(entry, "<x/>")])
    r = script([{"open": book}])
    return r, "; ".join(errors(r[1]))[:90] or "OPENED"


@case
def entry_dot_dot():
    return hostile_entry("../../evil.xml")


@case
def entry_absolute():
    return hostile_entry("/etc/evil.xml")


@case
def entry_backslash():
    return hostile_entry("xl\\evil.xml")


@case
def entry_duplicate():
    return hostile_entry("xl/worksheets/sheet1.xml")


@case
def doctype_in_sheet():
    sheet = sheet_xml('<row r="1"><c r="A1"><v>1</v></c></row>').replace(
        "<worksheet", '<!DOCTYPE worksheet [<!ENTITY a "b">]><worksheet', 1)
    book = write_xlsx("doctype.xlsx", sheet)
    out_book = path("doctype-out.xlsx")
    r = script([{"open": book}, {"save": out_book}])
    written = False
    if os.path.exists(out_book):
        with zipfile.ZipFile(out_book) as z:
            written = any(b"DOCTYPE" in z.read(n) for n in z.namelist())
    return r, ("DOCTYPE WRITTEN BACK" if written else "no DOCTYPE written") + "; " + \
        "; ".join(errors(r[1]))[:60]


@case
def macro_book_saved_as_xlsx():
    corpus = os.environ.get("TESSARIN_CORPUS", "")
    src = os.path.join(corpus, "xlsx", "xlnt__17_xlsm.xlsm")
    if not corpus or not os.path.exists(src):
        return None, "skipped: set TESSARIN_CORPUS to the corpus of workbooks from other programs"
    out_book = path("macro.xlsx")
    r = script([{"open": src}, {"save": out_book}])
    with zipfile.ZipFile(out_book) as z:
        names = z.namelist()
        types = z.read("[Content_Types].xml").decode()
    return r, ("vbaProject KEPT" if any("vbaProject" in n for n in names) else "macro part dropped") + \
        ", " + ("macroEnabled type KEPT" if "macroEnabled" in types else "plain content type")


@case
def odd_numbers():
    cells = "".join(f'<c r="A{i + 1}"><v>{v}</v></c>' for i, v in
                    enumerate(["1e400", "nan", "-inf", "0x10"]))
    book = write_xlsx("odd.xlsx", sheet_xml(f'<row r="1">{cells}</row>'.replace(
        '<c r="A2"', '</row><row r="2"><c r="A2"').replace('<c r="A3"', '</row><row r="3"><c r="A3"')
        .replace('<c r="A4"', '</row><row r="4"><c r="A4"')))
    r = script([{"open": book}, {"dump": {"range": "A1:A4"}}])
    kept = []
    for line in r[1].splitlines():
        if '"dump"' in line:
            cells = json.loads(line)["dump"]["cells"]
            kept = [str(cells.get(f"A{i}", {}).get("value")) for i in range(1, 5)]
    return r, "values: " + ", ".join(kept)


@case
def bad_text():
    raw = ('<row r="1"><c r="A1" t="inlineStr"><is><t>a\ufffeb</t></is></c>'
           '<c r="B1" t="inlineStr"><is><t>c\x01d</t></is></c></row>').encode("utf-8")
    raw = raw.replace(b"c\x01d", b"c\xff\xfed")  # not UTF-8 either
    book = write_xlsx("badtext.xlsx", sheet_xml("@@").encode().replace(b"@@", raw))
    out_book = path("badtext-out.xlsx")
    r = script([{"open": book}, {"save": out_book}])
    verdict = "not saved"
    if os.path.exists(out_book):
        import xml.dom.minidom
        with zipfile.ZipFile(out_book) as z:
            try:
                for n in z.namelist():
                    if n.endswith(".xml"):
                        xml.dom.minidom.parseString(z.read(n))
                verdict = "saved file is well-formed XML"
            except Exception as e:  # the point of the case: report, do not stop
                verdict = f"MALFORMED XML written: {e}"[:80]
    return r, verdict + "; " + "; ".join(errors(r[1]))[:50]


@case
def cell_over_32767():
    book = write_xlsx("long.xlsx", sheet_xml('<row r="1"><c r="A1" t="inlineStr"><is><t>' +
                                              "字" * 40000 + "</t></is></c></row>"))
    r = script([{"open": book}, {"type": {"cell": "B1", "value": "x" * 40000}},
                {"dump": {"range": "A1:B1"}}])
    lengths = []
    for line in r[1].splitlines():
        if '"dump"' in line:
            cells = json.loads(line)["dump"]["cells"]
            lengths = [len(str(cells.get(a, {}).get("value", ""))) for a in ("A1", "B1")]
    return r, f"lengths read/typed: {lengths}; " + "; ".join(errors(r[1]))[:50]


# --- Every file written as safely as the workbook; two programs; byte paths; bounds.

def test_book(name="test.xlsx", questions=60, folder=None):
    """A question list and a test made from it with `create`; the test workbook's path."""
    folder = folder or WORK
    csv = os.path.join(folder, "questions.csv")
    with open(csv, "w", encoding="utf-8") as f:
        for i in range(1, questions + 1):
            f.write(f",,,問題{i}の<かん>字,漢{i}\n")
    book = os.path.join(folder, name)
    r = run(["create", csv, "--count", "40", "-o", book])
    if not os.path.exists(book):
        raise RuntimeError("create failed: " + r[1])
    return book


def pdf_ok(p):
    r = subprocess.run(["pdfinfo", p], capture_output=True)
    return r.returncode == 0


@case
def pdf_link_planted_by_other_user():
    book = test_book()
    shared = path("shared-pdf")
    os.makedirs(shared, exist_ok=True)
    os.chmod(shared, 0o1777)
    victim = path("victim-pdf.txt")
    with open(victim, "w") as f:
        f.write("keep me\n")
    out = os.path.join(shared, "out.pdf")
    for name in (out, out + ".part"):
        os.symlink(victim, name)
        os.lchown(name, 65534, 65534)
    r = run(["print", book, "-o", out])
    with open(victim, "rb") as f:
        kept = f.read() == b"keep me\n"
    return r, ("victim kept" if kept else "VICTIM OVERWRITTEN") + f"; exit {r[0]}: " + r[1].strip()[-60:]


@case
def pdf_to_fifo():
    book = test_book()
    fifo = path("out-fifo.pdf")
    os.mkfifo(fifo)
    r = run(["print", book, "-o", fifo], limit=20)
    import stat
    still = stat.S_ISFIFO(os.lstat(fifo).st_mode)
    return r, ("FIFO kept" if still else "FIFO REPLACED by a file") + f"; exit {r[0]}"


@case
def pdf_read_only():
    book = test_book()
    out = path("ro.pdf")
    run(["print", book, "-o", out])
    os.chmod(out, 0o444)
    ino = os.stat(out).st_ino
    r = run(["print", book, "-o", out])
    return r, ("REPLACED" if os.stat(out).st_ino != ino else "kept") + f"; exit {r[0]}"


@case
def pdf_owner_mode_kept():
    book = test_book()
    out = path("owned.pdf")
    run(["print", book, "-o", out])
    os.chmod(out, 0o640)
    os.chown(out, 65534, 65534)
    r = run(["print", book, "-o", out])
    st = os.stat(out)
    return r, f"after print: uid {st.st_uid} gid {st.st_gid} mode {oct(st.st_mode & 0o7777)}"


@case
def pdf_users_part_file():
    book = test_book()
    out = path("mine.pdf")
    with open(out + ".part", "w") as f:
        f.write("the user's own notes")
    r = run(["print", book, "-o", out])
    kept = os.path.exists(out + ".part") and open(out + ".part").read() == "the user's own notes"
    return r, ("user's .part kept" if kept else "USER'S .part DESTROYED") + f"; exit {r[0]}"


@case
def pdf_name_255_bytes():
    book = test_book()
    out = path("p" * 251 + ".pdf")
    r = run(["print", book, "-o", out])
    return r, ("printed" if os.path.exists(out) and pdf_ok(out) else "NOT printed") + f"; exit {r[0]}"


@case
def png_name_255_bytes():
    book = test_book()
    out = path("g" * 251 + ".png")
    r = run(["print", book, "-o", out, "--dpi", "30"])
    return r, ("written" if os.path.exists(out) else "NOT written") + f"; exit {r[0]}"


FREE = 16384  # bytes left free on the small disk


@case
def pdf_full_disk():
    """A 256 KiB tmpfs holding a good PDF of a 5-page test, filled until FREE bytes are free, so
    the next PDF cannot fit (needs root to mount)."""
    csv = path("many.csv")
    with open(csv, "w", encoding="utf-8") as f:
        for i in range(1, 241):
            f.write(f",,,問題{i}の<かん>字,漢{i}\n")
    book = path("many.xlsx")
    run(["create", csv, "--count", "200", "-o", book])
    disk = path("small-disk")
    os.makedirs(disk)
    if subprocess.run(["mount", "-t", "tmpfs", "-o", "size=256k", "tmpfs", disk]).returncode:
        return None, "skipped: cannot mount a small tmpfs"
    try:
        out = os.path.join(disk, "full.pdf")
        run(["print", book, "-o", out])
        good = open(out, "rb").read()
        st = os.statvfs(disk)
        with open(os.path.join(disk, "filler"), "wb") as f:
            f.write(b"\0" * max(0, st.f_bavail * st.f_frsize - FREE))
        r = run(["print", book, "-o", out])
        now = open(out, "rb").read()
        state = "old PDF whole" if now == good else ("new PDF whole" if pdf_ok(out) else
                                                     "PDF DAMAGED")
        said = "said Printed" if "Printed" in r[1] else "no Printed"
        return r, f"exit {r[0]}, {said}, {state} ({len(good)} bytes before, {len(now)} after)"
    finally:
        subprocess.run(["umount", disk])


@case
def two_prints_one_pdf():
    book = test_book()
    out = path("race.pdf")
    damaged = 0
    total = None
    for _ in range(3):
        procs = [subprocess.Popen([TESSARIN, "print", book, "-o", out], env=ENV, cwd=WORK,
                                  stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
                 for _ in range(2)]
        start = time.monotonic()
        for p in procs:
            p.wait()
        total = (max(p.returncode for p in procs), "", time.monotonic() - start, 0.0, 0.0)
        damaged += 0 if pdf_ok(out) else 1
    return total, f"{damaged} of 3 damaged"


@case
def pdf_killed_then_next_print():
    book = test_book()
    out = path("killed.pdf")
    for delay in (0.05, 0.1, 0.15, 0.2):
        p = subprocess.Popen([TESSARIN, "print", book, "-o", out], env=ENV, cwd=WORK,
                             stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        time.sleep(delay)
        p.kill()
        p.wait()
    r = run(["print", book, "-o", path("other.pdf")])
    left = [n for n in os.listdir(WORK) if n == "killed.pdf.part" or n.startswith(".~tsr-")]
    return r, f"{len(left)} temporary files left after the next print"


@case
def settings_link_planted():
    book = test_book()
    os.makedirs(SETTINGS_DIR, exist_ok=True)
    os.chmod(SETTINGS_DIR, 0o1777)
    victim = path("victim-settings.txt")
    with open(victim, "w") as f:
        f.write("root only\n")
    if os.path.lexists(SETTINGS):
        os.unlink(SETTINGS)
    os.symlink(victim, SETTINGS)
    os.lchown(SETTINGS, 65534, 65534)
    try:
        r = run(["create", path("questions.csv"), "--count", "10", "-o", path("s1.xlsx")])
    finally:
        os.unlink(SETTINGS)
        os.chmod(SETTINGS_DIR, 0o755)
    kept = open(victim).read() == "root only\n"
    return r, ("victim kept" if kept else "VICTIM OVERWRITTEN") + f"; exit {r[0]}"


@case
def settings_read_only():
    test_book()
    os.makedirs(SETTINGS_DIR, exist_ok=True)
    with open(SETTINGS, "w") as f:
        f.write("ST:1\r\n")
    os.chmod(SETTINGS, 0o444)
    ino = os.stat(SETTINGS).st_ino
    try:
        r = run(["create", path("questions.csv"), "--count", "10", "-o", path("s2.xlsx")])
        replaced = os.stat(SETTINGS).st_ino != ino
    finally:
        os.chmod(SETTINGS, 0o644)
        os.unlink(SETTINGS)
    return r, ("REWRITTEN" if replaced else "kept") + f"; exit {r[0]}: " + r[1].strip()[-60:]


def marks_in(book):
    """Wrong marks ("X" in F..O) and must marks (R) over the question sheet, by reopening."""
    code, out, *_ = script([{"open": book}, {"show": "state"}])
    sheets = []
    for line in out.splitlines():
        ev = json.loads(line)
        if "state" in ev:
            sheets = ev["state"]["sheets"]
    qs = [s for s in sheets if s.startswith("ミラトス")][0]
    code, out, *_ = script([{"open": book}, {"dump": {"sheet": qs, "range": "F1:O60"}}])
    n = 0
    for line in out.splitlines():
        ev = json.loads(line)
        if "dump" in ev:
            n = sum(1 for c in ev["dump"]["cells"].values() if c.get("value") not in (None, ""))
    return n


@case
def two_marks_race():
    pairs = 20
    lost = both_saved = 0
    total_wall = 0.0
    for i in range(pairs):
        book = test_book(f"race{i}.xlsx")
        start = time.monotonic()
        procs = [subprocess.Popen([TESSARIN, "mark", book, "--wrong", str(q)], env=ENV, cwd=WORK,
                                  stdout=subprocess.PIPE, stderr=subprocess.STDOUT)
                 for q in (3, 7)]
        outs = [p.communicate()[0].decode(errors="replace") for p in procs]
        total_wall += time.monotonic() - start
        saved = sum(1 for p, o in zip(procs, outs) if p.returncode == 0 and "Saved" in o)
        both_saved += saved == 2
        lost += saved - marks_in(book) if saved > marks_in(book) else 0
    return (0, "", total_wall, 0.0, 0.0), f"{pairs} pairs: {lost} saved marks lost, both saved in {both_saved}"


@case
def non_utf8_names():
    folder = os.path.join(WORK.encode(), b"\x8a\xbf\x8e\x9a")  # 漢字 in Shift_JIS, not UTF-8
    os.makedirs(folder)
    folder_s = os.fsdecode(folder)
    results = []
    r = None
    csv = os.path.join(folder_s, "questions.csv")
    with open(csv, "w", encoding="utf-8") as f:
        for i in range(1, 61):
            f.write(f",,,問題{i}の<かん>字,漢{i}\n")
    book = os.path.join(folder_s, "t.xlsx")
    for name, args in [("create", ["create", csv, "--count", "40", "-o", book]),
                       ("mark", ["mark", book, "--wrong", "3"]),
                       ("print", ["print", book, "-o", os.path.join(folder_s, "t.pdf")]),
                       ("answers", ["answers", book, "--show"]),
                       ("report", ["report", book, "mistakes"]),
                       ("grades", ["grades", book])]:
        p = subprocess.run([TESSARIN] + args, capture_output=True, env=ENV, cwd=WORK)
        r = (p.returncode, "", 0.0, 0.0, 0.0)
        results.append(f"{name} {p.returncode}")
        try:
            (p.stdout + p.stderr).decode("utf-8")
        except UnicodeError:
            results[-1] += " (output not UTF-8)"
    valid = "all output valid UTF-8" if "not UTF-8" not in "".join(results) else "SOME OUTPUT NOT UTF-8"
    return r, ", ".join(results) + "; " + valid


@case
def print_area_whole_sheet():
    book = test_book()
    r = script([{"open": book}, {"addsheet": "Big"}, {"type": {"cell": "C3", "value": "x"}},
                {"select": "A1"}, {"save": path("big.xlsx")}])
    # The print area is set in the package: A1:XFD1048576 on the new sheet.
    with zipfile.ZipFile(path("big.xlsx")) as z:
        entries = {n: z.read(n) for n in z.namelist()}
    wb = entries["xl/workbook.xml"].decode()
    sheets = wb[wb.index("<sheets>"):wb.index("</sheets>")]
    index = sheets.count("<sheet ") - 1
    name = "<definedNames><definedName name=\"_xlnm.Print_Area\" localSheetId=\"%d\">Big!$A$1:$XFD$1048576</definedName></definedNames>" % index
    wb = wb.replace("</sheets>", "</sheets>" + name, 1) if "<definedNames>" not in wb else \
        wb.replace("<definedNames>", name[:-len("</definedNames>")].replace("<definedNames>", "<definedNames>"), 1)
    entries["xl/workbook.xml"] = wb.encode()
    with zipfile.ZipFile(path("big2.xlsx"), "w", zipfile.ZIP_DEFLATED) as z:
        for n, d in entries.items():
            z.writestr(n, d)
    r = run(["print", path("big2.xlsx"), "--sheet", "Big", "-o", path("big.pdf")], limit=60)
    return r, r[1].strip()[-70:]


@case
def mark_emptied_test_cell():
    book = test_book()
    # Question 3 sits in R2 of the 40 sheet (numbers in row 1 from T leftwards).
    r0 = script([{"open": book}, {"activate": "テスト用紙 【40】"}, {"clear": "R2"}, {"save": True}])
    before = open(book, "rb").read()
    r = run(["mark", book, "--wrong", "3"])
    saved = open(book, "rb").read() != before
    return r, f"exit {r[0]}, " + ("SAVED" if saved else "nothing saved") + ": " + r[1].strip()[-60:]


@case
def script_line_80mib():
    p = path("long-line.jsonl")
    with open(p, "w") as f:
        f.write('{"type": {"cell": "A1", "value": "' + "x" * (80 << 20) + '"}}\n')
    r = run(["script", p], limit=120)
    return r, f"exit {r[0]}: " + "; ".join(errors(r[1]))[:70]


@case
def wrong_hex_number():
    book = test_book()
    r = run(["mark", book, "--wrong", "0x10"])
    return r, f"exit {r[0]}: " + r[1].strip().splitlines()[0][-70:]


@case
def settings_bad_value():
    test_book()
    os.makedirs(SETTINGS_DIR, exist_ok=True)
    with open(SETTINGS, "w") as f:
        f.write("Qs:1e308\r\n")
    try:
        r = run(["create", path("questions.csv"), "--count", "10", "-o", path("s3.xlsx")])
    finally:
        os.unlink(SETTINGS)
    warning = [l for l in r[1].splitlines() if "warning" in l or "error" in l]
    return r, f"exit {r[0]}: " + (warning[0][-90:] if warning else "no warning")


@case
def question_column_to_last_row():
    csv = path("full-column.csv")
    with open(csv, "w", encoding="utf-8") as f:
        for i in range(1, 61):
            f.write(f",,,問題{i}の<かん>字,漢{i}\n")
    book = path("fullcol.xlsx")
    run(["create", csv, "--count", "40", "-o", book])
    qs = "ミラトスfull-column"
    r0 = script([{"open": book}, {"activate": qs}, {"type": {"cell": "D1048576", "value": "末"}},
                 {"type": {"cell": "E1048576", "value": "すえ"}}, {"save": True}])
    outs = []
    r = None
    for args in (["report", book, "mistakes"], ["answers", book, "--show", "-o", path("fc-a.xlsx")]):
        r = run(args)
        outs.append(f"{args[0]} exit {r[0]}" + ("" if r[0] == 0 else ": " + r[1].strip()[-50:]))
    return r, "; ".join(outs)


@case
def output_empty_and_dev_null():
    book = test_book()
    r1 = run(["mark", book, "--wrong", "3", "-o", ""])
    existed = os.path.exists("/dev/null.xlsx")
    r2 = run(["mark", book, "--wrong", "4", "-o", "/dev/null"])
    made = os.path.exists("/dev/null.xlsx") and not existed
    if made:
        os.unlink("/dev/null.xlsx")
    return r2, f'-o "": exit {r1[0]}; -o /dev/null: exit {r2[0]}, ' + \
        ("/dev/null.xlsx CREATED" if made else "no file created")


def main():
    print(f"{'case':32} {'exit':>7} {'wall s':>8} {'cpu s':>7} {'peak MiB':>9}  outcome")
    try:
        for fn in CASES:
            if ONLY and fn.__name__ not in ONLY:
                continue
            r, outcome = fn()
            if r is None:
                print(f"{fn.__name__:32} {'-':>7} {'-':>8} {'-':>7} {'-':>9}  {outcome}")
                continue
            code, _, wall, cpu, peak = r
            print(f"{fn.__name__:32} {str(code):>7} {wall:8.2f} {cpu:7.2f} {peak:9.1f}  {outcome}",
                  flush=True)
    finally:
        shutil.rmtree(WORK, ignore_errors=True)
    import resource
    floor = resource.getrusage(resource.RUSAGE_SELF).ru_maxrss / 1024
    print(f"(a child starts as a copy of this script: peaks up to {floor:.0f} MiB are the script's own)")


if __name__ == "__main__":
    main()
