"""Computes formulas with LibreOffice: writes the cells of CASES (one
"ADDRESS<TAB>CONTENT" line each; content "=..." is a formula, "{=...}" an
array formula of one cell, "n:", "s:", "b:"
a number, text or Boolean) into a workbook with openpyxl, lets LibreOffice
headless recalculate and save it, and writes "ADDRESS<TAB>KIND<TAB>VALUE" for
every formula cell to OUT (kind n, s, b, e or empty).

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


def main(cases_file, out_file):
    if not lo_convert.soffice_binary():
        print('skipped: LibreOffice (soffice) not found')
        sys.exit(77)
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
        lo = lo_convert.LibreOffice(work, recalc=True)
        outdir = os.path.join(work, 'out')
        try:
            rc, log = lo._run(['--convert-to', 'xlsx', '--outdir', outdir, source], 180)
        finally:
            lo.close()
        result = os.path.join(outdir, 'cases.xlsx')
        if not os.path.exists(result):
            print('LibreOffice wrote nothing: %s' % log)
            sys.exit(1)
        values = openpyxl.load_workbook(result, data_only=True)['Data']
        epoch = datetime.datetime(1899, 12, 30)
        with open(out_file, 'w', encoding='utf-8') as out:
            for address in formulas:
                cell = values[address]
                v = cell.value
                if v is None:
                    kind, text = 'empty', ''
                elif cell.data_type == 'e':
                    kind, text = 'e', str(v)
                elif isinstance(v, bool):
                    kind, text = 'b', 'TRUE' if v else 'FALSE'
                elif isinstance(v, (int, float)):
                    kind, text = 'n', repr(float(v))
                elif isinstance(v, datetime.datetime):
                    kind, text = 'n', repr((v - epoch).total_seconds() / 86400)
                elif isinstance(v, datetime.time):
                    kind, text = 'n', repr((v.hour * 3600 + v.minute * 60 + v.second + v.microsecond / 1e6) / 86400)
                else:
                    kind, text = 's', str(v).replace('\t', ' ').replace('\n', ' ')
                out.write('%s\t%s\t%s\n' % (address, kind, text))
    finally:
        shutil.rmtree(work, ignore_errors=True)


if __name__ == '__main__':
    if len(sys.argv) != 3:
        sys.exit('usage: lo_evaluate.py CASES OUT')
    main(sys.argv[1], sys.argv[2])
