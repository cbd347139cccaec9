"""Tests of the scripting module MIXTABLE, run with the system's python3.

Each test works in a fresh drives root (KALVO_DRIVES) with its own local
directory (c:\\local\\), so data sets, the catalogue and the history are
named the way scripts name them. Calls that could crash the interpreter run
in a child interpreter, so that a crash fails a test instead of ending the
run.
"""

import gc
import os
import shutil
import subprocess
import sys
import tempfile
import unittest
import weakref

import MIXTABLE as M
import XBASE32

DATA_ID = 4242
DATA_DIR = "c:\\kdata\\"

# Every name the module offers, class by class, in registration order.
PRESENCE = [
    ("Wy_Can", ["CanId", "Nom_Q", "H_min", "H_max", "CanDescr", "CanWeight",
                "Set", "Clear"]),
    ("Wy_Base", ["BasId", "BaseCode", "BaseDescr", "Spec_W", "Fill_Q",
                 "Fill_W", "Fill_QC", "Fill_WC", "BaseWeightMode",
                 "BaseFrmId", "BaseFrm", "BaseIsDispensable",
                 "SetAsManualBase", "Set", "Clear"]),
    ("Wy_BaseAndCan", ["__init__", "Clear", "HasCustomQuantities",
                       "GetCurrentFillQuantity", "Set"]),
    ("Wy_Units", ["m_sName", "m_dUnit", "m_dFraction", "m_dFraction2",
                  "m_bWeightMode", "Clear"]),
    ("CWymask", ["Fill", "SetNullFlag", "GetNullFlag", "GetLen", "Inspect",
                 "Clear"]),
    ("Wy_Substrate", ["GetID", "SetID", "HasCustomColor",
                      "GetCustomBackColor", "SetCustomBackColor",
                      "ResetCustomBackColor", "Clear"]),
    ("Wy_ShopData", ["m_Shop1", "m_Shop2", "m_Shop3", "m_UserId",
                     "m_UserName", "m_PcId", "m_Nprog", "m_CustomKey1",
                     "m_CustomKey2", "m_CustomKey3", "m_CustomComment",
                     "Clear"]),
    ("CMixtable", ["__init__", "SetDataId", "GetDataId", "GetDataDir",
                   "GetHtmlDir", "SetYtoGCSpaces", "Handle", "Open",
                   "CloseAll", "TmpOpen", "TmpClose", "Select", "First",
                   "Next", "GetNextFreeId", "GetCurLevel", "GetLevelMask",
                   "Frieze", "Defrieze", "CanSize", "DblCanSize",
                   "FrmCanSize", "SpecificWeight", "SingleProduct",
                   "UnitAndFraction", "CreateColorKeyDb"]),
    ("CMixtableEx", ["__init__", "GetTableLevel", "GetGdataDescr",
                     "GetLevelIDs", "AlignTable", "Exist", "Delete",
                     "Create", "SetDataDir", "GetParamGdataId",
                     "CreateDictionaryItem"]),
    ("yformula", ["__init__", "get", "set", "add", "count", "read", "resize",
                  "parse", "to_volume", "to_weight"]),
    ("Wy_Frm", ["__init__", "m_SlaveId", "m_CanWeight0", "m_Nom_Q0",
                "GetUnits", "SetUnits", "IsEmpty", "read", "resize", "Clear",
                "m_Frm"]),
    ("HFormula", ["__init__", "Empty", "StatusEx", "GetDataId", "SetDataId",
                  "GetPrd", "SetPrd", "GetSub", "SetSub", "GetSpd", "GetClr",
                  "SetClr", "SetEmptyClr", "ClrTok", "GetCnt", "GetCnx",
                  "GetLog", "GetPnc", "GetShlPos", "GetLqnt", "SetFrm",
                  "SetCan", "SetUnit", "UpdateUnits", "UpdateShopData",
                  "GetFormulaSource", "SetFormulaSource", "GetRemoteSource",
                  "SetRemoteSource", "GeBaseLinkedFlag", "SetBaseLinkedFlag",
                  "GetX02", "SetX02", "GetX10", "SetX10", "ReadPy",
                  "WritePy", "Frieze", "Defrieze"]),
    ("Wy_Formula", ["__init__", "SetYBas", "SetYCan", "SetBaseAndCan",
                    "GetBaseAndCan", "SetYFrm", "GetYFrm", "GetBaseYFrm",
                    "GetResizedFrm", "GetResizedCnx", "SaveInArchive"]),
    ("Wy_DispenserData", ["m_DispenserDescr", "m_DispenserId", "Clear"]),
]

