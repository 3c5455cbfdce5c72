#!/usr/bin/env python3
"""An RTSP camera from GStreamer's RTSP server, for the network camera tests.

    rtsp_server.py --clip FILE.mkv --codec h264|h265|mjpeg [--user U --password P]

Serves the clip once, in real time and from its first frame, to each client
of rtsp://127.0.0.1:PORT/cam; with a user, only with Digest authentication.
Prints "port N" once it listens and "connect" for every client; ends when
its standard input closes.
"""
import argparse
import os
import sys
import threading

import gi

gi.require_version('Gst', '1.0')
gi.require_version('GstRtsp', '1.0')
gi.require_version('GstRtspServer', '1.0')
from gi.repository import GLib, Gst, GstRtsp, GstRtspServer  # noqa: E402

PAYLOADERS = {
    'h264': 'rtph264pay name=pay0 pt=96 config-interval=1',
    'h265': 'rtph265pay name=pay0 pt=96 config-interval=1',
    'mjpeg': 'rtpjpegpay name=pay0 pt=26',
}

parser = argparse.ArgumentParser()
parser.add_argument('--clip', required=True)
parser.add_argument('--codec', choices=PAYLOADERS, default='h264')
parser.add_argument('--user')
parser.add_argument('--password', default='')
args = parser.parse_args()

Gst.init(None)
server = GstRtspServer.RTSPServer(address='127.0.0.1', service='0')
factory = GstRtspServer.RTSPMediaFactory()
factory.set_launch('( filesrc location="%s" ! matroskademux ! %s )'
                   % (args.clip, PAYLOADERS[args.codec]))
if args.user:
    auth = GstRtspServer.RTSPAuth()
    auth.set_supported_methods(GstRtsp.RTSPAuthMethod.DIGEST)
    token = GstRtspServer.RTSPToken()
    token.set_string(GstRtspServer.RTSP_TOKEN_MEDIA_FACTORY_ROLE, 'viewer')
    auth.add_digest(args.user, args.password, token)
    server.set_auth(auth)
    permissions = GstRtspServer.RTSPPermissions()
    for action in ('media.factory.access', 'media.factory.construct'):
        permissions.add_permission_for_role('viewer', action, True)
    factory.set_permissions(permissions)
server.get_mount_points().add_factory('/cam', factory)
server.connect('client-connected', lambda *_: print('connect', flush=True))
if server.attach(None) == 0:
    sys.exit('cannot listen')
print('port %d' % server.get_bound_port(), flush=True)
threading.Thread(target=lambda: (sys.stdin.read(), os._exit(0)), daemon=True).start()
GLib.MainLoop().run()
