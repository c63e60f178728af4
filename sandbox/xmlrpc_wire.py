"""The XML-RPC text the sandbox reads and writes. The request's string parameter is taken from
the raw bytes, so that CR LF and every other byte of the document stay as the client sent them."""

import re

_ENTITY = re.compile(rb"&(#x[0-9A-Fa-f]+|#[0-9]+|lt|gt|amp|quot|apos);")
_NAMED = {b"lt": b"<", b"gt": b">", b"amp": b"&", b"quot": b'"', b"apos": b"'"}


def unescape(raw):
    def one(m):
        name = m.group(1)
        if name.startswith(b"#x"):
            return chr(int(name[2:], 16)).encode("utf-8")
        if name.startswith(b"#"):
            return chr(int(name[1:])).encode("utf-8")
        return _NAMED[name]
    return _ENTITY.sub(one, raw)


def escape(text):
    return text.replace("&", "&amp;").replace("<", "&lt;").replace(">", "&gt;")


def method_name(body):
    m = re.search(rb"<methodName>(.*?)</methodName>", body, re.S)
    return unescape(m.group(1)).decode("utf-8", "replace").strip() if m else None


def first_string_param(body):
    """The first parameter's value as bytes, or None when the call has none."""
    m = re.search(rb"<param>\s*<value>(.*?)</value>\s*</param>", body, re.S)
    if not m:
        return None
    inner = m.group(1)
    s = re.fullmatch(rb"\s*<string>(.*)</string>\s*", inner, re.S)
    if s:
        inner = s.group(1)
    elif inner.strip() == b"<string/>":
        inner = b""
    return unescape(inner)


def _response(value_xml):
    return ("<?xml version=\"1.0\"?>\r\n<methodResponse><params><param>"
            + value_xml + "</param></params></methodResponse>\r\n").encode("utf-8")


def string_response(text):
    return _response("<value>" + escape(text) + "</value>")


def int_response(number):
    return _response("<value><i4>%d</i4></value>" % number)


def fault_response(value_xml):
    return ("<?xml version=\"1.0\"?>\r\n<methodResponse><fault>" + value_xml
            + "</fault></methodResponse>\r\n").encode("utf-8")


def fault_struct(code, text_value_xml):
    return fault_response(
        "<value><struct><member><name>faultCode</name><value><int>%d</int></value></member>"
        "<member><name>faultString</name>%s</member></struct></value>" % (code, text_value_xml))


def fault_string(code, text):
    return fault_struct(code, "<value>" + escape(text) + "</value>")