WYSPEC = ["Y_PRODUCTS", "Y_SUBPRODS", "Y_CNTS", "Y_BASES", "Y_CNT_BLND",
          "Y_CNT_KS", "Y_BAS_BLND", "Y_BAS_KS", "Y_CANS", "Y_CNT_HUE",
          "Y_BAS_HUE", "Y_FRM", "Y_FRM_REFL", "Y_CUS", "Y_MASK", "Y_CYLINDER",
          "Y_APPROACH", "Y_UCOAT", "Y_SPECPROC", "Y_ARCHIVE", "Y_LABEL",
          "Y_PARAM", "Y_RULER", "Y_SINGLE_KS", "Y_THICKNESS", "Y_SUBSTRATE",
          "Y_BASESFRM", "Y_CNT_FF", "Y_BAS_FF", "Y_FRMCODES", "Y_SINGLE_BLND",
          "Y_TBLCODE", "Y_NCSCORR", "Y_FRM_HISTORY", "Y_COLORKEY",
          "Y_CLRPRDS", "Y_N_MAX"]

SOURCES = [("HF_SOURCE_STANDARD", 0), ("HF_SOURCE_CUSTOM", 1),
           ("HF_SOURCE_MANUAL", 2), ("HF_SOURCE_COLOUR_MATCHING", 3),
           ("HF_SOURCE_REMOTE", 4), ("HF_SOURCE_REMOTEFIXED", 5),
           ("HF_SOURCE_CORRECTION_OLD_CAN", 6),
           ("HF_SOURCE_CORRECTION_NEW_CAN", 7), ("HF_SOURCE_LAST", 9)]

FUNCTIONS = ["Wy_LocalPath", "hformula_SaveInArchive",
             "hformula_SaveInHistory", "hformula_CheckUpdateHistory",
             "hformula_CheckUpdateArchive"]

CATALOGUE_FIELDS = [("DATAID", "C", 10, 0, 0), ("PATH", "C", 80, 0, 0),
                    ("DISP_ID", "C", 48, 0, 0), ("DESCR", "C", 32, 0, 0),
                    ("ABS_DATAID", "C", 10, 0, 0),
                    ("SERVER_ID", "C", 32, 0, 0),
                    ("PROCESS_ID", "C", 32, 0, 0),
                    ("USER_NAME", "C", 32, 0, 0),
                    ("PASSWORD", "C", 32, 0, 0),
                    ("CACHE_TYPE", "C", 32, 0, 0)]


def ident(n):
    """An id as the tables store it."""
    return "%5d" % n


class DrivesCase(unittest.TestCase):
    """A fresh drives root with c:\\ and the default local directory."""

    def setUp(self):
        self.root = tempfile.mkdtemp(prefix="mixtable-py-")
        self.saved = {k: os.environ.get(k) for k in ("KALVO_DRIVES",
                                                     "LOCALDIR")}
        os.environ["KALVO_DRIVES"] = self.root
        os.environ.pop("LOCALDIR", None)
        os.makedirs(os.path.join(self.root, "c"))
        XBASE32.Wdbase.SetDebugLevel(0)
        XBASE32.Wdbase.FlushSet(1)

    def tearDown(self):
        gc.collect()
        XBASE32.Wdbase.CloseAll()
        for k, v in self.saved.items():
            if v is None:
                os.environ.pop(k, None)
            else:
                os.environ[k] = v
        shutil.rmtree(self.root, ignore_errors=True)

    def host(self, *parts):
        return os.path.join(self.root, "c", *parts)

    def build_data_set(self):
        """CNTS, BASES, CANS, FRM and PARAM in c:\\kdata\\, catalogued as
        DATA_ID; answers a table set on it with every table closed."""
        ex = M.CMixtableEx()
        ex.SetDataDir(DATA_DIR)
        for t in (M.Y_PRODUCTS, M.Y_CNTS, M.Y_BASES, M.Y_CANS, M.Y_FRM,
                  M.Y_PARAM):
            self.assertTrue(ex.Create(t), t)
        ok, local = M.Wy_LocalPath()
        self.assertEqual(1, ok)
        ctl = XBASE32.Wdbase()
        self.assertEqual(1, ctl.SetFiles(local, "DATACTL", ["CTLID", "CTLPATH"],
                                         ["DATAID", "PATH"]))
        self.assertEqual(1, ctl.CreateDb(CATALOGUE_FIELDS))
        self.assertEqual(1, ctl.Open())
        self.assertEqual(1, ctl.AppendBlank())
        ctl.WriteString("DATAID", "%10d" % DATA_ID)
        ctl.WriteString("PATH", DATA_DIR.upper())
        ctl.WriteString("DESCR", "Py set")
        self.assertEqual(1, ctl.Close())

        ts = M.CMixtable()
        ts.SetDataId(DATA_ID)
        self.assertEqual(DATA_DIR.upper(), ts.GetDataDir())

        def append(table, **values):
            h = ts.Handle(table)
            if not h.IsOpen(0):
                self.assertEqual(1, ts.Open(h), table)
            self.assertEqual(1, h.AppendBlank())
            for k, v in values.items():
                if isinstance(v, str):
                    self.assertEqual(1, h.WriteString(k, v), k)
                else:
                    self.assertEqual(1, h.WriteDouble(k, float(v)), k)

        append(M.Y_PARAM, KEY="DATAID", VALUE="%010d" % DATA_ID)
        for i in (1, 2, 3):
            append(M.Y_CNTS, ID=ident(i), CODE="C%d" % i,
                   DESCR="Colorant %d" % i, SPEC_W=1.0)
        append(M.Y_BASES, ID=ident(1), CODE="W", DESCR="White base",
               FILL_Q=0.9, FILL_W=1.1, SPEC_W=1.3)
        append(M.Y_CANS, ID=ident(1), DESCR="1 L", NOM_Q=1000,
               CAN_WEIGHT="F", H_MIN=5, H_MAX=9)
        append(M.Y_CANS, ID=ident(2), DESCR="4 L", NOM_Q=4000,
               CAN_WEIGHT="F", H_MIN=3, H_MAX=8)
        append(M.Y_FRM, ID=ident(5), KEY1="RAL", KEY2="9010",
               COMMENT="Pure white", BASE_ID=ident(1), CAN_ID=ident(1),
               FORMULA="1,10.5,2,3")
        ts.CloseAll()
        return ts

    def open_count(self, name):
        """How many descriptors of this process are open on a file name."""
        n = 0
        for fd in os.listdir("/proc/self/fd"):
            try:
                target = os.readlink(os.path.join("/proc/self/fd", fd))
            except OSError:
                continue
            if os.path.basename(target).upper() == name.upper():
                n += 1
        return n


