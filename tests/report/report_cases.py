#!/usr/bin/python3
"""Report cases for the end-to-end tests of tabrix run.

  report_cases.py make CASE DIR    writes DIR/case.tfm, DIR/case.db, DIR/case.xlsx
  report_cases.py read FILE        prints the workbook as openpyxl reads it (JSON)
  report_cases.py values FILE      the same with the cached values of formulas (data_only)

Each case is a real template (styled, with band rows), a real SQLite
database and a form file with the report component. Run by Debian's
/usr/bin/python3 (the one with openpyxl)."""

import json
import os
import sqlite3
import sys

import openpyxl
from openpyxl.styles import Border, Font, PatternFill, Side

THIN = Side(style="thin", color="808080")
BOX = Border(top=THIN, bottom=THIN, left=THIN, right=THIN)
TYPES = {"title": 0, "gh": 1, "master": 2, "dh": 3, "dd": 4, "df": 5, "gf": 6, "summary": 7}


def q(text):
    return "'" + text.replace("'", "''") + "'"


class Case:
    """A template sheet, its bands and the data behind them."""

    def __init__(self):
        self.rows = []          # template rows: list of cells (text or (text, style dict))
        self.heights = {}       # template row -> height in points
        self.merges = []
        self.bands = []         # (type, range, props)
        self.tables = []        # (create sql, rows)
        self.master_sql = None
        self.detail_sql = None
        self.options = "[tbxoTotalsAsFormula]"
        self.extra_sheets = {}  # name -> rows
        self.sub = None         # (sheet, rows, bands, sql) of a sub-report
        self.stale = None       # a value every formula of the template holds, as if saved before the data changed

    def row(self, *cells, height=None):
        self.rows.append(list(cells))
        if height:
            self.heights[len(self.rows)] = height
        return len(self.rows)

    def band(self, kind, rng, **props):
        self.bands.append((kind, rng, props))


def fill_sheet(ws, rows, heights=(), merges=()):
    for r, cells in enumerate(rows, start=1):
        for c, cell in enumerate(cells, start=1):
            style = {}
            if isinstance(cell, tuple):
                cell, style = cell
            if cell is None:
                continue
            x = ws.cell(row=r, column=c, value=cell)
            if style.get("bold"):
                x.font = Font(bold=True)
            if style.get("fill"):
                x.fill = PatternFill("solid", fgColor=style["fill"])
            if style.get("box"):
                x.border = BOX
            if style.get("fmt"):
                x.number_format = style["fmt"]
    for r, h in dict(heights).items():
        ws.row_dimensions[r].height = h
    for m in merges:
        ws.merge_cells(m)


def bands_text(bands, indent):
    plain = [b for b in bands if b[0] not in ("gh", "gf")]
    footers = [b for b in bands if b[0] == "gf"]
    headers = [b for b in bands if b[0] == "gh"]
    p = " " * indent
    out = [p + "Bands.BandCount = %d" % len(bands),
           p + "Bands.GroupHeaderBandCount = %d" % len(headers),
           p + "Bands.GroupFooterBandCount = %d" % len(footers),
           p + "Bands.Items = <"]
    items = []
    for kind, rng, props in plain + footers + headers:
        lines = [p + "  item", p + "    Bands.Range = " + q(rng), p + "    Bands.BandType = %d" % TYPES[kind]]
        for k, v in props.items():
            if isinstance(v, bool):
                v = "True" if v else "False"
            elif isinstance(v, int):
                v = str(v)
            else:
                v = q(v)
            lines.append(p + "    Bands." + k + " = " + v)
        lines.append(p + "  end")
        items.append("\n".join(lines))
    out[-1] += "\n" + "\n".join(items) + ">"
    return out if bands else []


def give_values(path, value):
    """Every formula of the workbook gets the cached value VALUE (openpyxl
    writes none): a template saved by a spreadsheet before the data changed."""
    import re
    import zipfile
    with zipfile.ZipFile(path) as z:
        parts = {n: z.read(n) for n in z.namelist()}
    for name in parts:
        if name.startswith("xl/worksheets/sheet"):
            xml = parts[name].decode("utf-8")
            xml = re.sub(r"(<f>[^<]*</f>)(<v\s*/>|<v></v>)?", r"\1<v>%s</v>" % value, xml)
            parts[name] = xml.encode("utf-8")
    with zipfile.ZipFile(path, "w", zipfile.ZIP_DEFLATED) as z:
        for name, data in parts.items():
            z.writestr(name, data)


