"""Tests of the scripting module XBASE32, run with the system's python3.

Each test works in a fresh drives root (KALVO_DRIVES) with the directory
c:\\data, so tables are named the way scripts name them.
"""

import gc
import os
import shutil
import tempfile
import unittest

import XBASE32

FIELDS = [
    ("NAME", "C", 12, 0, 0),
    ("PRICE", "N", 8, 2, 0),
    ("QTY", "N", 4, 0, 0),
    ("RATE", "F", 6, 1, 0),
    ("BORN", "D", 8, 0, 0),
    ("OK", "L", 1, 0, 0),
    ("NOTE", "M", 10, 0, 0),
]


class TableCase(unittest.TestCase):
    def setUp(self):
        self.root = tempfile.mkdtemp(prefix="xbase32-py-")
        self.old_drives = os.environ.get("KALVO_DRIVES")
        os.environ["KALVO_DRIVES"] = self.root
        os.makedirs(os.path.join(self.root, "c", "data"))
        XBASE32.Wdbase.SetDebugLevel(0)
        XBASE32.Wdbase.FlushSet(1)

    def tearDown(self):
        XBASE32.Wdbase.CloseAll()
        gc.collect()
        if self.old_drives is None:
            del os.environ["KALVO_DRIVES"]
        else:
            os.environ["KALVO_DRIVES"] = self.old_drives
        shutil.rmtree(self.root, ignore_errors=True)

    def table(self, name="goods", fields=FIELDS, names=None, exprs=None):
        w = XBASE32.Wdbase()
        self.assertEqual(1, w.SetFiles("c:\\data", name, names, exprs))
        self.assertEqual(1, w.CreateDb(fields))
        self.assertEqual(1, w.Open())
        return w

    def append(self, w, **values):
        self.assertEqual(1, w.AppendBlank())
        for field, value in values.items():
            if isinstance(value, str):
                self.assertEqual(1, w.WriteString(field, value), field)
            elif isinstance(value, float):
                self.assertEqual(1, w.WriteDouble(field, value), field)
            else:
                self.assertEqual(1, w.WriteLong(field, value), field)


class DefinitionTest(TableCase):
    def test_create_from_tuples_and_field_queries(self):
        w = self.table()
        self.assertEqual(len(FIELDS), w.FieldCount())
        self.assertEqual(("C", 12, 0), w.FieldInfo("name"))
        self.assertEqual(("N", 8, 2), w.FieldInfo("PRICE"))
        self.assertEqual(("N", 6, 1), w.FieldInfo(" rate "))  # F shows as N
        self.assertEqual(("D", 8, 0), w.FieldInfo("BORN"))
        self.assertEqual(("M", 10, 0), w.FieldInfo("NOTE"))
        self.assertEqual(2, w.FieldNo("price"))
        self.assertEqual("L", w.FieldType("OK"))
        self.assertEqual(4, w.FieldLen("QTY"))
        self.assertEqual(2, w.FieldDec("PRICE"))
        self.assertEqual(0, w.FieldNo("NOPE"))
        self.assertEqual(" ", w.FieldType("NOPE"))
        self.assertEqual(0, w.GetOEMConversionMode())
        self.assertEqual(1, w.IsOpen())
        self.assertEqual(0, w.IsClosed())
        self.assertEqual(1, w.Access())

    def test_field_list_ends_at_length_zero(self):
        w = XBASE32.Wdbase()
        w.SetFiles("c:\\data", "short")
        # Everything after the first length 0 is ignored, even nonsense.
        self.assertEqual(1, w.CreateDb([("A", "C", 3, 0), ("END", "C", 0, 0, 0),
                                        ("bad", 5)]))
        self.assertEqual(1, w.Open())
        self.assertEqual(1, w.FieldCount())

    def test_field_info_fails_with_exceptions(self):
        w = self.table()
        with self.assertRaises(KeyError):
            w.FieldInfo("MISSING")
        w.Close()
        with self.assertRaises(RuntimeError):
            w.FieldInfo("NAME")

    def test_definition_rules_pass_through(self):
        w = XBASE32.Wdbase()
        self.assertEqual(0, w.SetFiles("c:\\data", "ninechars"))
        self.assertEqual(0, w.SetFiles("c:\\data", None))
        self.assertEqual(1, w.SetFiles(None, "C:\\DATA\\GOODS"))
        self.assertEqual(0, w.Open())  # no such file
        self.assertEqual(0, w.CreateDb([]))
        self.assertEqual(1, w.SetPath("c:\\other"))
        self.assertEqual(0, w.SetPath(None))
        self.assertEqual(0, w.Access())
        self.assertEqual(1, w.IsClosed(-1))
        self.assertEqual(-1, w.RecNo())
        self.assertEqual(1, w.Eof())

    def test_index_definition_lists(self):
        w = XBASE32.Wdbase()
        self.assertEqual(1, w.SetFiles("c:\\data", "goods", ["byname", "Byqty"],
                                       ["upper(name)", "qty "]))
        self.assertEqual(2, w.GetIdxCount())
        self.assertEqual("UPPER(NAME)", w.GetIdxExpr(1))
        self.assertEqual("QTY", w.GetIdxExpr(2))
        self.assertIsNone(w.GetIdxExpr(3))
        self.assertEqual(2, w.IdxNameToNumber("BYQTY"))
        self.assertEqual(0, w.IdxNameToNumber("none"))
        nine = ["i%d" % k for k in range(9)]
        self.assertEqual(0, w.SetFiles("c:\\data", "goods", nine, nine))
        self.assertEqual(0, w.GetIdxCount())


