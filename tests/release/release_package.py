#!/usr/bin/python3
"""The release as a customer's machine gets it: builds the package in a release configuration
of its own (no sanitizers), unpacks it into a scratch Solmara folder beside fixture databases,
checks that its text names the Debian package of every library the programs load, starts the
client with no argument against the local service through a recording proxy, and sees the VAT
number of the company database arrive in the first getticket.
Every failure ends in one line "FAIL: reason" and exit code 1, within --time-limit seconds.

Usage: release_package.py --source DIR --build DIR --service PROGRAM --mdbfixture PROGRAM
                          [--time-limit S]"""
import argparse
import glob
import http.server
import os
import re
import subprocess
import sys
import tarfile
import tempfile
import threading
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "support"))
import client_wire  # noqa: E402
from bounded_run import Failure, run_bounded  # noqa: E402
from service_process import ServiceProcess  # noqa: E402

VAT = "02345678901"
PACKAGE_NAME = re.compile(r"brenno-\d+(\.\d+)+-linux-x86_64\.tar\.gz")
APPLICATION_FOLDER = "Brenno"
RELEASE_FILES = ["brenno", "brenno-dbread", "brenno.png", "brenno.svg", "brenno.desktop",
                 "autostart/brenno.desktop", "it.quintaro.brenno.metainfo.xml", "LEGGIMI.txt"]
PACKAGES_HEADING = "Debian packages needed"
LIBMDB_PACKAGE = "libmdb3"
GETTICKET_WAIT_S = 30
REQUEST_S = 10


def quiet(command, what):
    done = subprocess.run(command, stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True)
    if done.returncode != 0:
        raise Failure("%s failed (%d): %s" % (what, done.returncode, done.stdout[-2000:]))
    return done.stdout


def build_package(source, build):
    quiet(["cmake", "-S", source, "-B", build, "-G", "Ninja", "-DCMAKE_BUILD_TYPE=Release",
           "-DBRENNO_SANITIZE=OFF", "-DBUILD_TESTING=OFF"], "configuring the release build")
    for old in glob.glob(os.path.join(build, "brenno-*.tar.gz")):
        os.remove(old)
    quiet(["cmake", "--build", build, "--target", "package", "-j", str(os.cpu_count() or 1)],
          "cmake --build --target package")
    made = [name for name in os.listdir(build) if PACKAGE_NAME.fullmatch(name)]
    if len(made) != 1:
        raise Failure("the package target made %s, not one brenno-VERSION-linux-x86_64.tar.gz"
                      % sorted(n for n in os.listdir(build) if n.endswith(".tar.gz")))
    return os.path.join(build, made[0])


def unpack(package, solmara):
    with tarfile.open(package) as archive:
        names = archive.getnames()
        if any(not name.startswith(APPLICATION_FOLDER) for name in names):
            raise Failure("the package holds more than the folder %s: %s"
                          % (APPLICATION_FOLDER, names))
        archive.extractall(solmara)
    folder = os.path.join(solmara, APPLICATION_FOLDER)
    missing = [f for f in RELEASE_FILES if not os.path.isfile(os.path.join(folder, f))]
    if missing:
        raise Failure("the package lacks %s" % missing)
    return folder


def named_packages(text_path):
    """The package names under the heading of the release text, without their versions."""
    with open(text_path, encoding="utf-8") as text:
        lines = text.read().split("\n")
    heading = next((i for i, line in enumerate(lines) if PACKAGES_HEADING in line), None)
    if heading is None:
        raise Failure("LEGGIMI.txt has no list of Debian packages")
    names = set()
    for line in lines[heading + 1:]:
        if not line.startswith("    "):
            break
        names.update(alternative.split()[0] for alternative in line.split("|"))
    return names


def packages_of(library_paths):
    """The Debian package that installed each library, in one query because each one reads
    dpkg's whole database; Debian 12 registers some libraries under /lib."""
    candidates = {}
    for path in library_paths:
        real = os.path.realpath(path)
        for candidate in {path, real, real[len("/usr"):] if real.startswith("/usr/lib/") else real}:
            candidates[candidate] = path
    found = subprocess.run(["dpkg-query", "-S"] + sorted(candidates), stdout=subprocess.PIPE,
                           stderr=subprocess.DEVNULL, text=True).stdout
    packages = {}
    for line in found.splitlines():
        owners, _, candidate = line.partition(": ")
        if candidate in candidates:
            packages[candidates[candidate]] = owners.split(",")[0].split(":")[0].strip()
    missing = [path for path in library_paths if path not in packages]
    if missing:
        raise Failure("no Debian package installed %s" % missing)
    return packages


def check_libraries(folder, named):
    """Each library a program names (not what those libraries pull in, which their packages
    bring) comes from a package of named."""
    for program in ("brenno", "brenno-dbread"):
        path = os.path.join(folder, program)
        needed = re.findall(r"\(NEEDED\)\s+Shared library: \[([^\]]+)\]",
                            quiet(["readelf", "-d", path], "readelf"))
        resolved = dict(re.findall(r"^\s*(\S+) => (/\S+)", quiet(["ldd", path], "ldd"), re.M))
        absent = [library for library in needed if library not in resolved]
        if absent:
            raise Failure("%s needs %s, which this machine does not have" % (program, absent))
        packages = packages_of([resolved[library] for library in needed])
        for library in needed:
            if packages[resolved[library]] not in named:
                raise Failure("%s needs %s from %s, which LEGGIMI.txt does not name (it names %s)"
                              % (program, library, packages[resolved[library]], sorted(named)))


