"""Result texts in the service's form: a code, and for answers with data a Base64-wrapped XML
document whose fields sit in a root element."""

import base64

# The sandbox's own result codes (see README.md).
OK = "0000"
NOT_AUTHENTICATED = "E001"
NOT_ALLOWED = "E006"
BAD_REQUEST = "E400"
UNKNOWN_METHOD = "E404"


def result_text(code, fields_xml=None):
    """fields_xml: the inner XML of the root element, or None for an answer without data."""
    text = "<response><code>" + code + "</code>"
    if fields_xml is not None:
        content = "<?xml version=\"1.0\" encoding=\"UTF-8\"?><root>" + fields_xml + "</root>"
        text += "<result>" + base64.b64encode(content.encode("utf-8")).decode("ascii") + "</result>"
    return text + "</response>"


def field(name, value):
    value = value.replace("&", "&amp;").replace("<", "&lt;").replace(">", "&gt;")
    return "<%s>%s</%s>" % (name, value, name) if value else "<%s/>" % name
