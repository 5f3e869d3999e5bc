"""A template for the copy test, written by openpyxl: a styled band with a
merged title, values, relative and absolute formulas.
python3 make_copy_template.py OUT.xlsx"""
import sys

import openpyxl
from openpyxl.styles import Border, Font, PatternFill, Side

wb = openpyxl.Workbook()
t = wb.active
t.title = 'Template'
t['A1'] = 'Title'
t['A1'].font = Font(bold=True, size=16, color='C00000')
t['A1'].fill = PatternFill('solid', fgColor='DDEBF7')
t.merge_cells('A1:C1')
t.row_dimensions[1].height = 30
t['A2'] = 10
t['B2'] = 20
t['C2'] = '=A2+B2'
t['C2'].number_format = '0.00'
t['C2'].border = Border(bottom=Side(style='thin'))
t['A3'] = '=SUM(A2:B2)*2'
t['B3'] = '=C2*$A$2'
t['C3'] = 'note'
t['C3'].font = Font(italic=True)
wb.create_sheet('Report')
wb.save(sys.argv[1])