class FieldTest(TableCase):
    def test_every_field_type_round_trips(self):
        w = self.table()
        self.assertEqual(1, w.AppendBlank())
        self.assertEqual(1, w.WriteString("NAME", "Zo\u00eb & Co"))
        self.assertEqual(1, w.WriteDouble("PRICE", 12.345))
        self.assertEqual(1, w.WriteInt("QTY", -17))
        self.assertEqual(1, w.WriteFloat("RATE", 2.5))
        self.assertEqual(1, w.WriteString("BORN", "20090307"))
        self.assertEqual(1, w.WriteChar("OK", "y"))
        self.assertEqual(1, w.MemoWrite("NOTE", "line one\r\nline two"))
        self.assertEqual(1, w.Flush())

        w.Close()
        self.assertEqual(1, w.Open())
        self.assertEqual("Zo\u00eb & Co    ", w.ReadString("NAME"))
        self.assertEqual("Zo\u00eb & Co", w.ReadString("NAME", 0, 1))
        self.assertEqual("   12.35", w.ReadString("PRICE"))
        self.assertEqual("12.35", w.ReadString("PRICE", 1))
        self.assertAlmostEqual(12.35, w.ReadDouble("PRICE"))
        self.assertEqual(-17, w.ReadInt("QTY"))
        self.assertEqual(-17, w.ReadLong("QTY"))
        self.assertAlmostEqual(2.5, w.ReadFloat("RATE"))
        self.assertEqual("20090307", w.ReadString("BORN"))
        self.assertEqual(2454898, w.ReadLong("BORN"))  # day number
        self.assertEqual(1, w.ReadBool("OK"))
        self.assertEqual("T", w.ReadChar("OK"))
        self.assertEqual("Z", w.ReadChar("NAME"))
        self.assertEqual("line one\r\nline two", w.MemoPtr("NOTE"))
        self.assertEqual(18, w.MemoLen("NOTE"))

        self.assertEqual(1, w.WriteString("OK", "no"))
        self.assertEqual(0, w.ReadBool("OK"))
        self.assertEqual(1, w.WriteChar("NAME", "\u00e9"))
        self.assertEqual("\u00e9", w.ReadString("NAME", 0, 1))
        # Type rules of the engine come back as results, not exceptions.
        self.assertEqual(0, w.WriteString("QTY", "5"))
        self.assertEqual(0, w.WriteDouble("NAME", 1.5))
        self.assertEqual(0, w.WriteLong("BORN", 1))
        self.assertEqual(1, w.WriteString("NAME", ""))  # unchanged
        self.assertEqual("\u00e9", w.ReadString("NAME", 0, 1))

    def test_write_char_and_read_char_are_symmetric(self):
        w = self.table()
        self.assertEqual(1, w.AppendBlank())
        for b in range(0x20, 0x100):
            try:
                ch = bytes([b]).decode("cp1252")
            except UnicodeDecodeError:
                continue  # no character at this byte
            self.assertEqual(1, w.WriteChar("NAME", ch))
            self.assertEqual(w.ReadString("NAME")[0], w.ReadChar("NAME"), b)
        self.assertEqual(1, w.WriteChar("NAME", "\u00e9"))
        self.assertEqual("\u00e9", w.ReadChar("NAME"))

    def test_read_string_gives_at_most_255_characters(self):
        w = self.table(fields=[("LONG", "C", 400, 0, 0)])
        self.append(w, LONG="x" * 300)
        self.assertEqual(255, len(w.ReadString("LONG")))

    def test_memo_read_is_cut_to_255_and_memo_ptr_is_whole(self):
        w = self.table()
        self.assertEqual(1, w.AppendBlank())
        text = "".join(chr(ord("a") + k % 26) for k in range(1000))
        self.assertEqual(1, w.MemoWrite("NOTE", text, len(text)))
        self.assertEqual(text[:255], w.MemoRead("NOTE"))
        self.assertEqual(text, w.MemoPtr("NOTE"))
        self.assertEqual(1000, w.MemoLen("NOTE"))
        self.assertEqual(1, w.MemoWrite("NOTE", "short"))
        self.assertEqual("short", w.MemoRead("NOTE"))

    def test_memo_write_never_reads_past_the_text(self):
        w = self.table()
        self.assertEqual(1, w.AppendBlank())
        self.assertEqual(1, w.MemoWrite("NOTE", "abc", 1 << 30))
        self.assertEqual("abc", w.MemoPtr("NOTE"))
        self.assertEqual(1, w.MemoWrite("NOTE", "abcdef", 2))
        self.assertEqual("ab", w.MemoPtr("NOTE"))
        self.assertEqual(1, w.MemoWrite("NOTE", "gone", 0))
        self.assertEqual(0, w.MemoLen("NOTE"))
        self.assertEqual("", w.MemoPtr("NOTE"))
        with self.assertRaises(ValueError):
            w.MemoWrite("NOTE", "abc", -1)
        with self.assertRaises(TypeError):
            w.MemoWrite("NOTE", None, 3)
        with self.assertRaises(TypeError):
            w.MemoWrite("NOTE", "abc", "3")

    def test_memo_at_end_of_file(self):
        w = self.table()
        self.assertIsNone(w.MemoPtr("NOTE"))
        self.assertEqual("", w.MemoRead("NOTE"))
        self.assertEqual(0, w.MemoWrite("NOTE", "x"))


