#!/usr/bin/python3
# What openpyxl reads from the first sheet of a workbook: one line per
# non-empty cell, "address<TAB>kind<TAB>value", kind being openpyxl's data
# type (s text, n number, f formula, b Boolean, d date) and value its repr.
import sys

import openpyxl

wb = openpyxl.load_workbook(sys.argv[1])
ws = wb.worksheets[0]
for row in ws.iter_rows():
    for cell in row:
        if cell.value is not None:
            print(f"{cell.coordinate}\t{cell.data_type}\t{cell.value!r}")
