#!/usr/bin/python3
"""An operator at the console of a brenno-service of its own, in headless chromium, writes to a
client that posts as the real one does, reads the reply and closes the ticket; the page logs no
error. Usage: console_browser.py BRENNO_SERVICE"""
import base64
import contextlib
import os
import signal
import subprocess
import sys
import tempfile
import urllib.request
import xml.etree.ElementTree as ElementTree

from selenium import webdriver
from selenium.common.exceptions import TimeoutException
from selenium.webdriver.chrome.service import Service
from selenium.webdriver.common.by import By
from selenium.webdriver.support.ui import WebDriverWait

VAT = "11111111111"
OPERATOR_TEXT = "Buongiorno, è collegato?"
CUSTOMER_TEXT = "Sì, ecco l'errore"

# What the page shows, in one call because the page rebuilds its lists as it refreshes.
PAGE = """
const texts = (selector) => [...document.querySelectorAll(selector)].map((e) => e.innerText);
const text = (id) => document.getElementById(id).textContent;
return {title: text('title'), error: text('error'),
        operator: texts('#conversation .msg.operator'),
        customer: texts('#conversation .msg.customer')};"""


def client_says(service_url, operation, fields):
    """A request to ws_chat_tre as the client sends it; the answer's fields by name."""
    values = "".join("<%s>%s</%s>" % (name, value, name) for name, value in fields)
    envelope = ("<soapenv:Envelope xmlns:soapenv='http://schemas.xmlsoap.org/soap/envelope/'>"
                "<soapenv:Body><chat:%s xmlns:chat='chat'>%s</chat:%s></soapenv:Body>"
                "</soapenv:Envelope>" % (operation, values, operation))
    request = urllib.request.Request(
        service_url + "/RovizeveReravav/sync_connector/ws_chat_tre.php", envelope.encode(),
        {"Content-Type": "text/xml;charset=UTF-8"})
    with urllib.request.urlopen(request, timeout=10) as answer:
        body = ElementTree.fromstring(answer.read()).find("{*}Body/*")
    return {child.tag.split("}")[-1]: child.text for child in body}


def wait_for(browser, what, condition):
    try:
        # For each thing the page should show; the time limit bounds the whole run.
        WebDriverWait(browser, 20, 0.2).until(lambda _: condition(browser.execute_script(PAGE)))
    except TimeoutException:
        sys.exit("FAIL: the console did not show %s: %s" % (what, browser.execute_script(PAGE)))


def getchat(service_url, last_read):
    return client_says(service_url, "getchat", [("id", 1), ("letto", last_read),
                                                ("stascrivendo", 0), ("partitaiva", VAT)])


def run(service_url, browser, console_url):
    browser.get(console_url)
    wait_for(browser, "ticket #1", lambda page: page["title"] == "Ticket #1 - P.IVA " + VAT)
    browser.find_element(By.ID, "text").send_keys(OPERATOR_TEXT)
    browser.find_element(By.ID, "send").click()
    wait_for(browser, "the operator's message",
             lambda page: any(m.startswith(OPERATOR_TEXT) for m in page["operator"]))
    delivered = getchat(service_url, 0)
    if delivered.get("testo") != OPERATOR_TEXT:
        sys.exit("FAIL: getchat did not hand over the operator's message: %s" % delivered)

    # The client sends its text as Base64 of its Windows-1252 bytes.
    testo = base64.b64encode(CUSTOMER_TEXT.encode("cp1252")).decode()
    client_says(service_url, "setchat", [("idticket", 1), ("testo", testo), ("attach", 0)])
    wait_for(browser, "the customer's reply",
             lambda page: any(m.startswith(CUSTOMER_TEXT) for m in page["customer"]))

    browser.find_element(By.ID, "close").click()
    wait_for(browser, "ticket #1 closed",
             lambda page: page["title"] == "Ticket #1 - P.IVA %s (chiuso)" % VAT)
    ended = getchat(service_url, 1)
    if ended.get("status") != "noticket":
        sys.exit("FAIL: the ticket the console closed is still open for the client: %s" % ended)

    # The browser asks for an icon of its own accord, which the service does not have.
    errors = [entry["message"] for entry in browser.get_log("browser")
              if entry["level"] == "SEVERE" and "/favicon.ico " not in entry["message"]]
    if errors:
        sys.exit("FAIL: the page logged errors: " + " | ".join(errors))


def main():
    # The alarm fails the run; leaving the with blocks stops what it started.
    signal.signal(signal.SIGALRM, lambda *_: sys.exit("FAIL: time limit reached"))
    signal.alarm(90)
    with tempfile.TemporaryDirectory() as scratch, contextlib.ExitStack() as stack:
        service = subprocess.Popen([sys.argv[1], "--port", "0", "--files", scratch,
                                    "--open-ticket", VAT], stdout=subprocess.PIPE, text=True)
        stack.callback(service.wait)
        stack.callback(service.terminate)
        console = next((line.split(" at ")[1].strip() for line in service.stdout
                        if line.startswith("operator console at ")), None)
        if not console:
            sys.exit("FAIL: brenno-service printed no console address (its errors above)")
        options = webdriver.ChromeOptions()
        for argument in ("--headless=new", "--no-sandbox", "--disable-gpu",
                         "--user-data-dir=" + os.path.join(scratch, "profile")):
            options.add_argument(argument)
        options.set_capability("goog:loggingPrefs", {"browser": "ALL"})
        browser = webdriver.Chrome(service=Service("/usr/bin/chromedriver"), options=options)
        stack.callback(browser.quit)
        run(console.partition("/operator")[0], browser, console)
    print("console test passed")


if __name__ == "__main__":
    main()