class NavigationTest(TableCase):
    def test_walk_and_records(self):
        w = self.table()
        for k in range(1, 6):
            self.append(w, NAME="R%d" % k, QTY=k)
        self.assertEqual(5, w.RecCount())
        self.assertEqual(1, w.Top())
        seen = []
        while not w.Eof():
            seen.append(w.ReadString("NAME", 0, 1))
            w.Next()
        self.assertEqual(["R1", "R2", "R3", "R4", "R5"], seen)
        self.assertEqual(6, w.RecNo())
        self.assertEqual(1, w.Skip(-2))
        self.assertEqual(4, w.RecNo())
        self.assertEqual(1, w.Goto(2))
        self.assertEqual(1, w.Previous())
        self.assertEqual(0, w.Previous())
        self.assertEqual(1, w.Bof())
        self.assertEqual(1, w.RecNo())
        self.assertEqual(1, w.Bottom())
        self.assertEqual(5, w.GetPosition())
        self.assertEqual(1, w.SetPosition(3))
        self.assertEqual(5, w.GetLastPosition())
        self.assertFalse(w.IsEmpty())
        self.assertEqual(0, w.Goto(99))
        self.assertEqual(1, w.Eof())

        w.Goto(2)
        self.assertEqual(1, w.Delete())
        self.assertEqual(1, w.Deleted())
        self.assertEqual(1, w.Recall())
        self.assertEqual(0, w.Deleted())
        self.assertEqual(1, w.Select())
        self.assertEqual(1, w.Selected())
        self.assertEqual(1, w.UnselectAll())
        self.assertEqual(0, w.Selected())
        self.assertEqual(1, w.Lock())
        self.assertEqual(1, w.Unlock())

    def test_pack_and_zap(self):
        w = self.table()
        for k in range(1, 6):
            self.append(w, NAME="R%d" % k)
        for recno in (2, 4):
            w.Goto(recno)
            w.Delete()
        self.assertEqual(1, w.Pack())
        self.assertEqual(3, w.RecCount())
        names = []
        w.Top()
        while not w.Eof():
            names.append(w.ReadString("NAME", 0, 1))
            w.Next()
        self.assertEqual(["R1", "R3", "R5"], names)
        self.assertEqual(1, w.Zap())
        self.assertEqual(0, w.RecCount())
        self.assertTrue(w.IsEmpty())

    def test_field_add_and_remove(self):
        w = self.table()
        self.append(w, NAME="keep", QTY=3)
        self.assertEqual(1, w.FieldAdd(0, " price2 ", "n", 8, 9))
        self.assertEqual(("N", 8, 7), w.FieldInfo("PRICE2"))
        self.assertEqual(len(FIELDS) + 1, w.FieldCount())
        self.assertEqual(1, w.FieldAdd(1, "FIRST", "C", 2))
        self.assertEqual(1, w.FieldNo("FIRST"))
        self.assertEqual(1, w.FieldRemove(w.FieldNo("QTY")))
        self.assertEqual(0, w.FieldNo("QTY"))
        w.Top()
        self.assertEqual("keep", w.ReadString("NAME", 0, 1))
        self.assertEqual(0, w.FieldAdd(0, "BAD", "X", 5))
        self.assertEqual(0, w.FieldAdd(0, "", "C", 5))
        self.assertEqual(0, w.FieldRemove(99))
        with self.assertRaises(ValueError):
            w.FieldAdd(0, "BAD", "CC", 5)
        with self.assertRaises(TypeError):
            w.FieldRemove("QTY")

    def test_settings(self):
        W = XBASE32.Wdbase
        self.assertEqual(0, W.SetDebugLevel(5))  # out of range: unchanged
        self.assertEqual(0, W.GetDebugLevel())
        self.assertEqual(1, W.FlushSet(0))
        self.assertEqual(0, W().FlushGet())
        W.FlushSet(1)
        self.assertEqual(1, W.FlushGet())


