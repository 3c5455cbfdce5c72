#!/usr/bin/env python3
"""An HTTP camera for the network camera tests: MJPEG (multipart/x-mixed-replace)
or single JPEG snapshots, well-behaved or hostile on command.

    mjpeg_server.py --frames DIR [--port P] [--mode MODE] [--first K] [--count N]
                    [--user U --password P] [--stamps]

Modes:
  stream       frames K .. K+N-1 of DIR (sorted *.jpg) at 25 a second, then
               the connection stays open and silent (a stalled camera)
  silent       accepts and answers nothing at all
  snapshot     every GET answers with the next picture (image/jpeg)
  huge         a part announced and sent as 100 MB
  no-boundary  a part without length whose boundary never comes (100 MB)
  garbage      100 MB of random bytes after a multipart header
With a user, requests without the right Basic credentials get 401.
Prints "port N" once it listens, "connect" for every request, with --stamps
"sent K T" when picture K went out (T: CLOCK_MONOTONIC seconds) and, for the
100 MB modes, "sent N" with the bytes taken by a client that hung up; ends when
its standard input closes.
"""
import argparse
import base64
import glob
import itertools
import os
import sys
import threading
import time
from http.server import BaseHTTPRequestHandler, ThreadingHTTPServer

HUGE = 100 * 1024 * 1024
CHUNK = 64 * 1024
PART = b'--frame\r\nContent-Type: image/jpeg\r\n'
# What the hostile modes send after the reply's header, and then: zeros or
# random bytes.
HOSTILE = {
    'huge': (PART + b'Content-Length: %d\r\n\r\n\xff\xd8' % HUGE, False),
    'no-boundary': (PART + b'\r\n\xff\xd8', False),
    'garbage': (b'', True),
}


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument('--frames', required=True)
    parser.add_argument('--port', type=int, default=0)
    parser.add_argument('--mode', default='stream')
    parser.add_argument('--first', type=int, default=0)
    parser.add_argument('--count', type=int, default=1 << 30)
    parser.add_argument('--user')
    parser.add_argument('--password', default='')
    parser.add_argument('--stamps', action='store_true')
    args = parser.parse_args()

    frames = [open(p, 'rb').read() for p in sorted(glob.glob(os.path.join(args.frames, '*.jpg')))]
    snapshots = itertools.count()
    login = 'Basic ' + base64.b64encode(('%s:%s' % (args.user, args.password)).encode()).decode()

    class Handler(BaseHTTPRequestHandler):
        protocol_version = 'HTTP/1.0'

        def log_message(self, *_):
            pass

        def hold(self):
            while True:
                time.sleep(3600)

        def endless(self, first_bytes, random):
            # Says how much the client took before it hung up.
            sent = 0
            block = os.urandom(CHUNK) if random else b'\0' * CHUNK
            try:
                self.wfile.write(first_bytes)
                while sent < HUGE:
                    self.wfile.write(block)
                    sent += CHUNK
            except OSError:
                print('sent %d' % sent, flush=True)
                return
            self.hold()

        def reply(self, code, kind, length=None):
            self.send_response(code)
            self.send_header('Content-Type', kind)
            if code == 401:
                self.send_header('WWW-Authenticate', 'Basic realm="camera"')
            if length is not None:
                self.send_header('Content-Length', str(length))
            self.end_headers()

        def do_GET(self):
            print('connect', flush=True)
            if args.mode == 'silent':
                self.hold()
            if args.user and self.headers.get('Authorization') != login:
                return self.reply(401, 'text/plain', 0)
            if args.mode == 'snapshot':
                picture = frames[next(snapshots) % len(frames)]
                self.reply(200, 'image/jpeg', len(picture))
                return self.wfile.write(picture)
            self.reply(200, 'multipart/x-mixed-replace;boundary=frame')
            if args.mode in HOSTILE:
                return self.endless(*HOSTILE[args.mode])
            for number in range(args.first, min(args.first + args.count, len(frames))):
                self.wfile.write(PART + b'Content-Length: %d\r\n\r\n' % len(frames[number]))
                self.wfile.write(frames[number] + b'\r\n')
                self.wfile.flush()
                if args.stamps:
                    print('sent %d %.6f' % (number, time.monotonic()), flush=True)
                time.sleep(0.04)
            self.hold()

    class Server(ThreadingHTTPServer):
        daemon_threads = True
        allow_reuse_address = True

        def handle_error(self, request, client_address):
            pass  # a client that went away mid-answer is expected here

    server = Server(('127.0.0.1', args.port), Handler)
    print('port %d' % server.server_address[1], flush=True)
    threading.Thread(target=server.serve_forever, daemon=True).start()
    sys.stdin.read()
    os._exit(0)


if __name__ == '__main__':
    main()
