#!/usr/bin/env python3
"""The progress window driven from outside, as a user meets it.

On a real terminal (a tmux session): the panel shows the rows processed,
Esc or Ctrl-C asks the confirmation question, No lets the work go on and
Yes ends it with the rows done so far. On a pipe without a terminal (a batch
job): plain lines on standard error, at most one a second and free of control
characters, and an interrupt stops the work.

With the tabrix command it also runs a big report (60,000 rows in 15,000
groups) on the terminal: the
panel shows, Esc and Yes end the build with the rows so far and the report is
still written; --no-progress shows nothing and Esc does not stop it.

usage: spl_terminal_test.py SPL_DRIVER [TABRIX]   (exit 77: tmux is missing)
"""
import os
import re
import shutil
import signal
import sqlite3
import subprocess
import sys
import tempfile
import threading
import time

QUESTION = "Do you really want to break the process?"
STOP_NO_TERMINAL = "Interrupted: there is no terminal to confirm on"
failures = []


def check(condition, what):
    if not condition:
        failures.append(what)
        print("FAIL:", what)
    return condition


def wait_for(predicate, timeout=60.0, step=0.1):
    end = time.monotonic() + timeout
    while time.monotonic() < end:
        value = predicate()
        if value:
            return value
        time.sleep(step)
    return None


def read_result(path):
    try:
        with open(path) as f:
            text = f.read().strip()
    except FileNotFoundError:
        return None
    return dict(item.split("=", 1) for item in text.split()) if text else None


class Tmux:
    def __init__(self, socket):
        self.socket = socket

    def run(self, *args):
        done = subprocess.run(["tmux", "-L", self.socket, *args], capture_output=True, text=True)
        if args[0] == "new-session":
            check(done.returncode == 0, f"tmux {' '.join(args[:4])}: {done.stderr}")
        return done

    def screen(self, session):
        return self.run("capture-pane", "-p", "-t", session).stdout


def rows_shown(screen):
    found = re.findall(r"Processed\s+(\d+) rows", screen)
    return int(found[-1]) if found else -1


def terminal_case(tmux, work, driver, key):
    session = "spl-" + key.replace("-", "")
    result = os.path.join(work, session + ".result")
    command = f"'{driver}' 200000 500 '{result}' 'Sales report'; sleep 600"
    tmux.run("new-session", "-d", "-s", session, "-x", "90", "-y", "40", command)
    try:
        check(wait_for(lambda: rows_shown(tmux.screen(session)) > 0), f"{key}: the panel shows rows processed")
        screen = tmux.screen(session)
        check("Sales report" in screen and "Speed" in screen and "rows/sec" in screen,
              f"{key}: caption, speed on the panel:\n{screen}")

        # Declined: the question, Pause meanwhile, then the work goes on.
        tmux.run("send-keys", "-t", session, key)
        screen = wait_for(lambda: (lambda s: s if QUESTION in s else None)(tmux.screen(session)), 30)
        check(screen is not None, f"{key}: the question is asked")
        check(screen is not None and "Pause" in screen, f"{key}: the panel shows Pause while asking")
        asked_at = rows_shown(screen or "")
        time.sleep(0.5)
        check(rows_shown(tmux.screen(session)) == asked_at, f"{key}: no rows while the question waits")
        tmux.run("send-keys", "-t", session, "n")
        check(wait_for(lambda: rows_shown(tmux.screen(session)) > asked_at + 100, 30),
              f"{key}: answered No, the work goes on")
        check(read_result(result) is None, f"{key}: still working after No")

        # Confirmed: the work ends with the rows it had.
        tmux.run("send-keys", "-t", session, key)
        check(wait_for(lambda: tmux.screen(session).count(QUESTION) >= 2, 30), f"{key}: asked again")
        stopped_at = rows_shown(tmux.screen(session))
        tmux.run("send-keys", "-t", session, "y")
        outcome = wait_for(lambda: read_result(result), 30)
        check(outcome is not None, f"{key}: the driver ended after Yes")
        if outcome:
            check(outcome.get("stopped") == "1" and outcome.get("result") == "0",
                  f"{key}: a confirmed stop, the work returned false: {outcome}")
            rows = int(outcome.get("rows", "-1"))
            check(stopped_at <= rows < 200000, f"{key}: rows so far kept ({stopped_at} shown, {rows} done)")
            check(rows - stopped_at < 50, f"{key}: nothing done after the answer ({stopped_at} shown, {rows} done)")
    finally:
        tmux.run("kill-session", "-t", session)