class IndexTest(TableCase):
    def make(self):
        w = self.table(names=["byname", "byqty"],
                       exprs=["UPPER(NAME)", "QTY"])
        for name, qty in (("abd", 4), ("Zo\u00eb", 2), ("ABB", 9), ("m", -3)):
            self.append(w, NAME=name, QTY=qty)
        return w

    def walk(self, w):
        names = []
        w.Top()
        while not w.Eof():
            names.append(w.ReadString("NAME", 0, 1))
            w.Next()
        return names

    def test_index_order_and_seek(self):
        w = self.make()
        self.assertEqual(1, w.IsOpen(1))
        self.assertEqual(0, w.SelectedIdx())
        self.assertEqual(1, w.SelectIdx(1))
        self.assertEqual(1, w.SelectedIdx())
        self.assertEqual(["ABB", "abd", "m", "Zo\u00eb"], self.walk(w))
        self.assertEqual(1, w.Seek("ABD"))
        self.assertEqual("abd", w.ReadString("NAME", 0, 1))
        self.assertEqual(2, w.Seek("ABC"))  # on the next greater key
        self.assertEqual("abd", w.ReadString("NAME", 0, 1))
        self.assertEqual(1, w.Seek("ZO\u00eb"))  # converted like the keys
        self.assertEqual(3, w.Seek("ZZ"))
        self.assertEqual(1, w.Eof())
        self.assertEqual(1, w.SelectIdx(2))
        self.assertEqual(["m", "Zo\u00eb", "abd", "ABB"], self.walk(w))
        self.assertEqual(1, w.Seek("4"))
        self.assertEqual(4, w.ReadInt("QTY"))
        self.assertEqual(0, w.SelectIdx(3))
        self.assertEqual(1, w.SelectIdx())  # natural order
        self.assertEqual(0, w.Seek("ABB"))  # no index selected
        self.assertEqual(0, w.Seek(None))

    def test_rebuild(self):
        w = self.make()
        self.assertEqual(1, w.CreateIdx(1))
        self.assertEqual(1, w.RebuildIdx())
        self.assertEqual(0, w.CreateIdx(3))
        w.Close()
        os.remove(os.path.join(self.root, "c", "data", "byname.ntx"))
        self.assertEqual(1, w.Open())  # a missing index is made again
        w.SelectIdx(1)
        self.assertEqual(["ABB", "abd", "m", "Zo\u00eb"], self.walk(w))
        with self.assertRaises(TypeError):
            w.Seek(5)
        with self.assertRaises(TypeError):
            w.SelectIdx("1")


