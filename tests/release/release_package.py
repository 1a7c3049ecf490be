#!/usr/bin/python3
"""The release as a customer's machine gets it: the package, built in a release configuration of
its own, unpacked into a Solmara folder beside fixture databases; its text names the Debian package
of every library the programs load; the client, started with no argument against a recorder,
sends the company database's VAT number in its first getticket."""
import argparse
import glob
import http.server
import os
import re
import subprocess
import sys
import queue
import tarfile
import tempfile
import threading
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "support"))
import client_wire  # noqa: E402
from bounded_run import Failure, run_bounded  # noqa: E402

VAT = "02345678901"
PACKAGE_NAME = re.compile(r"brenno-\d+(\.\d+)+-linux-x86_64\.tar\.gz")
RELEASE_FILES = ["brenno", "brenno-dbread", "brenno.png", "brenno.svg", "brenno.desktop",
                 "autostart/brenno.desktop", "it.quintaro.brenno.metainfo.xml", "LEGGIMI.txt"]
GETTICKET_WAIT_S = 30


def quiet(command, what):
    done = subprocess.run(command, stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True)
    if done.returncode != 0:
        raise Failure("%s failed (%d): %s" % (what, done.returncode, done.stdout[-2000:]))
    return done.stdout


def build_package(source, build):
    quiet(["cmake", "-S", source, "-B", build, "-G", "Ninja", "-DCMAKE_BUILD_TYPE=Release",
           "-DBRENNO_SANITIZE=OFF", "-DBUILD_TESTING=OFF"], "configuring the release build")
    for old in glob.glob(os.path.join(build, "*.tar.gz")):
        os.remove(old)
    quiet(["cmake", "--build", build, "--target", "package", "-j", str(os.cpu_count() or 1)],
          "cmake --build --target package")
    made = glob.glob(os.path.join(build, "*.tar.gz"))
    if len(made) != 1 or not PACKAGE_NAME.fullmatch(os.path.basename(made[0])):
        raise Failure("the package target made %s, not one brenno-VERSION-linux-x86_64.tar.gz"
                      % made)
    return made[0]


def unpack(package, solmara):
    with tarfile.open(package) as archive:
        names = archive.getnames()
        if any(not name.startswith("Brenno") for name in names):
            raise Failure("the package holds more than the folder Brenno: %s" % names)
        archive.extractall(solmara)
    folder = os.path.join(solmara, "Brenno")
    missing = [f for f in RELEASE_FILES if not os.path.isfile(os.path.join(folder, f))]
    if missing:
        raise Failure("the package lacks %s" % missing)
    return folder


def named_packages(text_path):
    """The names in the indented lines under the heading, without their versions."""
    with open(text_path, encoding="utf-8") as text:
        listed = re.search(r"Debian packages needed.*\n((    .*\n)+)", text.read())
    if not listed:
        raise Failure("LEGGIMI.txt has no list of Debian packages")
    return {alternative.split()[0] for alternative in re.split(r"[|\n]", listed.group(1).strip())}


def library_packages(program):
    """The Debian package of each library the program names (what those pull in, their packages
    bring), in one query as each reads dpkg's whole database; Debian 12 has some under /lib."""
    needed = re.findall(r"\(NEEDED\)\s+Shared library: \[([^\]]+)\]",
                        quiet(["readelf", "-d", program], "readelf"))
    resolved = dict(re.findall(r"^\s*(\S+) => (/\S+)", quiet(["ldd", program], "ldd"), re.M))
    absent = [library for library in needed if library not in resolved]
    if absent:
        raise Failure("%s needs %s, which this machine does not have" % (program, absent))
    candidates = {}
    for library in needed:
        real = os.path.realpath(resolved[library])
        for candidate in (resolved[library], real, re.sub("^/usr/lib/", "/lib/", real)):
            candidates[candidate] = library
    found = subprocess.run(["dpkg-query", "-S"] + sorted(candidates), stdout=subprocess.PIPE,
                           stderr=subprocess.DEVNULL, text=True).stdout
    packages = {}
    for owners, _, candidate in (line.partition(": ") for line in found.splitlines()):
        if candidate in candidates:
            packages[candidates[candidate]] = owners.split(",")[0].split(":")[0].strip()
    missing = [library for library in needed if library not in packages]
    if missing:
        raise Failure("no Debian package installed %s for %s" % (missing, program))
    return packages


