#!/usr/bin/python3
"""The MIXTABLE module against the library: walks 100 000 FRM records
through a handle (Next and two field reads each) and resolves 1 000 formula
files from Python, then runs the same loops in C++ (mixtable_python_bench)
on the same data set and prints both.

    bench/mixtable_python_bench.py [BUILD_DIR]     (default: build)

It sets PYTHONPATH to the build tree's modules and works in a temporary
drives root, removed at the end.
"""

import os
import shutil
import subprocess
import sys
import tempfile
import time

RECORDS = 100_000
FORMULAS = 1_000
DATA_ID = 4242

build = os.path.abspath(sys.argv[1] if len(sys.argv) > 1 else "build")
if "MIXTABLE_BENCH_CHILD" not in os.environ:
    root = tempfile.mkdtemp(prefix="mixtable-bench-")
    env = dict(os.environ, KALVO_DRIVES=root, MIXTABLE_BENCH_CHILD="1",
               PYTHONPATH=os.pathsep.join(
                   [os.path.join(build, "xbase32", "python"),
                    os.path.join(build, "mixtable", "exchange", "python")]))
    env.pop("LOCALDIR", None)
    try:
        rc = subprocess.call([sys.executable, "-B", __file__, build], env=env)
        if rc == 0:
            subprocess.call([os.path.join(build, "bench",
                                          "mixtable_python_bench")], env=env)
    finally:
        shutil.rmtree(root, ignore_errors=True)
    sys.exit(rc)

import MIXTABLE as M  # noqa: E402
import XBASE32  # noqa: E402

os.makedirs(os.path.join(os.environ["KALVO_DRIVES"], "c"), exist_ok=True)
ex = M.CMixtableEx()
ex.SetDataDir("c:\\kdata\\")
for t in (M.Y_PRODUCTS, M.Y_CNTS, M.Y_BASES, M.Y_CANS, M.Y_FRM, M.Y_PARAM):
    assert ex.Create(t), t
ctl = XBASE32.Wdbase()
ctl.SetFiles(M.Wy_LocalPath()[1], "DATACTL", ["CTLID", "CTLPATH"],
             ["DATAID", "PATH"])
ctl.CreateDb([("DATAID", "C", 10, 0, 0), ("PATH", "C", 80, 0, 0),
              ("DESCR", "C", 32, 0, 0), ("ABS_DATAID", "C", 10, 0, 0)])
ctl.Open()
ctl.AppendBlank()
ctl.WriteString("DATAID", "%10d" % DATA_ID)
ctl.WriteString("PATH", "C:\\KDATA\\")
ctl.Close()

ts = M.CMixtable()
ts.SetDataId(DATA_ID)
XBASE32.Wdbase.FlushSet(0)


def fill(table, rows):
    h = ts.Handle(table)
    assert ts.Open(h) == 1
    for row in rows:
        h.AppendBlank()
        for k, v in row.items():
            if isinstance(v, str):
                h.WriteString(k, v)
            else:
                h.WriteDouble(k, float(v))
    h.Close()


fill(M.Y_PARAM, [dict(KEY="DATAID", VALUE="%010d" % DATA_ID)])
fill(M.Y_CNTS, [dict(ID="%5d" % i, CODE="C%d" % i, SPEC_W=1.0)
                for i in (1, 2, 3)])
fill(M.Y_BASES, [dict(ID="%5d" % 1, DESCR="White", FILL_Q=0.9, FILL_W=1.1)])
fill(M.Y_CANS, [dict(ID="%5d" % 2, DESCR="4 L", NOM_Q=4000)])
fill(M.Y_FRM, (dict(ID="%5d" % (i % 99999 + 1), KEY1="K%d" % i, BASE_ID="%5d" % 1,
                    CAN_ID="%5d" % 2, FORMULA="1,10.5,2,3")
               for i in range(RECORDS)))
XBASE32.Wdbase.FlushSet(1)
with open(os.path.join(os.environ["KALVO_DRIVES"], "c", "f.txt"), "w") as f:
    f.write("@GDT #%d\n@CLR #5\n@CAN #2\n" % DATA_ID)

h = ts.Handle(M.Y_FRM)
assert ts.Open(h) == 1
start, cpu = time.perf_counter(), time.process_time()
n = 0
h.Top()
while not h.Eof():
    h.ReadLong("ID")
    h.ReadString("FORMULA")
    h.Next()
    n += 1
walk, walk_cpu = time.perf_counter() - start, time.process_time() - cpu
assert n == RECORDS, n
ts.CloseAll()

start, cpu = time.perf_counter(), time.process_time()
for _ in range(FORMULAS):
    formula = M.HFormula()
    assert formula.ReadPy("c:\\f.txt") == 1
assert formula.GetClr()[0] == 5
resolve, resolve_cpu = time.perf_counter() - start, time.process_time() - cpu

# Wall and CPU time, as Google Benchmark prints them for the C++ loops.
print("Python: walk of %d FRM records %.1f ms wall, %.1f ms CPU "
      "(%.2f us CPU per record)"
      % (n, walk * 1e3, walk_cpu * 1e3, walk_cpu * 1e6 / n))
print("Python: %d formulas resolved %.1f ms wall, %.1f ms CPU "
      "(%.1f us CPU per formula)"
      % (FORMULAS, resolve * 1e3, resolve_cpu * 1e3,
         resolve_cpu * 1e6 / FORMULAS))
sys.stdout.flush()