class SpecialFilterTest(TableCase):
    def names(self, w):
        seen = []
        w.Top()
        while not w.Eof():
            seen.append(w.ReadString("NAME", 0, 1))
            w.Next()
        return seen

    def spf_files(self):
        return sorted(f.lower() for f in os.listdir(
            os.path.join(self.root, "c", "data")) if f.lower().startswith("spf"))

    def test_filter_walk_positions_and_order(self):
        w = self.table(names=["byname"], exprs=["NAME"])
        for k, name in enumerate(("delta", "alpha", "echo", "bravo", "charlie")):
            self.append(w, NAME=name, QTY=k)
        self.assertFalse(w.SpecialFilterIsEnabled())
        self.assertFalse(w.SpecialFilterQuit())
        self.assertEqual(1, w.SelectIdx(1))
        self.assertTrue(w.SpecialFilterInit("QTY >= 2"))
        self.assertTrue(w.SpecialFilterIsEnabled())
        self.assertFalse(w.SpecialFilterIsInverted())
        self.assertEqual(1, len(self.spf_files()))
        self.assertEqual(["bravo", "charlie", "echo"], self.names(w))
        self.assertEqual(3, w.GetLastPosition())
        w.Top()
        w.Next()
        self.assertEqual(2, w.GetPosition())
        self.assertTrue(w.SpecialFilterChangeOrder())
        self.assertTrue(w.SpecialFilterIsInverted())
        self.assertEqual(["echo", "charlie", "bravo"], self.names(w))
        self.assertTrue(w.SpecialFilterChangeOrder())
        self.assertEqual(["bravo", "charlie", "echo"], self.names(w))
        self.assertTrue(w.SpecialFilterLock())
        self.assertTrue(w.SpecialFilterUnlock())
        self.assertTrue(w.SpecialFilterRebuild())
        self.assertEqual(["bravo", "charlie", "echo"], self.names(w))
        self.assertTrue(w.SpecialFilterQuit())
        self.assertFalse(w.SpecialFilterIsEnabled())
        self.assertEqual([], self.spf_files())
        self.assertEqual(5, len(self.names(w)))

    def test_bad_conditions(self):
        w = self.table()
        self.append(w, NAME="x")
        self.assertFalse(w.SpecialFilterInit("QTY +"))
        self.assertFalse(w.SpecialFilterInit("NAME"))  # not logical
        self.assertFalse(w.SpecialFilterInit(None))
        self.assertFalse(w.SpecialFilterIsEnabled())
        self.assertFalse(w.SpecialFilterLock())
        with self.assertRaises(TypeError):
            w.SpecialFilterInit(5)
        with self.assertRaises(TypeError):
            w.SpecialFilterInit("QTY > 1", "yes")