class PresenceTest(unittest.TestCase):
    def test_every_class_and_member(self):
        for cls, members in PRESENCE:
            self.assertTrue(hasattr(M, cls), cls)
            c = getattr(M, cls)
            c()  # default constructor
            for m in members:
                self.assertTrue(hasattr(c, m), cls + "." + m)

    def test_bases(self):
        self.assertTrue(issubclass(M.Wy_BaseAndCan, M.Wy_Base))
        self.assertTrue(issubclass(M.Wy_BaseAndCan, M.Wy_Can))
        self.assertTrue(issubclass(M.Wy_Formula, M.HFormula))

    def test_enumerations(self):
        for value, name in enumerate(WYSPEC):
            self.assertEqual(value, int(getattr(M.WYSPEC, name)), name)
            self.assertEqual(value, getattr(M, name), name)
        self.assertEqual(37, len(M.WYSPEC.values))
        for name, value in SOURCES:
            self.assertEqual(value, int(getattr(M.HF_DATASOURCE_TYPE, name)))
            self.assertEqual(value, getattr(M, name))
        self.assertEqual(len(SOURCES), len(M.HF_DATASOURCE_TYPE.values))

    def test_functions_and_docstring(self):
        for f in FUNCTIONS:
            self.assertTrue(callable(getattr(M, f, None)), f)
        for word in ("ANSI", "tuple", "ValueError", "TypeError",
                     "OverflowError", "threads"):
            self.assertIn(word, M.__doc__)

    def test_xbase32_comes_first(self):
        self.assertIn("XBASE32", sys.modules)
        expect = os.environ.get("MIXTABLE_EXPECT_DIR")
        if expect:  # the installed modules, not those of the build tree
            self.assertTrue(M.__file__.startswith(expect), M.__file__)
            self.assertTrue(XBASE32.__file__.startswith(expect))


