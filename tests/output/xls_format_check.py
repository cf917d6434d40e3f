"""Checks the formatting of an exported LogFile.xls with xlrd, a reader
independent of the writer: header texts and fonts, column widths, and the
default format of the data cells.

Usage: xls_format_check.py VELARION_BATCH
"""
import subprocess
import sys
import tempfile
import unittest
from pathlib import Path

import xlrd

BATCH = None


class ExportedFormatting(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.dir = tempfile.TemporaryDirectory()
        subprocess.run([BATCH, "--box", "CLogFileExc=1", "--box", "TINDICE_MATRICE2=123"],
                       cwd=cls.dir.name, check=True, capture_output=True)
        path = Path(cls.dir.name) / "LogFile.xls"
        cls.book = xlrd.open_workbook(str(path), formatting_info=True)
        cls.sheet = cls.book.sheet_by_index(0)

    @classmethod
    def tearDownClass(cls):
        cls.dir.cleanup()

    def font_of(self, row, col):
        xf = self.book.xf_list[self.sheet.cell_xf_index(row, col)]
        return self.book.font_list[xf.font_index]

    def test_headers_are_bold_blue_arial_10(self):
        self.assertEqual(self.sheet.row_values(0), ["psi(i,0)", "psi(i,123)"])
        for col in (0, 1):
            self.assertEqual(self.sheet.cell_type(0, col), xlrd.XL_CELL_TEXT)
            font = self.font_of(0, col)
            self.assertEqual(font.name, "Arial")
            self.assertTrue(font.bold)
            self.assertEqual(font.weight, 700)
            self.assertEqual(font.height, 200)
            self.assertEqual(font.colour_index, 12)
            self.assertEqual(self.book.colour_map[font.colour_index], (0, 0, 255))
            self.assertFalse(font.italic)
            self.assertEqual(font.underline_type, 0)
            self.assertFalse(font.struck_out)
            self.assertEqual(font.escapement, 0)
            self.assertFalse(font.outline)
            self.assertFalse(font.shadow)

    # Excel stores ColumnWidth 35 with its padding: (35 * 7 + 5) / 7 * 256
    # for Arial 10, whose widest digit is 7 pixels.
    def test_columns_a_and_b_are_35_wide(self):
        self.assertEqual(self.sheet.colinfo_map[0].width, 9142)
        self.assertEqual(self.sheet.colinfo_map[1].width, 9142)
        self.assertNotIn(2, self.sheet.colinfo_map)

    def test_data_cells_keep_the_default_format(self):
        self.assertEqual((self.sheet.nrows, self.sheet.ncols), (31, 2))
        default_xf = self.book.xf_list[15]
        for row in range(1, self.sheet.nrows):
            for col in (0, 1):
                self.assertEqual(self.sheet.cell_type(row, col), xlrd.XL_CELL_NUMBER)
                self.assertEqual(self.sheet.cell_xf_index(row, col), 15)
        self.assertFalse(self.book.font_list[default_xf.font_index].bold)
        self.assertEqual(self.book.font_list[default_xf.font_index].colour_index, 0x7FFF)


if __name__ == "__main__":
    BATCH = str(Path(sys.argv.pop(1)).resolve())
    unittest.main()
