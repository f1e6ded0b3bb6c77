#!/usr/bin/python3
# Streams a file of the document root the way a script does: no
# Content-Length (apache would drop it anyway), so the web server sends the
# body chunked. A range ("bytes=N-", under a matching If-Range) comes as a
# 206.
import email.utils
import os
import sys

path = os.environ["DOCUMENT_ROOT"] + os.environ.get("PATH_INFO", "")
st = os.stat(path)
size = st.st_size
# The validators apache gives the same file served statically.
etag = '"%x-%x"' % (size, st.st_mtime_ns // 1000)
modified = email.utils.formatdate(int(st.st_mtime), usegmt=True)
asked = os.environ.get("HTTP_RANGE", "")
ranged = asked.startswith("bytes=") and asked.endswith("-") and \
    os.environ.get("HTTP_IF_RANGE", etag) == etag
start = int(asked[6:-1]) if ranged else 0
out = sys.stdout.buffer
if start >= size > 0:
    out.write(b"Status: 416 Range Not Satisfiable\r\nContent-Range: bytes */%d\r\n\r\n" % size)
    sys.exit(0)
head = "Content-Type: application/octet-stream\r\nETag: %s\r\nLast-Modified: %s\r\n" % (
    etag, modified)
if ranged:
    head = "Status: 206 Partial Content\r\nContent-Range: bytes %d-%d/%d\r\n" % (
        start, size - 1, size) + head
out.write(head.encode() + b"\r\n")
with open(path, "rb") as f:
    f.seek(start)
    while True:
        block = f.read(65536)
        if not block:
            break
        out.write(block)