class RecordsTest(DrivesCase):
    def check_members(self, obj, values):
        for name, value in values.items():
            setattr(obj, name, value)
        for name, value in values.items():
            self.assertEqual(value, getattr(obj, name), name)

    def test_data_members(self):
        self.check_members(M.Wy_Can(), dict(
            CanId=7, Nom_Q=946.353, H_min=2, H_max=9, CanDescr="Dose é",
            CanWeight=1))
        self.check_members(M.Wy_Base(), dict(
            BasId=3, BaseCode="W", BaseDescr="Blanc", Spec_W=1.25,
            Fill_Q=0.9, Fill_W=1.1, Fill_QC=0.5, Fill_WC=0.6,
            BaseWeightMode=1, BaseFrmId=3, BaseFrm="1,2",
            BaseIsDispensable=0))
        bc = M.Wy_BaseAndCan()
        self.check_members(bc, dict(BasId=1, CanId=2, CanDescr="x",
                                    BaseDescr="y"))
        bc.Clear()
        self.assertEqual((0, 0, "", ""),
                         (bc.BasId, bc.CanId, bc.CanDescr, bc.BaseDescr))
        u = M.Wy_Units()
        self.check_members(u, dict(m_sName="ml", m_dUnit=2.0,
                                   m_dFraction=3.0, m_dFraction2=4.0,
                                   m_bWeightMode=1))
        u.Clear()  # numbers back to their defaults, the name kept
        self.assertEqual(("ml", 1.0, 0), (u.m_sName, u.m_dUnit,
                                           u.m_bWeightMode))
        shop = M.Wy_ShopData()
        texts = {n: n.lower() + " ü" for n in (
            "m_Shop1", "m_Shop2", "m_Shop3", "m_UserId", "m_UserName",
            "m_PcId", "m_CustomKey1", "m_CustomKey2", "m_CustomKey3",
            "m_CustomComment")}
        texts["m_Nprog"] = 12
        self.check_members(shop, texts)
        shop.Clear()
        self.assertEqual(("", 0), (shop.m_Shop1, shop.m_Nprog))
        d = M.Wy_DispenserData()
        self.check_members(d, dict(m_DispenserDescr="D1", m_DispenserId=4))
        v = M.Wy_Frm()
        self.check_members(v, dict(m_SlaveId=2, m_CanWeight0=1,
                                   m_Nom_Q0=1000.0))

    def test_yformula(self):
        f = M.yformula()
        self.assertEqual(1, f.set("3,1"))
        self.assertEqual(1, f.add(5, "0.25"))
        self.assertEqual("3,1,5,0.25", f.get())
        f.set("1,2,3")
        self.assertEqual(-1, f.count())
        self.assertEqual((-1, (), ()), f.parse())
        f.set("1,10,2,0")
        self.assertEqual(1, f.resize(1000, 500, 7, 0))
        self.assertEqual("1,5", f.get())
        f.set("4,1.5,9,2")
        self.assertEqual((2, (4, 9), (1.5, 2.0)), f.parse())
        self.assertEqual((1, (4,), (1.5,)), f.parse(1))
        self.assertEqual((2, (4, 9), (1.5, 2.0)), f.parse(10 ** 9))
        self.assertEqual((0, (), ()), f.parse(-3))

    def test_wy_frm_text_is_the_vectors(self):
        v = M.Wy_Frm()
        self.assertTrue(v.IsEmpty())
        v.m_Frm.set("1,2")
        self.assertFalse(v.IsEmpty())
        text = v.m_Frm
        del v
        gc.collect()
        self.assertEqual("1,2", text.get())  # the reference keeps it
        u = M.Wy_Units()
        u.m_dUnit = 2.5
        w = M.Wy_Frm()
        w.SetUnits(u)
        self.assertEqual(2.5, w.GetUnits().m_dUnit)

    def test_substrate(self):
        s = M.Wy_Substrate()
        self.assertFalse(s.SetCustomBackColor("c", [0.5] * 16))  # no id yet
        self.assertTrue(s.SetID(3))
        self.assertFalse(s.SetCustomBackColor("c", [-0.5] + [0.5] * 15))
        self.assertFalse(s.HasCustomColor())
        self.assertTrue(s.SetCustomBackColor("grey", range(16)))
        has, name, refl = s.GetCustomBackColor()
        self.assertEqual((True, "grey"), (has, name))
        self.assertEqual(tuple(float(i) for i in range(16)), refl)
        with self.assertRaises(ValueError):
            s.SetCustomBackColor("c", [0.5] * 15)
        s.ResetCustomBackColor()
        self.assertFalse(s.HasCustomColor())
        s.Clear()
        self.assertEqual(0, s.GetID())

    def test_mask_and_fill(self):
        m = M.CWymask()
        self.assertEqual(0, m.GetLen())
        self.assertEqual(1, m.Inspect(12345))
        m.SetNullFlag(1)
        self.assertEqual(1, m.GetNullFlag())
        bc = M.Wy_BaseAndCan()
        bc.Fill_Q = 900
        bc.Nom_Q = 1000
        bc.Spec_W = 1.5
        self.assertFalse(bc.HasCustomQuantities())
        self.assertEqual((1, 900.0, 1.35), bc.GetCurrentFillQuantity())

    def test_formula_members(self):
        f = M.Wy_Formula()
        f.SetX02((1, 2, 3), [0.5] * 16)
        self.assertEqual((1, (1.0, 2.0, 3.0), (0.5,) * 16), f.GetX02())
        f.SetX10([4, 5, 6], tuple(range(16)))
        self.assertEqual((4.0, 5.0, 6.0), f.GetX10()[1])
        for bad in ((1, 2), (1, 2, 3, 4)):
            with self.assertRaises(ValueError):
                f.SetX02(bad, [0] * 16)
        with self.assertRaises(ValueError):
            f.SetX10((1, 2, 3), [0] * 17)
        with self.assertRaises(TypeError):
            f.SetX02("abc", [0] * 16)
        self.assertEqual((-10, -10, -10), f.GetShlPos())
        self.assertEqual(-1, f.GetPnc())
        f.SetFormulaSource(8)
        self.assertEqual(8, f.GetFormulaSource())
        self.assertIsInstance(f.GetFormulaSource(), M.HF_DATASOURCE_TYPE)
        f.SetFormulaSource(M.HF_SOURCE_REMOTE)
        self.assertIs(M.HF_SOURCE_REMOTE, f.GetFormulaSource())
        with self.assertRaises(OverflowError):
            f.SetFormulaSource(16)
        f.SetRemoteSource("srv")
        self.assertEqual("srv", f.GetRemoteSource())
        f.SetBaseLinkedFlag(5)
        self.assertEqual(1, f.GeBaseLinkedFlag())
        self.assertEqual(1, f.SetFrm("1,2", 1000, "RAL|1||c|", 4))
        self.assertEqual((4, "RAL|1||c|"), f.GetClr())
        self.assertEqual((1, "RAL", "1", "", "c"), f.ClrTok())
        f.SetUnit(1, 2.0, 3.0, 1.0)
        u = M.Wy_Units()
        self.assertEqual(1, f.UpdateUnits(u, 0))
        self.assertEqual((2.0, 3.0, 1), (u.m_dUnit, u.m_dFraction,
                                         u.m_bWeightMode))
        shop = M.Wy_ShopData()
        shop.m_Shop1 = "Shop"
        shop.m_Nprog = 7
        self.assertEqual(1, f.UpdateShopData(shop, 1))
        back = M.Wy_ShopData()
        self.assertEqual(1, f.UpdateShopData(back, 0))
        self.assertEqual(("Shop", 7), (back.m_Shop1, back.m_Nprog))
        self.assertEqual((0, ""), f.GetLog())
        self.assertEqual("", f.GetCnt())
        f.Empty()
        self.assertEqual((0, ""), f.GetClr())

    def test_numbers_out_of_range(self):
        f = M.HFormula()
        for call in (lambda: f.SetSub(2 ** 31), lambda: f.SetDataId(-1, ""),
                     lambda: f.SetDataId(2 ** 32, ""),
                     lambda: M.CMixtable().Handle(2 ** 40),
                     lambda: M.CMixtable().CloseAll(256),
                     lambda: setattr(M.Wy_Can(), "CanId", 2 ** 31),
                     lambda: M.yformula().add(1, 1.0, 2 ** 31, 0)):
            with self.assertRaises(OverflowError):
                call()


