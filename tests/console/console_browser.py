#!/usr/bin/python3
"""The operator console in headless chromium against a brenno-service of its own, from outside
the page: it sees the ticket, writes a message that a getchat then delivers, sees a customer's
reply and picture posted as the client posts them, closes the ticket, and logs no error.
Every failure ends in one line "FAIL: reason" and exit code 1, within --time-limit seconds.

Usage: console_browser.py SERVICE-PROGRAM [--time-limit S] [--browser PATH] [--driver PATH]
                          [--console-path PATH] [--wrong-token]
The last four drill the failures: a missing browser, a page that is not served, a wrong token."""
import argparse
import os
import struct
import sys
import tempfile
import urllib.error
import urllib.request
import zlib

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "support"))
import client_wire  # noqa: E402
from bounded_run import Failure, run_bounded  # noqa: E402
from service_process import ServiceProcess  # noqa: E402

try:
    from selenium import webdriver
    from selenium.common.exceptions import TimeoutException, WebDriverException
    from selenium.webdriver.chrome.service import Service
    from selenium.webdriver.common.by import By
    from selenium.webdriver.support.ui import WebDriverWait
except ImportError:
    print("FAIL: python3-selenium is not installed for /usr/bin/python3 (scripts/setup)",
          file=sys.stderr)
    sys.exit(1)

VAT = "11111111111"
TICKET = 1  # the first ticket the service opens
OPERATOR_TEXT = "Buongiorno, è collegato?"
CUSTOMER_TEXT = "Sì, ecco l'errore"
PICTURE_NAME = "1_20261207101500.png"
PICTURE_SIZE = (40, 30)
WAIT_S = 20  # for each thing the page should show; the time limit bounds the whole run
REQUEST_S = 10


def png(width, height):
    """A plain red picture, for the page to show at its own size."""
    def chunk(kind, data):
        return (struct.pack(">I", len(data)) + kind + data +
                struct.pack(">I", zlib.crc32(kind + data)))
    rows = b"".join(b"\0" + b"\xff\0\0" * width for _ in range(height))
    return (b"\x89PNG\r\n\x1a\n" +
            chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 2, 0, 0, 0)) +
            chunk(b"IDAT", zlib.compress(rows)) + chunk(b"IEND", b""))


def check_served(url):
    """The console page as the service serves it, before a browser hides the status."""
    try:
        with urllib.request.urlopen(url, timeout=REQUEST_S) as answer:
            if b"<script>" not in answer.read():
                raise Failure("the service served no console script at " + url)
    except urllib.error.HTTPError as error:
        raise Failure("the service did not serve the console page at %s: HTTP %d"
                      % (url, error.code))
    except OSError as error:
        raise Failure("the console page at %s is unreachable: %s" % (url, error))


def open_browser(browser, driver, profile):
    for program, package in ((browser, "chromium"), (driver, "chromium-driver")):
        if not os.access(program, os.X_OK):
            raise Failure("no %s at %s: install %s and python3-selenium (scripts/setup)"
                          % (package, program, package))
    options = webdriver.ChromeOptions()
    options.binary_location = browser
    for argument in ("--headless=new", "--no-sandbox", "--disable-gpu", "--no-first-run",
                     "--disable-background-networking", "--disable-component-update",
                     "--disable-sync", "--user-data-dir=" + profile):
        options.add_argument(argument)
    options.set_capability("goog:loggingPrefs", {"browser": "ALL"})
    session = webdriver.Chrome(service=Service(executable_path=driver), options=options)
    session.set_page_load_timeout(WAIT_S)
    return session


class Console:
    """The page as an operator sees it: what stands in its elements, nothing inside it."""

    def __init__(self, session):
        self.session = session

    def text(self, element_id):
        return self.session.execute_script(
            "const e = document.getElementById(arguments[0]); return e ? e.textContent : ''",
            element_id)

    def wait_for(self, what, condition):
        try:
            WebDriverWait(self.session, WAIT_S, poll_frequency=0.2).until(
                lambda _: condition() or self.text("error"))
        except TimeoutException:
            pass
        if not condition():
            shown = self.text("error")
            raise Failure("the console did not show %s%s" %
                          (what, ': it shows "%s"' % shown if shown else " within %d s" % WAIT_S))

    def texts(self, selector):
        """In one call, because the page rebuilds its lists as it refreshes."""
        return self.session.execute_script(
            "return [...document.querySelectorAll(arguments[0])].map((e) => e.innerText)",
            selector)

    def picture_size(self, name):
        """The natural size of the loaded picture that a message shows, or None."""
        return self.session.execute_script(
            "const p = [...document.querySelectorAll('#conversation .msg img')]"
            "  .find((i) => i.alt === arguments[0]);"
            "return p && p.complete && p.naturalWidth ? [p.naturalWidth, p.naturalHeight] : null",
            name)

    def click(self, element_id):
        self.session.find_element(By.ID, element_id).click()

    def type_into(self, element_id, text):
        self.session.find_element(By.ID, element_id).send_keys(text)

    def visible(self, element_id):
        return self.session.find_element(By.ID, element_id).is_displayed()