def pipe_case(work, driver):
    result = os.path.join(work, "pipe.result")
    proc = subprocess.Popen([driver, "3000", "1000", result, "Evil\x1b[2J\x07caption"],
                            stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE,
                            start_new_session=True)  # no controlling terminal
    arrivals = []

    def collect():
        for line in proc.stderr:
            arrivals.append((time.monotonic(), line))

    reader = threading.Thread(target=collect)
    reader.start()
    proc.wait(120)
    reader.join()
    check(read_result(result) == {"result": "1", "rows": "3000", "stopped": "0"},
          f"pipe: the work ran to its end: {read_result(result)}")
    lines = [line for _, line in arrivals]
    check(len(lines) >= 2, f"pipe: progress lines on standard error: {lines}")
    for line in lines:
        check(all(b >= 0x20 for b in line.rstrip(b"\n")), f"pipe: no control characters: {line!r}")
        check(line.startswith(b"Evil [2J caption: Status "), f"pipe: a plain line: {line!r}")
    times = [re.search(rb"Time (\d+:\d\d:\d\d)", line) for line in lines]
    check(all(times), f"pipe: every line has the time: {lines}")
    stamps = [t.group(1) for t in times if t]
    check(len(set(stamps)) == len(stamps), f"pipe: at most one line a second: {stamps}")
    gaps = [b[0] - a[0] for a, b in zip(arrivals, arrivals[1:])]
    check(all(g > 0.8 for g in gaps), f"pipe: lines a second apart: {gaps}")


def interrupt_case(work, driver):
    result = os.path.join(work, "interrupt.result")
    proc = subprocess.Popen([driver, "100000", "1000", result], stdin=subprocess.DEVNULL,
                            stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, start_new_session=True)
    time.sleep(1.5)
    proc.send_signal(signal.SIGINT)
    _, err = proc.communicate(timeout=60)
    outcome = read_result(result)
    check(proc.returncode == 0 and outcome is not None, f"interrupt: the driver ended normally: {proc.returncode}")
    if outcome:
        rows = int(outcome["rows"])
        check(outcome["stopped"] == "1" and 0 < rows < 100000, f"interrupt: stopped with the rows so far: {outcome}")
    check(STOP_NO_TERMINAL.encode() in err, f"interrupt: says why it stopped: {err!r}")


def last_report_row(tabrix, report):
    dump = subprocess.run([tabrix, "dump", report, "--sheet", "Report"], capture_output=True, text=True).stdout
    rows = [int(m.group(1)) for m in re.finditer(r"^[A-Z]+(\d+) ", dump, re.M)]
    return max(rows) if rows else 0


BIG_FORM = """object BigModule: TDataModule
  object Db: TSQLiteConnection
    Database = 'big.db'
  end
  object Numbers: TSQLQuery
    Connection = Db
    SQL.Strings = (
      'select n, n / 2 as pair, name from numbers order by n')
  end
  object NumbersSource: TDataSource
    DataSet = Numbers
  end
  object Pads: TSQLQuery
    Connection = Db
    DataSource = NumbersSource
    SQL.Strings = (
      'select count(*) as below from pad where x <= :n')
  end
  object Report: TTabrix
    Bands.BandCount = 6
    Bands.GroupHeaderBandCount = 1
    Bands.GroupFooterBandCount = 1
    Bands.Items = <
      item
        Bands.Range = 'A1:B1'
        Bands.BandType = 0
      end
      item
        Bands.Range = 'A3:B3'
        Bands.BandType = 2
      end
      item
        Bands.Range = 'A4:B4'
        Bands.BandType = 4
      end
      item
        Bands.Range = 'A6:B6'
        Bands.BandType = 7
      end
      item
        Bands.Range = 'A5:B5'
        Bands.BandType = 6
        Bands.GroupID = 1
      end
      item
        Bands.Range = 'A2:B2'
        Bands.BandType = 1
        Bands.GroupID = 1
        Bands.FieldName = 'pair'
        Bands.FooterBand = 'GroupFooter1'
      end>
    DataSet = Numbers
    Template = 'big.xlsx'
    Title = 'Numbers'
  end
end
"""