class HandleTest(DrivesCase):
    def test_handles(self):
        ts = self.build_data_set()
        h = ts.Handle(M.Y_CNTS)
        self.assertIs(type(h), XBASE32.Wdbase)
        self.assertIsNone(ts.Handle(M.Y_N_MAX))
        self.assertIsNone(ts.Handle(-1))
        self.assertEqual(1, ts.Open(h))
        self.assertEqual(2, ts.GetCurLevel(h))  # the data-set root
        self.assertEqual(1, ts.Select(h, 2))
        self.assertEqual("C2", h.ReadString("CODE", 0, 1))
        self.assertEqual(4, ts.GetNextFreeId(h))
        self.assertEqual(1.0, ts.SpecificWeight(3))
        self.assertEqual(4000, ts.CanSize(2))
        self.assertEqual(4000.0, ts.DblCanSize(2))
        self.assertEqual(1, ts.SingleProduct())
        r, state = ts.TmpOpen(h)
        self.assertEqual(1, r)
        self.assertEqual(1, ts.TmpClose(h, state))
        # Foreign tables: free-standing or of another set, refused.
        other = M.CMixtable()
        for foreign in (XBASE32.Wdbase(), other.Handle(M.Y_CNTS)):
            self.assertEqual(0, ts.Open(foreign))
            self.assertEqual(0, ts.Select(foreign, 1))
            self.assertEqual(0, ts.First(foreign))
            self.assertEqual(0, ts.Next(foreign))
            self.assertEqual(0, ts.GetNextFreeId(foreign))
            self.assertEqual(0, ts.GetCurLevel(foreign))
            self.assertEqual(0, ts.GetLevelMask(foreign))
            self.assertEqual(0, ts.TmpOpen(foreign)[0])
            self.assertEqual(0, ts.TmpClose(foreign, 0))
        with self.assertRaises(TypeError):
            ts.Open(None)

        # The handle keeps its table set (and its open table) alive.
        self.assertEqual(1, self.open_count("CNTS.DBF"))
        alive = weakref.ref(ts)
        del ts
        gc.collect()
        self.assertIsNotNone(alive())
        self.assertEqual(3, h.RecCount())
        self.assertEqual(1, h.Top())
        self.assertEqual("C1", h.ReadString("CODE", 0, 1))
        del h
        gc.collect()
        self.assertIsNone(alive())
        self.assertEqual(0, self.open_count("CNTS.DBF"))

    def test_walk_and_ex_as_table_set(self):
        ts = self.build_data_set()
        cnts = ts.Handle(M.Y_CNTS)
        self.assertEqual(1, ts.Open(cnts))
        ids = []
        ok = ts.First(cnts)
        while ok:
            ids.append(cnts.ReadLong("ID"))
            ok = ts.Next(cnts)
        self.assertEqual([1, 2, 3], ids)
        # A formula record read through the handle, by the text, the
        # vector and the formula.
        frm = ts.Handle(M.Y_FRM)
        self.assertEqual(1, ts.Open(frm))
        self.assertEqual(1, ts.Select(frm, 5))
        y = M.yformula()
        self.assertEqual(1, y.read(frm))
        self.assertEqual("1,10.5,2,3", y.get())
        v = M.Wy_Frm()
        self.assertEqual(1, v.read(ts, M.Y_FRM))
        self.assertEqual(("1,10.5,2,3", 1000.0), (v.m_Frm.get(), v.m_Nom_Q0))
        self.assertEqual(1000, ts.FrmCanSize())
        f = M.HFormula()
        self.assertEqual(1, f.Frieze(ts))
        self.assertEqual(5, f.GetClr()[0])
        ts.CloseAll()
        self.assertEqual(0, cnts.IsOpen(0))
        self.assertEqual(1, f.Defrieze(ts))
        self.assertEqual(5, frm.ReadLong("ID"))
        ts.CloseAll()
        self.assertEqual((1, 1.0, 1.0, 1.0, 0, ""), ts.UnitAndFraction())
        ex = M.CMixtableEx()
        self.assertTrue(ex.AlignTable(DATA_DIR, 0, 0))
        self.assertEqual(DATA_ID, ex.GetParamGdataId(False))
        self.assertEqual((True, 0, 0), ex.GetLevelIDs())
        self.assertTrue(ex.Exist(M.Y_CNTS))
        self.assertFalse(ex.Exist(M.Y_RULER))
        self.assertEqual(2, ex.GetTableLevel())
        self.assertEqual("", ex.GetGdataDescr())
        self.assertTrue(ex.CreateDictionaryItem(M.Y_CNTS))
        # A CMixtableEx stands for its table set.
        f = M.yformula()
        f.set("1,10")
        self.assertEqual(1, f.to_weight(ex, 1.0, 3, 0))
        self.assertEqual("1,0.01", f.get())
        self.assertEqual(1, f.to_volume(ts, 1.0, 3, 0))
        self.assertEqual("1,10", f.get())
        c = M.Wy_Can()
        self.assertEqual(1, c.Set(2, ex))
        self.assertEqual(("4 L", 4000.0), (c.CanDescr, c.Nom_Q))


