"""A real broker and a real headless browser for the browser view's test and
benchmark: mosquitto with a TCP listener for publishers and a WebSocket
listener that also serves the page (http_dir), both on free loopback ports;
Chromium driven by Selenium with a fresh profile and no network of its own."""

import os
import shutil
import socket
import subprocess
import tempfile
import time

from selenium import webdriver
from selenium.webdriver.chrome.service import Service


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def wait_until(condition, timeout, what, step=0.1):
    deadline = time.monotonic() + timeout
    while True:
        value = condition()
        if value:
            return value
        if time.monotonic() > deadline:
            raise AssertionError(f"timed out after {timeout} s waiting for {what}")
        time.sleep(step)


def accepts(port):
    with socket.socket() as s:
        s.settimeout(0.2)
        return s.connect_ex(("127.0.0.1", port)) == 0


class Broker:
    """text: a whole configuration, called with (folder, tcp port, WebSocket
    port); by default an open one on two loopback listeners."""

    def __init__(self, mosquitto, web_dir, extra="", text=None):
        self.dir = tempfile.mkdtemp(prefix="vorta-web-broker-")
        self.tcp = free_port()
        self.ws = free_port()
        conf = os.path.join(self.dir, "mosquitto.conf")
        user = "user root\n" if os.geteuid() == 0 else ""
        # Debian 12's mosquitto binds a WebSocket listener given as 127.0.0.1
        # to every interface; "lo" keeps it on the loopback. It also does not
        # start with WebSocket listeners alone: the TCP one comes first.
        with open(conf, "w") as f:
            f.write(f"{user}log_dest none\npersistence false\n")
            if text is not None:
                f.write(text(self.dir, self.tcp, self.ws))
            else:
                f.write(
                    f"listener {self.tcp} 127.0.0.1\n"
                    f"listener {self.ws} lo\nprotocol websockets\nhttp_dir {web_dir}\n"
                    f"allow_anonymous true\n{extra}"
                )
        self.process = subprocess.Popen([mosquitto, "-c", conf], stdout=subprocess.DEVNULL,
                                        stderr=subprocess.DEVNULL)
        wait_until(lambda: accepts(self.tcp) and accepts(self.ws), 10, "mosquitto's listeners")

    def stop(self):
        if self.process.poll() is None:
            self.process.terminate()
            try:
                self.process.wait(5)
            except subprocess.TimeoutExpired:
                self.process.kill()
                self.process.wait()
        shutil.rmtree(self.dir, ignore_errors=True)


def chromium(binary, driver, width, height, lang="en", extra=(), trust=None):
    """trust: a CA certificate the browser takes as a root, as a lab's own CA
    is added to its browsers (the user's certificate store under HOME)."""
    profile = tempfile.mkdtemp(prefix="vorta-web-chromium-")
    env = None
    if trust is not None:
        store = "sql:" + os.path.join(profile, ".pki", "nssdb")
        os.makedirs(store[4:])
        subprocess.run(["certutil", "-d", store, "-N", "--empty-password"], check=True)
        subprocess.run(["certutil", "-d", store, "-A", "-t", "C,,", "-n", "vorta test CA", "-i", trust],
                       check=True)
        env = dict(os.environ, HOME=profile)
    options = webdriver.ChromeOptions()
    options.binary_location = binary
    for arg in (
        "--headless",
        "--disable-gpu",
        "--disable-quic",
        "--no-first-run",
        "--disable-background-networking",
        "--disable-component-update",
        "--disable-sync",
        f"--user-data-dir={os.path.join(profile, 'data')}",
        f"--window-size={width},{height}",
        f"--lang={lang}",
        *extra,
    ):
        options.add_argument(arg)
    if os.geteuid() == 0:
        options.add_argument("--no-sandbox")
    browser = webdriver.Chrome(service=Service(driver, env=env), options=options)
    browser.vorta_profile = profile
    return browser


def close(browser):
    try:
        browser.quit()
    finally:
        shutil.rmtree(browser.vorta_profile, ignore_errors=True)
