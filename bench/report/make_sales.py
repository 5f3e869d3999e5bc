#!/usr/bin/python3
"""The benchmark's sales report: make_sales.py DIR LINES writes DIR/sales.db
(LINES order lines of 200 per customer, 50 customers per region),
DIR/sales.xlsx (a styled template) and DIR/sales.tfm (the report).

Bands: title rows 1-3, region header 4, customer header 5, order line 6,
customer footer 7, region footer 8, summary 9. Lines show date, product,
qty, price and =qty*price; the qty totals are formulas over the rows below
them, the amount totals running values of the data's amount."""

import datetime
import os
import random
import sqlite3
import sys

import openpyxl
from openpyxl.styles import Border, Font, PatternFill, Side

LINES_PER_CUSTOMER = 200
CUSTOMERS_PER_REGION = 50
REGIONS = ["Central", "East", "North", "Overseas", "South", "West", "Alpine", "Coast"]
PRODUCTS = ["Bolts M6", "Nuts M6", "Washers", "Hinges", "Screws 4x40", "Anchors", "Wall plugs", "Brackets"]


def make_database(path, lines):
    if os.path.exists(path):
        os.remove(path)
    rnd = random.Random(7)
    db = sqlite3.connect(path)
    db.execute("""create table sales (id integer primary key, region text, customer text, ordered date,
                  product text, qty integer, price real)""")
    rows = []
    start = datetime.date(2026, 1, 1)
    for i in range(lines):
        customer = i // LINES_PER_CUSTOMER
        region = REGIONS[(customer // CUSTOMERS_PER_REGION) % len(REGIONS)] + str(customer // (
            CUSTOMERS_PER_REGION * len(REGIONS)) or "")
        rows.append((i + 1, region, "Customer %04d" % customer,
                     (start + datetime.timedelta(days=i % 365)).isoformat(), rnd.choice(PRODUCTS),
                     rnd.randint(1, 500), round(rnd.uniform(0.05, 20), 2)))
    db.executemany("insert into sales values (?,?,?,?,?,?,?)", rows)
    db.commit()
    db.close()


def make_template(path):
    thin = Side(style="thin", color="808080")
    box = Border(top=thin, bottom=thin, left=thin, right=thin)
    wb = openpyxl.Workbook()
    ws = wb.active
    ws.title = "Sales"

    def styled(row, values, font=None, fill=None, border=None, fmts=None):
        for col, v in enumerate(values, start=1):
            c = ws.cell(row=row, column=col, value=v)
            if font:
                c.font = font
            if fill:
                c.fill = PatternFill("solid", fgColor=fill)
            if border:
                c.border = border
            if fmts and col in fmts:
                c.number_format = fmts[col]

    money = "#,##0.00"
    styled(1, ["Sales report"], Font(size=16, bold=True))
    ws.merge_cells("A1:E1")
    ws.row_dimensions[1].height = 26
    styled(2, ["All regions, all customers"], Font(italic=True))
    styled(3, ["Date", "Product", "Qty", "Price", "Amount"], Font(bold=True, color="FFFFFF"), "305496", box)
    styled(4, ["Region #region", None, None, None, None], Font(bold=True, color="FFFFFF"), "1F4E78")
    styled(5, ["#customer", None, None, None, None], Font(bold=True), "DDEBF7")
    styled(6, ["#ordered", "#product", "#qty", "#price", "=C6*D6"], border=box,
           fmts={1: "mm-dd-yy", 3: "#,##0", 4: money, 5: money})
    styled(7, ["Total #customer", None, "#SUM(qty)", None, "#SUM(amount)"], Font(bold=True), "DDEBF7",
           fmts={3: "#,##0", 5: money})
    styled(8, ["Total #region", None, "#SUM(qty)", None, "#SUM(amount)"], Font(bold=True, color="FFFFFF"),
           "2F5597", fmts={3: "#,##0", 5: money})
    styled(9, ["Grand total", None, "#SUM(qty)", None, "#SUM(amount)"], Font(bold=True), "FFF2CC", box,
           fmts={3: "#,##0", 5: money})
    wb.save(path)


FORM = """object BenchModule: TDataModule
  object Db: TSQLiteConnection
    Database = 'sales.db'
  end
  object Sales: TSQLQuery
    Connection = Db
    SQL.Strings = (
      'select region, customer, ordered, product, qty, price, qty * price as amount'
      '  from sales order by region, customer, id')
  end
  object Report: TTabrix
    Bands.BandCount = 7
    Bands.GroupHeaderBandCount = 2
    Bands.GroupFooterBandCount = 2
    Bands.Items = <
      item
        Bands.Range = 'A1:E3'
        Bands.BandType = 0
      end
      item
        Bands.Range = 'A6:E6'
        Bands.BandType = 2
      end
      item
        Bands.Range = 'A9:E9'
        Bands.BandType = 7
      end
      item
        Bands.Range = 'A8:E8'
        Bands.BandType = 6
        Bands.GroupID = 1
      end
      item
        Bands.Range = 'A7:E7'
        Bands.BandType = 6
        Bands.GroupID = 2
      end
      item
        Bands.Range = 'A4:E4'
        Bands.BandType = 1
        Bands.GroupID = 1
        Bands.FieldName = 'region'
        Bands.FooterBand = 'GroupFooter1'
      end
      item
        Bands.Range = 'A5:E5'
        Bands.BandType = 1
        Bands.GroupID = 2
        Bands.FieldName = 'customer'
        Bands.FooterBand = 'GroupFooter2'
      end>
    DataSet = Sales
    Options = [tbxoTotalsAsFormula]
    Template = 'sales.xlsx'
  end
end
"""

if __name__ == "__main__":
    folder, lines = sys.argv[1], int(sys.argv[2])
    os.makedirs(folder, exist_ok=True)
    make_database(os.path.join(folder, "sales.db"), lines)
    make_template(os.path.join(folder, "sales.xlsx"))
    with open(os.path.join(folder, "sales.tfm"), "w") as f:
        f.write(FORM)
