#!/usr/bin/env python3
"""Posts articles to the harness's INN over NNTP POST and prints the group's new high number.

Usage: post-article.py GROUP [--count N] [--subject S] [--body TEXT] [--host H] [--port P]
The port defaults to $KESTREL_IT_NNTP_PORT. Exits non-zero when the server refuses.
"""
import argparse
import os
import socket
import sys
import time


class Nntp:
    def __init__(self, host, port):
        self.sock = socket.create_connection((host, port), timeout=20)
        self.file = self.sock.makefile("rb")

    def line(self):
        raw = self.file.readline()
        if not raw:
            raise RuntimeError("connection closed by the server")
        return raw.rstrip(b"\r\n").decode("latin-1")

    def command(self, text):
        self.sock.sendall(text.encode("latin-1") + b"\r\n")
        return self.line()

    def close(self):
        try:
            self.command("QUIT")
        finally:
            self.sock.close()


def expect(reply, code):
    if not reply.startswith(code):
        raise RuntimeError(f"expected {code}, got: {reply}")
    return reply


def post(nntp, group, subject, body):
    expect(nntp.command("POST"), "340")
    stamp = time.strftime("%a, %d %b %Y %H:%M:%S +0000", time.gmtime())
    lines = [
        "From: harness@example.invalid",
        f"Newsgroups: {group}",
        f"Subject: {subject}",
        f"Date: {stamp}",
        "",
    ] + body.split("\n")
    # Dot-stuffing: a line starting with "." gets a second one.
    data = "".join(("." + l if l.startswith(".") else l) + "\r\n" for l in lines) + ".\r\n"
    nntp.sock.sendall(data.encode("utf-8"))
    expect(nntp.line(), "240")


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("group")
    parser.add_argument("--count", type=int, default=1)
    parser.add_argument("--subject", default="Harness article")
    parser.add_argument("--body", default="Posted by the Kestrel test harness.")
    parser.add_argument("--host", default=os.environ.get("KESTREL_IT_NNTP_HOST", "127.0.0.1"))
    parser.add_argument("--port", type=int, default=int(os.environ.get("KESTREL_IT_NNTP_PORT", "0")))
    args = parser.parse_args()
    if args.port == 0:
        sys.exit("post-article.py: no port (set KESTREL_IT_NNTP_PORT or pass --port)")

    nntp = Nntp(args.host, args.port)
    try:
        greeting = nntp.line()
        if not greeting.startswith("200"):
            raise RuntimeError(f"server does not accept posts: {greeting}")
        # A server that takes 127.0.0.1 for a feeding peer posts only in reader mode.
        if "transit mode" in greeting:
            expect(nntp.command("MODE READER"), "200")
        for i in range(args.count):
            post(nntp, args.group, args.subject if args.count == 1 else f"{args.subject} {i + 1}", args.body)
        # GROUP answers "211 count low high group".
        high = int(expect(nntp.command(f"GROUP {args.group}"), "211").split()[3])
        print(high)
    finally:
        nntp.close()


if __name__ == "__main__":
    try:
        main()
    except (OSError, RuntimeError) as error:
        sys.exit(f"post-article.py: {error}")
