#!/usr/bin/env python3
"""Reference client for the sending benchmark: the same SMS.send calls as the library, on
three threads, with a fresh connection for every call ("fresh") or one kept connection per
thread ("kept"). usage:
    reference_client.py API_URL CA_FILE COUNT [fresh|kept]
Prints "seconds CPU_SECONDS" (wall clock, and this process's CPU time)."""

import hashlib
import random
import ssl
import sys
import threading
import time
import xmlrpc.client

DOCUMENT = ("\r\n<request>\r\n\t<sms-id>demo</sms-id>\r\n\t<access-token>%s</access-token>"
            "\r\n\t<response-format>xml</response-format>\r\n\t<method>SMS.send</method>\r\n\t<params>"
            "\r\n\t\t<call_type>p</call_type>\r\n\t\t<phone>%s</phone>\r\n\t\t<callback>0212345678</callback>"
            "\r\n\t\t<message>benchmark message</message>\r\n\t\t<subject/>\r\n\t\t<ref_key>bench</ref_key>"
            "\r\n\t\t<reserve>:00</reserve>\r\n\t\t<send_type>sms</send_type>\r\n\t\t<msg_type>1</msg_type>"
            "\r\n\t\t<usears>N</usears>\r\n\t</params>\r\n</request>")


def main():
    url, ca_file, count = sys.argv[1], sys.argv[2], int(sys.argv[3])
    kept = len(sys.argv) > 4 and sys.argv[4] == "kept"
    context = ssl.create_default_context(cafile=ca_file)
    # The library's token for the demo account: a salt, then the MD5 of salt and API key.
    salt = "".join(random.choice("0123456789ABCDEF") for _ in range(8))
    token = salt + hashlib.md5((salt + "demo-key").encode()).hexdigest()
    lock = threading.Lock()
    next_index = [0]

    def worker():
        proxy = xmlrpc.client.ServerProxy(url, context=context) if kept else None
        while True:
            with lock:
                if next_index[0] >= count:
                    break
                index = next_index[0]
                next_index[0] += 1
            if not kept:
                proxy = xmlrpc.client.ServerProxy(url, context=context)  # a fresh connection each
            proxy.norvosms(DOCUMENT % (token, "010%08d" % index))
            if not kept:
                proxy("close")()
        if kept:
            proxy("close")()

    start, cpu = time.perf_counter(), time.process_time()
    threads = [threading.Thread(target=worker) for _ in range(3)]
    for t in threads:
        t.start()
    for t in threads:
        t.join()
    print("%f %f" % (time.perf_counter() - start, time.process_time() - cpu))


if __name__ == "__main__":
    main()
