"""Cross-check of our DBF engine with Debian's python3-dbf and python3-dbfread.

Tables our engine writes (the demo RMSpool.DBF and LBLPRDEF.DBF of hostsim,
a LOCKSPL.DBF made by a claim, LBLPRDEF.DBF after the label setup is posted)
are read back by both outside readers, and a table python3-dbf writes is read
by ours (xbase_helper dump).

Usage: dbf_crosscheck.py HOSTSIM XBASE_HELPER
"""
import datetime
import os
import subprocess
import sys
import tempfile

import dbf
import dbfread

HOSTSIM, HELPER = sys.argv[1], sys.argv[2]
failures = []


def check(what, actual, expected):
    if actual != expected:
        failures.append(f"{what}: expected {expected!r}, got {actual!r}")


def run(*args):
    return subprocess.run(args, check=True, capture_output=True, text=True).stdout


RMSPOOL_FIELDS = [
    ("PRINTER", "C", 8), ("MACHINE", "C", 20), ("SUBDIR", "C", 20), ("PORT", "C", 10),
    ("BAUDRATE", "C", 10), ("PARITY", "C", 1), ("BYTELEN", "N", 1), ("STOPBITS", "N", 1),
    ("HANDSHAKE", "N", 1), ("CP_TRANS", "L", 1), ("SRC_CP", "N", 5), ("DST_CP", "N", 5),
    ("WINNAME", "C", 40), ("TYPE", "N", 2), ("FONT", "C", 40), ("FONTSIZE", "N", 3),
    ("FONTBOLD", "L", 1), ("LEADING", "N", 3), ("MARGINTOP", "N", 6), ("MARGINLEFT", "N", 6),
    ("THROTTLE", "L", 1), ("CHUNKAMT", "N", 6), ("DELAY", "N", 4), ("IP", "C", 15),
    ("SQLSTATE", "N", 1),
]

LABEL_SETUP = [99, 21, 120, 0, 55, 1, 0, 11, 0, 10, 0, 8, 0, 9, 12, 0, 1, 1, 1, 1, 2, 0, False,
               5, 0, 6, 0, 7, 0, 4, 0, False, 3, 0, False, 1, 0, False, False]


def check_demo(folder):
    path = os.path.join(folder, "RMSpool.DBF")
    table = dbfread.DBF(path)
    check("RMSpool fields", [(f.name, f.type, f.length) for f in table.fields], RMSPOOL_FIELDS)
    records = list(table)
    check("RMSpool printers", [r["PRINTER"] for r in records], ["PREP1", "PREP2", "LABEL1", "LABEL2"])
    check("RMSpool MARGINTOP", records[0]["MARGINTOP"], 0.5)
    check("RMSpool CP_TRANS", records[0]["CP_TRANS"], False)
    check("RMSpool TYPE of LABEL1", records[2]["TYPE"], 2)

    with dbf.Table(path) as other:
        check("python-dbf RMSpool count", len(other), 4)
        check("python-dbf RMSpool IP", other[3]["ip"].strip(), "192.168.1.104")
        check("python-dbf RMSpool date", other.last_update, datetime.date.today())

    setup = list(dbfread.DBF(os.path.join(folder, "LBLPRDEF.DBF")))
    check("LBLPRDEF records", len(setup), 1)
    check("LBLPRDEF remark", setup[0]["REMARK"], "demo label setup")


def check_lock_table(folder):
    run(HELPER, "claim", folder, "PREP1")
    path = os.path.join(folder, "PREP1", "LOCKSPL.DBF")
    table = dbfread.DBF(path)
    check("LOCKSPL fields", [(f.name, f.type, f.length, f.decimal_count) for f in table.fields],
          [("DUMMY", "C", 10, 0)])
    check("LOCKSPL records", len(list(table)), 0)
    with dbf.Table(path) as other:
        check("python-dbf LOCKSPL structure", other.structure(), ["dummy C(10)"])
        check("python-dbf LOCKSPL count", len(other), 0)


def check_posted_label_setup(folder):
    run(HELPER, "setup-labels", folder)
    path = os.path.join(folder, "LBLPRDEF.DBF")
    records = list(dbfread.DBF(path))
    check("posted LBLPRDEF records", len(records), 1)
    values = list(records[0].values())
    check("posted LBLPRDEF values", values[:39], LABEL_SETUP)
    check("posted LBLPRDEF remark kept", values[39], "demo label setup")
    with dbf.Table(path) as other:
        check("python-dbf posted value 3", other[0][2], 120)
        check("python-dbf posted value 23", other[0][22], False)
        check("python-dbf posted date", other.last_update, datetime.date.today())


def check_python_written_table(folder):
    path = os.path.join(folder, "ORDERS.DBF")
    table = dbf.Table(path, "NAME C(12); QTY N(4,0); PRICE N(7,2); BIG N(6,0); OK L; DAY D",
                      dbf_type="db3", codepage="cp1252")
    table.open(dbf.READ_WRITE)
    table.append(("Fries", 2, 3.5, 123456, True, datetime.date(2024, 2, 29)))
    table.append(("Café crème", -12, -0.25, 0, False, datetime.date(1999, 12, 31)))
    table.append(("Bun", None, None, None, None, None))
    with table[1] as record:
        dbf.delete(record)
    table.close()
    expected = """field NAME string 12 0
field QTY smallint 4 0
field PRICE float 7 2
field BIG float 6 0
field OK boolean 1 0
field DAY date 8 0
record 1
  NAME=Fries
  QTY=2
  PRICE=3.5
  BIG=123456
  OK=True
  DAY=20240229
record 2
  NAME=Café crème
  QTY=-12
  PRICE=-0.25
  BIG=0
  OK=False
  DAY=19991231
record 3
  NAME=Bun
  QTY=<null>
  PRICE=<null>
  BIG=<null>
  OK=False
  DAY=<null>
"""
    check("our reading of a python-dbf table", run(HELPER, "dump", path), expected)


with tempfile.TemporaryDirectory() as folder:
    run(HOSTSIM, "make-demo", folder)
    check_demo(folder)
    check_lock_table(folder)
    check_posted_label_setup(folder)
    check_python_written_table(folder)

for failure in failures:
    print("FAILED:", failure)
print(f"{len(failures)} failures")
sys.exit(1 if failures else 0)