def getchat(service, last_message_id):
    status, answer = client_wire.post_soap(service.base_url, client_wire.ENDPOINT_TRE,
                                           client_wire.get_chat(TICKET, last_message_id, VAT),
                                           REQUEST_S)
    if status != 200:
        raise Failure("getchat answered HTTP %d: %s" % (status, answer))
    return client_wire.soap_values(answer)


def customer_sends(service, text, attach):
    status, answer = client_wire.post_soap(service.base_url, client_wire.ENDPOINT_TRE,
                                           client_wire.set_chat(text, TICKET, attach), REQUEST_S)
    if client_wire.soap_values(answer).get("status") != "OK":
        raise Failure("setchat of %r answered HTTP %d: %s" % (text, status, answer))


def run(service, session, console_url):
    console = Console(session)
    session.get(console_url)
    if session.title != "Brenno - console operatore":
        raise Failure("the page at %s is not the console: title %r" % (console_url, session.title))

    console.wait_for("ticket #1", lambda: "#1 " + VAT in console.texts("#tickets button"))
    console.wait_for("the conversation of ticket #1",
                     lambda: console.text("title") == "Ticket #1 - P.IVA " + VAT)

    console.type_into("text", OPERATOR_TEXT)
    console.click("send")
    console.wait_for("the operator's message", lambda: any(
        m.startswith(OPERATOR_TEXT) for m in console.texts("#conversation .msg.operator")))
    delivered = getchat(service, 0)
    if (delivered.get("status"), delivered.get("testo"), delivered.get("attach")) != (
            "OK", OPERATOR_TEXT, "0") or int(delivered.get("idoperatore", "0")) <= 0:
        raise Failure("getchat did not hand over the operator's message: %s" % delivered)

    customer_sends(service, CUSTOMER_TEXT, False)
    status, answer = client_wire.upload(service.base_url, PICTURE_NAME, png(*PICTURE_SIZE),
                                        REQUEST_S)
    if status != 200:
        raise Failure("the upload answered HTTP %d: %s" % (status, answer))
    customer_sends(service, PICTURE_NAME, True)
    console.wait_for("the customer's reply", lambda: any(
        m.startswith(CUSTOMER_TEXT) for m in console.texts("#conversation .msg.customer")))
    console.wait_for("the customer's picture",
                     lambda: console.picture_size(PICTURE_NAME) == list(PICTURE_SIZE))

    console.click("close")
    console.wait_for("ticket #1 closed",
                     lambda: "#1 %s (chiuso)" % VAT in console.texts(
                         "#tickets button") and not console.visible("compose"))
    if getchat(service, 0).get("status") != "noticket":
        raise Failure("the ticket the console closed is still open for the client")

    # The browser asks for an icon of its own accord, which the service does not have.
    icon = service.base_url + "/favicon.ico "
    errors = [entry["message"] for entry in session.get_log("browser")
              if entry["level"] == "SEVERE" and not entry["message"].startswith(icon)]
    if errors:
        raise Failure("the page logged errors: " + " | ".join(errors))


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("service")
    parser.add_argument("--time-limit", type=int, default=90)
    parser.add_argument("--browser", default="/usr/bin/chromium")
    parser.add_argument("--driver", default="/usr/bin/chromedriver")
    parser.add_argument("--console-path", help="open this path instead of the printed one")
    parser.add_argument("--wrong-token", action="store_true",
                        help="change the printed token's last character")
    arguments = parser.parse_args()

    scratch = tempfile.TemporaryDirectory()
    service = session = None

    def body():
        nonlocal service, session
        service = ServiceProcess(arguments.service,
                                 ["--files", scratch.name, "--open-ticket", VAT])
        token = service.token[:-1] + chr(ord(service.token[-1]) ^ 1) \
            if arguments.wrong_token else service.token
        page = service.base_url + (arguments.console_path or service.console_path)
        check_served(page)
        session = open_browser(arguments.browser, arguments.driver,
                               os.path.join(scratch.name, "profile"))
        run(service, session, page + "#token=" + token)
        print("console test passed")

    def cleanup():
        try:
            if session:
                session.quit()
        finally:
            if service:
                service.stop()
            scratch.cleanup()

    return run_bounded(arguments.time_limit, body, cleanup, [WebDriverException])

if __name__ == "__main__":
    sys.exit(main())
