#!/usr/bin/python3
"""Makes the example's database (sales.db) and template workbook (sales.xlsx).

Run from anywhere: the files land beside this script. Needs Debian's
python3-openpyxl (for /usr/bin/python3); the database uses the standard
sqlite3 module. The committed files were made by it.
"""
import datetime
import os
import sqlite3

import openpyxl
from openpyxl.styles import Alignment, Border, Font, PatternFill, Side

HERE = os.path.dirname(os.path.abspath(__file__))

ORDERS = [
    # region, customer, product, qty, price, ordered
    ("North", "Baker & Sons", "Bolts M6", 120, 0.35, "2026-01-05"),
    ("North", "Baker & Sons", "Nuts M6", 200, 0.12, "2026-01-05"),
    ("North", "Hill Ltd", "Washers", 500, 0.03, "2026-01-09"),
    ("South", "Ocean Traders", "Bolts M8", 80, 0.55, "2026-01-11"),
    ("South", "Ocean Traders", "Nuts M8", 80, 0.18, "2026-01-11"),
    ("South", "Palm GmbH", "Hinges", 12, 4.90, "2026-01-14"),
    ("West", "Canyon Co", "Screws 4x40", 1000, 0.04, "2026-01-20"),
    ("West", "Canyon Co", "Anchors", 250, 0.22, "2026-01-21"),
]


def make_database(path):
    if os.path.exists(path):
        os.remove(path)
    db = sqlite3.connect(path)
    db.execute("""create table orders (
        id integer primary key, region text not null, customer text not null,
        product text not null, qty integer not null, price real not null, ordered date not null)""")
    db.executemany("insert into orders (region, customer, product, qty, price, ordered) values (?,?,?,?,?,?)",
                   ORDERS)
    db.commit()
    db.execute("vacuum")
    db.close()


def make_template(path):
    wb = openpyxl.Workbook()
    thin = Side(style="thin", color="808080")
    box = Border(top=thin, bottom=thin, left=thin, right=thin)

    cover = wb.active
    cover.title = "Cover"
    cover["A1"] = "Sales by region"
    cover["A1"].font = Font(size=16, bold=True)
    cover["A3"] = "Built by tabrix from sales.db"
    cover["A4"] = "Printed on"
    cover["B4"] = datetime.date(2026, 1, 31)
    cover["B4"].number_format = "yyyy-mm-dd"
    cover.column_dimensions["A"].width = 30

    rep = wb.create_sheet("Report")
    rep["A1"] = "Orders"
    rep["A1"].font = Font(size=14, bold=True)
    rep.merge_cells("A1:F1")
    headers = ["Region", "Customer", "Product", "Qty", "Price", "Amount"]
    for col, text in enumerate(headers, start=1):
        c = rep.cell(row=2, column=col, value=text)
        c.font = Font(bold=True, color="FFFFFF")
        c.fill = PatternFill("solid", fgColor="305496")
        c.border = box
        c.alignment = Alignment(horizontal="center")
    fields = ["#region", "#customer", "#product", "#qty", "#price", "=D3*E3"]
    for col, text in enumerate(fields, start=1):
        c = rep.cell(row=3, column=col, value=text)
        c.border = box
    rep["E3"].number_format = "0.00"
    rep["F3"].number_format = "0.00"
    rep["E4"] = "Total"
    rep["E4"].font = Font(bold=True)
    rep["F4"] = "#SUM(Amount)"
    rep["F4"].font = Font(bold=True)
    rep["F4"].number_format = "0.00"
    for col, width in zip("ABCDEF", (10, 18, 14, 8, 8, 10)):
        rep.column_dimensions[col].width = width

    notes = wb.create_sheet("Notes")
    notes["A1"] = "Notes"
    notes["A1"].font = Font(bold=True)
    notes["A2"] = "Prices are net, in EUR."
    notes["A3"] = "Quantities in pieces."
    notes["B5"] = "=LEN(A2)"
    wb.save(path)


if __name__ == "__main__":
    make_database(os.path.join(HERE, "sales.db"))
    make_template(os.path.join(HERE, "sales.xlsx"))
