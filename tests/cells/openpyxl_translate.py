"""Moves formulas with openpyxl's formula translator, an independent
implementation of the spreadsheet's reference adjustment.
Input lines: row offset, column offset, formula (tab separated).
Output: one translated formula per line. Run by Debian's /usr/bin/python3."""
import sys
from openpyxl.formula.translate import Translator
from openpyxl.utils import get_column_letter

ORIGIN_ROW, ORIGIN_COL = 100, 26
with open(sys.argv[1], encoding="utf-8") as f:
    for line in f:
        rows, cols, formula = line.rstrip("\n").split("\t", 2)
        dest = get_column_letter(ORIGIN_COL + int(cols)) + str(ORIGIN_ROW + int(rows))
        origin = get_column_letter(ORIGIN_COL) + str(ORIGIN_ROW)
        print(Translator(formula, origin=origin).translate_formula(dest))
