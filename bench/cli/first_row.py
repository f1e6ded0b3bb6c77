#!/usr/bin/env python3
"""Time from starting `lumorafm-cli tracks ALBUM` to its first row on
standard output, against the time from starting curl on the listing's
first page address to the first byte of that answer: both started as
processes, both against the same server, median of N runs each,
interleaved. Usage: first_row.py CLI MOBILE_BASE ALBUM [runs]"""
import statistics, subprocess, sys, time

cli, mobile, album = sys.argv[1], sys.argv[2], sys.argv[3]
runs = int(sys.argv[4]) if len(sys.argv) > 4 else 31
first_page = (f"{mobile}/mobile/v1/album/track/ts-1534855383505?albumId={album}&device=android"
              "&isAsc=true&isQueryInvitationBrand=true&pageId=1&pageSize=20&pre_page=0")
programs = {
    "lumorafm-cli": [cli, "--mobile-base", mobile, "tracks", album],
    "curl": ["curl", "-s", first_page],
}


def first_output(args):
    began = time.monotonic()
    child = subprocess.Popen(args, stdout=subprocess.PIPE, stderr=subprocess.DEVNULL)
    child.stdout.read(1)
    elapsed = (time.monotonic() - began) * 1000
    child.stdout.read()
    child.wait()
    return elapsed


times = {name: [] for name in programs}
for _ in range(runs):
    for name, args in programs.items():
        times[name].append(first_output(args))
medians = {name: statistics.median(t) for name, t in times.items()}
for name, t in times.items():
    print(f"{name}: first output after {medians[name]:.1f} ms (median of {runs}; "
          f"min {min(t):.1f}, max {max(t):.1f})")
print(f"ratio {medians['lumorafm-cli'] / medians['curl']:.2f} (goal <= 1.5)")
