"""A template for the sheet-objects copy test, written by openpyxl: a title
row and a band row whose cells carry a red-negative conditional format, a
data bar, a list validation, hyperlinks and a note.
python3 make_objects_template.py OUT.xlsx"""
import sys

import openpyxl
from openpyxl.comments import Comment
from openpyxl.formatting.rule import CellIsRule, DataBarRule
from openpyxl.styles import Font
from openpyxl.worksheet.datavalidation import DataValidation
from openpyxl.worksheet.hyperlink import Hyperlink

wb = openpyxl.Workbook()
t = wb.active
t.title = 'Template'
t['A1'] = 'Title'
t['A2'] = 'site'
t['A2'].hyperlink = 'https://example.com/items?id=1&lang=en'
t['B2'] = -5
t['C2'] = 7
t['B2'].comment = Comment('check the sign', 'Ann')
t['D2'] = 'yes'
t['E2'] = 'top'
t['E2'].hyperlink = Hyperlink(ref='E2', location='Template!A1', display='top')
t.conditional_formatting.add('B2', CellIsRule(operator='lessThan', formula=['0'], font=Font(color='FF0000')))
t.conditional_formatting.add('C2', DataBarRule(start_type='num', start_value=0, end_type='num', end_value=10,
                                               color='638EC6'))
dv = DataValidation(type='list', formula1='"yes,no"', allow_blank=True)
t.add_data_validation(dv)
dv.add('D2')
wb.create_sheet('Report')
wb.save(sys.argv[1])