def big_example(work):
    """A report of 60,000 rows in 10,000 groups of two records, each with a
    detail query that takes a while (a scan of a table without index)."""
    import openpyxl
    folder = os.path.join(work, "big")
    os.mkdir(folder)
    db = sqlite3.connect(os.path.join(folder, "big.db"))
    db.execute("create table numbers (n integer, name text)")
    db.execute("with recursive k(i) as (select 0 union all select i + 1 from k where i < 19999) "
               "insert into numbers select i, 'row ' || i from k")
    db.execute("create table pad (x integer)")
    db.execute("with recursive k(i) as (select 0 union all select i + 1 from k where i < 4999) "
               "insert into pad select i * 4 from k")
    db.commit()
    db.close()
    book = openpyxl.Workbook()
    sheet = book.active
    sheet.title = "Report"
    cells = {"A1": "Numbers", "A2": "Pair #pair", "A3": "#n", "B3": "#name", "B4": "#Pads.below", "A5": "Sum",
             "B5": "#SUM(n)", "A6": "Total", "B6": "#SUM(n)"}
    for cell, text in cells.items():
        sheet[cell] = text
    book.save(os.path.join(folder, "big.xlsx"))
    with open(os.path.join(folder, "big.tfm"), "w") as f:
        f.write(BIG_FORM)
    return folder


def run_case(tmux, work, tabrix):
    folder = big_example(work)
    full = subprocess.run([tabrix, "run", "big.tfm", "-o", "full.xlsx", "--no-progress"], cwd=folder,
                          capture_output=True, text=True)
    check(full.returncode == 0, f"run: the whole report builds: {full.stderr}")
    full_rows = last_report_row(tabrix, os.path.join(folder, "full.xlsx"))

    session = "run"
    tmux.run("new-session", "-d", "-s", session, "-x", "100", "-y", "40", "-c", folder,
             f"'{tabrix}' run big.tfm -o part.xlsx; echo EXIT=$?; sleep 600")
    try:
        # Past the first block of rows written to the sheet.
        check(wait_for(lambda: rows_shown(tmux.screen(session)) > 9000, 60), "run: the panel shows on the terminal")
        tmux.run("send-keys", "-t", session, "Escape")
        check(wait_for(lambda: QUESTION in tmux.screen(session), 30), "run: Esc asks")
        tmux.run("send-keys", "-t", session, "y")
        screen = wait_for(lambda: (lambda s: s if "EXIT=" in s else None)(tmux.screen(session)), 60) or ""
        check("EXIT=0" in screen and "part.xlsx" in screen, f"run: a stopped build still saves:\n{screen}")
        part_rows = last_report_row(tabrix, os.path.join(folder, "part.xlsx"))
        check(0 < part_rows < full_rows, f"run: the rows so far ({part_rows} of {full_rows})")
    finally:
        tmux.run("kill-session", "-t", session)

    session = "quiet"
    tmux.run("new-session", "-d", "-s", session, "-x", "100", "-y", "40", "-c", folder,
             f"'{tabrix}' run big.tfm -o quiet.xlsx --no-progress; echo EXIT=$?; sleep 600")
    try:
        time.sleep(0.3)
        tmux.run("send-keys", "-t", session, "Escape")
        screen = wait_for(lambda: (lambda s: s if "EXIT=" in s else None)(tmux.screen(session)), 60) or ""
        check("EXIT=0" in screen and "Processed" not in screen and QUESTION not in screen,
              f"run --no-progress: no window, no question:\n{screen}")
        check(last_report_row(tabrix, os.path.join(folder, "quiet.xlsx")) == full_rows,
              "run --no-progress: Esc does not stop the build")
    finally:
        tmux.run("kill-session", "-t", session)


def main():
    driver = sys.argv[1]
    work = tempfile.mkdtemp(prefix="tabrix-spl-")
    try:
        pipe_case(work, driver)
        interrupt_case(work, driver)
        if shutil.which("tmux") is None:
            print("tmux is not installed: the terminal cases are skipped")
            return 77
        tmux = Tmux(f"tabrix-spl-{os.getpid()}")
        try:
            # A session that outlives the others, so that the server does not
            # end (and race the next new-session) whenever a case's session goes.
            tmux.run("new-session", "-d", "-s", "keep", "sleep 900")
            for key in ("Escape", "C-c"):
                terminal_case(tmux, work, driver, key)
            if len(sys.argv) > 2:
                run_case(tmux, work, sys.argv[2])
        finally:
            tmux.run("kill-server")
    finally:
        shutil.rmtree(work, ignore_errors=True)
    print("%d failures" % len(failures))
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
