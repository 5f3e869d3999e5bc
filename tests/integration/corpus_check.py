"""The corpus test: every workbook of the corpus that LibreOffice opens is
resaved by `tabrix resave`; LibreOffice must open every resaved file and show
the same cell values as for the original (its CSV of each sheet, compared
with the baseline made from the originals), and openpyxl must read every
resaved file with the same values it reads from the original.

  corpus_check.py --tabrix BIN --corpus DIR [--work DIR] [--only SUBSTR]

Prints the numbers it finds and one line per failed file; exits 0 when no
file failed (files listed in corpus_known.tsv are reported, not failed),
1 when one did, 77 (skipped) when the corpus or LibreOffice is missing.
Run by Debian's /usr/bin/python3, which has openpyxl."""

import argparse
import concurrent.futures
import hashlib
import json
import os
import re
import shutil
import subprocess
import sys
import tempfile
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import lo_convert  # noqa: E402

SKIP = 77
BATCH = 25


def corpus_files(corpus, only):
    root = os.path.join(corpus, 'xlsx')
    found = []
    for folder, _, names in os.walk(root):
        for n in names:
            if n.lower().endswith(('.xlsx', '.xlsm')):
                rel = os.path.relpath(os.path.join(folder, n), corpus)
                if not only or only in rel:
                    found.append(rel)
    return sorted(found)


def read_known(path):
    known = {}
    if os.path.exists(path):
        with open(path, encoding='utf-8') as f:
            for line in f:
                line = line.rstrip('\n')
                if line and not line.startswith('#'):
                    parts = line.split('\t')
                    known[(parts[0], parts[1])] = parts[2] if len(parts) > 2 else ''
    return known


def resave(tabrix, src, dst):
    try:
        p = subprocess.run([tabrix, 'resave', src, dst], capture_output=True, timeout=300)
    except subprocess.TimeoutExpired:
        return 'timed out'
    if p.returncode != 0:
        return (p.stderr or p.stdout).decode('utf-8', 'replace').strip()[:400] or 'exit code %d' % p.returncode
    if not os.path.exists(dst):
        return 'no file written'
    return None


def sheet_csvs(folder, stem):
    """{sheet name: csv bytes} of the files <stem>-<sheet>.csv."""
    out = {}
    for n in os.listdir(folder):
        if n.startswith(stem + '-') and n.endswith('.csv'):
            with open(os.path.join(folder, n), 'rb') as f:
                out[n[len(stem) + 1:-4]] = f.read()
    return out


def first_difference(a, b):
    la, lb = a.split(b'\n'), b.split(b'\n')
    for i in range(max(len(la), len(lb))):
        x = la[i] if i < len(la) else b'<missing>'
        y = lb[i] if i < len(lb) else b'<missing>'
        if x != y:
            col = next((k for k in range(min(len(x), len(y))) if x[k] != y[k]), min(len(x), len(y)))
            start = max(0, col - 40)
            return 'line %d, column %d: original %r, resaved %r' % (
                i + 1, col + 1, x[start:col + 80], y[start:col + 80])
    return 'no line differs'


def compare_csv(baseline, ours):
    if set(baseline) != set(ours):
        return 'sheets differ: original %s, resaved %s' % (sorted(baseline), sorted(ours))
    for sheet in sorted(baseline):
        if baseline[sheet] != ours[sheet]:
            return 'sheet %r %s' % (sheet, first_difference(baseline[sheet], ours[sheet]))
    return None


# ------------------------------------------------------------------ openpyxl

ESCAPE = re.compile(r'_x([0-9A-Fa-f]{4})_')


def decode_escapes(text):
    return ESCAPE.sub(lambda m: chr(int(m.group(1), 16)), text)


def openpyxl_cells(path):
    """Per sheet: every non-empty cell value as openpyxl reads it, as
    (row, column, type, repr) in reading order."""
    import warnings
    import openpyxl
    warnings.simplefilter('ignore')
    wb = openpyxl.load_workbook(path, read_only=True, data_only=True)
    try:
        for ws in wb.worksheets:
            if hasattr(ws, 'reset_dimensions'):
                ws.reset_dimensions()  # read every row, whatever <dimension> says
            cells = []
            for r, row in enumerate(ws.iter_rows(values_only=True), 1):
                for c, v in enumerate(row, 1):
                    if v is None or v == '':
                        continue
                    # Numbers compare by value ("1e+05" and "100000" are one
                    # number), and _xHHHH_ escapes, which openpyxl leaves in
                    # the text, are decoded as a spreadsheet decodes them.
                    if isinstance(v, (int, float)) and not isinstance(v, bool):
                        cells.append((r, c, 'number', repr(float(v))))
                    elif isinstance(v, str):
                        cells.append((r, c, 'str', repr(decode_escapes(v))))
                    else:
                        cells.append((r, c, type(v).__name__, repr(v)))
            yield ws.title, cells
    finally:
        wb.close()


