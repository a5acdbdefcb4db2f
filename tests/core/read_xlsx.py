"""Prints what another program reads from a workbook: every cell of the first sheet with its
type, value, number format and wrap, the frozen cell and the column widths, as JSON."""
import datetime
import json
import sys

import openpyxl

book = openpyxl.load_workbook(sys.argv[1])
sheet = book.worksheets[0]
rows = []
for row in sheet.iter_rows():
    cells = []
    for cell in row:
        value = cell.value
        if isinstance(value, datetime.datetime):
            value = value.strftime("%Y-%m-%d %H:%M:%S")
        cells.append({"type": cell.data_type, "value": value,
                      "format": cell.number_format, "wrap": bool(cell.alignment.wrap_text)})
    rows.append(cells)
widths = {key: dim.width for key, dim in sheet.column_dimensions.items()}
print(json.dumps({"sheet": sheet.title, "rows": rows, "freeze": sheet.freeze_panes,
                  "widths": widths}, ensure_ascii=False))
