# Loopback FTP server for the engine's tests: serves the folder given as the
# first argument, anonymous (read only) and as user "user" with password
# "secret" (read and write), and prints its port on the first line of
# standard output. Options after the folder:
#   no-pasv            refuse passive mode
#   pasv-elsewhere     PASV replies name 127.0.0.2, where a decoy listens on
#                      the same port and sends junk
#   rate=PATH          send at most N bytes a second on each data channel
#                      opened while PATH holds the number N
#   sent=PATH          append "MONOTONIC_NS REST BYTES" to PATH for each RETR
#                      once its data channel closes (REST: where it started)
#   no-rest-while=PATH refuse REST while PATH exists
#   host=ADDRESS       listen there (default 127.0.0.1; "::1" for IPv6)
#   no-epsv            refuse extended passive mode only
#   commands=PATH      append each command's name to PATH as it arrives
import os
import socket
import sys
import threading
import time

from pyftpdlib.authorizers import DummyAuthorizer
from pyftpdlib.handlers import FTPHandler, ThrottledDTPHandler
from pyftpdlib.servers import FTPServer

options = dict(o.partition("=")[::2] for o in sys.argv[2:])


def decoy(port):
    """Answers one connection to 127.0.0.2:port with junk."""
    listener = socket.socket()
    try:
        listener.bind(("127.0.0.2", port))
    except OSError:
        listener.close()
        return
    listener.listen(1)

    def serve():
        listener.settimeout(10)
        try:
            peer, _ = listener.accept()
            peer.sendall(b"decoy!" * 400000)
            peer.close()
        except OSError:
            pass
        listener.close()

    threading.Thread(target=serve, daemon=True).start()


class Handler(FTPHandler):
    def ftp_PASV(self, line):
        if "no-pasv" in options:
            self.respond("502 Passive mode refused.")
        else:
            super().ftp_PASV(line)

    def ftp_EPSV(self, line):
        if "no-pasv" in options or "pasv-elsewhere" in options or "no-epsv" in options:
            self.respond("502 Extended passive mode refused.")
        else:
            super().ftp_EPSV(line)

    def pre_process_command(self, line, cmd, arg):
        path = options.get("commands")
        if path:
            with open(path, "a") as out:
                out.write(cmd + "\n")
        super().pre_process_command(line, cmd, arg)

    def ftp_REST(self, line):
        flag = options.get("no-rest-while")
        if flag and os.path.exists(flag):
            self.respond("502 REST refused.")
        else:
            super().ftp_REST(line)

    def ftp_RETR(self, file):
        self.retr_at = (time.monotonic_ns(), self._restart_position)
        return super().ftp_RETR(file)

    def respond(self, resp, logfun=None):
        if "pasv-elsewhere" in options and resp.startswith("227"):
            numbers = resp[resp.index("(") + 1:resp.index(")")].split(",")
            decoy(int(numbers[4]) * 256 + int(numbers[5]))
        if logfun is None:
            super().respond(resp)
        else:
            super().respond(resp, logfun)


def rate():
    try:
        with open(options["rate"]) as f:
            return int(f.read())
    except (KeyError, OSError, ValueError):
        return 0


class DataHandler(ThrottledDTPHandler):
    def __init__(self, sock, cmd_channel):
        self.write_limit = rate()
        super().__init__(sock, cmd_channel)

    def close(self):
        path = options.get("sent")
        retr = getattr(self.cmd_channel, "retr_at", None)
        if path and retr and not self._closed and self.tot_bytes_sent:
            with open(path, "a") as out:
                out.write("%d %d %d\n" % (retr[0], retr[1], self.tot_bytes_sent))
        super().close()


authorizer = DummyAuthorizer()
authorizer.add_anonymous(sys.argv[1])
authorizer.add_user("user", "secret", sys.argv[1], perm="elradfmwMT")
Handler.authorizer = authorizer
Handler.passive_ports = None
if "pasv-elsewhere" in options:
    Handler.masquerade_address = "127.0.0.2"
# Only throttled channels go through the throttling handler; the others keep
# the plain one (and its sendfile) unless a log of what was sent is wanted.
if "rate" in options or "sent" in options:
    Handler.dtp_handler = DataHandler
server = FTPServer((options.get("host", "127.0.0.1"), 0), Handler)
server.max_cons = 64
print(server.address[1], flush=True)
server.serve_forever()
