"""The chat service's wire as the client sends it, for tests written in Python."""
import base64
import urllib.error
import urllib.parse
import urllib.request
import xml.etree.ElementTree as ElementTree
from xml.sax.saxutils import escape

ENDPOINT_DUE = "/RovizeveReravav/sync_connector/ws_chat_due.php"  # getticket, setreadchat
ENDPOINT_TRE = "/RovizeveReravav/sync_connector/ws_chat_tre.php"  # getchat, setchat
UPLOAD = "/RovizeveReravav/KD_API/Ticket/SendFileChat.php?filename="


def base64_lines(data):
    """In lines of 72 characters ended by CRLF, as the client encodes."""
    encoded = base64.b64encode(data).decode("ascii")
    return "\r\n".join(encoded[i:i + 72] for i in range(0, len(encoded), 72))


def _envelope(operation, parameters):
    values = "".join("<%s xsi:type='xsd:%s'>%s</%s>" % (name, kind, escape(str(value)), name)
                     for name, kind, value in parameters)
    return ("<soapenv:Envelope xmlns:xsi='http://www.w3.org/2001/XMLSchema-instance'"
            " xmlns:xsd='http://www.w3.org/2001/XMLSchema'"
            " xmlns:soapenv='http://schemas.xmlsoap.org/soap/envelope/' xmlns:chat='chat'>"
            "<soapenv:Header/><soapenv:Body><chat:%s"
            " soapenv:encodingStyle='http://schemas.xmlsoap.org/soap/encoding/'>%s</chat:%s>"
            "</soapenv:Body></soapenv:Envelope>" % (operation, values, operation))


def get_chat(ticket, last_message_id, vat):
    return _envelope("getchat", [("id", "integer", ticket), ("letto", "integer", last_message_id),
                                 ("stascrivendo", "integer", 0), ("partitaiva", "string", vat)])


def set_chat(text, ticket, attach):
    """The text goes as Base64 of its Windows-1252 bytes."""
    return _envelope("setchat", [("idticket", "integer", ticket),
                                 ("testo", "string", base64_lines(text.encode("cp1252"))),
                                 ("attach", "string", "1" if attach else "0")])


def post(base_url, path, body, content_type, timeout):
    """(HTTP status, body as text); status 0 when nothing answered."""
    request = urllib.request.Request(base_url + path, data=body.encode("utf-8"),
                                     headers={"Content-Type": content_type})
    try:
        with urllib.request.urlopen(request, timeout=timeout) as answer:
            return answer.status, answer.read().decode("utf-8")
    except urllib.error.HTTPError as error:
        return error.code, error.read().decode("utf-8", "replace")
    except OSError as error:
        return 0, str(error)


def post_soap(base_url, endpoint, envelope, timeout):
    return post(base_url, endpoint, envelope, "text/xml;charset=UTF-8", timeout)


def upload(base_url, name, data, timeout):
    body = "documento=" + urllib.parse.quote_plus(base64_lines(data))
    return post(base_url, UPLOAD + urllib.parse.quote(name), body,
                "application/x-www-form-urlencoded", timeout)


def soap_values(xml):
    """The children of the answer's one element in the Body, by name; empty for no SOAP answer."""
    try:
        answer = ElementTree.fromstring(xml).find("{*}Body/*")
    except ElementTree.ParseError:
        return {}
    return {child.tag.split("}")[-1]: child.text or "" for child in ([] if answer is None else answer)}
