#!/usr/bin/python3
"""The FTP server of the tests and the demo: pyftpdlib on 127.0.0.1 with one
user, serving a root folder that holds public_html/instalador-zunaveri/.
Prints "PORT <n>" once it listens. --throttle slows transfers down (bytes
per second), so a test can cut a transfer off midway by stopping the server."""
import argparse
import sys

from pyftpdlib.authorizers import DummyAuthorizer
from pyftpdlib.handlers import FTPHandler, ThrottledDTPHandler
from pyftpdlib.servers import FTPServer


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument('--root', required=True)
    parser.add_argument('--user', required=True)
    parser.add_argument('--password', required=True)
    parser.add_argument('--port', type=int, default=0)
    parser.add_argument('--throttle', type=int, default=0)
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
    server = FTPServer(('127.0.0.1', args.port), handler)
    print('PORT %d' % server.address[1], flush=True)
    sys.stdout.flush()
    server.serve_forever(handle_exit=True)


if __name__ == '__main__':
    main()
