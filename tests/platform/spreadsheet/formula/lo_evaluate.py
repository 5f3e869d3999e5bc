"""Computes formulas with LibreOffice: writes the cells of CASES (one
"ADDRESS<TAB>CONTENT" line each; content "=..." is a formula, "{=...}" an
array formula of one cell, "n:", "s:", "b:"
a number, text or Boolean) into a workbook with openpyxl, lets LibreOffice
headless recalculate and save it, and writes "ADDRESS<TAB>KIND<TAB>VALUE" for
every formula cell to OUT (kind n, s, b, e or empty).

lo_evaluate.py --recalc LOCALE BOOK OUT compares a workbook the engine wrote:
LibreOffice, set to LOCALE ("en-US", "de-DE"), recalculates BOOK, and OUT
gets "SHEET!ADDRESS<TAB>FORMULA<TAB>KIND<TAB>VALUE<TAB>KIND<TAB>VALUE" for
every formula cell: the value cached in BOOK (read by openpyxl), then
LibreOffice's.

lo_evaluate.py CASES OUT; exits 77 when LibreOffice or openpyxl is missing.
Run by Debian's /usr/bin/python3 (the one that has openpyxl)."""

import datetime
import os
import shutil
import sys
import tempfile

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), '..', '..', '..', 'integration'))

try:
    import openpyxl
    import lo_convert
except ImportError as e:
    print('skipped: %s' % e)
    sys.exit(77)


EPOCH = datetime.datetime(1899, 12, 30)


def kind_and_text(cell):
    """A cell's value as (kind, text): kind n, s, b, e or empty."""
    v = cell.value
    if v is None:
        return 'empty', ''
    if cell.data_type == 'e':
        return 'e', str(v)
    if isinstance(v, bool):
        return 'b', 'TRUE' if v else 'FALSE'
    if isinstance(v, (int, float)):
        return 'n', repr(float(v))
    if isinstance(v, datetime.datetime):
        return 'n', repr((v - EPOCH).total_seconds() / 86400)
    if isinstance(v, datetime.date):
        return 'n', repr(float((v - EPOCH.date()).days))
    if isinstance(v, datetime.time):
        return 'n', repr((v.hour * 3600 + v.minute * 60 + v.second + v.microsecond / 1e6) / 86400)
    return 's', str(v).replace('\t', ' ').replace('\n', ' ')


def recalculated(work, source, locale=None):
    """The path of SOURCE as LibreOffice saves it after recalculating it."""
    lo = lo_convert.LibreOffice(work, recalc=True, locale=locale)
    outdir = os.path.join(work, 'out')
    try:
        rc, log = lo._run(['--convert-to', 'xlsx', '--outdir', outdir, source], 300)
    finally:
        lo.close()
    result = os.path.join(outdir, os.path.basename(source))
    if not os.path.exists(result):
        print('LibreOffice wrote nothing: %s' % log)
        sys.exit(1)
    return result


def compare(locale, book_file, out_file):
    work = tempfile.mkdtemp(prefix='lo_evaluate.')
    try:
        source = os.path.join(work, 'book.xlsx')
        shutil.copyfile(book_file, source)
        formulas = openpyxl.load_workbook(source)
        ours = openpyxl.load_workbook(source, data_only=True)
        theirs = openpyxl.load_workbook(recalculated(work, source, locale), data_only=True)
        with open(out_file, 'w', encoding='utf-8') as out:
            for sheet in formulas.worksheets:
                for row in sheet.iter_rows():
                    for cell in row:
                        text = cell.value
                        if hasattr(text, 'text'):  # an array formula
                            text = text.text
                        if not (isinstance(text, str) and text.startswith('=')):
                            continue
                        a = kind_and_text(ours[sheet.title][cell.coordinate])
                        b = kind_and_text(theirs[sheet.title][cell.coordinate])
                        out.write('%s!%s\t%s\t%s\t%s\t%s\t%s\n' % (sheet.title, cell.coordinate, text[1:],
                                                                 a[0], a[1], b[0], b[1]))
    finally:
        shutil.rmtree(work, ignore_errors=True)


def main(cases_file, out_file):
    work = tempfile.mkdtemp(prefix='lo_evaluate.')
    try:
        book = openpyxl.Workbook()
        sheet = book.active
        sheet.title = 'Data'
        formulas = []
        with open(cases_file, encoding='utf-8') as f:
            for line in f:
                line = line.rstrip('\n')
                if not line:
                    continue
                address, content = line.split('\t', 1)
                if content.startswith('{='):
                    text = content[1:-1]
                    try:
                        from openpyxl.worksheet.formula import ArrayFormula
                        sheet[address] = ArrayFormula(address, text)
                    except ImportError:   # openpyxl before 3.1
                        sheet[address] = text
                        sheet.formula_attributes[address] = {'t': 'array', 'ref': address}
                    formulas.append(address)
                elif content.startswith('='):
                    sheet[address] = content
                    formulas.append(address)
                elif content.startswith('n:'):
                    sheet[address] = float(content[2:])
                elif content.startswith('b:'):
                    sheet[address] = content[2:] == 'TRUE'
                else:
                    sheet[address] = content[2:]
        source = os.path.join(work, 'cases.xlsx')
        book.save(source)
        values = openpyxl.load_workbook(recalculated(work, source), data_only=True)['Data']
        with open(out_file, 'w', encoding='utf-8') as out:
            for address in formulas:
                kind, text = kind_and_text(values[address])
                out.write('%s\t%s\t%s\n' % (address, kind, text))
    finally:
        shutil.rmtree(work, ignore_errors=True)


if __name__ == '__main__':
    if not lo_convert.soffice_binary():
        print('skipped: LibreOffice (soffice) not found')
        sys.exit(77)
    if len(sys.argv) == 5 and sys.argv[1] == '--recalc':
        compare(sys.argv[2], sys.argv[3], sys.argv[4])
    elif len(sys.argv) == 3:
        main(sys.argv[1], sys.argv[2])
    else:
        sys.exit('usage: lo_evaluate.py CASES OUT | lo_evaluate.py --recalc LOCALE BOOK OUT')
