#!/usr/bin/python3
"""make_new_templates.py FOLDER: the three templates of the tabrix new tests."""
import os
import sys

import openpyxl


def save(folder, name, cells):
    wb = openpyxl.Workbook()
    ws = wb.active
    ws.title = "Lines"
    for ref, value in cells.items():
        ws[ref] = value
    wb.save(os.path.join(folder, name))


folder = sys.argv[1]
save(folder, "totals.xlsx", {"A1": "Order 1003", "A2": "Product", "B2": "Qty",
                             "A3": "#product", "B3": "#qty", "A5": "Total", "B5": "#SUM(qty)"})
save(folder, "plain.xlsx", {"A1": "Products", "A2": "#product", "B2": "#qty"})
save(folder, "nofields.xlsx", {"A1": "Just a note", "B2": "with no field"})
