"""File hand-over between hosts of a private LAN, with the headless driver (tests/jv_ftpdriver)
standing in for the messenger: A offers a folder to B, B saves it byte for byte, C (offered
nothing) cannot log in, B cannot step beside the offer, and a crafted server cannot make B write
outside the folder it chose. Interoperability: our server with curl and Python's ftplib (active and
passive, listing, retrieval, upload to the share folder), and our client against pyftpdlib."""

import ftplib
import hashlib
import os
import shutil
import subprocess
import sys
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import netlan  # noqa: E402

DRIVER = None
SYSTEM_PYTHON = "/usr/bin/python3"  # the interpreter that carries the Debian package pyftpdlib


def hex_text(text):
    return text.encode("gb18030").hex().upper()


def tree(root):
    """Relative path -> sha256 of every file, "<dir>" for every folder."""
    result = {}
    for folder, dirs, files in os.walk(root):
        for d in dirs:
            result[os.path.relpath(os.path.join(folder, d), root)] = "<dir>"
        for f in files:
            h = hashlib.sha256()
            with open(os.path.join(folder, f), "rb") as stream:
                for chunk in iter(lambda: stream.read(1 << 20), b""):
                    h.update(chunk)
            result[os.path.relpath(os.path.join(folder, f), root)] = h.hexdigest()
    return result


def write(path, data):
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "wb") as stream:
        stream.write(data)


# Runs inside a host's namespace: logs in and tries what it is given, printing one reply per line.
FTPLIB_PROBE = r"""
import ftplib, sys
host, user, password = sys.argv[1], sys.argv[2], sys.argv[3]
ftp = ftplib.FTP()
ftp.connect(host, 5588, timeout=10)
try:
    print(ftp.login(user, password))
except ftplib.error_perm as e:
    print(e); sys.exit(0)
for cmd in sys.argv[4:]:
    try:
        if cmd.startswith("RETR "):
            ftp.set_pasv(False)
            print(ftp.retrbinary(cmd, lambda b: None))
        else:
            print(ftp.sendcmd(cmd))
    except ftplib.all_errors as e:
        print(e)
ftp.quit()
"""

# A server whose listings hold names that lead out of the folder a client chose.
CRAFTED_SERVER = r"""
import logging, os, sys
from pyftpdlib.authorizers import DummyAuthorizer
from pyftpdlib.filesystems import AbstractedFS
from pyftpdlib.handlers import FTPHandler
from pyftpdlib.servers import FTPServer
root, password = sys.argv[1], sys.argv[2]
BAD = {"45": "2E2E2F6F7574", "46": "..%2Fout", "47": "2F746D702F6F7574"}
class Crafted(AbstractedFS):
    def format_list(self, basedir, listing, ignore_err=True):
        name = BAD.get(os.path.basename(basedir.rstrip("/")), "")
        yield ("-rw-r--r--   1 u g 5 Jan 01 12:00 %s\r\n" % name).encode()
auth = DummyAuthorizer()
auth.add_user("ParentDir", password, root, perm="elr")
handler = FTPHandler
handler.authorizer = auth
handler.abstracted_fs = Crafted
server = FTPServer(("0.0.0.0", 5588), handler)
logging.getLogger("pyftpdlib").addHandler(logging.NullHandler())  # quiet: warnings only
print("ready", flush=True)
server.serve_forever(timeout=0.2)
"""

PLAIN_SERVER = r"""
import logging, sys
from pyftpdlib.authorizers import DummyAuthorizer
from pyftpdlib.handlers import FTPHandler
from pyftpdlib.servers import FTPServer
root, password, port = sys.argv[1], sys.argv[2], int(sys.argv[3])
auth = DummyAuthorizer()
auth.add_user("ParentDir", password, root, perm="elr")
handler = FTPHandler
handler.authorizer = auth
server = FTPServer(("127.0.0.1", port), handler)
logging.getLogger("pyftpdlib").addHandler(logging.NullHandler())  # quiet: warnings only
print("ready", flush=True)
server.serve_forever(timeout=0.2)
"""