def openpyxl_digest(path):
    digest = {}
    for title, cells in openpyxl_cells(path):
        h = hashlib.sha1()
        for cell in cells:
            h.update(('%d,%d,%s,%s;' % cell).encode('utf-8'))
        digest[title] = '%d:%s' % (len(cells), h.hexdigest()[:16])
    return digest


def openpyxl_first_difference(original, resaved):
    a = dict(openpyxl_cells(original))
    b = dict(openpyxl_cells(resaved))
    for title in a:
        x, y = a[title], b.get(title, [])
        for i in range(max(len(x), len(y))):
            cx = x[i] if i < len(x) else None
            cy = y[i] if i < len(y) else None
            if cx != cy:
                return 'sheet %r: original %s, resaved %s' % (title, cx, cy)
    return 'no cell differs on a second read'


def openpyxl_worker(paths):
    for p in paths:
        try:
            print(json.dumps({'path': p, 'digest': openpyxl_digest(p)}), flush=True)
        except Exception as e:  # openpyxl raises many kinds
            print(json.dumps({'path': p, 'error': '%s: %s' % (type(e).__name__, str(e)[:300])}), flush=True)


def openpyxl_batch(paths, timeout=900):
    """Digests of every path, read in a child process (a hang or a crash in
    openpyxl then costs one batch, not the run)."""
    results = {}
    try:
        p = subprocess.run([sys.executable, os.path.abspath(__file__), '--openpyxl-worker'] + paths,
                           capture_output=True, timeout=timeout)
        for line in p.stdout.decode('utf-8', 'replace').splitlines():
            try:
                item = json.loads(line)
            except ValueError:
                continue
            results[item['path']] = item
    except subprocess.TimeoutExpired:
        pass
    for path in paths:
        results.setdefault(path, {'path': path, 'error': 'openpyxl did not finish'})
    return results


# ------------------------------------------------------------------ main