def make_databases(mdbfixture, solmara):
    company = os.path.join(solmara, "Dati", "azienda.mdb")
    os.makedirs(os.path.dirname(company))
    quiet([mdbfixture, company, "Aziende", "PIva:text", VAT], "brenno-mdbfixture")
    quiet([mdbfixture, os.path.join(solmara, "SetLKT10.mdb"), "impostazioni", "DataPath:text",
           company], "brenno-mdbfixture")


class Recorder(http.server.BaseHTTPRequestHandler):
    """Stands for the service: queues each request's path and body and answers none of them."""

    def do_POST(self):
        length = int(self.headers.get("Content-Length", 0))
        self.server.requests.put((self.path, self.rfile.read(length).decode("utf-8")))
        self.send_error(503)

    def log_message(self, *arguments):
        pass


def run_client(folder, scratch):
    recorder = http.server.ThreadingHTTPServer(("127.0.0.1", 0), Recorder)
    recorder.requests = queue.Queue()
    threading.Thread(target=recorder.serve_forever, daemon=True).start()
    runtime = os.path.join(scratch, "runtime")
    os.makedirs(runtime, mode=0o700)
    environment = dict(os.environ, QT_QPA_PLATFORM="offscreen", XDG_RUNTIME_DIR=runtime,
                       BRENNO_SERVICE_URL="http://127.0.0.1:%d" % recorder.server_address[1])
    # Started from elsewhere, so that only its own folder can lead it to the databases.
    client = subprocess.Popen([os.path.join(folder, "brenno")], cwd=scratch, env=environment)
    deadline = time.monotonic() + GETTICKET_WAIT_S
    try:
        path, body = "", ""
        while "<chat:getticket" not in body:
            path, body = recorder.requests.get(timeout=max(0, deadline - time.monotonic()))
    except queue.Empty:
        raise Failure("the client sent no getticket within %d s" % GETTICKET_WAIT_S)
    finally:
        client.terminate()
        code = client.wait(10)
        recorder.shutdown()
    sent = re.search(r"<partitaiva[^>]*>([^<]*)</partitaiva>", body)
    if path != client_wire.ENDPOINT_DUE or not sent or sent.group(1) != VAT:
        raise Failure("the first getticket did not carry %s: %s %s" % (VAT, path, body))
    if code != 0:
        raise Failure("the client ended with %d on SIGTERM" % code)
    if not os.path.isfile(os.path.join(folder, "setws.ini")):
        raise Failure("the client wrote no setws.ini into its folder")


def main():
    parser = argparse.ArgumentParser()
    for option in ("--source", "--build", "--mdbfixture"):
        parser.add_argument(option, required=True)
    parser.add_argument("--time-limit", type=int, default=1200)
    arguments = parser.parse_args()

    scratch = tempfile.TemporaryDirectory()

    def body():
        started = time.monotonic()
        package = build_package(arguments.source, arguments.build)
        print("package built in %.0f s: %s" % (time.monotonic() - started, package))
        solmara = os.path.join(scratch.name, "Solmara")
        folder = unpack(package, solmara)
        named = named_packages(os.path.join(folder, "LEGGIMI.txt"))
        packages = {(program, library): package for program in ("brenno", "brenno-dbread")
                    for library, package in library_packages(os.path.join(folder, program)).items()}
        unnamed = [needed for needed, package in packages.items() if package not in named]
        if unnamed:
            raise Failure("LEGGIMI.txt names %s, not the packages of %s" % (sorted(named), unnamed))
        # So that the check is seen to find something: no Qt package brings libmdb along.
        if all(package != "libmdb3" for package in packages.values()):
            raise Failure("brenno-dbread needs no library of libmdb3")
        make_databases(arguments.mdbfixture, solmara)
        run_client(folder, scratch.name)
        print("release test passed")

    return run_bounded(arguments.time_limit, body, scratch.cleanup)

if __name__ == "__main__":
    sys.exit(main())
