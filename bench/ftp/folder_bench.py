"""A folder of many small files handed over between two hosts of a private bridge (`ip netns`).

Host a serves a folder of N files of 1 KB; host b fetches it
  1. from our server with our client (tests/jv_ftpdriver serve / get), as a save of an offered
     folder does, and
  2. from vsftpd (the reference server) with wget -r (the reference client),
in the same run, best of the runs. Prints both times, files per second and the ratio.
Needs root (network namespaces) and the Debian packages vsftpd and wget. Usage:
  python3 bench/ftp/folder_bench.py [build dir] [files] [runs]"""

import os
import shutil
import subprocess
import sys
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "tests", "e2e"))
import netlan  # noqa: E402

VSFTPD_CONF = """listen=YES
listen_ipv6=NO
listen_port=2121
background=NO
anonymous_enable=YES
no_anon_password=YES
local_enable=NO
write_enable=NO
anon_root={root}
run_as_launching_user=YES
seccomp_sandbox=NO
secure_chroot_dir={empty}
pasv_enable=YES
pasv_min_port=30000
pasv_max_port=30999
connect_from_port_20=NO
xferlog_enable=NO
use_localtime=YES
"""


def count_files(root):
    return sum(len(files) for _, _, files in os.walk(root))


def main():
    build = os.path.abspath(sys.argv[1] if len(sys.argv) > 1 else "build")
    files = int(sys.argv[2]) if len(sys.argv) > 2 else 2000
    runs = int(sys.argv[3]) if len(sys.argv) > 3 else 3
    driver = os.path.join(build, "tests", "jv_ftpdriver")
    vsftpd = shutil.which("vsftpd") or "/usr/sbin/vsftpd"
    for tool in (driver, vsftpd, shutil.which("wget") or "/usr/bin/wget"):
        if not os.access(tool, os.X_OK):
            sys.exit(f"folder_bench: {tool} is missing")
    lab = netlan.NetLab("ftpbench")
    try:
        lab.add_namespace("sw")
        lab.add_bridge("sw")
        for index, name in enumerate(("a", "b"), start=1):
            lab.add_namespace(name)
            lab.attach(name, "sw", f"10.81.0.{index + 1}/24", mac=f"02:00:5e:00:08:0{index}")
        lab.pin_neighbours("sw")
        server_ip, client_ip = "10.81.0.2", "10.81.0.3"

        share = os.path.join(lab.tmp, "share")
        folder = os.path.join(share, "small")
        os.makedirs(folder)
        block = os.urandom(1024)
        for i in range(files):
            with open(os.path.join(folder, f"f{i:05d}.bin"), "wb") as stream:
                stream.write(block[i % 256:] + block[:i % 256])
        os.chmod(lab.tmp, 0o755)

        ours = lab.spawn("a", [driver, "serve", "5588", "5599", share, "offer", client_ip, folder, "dir"], "ours",
                         stdin=subprocess.PIPE, stdout=subprocess.PIPE)
        if not ours.stdout.readline().startswith(b"ready"):
            sys.exit("folder_bench: our server did not start")
        empty = os.path.join(lab.tmp, "empty")
        os.makedirs(empty)
        conf = os.path.join(lab.tmp, "vsftpd.conf")
        with open(conf, "w") as stream:
            stream.write(VSFTPD_CONF.format(root=share, empty=empty))
        reference = lab.spawn("a", [vsftpd, conf], "vsftpd", stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)
        env, _ = lab.environment("client")
        probe = ["ip", "netns", "exec", lab.ns("b"), "curl", "-s", "-o", "/dev/null", f"ftp://{server_ip}:2121/"]
        if not netlan.wait_until(lambda: subprocess.run(probe, env=env).returncode == 0, 10):
            sys.exit("folder_bench: vsftpd did not answer: " + (reference.stderr.read1(4000).decode()
                                                                if reference.poll() is not None else ""))

        def timed(argv, dest):
            shutil.rmtree(dest, ignore_errors=True)
            os.makedirs(dest)
            start = time.monotonic()
            result = subprocess.run(["ip", "netns", "exec", lab.ns("b")] + argv, env=env, capture_output=True,
                                    timeout=900)
            seconds = time.monotonic() - start
            if result.returncode != 0:
                sys.exit(f"folder_bench: {argv[0]} failed: {result.stderr.decode(errors='replace')}")
            got = count_files(dest)
            if got != files:
                sys.exit(f"folder_bench: {argv[0]} fetched {got} of {files} files")
            return seconds

        dest = os.path.join(lab.tmp, "dest")
        cases = {
            "our client <- our server": lambda: timed([driver, "get", server_ip, "5588", folder, "dir", dest], dest),
            "wget -r <- vsftpd": lambda: timed(["wget", "-q", "-r", "-np", "-nH", "-P", dest,
                                                 f"ftp://{server_ip}:2121/small/"], dest),
        }
        best = {}
        for _ in range(runs):
            for name, run in cases.items():
                seconds = run()
                best[name] = min(best.get(name, seconds), seconds)
        print(f"{files} files of 1 KB over a private bridge, best of {runs} runs")
        for name, seconds in best.items():
            print(f"  {name:26s} {seconds:7.2f} s  {files / seconds:8.0f} files/s")
        ratio = best["our client <- our server"] / best["wget -r <- vsftpd"]
        print(f"our time / reference time: {ratio:.2f}")
        ours.stdin.close()
    finally:
        lab.close()


if __name__ == "__main__":
    main()
