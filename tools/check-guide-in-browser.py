#!/usr/bin/python3
"""Opens the user guide's page in headless Chromium, as a musician's browser shows it, at each
width given, and fails when the page scrolls sideways or something sticks out of it, a picture
does not load, an internal link leads to no element, or the table of contents misses a section.
Leaves a screenshot of the whole page at each width. Before it trusts a pass it plants a long
unbreakable line in the page and makes sure that the check then fails.
Drives Debian's chromium through chromium-driver's WebDriver protocol, with the standard library
only. Usage: check-guide-in-browser.py PAGE.html SCREENSHOT-FOLDER WIDTH..."""
import base64
import json
import shutil
import socket
import subprocess
import sys
import tempfile
import time
import urllib.error
import urllib.request
from pathlib import Path

CHROMIUM = "/usr/bin/chromium"
DRIVER = "/usr/bin/chromedriver"
HEIGHT = 900
TIMEOUT = 60

# Everything the page is faulted for, measured where the browser laid it out.
MEASURE = """
const problems = [];
const page = document.documentElement;
const width = page.clientWidth;
if (page.scrollWidth > width) {
    problems.push(`the page scrolls sideways: ${page.scrollWidth} px wide in ${width} px`);
}
for (const element of document.body.querySelectorAll('*')) {
    const box = element.getBoundingClientRect();
    const what = `<${element.tagName.toLowerCase()}> "${element.textContent.trim().slice(0, 40)}"`;
    if (box.width > 0 && (box.right > width + 0.5 || box.left < -0.5)) {
        problems.push(`${what} sticks out of the page: from ${box.left} to ${box.right} px`);
    } else if (element.scrollWidth > element.clientWidth + 1 &&
               ['auto', 'scroll'].includes(getComputedStyle(element).overflowX)) {
        problems.push(`${what} scrolls sideways: ${element.scrollWidth} px in ${element.clientWidth} px`);
    }
}
for (const picture of document.images) {
    if (!picture.complete || picture.naturalWidth === 0) {
        problems.push(`the picture "${picture.alt}" did not load`);
    }
}
for (const link of document.querySelectorAll('a[href^="#"]')) {
    const target = decodeURIComponent(link.getAttribute('href').slice(1));
    if (!document.getElementById(target)) {
        problems.push(`the link "${link.textContent}" leads to #${target}, which is no element`);
    }
}
const contents = document.getElementById('contents');
const list = contents && contents.nextElementSibling;
if (!list || !['UL', 'OL'].includes(list.tagName)) {
    problems.push('no table of contents: a list right after the heading "Contents"');
} else {
    const listed = new Set([...list.querySelectorAll('a[href^="#"]')].map(
        link => decodeURIComponent(link.getAttribute('href').slice(1))));
    for (const heading of document.querySelectorAll('h2, h3')) {
        if (heading !== contents && !listed.has(heading.id)) {
            problems.push(`the table of contents misses the section "${heading.textContent}"`);
        }
    }
}
return problems;
"""

PLANT = """
const line = document.createElement('p');
line.id = 'planted-overflow';
line.textContent = 'x'.repeat(400);
document.body.appendChild(line);
"""
UNPLANT = "document.getElementById('planted-overflow').remove();"
READY = """return document.readyState === 'complete' &&
    [...document.images].every(picture => picture.complete);"""
PAGE_HEIGHT = "return Math.ceil(document.documentElement.scrollHeight);"


def free_port():
    with socket.socket() as probe:
        probe.bind(("127.0.0.1", 0))
        return probe.getsockname()[1]


def wait_until(condition, what):
    deadline = time.monotonic() + TIMEOUT
    while time.monotonic() < deadline:
        result = condition()
        if result:
            return result
        time.sleep(0.1)
    raise SystemExit(f"gave up waiting for {what} after {TIMEOUT} s")


class Browser:
    """One headless Chromium session through chromedriver."""

    def __init__(self, profile):
        self.port = free_port()
        self.driver = subprocess.Popen([DRIVER, f"--port={self.port}"],
                                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        wait_until(self.driver_ready, "chromedriver to answer")
        options = {"binary": CHROMIUM,
                   # A root user's Chromium runs only without its sandbox; no GPU in a container.
                   "args": ["--headless=new", "--no-sandbox", "--disable-gpu",
                            "--disable-dev-shm-usage",
                            f"--user-data-dir={profile}", f"--window-size=1280,{HEIGHT}"]}
        answer = self.call("POST", "/session", {"capabilities": {"alwaysMatch": {
            "browserName": "chrome", "goog:chromeOptions": options}}})
        self.session = f"/session/{answer['sessionId']}"

    def driver_ready(self):
        try:
            return self.call("GET", "/status").get("ready")
        except (urllib.error.URLError, ConnectionError):
            return False

    def call(self, method, path, body=None):
        request = urllib.request.Request(
            f"http://127.0.0.1:{self.port}{path}", method=method,
            data=None if body is None else json.dumps(body).encode(),
            headers={"Content-Type": "application/json"})
        try:
            with urllib.request.urlopen(request, timeout=TIMEOUT) as response:
                return json.loads(response.read())["value"]
        except urllib.error.HTTPError as error:
            raise SystemExit(f"chromedriver refused {method} {path}: {error.read().decode()}")

    def run(self, script):
        return self.call("POST", f"{self.session}/execute/sync", {"script": script, "args": []})

    def devtools(self, command, parameters):
        return self.call("POST", f"{self.session}/goog/cdp/execute",
                         {"cmd": command, "params": parameters})

    def view(self, width, height=HEIGHT):
        self.devtools("Emulation.setDeviceMetricsOverride",
                      {"width": width, "height": height, "deviceScaleFactor": 1,
                       "mobile": False})

    def open(self, url):
        self.call("POST", f"{self.session}/url", {"url": url})
        wait_until(lambda: self.run(READY), "the page and its pictures to load")

    def screenshot(self, path, width):
        self.view(width, self.run(PAGE_HEIGHT))
        shot = self.devtools("Page.captureScreenshot", {"format": "png"})
        path.write_bytes(base64.b64decode(shot["data"]))
        self.view(width)

    def close(self):
        try:
            self.call("DELETE", self.session)
        finally:
            self.driver.terminate()
            self.driver.wait(TIMEOUT)


def main():
    page, folder, widths = Path(sys.argv[1]).resolve(), Path(sys.argv[2]), sys.argv[3:]
    folder.mkdir(parents=True, exist_ok=True)
    profile = tempfile.mkdtemp(prefix="guide-browser-")
    browser = Browser(profile)
    failures = []
    try:
        for width in map(int, widths):
            browser.view(width)
            browser.open(page.as_uri())
            problems = browser.run(MEASURE)
            failures += [f"at {width} px: {problem}" for problem in problems]
            shot = folder / f"{page.stem}-{width}px.png"
            browser.screenshot(shot, width)
            if not problems:
                # A pass counts only from a check that would have seen an overflow.
                browser.run(PLANT)
                if not browser.run(MEASURE):
                    failures.append(f"at {width} px: a planted unbreakable line went unseen: "
                                    "the sideways check is blind")
                browser.run(UNPLANT)
            print(f"{width} px: {len(problems)} problems; screenshot {shot}")
    finally:
        browser.close()
        shutil.rmtree(profile, ignore_errors=True)
    if failures:
        sys.exit("The guide's page fails in the browser:\n  " + "\n  ".join(failures))
    print(f"{page.name}: no sideways scroll, every picture loaded, every internal link found, "
          "every section in the table of contents")


main()
