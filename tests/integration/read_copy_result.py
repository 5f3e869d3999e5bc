"""Prints what openpyxl reads from the copy test's result, as JSON: per
sheet its merges and, per cell, value (or formula), cached value, bold,
italic, fill colour and number format. python3 read_copy_result.py FILE"""
import json
import sys
import warnings

import openpyxl

warnings.simplefilter('ignore')
path = sys.argv[1]
formulas = openpyxl.load_workbook(path)
values = openpyxl.load_workbook(path, data_only=True)
out = {}
for ws in formulas.worksheets:
    vs = values[ws.title]
    cells = {}
    for row in ws.iter_rows():
        for c in row:
            if c.value is None and not c.has_style:
                continue
            fill = c.fill.fgColor.rgb if c.fill and c.fill.fill_type == 'solid' else None
            cells[c.coordinate] = {
                'value': c.value if not hasattr(c.value, 'isoformat') else c.value.isoformat(),
                'cached': vs[c.coordinate].value,
                'bold': bool(c.font and c.font.b),
                'italic': bool(c.font and c.font.i),
                'fill': fill if isinstance(fill, str) else None,
                'format': c.number_format,
                'border_bottom': c.border.bottom.style if c.border and c.border.bottom else None,
            }
    heights = {str(r): d.height for r, d in ws.row_dimensions.items() if d.height is not None}
    out[ws.title] = {'merges': sorted(str(m) for m in ws.merged_cells.ranges), 'cells': cells,
                     'heights': heights}
print(json.dumps(out, default=str))
