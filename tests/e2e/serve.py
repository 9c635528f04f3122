#!/usr/bin/env python3
"""Serves a folder on 127.0.0.1 the way many web hosts do: HTML pages are
sent as UTF-8 (Content-Type: text/html; charset=utf-8). Prints the port."""
import functools
import http.server
import sys


class Handler(http.server.SimpleHTTPRequestHandler):
    extensions_map = {**http.server.SimpleHTTPRequestHandler.extensions_map,
                      '.html': 'text/html; charset=utf-8'}

    def log_message(self, *args):
        pass


server = http.server.ThreadingHTTPServer(('127.0.0.1', 0), functools.partial(Handler, directory=sys.argv[1]))
print(server.server_address[1], flush=True)
server.serve_forever()