class OverloadTest(DrivesCase):
    def test_both_forms(self):
        ts = self.build_data_set()
        f = M.Wy_Formula()
        f.SetDataId(7, "seven")
        self.assertEqual((7, "seven"), f.GetDataId())
        self.assertEqual(1, f.SetDataId(ts, "mine"))
        self.assertEqual((DATA_ID, "mine"), f.GetDataId())
        self.assertEqual(1, f.SetPrd("P", "S", 3, 4))
        self.assertEqual((3, "P"), f.GetPrd())
        self.assertEqual((4, "S"), f.GetSpd())
        self.assertEqual(0, f.SetPrd(ts, 1, 1))  # no such product
        f.SetSub(5)
        self.assertEqual(5, f.GetSub())
        s = M.Wy_Substrate()
        s.SetID(9)
        f.SetSub(s)
        into = M.Wy_Substrate()
        self.assertIsNone(f.GetSub(into))
        self.assertEqual(9, into.GetID())
        self.assertEqual(1, f.SetCan(ts, 2))
        self.assertEqual(1, f.SetCan("custom", 500.0, 0))
        y = M.yformula()
        y.add(1, "2")
        y.add(3, 0.126, 2, 0)
        self.assertEqual("1,2,3,0.13", y.get())
        ts.CloseAll()
        mask = M.CWymask()
        self.assertEqual(0, mask.Fill("BA", ts.Handle(M.Y_MASK)))  # closed
        self.assertEqual(1, mask.Fill("BA", ts))  # no MASK: every base
        self.assertEqual(1, mask.GetLen())
        ts.CloseAll(2)
        ex = M.CMixtableEx()
        self.assertTrue(ex.AlignTable(DATA_DIR, 0, 0))
        self.assertTrue(ex.AlignTable(ts))

    def test_calls_matching_no_form(self):
        f = M.HFormula()
        bad = [lambda: f.SetPrd(1), lambda: f.SetPrd(None, 1, 2),
               lambda: f.SetSub("x"), lambda: f.SetDataId(None, "x"),
               lambda: f.GetSub(1), lambda: M.yformula().add(1),
               lambda: M.yformula().add("x", "1"),
               lambda: M.CWymask().Fill("BA", None),
               lambda: M.CMixtableEx().AlignTable(None),
               lambda: M.CMixtableEx().AlignTable(None, 1, 2),
               lambda: M.Wy_Can().Set(1, None),
               lambda: M.Wy_BaseAndCan().Set(1, 1, None),
               lambda: M.Wy_Frm().read(None, 1),
               lambda: M.CMixtable().CloseAll(1.5)]
        for call in bad:
            with self.assertRaises(TypeError) as e:
                call()
        self.assertIn("did not match C++ signature", str(e.exception))


