#!/usr/bin/python3
"""A throwaway FTP server for the upload tests and the benchmark.

Usage: ftp_server.py PORT FOLDER USER PASSWORD
Listens on 127.0.0.1 (PORT 0 picks a free port), prints "port N" once it
listens, and serves FOLDER with write rights for USER until killed or until
its standard input closes.
"""
import logging
import os
import sys
import threading

from pyftpdlib.authorizers import DummyAuthorizer
from pyftpdlib.handlers import FTPHandler
from pyftpdlib.servers import FTPServer


def main():
    port, folder, user, password = sys.argv[1], sys.argv[2], sys.argv[3], sys.argv[4]
    logging.getLogger("pyftpdlib").addHandler(logging.NullHandler())
    logging.getLogger("pyftpdlib").setLevel(logging.ERROR)
    logging.getLogger("pyftpdlib").propagate = False

    authorizer = DummyAuthorizer()
    authorizer.add_user(user, password, folder, perm="elradfmwMT")
    handler = FTPHandler
    handler.authorizer = authorizer
    handler.auth_failed_timeout = 0  # answer a wrong password at once

    server = FTPServer(("127.0.0.1", int(port)), handler)
    print("port %d" % server.socket.getsockname()[1], flush=True)

    # The parent may die without killing us: end with its pipe.
    def watch_stdin():
        sys.stdin.read()
        os._exit(0)

    threading.Thread(target=watch_stdin, daemon=True).start()
    server.serve_forever(handle_exit=True)


if __name__ == "__main__":
    main()
