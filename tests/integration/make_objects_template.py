"""A template for the sheet-objects copy test, written by openpyxl: a title
row and a band row whose cells carry a red-negative conditional format, a
data bar, a list validation, hyperlinks, a note and a picture (anchored at
C2 to D3); a second picture has an absolute anchor and no cell.
python3 make_objects_template.py OUT.xlsx"""
import io
import sys

import openpyxl
from openpyxl.comments import Comment
from openpyxl.drawing.image import Image
from openpyxl.drawing.spreadsheet_drawing import AbsoluteAnchor, AnchorMarker, TwoCellAnchor
from openpyxl.drawing.xdr import XDRPoint2D, XDRPositiveSize2D
from openpyxl.formatting.rule import CellIsRule, DataBarRule
from openpyxl.styles import Font
from openpyxl.worksheet.datavalidation import DataValidation
from openpyxl.worksheet.hyperlink import Hyperlink
from PIL import Image as PILImage

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


def picture(colour):
    data = io.BytesIO()
    PILImage.new('RGB', (40, 20), colour).save(data, format='PNG')
    data.seek(0)
    return Image(data)


band = picture('green')
band.anchor = TwoCellAnchor(_from=AnchorMarker(col=2, row=1, colOff=9525, rowOff=9525),
                            to=AnchorMarker(col=3, row=2, colOff=0, rowOff=0))
t.add_image(band)
fixed = picture('blue')
fixed.anchor = AbsoluteAnchor(pos=XDRPoint2D(x=4000000, y=100000), ext=XDRPositiveSize2D(cx=381000, cy=190500))
t.add_image(fixed)
wb.create_sheet('Report')
wb.save(sys.argv[1])