def sql_strings(sql, indent):
    return " " * indent + "SQL.Strings = (\n" + " " * (indent + 2) + q(sql) + ")"


def write(case, folder):
    os.makedirs(folder, exist_ok=True)
    db_path = os.path.join(folder, "case.db")
    if os.path.exists(db_path):
        os.remove(db_path)
    db = sqlite3.connect(db_path)
    for create, rows in case.tables:
        db.execute(create)
        if rows:
            marks = ",".join("?" * len(rows[0]))
            table = create.split()[2]
            db.executemany("insert into %s values (%s)" % (table, marks), rows)
    db.commit()
    db.close()

    wb = openpyxl.Workbook()
    ws = wb.active
    ws.title = "Report"
    fill_sheet(ws, case.rows, case.heights, case.merges)
    for name, rows in case.extra_sheets.items():
        fill_sheet(wb.create_sheet(name), rows)
    if case.sub:
        fill_sheet(wb.create_sheet(case.sub["sheet"]), case.sub["rows"])
    wb.save(os.path.join(folder, "case.xlsx"))
    if case.stale is not None:
        give_values(os.path.join(folder, "case.xlsx"), case.stale)

    form = ["object CaseModule: TDataModule",
            "  object Db: TSQLiteConnection", "    Database = 'case.db'", "  end"]
    if case.master_sql:
        form += ["  object Orders: TSQLQuery", "    Connection = Db", sql_strings(case.master_sql, 4), "  end"]
    if case.detail_sql:
        form += ["  object OrdersSource: TDataSource", "    DataSet = Orders", "  end",
                 "  object Lines: TSQLQuery", "    Connection = Db", "    DataSource = OrdersSource",
                 sql_strings(case.detail_sql, 4), "  end"]
    if case.sub:
        form += ["  object SubData: TSQLQuery", "    Connection = Db", sql_strings(case.sub["sql"], 4), "  end"]
    form += ["  object Report: TTabrix"] + bands_text(case.bands, 4)
    if case.master_sql:
        form.append("    DataSet = Orders")
    form += ["    Options = " + case.options, "    Template = 'case.xlsx'", "    TemplSheet = 'Report'"]
    if case.sub:
        form.append("    SubReport = SubReport")
    form.append("  end")
    if case.sub:
        form += ["  object SubReport: TTabrix"] + bands_text(case.sub["bands"], 4)
        form += ["    DataSet = SubData", "    Options = " + case.options, "    Template = 'case.xlsx'",
                 "    TemplSheet = " + q(case.sub["sheet"]), "  end"]
    form.append("end")
    with open(os.path.join(folder, "case.tfm"), "w") as f:
        f.write("\n".join(form) + "\n")


# ---- the cases

def groups_case(rows_of_data, case_insensitive=True):
    """Two group levels g1/g2 with headers and footers, totals of val."""
    c = Case()
    c.tables.append(("create table t (id integer, g1 text, g2 text, val integer)", rows_of_data))
    c.master_sql = "select g1, g2, val from t order by id"
    c.row(("Title", {"bold": True}), height=24)
    c.row(("H1 #g1", {"fill": "305496", "bold": True}), height=18)
    c.merges += ["A1:C1", "A2:C2"]
    c.row(("H2 #g2", {"fill": "DDEBF7"}))
    c.row(("#g1", {"box": True}), ("#g2", {"box": True}), ("#val", {"box": True, "fmt": "0.00"}))
    c.row("F2 #g2", None, ("#SUM(val)", {"bold": True}))
    c.row("F1 #g1", None, ("#SUM(val)", {"bold": True}))
    c.row("Total", None, ("#SUM(val)", {"bold": True, "fill": "FFF2CC"}))
    c.band("title", "A1:C1")
    c.band("gf", "A5:C5", GroupID=2)
    c.band("gf", "A6:C6", GroupID=1)
    c.band("gh", "A2:C2", GroupID=1, FieldName="g1", FooterBand="GroupFooter1",
           CaseInsensitiveCompare=case_insensitive)
    c.band("gh", "A3:C3", GroupID=2, FieldName="g2", FooterBand="GroupFooter2",
           CaseInsensitiveCompare=case_insensitive)
    c.band("master", "A4:C4")
    c.band("summary", "A7:C7")
    return c


def case_groups():
    return groups_case([(1, "A", "x", 1), (2, "A", "x", 2), (3, "A", "y", 3), (4, "B", "y", 4)])


