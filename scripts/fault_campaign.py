#!/usr/bin/env python3
"""Puts one-line faults into the code one at a time, rebuilds the given
tree, runs the tests of the fault's label and tells which were caught; each
file is put back as it was, whatever happens (also on Ctrl+C or SIGTERM).
Each label is run once before any fault: a label that is red already would
count every fault as caught, so the run stops there.

usage: scripts/fault_campaign.py BUILD_DIR [N ...]   (N: only those faults)
BUILD_DIR is a plain Debug tree with the window modules (the app and e2e
faults need them), configured once with:
  cmake -S . -B build/debug -G Ninja -DCMAKE_BUILD_TYPE=Debug -DLUMORA_BENCH=OFF
A fault whose line is no longer in the code stops the run: mend the table.
"""
import os, signal, subprocess, sys
ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
B = os.path.abspath(sys.argv[1]) if len(sys.argv) > 1 else os.path.join(ROOT, "build/debug")
FAULTS = [
  ("content-length fields that differ are believed", "src/download/answer_head.cpp",
   "a.length_bad = f.lengths_differ || (f.seen[kContentLength] && a.content_length < 0);",
   "a.length_bad = (f.seen[kContentLength] && a.content_length < 0);", "download"),
  ("credentials sent to another origin after a redirect", "src/download/http_transfer.cpp",
   "if (!task.has_user || !same_origin(task, request)) return std::nullopt;",
   "if (!task.has_user) return std::nullopt;", "download"),
  ("a trickle counts as progress", "src/download/task.cpp",
   "if (stored - stall_mark_ >= kStallFloor || stored < stall_mark_) {",
   "if (stored - stall_mark_ > 0 || stored < stall_mark_) {", "download"),
  ("an uncreatable name numbered like a busy one", "src/download/task_file.cpp",
   "    if (t == WorkingFile::Take::kFailed) {",
   "    if (false && t == WorkingFile::Take::kFailed) {", "download"),
  ("the certificate's host name never checked", "src/download/tls_client.cpp",
   "return SSL_set_tlsext_host_name(ssl, host.c_str()) == 1 && SSL_set1_host(ssl, host.c_str()) == 1;",
   "return SSL_set_tlsext_host_name(ssl, host.c_str()) == 1;", "download"),
  ("a remainder of one piece split", "src/download/segment_plan.cpp",
   "if (largest && segments_[*largest].unclaimed() >= 2 * min_piece_) return largest;",
   "if (largest && segments_[*largest].unclaimed() >= min_piece_) return largest;", "download"),
  ("a connect tries only the first address", "src/download/socket.cpp",
   "  for (addrinfo* ai = list.get(); ai; ai = ai->ai_next, --untried) {",
   "  for (addrinfo* ai = list.get(); ai; ai = nullptr, --untried) {", "download"),
  ("side files opened through a planted link", "src/cli/safe_open.cpp",
   "fd = ::open(path.c_str(), flags | O_NOFOLLOW | O_CLOEXEC, mode);",
   "fd = ::open(path.c_str(), flags | O_CLOEXEC, mode);", "cli"),
  ("a signal's exit status not its own", "src/cli/interrupt.cpp",
   "return reason > 0 ? 128 + reason : 1;", "return reason > 0 ? 130 : 1;", "cli"),
  ("a write error leaves the exit status as it was", "src/cli/standard_output.cpp",
   "  return code > 1 ? code : 1;\n}", "  return code;\n}", "cli"),
  ("the walk's files fetched over one connection", "src/road/walk_task.cpp",
   "param.connections = 10;", "param.connections = 1;", "e2e"),
  ("a slow source's stall told as a silent one", "src/road/track_fetch.cpp",
   "if (trouble.empty()) return \"less than 1 KiB in \" + window;",
   "if (trouble.empty()) return \"no answer for \" + window;", "road"),
  ("the Main window off the screen's left edge when the pair cannot fit", "src/app/window_placement.cpp",
   "return {screen.left() + std::max(0, spare_width / 2),",
   "return {screen.left() + spare_width / 2,", "app"),
]
def build():
    return subprocess.run(["ninja", "-C", B], capture_output=True, text=True)

def run_label(label):
    t = subprocess.run(["ctest", "-j2", "-L", label, "--timeout", "300"], cwd=B,
                       capture_output=True, text=True)
    return t.returncode, [l.strip() for l in t.stdout.splitlines() if "***" in l or "(Failed)" in l]

def interrupted(signum, frame):
    raise KeyboardInterrupt(f"signal {signum}")

# SIGTERM and SIGHUP end the run as Ctrl+C does, through the finally below.
signal.signal(signal.SIGTERM, interrupted)
signal.signal(signal.SIGHUP, interrupted)

def campaign(chosen):
    b = build()
    if b.returncode:
        sys.exit(f"the tree does not build as it stands:\n{b.stdout[-2000:]}")
    for label in dict.fromkeys(f[4] for _, f in chosen):
        code, failed = run_label(label)
        if code:
            sys.exit(f"label {label} fails without any fault, so it can catch none: {failed}")
    caught = 0
    for i, (what, path, old, new, label) in chosen:
        p = f"{ROOT}/{path}"
        text = open(p).read()
        assert text.count(old) == 1, (what, path)
        try:
            open(p, "w").write(text.replace(old, new))
            b = build()
            if b.returncode:
                print(f"{i:2} BUILD FAILED {what}\n{b.stdout[-2000:]}", flush=True); continue
            code, failed = run_label(label)
            caught += code != 0
            print(f"{i:2} {'CAUGHT ' if code else 'MISSED '} {what}: {failed}", flush=True)
        finally:
            # A second Ctrl+C waits until the file is whole again.
            stops = {signal.SIGINT, signal.SIGTERM, signal.SIGHUP}
            signal.pthread_sigmask(signal.SIG_BLOCK, stops)
            open(p, "w").write(text)
            signal.pthread_sigmask(signal.SIG_UNBLOCK, stops)
    print(f"caught {caught} of {len(chosen)}", flush=True)
    build()

only = set(int(a) for a in sys.argv[2:])
try:
    campaign([(i, f) for i, f in enumerate(FAULTS, 1) if not only or i in only])
except KeyboardInterrupt:
    sys.exit("interrupted: every file is as it was; the tree rebuilds them at its next build")