# A client written to the design alone: an offered path is split at its last "\\" or ":" into the
# folder (hex text as the "ParentDir" password) and the name; a folder is walked depth first with
# hex names, in active mode. Prints "ok" when everything arrived, else the reason.
DESIGN_CLIENT = r"""
import ftplib, os, sys
host, item, target = sys.argv[1], sys.argv[2], sys.argv[3]
kind, value = item.split("=", 1)
cut = max(value.rfind("\\"), value.rfind(":"))
folder, name = value[:cut + 1], value[cut + 1:]
hexed = lambda text: text.encode("gb18030").hex().upper()
ftp = ftplib.FTP()
ftp.connect(host, 5588, timeout=20)
ftp.login("ParentDir", hexed(folder))
ftp.set_pasv(False)
def fetch(remote, local):
    with open(local, "wb") as out:
        ftp.retrbinary("RETR " + hexed(remote), out.write)
def walk(remote, local):
    os.makedirs(local)
    ftp.cwd(hexed(remote))
    lines = []
    ftp.retrlines("LIST", lines.append)
    for line in lines:
        fields = line.split(None, 8)
        entry = bytes.fromhex(fields[8]).decode("gb18030")
        if entry in (".", ".."):
            continue
        if line.startswith("d"):
            walk(entry, os.path.join(local, entry))
        else:
            fetch(entry, os.path.join(local, entry))
    ftp.cwd("..")
if kind == "File":
    fetch(name, target)
else:
    walk(name, target)
ftp.quit()
print("ok")
"""