class RelationTest(TableCase):
    def make(self):
        cust = self.table("cust", [("CODE", "C", 3, 0, 0),
                                   ("NAME", "C", 8, 0, 0)])
        for code, name in (("A01", "Alice"), ("B02", "Bob"), ("Z99", "Zed")):
            self.append(cust, CODE=code, NAME=name)
        orders = self.table("orders", [("CUST", "C", 3, 0, 0),
                                       ("ITEM", "C", 6, 0, 0),
                                       ("QTY", "N", 3, 0, 0)],
                            ["bycust"], ["CUST"])
        for cust_code, item, qty in (("B02", "nut", 5), ("A01", "bolt", 1),
                                     ("A01", "screw", 3)):
            self.append(orders, CUST=cust_code, ITEM=item, QTY=qty)
        return cust, orders

    def walk(self, master, cust, orders):
        seen = []
        r = master.TopRelation()
        while r == 1:
            item = "-" if orders.Eof() else orders.ReadString("ITEM", 0, 1)
            seen.append(cust.ReadString("CODE") + ":" + item)
            r = master.NextRelation()
        self.assertEqual(2, r)
        return seen

    def test_exact_scan_query_and_sort(self):
        cust, orders = self.make()
        self.assertEqual(1, cust.SetMasterRelation())
        self.assertEqual(1, orders.SetSlaveRelation(cust, "CODE", "bycust"))
        self.assertEqual(["A01:bolt", "B02:nut", "Z99:-"],
                         self.walk(cust, cust, orders))
        self.assertEqual(1, orders.SetSlaveRelationType(2))
        self.assertEqual(["A01:bolt", "A01:screw", "B02:nut", "Z99:-"],
                         self.walk(cust, cust, orders))
        self.assertEqual(1, cust.BottomRelation())
        self.assertEqual(1, cust.PreviousRelation())
        self.assertEqual("nut", orders.ReadString("ITEM", 0, 1))
        self.assertEqual(1, cust.SetQuery("ORDERS->QTY > 1"))
        self.assertEqual(["A01:screw", "B02:nut"],
                         self.walk(cust, cust, orders))
        self.assertEqual(1, cust.SetSort("ORDERS->ITEM"))
        self.assertEqual(["B02:nut", "A01:screw"],
                         self.walk(orders, cust, orders))
        self.assertEqual(1, cust.SetQuery(None))
        self.assertEqual(1, cust.SetSort(""))
        self.assertEqual(4, len(self.walk(cust, cust, orders)))
        # A numeric value against a text order is refused.
        notes = self.table("notes", [("CUST", "C", 3, 0, 0)], ["bynote"],
                           ["CUST"])
        self.assertEqual(0, notes.SetSlaveRelation(cust, "RECNO()", "bynote"))
        self.assertEqual(0, notes.TopRelation())
        self.assertEqual(0, notes.SetSlaveRelation(None, "CODE", "bynote"))
        with self.assertRaises(TypeError):
            notes.SetSlaveRelation("cust", "CODE", "bynote")
        with self.assertRaises(TypeError):
            cust.SetQuery(1)

    def test_tables_may_go_in_any_order(self):
        cust, orders = self.make()
        cust.SetMasterRelation()
        orders.SetSlaveRelation(cust, "CODE", "bycust")
        # The master goes first: the slave keeps no dangling tree.
        del cust
        gc.collect()
        self.assertEqual(0, orders.TopRelation())
        self.assertEqual(0, orders.NextRelation())
        cust, orders2 = self.make_again()
        cust.SetMasterRelation()
        orders2.SetSlaveRelation(cust, "CODE", "bycust")
        del orders2
        gc.collect()
        self.assertEqual(1, cust.TopRelation())
        self.assertEqual(1, cust.SetMasterRelation())  # frees the old tree
        self.assertEqual(1, cust.NextRelation())

    def make_again(self):
        cust = XBASE32.Wdbase()
        cust.SetFiles("c:\\data", "cust")
        self.assertEqual(1, cust.Open())
        orders = XBASE32.Wdbase()
        orders.SetFiles("c:\\data", "orders", ["bycust"], ["CUST"])
        self.assertEqual(1, orders.Open())
        return cust, orders