class FlowTest(DrivesCase):
    def test_whole_flow(self):
        self.build_data_set()
        with open(self.host("f.txt"), "w") as out:
            out.write("@GDT #%d\n@CLR #5\n@CAN #2\n" % DATA_ID)
        f = M.Wy_Formula()
        self.assertEqual(1, f.ReadPy("c:\\f.txt"))
        self.assertEqual((DATA_ID, "Py set"), f.GetDataId())
        self.assertEqual((5, "RAL|9010||Pure white|"), f.GetClr())
        self.assertEqual((1, "RAL", "9010", "", "Pure white"), f.ClrTok())
        status = f.StatusEx(0)
        self.assertEqual(0, status & 0x1C7, hex(status))  # base, can, colour,
        # pairs, quantities and text are all there
        bc = M.Wy_BaseAndCan()
        self.assertEqual(1, f.GetBaseAndCan(bc))
        self.assertEqual((1, "White base", 2, "4 L", 4000.0),
                         (bc.BasId, bc.BaseDescr, bc.CanId, bc.CanDescr,
                          bc.Nom_Q))
        v = M.Wy_Frm()
        self.assertEqual((1, "RAL|9010||Pure white|"), f.GetYFrm(v))
        self.assertEqual(("1,10.5,2,3", 1000.0), (v.m_Frm.get(), v.m_Nom_Q0))
        r = M.Wy_Frm()
        self.assertEqual(1, f.GetResizedFrm(r))
        self.assertEqual((2, (1, 2), (42.0, 12.0)), r.m_Frm.parse())
        self.assertEqual(1, f.WritePy("c:\\out.txt"))
        with open(self.host("out.txt")) as back:
            text = back.read()
        self.assertIn('"1,10.5,2,3"', text)
        self.assertIn("@CAN   #2", text)
        self.assertEqual(0, f.ReadPy("c:\\missing.txt"))

        # The history: checked (created), then written.
        self.assertEqual(1, M.hformula_CheckUpdateHistory(False, None, 0, 1))
        shop = M.Wy_ShopData()
        shop.m_Shop1 = "Shop"
        self.assertEqual(1, M.hformula_SaveInHistory(f, shop, None))
        self.assertEqual(1, M.hformula_SaveInHistory(f, None,
                                                     M.Wy_DispenserData()))
        hist = XBASE32.Wdbase()
        self.assertEqual(1, hist.SetFiles("c:\\local\\", "history"))
        self.assertEqual(1, hist.Open())
        self.assertEqual(2, hist.RecCount())
        self.assertEqual(1, hist.Top())
        self.assertEqual("5", hist.ReadString("CLRID", 1, 1))
        self.assertEqual("1,10.5,2,3", hist.ReadString("FRM", 1, 1))
        self.assertEqual("2", hist.ReadString("CANID", 1, 1))
        self.assertEqual(1, hist.Close())

        # The archive: checked and created, then the formula saved in it.
        ts = M.CMixtable()
        ts.SetDataId(DATA_ID)
        self.assertEqual(1, M.hformula_CheckUpdateArchive(ts, False, 0, 1))
        self.assertEqual(1, f.SaveInArchive(ts))
        self.assertEqual(1, M.hformula_SaveInArchive(f, ts, 0))
        arch = ts.Handle(M.Y_ARCHIVE)
        self.assertEqual(1, ts.Open(arch))
        self.assertEqual(2, arch.RecCount())
        ts.CloseAll()
        self.assertEqual(1, M.hformula_CheckUpdateArchive(None, False, 0, 0))