def make_databases(mdbfixture, solmara):
    company = os.path.join(solmara, "Dati", "azienda.mdb")
    os.makedirs(os.path.dirname(company))
    quiet([mdbfixture, company, "Aziende", "PIva:text", VAT], "brenno-mdbfixture")
    quiet([mdbfixture, os.path.join(solmara, "SetLKT10.mdb"), "impostazioni", "DataPath:text",
           company], "brenno-mdbfixture")


class RecordingProxy(http.server.ThreadingHTTPServer):
    """Between the client and the service: forwards each request and keeps (path, request body,
    answer body)."""

    def __init__(self, service_url):
        self.service_url = service_url
        self.exchanges = []
        self.lock = threading.Lock()
        super().__init__(("127.0.0.1", 0), ProxyHandler)

    def recorded(self):
        with self.lock:
            return list(self.exchanges)


class ProxyHandler(http.server.BaseHTTPRequestHandler):
    def do_POST(self):
        body = self.rfile.read(int(self.headers.get("Content-Length", 0))).decode("utf-8")
        status, answer = client_wire.post(self.server.service_url, self.path, body,
                                          self.headers.get("Content-Type", ""), REQUEST_S)
        with self.server.lock:
            self.server.exchanges.append((self.path, body, answer))
        data = answer.encode("utf-8")
        self.send_response(status or 502)
        self.send_header("Content-Type", "text/xml; charset=utf-8")
        self.send_header("Content-Length", str(len(data)))
        self.end_headers()
        self.wfile.write(data)

    def log_message(self, *arguments):
        pass


def first_getticket(proxy):
    deadline = time.monotonic() + GETTICKET_WAIT_S
    while time.monotonic() < deadline:
        for path, body, answer in proxy.recorded():
            if "<chat:getticket" in body:
                return path, body, answer
        time.sleep(0.2)
    raise Failure("the client sent no getticket within %d s" % GETTICKET_WAIT_S)


def run_client(folder, service, scratch):
    proxy = RecordingProxy(service.base_url)
    threading.Thread(target=proxy.serve_forever, daemon=True).start()
    runtime = os.path.join(scratch, "runtime")
    os.makedirs(runtime, mode=0o700)
    environment = dict(os.environ, QT_QPA_PLATFORM="offscreen", XDG_RUNTIME_DIR=runtime,
                       BRENNO_SERVICE_URL="http://127.0.0.1:%d" % proxy.server_address[1])
    # Started from elsewhere, so that only its own folder can lead it to the databases.
    client = subprocess.Popen([os.path.join(folder, "brenno")], cwd=scratch, env=environment)
    try:
        path, body, answer = first_getticket(proxy)
    finally:
        client.terminate()
        code = client.wait(10)
        proxy.shutdown()
    sent = re.search(r"<partitaiva[^>]*>([^<]*)</partitaiva>", body)
    if path != client_wire.ENDPOINT_DUE or not sent or sent.group(1) != VAT:
        raise Failure("the first getticket did not carry %s: %s %s" % (VAT, path, body))
    if client_wire.soap_values(answer).get("status") != "OK":
        raise Failure("the service did not find the ticket of %s: %s" % (VAT, answer))
    if code != 0:
        raise Failure("the client ended with %d on SIGTERM" % code)
    if not os.path.isfile(os.path.join(folder, "setws.ini")):
        raise Failure("the client wrote no setws.ini into its folder")


def main():
    parser = argparse.ArgumentParser()
    for option in ("--source", "--build", "--service", "--mdbfixture"):
        parser.add_argument(option, required=True)
    parser.add_argument("--time-limit", type=int, default=1200)
    arguments = parser.parse_args()

    scratch = tempfile.TemporaryDirectory()
    service = None

    def body():
        nonlocal service
        started = time.monotonic()
        package = build_package(arguments.source, arguments.build)
        print("package built in %.0f s: %s" % (time.monotonic() - started, package))
        solmara = os.path.join(scratch.name, "Solmara")
        folder = unpack(package, solmara)
        named = named_packages(os.path.join(folder, "LEGGIMI.txt"))
        check_libraries(folder, named)
        # The check must see a package missing: brenno-dbread's libmdb is the one library
        # that no Qt package brings along.
        try:
            check_libraries(folder, named - {LIBMDB_PACKAGE})
        except Failure:
            pass
        else:
            raise Failure("the library check passes without %s" % LIBMDB_PACKAGE)
        make_databases(arguments.mdbfixture, solmara)
        service = ServiceProcess(arguments.service,
                                 ["--files", os.path.join(scratch.name, "files"),
                                  "--open-ticket", VAT])
        run_client(folder, service, scratch.name)
        print("release test passed")

    def cleanup():
        if service:
            service.stop()
        scratch.cleanup()

    return run_bounded(arguments.time_limit, body, cleanup)

if __name__ == "__main__":
    sys.exit(main())