class BadArgumentTest(TableCase):
    def test_wrong_types_raise(self):
        w = self.table()
        w.AppendBlank()
        cases = [
            (TypeError, lambda: w.WriteInt("QTY", "x")),
            (TypeError, lambda: w.WriteDouble("PRICE", "1.5")),
            (TypeError, lambda: w.ReadString(5)),
            (TypeError, lambda: w.FieldNo(3.5)),
            (TypeError, lambda: w.Skip("1")),
            (TypeError, lambda: w.Goto(None)),
            (TypeError, lambda: w.SetFiles(1, "x")),
            (TypeError, lambda: w.SetFiles("c:\\data", "x", ["a"])),
            (ValueError, lambda: w.SetFiles("c:\\data", "x", ["a"], [])),
            (TypeError, lambda: w.WriteChar("NAME", 65)),
            (ValueError, lambda: w.WriteChar("NAME", "")),
            (ValueError, lambda: w.WriteChar("NAME", "ab")),
            (OverflowError, lambda: w.WriteInt("QTY", 1 << 40)),
            (OverflowError, lambda: w.Skip(1 << 40)),
            (TypeError, lambda: w.Top(1)),
            (TypeError, lambda: XBASE32.Wdbase(1)),
        ]
        for error, call in cases:
            with self.assertRaises(error):
                call()
        # A None text is "no text": the engine answers with its failure value.
        self.assertEqual(0, w.WriteString("NAME", None))
        self.assertEqual(0, w.ReadInt(None))
        self.assertEqual("", w.ReadString(None))

    def test_bad_field_lists_raise(self):
        w = XBASE32.Wdbase()
        w.SetFiles("c:\\data", "bad")
        cases = [
            (TypeError, 5),
            (TypeError, ["NAME"]),
            (TypeError, [("NAME", "C", "10", 0, 0)]),
            (ValueError, [("NAME", "C", 10)]),
            (ValueError, [("NAME", "C", 10, 0, 0, 0)]),
            (ValueError, [("ELEVENCHARS", "C", 10, 0, 0)]),
            (ValueError, [("", "C", 10, 0, 0)]),
            (ValueError, [("NAME", "CC", 10, 0, 0)]),
            (ValueError, [("NAME", "C", -1, 0, 0)]),
            (ValueError, [("NAME", "C", 70000, 0, 0)]),
            (ValueError, [("NAME", "N", 5, -1, 0)]),
            (TypeError, [(None, "C", 10, 0, 0)]),
        ]
        for error, fields in cases:
            with self.assertRaises(error, msg=repr(fields)):
                w.CreateDb(fields)
        self.assertEqual(0, w.Access())
        # Bad types and sizes that fit the record are the engine's to refuse.
        self.assertEqual(0, w.CreateDb([("NAME", "X", 10, 0, 0)]))
        self.assertEqual(0, w.CreateDb([("NAME", "N", 300, 0, 0)]))

    def test_closed_table_answers_without_crashing(self):
        w = XBASE32.Wdbase()
        for name in ("Top", "Next", "Bottom", "Previous", "AppendBlank",
                     "Delete", "Recall", "Flush", "Pack", "Zap", "Lock",
                     "RecallAll", "UnselectAll", "Close"):
            self.assertEqual(0, getattr(w, name)(), name)
        self.assertEqual("", w.ReadString("NAME"))
        self.assertEqual("", w.MemoRead("NOTE"))
        self.assertIsNone(w.MemoPtr("NOTE"))
        self.assertEqual(0, w.WriteString("NAME", "x"))
        self.assertEqual(0, w.FieldCount())


if __name__ == "__main__":
    unittest.main()
