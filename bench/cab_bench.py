#!/usr/bin/env python3
"""Cabinet extraction benchmark: cabtool against cabextract and gcab on the same cabinets, side by side.

A 64 MiB set of mixed files (text, executables, random bytes, zero runs) is packed three ways:
gcab -z (MSZIP, every block on its own), the test kit's writer (MSZIP with the 32 KiB history
carried from block to block, as cabinet makers write it) and gcab without -z (stored). Each tool
extracts each cabinet several times; the table shows the median wall time, MB/s of extracted data
and the largest peak RSS (/usr/bin/time -f %M). For the stored cabinet a plain copy of the same
files is the reference; zlib's inflate alone over the gcab -z blocks shows the decoder's bound.

bench/cab_bench.py [--build DIR] [--mib N] [--runs N] [--work DIR]
Without --build a Release tree is configured and built in /work/build-cab-bench.
"""
import argparse
import os
import random
import shutil
import statistics
import struct
import subprocess
import sys
import tempfile
import time
import zlib

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))


def build_tools(build):
    if not os.path.exists(os.path.join(build, "build.ninja")):
        subprocess.run(["cmake", "-S", ROOT, "-B", build, "-G", "Ninja", "-DVRO_WITH_WIN32=OFF",
                        "-DCMAKE_BUILD_TYPE=Release"], check=True, stdout=subprocess.DEVNULL)
    subprocess.run(["cmake", "--build", build, "-j2", "--target", "cabtool", "cabkit_pack"], check=True,
                   stdout=subprocess.DEVNULL)
    return os.path.join(build, "tools/cabtool/cabtool"), os.path.join(build, "tests/kit/cabkit_pack")


def make_sources(folder, total):
    """Writes about `total` bytes of mixed content into folder as 16 files; returns their paths."""
    rng = random.Random(1234)
    words = ("wheel mouse driver setup install cabinet folder block scroll window message registry "
             "value the of and to in is for with on that this be by are from at as").split()
    executables = []
    for d in ("/usr/bin", "/usr/lib/x86_64-linux-gnu"):
        if os.path.isdir(d):
            for name in sorted(os.listdir(d)):
                p = os.path.join(d, name)
                if os.path.isfile(p) and not os.path.islink(p) and os.path.getsize(p) > 20000:
                    executables.append(p)
    each = total // 16
    paths = []

    def text(n):
        out = []
        size = 0
        while size < n:
            line = " ".join(rng.choice(words) for _ in range(rng.randint(4, 14))) + "\n"
            out.append(line)
            size += len(line)
        return "".join(out).encode()[:n]

    def binary(n):
        out = bytearray()
        for p in executables:
            with open(p, "rb") as f:
                out += f.read(n - len(out))
            if len(out) >= n:
                break
        while len(out) < n:
            out += os.urandom(min(65536, n - len(out)))
        return bytes(out[:n])

    def sparse(n):
        out = bytearray(n)
        for at in range(0, n, 4096):
            if rng.random() < 0.3:
                out[at:at + 512] = os.urandom(min(512, n - at))
        return bytes(out)

    kinds = [("text", text)] * 6 + [("bin", binary)] * 6 + [("rand", lambda n: os.urandom(n))] * 2 + \
        [("sparse", sparse)] * 2
    for i, (kind, make) in enumerate(kinds):
        p = os.path.join(folder, "%02d_%s.dat" % (i, kind))
        with open(p, "wb") as f:
            f.write(make(each))
        paths.append(p)
    return paths


