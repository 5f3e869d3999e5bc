"""Prints what openpyxl reads of the objects beside the cells, as JSON: per
sheet its conditional formats (range list, rule types and formulas, font colour of the format), validations
(range list, type, first formula), hyperlinks (cell -> target or location),
notes (cell -> text) and pictures (the anchors' top-left cells, sorted).
python3 read_sheet_objects.py FILE"""
import json
import sys
import warnings

import openpyxl
from openpyxl.utils import get_column_letter

warnings.simplefilter('ignore')
book = openpyxl.load_workbook(sys.argv[1])
out = {}
for ws in book.worksheets:
    cf = []
    for rng, rules in ws.conditional_formatting._cf_rules.items():
        cf.append({'sqref': str(rng.sqref), 'types': [r.type for r in rules],
                   'formulas': [list(r.formula or []) for r in rules],
                   'colors': [r.dxf.font.color.rgb if r.dxf and r.dxf.font and r.dxf.font.color else None
                              for r in rules]})
    dv = [{'sqref': str(v.sqref), 'type': v.type, 'formula1': v.formula1}
          for v in ws.data_validations.dataValidation]
    links, notes = {}, {}
    for row in ws.iter_rows():
        for c in row:
            if c.hyperlink is not None:
                links[c.coordinate] = c.hyperlink.target or ('#' + (c.hyperlink.location or ''))
            if c.comment is not None:
                notes[c.coordinate] = c.comment.text
    pictures = []
    for img in ws._images:
        anchor = img.anchor
        start = getattr(anchor, '_from', None)
        pictures.append(get_column_letter(start.col + 1) + str(start.row + 1) if start else 'absolute')
    out[ws.title] = {'cf': sorted(cf, key=lambda x: x['sqref']), 'dv': dv, 'links': links, 'notes': notes,
                     'pictures': sorted(pictures)}
print(json.dumps(out, default=str))
