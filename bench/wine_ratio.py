#!/usr/bin/env python3
"""The silent add of the Windows build under Wine against the native program on this host.

    wine_ratio.py NATIVE_PROGRAM BUILD_FOLDER [--mb N]

Both programs add the add-on to the same three generated packages, each in its own copy. A
run's start-up is measured apart (a run that only prints the usage) and taken off, so that the
ratio compares the work itself. The 32-bit build (BUILD_FOLDER/build-win32) is measured when
Wine can run 32-bit programs here, otherwise the 64-bit one; the output says which. Prints
figures only and exits 0 when something it needs is missing.
"""
import argparse
import os
import shutil
import subprocess
import sys
import tempfile
import time

HERE = os.path.dirname(os.path.abspath(__file__))
TOP = os.path.dirname(HERE)
sys.path.insert(0, os.path.join(TOP, "tests", "support"))
from host_check import registry  # noqa: E402

PRODUCT = "Software\\Bench\\Host LT\\R20.1\\HOSTLT-9001:405"
WINE32, WINE64, WINESERVER = "/usr/lib/wine/wine", "/usr/lib/wine/wine64", "/usr/lib/wine/wineserver"
# The two programs take turns, so that a slow spell of this machine falls on both.
ROUNDS = 11


def wine_env(prefix):
    env = dict(os.environ, WINEPREFIX=prefix, WINEDEBUG="-all", WINEDLLOVERRIDES="mscoree,mshtml=")
    env.pop("NORVEX_EXPRESS_REGISTRY", None)
    return env


def runs(loader):
    try:
        return subprocess.run([loader, "--version"], capture_output=True).returncode == 0
    except OSError:  # the kernel cannot start the loader at all
        return False


def make_packages(folder, megabytes):
    originals = []
    for i in range(3):
        path = os.path.join(folder, "original%d.cuix" % (i + 1))
        subprocess.run([sys.executable, os.path.join(TOP, "tests", "fixtures", "cuix_fixture.py"),
                        "large", path, "--mb", str(megabytes), "--seed", str(7 + i)], check=True)
        originals.append(path)
    return originals


def timed(command, env):
    start = time.perf_counter()
    # No pipes: Wine's own services outlive the program and would hold them open.
    code = subprocess.run(command, env=env, stdout=subprocess.DEVNULL,
                          stderr=subprocess.DEVNULL).returncode
    return time.perf_counter() - start, code


def one_round(command, env, originals, works):
    """One silent add on fresh copies, and one run that prints the usage only."""
    for original, work in zip(originals, works):
        shutil.copyfile(original, work)
        if os.path.exists(work + ".norvex-express.bak"):
            os.remove(work + ".norvex-express.bak")
    add, code = timed(command + ["-i"], env)
    if code != 0:
        raise RuntimeError("%s -i exited %d" % (command[-1], code))
    usage, _ = timed(command + ["--help"], env)
    return add, usage


def median(values):
    ordered = sorted(values)
    middle = len(ordered) // 2
    return ordered[middle] if len(ordered) % 2 else (ordered[middle - 1] + ordered[middle]) / 2


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("native")
    parser.add_argument("build_folder")
    parser.add_argument("--mb", type=int, default=4)
    args = parser.parse_args()
    win32 = os.path.join(args.build_folder, "build-win32", "NorvexExpress.exe")
    win64 = os.path.join(args.build_folder, "build-win64", "NorvexExpress.exe")
    if not os.path.exists(WINE64) or not os.path.exists(args.native):
        print("wine ratio: skipped (needs Wine and the native program)")
        return 0
    if os.path.exists(win32) and runs(WINE32):
        exe, loader, note = win32, WINE32, "the 32-bit build"
    elif os.path.exists(win64):
        exe, loader = win64, WINE64
        note = "the 64-bit build (this host cannot run 32-bit programs under Wine%s)" % (
            "" if os.path.exists(win32) else ", and there is no 32-bit build")
    else:
        print("wine ratio: skipped (no Windows build; scripts/build win32 or win64)")
        return 0

    prefix = os.path.join(args.build_folder, "build-bench", "wine-prefix")
    env = wine_env(prefix)
    if not os.path.exists(os.path.join(prefix, ".ready")):
        subprocess.run([WINE64, "wineboot", "-i"], env=env, capture_output=True)
        subprocess.run([WINESERVER, "-w"], env=env)
        open(os.path.join(prefix, ".ready"), "w").close()
    folder = tempfile.mkdtemp(prefix="nvx_wine_ratio_")
    drive = os.path.join(prefix, "drive_c", "nvx_bench")
    try:
        originals = make_packages(folder, args.mb)
        os.makedirs(drive, exist_ok=True)
        native_works = [os.path.join(folder, "native%d.cuix" % (i + 1)) for i in range(3)]
        wine_works = [os.path.join(drive, "p%d.cuix" % (i + 1)) for i in range(3)]

        native_reg = os.path.join(folder, "native.reg")
        with open(native_reg, "w", encoding="utf-8") as f:
            f.write(registry(PRODUCT, folder, [("P%d" % (i + 1), p) for i, p in
                                               enumerate(native_works)]))
        native_env = dict(os.environ, NORVEX_EXPRESS_REGISTRY=native_reg)

        text = registry(PRODUCT, "C:\\nvx_bench", [("P%d" % (i + 1), "C:\\nvx_bench\\p%d.cuix" % (i + 1))
                                                    for i in range(3)])
        reg = os.path.join(prefix, "bench.reg")
        with open(reg, "wb") as f:
            f.write(b"\xff\xfe" + text.encode("utf-16-le"))
        subprocess.run([WINE64, "reg", "import", reg], env=env, capture_output=True)
        subprocess.run([WINESERVER, "-w"], env=env)
        # One server for every run, as on a desktop where Wine already runs.
        subprocess.run([WINESERVER, "-p"], env=env)
        one_round([loader, exe], env, originals, wine_works)  # Wine's first start fills caches
        native, under_wine = [], []
        for _ in range(ROUNDS):
            native.append(one_round([args.native], native_env, originals, native_works))
            under_wine.append(one_round([loader, exe], env, originals, wine_works))
    finally:
        subprocess.run([WINESERVER, "-k"], env=env, capture_output=True)
        shutil.rmtree(folder, ignore_errors=True)
        shutil.rmtree(drive, ignore_errors=True)

    def work(rounds):
        return min(add for add, _ in rounds) - min(usage for _, usage in rounds)

    native_work, wine_work = work(native), work(under_wine)
    # Each round's own ratio, start-ups taken off; their median does not hang on one lucky run.
    per_round = [(w[0] - w[1]) / (n[0] - n[1]) for n, w in zip(native, under_wine)
                 if n[0] > n[1]]
    print("measured under Wine: %s, %d rounds taking turns" % (note, ROUNDS))
    for name, rounds, spent in (("native", native, native_work), ("Wine:  ", under_wine, wine_work)):
        print("%s silent add %.0f ms, start-up %.0f ms (shortest of each), work %.0f ms"
              % (name, min(a for a, _ in rounds) * 1e3, min(u for _, u in rounds) * 1e3,
                 spent * 1e3))
    print("ratio of the shortest works (Wine / native): %.2f"
          % (wine_work / native_work if native_work > 0 else float("nan")))
    print("ratio, median of the rounds: %.2f (goal <= 1.3)"
          % (median(per_round) if per_round else float("nan")))
    return 0


if __name__ == "__main__":
    sys.exit(main())
