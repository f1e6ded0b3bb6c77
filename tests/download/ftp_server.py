# Loopback FTP server for the engine's tests: serves the folder given as the
# first argument, anonymous and as user "user" with password "secret", and
# prints its port on the first line of standard output.
import sys

from pyftpdlib.authorizers import DummyAuthorizer
from pyftpdlib.handlers import FTPHandler
from pyftpdlib.servers import FTPServer

authorizer = DummyAuthorizer()
authorizer.add_anonymous(sys.argv[1])
authorizer.add_user("user", "secret", sys.argv[1])
handler = FTPHandler
handler.authorizer = authorizer
handler.passive_ports = None
server = FTPServer(("127.0.0.1", 0), handler)
server.max_cons = 64
print(server.address[1], flush=True)
server.serve_forever()
