#!/usr/bin/python3
"""The chat window as a screen reader finds it over AT-SPI: the real client against the real
chat service, on the session bus that dbus-run-session gives this script, with the desktop's
accessibility bus started on demand. Each message is an item of the list "Messaggi" whose text
is the message's text; a new operator message is announced as a new child; no push button is
left without a name. Usage: atspi_chat.py BRENNO BRENNO_SERVICE (under X, on a private bus)."""
import json
import os
import shutil
import signal
import subprocess
import sys
import tempfile
import time
import urllib.request

import gi

gi.require_version("Atspi", "2.0")
from gi.repository import Atspi, GLib  # noqa: E402

VAT = "01234567890"
# Bounds on waits so that a fault ends the test instead of hanging it; they measure nothing.
# The client asks for its first message about 20 s after it starts.
GUARD_S = 90
GREETING = "Buongiorno, posso aiutarla?"
LINK = "https://www.quintaro.it/assistenza"
ANSWER = "Provi a riavviare Solmara, poi mi dica."


class Failure(Exception):
    pass


def start_service(program):
    service = subprocess.Popen([program, "--memory", "--open-ticket", VAT],
                               stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True)
    deadline = time.monotonic() + GUARD_S
    for line in service.stdout:
        if "operator console at " in line:
            console = line.split("operator console at ", 1)[1].strip()
            base, token = console.split("/operator#token=", 1)
            return service, base, token
        if time.monotonic() > deadline:
            break
    raise Failure("brenno-service printed no console address")


def operator_call(base, token, path, body=None):
    request = urllib.request.Request(base + "/api/tickets" + path,
                                     data=None if body is None else json.dumps(body).encode(),
                                     headers={"Authorization": "Bearer " + token,
                                              "Content-Type": "application/json"})
    with urllib.request.urlopen(request, timeout=GUARD_S) as answer:
        return json.load(answer)


def wait_for(what, condition):
    """Runs the event loop until condition() gives something, or fails naming what it waited for."""
    deadline = time.monotonic() + GUARD_S
    context = GLib.MainContext.default()
    while time.monotonic() < deadline:
        found = condition()
        if found:
            return found
        for _ in range(20):
            context.iteration(False)
        time.sleep(0.2)
    raise Failure("waited %d s for %s" % (GUARD_S, what))


def client_app(pid):
    desktop = Atspi.get_desktop(0)
    for i in range(desktop.get_child_count()):
        app = desktop.get_child_at_index(i)
        if app is not None and app.get_process_id() == pid:
            return app
    return None


def walk(node, depth=0):
    """Every object under node, depth first; bounded, as a broken tree could be endless."""
    if node is None or depth > 30:
        return
    yield node
    for i in range(min(node.get_child_count(), 20000)):
        yield from walk(node.get_child_at_index(i), depth + 1)


def message_list(app):
    for node in walk(app):
        if node.get_role() == Atspi.Role.LIST and node.get_name() == "Messaggi":
            return node
    return None


def items(messages):
    """(name, text) of each item of the list."""
    found = []
    for i in range(messages.get_child_count()):
        item = messages.get_child_at_index(i)
        text = Atspi.Text.get_text(item, 0, -1) if "Text" in item.get_interfaces() else None
        found.append((item.get_name(), text))
    return found


def check(app, service_base, token, ticket):
    messages = wait_for("the list \"Messaggi\"", lambda: message_list(app))
    wait_for("the operator's greeting", lambda: items(messages))
    greeting = items(messages)[0]
    if not greeting[0].startswith("Operatore, ") or greeting[1] != GREETING:
        raise Failure("the first item is %r, not the operator's greeting" % (greeting,))

    created = []
    listener = Atspi.EventListener.new(lambda event: created.append(event.any_data))
    listener.register("object:children-changed:add")
    operator_call(service_base, token, "/%d/messages" % ticket, {"testo": ANSWER})
    operator_call(service_base, token, "/%d/messages" % ticket, {"testo": LINK})
    wait_for("the two new messages", lambda: len(items(messages)) >= 3)
    texts = [text for _, text in items(messages)]
    if texts != [GREETING, ANSWER, LINK]:
        raise Failure("the list reads %r" % texts)
    wait_for("an event for the new operator message",
             lambda: [c for c in created if c is not None and c.get_name().startswith("Operatore")])
    link = messages.get_child_at_index(2)
    if "Action" not in link.get_interfaces() or Atspi.Action.get_n_actions(link) < 1:
        raise Failure("the link cannot be activated")

    unnamed = [node.get_role_name() for node in walk(app)
               if node.get_role() == Atspi.Role.PUSH_BUTTON and not node.get_name()]
    if unnamed:
        raise Failure("push buttons without a name: %r" % unnamed)
    listener.deregister("object:children-changed:add")


def main():
    brenno, service_program = sys.argv[1], sys.argv[2]
    signal.signal(signal.SIGALRM, lambda *_: (_ for _ in ()).throw(Failure("time limit")))
    signal.alarm(3 * GUARD_S)
    root = tempfile.mkdtemp(prefix="brenno-atspi-")
    service = client = None
    try:
        service, base, token = start_service(service_program)
        ticket = operator_call(base, token, "")["tickets"][0]["id"]
        operator_call(base, token, "/%d/messages" % ticket, {"testo": GREETING})
        app_folder = os.path.join(root, "app")
        os.mkdir(app_folder)
        for program in (brenno, os.path.join(os.path.dirname(brenno), "brenno-dbread")):
            if os.path.exists(program):
                shutil.copy(program, app_folder)
        environment = dict(os.environ, BRENNO_SERVICE_URL=base, QT_QPA_PLATFORM="xcb",
                           QT_LINUX_ACCESSIBILITY_ALWAYS_ON="1")
        with open(os.path.join(root, "client-stderr.txt"), "w") as errors:
            client = subprocess.Popen([os.path.join(app_folder, "brenno"), VAT], cwd=app_folder,
                                      env=environment, stderr=errors)
        Atspi.init()
        app = wait_for("the client on the accessibility bus", lambda: client_app(client.pid))
        check(app, base, token, ticket)
        print("PASS: every message read as an item of \"Messaggi\", every button named")
        return 0
    except Failure as failure:
        print("FAIL: %s" % failure)
        return 1
    finally:
        signal.alarm(0)
        for process in (client, service):
            if process is not None and process.poll() is None:
                process.terminate()
                try:
                    process.wait(10)
                except subprocess.TimeoutExpired:
                    process.kill()
        shutil.rmtree(root, ignore_errors=True)


if __name__ == "__main__":
    sys.exit(main())
