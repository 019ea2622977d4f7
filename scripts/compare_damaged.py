#!/usr/bin/env python3
"""Runs strip and rename of two builds of the tool on damaged copies of AFP
files and reports every copy on which they differ: output file, standard
output, standard error (the temporary names of the outputs made alike) and
exit code.

    scripts/compare_damaged.py OLD_PRESSEL NEW_PRESSEL FILE... [--copies N] [--seed S]

Each file gives N copies (default 200): cut short at a random length, or with
one to eight random bytes overwritten, or both. Prints "damaged: R runs, D
differ" last; exits 1 when some run differs.
"""
import argparse
import os
import random
import subprocess
import sys
import tempfile

COMMANDS = [
    ["strip", "{in}", "{out}", "PTX_NOP", "-q"],
    ["strip", "{in}", "{out}", "PTX_NOP", "PTX_TRN", "-q"],
    ["strip", "{in}", "{out}", "PTX_SCFL", "NOP", "-q"],
    ["strip", "{in}", "{out}", "T_FQN", "-q"],
    ["rename", "{in}", "{out}", "C0H20090=C0XXXXXX", "T1V10500=T1ZZZZZZ", "--allow-missing", "-q"],
    ["rename", "{in}", "{out}", "C0H20090=C0H20091"],
    ["rename", "{in}", "{out}", "T1V10500=A-LONGER-NAME", "--allow-missing"],
]


def damage(data: bytes, rng: random.Random) -> bytes:
    b = bytearray(data)
    kind = rng.randrange(3)
    if kind in (1, 2) and b:
        for _ in range(rng.randint(1, 8)):
            b[rng.randrange(len(b))] = rng.randrange(256)
    if kind in (0, 2) and b:
        del b[rng.randrange(len(b)):]
    return bytes(b)


def run(binary, args, tmp, tag):
    out = os.path.join(tmp, "out.afp")
    if os.path.exists(out):
        os.unlink(out)
    argv = [binary] + [a.format(**{"in": os.path.join(tmp, "in.afp"), "out": out}) for a in args]
    p = subprocess.run(argv, capture_output=True, timeout=60)
    written = open(out, "rb").read() if os.path.exists(out) else None
    err = p.stderr.replace(tmp.encode(), b"TMP")
    return p.returncode, p.stdout, err, written


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("old")
    ap.add_argument("new")
    ap.add_argument("files", nargs="+")
    ap.add_argument("--copies", type=int, default=200)
    ap.add_argument("--seed", type=int, default=1)
    a = ap.parse_args()
    rng = random.Random(a.seed)
    runs = differ = 0
    with tempfile.TemporaryDirectory() as tmp:
        for f in a.files:
            data = open(f, "rb").read()
            for k in range(a.copies):
                copy = damage(data, rng)
                with open(os.path.join(tmp, "in.afp"), "wb") as fh:
                    fh.write(copy)
                args = COMMANDS[k % len(COMMANDS)]
                r_old = run(a.old, args, tmp, "old")
                r_new = run(a.new, args, tmp, "new")
                runs += 1
                if r_old != r_new:
                    differ += 1
                    keep = os.path.join(tempfile.gettempdir(), "damaged_%d.afp" % differ)
                    with open(keep, "wb") as fh:
                        fh.write(copy)
                    print("DIFFER: %s copy %d (%s), kept as %s: exit %d vs %d" %
                          (os.path.basename(f), k, " ".join(args[3:]), keep, r_old[0], r_new[0]))
    print("damaged: %d runs, %d differ" % (runs, differ))
    return 1 if differ else 0


if __name__ == "__main__":
    sys.exit(main())