class FtpLanTest(unittest.TestCase):
    def setUp(self):
        self.lab = netlan.NetLab("ftp")
        self.addCleanup(self.lab.close)
        self.lab.add_namespace("sw")
        self.lab.add_bridge("sw")
        self.ip = {}
        for index, name in enumerate(("a", "b", "c"), start=1):
            self.lab.add_namespace(name)
            self.ip[name] = f"10.78.0.{index + 1}"
            self.lab.attach(name, "sw", self.ip[name] + "/24", mac=f"02:00:5e:00:01:0{index}")
        self.lab.pin_neighbours("sw")
        self.tmp = self.lab.tmp

    def serve(self, host, share, offers=()):
        argv = [DRIVER, "serve", "5588", "5599", share]
        for peer, path, kind in offers:
            argv += ["offer", peer, path, kind]
        process = self.lab.spawn(host, argv, "srv-" + host, stdin=subprocess.PIPE, stdout=subprocess.PIPE)
        line = process.stdout.readline().decode()
        self.assertTrue(line.startswith("ready"), line)
        return process

    def run_in(self, host, argv, timeout=120):
        env, _ = self.lab.environment("run-" + host)
        return subprocess.run(["ip", "netns", "exec", self.lab.ns(host)] + argv, env=env,
                              capture_output=True, timeout=timeout)

    def get(self, host, server_ip, offered, kind, target):
        return self.run_in(host, [DRIVER, "get", server_ip, "5588", offered, kind, target])

    def probe(self, host, server_ip, user, password, *commands):
        result = self.run_in(host, [sys.executable, "-c", FTPLIB_PROBE, server_ip, user, password] + list(commands))
        self.assertEqual(result.returncode, 0, result.stderr)
        return result.stdout.decode().splitlines()

    def test_offer_reaches_only_its_receiver_and_arrives_whole(self):
        base = os.path.join(self.tmp, "a-files")
        offer = os.path.join(base, "交付")
        write(os.path.join(offer, "说明.txt"), "第一层".encode("utf-8"))
        write(os.path.join(offer, "二级", "数据.bin"), os.urandom(1 << 16))
        write(os.path.join(offer, "二级", "三级", "深.txt"), b"deep")
        os.makedirs(os.path.join(offer, "空文件夹"))
        with open(os.path.join(offer, "大文件.bin"), "wb") as stream:
            for _ in range(200):
                stream.write(os.urandom(1 << 20))
        write(os.path.join(base, "旁边.txt"), b"not offered")
        os.makedirs(os.path.join(self.tmp, "a-share"))
        self.serve("a", os.path.join(self.tmp, "a-share"), [(self.ip["b"], offer, "dir")])

        # B saves the folder; the tree arrives byte for byte, the empty folder included.
        dest = os.path.join(self.tmp, "b-dest")
        os.makedirs(dest)
        result = self.get("b", self.ip["a"], offer, "dir", dest)
        self.assertEqual(result.returncode, 0, result.stderr)
        self.assertEqual(tree(os.path.join(dest, "交付")), tree(offer))
        self.assertIn("空文件夹", tree(dest + "/交付"))

        # C was offered nothing: neither the offer's folder nor /etc lets it in.
        for folder in (base + "/", "/etc", "/"):
            lines = self.probe("c", self.ip["a"], "ParentDir", hex_text(folder))
            self.assertTrue(lines[0].startswith("530"), lines)
        # B reaches the offer but nothing beside it, and ".." leads nowhere.
        lines = self.probe("b", self.ip["a"], "ParentDir", hex_text(base + "/"),
                           "RETR " + hex_text("旁边.txt"), "RETR " + hex_text("../旁边.txt"),
                           "CWD " + hex_text("交付"), "RETR ../" + hex_text("旁边.txt"),
                           "RETR " + hex_text("说明.txt"))
        self.assertTrue(lines[0].startswith("230"), lines)
        self.assertEqual([line[:3] for line in lines[1:]], ["550", "550", "250", "550", "226"], lines)
        # The same over the driver: a file beside the offer cannot be saved.
        result = self.get("b", self.ip["a"], os.path.join(base, "旁边.txt"), "file",
                          os.path.join(dest, "旁边.txt"))
        self.assertNotEqual(result.returncode, 0)
        self.assertFalse(os.path.exists(os.path.join(dest, "旁边.txt")))

    def test_crafted_listing_cannot_write_outside_the_chosen_folder(self):
        if not os.path.exists(SYSTEM_PYTHON):
            self.skipTest("no system python with pyftpdlib")
        root = os.path.join(self.tmp, "c-root")
        for name in ("45", "46", "47"):
            os.makedirs(os.path.join(root, name))
        process = self.lab.spawn("c", [SYSTEM_PYTHON, "-c", CRAFTED_SERVER, root, hex_text("/srv/")], "crafted",
                                 stdout=subprocess.PIPE)
        self.assertEqual(process.stdout.readline().strip(), b"ready")
        dest = os.path.join(self.tmp, "b-chosen", "inner")
        os.makedirs(dest)
        for folder in ("E", "F", "G"):  # hex 45, 46, 47
            result = self.get("b", self.ip["c"], "/srv/" + folder, "dir", dest)
            self.assertEqual(result.returncode, 1, result.stderr)
            self.assertIn(b"Refused name", result.stderr)
        self.assertEqual(sorted(os.listdir(os.path.join(self.tmp, "b-chosen"))), ["inner"])
        self.assertFalse(os.path.exists("/tmp/out"))


    def test_offered_items_replaced_by_links_reach_nothing(self):
        docs = os.path.join(self.tmp, "a-home", "docs")
        write(os.path.join(docs, "report.txt"), b"the report")
        write(os.path.join(docs, "proj", "main.c"), b"int main;")
        write(os.path.join(self.tmp, "a-home", "private.key"), b"SECRET")
        os.makedirs(os.path.join(self.tmp, "a-share"))
        self.serve("a", os.path.join(self.tmp, "a-share"),
                   [(self.ip["b"], os.path.join(docs, "report.txt"), "file"),
                    (self.ip["b"], os.path.join(docs, "proj"), "dir")])
        password = hex_text(docs + "/")
        lines = self.probe("b", self.ip["a"], "ParentDir", password, "RETR " + hex_text("report.txt"))
        self.assertEqual([line[:3] for line in lines], ["230", "226"], lines)

        # The sender's files are swapped for links: one to a file outside, one to the whole disk.
        os.remove(os.path.join(docs, "report.txt"))
        os.symlink(os.path.join(self.tmp, "a-home", "private.key"), os.path.join(docs, "report.txt"))
        shutil.rmtree(os.path.join(docs, "proj"))
        os.symlink("/", os.path.join(docs, "proj"))
        lines = self.probe("b", self.ip["a"], "ParentDir", password, "RETR " + hex_text("report.txt"),
                           "CWD " + hex_text("proj"), "RETR /proj/etc/" + hex_text("passwd"),
                           "SIZE " + hex_text("report.txt"))
        self.assertEqual([line[:3] for line in lines], ["230", "550", "550", "550", "550"], lines)
        dest = os.path.join(self.tmp, "b-dest")
        os.makedirs(dest)
        result = self.get("b", self.ip["a"], os.path.join(docs, "proj"), "dir", dest)
        self.assertNotEqual(result.returncode, 0)
        result = self.get("b", self.ip["a"], os.path.join(docs, "report.txt"), "file", os.path.join(dest, "r"))
        self.assertNotEqual(result.returncode, 0)
        self.assertFalse(os.path.exists(os.path.join(dest, "r")))
        self.assertEqual(tree(dest), {})

    def test_offered_hidden_folder_lands_in_a_new_visible_folder(self):
        offered = os.path.join(self.tmp, "a-files", ".config")
        write(os.path.join(offered, "autostart", "evil.desktop"), b"[Desktop Entry]\nExec=evil\n")
        os.makedirs(os.path.join(self.tmp, "a-share"))
        self.serve("a", os.path.join(self.tmp, "a-share"), [(self.ip["b"], offered, "dir")])
        # B's home, where the folder picker opens: its own settings and a folder named "config".
        home = os.path.join(self.tmp, "b-home")
        write(os.path.join(home, ".config", "app.conf"), b"mine")
        write(os.path.join(home, "config", "notes.txt"), b"mine too")
        saved = []
        for _ in range(2):
            result = self.get("b", self.ip["a"], offered, "dir", home)
            self.assertEqual(result.returncode, 0, result.stderr)
            saved.append(result.stdout.decode().strip())
        self.assertEqual(saved, [os.path.join(home, "config (2)"), os.path.join(home, "config (3)")])
        self.assertEqual(sorted(os.listdir(os.path.join(home, ".config"))), ["app.conf"])
        self.assertEqual(sorted(os.listdir(os.path.join(home, "config"))), ["notes.txt"])
        self.assertEqual(tree(saved[0]), tree(offered))

    def test_peer_splitting_at_backslash_fetches_a_file_and_a_folder(self):
        base = os.path.join(self.tmp, "a-files", "文档")
        folder = os.path.join(base, "项目 2026")
        write(os.path.join(folder, "说明.txt"), "第一层".encode("utf-8"))
        write(os.path.join(folder, "子目录", "数据.bin"), os.urandom(70000))
        os.makedirs(os.path.join(folder, "空"))
        single = os.path.join(base, "会议:纪要.txt")
        write(single, "纪要".encode("utf-8"))
        os.makedirs(os.path.join(self.tmp, "a-share"))
        process = self.serve("a", os.path.join(self.tmp, "a-share"),
                             [(self.ip["b"], folder, "dir"), (self.ip["b"], single, "file")])
        wire = [process.stdout.readline().decode("utf-8").rstrip("\n").split("\t")[1] for _ in range(2)]
        self.assertTrue(all("/" not in item for item in wire), wire)
        self.assertTrue(wire[0].startswith("Dir=\\") and wire[1].startswith("File=\\"), wire)
        dest = os.path.join(self.tmp, "b-dest")
        os.makedirs(dest)
        for item, target in zip(wire, (os.path.join(dest, "folder"), os.path.join(dest, "file.txt"))):
            result = self.run_in("b", [SYSTEM_PYTHON, "-c", DESIGN_CLIENT, self.ip["a"], item, target])
            self.assertEqual(result.stdout.decode().strip(), "ok", result.stderr.decode())
        self.assertEqual(tree(os.path.join(dest, "folder")), tree(folder))
        with open(os.path.join(dest, "file.txt"), "rb") as stream:
            self.assertEqual(stream.read(), "纪要".encode("utf-8"))
        # Our own client takes the same form.
        os.makedirs(os.path.join(dest, "ours"))
        result = self.get("b", self.ip["a"], wire[0].split("=", 1)[1], "dir", os.path.join(dest, "ours"))
        self.assertEqual(result.returncode, 0, result.stderr)
        self.assertEqual(tree(os.path.join(dest, "ours", "项目 2026")), tree(folder))


