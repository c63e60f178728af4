"""Our XML-RPC text form against Python's standard xmlrpc.client, in both directions.

usage: interop_with_python.py PATH_TO_INTEROP_TOOL
"""
import datetime
import json
import math
import subprocess
import sys
import unittest
import xmlrpc.client

TOOL = None


def run_tool(mode, stdin=b""):
    done = subprocess.run([TOOL, mode], input=stdin, capture_output=True, timeout=60, check=False)
    if done.returncode != 0:
        raise AssertionError(f"interop tool {mode} failed: {done.stderr.decode(errors='replace')}")
    return done.stdout


def expected_bytes(n):
    return bytes((i * 7 + 3) % 256 for i in range(n))


# What Python must read from the call our writer emits, in the tool's catalogue order.
EXPECTED_PARAMS = [
    True,
    False,
    0,
    -2147483648,
    2147483647,
    1.5,
    -0.25,
    1e100,
    3.14159,  # six significant digits
    "",
    "plain text",
    "a<b&'z\" > &amp;",
    "안녕하세요, NorvoSMS",
    "  tab\tand\nnewline  ",
    '<?xml version="1.0" encoding="UTF-8"?>\n<request><sms-id>demo</sms-id></request>',
    datetime.datetime(2024, 3, 5, 14, 7, 9),
    datetime.datetime(1999, 12, 31, 23, 59, 58),
    expected_bytes(0),
    expected_bytes(1),
    expected_bytes(2),
    expected_bytes(54),
    expected_bytes(55),
    expected_bytes(256),
    [],
    [1, ["two", [3.0]]],
    {},
    {
        "zeta": 1,
        "alpha": "first",
        "a<&>'\"": None,
        "이름": "값",
        "nested": {"list": [True, ""]},
    },
    None,
]


def canonical(value):
    """Python value -> the JSON shape the tool prints for one of our values."""
    if isinstance(value, bool):
        return {"boolean": value}
    if isinstance(value, int):
        return {"int": value}
    if isinstance(value, float):
        return {"double": value}
    if isinstance(value, str):
        return {"string": value.encode("utf-8").hex()}
    if isinstance(value, bytes):
        return {"string": value.hex()}  # text already in some 8-bit code page
    if isinstance(value, xmlrpc.client.Binary):
        return {"base64": value.data.hex()}
    if isinstance(value, datetime.datetime):
        return {"datetime": [value.year, value.month, value.day, value.hour, value.minute, value.second]}
    if isinstance(value, list):
        return {"array": [canonical(v) for v in value]}
    if isinstance(value, dict):
        names = sorted(value, key=lambda k: k.encode("utf-8"))
        return {"struct": [[k.encode("utf-8").hex(), canonical(value[k])] for k in names]}
    if value is None:
        return {"nil": None}
    raise TypeError(value)


def normalise(ours):
    """The tool's JSON with doubles as numbers, for comparison."""
    if isinstance(ours, dict) and "double" in ours:
        return {"double": float(ours["double"])}
    if isinstance(ours, dict):
        return {k: normalise(v) for k, v in ours.items()}
    if isinstance(ours, list):
        return [normalise(v) for v in ours]
    return ours


def read_with_ours(body):
    return json.loads(run_tool("read", body))


class PythonReadsOurCall(unittest.TestCase):
    def test_every_value_type(self):
        text = run_tool("emit")
        params, method = xmlrpc.client.loads(text, use_builtin_types=True)
        self.assertEqual(method, "interop.values")
        self.assertEqual(len(params), len(EXPECTED_PARAMS))
        for index, (got, want) in enumerate(zip(params, EXPECTED_PARAMS)):
            with self.subTest(index=index, want=want):
                self.assertIs(type(got), type(want))
                self.assertEqual(got, want)


class OurReaderReadsPythonDumps(unittest.TestCase):
    VALUES = [
        True,
        False,
        0,
        -2147483648,
        2147483647,
        0.1,
        -0.0,
        1e300,
        5e-324,
        123456789.125,
        "",
        "E001",
        "a<b&c>d\"e'f",
        "안녕하세요",
        "line\r\nbreaks\tand  spaces ",
        xmlrpc.client.Binary(b""),
        xmlrpc.client.Binary(bytes(range(256)) * 3),
        datetime.datetime(2024, 3, 5, 14, 7, 9),
        [],
        [1, "two", [3.5, [None]]],
        {},
        {"b": 1, "a": [True], "ab": {"inner": "x"}, "키": "값", "&<>": ""},
        None,
    ]

    def test_method_responses(self):
        for value in self.VALUES:
            with self.subTest(value=value):
                body = xmlrpc.client.dumps((value,), methodresponse=True, allow_none=True).encode("utf-8")
                got = read_with_ours(body)
                self.assertNotIn("error", got, body)
                self.assertTrue(got["ok"])
                self.assertEqual(normalise(got["value"]), canonical(value))

    def test_special_doubles(self):
        for value in (math.inf, -math.inf):
            body = xmlrpc.client.dumps((value,), methodresponse=True).encode("utf-8")
            self.assertEqual(float(read_with_ours(body)["value"]["double"]), value)
        body = xmlrpc.client.dumps((math.nan,), methodresponse=True).encode("utf-8")
        self.assertTrue(math.isnan(float(read_with_ours(body)["value"]["double"])))

    def test_faults(self):
        for code, message in ((4, "Too many parameters"), (-32700, "parse error: <bad> & worse"), (0, "")):
            with self.subTest(code=code):
                body = xmlrpc.client.dumps(xmlrpc.client.Fault(code, message)).encode("utf-8")
                got = read_with_ours(body)
                self.assertFalse(got["ok"])
                self.assertEqual(
                    normalise(got["value"]),
                    canonical({"faultCode": code, "faultString": message}),
                )

    def test_bytes_are_taken_as_they_are(self):
        # A body in code page 949 keeps its bytes; the value layer converts nothing.
        text = xmlrpc.client.dumps(("한글 결과",), methodresponse=True, encoding="cp949")
        got = read_with_ours(text.encode("cp949"))
        self.assertEqual(got["value"], {"string": "한글 결과".encode("cp949").hex()})

    def test_python_call_is_not_a_response(self):
        body = xmlrpc.client.dumps(("x",), methodname="norvosms").encode("utf-8")
        got = read_with_ours(body)
        self.assertIn("error", got)
        self.assertTrue(got["error"].startswith("\n<methodName>norvosms</methodName>"), got["error"])


if __name__ == "__main__":
    TOOL = sys.argv.pop(1)
    unittest.main(verbosity=2)
