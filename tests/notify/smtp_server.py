#!/usr/bin/python3
"""A throwaway SMTP server (aiosmtpd) for the e-mail tests.

Usage: smtp_server.py FOLDER [--cert CERT --key KEY] [--login USER --password PASS]
Listens on a free port of 127.0.0.1, prints "port N" once it listens, and
writes every message it accepts into FOLDER as N.json: the envelope, the
decoded subject, the text and the attachments (their bytes in base64).
With a certificate it offers STARTTLS and requires it; with a login it
requires authentication. Ends when its standard input closes.
"""
import argparse
import asyncio
import base64
import email
import email.header
import email.policy
import json
import os
import ssl
import sys
import threading

from aiosmtpd.smtp import SMTP, AuthResult


class Handler:
    def __init__(self, folder):
        self.folder = folder
        self.count = 0

    async def handle_DATA(self, server, session, envelope):
        message = email.message_from_bytes(envelope.content, policy=email.policy.default)
        text = ""
        attachments = []
        for part in message.walk():
            if part.is_multipart():
                continue
            if part.get_filename():
                attachments.append({
                    "name": part.get_filename(),
                    "type": part.get_content_type(),
                    "data": base64.b64encode(part.get_payload(decode=True)).decode(),
                })
            elif part.get_content_type() == "text/plain":
                text += part.get_content()
        self.count += 1
        record = {
            "from": envelope.mail_from,
            "to": envelope.rcpt_tos,
            "subject": str(message["subject"]),
            "header_to": str(message["to"]),
            "text": text,
            "attachments": attachments,
        }
        path = os.path.join(self.folder, "%d.json" % self.count)
        with open(path + ".tmp", "w", encoding="utf-8") as f:
            json.dump(record, f, ensure_ascii=False)
        os.replace(path + ".tmp", path)
        return "250 OK"


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("folder")
    parser.add_argument("--cert")
    parser.add_argument("--key")
    parser.add_argument("--login")
    parser.add_argument("--password")
    args = parser.parse_args()

    tls = None
    if args.cert:
        tls = ssl.create_default_context(ssl.Purpose.CLIENT_AUTH)
        tls.load_cert_chain(args.cert, args.key)

    def authenticate(server, session, envelope, mechanism, auth_data):
        ok = (auth_data.login.decode() == args.login
              and auth_data.password.decode() == args.password)
        return AuthResult(success=ok, handled=False)

    handler = Handler(args.folder)

    def factory():
        options = {}
        if tls:
            options.update(tls_context=tls, require_starttls=True)
        if args.login:
            options.update(authenticator=authenticate, auth_required=True,
                           auth_require_tls=bool(tls))
        return SMTP(handler, hostname="test.local", **options)

    loop = asyncio.new_event_loop()
    server = loop.run_until_complete(loop.create_server(factory, "127.0.0.1", 0))
    print("port %d" % server.sockets[0].getsockname()[1], flush=True)

    # The parent may die without stopping us: end with its pipe.
    def watch_stdin():
        sys.stdin.read()
        os._exit(0)

    threading.Thread(target=watch_stdin, daemon=True).start()
    loop.run_forever()


if __name__ == "__main__":
    main()