class FtpInteropTest(unittest.TestCase):
    """Our server and client against programs nobody here wrote, on one host's loopback."""

    def setUp(self):
        self.lab = netlan.NetLab("ftpio")
        self.addCleanup(self.lab.close)
        self.lab.add_namespace("h")
        self.tmp = self.lab.tmp

    def run_in(self, argv, timeout=60):
        env, _ = self.lab.environment("run")
        return subprocess.run(["ip", "netns", "exec", self.lab.ns("h")] + argv, env=env,
                              capture_output=True, timeout=timeout)

    def test_curl_and_ftplib_use_our_share_folder(self):
        share = os.path.join(self.tmp, "share")
        write(os.path.join(share, "hello.txt"), b"hello share\n")
        process = self.lab.spawn("h", [DRIVER, "serve", "5588", "5599", share], "srv",
                                 stdin=subprocess.PIPE, stdout=subprocess.PIPE)
        self.assertTrue(process.stdout.readline().startswith(b"ready"))
        url = "ftp://SharePath:x@127.0.0.1:5588/"
        for mode in (["--ftp-pasv"], ["--ftp-port", "127.0.0.1"]):
            listing = self.run_in(["curl", "-sS", "--max-time", "20"] + mode + [url])
            self.assertEqual(listing.returncode, 0, listing.stderr)
            self.assertIn(hex_text("hello.txt"), listing.stdout.decode())
            got = self.run_in(["curl", "-sS", "--max-time", "20"] + mode + [url + "hello.txt"])
            self.assertEqual(got.stdout, b"hello share\n", got.stderr)
        upload = os.path.join(self.tmp, "up.bin")
        write(upload, os.urandom(300000))
        put = self.run_in(["curl", "-sS", "--max-time", "20", "-T", upload, url + "up.bin"])
        self.assertEqual(put.returncode, 0, put.stderr)
        with open(upload, "rb") as a, open(os.path.join(share, "up.bin"), "rb") as b:
            self.assertEqual(a.read(), b.read())

        script = r"""
import ftplib, io, sys
for passive in (True, False):
    ftp = ftplib.FTP()
    ftp.connect("127.0.0.1", 5588, timeout=10)
    ftp.login("SharePath", "x")
    ftp.set_pasv(passive)
    lines = []
    ftp.retrlines("LIST", lines.append)
    data = io.BytesIO()
    ftp.retrbinary("RETR hello.txt", data.write)
    ftp.storbinary("STOR from-ftplib-%d.txt" % passive, io.BytesIO(b"stored"))
    ftp.mkd("made")
    ftp.rmd("made")
    ftp.quit()
    print(passive, len(lines), data.getvalue())
"""
        result = self.run_in([sys.executable, "-c", script])
        self.assertEqual(result.returncode, 0, result.stderr)
        self.assertEqual(result.stdout.decode().splitlines(),
                         ["True 4 b'hello share\\n'", "False 5 b'hello share\\n'"])
        for n in (0, 1):
            with open(os.path.join(share, f"from-ftplib-{n}.txt"), "rb") as stream:
                self.assertEqual(stream.read(), b"stored")

    def test_our_client_fetches_a_hex_named_tree_from_pyftpdlib(self):
        if not os.path.exists(SYSTEM_PYTHON):
            self.skipTest("no system python with pyftpdlib")
        root = os.path.join(self.tmp, "served")
        folder = os.path.join(root, hex_text("资料"))
        write(os.path.join(folder, hex_text("一.txt")), "一".encode("utf-8"))
        write(os.path.join(folder, hex_text("子"), hex_text("二.bin")), os.urandom(100000))
        os.makedirs(os.path.join(folder, hex_text("空")))
        process = self.lab.spawn("h", [SYSTEM_PYTHON, "-c", PLAIN_SERVER, root, hex_text("/remote/"), "5588"],
                                 "pyftpd", stdout=subprocess.PIPE)
        self.assertEqual(process.stdout.readline().strip(), b"ready")
        dest = os.path.join(self.tmp, "dest")
        os.makedirs(dest)
        result = self.run_in([DRIVER, "get", "127.0.0.1", "5588", "/remote/资料", "dir", dest])
        self.assertEqual(result.returncode, 0, result.stderr)
        got = tree(os.path.join(dest, "资料"))
        decoded = {"/".join(bytes.fromhex(p).decode("gb18030") for p in k.split("/")): v
                   for k, v in tree(folder).items()}
        self.assertEqual(got, decoded)


def main():
    global DRIVER
    _, DRIVER = netlan.built_tool("test_ftp", "jv_ftpdriver")
    netlan.run_suite()


if __name__ == "__main__":
    main()
