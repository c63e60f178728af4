"""The sandbox's own certificate authority and server certificates, made once per state folder
with the openssl command."""

import os
import subprocess

DAYS = "3650"


def _openssl(*args, cwd):
    subprocess.run(["openssl", *args], cwd=cwd, check=True,
                   stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)


def _server_cert(state, name, subject, alt_names):
    key, csr, pem, ext = (f"{name}.key", f"{name}.csr", f"{name}.pem", f"{name}.ext")
    with open(os.path.join(state, ext), "w") as f:
        f.write("basicConstraints=CA:FALSE\n")
        f.write("keyUsage=digitalSignature,keyEncipherment\n")
        f.write("extendedKeyUsage=serverAuth\n")
        f.write("subjectAltName=" + ",".join(alt_names) + "\n")
    _openssl("req", "-new", "-newkey", "rsa:2048", "-nodes", "-keyout", key,
             "-subj", subject, "-out", csr, cwd=state)
    _openssl("x509", "-req", "-in", csr, "-CA", "ca.pem", "-CAkey", "ca.key",
             "-CAcreateserial", "-days", DAYS, "-sha256", "-extfile", ext, "-out", pem, cwd=state)
    os.remove(os.path.join(state, csr))
    os.remove(os.path.join(state, ext))


def ensure(state):
    """Makes what is missing; returns the paths of the CA, the server pair and the wrong-name pair."""
    os.makedirs(state, exist_ok=True)
    if not os.path.exists(os.path.join(state, "ca.pem")):
        _openssl("req", "-x509", "-newkey", "rsa:2048", "-nodes", "-keyout", "ca.key",
                 "-subj", "/CN=NorvoSMS Sandbox CA", "-days", DAYS, "-sha256",
                 "-addext", "basicConstraints=critical,CA:TRUE",
                 "-addext", "keyUsage=critical,keyCertSign,cRLSign",
                 "-out", "ca.pem", cwd=state)
    if not os.path.exists(os.path.join(state, "server.pem")):
        _server_cert(state, "server", "/CN=localhost",
                     ["DNS:localhost", "IP:127.0.0.1", "IP:::1"])
    if not os.path.exists(os.path.join(state, "wrong-name.pem")):
        _server_cert(state, "wrong-name", "/CN=wrong-name.invalid", ["DNS:wrong-name.invalid"])
    path = lambda f: os.path.join(state, f)
    return {
        "ca": path("ca.pem"),
        "server": (path("server.pem"), path("server.key")),
        "wrong-name": (path("wrong-name.pem"), path("wrong-name.key")),
    }
