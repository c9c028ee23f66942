"""Loopback servers for the resource-loading tests: never the Internet.

    loopback_server.py http ROOT LOG   files below ROOT, plus the paths below
    loopback_server.py ftp ROOT        anonymous read-only FTP of ROOT

Prints the port it listens on (on 127.0.0.1), then serves until killed.
The HTTP server appends every request line to LOG, so that a test can see
that nothing was asked. Paths with a meaning of their own:
    /status/CODE/...        answers CODE with a small page
    /redirect/N/PATH        301 to /redirect/N-1/PATH, at N = 0 to /PATH
    /to-file/PATH           301 to file:///PATH
    /hang                   reads the request and never answers
    /short/PATH             announces more bytes than it sends, then closes
"""
import functools
import http.server
import sys
import time


class Handler(http.server.SimpleHTTPRequestHandler):
    log_path = None

    def log_message(self, format, *args):
        pass

    def do_GET(self):
        with open(self.log_path, "a") as log:
            log.write(self.requestline + "\n")
        parts = self.path.split("/")
        if self.path.startswith("/status/"):
            body = b"<html>error page</html>"
            self.send_response(int(parts[2]))
            self.send_header("Content-Length", str(len(body)))
            self.end_headers()
            self.wfile.write(body)
        elif self.path.startswith("/redirect/"):
            hops = int(parts[2])
            rest = "/".join(parts[3:])
            target = "/" + rest if hops == 0 else "/redirect/%d/%s" % (hops - 1, rest)
            self.send_response(301)
            self.send_header("Location", target)
            self.send_header("Content-Length", "0")
            self.end_headers()
        elif self.path.startswith("/to-file/"):
            self.send_response(301)
            self.send_header("Location", "file:///" + "/".join(parts[2:]))
            self.send_header("Content-Length", "0")
            self.end_headers()
        elif self.path == "/hang":
            time.sleep(3600)
        elif self.path.startswith("/short/"):
            with open(self.translate_path("/" + "/".join(parts[2:])), "rb") as f:
                body = f.read()
            self.send_response(200)
            self.send_header("Content-Length", str(len(body) + 100))
            self.end_headers()
            self.wfile.write(body)
            self.wfile.flush()
            self.close_connection = True
        else:
            super().do_GET()


def serve_http(root, log_path):
    Handler.log_path = log_path
    open(log_path, "a").close()
    handler = functools.partial(Handler, directory=root)
    server = http.server.ThreadingHTTPServer(("127.0.0.1", 0), handler)
    server.daemon_threads = True
    print(server.server_address[1], flush=True)
    server.serve_forever()


def serve_ftp(root):
    from pyftpdlib.authorizers import DummyAuthorizer
    from pyftpdlib.handlers import FTPHandler
    from pyftpdlib.servers import FTPServer
    import logging
    logging.disable(logging.CRITICAL)
    authorizer = DummyAuthorizer()
    authorizer.add_anonymous(root)
    handler = FTPHandler
    handler.authorizer = authorizer
    server = FTPServer(("127.0.0.1", 0), handler)
    print(server.address[1], flush=True)
    server.serve_forever()


if __name__ == "__main__":
    if sys.argv[1] == "http":
        serve_http(sys.argv[2], sys.argv[3])
    else:
        serve_ftp(sys.argv[2])