def run_timed(command, cwd=None):
    """One run: wall seconds and peak RSS in KiB."""
    with tempfile.NamedTemporaryFile() as t:
        start = time.perf_counter()
        subprocess.run(["/usr/bin/time", "-f", "%M", "-o", t.name] + command, cwd=cwd, check=True,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        seconds = time.perf_counter() - start
        return seconds, int(open(t.name).read().split()[-1])


def measure(command, out, runs, cwd=None):
    times = []
    peak = 0
    for _ in range(runs):
        shutil.rmtree(out, ignore_errors=True)
        os.makedirs(out)
        s, m = run_timed(command, cwd=cwd if cwd else None)
        times.append(s)
        peak = max(peak, m)
    return statistics.median(times), peak


def same_files(sources, out):
    for p in sources:
        q = os.path.join(out, os.path.basename(p))
        if not os.path.exists(q) or open(p, "rb").read() != open(q, "rb").read():
            return False
    return True


def cabinet_blocks(path):
    """The compressed blocks of the first folder of a cabinet without reserves."""
    data = open(path, "rb").read()
    offset, count = struct.unpack_from("<IH", data, 36)
    blocks = []
    at = offset
    for _ in range(count):
        size = struct.unpack_from("<H", data, at + 4)[0]
        blocks.append(data[at + 8:at + 8 + size])
        at += 8 + size
    return blocks


def zlib_inflate_seconds(blocks, runs):
    times = []
    for _ in range(runs):
        start = time.perf_counter()
        for b in blocks:
            zlib.decompressobj(-15).decompress(b[2:])
        times.append(time.perf_counter() - start)
    return statistics.median(times)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--build")
    parser.add_argument("--mib", type=int, default=64)
    parser.add_argument("--runs", type=int, default=5)
    parser.add_argument("--work")
    args = parser.parse_args()
    for tool in ("gcab", "cabextract"):
        if not shutil.which(tool):
            sys.exit("missing %s" % tool)
    cabtool, pack = build_tools(args.build or "/work/build-cab-bench")

    os.makedirs(args.work, exist_ok=True)
    work = tempfile.mkdtemp(prefix="cabbench-", dir=args.work)
    try:
        src = os.path.join(work, "src")
        os.makedirs(src)
        total = args.mib * 1024 * 1024
        sources = make_sources(src, total)
        names = [os.path.basename(p) for p in sources]
        total = sum(os.path.getsize(p) for p in sources)
        cabs = {
            "MSZIP, gcab -z": os.path.join(work, "gcab_z.cab"),
            "MSZIP, chained history (test kit)": os.path.join(work, "chained.cab"),
            "stored, gcab": os.path.join(work, "stored.cab"),
        }
        subprocess.run(["gcab", "-c", "-z", "-n", cabs["MSZIP, gcab -z"]] + names, cwd=src, check=True)
        subprocess.run([pack, cabs["MSZIP, chained history (test kit)"]] + sources, check=True)
        subprocess.run(["gcab", "-c", "-n", cabs["stored, gcab"]] + names, cwd=src, check=True)

        out = os.path.join(work, "out")
        rows = []
        for label, cab in cabs.items():
            tools = [
                ("cabtool extract", [cabtool, "extract", cab, out], None),
                ("cabextract", ["cabextract", "-q", "-d", out, cab], None),
                ("gcab -x", ["gcab", "-x", "-C", out, cab], None),
            ]
            if label.startswith("stored"):
                # cp copies inside the kernel; dd moves the bytes through user memory as extractors do.
                tools.append(("plain copy (cp)", ["cp"] + sources + [out], None))
                dd = " && ".join("dd if=%s of=%s/%s bs=32768 status=none" % (p, out, os.path.basename(p))
                                 for p in sources)
                tools.append(("plain copy (dd bs=32K)", ["sh", "-c", dd], None))
            results = {}
            for name, command, cwd in tools:
                try:
                    seconds, peak = measure(command, out, args.runs, cwd)
                except subprocess.CalledProcessError:
                    rows.append((label, name, None, None, "failed"))
                    continue
                ok = same_files(sources, out)
                results[name] = seconds
                rows.append((label, name, seconds, peak, "" if ok else "WRONG BYTES"))
            if label.startswith("MSZIP, gcab"):
                seconds = zlib_inflate_seconds(cabinet_blocks(cab), args.runs)
                rows.append((label, "zlib inflate alone (same blocks)", seconds, None, "in-process, no I/O"))
            rows.append((label, None, results, None, None))

        print("Cabinet extraction: %.1f MiB in %d files, median of %d runs, work folder %s" %
              (total / 1048576, len(sources), args.runs, work))
        print("%-36s %-34s %9s %9s %12s  %s" % ("cabinet", "extractor", "median s", "MB/s", "peak KiB", "note"))
        for label, name, seconds, peak, note in rows:
            if name is None:
                r = seconds
                ours = r.get("cabtool extract")
                notes = []
                for peer in ("cabextract", "gcab -x", "plain copy (cp)", "plain copy (dd bs=32K)"):
                    if ours and r.get(peer):
                        notes.append("%.2fx the time of %s" % (ours / r[peer], peer))
                if notes:
                    print("%-36s %-34s %s" % ("", "-> cabtool takes", "; ".join(notes)))
                continue
            if seconds is None:
                print("%-36s %-34s %9s %9s %12s  %s" % (label, name, "-", "-", "-", note))
                continue
            print("%-36s %-34s %9.3f %9.1f %12s  %s" % (label, name, seconds, total / seconds / 1e6,
                                                         peak if peak is not None else "-", note))
    finally:
        shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    main()
