#!/usr/bin/python3
"""The operator console in headless chromium against a brenno-service of its own, from outside
the page: the ticket, a message a getchat delivers, a customer's reply and picture as the client
posts them, closing the ticket, no error logged. Failures end in one line "FAIL: reason"."""
import argparse
import base64
import contextlib
import os
import sys
import tempfile
import urllib.error
import urllib.request

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
PICTURE_SIZE = [40, 30]  # a plain red PNG
PICTURE = base64.b64decode(
    "iVBORw0KGgoAAAANSUhEUgAAACgAAAAeCAIAAADRv8uKAAAAKElEQVR42u3NsQ0AAAjAoP7/tJ6hAwk7TZ1ILBaLxWKx"
    "WCwWi8V/4wU+nauNixxYhAAAAABJRU5ErkJggg==")
WAIT_S = 20  # for each thing the page should show; the time limit bounds the whole run
REQUEST_S = 10


def check_served(url):
    """Before a browser hides the status."""
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


# What the page shows an operator, in one call because the page rebuilds its lists as it refreshes.
PAGE = """
const texts = (selector) => [...document.querySelectorAll(selector)].map((e) => e.innerText);
const text = (id) => document.getElementById(id)?.textContent ?? '';
const picture = [...document.querySelectorAll('#conversation .msg img')]
    .find((i) => i.alt === arguments[0] && i.complete && i.naturalWidth);
return {tickets: texts('#tickets button'), title: text('title'), error: text('error'),
        operator: texts('#conversation .msg.operator'),
        customer: texts('#conversation .msg.customer'),
        picture: picture ? [picture.naturalWidth, picture.naturalHeight] : null,
        compose: !document.getElementById('compose').hidden};"""


def wait_for(session, what, condition):
    page = lambda: session.execute_script(PAGE, PICTURE_NAME)  # noqa: E731
    try:
        WebDriverWait(session, WAIT_S, poll_frequency=0.2).until(
            lambda _: condition(page()) or page()["error"])
    except TimeoutException:
        pass
    shown = page()
    if not condition(shown):
        raise Failure("the console did not show %s%s" % (
            what, ': it shows "%s"' % shown["error"] if shown["error"] else " within %d s" % WAIT_S))


def soap(service, envelope, what):
    status, answer = client_wire.post_soap(service.base_url, client_wire.ENDPOINT_TRE, envelope,
                                           REQUEST_S)
    values = client_wire.soap_values(answer)
    if status != 200 or "status" not in values:
        raise Failure("%s answered HTTP %d: %s" % (what, status, answer))
    return values


def run(service, session, console_url):
    session.get(console_url)
    if session.title != "Brenno - console operatore":
        raise Failure("the page at %s is not the console: title %r" % (console_url, session.title))
    wait_for(session, "ticket #1", lambda page: "#1 " + VAT in page["tickets"])
    wait_for(session, "the conversation of ticket #1",
             lambda page: page["title"] == "Ticket #1 - P.IVA " + VAT)

    session.find_element(By.ID, "text").send_keys(OPERATOR_TEXT)
    session.find_element(By.ID, "send").click()
    wait_for(session, "the operator's message",
             lambda page: any(m.startswith(OPERATOR_TEXT) for m in page["operator"]))
    delivered = soap(service, client_wire.get_chat(TICKET, 0, VAT), "getchat")
    if (delivered.get("status"), delivered.get("testo"), delivered.get("attach")) != (
            "OK", OPERATOR_TEXT, "0") or int(delivered.get("idoperatore", "0")) <= 0:
        raise Failure("getchat did not hand over the operator's message: %s" % delivered)

    status, answer = client_wire.upload(service.base_url, PICTURE_NAME, PICTURE, REQUEST_S)
    if status != 200:
        raise Failure("the upload answered HTTP %d: %s" % (status, answer))
    for text, attach in ((CUSTOMER_TEXT, False), (PICTURE_NAME, True)):
        if soap(service, client_wire.set_chat(text, TICKET, attach), "setchat")["status"] != "OK":
            raise Failure("setchat of %r was refused" % text)
    wait_for(session, "the customer's reply",
             lambda page: any(m.startswith(CUSTOMER_TEXT) for m in page["customer"]))
    wait_for(session, "the customer's picture", lambda page: page["picture"] == PICTURE_SIZE)

    session.find_element(By.ID, "close").click()
    wait_for(session, "ticket #1 closed",
             lambda page: "#1 %s (chiuso)" % VAT in page["tickets"] and not page["compose"])
    if soap(service, client_wire.get_chat(TICKET, 0, VAT), "getchat")["status"] != "noticket":
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
    # The drills: a page that is not served, a wrong token.
    parser.add_argument("--console-path")
    parser.add_argument("--wrong-token", action="store_true")
    arguments = parser.parse_args()

    stack = contextlib.ExitStack()  # undone in the reverse order under the cleanup's bound

    def body():
        scratch = stack.enter_context(tempfile.TemporaryDirectory())
        service = ServiceProcess(arguments.service, ["--files", scratch, "--open-ticket", VAT])
        stack.callback(service.stop)
        token = service.token[:-1] + chr(ord(service.token[-1]) ^ 1) \
            if arguments.wrong_token else service.token
        page = service.base_url + (arguments.console_path or service.console_path)
        check_served(page)
        session = open_browser(arguments.browser, arguments.driver,
                               os.path.join(scratch, "profile"))
        stack.callback(session.quit)
        run(service, session, page + "#token=" + token)
        print("console test passed")

    return run_bounded(arguments.time_limit, body, stack.close, [WebDriverException])


if __name__ == "__main__":
    sys.exit(main())
