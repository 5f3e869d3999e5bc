"""Prints, as JSON, the conditional formats and validations of every sheet
as the sheet XML holds them, in both forms: the main part's and the x14
forms of the extension list (openpyxl drops the latter).
Per sheet: cf and x14cf (sqref, rule types, ids linking a data bar to its
twin, formulas), dv and x14dv (sqref, type, first formula).
python3 read_x14_rules.py FILE
python3 read_x14_rules.py --find FOLDER: one line per sheet of the workbooks
under FOLDER that holds x14 rules: the file, a tab, the sheet's position (1-based)."""
import json
import os
import sys
import zipfile
import xml.etree.ElementTree as ET

M = '{http://schemas.openxmlformats.org/spreadsheetml/2006/main}'
X14 = '{http://schemas.microsoft.com/office/spreadsheetml/2009/9/main}'
XM = '{http://schemas.microsoft.com/office/excel/2006/main}'
R = '{http://schemas.openxmlformats.org/officeDocument/2006/relationships}'
PR = '{http://schemas.openxmlformats.org/package/2006/relationships}'

def read(name):
    z = zipfile.ZipFile(name)
    book = ET.fromstring(z.read('xl/workbook.xml'))
    rels = {r.get('Id'): r.get('Target')
            for r in ET.fromstring(z.read('xl/_rels/workbook.xml.rels')).iter(PR + 'Relationship')}
    out = {}
    for s in book.iter(M + 'sheet'):
        target = rels[s.get(R + 'id')]
        target = target.lstrip('/') if target.startswith('/') else 'xl/' + target
        root = ET.fromstring(z.read(target))
        cf, x14cf, dv, x14dv = [], [], [], []
        for c in root.findall(M + 'conditionalFormatting'):
            rules = c.findall(M + 'cfRule')
            cf.append({'sqref': c.get('sqref'), 'types': [r.get('type') for r in rules],
                       'ids': [i.text for r in rules for i in r.iter(X14 + 'id')],
                       'formulas': [f.text for r in rules for f in r.iter(M + 'formula')]})
        for c in root.iter(X14 + 'conditionalFormatting'):
            rules = c.findall(X14 + 'cfRule')
            x14cf.append({'sqref': c.findtext(XM + 'sqref'), 'types': [r.get('type') for r in rules],
                          'ids': [r.get('id') for r in rules],
                          'formulas': [f.text for r in rules for f in r.iter(XM + 'f')]})
        for v in root.iter(M + 'dataValidation'):
            dv.append({'sqref': v.get('sqref'), 'type': v.get('type'), 'formula1': v.findtext(M + 'formula1')})
        for v in root.iter(X14 + 'dataValidation'):
            x14dv.append({'sqref': v.findtext(XM + 'sqref'), 'type': v.get('type'),
                          'formula1': v.findtext(X14 + 'formula1/' + XM + 'f')})
        out[s.get('name')] = {'cf': cf, 'x14cf': x14cf, 'dv': dv, 'x14dv': x14dv}
    return out


if sys.argv[1] == '--find':
    for folder, _, files in sorted(os.walk(sys.argv[2])):
        for f in sorted(files):
            if not f.endswith('.xlsx'):
                continue
            path = os.path.join(folder, f)
            try:
                sheets = read(path)
            except Exception:
                continue
            for i, rules in enumerate(sheets.values(), 1):
                if rules['x14cf'] or rules['x14dv']:
                    print('%s\t%d' % (path, i))
else:
    print(json.dumps(read(sys.argv[1])))
