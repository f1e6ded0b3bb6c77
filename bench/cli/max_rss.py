#!/usr/bin/env python3
"""Runs a command and prints its exit code and its maximum resident size.
Usage: max_rss.py COMMAND [ARGS...]"""
import resource, subprocess, sys

code = subprocess.call(sys.argv[1:], stdout=subprocess.DEVNULL)
rss_kib = resource.getrusage(resource.RUSAGE_CHILDREN).ru_maxrss
print(f"exit {code}, max RSS {rss_kib / 1024:.1f} MiB")
