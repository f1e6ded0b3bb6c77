#!/usr/bin/env python3
"""Time from starting lumorafm-cli to its first request arriving, median of
N runs: a listener on loopback stands in for the track interface and notes
when the connection comes in. Usage: first_request.py CLI [runs]"""
import socket, statistics, subprocess, sys, time

cli, runs = sys.argv[1], int(sys.argv[2]) if len(sys.argv) > 2 else 21
listener = socket.socket()
listener.bind(("127.0.0.1", 0))
listener.listen(16)
port = listener.getsockname()[1]
times = []
for _ in range(runs):
    began = time.monotonic()
    child = subprocess.Popen([cli, "--mobile-base", f"http://127.0.0.1:{port}", "tracks", "1"],
                             stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    conn, _ = listener.accept()
    times.append((time.monotonic() - began) * 1000)
    conn.close()  # no answer: the listing fails and the program ends
    child.wait()
print(f"start to first request: median {statistics.median(times):.1f} ms, "
      f"min {min(times):.1f} ms, max {max(times):.1f} ms over {runs} runs")
