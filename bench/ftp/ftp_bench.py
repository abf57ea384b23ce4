"""File hand-over throughput on loopback, inside a private network namespace (`unshare -n`).

A 1 GB file in a temporary folder is fetched three ways in one run:
  1. from our server (tests/jv_ftpdriver serve) with curl,
  2. from pyftpdlib (the reference server) with curl,
  3. from our server with our client (tests/jv_ftpdriver get), against curl from our server
     writing to a file as the client's reference.
Prints each throughput (best of the runs) and the ratios. Usage:
  python3 bench/ftp/ftp_bench.py [build dir] [size MB] [runs]"""

import os
import shutil
import subprocess
import sys
import tempfile
import time

SYSTEM_PYTHON = "/usr/bin/python3"
PYFTPD = r"""
import logging, sys
from pyftpdlib.authorizers import DummyAuthorizer
from pyftpdlib.handlers import FTPHandler
from pyftpdlib.servers import FTPServer
auth = DummyAuthorizer()
auth.add_user("SharePath", "x", sys.argv[1], perm="elr")
FTPHandler.authorizer = auth
logging.getLogger("pyftpdlib").addHandler(logging.NullHandler())
server = FTPServer(("127.0.0.1", 5590), FTPHandler)
print("ready", flush=True)
server.serve_forever(timeout=0.2)
"""


def reexec_in_namespace():
    if os.environ.get("JV_BENCH_NETNS") == "1":
        subprocess.run(["ip", "link", "set", "lo", "up"], check=True)
        return
    env = dict(os.environ, JV_BENCH_NETNS="1")
    sys.exit(subprocess.run(["unshare", "-n", sys.executable] + sys.argv, env=env).returncode)


def timed(argv, env):
    start = time.monotonic()
    result = subprocess.run(argv, env=env, capture_output=True, timeout=600)
    elapsed = time.monotonic() - start
    if result.returncode != 0:
        raise RuntimeError(f"{argv[0]} failed: {result.stderr.decode(errors='replace')}")
    return elapsed


def main():
    reexec_in_namespace()
    build = os.path.abspath(sys.argv[1] if len(sys.argv) > 1 else "build")
    size_mb = int(sys.argv[2]) if len(sys.argv) > 2 else 1024
    runs = int(sys.argv[3]) if len(sys.argv) > 3 else 2
    driver = os.path.join(build, "tests", "jv_ftpdriver")
    tmp = tempfile.mkdtemp(prefix="jv-ftpbench-")
    home = os.path.join(tmp, "home")
    os.makedirs(home)
    env = dict(os.environ, HOME=home, XDG_CONFIG_HOME=home, XDG_DATA_HOME=home, XDG_RUNTIME_DIR=home,
               TMPDIR=home)
    processes = []
    try:
        share = os.path.join(tmp, "share")
        os.makedirs(share)
        big = os.path.join(share, "big.bin")
        with open(big, "wb") as stream:
            block = os.urandom(1 << 20)
            for i in range(size_mb):
                stream.write(block[i % 256:] + block[:i % 256])
        ours = subprocess.Popen([driver, "serve", "5588", "5599", share, "offer", "127.0.0.1", big, "file"],
                                env=env, stdin=subprocess.PIPE, stdout=subprocess.PIPE)
        processes.append(ours)
        assert ours.stdout.readline().startswith(b"ready")
        reference = subprocess.Popen([SYSTEM_PYTHON, "-c", PYFTPD, share], env=env, stdout=subprocess.PIPE)
        processes.append(reference)
        assert reference.stdout.readline().startswith(b"ready")

        out = os.path.join(tmp, "out.bin")
        curl = ["curl", "-sS", "--ftp-pasv"]
        cases = {
            "our server, curl -> /dev/null": curl + ["-o", "/dev/null", "ftp://SharePath:x@127.0.0.1:5588/big.bin"],
            "pyftpdlib, curl -> /dev/null": curl + ["-o", "/dev/null", "ftp://SharePath:x@127.0.0.1:5590/big.bin"],
            "our server, curl -> file": curl + ["-o", out, "ftp://SharePath:x@127.0.0.1:5588/big.bin"],
            "our server, our client -> file": [driver, "get", "127.0.0.1", "5588", big, "file", out],
        }
        best = {}
        for _ in range(runs):
            for name, argv in cases.items():
                seconds = timed(argv, env)
                best[name] = min(best.get(name, seconds), seconds)
                if os.path.exists(out):
                    os.remove(out)
        mb = float(size_mb)
        print(f"file size: {size_mb} MB, best of {runs} runs, loopback")
        for name, seconds in best.items():
            print(f"  {name:34s} {mb / seconds:9.1f} MB/s  ({seconds:.2f} s)")
        speed = {name: mb / seconds for name, seconds in best.items()}
        print(f"our server / pyftpdlib (curl):      {speed['our server, curl -> /dev/null'] / speed['pyftpdlib, curl -> /dev/null']:.2f}")
        print(f"our client / curl (our server):     {speed['our server, our client -> file'] / speed['our server, curl -> file']:.2f}")
    finally:
        for p in processes:
            if p.stdin:
                p.stdin.close()
            p.terminate()
            p.wait(10)
        shutil.rmtree(tmp, ignore_errors=True)


if __name__ == "__main__":
    main()
