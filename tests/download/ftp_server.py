# Loopback FTP server for the engine's tests: serves the folder given as the
# first argument, anonymous (read only) and as user "user" with password
# "secret" (read and write), and prints its port on the first line of
# standard output. A second argument "no-pasv" makes it refuse passive mode.
import sys

from pyftpdlib.authorizers import DummyAuthorizer
from pyftpdlib.handlers import FTPHandler
from pyftpdlib.servers import FTPServer


class NoPassiveHandler(FTPHandler):
    def ftp_PASV(self, line):
        self.respond("502 Passive mode refused.")

    def ftp_EPSV(self, line):
        self.respond("502 Passive mode refused.")


authorizer = DummyAuthorizer()
authorizer.add_anonymous(sys.argv[1])
authorizer.add_user("user", "secret", sys.argv[1], perm="elradfmwMT")
handler = NoPassiveHandler if sys.argv[2:] == ["no-pasv"] else FTPHandler
handler.authorizer = authorizer
handler.passive_ports = None
server = FTPServer(("127.0.0.1", 0), handler)
server.max_cons = 64
print(server.address[1], flush=True)
server.serve_forever()