def main():
    ap = argparse.ArgumentParser()
    ap.add_argument('--tabrix')
    ap.add_argument('--corpus')
    ap.add_argument('--work')
    ap.add_argument('--only', default='')
    ap.add_argument('--known', default=os.path.join(os.path.dirname(os.path.abspath(__file__)), 'corpus_known.tsv'))
    ap.add_argument('--openpyxl-worker', nargs='*')
    args = ap.parse_args()
    if args.openpyxl_worker is not None:
        openpyxl_worker(args.openpyxl_worker)
        return 0

    if not args.corpus or not os.path.isdir(os.path.join(args.corpus, 'xlsx')):
        print('corpus: not found (%s), test skipped' % args.corpus)
        return SKIP
    if not lo_convert.soffice_binary():
        print('corpus: LibreOffice (soffice) not found, test skipped')
        return SKIP
    try:
        import openpyxl  # noqa: F401
    except ImportError:
        print('corpus: openpyxl not found for %s, test skipped' % sys.executable)
        return SKIP

    started = time.time()
    work = args.work or tempfile.mkdtemp(prefix='tabrix_corpus.')
    shutil.rmtree(os.path.join(work, 'resaved'), ignore_errors=True)
    shutil.rmtree(os.path.join(work, 'csv'), ignore_errors=True)
    os.makedirs(os.path.join(work, 'resaved'))
    known = read_known(args.known)
    files = corpus_files(args.corpus, args.only)
    baseline_root = os.path.join(args.corpus, 'lo_baseline')
    eligible = [f for f in files if os.path.isdir(os.path.join(baseline_root, f))]
    failures = []  # (file, step, reason)

    # 1. Resave, two at a time. Outputs get short unique names so that one
    #    LibreOffice run can convert them all into one folder.
    out_of = {}
    for i, rel in enumerate(eligible):
        ext = os.path.splitext(rel)[1].lower()
        out_of[rel] = os.path.join(work, 'resaved', 'f%04d%s' % (i, ext))
    with concurrent.futures.ThreadPoolExecutor(2) as pool:
        errors = dict(zip(eligible, pool.map(
            lambda r: resave(args.tabrix, os.path.join(args.corpus, r), out_of[r]), eligible)))
    resaved = [r for r in eligible if errors[r] is None]
    failures += [(r, 'resave', errors[r]) for r in eligible if errors[r] is not None]
    t_resave = time.time() - started

    # 2. LibreOffice converts the resaved files in batches while openpyxl
    #    reads originals and resaved files beside it.
    lo = lo_convert.LibreOffice(work)
    csv_dir = os.path.join(work, 'csv')
    lo_errors = {}
    with concurrent.futures.ThreadPoolExecutor(1) as side:
        originals = [os.path.join(args.corpus, r) for r in resaved]
        outputs = [out_of[r] for r in resaved]
        futures = [side.submit(openpyxl_batch, (originals + outputs)[i:i + 2 * BATCH])
                   for i in range(0, 2 * len(resaved), 2 * BATCH)]
        for i in range(0, len(resaved), BATCH):
            lo_errors.update(lo.to_csv([out_of[r] for r in resaved[i:i + BATCH]], csv_dir))
        py = {}
        for f in futures:
            py.update(f.result())

    # A sheet whose values differ is compared again with the original as
    # LibreOffice shows it now: volatile formulas (RAND, NOW) differ from the
    # baseline on every load and prove nothing about the resave.
    differing = {}
    for rel in resaved:
        out = out_of[rel]
        if lo_errors.get(out, 'not converted') is None:
            diff = compare_csv(sheet_csvs(os.path.join(baseline_root, rel), 'book'),
                               sheet_csvs(csv_dir, os.path.splitext(os.path.basename(out))[0]))
            if diff is not None:
                differing[rel] = diff
    volatile = set()
    if differing:
        again_dir = os.path.join(work, 'csv-originals')
        shutil.rmtree(again_dir, ignore_errors=True)
        os.makedirs(again_dir)
        copies = {}
        for rel in differing:
            copies[rel] = os.path.join(again_dir, 'o' + os.path.basename(out_of[rel]))
            shutil.copyfile(os.path.join(args.corpus, rel), copies[rel])
        lo.to_csv(list(copies.values()), os.path.join(again_dir, 'csv'))
        for rel, copy in copies.items():
            now = sheet_csvs(os.path.join(again_dir, 'csv'), os.path.splitext(os.path.basename(copy))[0])
            if now and compare_csv(sheet_csvs(os.path.join(baseline_root, rel), 'book'), now) is not None:
                volatile.add(rel)
    lo.close()

    lo_opened = lo_equal = py_read = py_equal = py_orig_unreadable = 0
    for rel in resaved:
        out = out_of[rel]
        err = lo_errors.get(out, 'not converted')
        if err is not None:
            failures.append((rel, 'libreoffice', err))
        else:
            lo_opened += 1
            if rel not in differing:
                lo_equal += 1
            elif rel not in volatile:
                failures.append((rel, 'libreoffice-values', differing[rel]))
        orig = py.get(os.path.join(args.corpus, rel), {})
        ours = py.get(out, {})
        if 'error' in ours:
            if 'error' in orig:
                py_orig_unreadable += 1
            else:
                failures.append((rel, 'openpyxl', ours['error']))
            continue
        py_read += 1
        if 'error' in orig:
            py_orig_unreadable += 1
        elif orig['digest'] == ours['digest']:
            py_equal += 1
        else:
            try:
                why = openpyxl_first_difference(os.path.join(args.corpus, rel), out)
            except Exception as e:
                why = 'digests differ (%s on a second read)' % type(e).__name__
            failures.append((rel, 'openpyxl-values', why))

    print('corpus: %d workbooks, %d opened by LibreOffice as originals (baseline), %d without baseline' % (
        len(files), len(eligible), len(files) - len(eligible)))
    print('resave: %d of %d resaved by tabrix (%.1fs)' % (len(resaved), len(eligible), t_resave))
    print('libreoffice: %d of %d resaved files opened, %d show the same values as their original, '
          '%d have volatile values (the original differs from its baseline too)' % (
              lo_opened, len(resaved), lo_equal, len(volatile)))
    for rel in sorted(volatile):
        print('VOLATILE %s: %s' % (rel, differing[rel]))
    print('openpyxl: %d of %d resaved files read, %d with the same values as their original '
          '(%d originals openpyxl cannot read)' % (py_read, len(resaved), py_equal, py_orig_unreadable))
    hard = 0
    for rel, step, reason in failures:
        why = known.get((rel, step))
        tag = 'KNOWN' if why is not None else 'FAIL'
        hard += why is None
        print('%s %s [%s]: %s%s' % (tag, rel, step, reason, ' (%s)' % why if why else ''))
    print('corpus: %d failures, %d known, %.0fs' % (hard, len(failures) - hard, time.time() - started))
    return 1 if hard else 0


if __name__ == '__main__':
    sys.exit(main())
