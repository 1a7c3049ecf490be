#!/usr/bin/python3
"""The release package, built in a release configuration of its own and unpacked beside fixture
Solmara databases: the client, started with no argument, sends the company database's VAT number
in its first getticket. Usage: release_package.py SOURCE BUILD BRENNO_MDBFIXTURE"""
import http.server
import os
import re
import signal
import subprocess
import sys
import tarfile
import tempfile
import time

VAT = "02345678901"
RELEASE_FILES = ["brenno", "brenno-dbread", "brenno.png", "brenno.svg", "brenno.desktop",
                 "autostart/brenno.desktop", "it.quintaro.brenno.metainfo.xml", "LEGGIMI.txt"]


def quiet(*command):
    done = subprocess.run(command, stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True)
    if done.returncode != 0:
        sys.exit("FAIL: %s failed (%d): %s" % (command, done.returncode, done.stdout[-2000:]))
    return done.stdout


def build_package(source, build):
    quiet("cmake", "-S", source, "-B", build, "-G", "Ninja", "-DCMAKE_BUILD_TYPE=Release",
          "-DBRENNO_SANITIZE=OFF", "-DBUILD_TESTING=OFF")
    said = quiet("cmake", "--build", build, "--target", "package", "-j", str(os.cpu_count() or 1))
    made = re.search(r"package: (/\S+/brenno-[\d.]+-linux-x86_64\.tar\.gz) generated", said)
    if not made:
        sys.exit("FAIL: the package target made no brenno-VERSION-linux-x86_64.tar.gz: " + said)
    return made.group(1)


def unpack(package, solmara):
    with tarfile.open(package) as archive:
        archive.extractall(solmara)
    folder = os.path.join(solmara, "Brenno")
    missing = [f for f in RELEASE_FILES if not os.path.isfile(os.path.join(folder, f))]
    if missing:
        sys.exit("FAIL: the package lacks %s" % missing)
    return folder


class Recorder(http.server.BaseHTTPRequestHandler):
    """Stands for the service: keeps the last request's path and body and answers none."""

    def do_POST(self):
        length = int(self.headers.get("Content-Length", 0))
        self.server.last = (self.path, self.rfile.read(length).decode("utf-8"))
        self.send_error(503)


def run_client(folder, scratch):
    recorder = http.server.HTTPServer(("127.0.0.1", 0), Recorder)
    recorder.last, recorder.timeout = ("", ""), 1
    os.makedirs(os.path.join(scratch, "runtime"), mode=0o700)
    environment = dict(os.environ, QT_QPA_PLATFORM="offscreen",
                       XDG_RUNTIME_DIR=os.path.join(scratch, "runtime"),
                       BRENNO_SERVICE_URL="http://127.0.0.1:%d" % recorder.server_address[1])
    # Started from elsewhere, so that only its own folder can lead it to the databases.
    client = subprocess.Popen([os.path.join(folder, "brenno")], cwd=scratch, env=environment)
    deadline = time.monotonic() + 30
    try:
        while "<chat:getticket" not in recorder.last[1] and time.monotonic() < deadline:
            recorder.handle_request()
    finally:
        client.terminate()
        code = client.wait(10)
    sent = re.search(r"<partitaiva[^>]*>([^<]*)</partitaiva>", recorder.last[1])
    if not recorder.last[0].endswith("/ws_chat_due.php") or not sent or sent.group(1) != VAT:
        sys.exit("FAIL: the first getticket did not carry %s: %s" % (VAT, recorder.last))
    if code != 0:
        sys.exit("FAIL: the client ended with %d on SIGTERM" % code)


def main():
    source, build, mdbfixture = sys.argv[1:]
    # The alarm fails the run; leaving the with block removes the scratch folder.
    signal.signal(signal.SIGALRM, lambda *_: sys.exit("FAIL: time limit reached"))
    signal.alarm(1200)
    with tempfile.TemporaryDirectory() as scratch:
        package = build_package(source, build)
        solmara = os.path.join(scratch, "Solmara")
        folder = unpack(package, solmara)
        company = os.path.join(solmara, "Dati", "azienda.mdb")
        os.makedirs(os.path.dirname(company))
        quiet(mdbfixture, company, "Aziende", "PIva:text", VAT)
        quiet(mdbfixture, os.path.join(solmara, "SetLKT10.mdb"), "impostazioni", "DataPath:text",
              company)
        run_client(folder, scratch)
    print("release test passed")


if __name__ == "__main__":
    main()
