"""Gives the example template's report sheet what template authors put
beside cell formats: in the master band (row 6) a red-negative conditional
format over the order number and a data bar over it, a list validation over
the date column, a hyperlink in the customer header (A5), a note on the
customer footer's total (A9) and a logo (a PNG) in the title band at E1; and,
beyond any cell of the sheet, a rule and a validation that the report's clear
removes.
python3 add_sheet_objects.py TEMPLATE.xlsx (changed in place)"""
import io
import sys

import openpyxl
from openpyxl.comments import Comment
from openpyxl.drawing.image import Image
from openpyxl.formatting.rule import CellIsRule, DataBarRule
from openpyxl.styles import Font
from openpyxl.worksheet.datavalidation import DataValidation
from PIL import Image as PILImage, ImageDraw

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
rep.conditional_formatting.add('K200:L210', CellIsRule(operator='greaterThan', formula=['5'],
                                                       font=Font(color='00FF00')))
far = DataValidation(type='whole', operator='between', formula1='1', formula2='9')
rep.add_data_validation(far)
far.add('M300')
rep['A5'].value = '#customer'
rep['A9'].comment = Comment('Total of the customer\'s orders', 'Sales')
logo = PILImage.new('RGB', (120, 40), (230, 120, 20))
ImageDraw.Draw(logo).text((30, 14), 'TABRIX', fill=(255, 255, 255))
data = io.BytesIO()
logo.save(data, format='PNG')
data.seek(0)
rep.add_image(Image(data), 'E1')
wb.save(path)