def case_empty():
    return groups_case([])


def case_single():
    return groups_case([(1, "A", "x", 5)])


def case_each_new():
    return groups_case([(1, "A", "x", 1), (2, "B", "y", 2), (3, "C", "z", 3)])


def case_letter_case(insensitive):
    return groups_case([(1, "abc", "x", 1), (2, "ABC", "x", 2), (3, "abd", "x", 3)], insensitive)


def case_blank_header():
    c = Case()
    c.tables.append(("create table t (id integer, g1 text, val integer)",
                     [(1, "A", 1), (2, "A", 2), (3, "B", 4)]))
    c.master_sql = "select g1, val from t order by id"
    c.row("#g1", "#val")
    c.row(("Sum #g1", {"bold": True}), ("#SUM(val)", {"bold": True}))
    c.band("gf", "A2:B2", GroupID=1)
    c.band("gh", " ", GroupID=1, FieldName="g1", FooterBand="GroupFooter1")
    c.band("master", "A1:B1")
    return c


def case_master_detail():
    c = Case()
    c.tables.append(("create table orders (id integer, customer text)",
                     [(1, "Baker"), (2, "Hill"), (3, "Ocean")]))
    c.tables.append(("create table lines (id integer, order_id integer, product text, qty integer)",
                     [(1, 1, "Bolts", 1), (2, 1, "Nuts", 2), (3, 3, "Hinges", 5)]))
    c.master_sql = "select id, customer from orders order by id"
    c.detail_sql = "select product, qty from lines where order_id = :id order by id"
    c.row(("Order #id", {"bold": True}), "#customer")
    c.row(("Product", {"fill": "DDEBF7"}), ("Qty", {"fill": "DDEBF7"}))
    c.row(("#Lines.product", {"box": True}), ("#Lines.qty", {"box": True}))
    c.row("Lines total", ("#SUM(Lines.qty)", {"bold": True}))
    c.row("Grand total", ("#SUM(Lines.qty)", {"bold": True}))
    c.band("master", "A1:B1")
    c.band("dh", "A2:B2")
    c.band("dd", "A3:B3")
    c.band("df", "A4:B4")
    c.band("summary", "A5:B5")
    return c


def case_derived():
    c = Case()
    c.tables.append(("create table t (id integer, name text, val integer)",
                     [(1, "one", 1), (2, "two", 2), (3, "three", 3)]))
    c.master_sql = "select name, val from t order by id"
    c.row(("Derived", {"bold": True}))
    c.row(("Name", {"fill": "DDEBF7"}), ("Value", {"fill": "DDEBF7"}))
    c.row("#name", ("#val", {"box": True}))
    c.row()
    c.row("Total", ("#SUM(val)", {"bold": True}))
    return c


def numbered(count, title=False):
    c = Case()
    c.master_sql = ("with recursive n(i) as (select 1 union all select i + 1 from n where i < %d) "
                    "select i from n" % count)
    if title:
        c.row(("Numbers", {"bold": True}))
        c.band("title", "A1:B1")
    r = c.row(("#i", {"fill": "E2EFDA", "box": True}), ("=A%d*2" % (len(c.rows) + 1), {"box": True}))
    c.band("master", "A%d:B%d" % (r, r))
    return c


def case_pairs():
    """A title row, then a two-row master band: the band at report rows
    4000-4001 does not fit in the first block of 4000 rows."""
    c = numbered(2100, title=True)
    c.row(("n=#i", {"fill": "FCE4D6"}), ("=B2+1", {"bold": True}))
    c.bands[-1] = ("master", "A2:B3", {})
    return c


def case_bad_formula():
    c = Case()
    c.tables.append(("create table t (val integer)", [(1,), (2,)]))
    c.master_sql = "select val from t"
    c.row("#val", "#=SUM(#val")
    c.band("master", "A1:B1")
    return c


def case_data_text():
    c = Case()
    names = ['=HYPERLINK("http://x","y")', "=1+2", "'quoted", "plain"]
    c.tables.append(("create table t (id integer, customer text)", list(enumerate(names))))
    c.master_sql = "select customer from t order by id"
    c.row("#customer", "Customer: #customer")
    c.band("master", "A1:B1")
    return c


