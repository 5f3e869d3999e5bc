#!/usr/bin/python3
"""The installed package as a user links it.

consumer_check.py BUILD_DIR SOURCE_DIR WORK_DIR

Installs the build into WORK_DIR/prefix, builds examples/consumer against it
in clean folders (once through find_package(Tabrix), once through
pkg-config), runs both and reads their reports back with openpyxl: the
Report sheet must list the customers of the example database, in the order
the query asks for, and the other sheets must be the template's.
Exit 77 (skipped) when openpyxl is missing.
"""
import os
import shutil
import sqlite3
import subprocess
import sys

try:
    import openpyxl
except ImportError:
    sys.exit(77)


def run(args, **kw):
    done = subprocess.run(args, capture_output=True, text=True, **kw)
    if done.returncode != 0:
        sys.exit(f"{' '.join(args)} failed ({done.returncode}):\n{done.stdout}\n{done.stderr}")
    return done.stdout


def check(cond, what):
    if not cond:
        sys.exit("consumer: " + what)


def expected_customers(db):
    con = sqlite3.connect(db)
    rows = [r[0] for r in con.execute("select name from customers order by region, name")]
    con.close()
    return rows


def check_report(path, template, customers):
    book = openpyxl.load_workbook(path)
    check(book.sheetnames == openpyxl.load_workbook(template).sheetnames, f"{path}: sheets {book.sheetnames}")
    report = book["Report"]
    names = [report.cell(row=r, column=1).value for r in range(1, report.max_row + 1)]
    check(names == customers, f"{path}: column A of Report is {names}, expected {customers}")
    cover, original = book["Cover"], openpyxl.load_workbook(template)["Cover"]
    check([[c.value for c in r] for r in cover.iter_rows()] == [[c.value for c in r] for r in original.iter_rows()],
          f"{path}: the Cover sheet changed")


def main():
    build, source, work = sys.argv[1:4]
    shutil.rmtree(work, ignore_errors=True)
    prefix = os.path.join(work, "prefix")
    run(["cmake", "--install", build, "--prefix", prefix])
    for f in ["include/tabrix/report/tabrix.h", "include/tabrix/platform/rtl/strings.h", "bin/tabrix",
              "lib/cmake/Tabrix/TabrixConfig.cmake", "lib/pkgconfig/tabrix.pc", "lib/libtabrix_report.a"]:
        check(os.path.exists(os.path.join(prefix, f)), f"{f} is not installed")
    check(not os.path.exists(os.path.join(prefix, "include/tabrix/tests")), "test headers are installed")
    check(run([os.path.join(prefix, "bin/tabrix"), "--version"]).startswith("tabrix "), "the installed command")

    consumer = os.path.join(source, "examples/consumer")
    db = os.path.join(source, "examples/sales.db")
    template = os.path.join(source, "examples/sales.xlsx")
    customers = expected_customers(db)

    # find_package(Tabrix) in a clean folder, nothing of the source tree on the include path.
    cmake_build = os.path.join(work, "cmake-build")
    run(["cmake", "-S", consumer, "-B", cmake_build, f"-DCMAKE_PREFIX_PATH={prefix}", "-DCMAKE_BUILD_TYPE=Release"])
    run(["cmake", "--build", cmake_build])
    out = os.path.join(work, "cmake.xlsx")
    check(run([os.path.join(cmake_build, "customers"), db, template, out]) == out + "\n", "the consumer's output")
    check_report(out, template, customers)

    # pkg-config, as a Makefile would.
    env = dict(os.environ, PKG_CONFIG_PATH=os.path.join(prefix, "lib/pkgconfig"))
    flags = run(["pkg-config", "--cflags", "--libs", "tabrix"], env=env).split()
    pc_build = os.path.join(work, "pc-build")
    os.makedirs(pc_build)
    exe = os.path.join(pc_build, "customers")
    run(["c++", os.path.join(consumer, "main.cpp"), "-o", exe] + flags, cwd=pc_build)
    out = os.path.join(work, "pkg-config.xlsx")
    run([exe, db, template, out])
    check_report(out, template, customers)
    print("consumer: installed, built with CMake and with pkg-config, both reports read back")


if __name__ == "__main__":
    main()
