#!/usr/bin/env python3
"""Drives headless Chromium through chromedriver (WebDriver over HTTP) against a running search.

    browser_drive.py <search URL> <work folder>

Types German words into the search form, submits it and checks what the visitor sees: the page's
character set, the heading, the result link, and the next page. Keeps a screenshot and the
driver's log in the work folder. Starts chromedriver on a free port of 127.0.0.1 and adopts every
process of the browser, so that none is left, not even a zombie, when it is done. Prints
"N passed, M failed".
"""
import base64
import ctypes
import json
import os
import signal
import socket
import subprocess
import sys
import time
import urllib.parse
import urllib.request

search_url, work = sys.argv[1:3]
passed = failed = 0

# Orphaned browser processes become ours, so they can be waited for.
PR_SET_CHILD_SUBREAPER = 36
ctypes.CDLL(None, use_errno=True).prctl(PR_SET_CHILD_SUBREAPER, 1, 0, 0, 0)


def free_port():
    with socket.socket() as probe:
        probe.bind(("127.0.0.1", 0))
        return probe.getsockname()[1]


def reap_all(seconds=15):
    """Waits for every child to end; kills, by their ids, those still running at the end."""
    end = time.time() + seconds
    while True:
        try:
            pid, _ = os.waitpid(-1, os.WNOHANG)
        except ChildProcessError:
            return
        if pid == 0:
            if time.time() > end:
                for entry in os.listdir("/proc"):
                    try:
                        with open("/proc/%s/stat" % entry) as stat:
                            fields = stat.read().rsplit(")", 1)[1].split()
                        if entry.isdigit() and int(fields[1]) == os.getpid():
                            os.kill(int(entry), signal.SIGKILL)
                    except (OSError, IndexError, ValueError):
                        pass
            time.sleep(0.05)


driver_port = free_port()
driver = subprocess.Popen(["chromedriver", "--port=%d" % driver_port],
                          stdout=open(os.path.join(work, "chromedriver.log"), "w"),
                          stderr=subprocess.STDOUT)
base = "http://127.0.0.1:%d" % driver_port


def call(method, path, body=None):
    data = None if body is None else json.dumps(body).encode()
    request = urllib.request.Request(base + path, data=data, method=method,
                                     headers={"Content-Type": "application/json"})
    with urllib.request.urlopen(request, timeout=60) as response:
        return json.loads(response.read().decode())["value"]


def check(what, ok, got=None):
    global passed, failed
    if ok:
        passed += 1
    else:
        failed += 1
        print("FAILED: %s (got %r)" % (what, got), file=sys.stderr)


options = {"binary": "/usr/bin/chromium",
           "args": ["--headless=new", "--no-sandbox", "--disable-gpu", "--disable-dev-shm-usage",
                    "--window-size=1000,1200", "--lang=de-DE",
                    "--user-data-dir=" + os.path.join(work, "profile")]}
for attempt in range(100):
    try:
        if call("GET", "/status")["ready"]:
            break
    except OSError:
        time.sleep(0.1)
session = call("POST", "/session", {"capabilities": {"alwaysMatch": {
    "browserName": "chrome", "goog:chromeOptions": options}}})["sessionId"]
s = "/session/" + session


def find(css):
    element = call("POST", s + "/element", {"using": "css selector", "value": css})
    return next(iter(element.values()))


def script(code):
    return call("POST", s + "/execute/sync", {"script": code, "args": []})


def wait_for(code, seconds=10):
    end = time.time() + seconds
    while time.time() < end:
        if script(code):
            return True
        time.sleep(0.1)
    return False


try:
    for word, link in (("Küche", "/de/kueche.html"), ("Größe", "/de/umbau.html")):
        call("POST", s + "/url", {"url": search_url})
        field = find("input[name=q]")
        call("POST", s + "/element/%s/value" % field, {"text": word})
        call("POST", s + "/element/%s/click" % find("button[type=submit]"), {})
        check(word + ": results shown", wait_for("return document.querySelector('h1') !== null"))
        seen = script("return [document.characterSet, document.querySelector('h1').textContent,"
                      " document.querySelector('input[name=q]').value, location.search,"
                      " Array.from(document.querySelectorAll('a.cx-title'),"
                      "            a => a.getAttribute('href'))]")
        charset, heading, value, query, links = seen
        check(word + ": UTF-8", charset == "UTF-8", charset)
        check(word + ": heading", heading == "Results for \u201c%s\u201d" % word, heading)
        check(word + ": form keeps the word", value == word, value)
        check(word + ": sent as UTF-8", "q=" + urllib.parse.quote(word) in query, query)
        check(word + ": result link", link in links, links)

    # The sample site holds "Haus" on more pages than one page shows.
    call("POST", s + "/url", {"url": search_url + "?q=Haus"})
    first = script("return document.querySelector('.cx-count').textContent")
    call("POST", s + "/element/%s/click" % find("a[rel=next]"), {})
    check("next page", wait_for("return /Results [0-9]+\u2013/.test("
                                "document.querySelector('.cx-count').textContent) &&"
                                " !document.querySelector('.cx-count').textContent"
                                ".startsWith('Results 1\u2013')"), first)
    second = script("return [document.querySelector('.cx-count').textContent,"
                    " document.querySelector('h1').textContent]")
    check("next page: same search", second[1] == "Results for \u201cHaus\u201d", second)
    check("next page: count moved on", second[0] != first, second)

    call("POST", s + "/url", {"url": search_url + "?q=K%C3%BCche"})
    with open(os.path.join(work, "search.png"), "wb") as out:
        out.write(base64.b64decode(call("GET", s + "/screenshot")))
finally:
    call("DELETE", s)
    driver.terminate()
    driver.wait()
    reap_all()

print("%d passed, %d failed" % (passed, failed))
sys.exit(1 if failed else 0)
