#!/usr/bin/env python3
"""Phones at a party, against a party on loopback: first PHONES phones for SECONDS seconds, each
searching, looking at the queue, queueing and withdrawing at about RATE requests per second;
then 500 hostile requests and 1000 half-open sockets. Prints the response times, the errors, how
the hostile requests were answered, and "expected queue: N", the requests that should be left.
Bounded: every phone stops after SECONDS, every socket times out after 15 s.
Usage: party_load.py URL [PHONES SECONDS RATE]"""
import http.client
import json
import random
import resource
import socket
import statistics
import sys
import threading
import time
import urllib.parse

url = urllib.parse.urlparse(sys.argv[1])
key = urllib.parse.parse_qs(url.query)["k"][0]
HOST, PORT = url.hostname, url.port
PHONES = int(sys.argv[2]) if len(sys.argv) > 2 else 50
SECONDS = float(sys.argv[3]) if len(sys.argv) > 3 else 60
RATE = float(sys.argv[4]) if len(sys.argv) > 4 else 5
ORIGIN = "http://%s:%d" % (HOST, PORT)

lock = threading.Lock()  # guards times, errors, queued
times, errors, queued = [], [], [0]


def phone(number):
    phone_id = "phone%04d%s" % (number, "x" * 8)
    # Each phone from its own loopback address, as phones on a network are.
    address = ("127.0.%d.%d" % (1 + number // 200, 2 + number % 200), 0)
    connection = http.client.HTTPConnection(HOST, PORT, timeout=15, source_address=address)
    mine, own_times, own_errors = [], [], []
    words = ["Song", "Song 1", "Artist 3", "Song 12", "so", "Art", "Song 19"]
    start = time.monotonic()
    step = 0
    while time.monotonic() - start < SECONDS:
        step += 1
        due = start + step / RATE
        base = "?k=%s&c=%s" % (key, phone_id)
        if step % 10 == 3 and len(mine) < 5:
            body = json.dumps({"name": "Singer %d" % number, "song": random.randint(1, 200),
                               "key": random.randint(-6, 6)})
            request = ("POST", "/api/queue" + base, body)
        elif step % 10 == 7 and len(mine) >= 3:
            request = ("POST", "/api/withdraw" + base, json.dumps({"id": mine[0]}))
        elif step % 5 == 0:
            request = ("GET", "/api/queue" + base, None)
        else:
            request = ("GET", "/api/songs" + base + "&q=" + urllib.parse.quote(random.choice(words)), None)
        method, path, body = request
        headers = {"Origin": ORIGIN, "Content-Type": "application/json"} if body else {}
        began = time.perf_counter()
        try:
            connection.request(method, path, body, headers)
            response = connection.getresponse()
            data = response.read()
            own_times.append(time.perf_counter() - began)
            if response.status != 200:
                own_errors.append("%s %s: %d %s" % (method, path.split("?")[0], response.status, data[:80]))
            elif path.startswith("/api/queue") and method == "POST":
                mine.append(json.loads(data)["id"])
            elif path.startswith("/api/withdraw"):
                mine.pop(0)
        except (OSError, http.client.HTTPException) as error:
            own_errors.append("%s %s: %r" % (method, path.split("?")[0], error))
            connection.close()
            connection = http.client.HTTPConnection(HOST, PORT, timeout=15, source_address=address)
        pause = due - time.monotonic()
        if pause > 0:
            time.sleep(pause)
    connection.close()
    with lock:
        times.extend(own_times)
        errors.extend(own_errors)
        queued[0] += len(mine)


def raw(request, expect):
    """Sends raw bytes; True when the answer's status is expect (0: closed without one)."""
    try:
        with socket.create_connection((HOST, PORT), timeout=15, source_address=("127.0.9.9", 0)) as s:
            s.sendall(request)
            answer = b""
            while b"\r\n\r\n" not in answer:
                chunk = s.recv(4096)
                if not chunk:
                    break
                answer += chunk
    except OSError:
        answer = b""
    status = int(answer[9:12]) if answer.startswith(b"HTTP/1.1 ") else 0
    if status and b"Content-Security-Policy: default-src 'self'" not in answer:
        return False
    # Closing mid-send is a refusal of an oversized request; 429 refuses anything but a valid one.
    return status == expect or (expect == 413 and status == 0) or (expect != 200 and status == 429)


def hostile():
    host = "%s:%d" % (HOST, PORT)

    def post(body, name="/api/queue", origin=ORIGIN, phone="hostilephone", k=None):
        body = body.encode()
        return (b"POST %s?k=%s&c=%s HTTP/1.1\r\nHost: %s\r\nOrigin: %s\r\nContent-Type: "
                b"application/json\r\nContent-Length: %d\r\n\r\n%s" % (
                    name.encode(), (k or key).encode(), phone.encode(), host.encode(),
                    origin.encode(), len(body), body))
    kinds = [
        (b"GET / HTTP/1.1\r\nHost: " + host.encode() + b"\r\n\r\n", 403),
        (b"GET /?k=" + b"0" * 32 + b" HTTP/1.1\r\nHost: " + host.encode() + b"\r\n\r\n", 403),
        (b"GET /?k=" + key.encode() + b" HTTP/1.1\r\nHost: " + host.encode() + b"\r\nX: " +
         b"a" * 9000 + b"\r\n\r\n", 413),
        (b"\x16\x03\x01\x02\x00\x01\x00\x01\xfc\x03\x03garbage\r\n\r\n", 0),
        (b"GET /../../../etc/passwd?k=" + key.encode() + b" HTTP/1.1\r\nHost: " + host.encode() +
         b"\r\n\r\n", 404),
        (b"GET /..%2f..%2fetc%2fpasswd?k=" + key.encode() + b" HTTP/1.1\r\nHost: " +
         host.encode() + b"\r\n\r\n", 404),
        (post('{"name":"x","song":1,"key":0}', origin="http://evil.example"), 403),
        (post('{"name":"x","song":1,"key":0}', k="f" * 32), 403),
        (post('{"name":"' + "n" * 41 + '","song":1,"key":0}'), 400),
        (post('{"name":"a\\u0000b","song":1,"key":0}'), 400),
        (post('{"name":"x","song":"../../etc/passwd","key":0}'), 404),
        (post('{"name":"x","song":1,"key":99}'), 400),
    ]
    handled, valid = 0, 0
    for number in range(500):
        if number % 50 == 49:
            # A <script> name is a valid singer, shown as text: one per phone, each its own.
            request = post('{"name":"<script>alert(1)</script>","song":2,"key":0}',
                           phone="scriptphone%03d" % number)
            ok = raw(request, 200)
            valid += ok
        else:
            request, expect = kinds[number % len(kinds)]
            ok = raw(request, expect)
        handled += ok
        if number % 10 == 9:
            time.sleep(0.6)  # within the rate allowed an address
    resource.setrlimit(resource.RLIMIT_NOFILE, (4096, resource.getrlimit(resource.RLIMIT_NOFILE)[1]))
    half_open = []
    for _ in range(1000):
        s = socket.socket()
        s.setblocking(False)
        s.connect_ex((HOST, PORT))
        half_open.append(s)
    time.sleep(12)  # past the idle limit: every half-open socket is gone
    for s in half_open:
        s.close()
    served = http.client.HTTPConnection(HOST, PORT, timeout=15)
    served.request("GET", "/api/queue?k=%s&c=afterwards1" % key)
    after = served.getresponse()
    after.read()
    return handled, valid, after.status


threads = [threading.Thread(target=phone, args=(n,)) for n in range(PHONES)]
began = time.monotonic()
for t in threads:
    t.start()
for t in threads:
    t.join()
if not threads:
    time.sleep(SECONDS)  # no phones: the player alone, for comparison
elapsed = max(time.monotonic() - began, 1e-3)
times.sort()
print("phones: %d for %.0f s, %d requests (%.0f/s)" % (PHONES, elapsed, len(times), len(times) / elapsed))
if times:
    print("response ms: median %.1f, p99 %.1f, max %.1f" % (
        statistics.median(times) * 1000, times[int(len(times) * 0.99)] * 1000, times[-1] * 1000))
print("errors: %d %s" % (len(errors), errors[:5]))
handled, valid, after = hostile()
print("hostile: %d of 500 refused or handled, %d valid <script> singers queued; after 1000 "
      "half-open sockets a phone gets %d" % (handled, valid, after))
print("expected queue: %d" % (queued[0] + valid))
sys.stdout.flush()
