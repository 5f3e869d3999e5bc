"""A template whose band row carries the rules Excel keeps in the sheet's
extension list: a data bar over B2 (the main rule and its x14 twin, linked
by one id), a list validation over C2 whose source is another sheet, and an
x14 icon set over D2 with a threshold relative to its cell (D2*2). openpyxl
writes the cells and sheets; the rules are put into the sheet XML as Excel
writes them.
python3 make_x14_template.py OUT.xlsx"""
import os
import sys
import zipfile

import openpyxl

X14 = 'http://schemas.microsoft.com/office/spreadsheetml/2009/9/main'
XM = 'http://schemas.microsoft.com/office/excel/2006/main'
BAR_ID = '{3E1B6B2C-5D4A-4C1E-9A77-0C3F2D1B0A01}'
ICON_ID = '{3E1B6B2C-5D4A-4C1E-9A77-0C3F2D1B0A02}'

MAIN = ('<conditionalFormatting sqref="B2"><cfRule type="dataBar" priority="1"><dataBar><cfvo type="min"/>'
        '<cfvo type="max"/><color rgb="FF638EC6"/></dataBar><extLst>'
        '<ext uri="{B025F937-C7B1-47D3-B20A-CA91AB9C8B4F}" xmlns:x14="%s"><x14:id>%s</x14:id></ext></extLst>'
        '</cfRule></conditionalFormatting>' % (X14, BAR_ID))
EXT = ('<extLst><ext uri="{78C0D931-6437-407d-A8EE-F0AAD7539E65}" xmlns:x14="%(x14)s"><x14:conditionalFormattings>'
       '<x14:conditionalFormatting xmlns:xm="%(xm)s"><x14:cfRule type="dataBar" id="%(bar)s">'
       '<x14:dataBar minLength="0" maxLength="100" gradient="0" negativeBarColorSameAsPositive="1" axisPosition="none">'
       '<x14:cfvo type="autoMin"/><x14:cfvo type="autoMax"/></x14:dataBar></x14:cfRule><xm:sqref>B2</xm:sqref>'
       '</x14:conditionalFormatting>'
       '<x14:conditionalFormatting xmlns:xm="%(xm)s"><x14:cfRule type="iconSet" priority="2" id="%(icon)s">'
       '<x14:iconSet iconSet="3Stars"><x14:cfvo type="percent"><xm:f>0</xm:f></x14:cfvo>'
       '<x14:cfvo type="num"><xm:f>D2*2</xm:f></x14:cfvo><x14:cfvo type="num"><xm:f>Lists!$B$1</xm:f></x14:cfvo>'
       '</x14:iconSet></x14:cfRule><xm:sqref>D2</xm:sqref></x14:conditionalFormatting>'
       '</x14:conditionalFormattings></ext>'
       '<ext uri="{CCE6A557-97BC-4b89-ADB6-D9C93CAAB3DF}" xmlns:x14="%(x14)s">'
       '<x14:dataValidations count="1" xmlns:xm="%(xm)s"><x14:dataValidation type="list" allowBlank="1" '
       'showInputMessage="1" showErrorMessage="1"><x14:formula1><xm:f>Lists!$A$1:$A$3</xm:f></x14:formula1>'
       '<xm:sqref>C2</xm:sqref></x14:dataValidation></x14:dataValidations></ext></extLst>'
       % {'x14': X14, 'xm': XM, 'bar': BAR_ID, 'icon': ICON_ID})

wb = openpyxl.Workbook()
t = wb.active
t.title = 'Template'
t['A1'] = 'Title'
t['A2'] = 'item'
t['B2'] = 4
t['C2'] = 'red'
t['D2'] = 3
wb.create_sheet('Report')
lists = wb.create_sheet('Lists')
for i, v in enumerate(['red', 'green', 'blue'], 1):
    lists.cell(i, 1, v)
lists['B1'] = 10
tmp = sys.argv[1] + '.plain'
wb.save(tmp)

with zipfile.ZipFile(tmp) as src, zipfile.ZipFile(sys.argv[1], 'w', zipfile.ZIP_DEFLATED) as out:
    for item in src.infolist():
        data = src.read(item.filename)
        if item.filename == 'xl/worksheets/sheet1.xml':
            xml = data.decode()
            at = xml.index('<pageMargins')
            xml = xml[:at] + MAIN + xml[at:]
            at = xml.rindex('</worksheet>')
            xml = xml[:at] + EXT + xml[at:]
            data = xml.encode()
        out.writestr(item, data)
os.remove(tmp)
