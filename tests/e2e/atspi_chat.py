#!/usr/bin/python3
"""The real client against the real chat service, as a screen reader and a keyboard user meet it:
each message an item of the list "Messaggi" whose text is the message's, a new operator message
announced as a new child, the link an action, every push button named; a reply typed and a
picture pasted reach the operator without a mouse; SIGTERM ends the client cleanly.
Usage: atspi_chat.py BRENNO BRENNO_SERVICE (under X, on the bus dbus-run-session gives it)."""
import json
import os
import re
import shutil
import signal
import struct
import subprocess
import sys
import tempfile
import time
import urllib.request
import zlib

import gi

gi.require_version("Atspi", "2.0")
from gi.repository import Atspi, GLib  # noqa: E402

# Bounds a fault's hang; the client asks for its first message about 20 s after it starts.
GUARD_S = 90
GREETING, ANSWER, LINK = ("Buongiorno, posso aiutarla?", "Provi a riavviare Solmara, poi mi dica.",
                          "https://www.quintaro.it/assistenza")


def wait_for(what, condition):
    deadline = time.monotonic() + GUARD_S
    while time.monotonic() < deadline:
        found = condition()
        if found:
            return found
        for _ in range(20):
            GLib.MainContext.default().iteration(False)
        time.sleep(0.2)
    sys.exit("FAIL: waited %d s for %s" % (GUARD_S, what))


def walk(node, depth=0):
    """Every object under node, depth first; bounded, as a broken tree could be endless."""
    if node is not None and depth <= 30:
        yield node
        for i in range(min(node.get_child_count(), 20000)):
            yield from walk(node.get_child_at_index(i), depth + 1)


def texts(messages):
    return [Atspi.Text.get_text(item, 0, -1) if "Text" in item.get_interfaces() else None
            for item in (messages.get_child_at_index(i) for i in range(messages.get_child_count()))]


def png(width, height):
    """A green RGB picture; the standard library has no image writer."""
    def chunk(kind, data):
        crc = struct.pack(">I", zlib.crc32(kind + data))
        return struct.pack(">I", len(data)) + kind + data + crc
    header = struct.pack(">IIBBBBB", width, height, 8, 2, 0, 0, 0)
    rows = (b"\0" + b"\x20\x80\x20" * width) * height
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) + chunk(b"IDAT", zlib.compress(rows))
            + chunk(b"IEND", b""))


def window(name):
    return subprocess.run(["xdotool", "search", "--sync", "--name", name], capture_output=True,
                          text=True, timeout=GUARD_S).stdout.split()[0]


def xdotool(*arguments):
    subprocess.run(["xdotool", *arguments], check=True, timeout=GUARD_S)


