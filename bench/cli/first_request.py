#!/usr/bin/env python3
"""Time from starting a program to its first request arriving, median of N
runs, for lumorafm-cli and, as the reference in the same run, curl: a
listener on loopback stands in for the track interface and notes when the
connection comes in. Usage: first_request.py CLI [runs]"""
import socket, statistics, subprocess, sys, time

cli, runs = sys.argv[1], int(sys.argv[2]) if len(sys.argv) > 2 else 21
listener = socket.socket()
listener.bind(("127.0.0.1", 0))
listener.listen(16)
base = f"http://127.0.0.1:{listener.getsockname()[1]}"
programs = {
    "lumorafm-cli": [cli, "--mobile-base", base, "tracks", "1"],
    "curl": ["curl", "-s", base + "/mobile/v1/album/track/ts-1534855383505?albumId=1"],
}
times = {name: [] for name in programs}
for _ in range(runs):
    for name, args in programs.items():
        began = time.monotonic()
        child = subprocess.Popen(args, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        conn, _ = listener.accept()
        times[name].append((time.monotonic() - began) * 1000)
        conn.close()  # no answer: the program gives up and ends
        child.wait()
for name, t in times.items():
    print(f"start to first request, {name}: median {statistics.median(t):.1f} ms, "
          f"min {min(t):.1f} ms, max {max(t):.1f} ms over {runs} runs")
