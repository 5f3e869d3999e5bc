"""Gives the example template's report sheet what template authors put
beside cell formats: in the master band (row 6) a red-negative conditional
format over the order number and a data bar over it, a list validation over
the date column, a hyperlink in the customer header (A5) and a note on the
customer footer's total (A9).
python3 add_sheet_objects.py TEMPLATE.xlsx (changed in place)"""
import sys

import openpyxl
from openpyxl.comments import Comment
from openpyxl.formatting.rule import CellIsRule, DataBarRule
from openpyxl.styles import Font
from openpyxl.worksheet.datavalidation import DataValidation

path = sys.argv[1]
wb = openpyxl.load_workbook(path)
rep = wb['Report']
rep.conditional_formatting.add('A6', CellIsRule(operator='lessThan', formula=['0'], font=Font(color='FF0000')))
rep.conditional_formatting.add('A6', DataBarRule(start_type='num', start_value=1000, end_type='num',
                                                 end_value=1010, color='638EC6'))
dv = DataValidation(type='list', formula1='"open,paid"', allow_blank=True)
rep.add_data_validation(dv)
dv.add('C6')
rep['A5'].hyperlink = 'https://example.com/customers'
rep['A5'].value = '#customer'
rep['A9'].comment = Comment('Total of the customer\'s orders', 'Sales')
wb.save(path)
