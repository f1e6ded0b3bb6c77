#!/usr/bin/python3
"""lumorafm-cli's bash completion in a real interactive bash on a
pseudo-terminal, so the words reach it split as the shell splits them
(COMP_WORDBREAKS breaks "https://h:443" and "--dir=PATH" apart).
Usage: completion_test.py COMPLETION_SCRIPT CLI_PROGRAM"""
import json, os, pty, select, shutil, sys, tempfile, time

script, cli = sys.argv[1], sys.argv[2]
work = tempfile.mkdtemp(prefix="lumora-completion-")
failures = []


def read_until(fd, marker, seconds=20):
    seen, deadline = b"", time.monotonic() + seconds
    while marker not in seen and time.monotonic() < deadline:
        ready, _, _ = select.select([fd], [], [], 0.05)
        if ready:
            try:
                seen += os.read(fd, 4096)
            except OSError:
                break
    return marker in seen


def main():
    os.makedirs(os.path.join(work, "albums"))
    os.makedirs(os.path.join(work, "another"))
    os.makedirs(os.path.join(work, "config", "lumorafm"))
    with open(os.path.join(work, "config", "lumorafm", "following.json"), "w") as f:
        json.dump({"albums": [{"id": "3700002", "dir": "/a"}, {"id": "3700005", "dir": "/b"}]}, f)
    bin_dir = os.path.join(work, "bin")
    os.makedirs(bin_dir)
    os.symlink(cli, os.path.join(bin_dir, "lumorafm-cli"))
    replies = os.path.join(work, "replies")
    env = dict(os.environ, PATH=bin_dir + ":" + os.environ.get("PATH", "/usr/bin:/bin"),
               XDG_CONFIG_HOME=os.path.join(work, "config"), HOME=work, TERM="dumb", PS1="$ ")
    pid, fd = pty.fork()
    if pid == 0:
        os.chdir(work)
        os.execvpe("bash", ["bash", "--norc", "--noprofile", "-i"], env)
    try:
        os.write(fd, (f"source {script}; _record() {{ _lumorafm_cli; "
                      f"printf '%s\\n' \"${{COMPREPLY[@]}}\" > {replies}; echo done >> {replies}; }}; "
                      f"complete -F _record lumorafm-cli; echo READY\n").encode())
        if not read_until(fd, b"READY\r\n"):
            sys.exit("bash did not start")
        d = work + "/"
        cases = [
            ("lumorafm-cli ", ["search", "tracks", "get", "follow", "unfollow", "following", "sync"]),
            ("lumorafm-cli --search-base https://127.0.0.1:443 se", ["search"]),
            ("lumorafm-cli --mobile-base http://[::1]:8080 get 1 --d", ["--dir"]),
            ("lumorafm-cli get 1 --dir=" + d + "al", [d + "albums/"]),
            ("lumorafm-cli get 1 --dir=", ["=albums/", "=another/", "=bin/", "=config/"]),
            ("lumorafm-cli get 1 --dir " + d + "an", [d + "another/"]),
            ("lumorafm-cli --mobile-base=http://h:80 unfollow ", ["3700002", "3700005"]),
            ("lumorafm-cli sync --", ["--jobs", "--playlist", "--notify", "--limit-rate", "--exec", "--quiet"]),
            ("lumorafm-cli --demo follow 3 --dir /x --no", ["--notify"]),
            ("lumorafm-cli get 1 --dir /x --limit-rate ", []),
            ("lumorafm-cli get 1 --exec=", []),
        ]
        for line, expected in cases:
            if os.path.exists(replies):
                os.remove(replies)
            os.write(fd, (line + "\t").encode())
            deadline = time.monotonic() + 20
            while time.monotonic() < deadline and not (
                    os.path.exists(replies) and open(replies).read().endswith("done\n")):
                read_until(fd, b"\x00", 0.05)
            got = [r for r in open(replies).read().split("\n")[:-2] if r] if os.path.exists(replies) else None
            if got is None or sorted(got) != sorted(expected):
                failures.append(f"{line!r}: expected {sorted(expected)}, got {got}")
            os.write(fd, b"\x15")  # clears the line
        os.write(fd, b"exit\n")
    finally:
        try:
            os.kill(pid, 9)
        except ProcessLookupError:
            pass
        os.waitpid(pid, 0)
        shutil.rmtree(work, ignore_errors=True)
    for f in failures:
        print("FAILED", f)
    print(f"{len(cases) - len(failures)} of {len(cases)} completions as expected")
    sys.exit(1 if failures else 0)


main()
