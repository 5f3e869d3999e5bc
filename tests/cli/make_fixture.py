"""Writes the workbook the cli tests read, with openpyxl (an independent
writer): python3 make_fixture.py OUT.xlsx"""
import sys

import openpyxl
from openpyxl.styles import Alignment, Font, PatternFill

wb = openpyxl.Workbook()
ws = wb.active
ws.title = 'Sales'
ws['A1'] = 'Region "North"'
ws['A1'].font = Font(bold=True, size=14)
ws.merge_cells('A1:C1')
ws['A2'] = 12.5
ws['B2'] = 7
ws['C2'] = '=A2*B2'
ws['D2'] = True
ws['A3'] = 'line one\nline two'
ws['A3'].alignment = Alignment(wrap_text=True)
ws['B3'] = '=SUM(A2:B2)'
ws['B3'].fill = PatternFill('solid', fgColor='FFFF00')
ws.row_dimensions[1].height = 24.75
ws.row_dimensions[3].hidden = True
other = wb.create_sheet('Other sheet')
other['B5'] = 'x'
wb.save(sys.argv[1])
