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

CUSTOMERS = [
    # id, region, name
    (1, "North", "Baker & Sons"),
    (2, "North", "Hill Ltd"),
    (3, "South", "Ocean Traders"),
    (4, "South", "Palm GmbH"),
    (5, "West", "Canyon Co"),
    (6, "West", "Mesa Supplies"),
]

ORDERS = [
    # id, customer, ordered
    (1001, 1, "2026-01-05"),
    (1002, 1, "2026-01-19"),
    (1003, 2, "2026-01-09"),
    (1004, 3, "2026-01-11"),
    (1005, 3, "2026-01-26"),
    (1006, 4, "2026-01-14"),
    (1007, 5, "2026-01-20"),
    (1008, 5, "2026-01-21"),
    (1009, 6, "2026-01-28"),
]

LINES = [
    # order, product, qty, price
    (1001, "Bolts M6", 120, 0.35),
    (1001, "Nuts M6", 200, 0.12),
    (1002, "Washers M6", 500, 0.03),
    (1003, "Hinges", 12, 4.90),
    (1003, "Door handles", 6, 12.50),
    (1003, "Screws 4x40", 300, 0.04),
    (1004, "Bolts M8", 80, 0.55),
    (1004, "Nuts M8", 80, 0.18),
    (1005, "Anchors", 250, 0.22),
    (1006, "Hinges", 24, 4.90),
    (1007, "Screws 4x40", 1000, 0.04),
    (1007, "Anchors", 250, 0.22),
    (1008, "Wall plugs", 400, 0.05),
    # 1009 was cancelled: an order without lines
]


def make_database(path):
    if os.path.exists(path):
        os.remove(path)
    db = sqlite3.connect(path)
    db.execute("create table customers (id integer primary key, region text not null, name text not null)")
    db.execute("""create table orders (id integer primary key, customer_id integer not null references customers,
        ordered date not null)""")
    db.execute("""create table order_lines (id integer primary key, order_id integer not null references orders,
        product text not null, qty integer not null, price real not null)""")
    db.executemany("insert into customers values (?,?,?)", CUSTOMERS)
    db.executemany("insert into orders values (?,?,?)", ORDERS)
    db.executemany("insert into order_lines (order_id, product, qty, price) values (?,?,?,?)", LINES)
    db.commit()
    db.execute("vacuum")
    db.close()


MONEY = '#,##0.00'
DATE = 'mm-dd-yy'  # the built-in short date: shown in the reader's own date format


def style_row(ws, row, cols, font=None, fill=None, border=None, fmts=None):
    for col in range(1, cols + 1):
        c = ws.cell(row=row, column=col)
        if font:
            c.font = font
        if fill:
            c.fill = PatternFill("solid", fgColor=fill)
        if border:
            c.border = border
    for col, fmt in (fmts or {}).items():
        ws[col + str(row)].number_format = fmt


def make_report_sheet(rep, box):
    """Bands (see sales.tfm): title 1-3, region header 4, customer header 5,
    order 6, order lines 7, order footer 8, customer footer 9, region footer
    10, summary 11."""
    top = Border(top=Side(style="double", color="305496"))
    rep["A1"] = "Sales by region and customer"
    rep["A1"].font = Font(size=16, bold=True, color="1F3864")
    rep.merge_cells("A1:F1")
    rep.row_dimensions[1].height = 28
    rep["A2"] = "Orders of January 2026, amounts in EUR"
    rep["A2"].font = Font(italic=True, color="595959")
    rep.merge_cells("A2:F2")
    for col, text in enumerate(["Order", "Date", "Product", "Qty", "Price", "Amount"], start=1):
        c = rep.cell(row=3, column=col, value=text)
        c.alignment = Alignment(horizontal="center")
    style_row(rep, 3, 6, Font(bold=True, color="FFFFFF"), "305496", box)

    rep["A4"] = "Region #region"
    rep.merge_cells("A4:F4")
    style_row(rep, 4, 6, Font(bold=True, size=12, color="FFFFFF"), "1F4E78")
    rep.row_dimensions[4].height = 20
    rep["A5"] = "#customer"
    style_row(rep, 5, 6, Font(bold=True), "DDEBF7")

    rep["A6"] = "#id"
    rep["B6"] = "#ordered"
    style_row(rep, 6, 2, Font(bold=True), fmts={"A": "0", "B": DATE})
    for col, text in zip("CDEF", ["#Lines.product", "#Lines.qty", "#Lines.price", "#Lines.amount"]):
        rep[col + "7"] = text
    style_row(rep, 7, 6, border=box, fmts={"D": "#,##0", "E": MONEY, "F": MONEY})
    rep["E8"] = "Order"
    rep["F8"] = "#SUM(Lines.amount)"
    style_row(rep, 8, 6, Font(italic=True), fmts={"F": MONEY})

    rep["A9"] = "Total #customer"
    rep["D9"] = "#SUM(Lines.qty)"
    rep["F9"] = "#SUM(Lines.amount)"
    style_row(rep, 9, 6, Font(bold=True), "DDEBF7", fmts={"D": "#,##0", "F": MONEY})
    rep["A10"] = "Total region #region"
    rep["D10"] = "#SUM(Lines.qty)"
    rep["F10"] = "#SUM(Lines.amount)"
    style_row(rep, 10, 6, Font(bold=True, color="FFFFFF"), "2F5597", fmts={"D": "#,##0", "F": MONEY})

    rep["A11"] = "Grand total"
    rep["B11"] = "#COUNT(id)"
    rep["C11"] = "orders"
    rep["D11"] = "#SUM(Lines.qty)"
    rep["F11"] = "#SUM(Lines.amount)"
    style_row(rep, 11, 6, Font(bold=True, size=12), "FFF2CC", top, fmts={"D": "#,##0", "F": MONEY})
    rep.row_dimensions[11].height = 22
    for col, width in zip("ABCDEF", (13, 11, 14, 7, 8, 10)):
        rep.column_dimensions[col].width = width
    # One page wide when printed.
    rep.sheet_properties.pageSetUpPr.fitToPage = True
    rep.page_setup.fitToWidth = 1
    rep.page_setup.fitToHeight = 0


def make_products_sheet(ws, box):
    """The sub-report's sheet: title 1-2, one row per product 3, summary 4."""
    ws["A1"] = "Sales by product"
    ws["A1"].font = Font(size=14, bold=True, color="1F3864")
    ws.merge_cells("A1:C1")
    for col, text in enumerate(["Product", "Qty", "Amount"], start=1):
        ws.cell(row=2, column=col, value=text)
    style_row(ws, 2, 3, Font(bold=True, color="FFFFFF"), "305496", box)
    ws["A3"] = "#product"
    ws["B3"] = "#qty"
    ws["C3"] = "#amount"
    style_row(ws, 3, 3, border=box, fmts={"B": "#,##0", "C": MONEY})
    ws["A4"] = "All products"
    ws["B4"] = "#SUM(qty)"
    ws["C4"] = "#SUM(amount)"
    style_row(ws, 4, 3, Font(bold=True), "FFF2CC", fmts={"B": "#,##0", "C": MONEY})
    for col, width in zip("ABC", (18, 9, 12)):
        ws.column_dimensions[col].width = width


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
    make_report_sheet(rep, box)
    products = wb.create_sheet("Products")
    make_products_sheet(products, box)

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
