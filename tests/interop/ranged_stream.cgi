#!/usr/bin/python3
# Streams a file of the document root the way a script does. The whole file
# comes with its Content-Length (the size a download learns first); a range
# ("bytes=N-", under a matching If-Range) comes as a 206 without one, so the
# web server sends that body chunked. The ETag is made from the file's time
# and size.
import os
import sys

path = os.environ["DOCUMENT_ROOT"] + os.environ.get("PATH_INFO", "")
st = os.stat(path)
size = st.st_size
etag = '"%x-%x"' % (int(st.st_mtime), size)
asked = os.environ.get("HTTP_RANGE", "")
ranged = asked.startswith("bytes=") and asked.endswith("-") and \
    os.environ.get("HTTP_IF_RANGE", etag) == etag
start = int(asked[6:-1]) if ranged else 0
out = sys.stdout.buffer
if start >= size > 0:
    out.write(b"Status: 416 Range Not Satisfiable\r\nContent-Range: bytes */%d\r\n\r\n" % size)
    sys.exit(0)
head = "Content-Type: application/octet-stream\r\nETag: %s\r\n" % etag
if not ranged:
    head += "Content-Length: %d\r\n" % size
else:
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