def case_sub_report():
    c = Case()
    c.tables.append(("create table t (id integer, region text, qty integer)",
                     [(1, "North", 3), (2, "North", 4), (3, "South", 5)]))
    c.master_sql = "select region, qty from t order by id"
    c.row(("Main", {"bold": True}))
    c.row("#region", "#qty")
    c.row("Sum", "#SUM(qty)")
    c.band("title", "A1:B1")
    c.band("master", "A2:B2")
    c.band("summary", "A3:B3")
    c.sub = {"sheet": "Regions",
             "rows": [[("By region", {"bold": True})], ["#region", "#total"], ["All", "#SUM(total)"]],
             "bands": [("title", "A1:B1", {}), ("master", "A2:B2", {}), ("summary", "A3:B3", {})],
             "sql": "select region, sum(qty) as total from t group by region order by region"}
    return c


def case_events():
    """No data set: records come through the data events, user fields
    through OnGetFieldValue. The title is one column wide, the summary
    sits in template columns C:E."""
    c = Case()
    c.row(("Title", {"bold": True}))
    c.row(("#name", {"box": True}), ("#val", {"box": True}), ("fixed", {"fill": "E2EFDA"}))
    c.row(None, None, ("Sum", {"bold": True}), ("#SUM(val)", {"bold": True}), "end")
    c.band("title", "A1:A1")
    c.band("master", "A2:C2")
    c.band("summary", "C3:E3")
    return c


def case_stale_totals():
    """The groups report under a title cell and a cover sheet whose formulas
    read the report; the template holds stale cached values (999)."""
    c = groups_case([(1, "A", "x", 1), (2, "A", "x", 2), (3, "A", "y", 3), (4, "B", "y", 4)])
    c.rows[0] += [None, None, "=SUBTOTAL(9,C:C)"]  # D1, beside the merged title
    c.bands = [b if b[0] != "title" else ("title", "A1:D1", {}) for b in c.bands]
    c.extra_sheets["Cover"] = [["Total", "=SUM(Report!C:C)"], ["Subtotal", "=SUBTOTAL(9,Report!C:C)"],
                               ["Indirect", '=INDIRECT("Report!C4")'], ["Twice", "=B1*2"],
                               ["Lines", "=COUNT(Report!C:C)"]]
    c.stale = 999
    return c


CASES = {
    "stale_totals": case_stale_totals,
    "events": case_events,
    "groups": case_groups,
    "empty": case_empty,
    "single": case_single,
    "each_new": case_each_new,
    "case_insensitive": lambda: case_letter_case(True),
    "case_sensitive": lambda: case_letter_case(False),
    "blank_header": case_blank_header,
    "master_detail": case_master_detail,
    "derived": case_derived,
    "rows_4000": lambda: numbered(4000),
    "rows_4001": lambda: numbered(4001),
    "rows_65533_title": lambda: numbered(65533, title=True),
    "rows_65534_title": lambda: numbered(65534, title=True),
    "pairs": case_pairs,
    "bad_formula": case_bad_formula,
    "data_text": case_data_text,
    "sub_report": case_sub_report,
}


def color(c):
    fill = c.fill
    if fill is None or fill.fill_type != "solid":
        return ""
    rgb = fill.fgColor.rgb
    return rgb[-6:] if isinstance(rgb, str) else ""


def read(path, data_only=False):
    wb = openpyxl.load_workbook(path, data_only=data_only)
    out = {}
    for ws in wb:
        cells = {}
        for row in ws.iter_rows():
            for c in row:
                styled = color(c) or c.font.b or c.border.top.style or c.number_format != "General"
                if c.value is None and not styled:
                    continue
                cells[c.coordinate] = {"v": c.value if isinstance(c.value, (int, float, str)) or c.value is None
                                       else str(c.value),
                                       "t": c.data_type, "fill": color(c), "bold": bool(c.font.b),
                                       "box": c.border.top.style or "", "fmt": c.number_format}
        heights = {str(r): d.height for r, d in ws.row_dimensions.items() if d.height}
        out[ws.title] = {"cells": cells, "merges": sorted(str(m) for m in ws.merged_cells.ranges),
                         "heights": heights, "max_row": ws.max_row}
    print(json.dumps(out))


if __name__ == "__main__":
    if sys.argv[1] == "make":
        write(CASES[sys.argv[2]](), sys.argv[3])
    elif sys.argv[1] == "read":
        read(sys.argv[2])
    elif sys.argv[1] == "values":
        read(sys.argv[2], data_only=True)
    else:
        sys.exit("usage: report_cases.py make CASE DIR | read FILE | values FILE")
