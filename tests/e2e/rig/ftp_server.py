#!/usr/bin/python3
"""The FTP server of the tests and the demo: pyftpdlib on 127.0.0.1 with one
user, serving a root folder that holds public_html/instalador-zunaveri/.
Prints "PORT <n>" once it listens. --throttle slows transfers down (bytes
per second), so a test can cut a transfer off midway by stopping the server.
--shape NAME=endless:RATE serves the file's bytes and then zeros without end
at RATE bytes per second; --shape NAME=drip:SECONDS sends one byte every
SECONDS. The listing and SIZE keep the file's real size. Each transfer then
has a thread of its own, so a slow one holds up no other."""
import argparse
import os
import sys
import time

from pyftpdlib.authorizers import DummyAuthorizer
from pyftpdlib.filesystems import AbstractedFS
from pyftpdlib.handlers import FTPHandler, ThrottledDTPHandler
from pyftpdlib.servers import FTPServer, ThreadedFTPServer

CHUNK = 16384


class ShapedFile:
    """A served file read at a chosen pace: the producer's reads block in the transfer's own thread."""

    def __init__(self, real, kind, value):
        self.real, self.kind, self.value = real, kind, value
        self.name = real.name

    @property
    def closed(self):
        return self.real.closed

    def close(self):
        self.real.close()

    def seek(self, *args):
        return self.real.seek(*args)

    def read(self, size=-1):
        if self.kind == 'drip':
            time.sleep(self.value)
            return self.real.read(1)
        size = CHUNK if size is None or size < 0 else min(size, CHUNK)
        time.sleep(size / self.value)
        return self.real.read(size) or b'\0' * size


class ShapedFS(AbstractedFS):
    shapes = {}

    def open(self, filename, mode):
        real = super().open(filename, mode)
        shape = self.shapes.get(os.path.basename(filename)) if 'r' in mode else None
        return ShapedFile(real, *shape) if shape else real


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument('--root', required=True)
    parser.add_argument('--user', required=True)
    parser.add_argument('--password', required=True)
    parser.add_argument('--port', type=int, default=0)
    parser.add_argument('--throttle', type=int, default=0)
    parser.add_argument('--shape', action='append', default=[])
    args = parser.parse_args()

    authorizer = DummyAuthorizer()
    authorizer.add_user(args.user, args.password, args.root, perm='elr')
    handler = FTPHandler
    handler.authorizer = authorizer
    handler.passive_ports = None
    handler.banner = 'servidor de teste'
    if args.throttle:
        dtp = ThrottledDTPHandler
        dtp.read_limit = args.throttle
        dtp.write_limit = args.throttle
        handler.dtp_handler = dtp
    for shape in args.shape:
        name, how = shape.split('=', 1)
        kind, value = how.split(':')
        ShapedFS.shapes[name] = (kind, float(value))
    if ShapedFS.shapes:
        handler.abstracted_fs = ShapedFS
        handler.use_sendfile = False
    server = (ThreadedFTPServer if ShapedFS.shapes else FTPServer)(('127.0.0.1', args.port), handler)
    print('PORT %d' % server.address[1], flush=True)
    sys.stdout.flush()
    server.serve_forever(handle_exit=True)


if __name__ == '__main__':
    main()
