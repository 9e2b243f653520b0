#!/usr/bin/env python3
"""Writes the binary workbook (.xls) that the workbook tests read.

Usage: make_xls.py OUTPUT [LAST_ROW LAST_COLUMN [WIDE_SHEETS]]
Sheet "Prices": A1 12.5, B2 "Widget", C3 TRUE, D4 the date 2024-01-15,
A5 -3, B6 0.03125, E7 the date and time 1900-01-01 12:00.
Sheet "Empty": nothing. Sheet "Wide": one number, 7, at the given last cell
(from 1; default 10, 5); with WIDE_SHEETS, that many such sheets ("Wide",
"Wide 2", ...).
"""
import datetime
import sys

import xlwt

out = sys.argv[1]
last_row = int(sys.argv[2]) if len(sys.argv) > 2 else 10
last_col = int(sys.argv[3]) if len(sys.argv) > 3 else 5
wide_sheets = int(sys.argv[4]) if len(sys.argv) > 4 else 1

book = xlwt.Workbook()
prices = book.add_sheet("Prices")
prices.write(0, 0, 12.5)
prices.write(1, 1, "Widget")
prices.write(2, 2, True)
date_style = xlwt.easyxf(num_format_str="yyyy-mm-dd")
prices.write(3, 3, datetime.date(2024, 1, 15), date_style)
prices.write(4, 0, -3)
prices.write(5, 1, 0.03125)
stamp_style = xlwt.easyxf(num_format_str="yyyy-mm-dd hh:mm:ss")
prices.write(6, 4, datetime.datetime(1900, 1, 1, 12, 0, 0), stamp_style)
book.add_sheet("Empty")
for i in range(wide_sheets):
    wide = book.add_sheet("Wide" if i == 0 else "Wide %d" % (i + 1))
    wide.write(last_row - 1, last_col - 1, 7)
book.save(out)
