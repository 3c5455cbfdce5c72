#!/usr/bin/python3
"""An FTP peer for one upload that takes the data slowly but steadily.

Prints "port N" once it listens on 127.0.0.1, serves one session (USER,
PASS, TYPE I, PORT, STOR), reads the data connection about 25 KB a second
through a small receive buffer, so the sender's socket stays full, answers
"226" at the end, prints the number of bytes received and ends.

With the argument "stall" it never reads the data connection at all and
waits for the client to give up and close the control connection.
"""
import socket
import sys
import time


def main():
    stall = len(sys.argv) > 1 and sys.argv[1] == "stall"
    listener = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
    listener.bind(("127.0.0.1", 0))
    listener.listen(1)
    listener.settimeout(60)
    print("port %d" % listener.getsockname()[1], flush=True)
    control, _ = listener.accept()
    control.settimeout(60)
    reader = control.makefile("rb")
    control.sendall(b"220 slow peer\r\n")
    target = None
    received = 0
    while True:
        line = reader.readline()
        if not line:
            break
        verb = line.split(b" ", 1)[0].strip().upper()
        if verb == b"USER":
            control.sendall(b"331 password please\r\n")
        elif verb == b"PASS":
            control.sendall(b"230 logged in\r\n")
        elif verb == b"TYPE":
            control.sendall(b"200 binary\r\n")
        elif verb == b"PORT":
            n = line.split(b" ", 1)[1].strip().split(b",")
            target = (".".join(x.decode() for x in n[:4]), int(n[4]) * 256 + int(n[5]))
            control.sendall(b"200 port ok\r\n")
        elif verb == b"STOR":
            data = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
            data.setsockopt(socket.SOL_SOCKET, socket.SO_RCVBUF, 4096)
            data.settimeout(60)
            data.connect(target)
            control.sendall(b"150 go ahead\r\n")
            if stall:
                while control.recv(1024):
                    pass
                data.close()
                break
            while True:
                chunk = data.recv(1024)
                if not chunk:
                    break
                received += len(chunk)
                time.sleep(0.04)
            data.close()
            control.sendall(b"226 done\r\n")
        elif verb == b"QUIT":
            control.sendall(b"221 bye\r\n")
            break
        else:
            control.sendall(b"500 unknown\r\n")
        if verb == b"STOR":
            break
    print(received, flush=True)


if __name__ == "__main__":
    sys.exit(main())