# Calls that reach the library with bad input; each line runs in one child
# interpreter and must raise or answer, never crash it.
RISKY = r"""
import os, MIXTABLE as M, XBASE32
ts = M.CMixtable(); f = M.Wy_Formula(); y = M.yformula(); ex = M.CMixtableEx()
def expect(call, *errors):
    try:
        call()
    except errors:
        return
    except Exception as e:
        raise SystemExit("unexpected %r" % e)
calls = [
    lambda: f.ReadPy("c:\\no\\such\\file.txt"),
    lambda: f.WritePy("c:\\no\\such\\dir\\out.txt"),
    lambda: f.ReadPy(b"\xff\xfe\x00"[:2]),
    lambda: f.WritePy(b"c:\\\xe9t\xe9.txt", b"\xff\xff"),
    lambda: y.set(b"\xff\x00\x01"),
    lambda: y.parse(10 ** 6), lambda: y.parse(-1),
    lambda: y.resize(0, -1, 99, 1), lambda: y.resize(1e308, 1e-308, -5, 0),
    lambda: y.add(-1, "1" * 100), lambda: y.add(2 ** 31 - 1, 1e308, 40, 1),
    lambda: y.read(ts.Handle(M.Y_FRM), None),
    lambda: y.read(XBASE32.Wdbase(), XBASE32.Wdbase()),
    lambda: M.Wy_Frm().read(ts, 99), lambda: M.Wy_Frm().read(ts, -1),
    lambda: M.Wy_Frm().resize(M.Wy_BaseAndCan()),
    lambda: ts.Handle(36), lambda: ts.Handle(-2 ** 31),
    lambda: ts.TmpClose(ts.Handle(M.Y_CNTS), 2 ** 32 - 1),
    lambda: ts.Select(ts.Handle(M.Y_CNTS), -5),
    lambda: ts.First(ts.Handle(M.Y_CNTS)),
    lambda: ts.CanSize(-1), lambda: ts.FrmCanSize(),
    lambda: ts.SpecificWeight(2 ** 31 - 1),
    lambda: ts.Frieze(), lambda: ts.Defrieze(), lambda: ts.GetHtmlDir(),
    lambda: ts.SetDataId(2 ** 32 - 1), lambda: ts.SetYtoGCSpaces(),
    lambda: ts.CreateColorKeyDb(), lambda: ts.UnitAndFraction(),
    lambda: ex.Create(99), lambda: ex.Delete(-1), lambda: ex.Exist(36),
    lambda: ex.CreateDictionaryItem(10 ** 6), lambda: ex.SetDataDir(""),
    lambda: ex.AlignTable("c:\\nothing\\", 5, 6), lambda: ex.GetLevelIDs(),
    lambda: M.CWymask().Fill("", ts), lambda: M.CWymask().Fill("B", ts),
    lambda: M.CWymask().Fill("BA", XBASE32.Wdbase()),
    lambda: M.Wy_Can().Set(-1, ts), lambda: M.Wy_Base().Set(0, ts),
    lambda: M.Wy_BaseAndCan().Set(-1, -1, ts),
    lambda: M.Wy_Base().SetAsManualBase(None, None),
    lambda: f.SetClr(None, 5), lambda: f.SetClr(ts, -1),
    lambda: f.StatusEx(-1), lambda: f.StatusEx(2, ts),
    lambda: f.Frieze(ts), lambda: f.Defrieze(ts),
    lambda: f.GetBaseYFrm(M.Wy_Frm()), lambda: f.GetResizedCnx(M.Wy_Frm()),
    lambda: f.SetYFrm(M.Wy_Frm(), None, -1),
    lambda: M.hformula_SaveInHistory(f, None, None),
    lambda: M.hformula_SaveInArchive(f, ts, -1),
    lambda: M.hformula_CheckUpdateHistory(True, "c:\\no\\dir\\", 1, 0),
]
for call in calls:
    expect(call, TypeError, ValueError, OverflowError)
for call, errors in [
        (lambda: f.SetX02(None, None), TypeError),
        (lambda: f.SetX02([1] * 3, [1] * 1000), ValueError),
        (lambda: f.SetX02([1, "a", 3], [1] * 16), TypeError),
        (lambda: M.Wy_Substrate().SetCustomBackColor(None, []), ValueError),
        (lambda: f.ReadPy(None), TypeError), (lambda: f.ReadPy(3), TypeError),
        (lambda: f.SetPrd(None, None, None), TypeError),
        (lambda: f.SetFormulaSource(-1), OverflowError),
        (lambda: f.SetFormulaSource("1"), TypeError),
        (lambda: y.parse(2 ** 40), OverflowError),
        (lambda: M.hformula_SaveInHistory(None, None, None), TypeError),
        (lambda: M.hformula_SaveInArchive(f, None), TypeError),
        (lambda: M.hformula_SaveInHistory(f, 3, None), TypeError),
        (lambda: M.hformula_SaveInHistory(f, None, M.Wy_ShopData()),
         TypeError),
        (lambda: ex.SetDataDir(None), TypeError),
        (lambda: ts.Open(ts), TypeError),
        (lambda: M.Wy_Frm().resize(None), TypeError)]:
    try:
        call()
    except errors:
        continue
    raise SystemExit("no %s from a risky call" % errors.__name__)
print("survived")
"""


class RiskyTest(DrivesCase):
    def test_bad_input_never_crashes(self):
        os.makedirs(self.host("local"), exist_ok=True)
        env = dict(os.environ)
        env["PYTHONPATH"] = os.pathsep.join(
            os.path.dirname(m.__file__) for m in (M, XBASE32))
        child = subprocess.run([sys.executable, "-B", "-c", RISKY], env=env,
                               capture_output=True, text=True, timeout=120,
                               cwd=self.root)
        self.assertEqual(0, child.returncode, child.stderr)
        self.assertIn("survived", child.stdout)


if __name__ == "__main__":
    unittest.main(verbosity=2)