def main():
    brenno, service_program = sys.argv[1:3]
    signal.signal(signal.SIGALRM, lambda *_: sys.exit("FAIL: time limit"))
    signal.alarm(3 * GUARD_S)
    root = tempfile.mkdtemp(prefix="brenno-atspi-")
    processes = []
    try:
        service = subprocess.Popen([service_program, "--memory", "--open-ticket", "01234567890"],
                                   stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True)
        processes.append(service)
        console = next(line for line in service.stdout if "operator console at " in line)
        base, token = console.split("operator console at ", 1)[1].strip().split("/operator#token=")

        def operator(path, body=None):
            request = urllib.request.Request(
                base + "/api/tickets" + path, None if body is None else json.dumps(body).encode(),
                {"Authorization": "Bearer " + token, "Content-Type": "application/json"})
            with urllib.request.urlopen(request, timeout=GUARD_S) as answer:
                return json.load(answer)

        ticket = operator("")["tickets"][0]["id"]
        operator("/%d/messages" % ticket, {"testo": GREETING})
        for program in (brenno, os.path.join(os.path.dirname(brenno), "brenno-dbread")):
            if os.path.exists(program):
                shutil.copy(program, root)
        processes.append(subprocess.Popen(
            [os.path.join(root, "brenno"), "01234567890"], cwd=root, stderr=subprocess.DEVNULL,
            env=dict(os.environ, BRENNO_SERVICE_URL=base, QT_QPA_PLATFORM="xcb",
                     QT_LINUX_ACCESSIBILITY_ALWAYS_ON="1")))
        Atspi.init()
        desktop = Atspi.get_desktop(0)
        app = wait_for("the client on the accessibility bus", lambda: next(
            (a for a in map(desktop.get_child_at_index, range(desktop.get_child_count()))
             if a is not None and a.get_process_id() == processes[-1].pid), None))
        messages = wait_for("the list \"Messaggi\"", lambda: next(
            (n for n in walk(app)
             if n.get_role() == Atspi.Role.LIST and n.get_name() == "Messaggi"), None))
        wait_for("the operator's greeting", lambda: texts(messages) == [GREETING])
        if not messages.get_child_at_index(0).get_name().startswith("Operatore, "):
            sys.exit("FAIL: the greeting is not named as the operator's")

        created = []
        listener = Atspi.EventListener.new(lambda event: created.append(event.any_data))
        listener.register("object:children-changed:add")
        operator("/%d/messages" % ticket, {"testo": ANSWER})
        operator("/%d/messages" % ticket, {"testo": LINK})
        wait_for("the two new messages", lambda: len(texts(messages)) >= 3)
        if texts(messages) != [GREETING, ANSWER, LINK]:
            sys.exit("FAIL: the list reads %r" % texts(messages))
        wait_for("an event for the new operator message", lambda: [
            c for c in created if c is not None and c.get_name().startswith("Operatore")])
        listener.deregister("object:children-changed:add")
        link = messages.get_child_at_index(2)
        if "Action" not in link.get_interfaces() or Atspi.Action.get_n_actions(link) < 1:
            sys.exit("FAIL: the link cannot be activated")
        unnamed = [node for node in walk(app)
                   if node.get_role() == Atspi.Role.PUSH_BUTTON and not node.get_name()]
        if unnamed:
            sys.exit("FAIL: %d push buttons without a name" % len(unnamed))

        def customer_said(pattern, attach):
            return [m for m in operator("/%d/messages" % ticket)["messages"]
                    if m["idoperatore"] == 0 and m["attach"] == attach
                    and re.fullmatch(pattern, m["testo"])]

        # The window gives its keys to the input line; a reply typed there goes out on Return.
        chat = window("Servizio clienti Quintaro")
        xdotool("windowfocus", "--sync", chat, "type", "--delay", "20", "grazie, ora va")
        xdotool("key", "Return")
        wait_for("the typed reply at the operator", lambda: customer_said("grazie, ora va", 0))

        # Ctrl+V with a picture on the X clipboard (xclip's while it runs), Return on the preview.
        with open(os.path.join(root, "picture.png"), "wb") as f:
            f.write(png(2400, 1200))
        clipboard = subprocess.Popen(["xclip", "-quiet", "-selection", "clipboard", "-target",
                                      "image/png", "-in", os.path.join(root, "picture.png")],
                                     stderr=subprocess.PIPE, text=True)
        processes.append(clipboard)
        wait_for("xclip to own the clipboard", lambda: "Waiting" in clipboard.stderr.readline())
        xdotool("windowfocus", "--sync", chat, "key", "ctrl+v")
        xdotool("windowfocus", "--sync", window("Invia immagine"), "key", "Return")
        wait_for("the pasted picture at the operator", lambda: customer_said(
            r"%d_\d{14}\.jpg" % ticket, 1))

        client = processes[1]
        client.terminate()
        if client.wait(GUARD_S) != 0:
            sys.exit("FAIL: SIGTERM ended the client with %d" % client.returncode)
        print("PASS: every message an item of \"Messaggi\", every button named, keys alone")
    finally:
        for process in processes:
            process.terminate()
            try:
                process.wait(10)
            except subprocess.TimeoutExpired:
                process.kill()
        shutil.rmtree(root, ignore_errors=True)


if __name__ == "__main__":
    main()
