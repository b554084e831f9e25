#!/usr/bin/env python3
"""The browser view end to end: the real program publishes its demo to a real
mosquitto, and the page in a real headless Chromium, served by that broker,
shows it. The broker runs the README's recipe as printed (the packaged
configuration, the ACL, the users, and wss:// with a CA made for the run that
the browser trusts), so only known users get in, over TLS. The
vessels with the values of their retained state, a vessel's trend with its
data log rows, an alarm that appears and leaves, a computer going offline
when the program is killed, an operator changing a setpoint and acknowledging
an alarm and pausing and stopping a plan from the page while a viewer finds
no controls, a command to a computer that is down going unanswered, a
setpoint typed into a panel's dialog showing on the page, payloads that are no JSON or carry markup in a
name; and what another user of the broker may try: a command under another
user's name, a retained or old command, a huge retained message, a forged
alarm list, a row from the future, many vessels without a day."""

import argparse
import datetime
import json
import os
import queue
import re
import secrets
import shutil
import signal
import subprocess
import sys
import tempfile
import threading
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from web_harness import Broker, chromium, close, wait_until  # noqa: E402

SOURCE = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))


def readme_recipe():
    """The ACL and the password commands of the README's broker recipe, as
    printed: the ACL block whole, and the users its mosquitto_passwd lines
    name."""
    with open(os.path.join(SOURCE, "README.md"), encoding="utf-8") as f:
        text = f.read()
    acl = re.search(r"\n    # /etc/mosquitto/vorta\.acl\n((?:    .*\n)+)", text)
    assert acl, "the README's ACL block"
    users = re.findall(r"^    mosquitto_passwd (?:-c )?/etc/mosquitto/vorta\.passwd (\S+)$", text, re.M)
    assert len(users) >= 3, users
    tls = re.search(r"\n    # wss:// on the WebSocket listener\n((?:    .*\n)+)", text)
    assert tls, "the README's wss:// block"
    return "".join(line[4:] + "\n" for line in acl.group(1).splitlines()), users, \
        [line[4:] for line in tls.group(1).splitlines()]


def make_tls(lines, folder):
    """The README's wss:// commands for a broker on this computer's loopback,
    its files in folder; the group and the service left out (the test's
    broker runs as its user and is not the system's). The CA certificate."""
    os.makedirs(os.path.join(folder, "certs"), exist_ok=True)
    ca = os.path.join(folder, "ca")
    os.makedirs(ca)
    for line in lines:
        if line.startswith(("chgrp ", "systemctl ")):
            continue
        line = line.replace("broker.lab", "localhost").replace("192.0.2.10", "127.0.0.1")
        line = line.replace("/etc/mosquitto", folder)
        subprocess.run(["bash", "-c", line], cwd=ca, check=True, stdout=subprocess.DEVNULL,
                       stderr=subprocess.DEVNULL)
    return os.path.join(ca, "lab-ca.crt")


def recipe_broker(args, computers=(), tls=False):
    """The README's recipe; computers: more programs' users, each given the
    README's rule for a computer; tls: with its wss:// step (broker.ca: the
    CA to trust)."""
    acl, users, tls_lines = readme_recipe()
    more = "".join(f"user {c}\ntopic readwrite vorta/{c}/#\n" for c in computers)
    acl = more + acl
    users = list(computers) + users
    passwords = {u: secrets.token_urlsafe(12) for u in users}
    made = {}
    with open(os.path.join(SOURCE, "packaging", "vorta-web.conf"), encoding="utf-8") as f:
        shipped = f.read()

    def text(folder, tcp, ws):
        with open(os.path.join(folder, "vorta.acl"), "w", encoding="utf-8") as f:
            f.write(acl)
        for n, u in enumerate(users):
            p = passwords[u]
            cmd = ["mosquitto_passwd"] + (["-c"] if n == 0 else []) + [os.path.join(folder, "vorta.passwd"), u]
            subprocess.run(cmd, input=f"{p}\n{p}\n", text=True, check=True, stdout=subprocess.DEVNULL)
        os.makedirs(os.path.join(folder, "conf.d"))
        with open(os.path.join(folder, "conf.d", "vorta-web.conf"), "w", encoding="utf-8") as f:
            f.write(shipped)
        if tls:
            made["ca"] = make_tls(tls_lines, folder)
        with open(os.path.join(folder, "conf.d", "vorta-web.conf"), encoding="utf-8") as f:
            conf = f.read()
        assert tls == ("\ncertfile " in conf and "\nkeyfile " in conf), conf
        conf = conf.replace("/etc/mosquitto", folder).replace("/usr/share/vorta/web", args.web)
        conf = conf.replace("listener 1883 127.0.0.1", f"listener {tcp} 127.0.0.1")
        conf = conf.replace("listener 9001 lo", f"listener {ws} lo")
        assert f"listener {tcp}" in conf and f"listener {ws}" in conf, conf
        return conf

    broker = Broker(args.mosquitto, args.web, text=text)
    broker.ca = made.get("ca")
    broker.passwords = passwords
    broker.users = users
    return broker


def parse_args():
    p = argparse.ArgumentParser()
    for name in ("vorta", "web", "chromium", "chromedriver", "mosquitto", "panel-driver"):
        p.add_argument("--" + name, required=True)
    return p.parse_args()


def append(path, text):
    os.chmod(path, 0o644)
    with open(path, "a", encoding="utf-8") as f:
        f.write(text)


def replace(path, old, new):
    with open(path, encoding="utf-8") as f:
        text = f.read()
    assert old in text, f"{old!r} not in {path}"
    with open(path, "w", encoding="utf-8") as f:
        f.write(text.replace(old, new, 1))


def prefill_log(args, folder, env):
    """Rows of the last hours in vessel 1's data log, written as the program
    writes them: its header and its own date field, taken from a minute the
    program ran on virtual time in a scratch folder."""
    scratch = tempfile.mkdtemp(prefix="vorta-web-scratch-")
    try:
        subprocess.run([args.vorta, "--demo", "--folder", scratch, "--fast-forward", "0.02"],
                       env=env, check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        with open(os.path.join(scratch, "Protocol1.txt"), encoding="utf-8", newline="") as f:
            header, row = f.read().split("\r\n")[:2]
    finally:
        shutil.rmtree(scratch, ignore_errors=True)
    fields = row.split("\t")
    now = datetime.datetime.now().replace(microsecond=0)
    rows = []
    expected = {}
    for minutes in range(180, 0, -1):
        t = now - datetime.timedelta(minutes=minutes)
        if t.date() != now.date():
            continue
        fields[1] = f"{t.hour}:{t.minute}:{t.second}"
        fields[2] = f"{6.9 + (minutes % 20) / 100:.2f}"
        rows.append("\t".join(fields))
        expected[int(t.timestamp())] = float(fields[2])
    with open(os.path.join(folder, "Protocol1.txt"), "w", encoding="utf-8", newline="") as f:
        f.write(header + "\r\n" + "".join(r + "\r\n" for r in rows))
    return expected


def as_user(broker, user):
    return ["-u", user, "-P", broker.passwords[user]] if user else []


def retained(broker, topic, count=1, user="viewer"):
    out = subprocess.run(
        ["mosquitto_sub", "-p", str(broker.tcp), *as_user(broker, user), "-t", topic, "-C", str(count),
         "-W", "5", "--retained-only"],
        capture_output=True, text=True)
    return [json.loads(line) for line in out.stdout.splitlines()]


def publish(broker, topic, payload, user, retain=False, check=True):
    """As a user of the recipe (None: anonymous); the payload through a file
    when large. The exit code."""
    with tempfile.NamedTemporaryFile("w", encoding="utf-8", suffix=".json") as f:
        f.write(payload)
        f.flush()
        out = subprocess.run(["mosquitto_pub", "-p", str(broker.tcp), *as_user(broker, user), "-q", "1",
                              "-t", topic, "-f", f.name] + (["-r"] if retain else []),
                             stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    assert not check or out.returncode == 0, (topic, out.returncode)
    return out.returncode


def command(broker, root, sender, vessel, body, name=None, retain=False, age_s=0):
    """A command as the page sends it (MQTT 5, a response topic, correlation
    data), published by sender under the name of name (their own unless
    forged), sent age_s ago. What mosquitto_pub said: the broker refuses a
    publish the ACL does not allow with a reason code, which it prints."""
    name = name or sender
    payload = json.dumps(dict(body, ts=int((time.time() - age_s) * 1000)))
    out = subprocess.run(["mosquitto_pub", "-p", str(broker.tcp), *as_user(broker, sender), "-V", "mqttv5", "-q", "1",
                          "-t", f"{root}/cmd/{name}/{vessel}", "-m", payload,
                          "-D", "publish", "response-topic", f"{root}/reply/{name}/test",
                          "-D", "publish", "correlation-data", "c1"] + (["-r"] if retain else []),
                         capture_output=True, text=True, check=True)
    return out.stdout + out.stderr


class Lines:
    """A child's standard output, line by line, read on a thread of its own
    so that a wait can end."""

    def __init__(self, process):
        self.process = process
        self.lines = queue.Queue()
        threading.Thread(target=self.read, daemon=True).start()

    def read(self):
        for line in self.process.stdout:
            self.lines.put(line.rstrip("\n"))

    def next(self, timeout, want=lambda line: True):
        """The next line want takes, or None when none came in time."""
        deadline = time.monotonic() + timeout
        while True:
            try:
                line = self.lines.get(timeout=max(0.0, deadline - time.monotonic()))
            except queue.Empty:
                return None
            if want(line):
                return line

    def stop(self):
        if self.process.poll() is None:
            self.process.kill()
        self.process.wait()


def replies(broker, root, user):
    """The answers to a user's commands, from the moment the broker took the
    subscription."""
    # Line-buffered: its own output to a pipe waits for a full buffer.
    sub = Lines(subprocess.Popen(["stdbuf", "-oL", "mosquitto_sub", "-p", str(broker.tcp), *as_user(broker, user),
                                  "-V", "mqttv5", "-d", "-W", "120", "-t", f"{root}/reply/{user}/#"],
                                 stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, text=True))
    assert sub.next(5, lambda line: "SUBACK" in line), "the reply subscription"
    return sub


def answer(sub, timeout):
    line = sub.next(timeout, lambda line: line.startswith("{"))
    return json.loads(line) if line else None


def journal(folder):
    """The journal file's records, each its fields."""
    with open(os.path.join(folder, "VortaJournal.txt"), encoding="utf-8") as f:
        return [line.split("\t") for line in f.read().splitlines()]


def ctl(args, folder, env, *words):
    subprocess.run([args.vorta, "ctl", "--folder", folder, *words], env=env, check=True,
                   stdout=subprocess.DEVNULL)


def main():
    args = parse_args()
    env = dict(os.environ, LC_ALL="C.UTF-8", LANG="C.UTF-8", QT_QPA_PLATFORM="offscreen")
    folder = tempfile.mkdtemp(prefix="vorta-web-demo-")
    broker = recipe_broker(args, tls=True)
    # The README's first user is a computer, the second another, the last
    # the browsers'.
    program_user, other, viewer = broker.users[0], broker.users[1], broker.users[-1]
    operator = "anna"
    assert operator in broker.users, broker.users
    ROOT = "vorta/" + program_user
    program = None
    driver = None
    browser = None
    try:
        subprocess.run([args.vorta, "--demo", "--folder", folder, "--prepare"], env=env,
                       check=True, stdout=subprocess.DEVNULL)
        logged = prefill_log(args, folder, env)
        rows = len(logged)
        # Vessel 1's t°C (about 37) is above a high limit of 20: an alarm at
        # once in batch mode, cleared at once in uncontrolled mode.
        replace(os.path.join(folder, "Process1.ini"), "[CtrltC]\nPeriod=15\nUp=7\nDown=6\n"
                "Enable=1\nLow=10.00\nHigh=60.00", "[CtrltC]\nPeriod=15\nUp=7\nDown=6\n"
                "Enable=1\nLow=10.00\nHigh=20.00")
        append(os.path.join(folder, "Process1.ini"), "[Alarms]\nLimitGrace=0\n")
        append(os.path.join(folder, "Vorta.ini"),
               f"[Alarms]\nClearHold=0\n[MQTT]\nHost=127.0.0.1\nPort={broker.tcp}\n"
               f"TopicRoot={ROOT}\nName=Лаборатория 4\nKeepalive=5\nUsername={program_user}\n"
               f"PasswordFile=mqtt.pass\nOperators={operator}\n")
        with open(os.open(os.path.join(folder, "mqtt.pass"), os.O_WRONLY | os.O_CREAT, 0o600), "w") as f:
            f.write(broker.passwords[program_user] + "\n")
        # Many vessels without a day, there before this computer's: the
        # broker hands them to the page first.
        for n in range(100, 160):
            publish(broker, f"vorta/{other}/{n}/state", json.dumps({"name": f"empty {n}", "channels": []}), other,
                    retain=True)
        # A command left retained under the operator's own name before the
        # program starts: the broker hands it to the program's subscription
        # as retained, as it would to every later one.
        command(broker, ROOT, operator, 1, {"cmd": "setpoint", "channel": 1, "value": "6.11"}, retain=True)
        program = subprocess.Popen([args.vorta, "--demo", "--folder", folder, "--headless"],
                                   env=env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)

        # Opened once the alarm is active: the page learns it from the
        # retained list, not from a change it saw.
        wait_until(lambda: any(a["vessel"] == 1 for r in retained(broker, ROOT + "/alarms")
                               for a in r["alarms"]), 30, "the retained alarm of vessel 1")
        states = {s["vessel"]: s for s in retained(broker, ROOT + "/+/state", 4)}
        assert sorted(states) == [1, 2, 3, 4], states.keys()

        def refused(user, *words):
            return [r for r in journal(folder) if "Команда из браузера отклонена" in r[7]
                    and r[1] == user and r[8] == "Web" and any(w in r[7] for w in words)]

        def changes(value):
            return [r for r in journal(folder) if r[4] == "Change" and value in r[7]]

        # The retained command refused and journalled; nothing changed. One
        # sent a minute ago is refused too, within the same episode: one
        # record for both.
        wait_until(lambda: refused(operator, "(retained)"), 10, "the retained command journalled as refused")
        assert states[1]["channels"][0]["setpoint"] != 6.11 and not changes("6.11"), states[1]
        operator_replies = replies(broker, ROOT, operator)
        command(broker, ROOT, operator, 1, {"cmd": "setpoint", "channel": 1, "value": "6.12"}, age_s=60)
        late = answer(operator_replies, 10)
        assert late and not late["done"] and "устарела" in late["text"], late
        assert len(refused(operator, "(retained)", "устарела")) == 1, refused(operator, "")
        assert not changes("6.12")
        publish(broker, f"{ROOT}/cmd/{operator}/1", "", operator, retain=True)
        assert retained(broker, f"{ROOT}/cmd/{operator}/1", user=operator) == []

        # The viewer posing as the operator: the broker refuses the publish
        # (the ACL's pattern), so the program neither runs nor answers it.
        # The same command under the viewer's own name reaches the program,
        # which refuses it with an answer: published after the forged one,
        # its answer comes after any the forged one would have had.
        said = command(broker, ROOT, viewer, 1, {"cmd": "setpoint", "channel": 1, "value": "6.22"}, name=operator)
        assert "Not authorized" in said, said
        viewer_replies = replies(broker, ROOT, viewer)
        command(broker, ROOT, viewer, 1, {"cmd": "setpoint", "channel": 1, "value": "6.22"})
        own = answer(viewer_replies, 10)
        assert own and not own["done"] and "не допущен" in own["text"], own
        assert refused(viewer, "не допущен")
        assert answer(operator_replies, 0.5) is None, "an answer to the forged command"
        assert not changes("6.22")
        operator_replies.stop()
        viewer_replies.stop()

        # What another user of the broker tries before the page opens.
        # Nobody without a password gets in; another computer cannot
        # touch this one's topics, and a message over the limit is refused.
        assert publish(broker, ROOT + "/alarms", '{"alarms":[]}', None, retain=True, check=False) != 0
        publish(broker, ROOT + "/alarms", '{"alarms":[]}', other, retain=True)
        forged = {"alarms": [{"vessel": 1, "vesselName": "Fake", "text": "forged", "raised": "2099-01-01T00:00:00Z"}]}
        publish(broker, ROOT + "/alarms", json.dumps(forged), other, retain=True)
        assert any(a["vessel"] == 1 and a["text"] != "forged" for a in retained(broker, ROOT + "/alarms")[0]["alarms"])
        huge = json.dumps({"name": "x" * (10 << 20), "channels": []})
        publish(broker, f"vorta/{other}/1/state", huge, other, retain=True, check=False)
        assert retained(broker, f"vorta/{other}/1/state") == []
        # Under its own root it may write: a state too large for the page,
        # an alarm list posing as this computer's one level down, and many
        # vessels without a day.
        publish(broker, f"vorta/{other}/2/state", json.dumps({"name": "y" * 100000, "channels": []}), other,
                retain=True)
        publish(broker, f"vorta/{other}/{program_user}/alarms", json.dumps(forged), other, retain=True)

        # The lab's CA trusted as a lab's browsers trust it: the page over
        # https:// and MQTT over wss:// of the same listener. Without
        # HTTP/2: Debian 12's mosquitto offers it on a TLS listener but
        # answers a request for a file over it with nothing (README).
        browser = chromium(args.chromium, args.chromedriver, 1280, 900, trust=broker.ca,
                           extra=("--disable-http2",))
        browser.get(f"https://127.0.0.1:{broker.ws}/?root=vorta/%23&lang=en&user={viewer}")
        js = browser.execute_script
        card = "section[data-root='" + ROOT + "'] article[data-vessel='{}']"

        def text(selector):
            return js("const e = document.querySelector(arguments[0]); return e ? e.textContent : null;",
                      selector)

        def log_in(password):
            js("document.getElementById('password').value = arguments[0]", password)
            if js("return document.getElementById('connect').dataset.action") == "disconnect":
                js("document.getElementById('connect').click()")
            js("document.getElementById('connect').click()")

        assert js("return document.getElementById('broker').value") == f"wss://127.0.0.1:{broker.ws}"
        # Refused without the password; in with it.
        wait_until(lambda: js("return document.body.dataset.link") in ("offlineBroker", "closed"), 15,
                   "the page refused without a password")
        log_in(broker.passwords[viewer])
        wait_until(lambda: js("return document.body.dataset.link") == "connected", 15, "the viewer connected")

        # The four vessels with their retained state.
        wait_until(lambda: js("return document.querySelectorAll(arguments[0]).length",
                              f"section[data-root='{ROOT}'] article") == 4, 20, "four cards")
        for n, s in states.items():
            c = card.format(n)
            wait_until(lambda: text(c + " .card-name") == s["name"], 10, f"the name of vessel {n}")
            sp = js("return Array.from(document.querySelectorAll(arguments[0])).map(e => e.textContent)",
                    c + " .sp")
            assert sp == [f"{ch['setpoint']:.2f}" for ch in s["channels"]], (sp, s["channels"])
            assert text(c + " .link") == s["link"], (text(c + " .link"), s["link"])
            shown_ph = float(text(c + " .value"))
            assert abs(shown_ph - s["channels"][0]["value"]) < 0.5, (shown_ph, s["channels"][0])
        wait_until(lambda: text(f"section[data-root='{ROOT}'] .computer-state") == "online", 10,
                   "the computer online")

        # The trend of vessel 1 holds every row of the last hours and then
        # some live values, although 60 vessels without a day came first.
        points = wait_until(
            lambda: int(js("return document.querySelector(arguments[0]).dataset.points",
                           card.format(1) + " .trend")) >= rows and rows, 25,
            f"vessel 1's trend with its {rows} rows")
        assert js("return !!document.querySelector(arguments[0])", card.format(1) + " .trend canvas")
        # Its day, joined from the history's hourly parts: each row at its time with its pH.
        day = js("return VortaPage.history(arguments[0], 1)", ROOT)
        drawn = dict(zip(day["t"], day["pH"]))
        wrong = {t: (ph, drawn.get(t)) for t, ph in logged.items() if drawn.get(t) != ph}
        assert not wrong, f"{len(wrong)} of {rows} rows not as logged, e.g. {list(wrong.items())[:3]}"
        print(f"web: vessel 1's trend drawn with {points} points ({rows} rows)")

        # A row from a clock set wrong, from the program's own user: left out
        # and told, the day kept.
        row = {"vessel": 1, "time": "2100-01-01T00:00:00+00:00", "pH": 1.0}
        publish(broker, ROOT + "/1/minute", json.dumps(row), program_user)
        wait_until(lambda: "outside the day" in (text("#notices") or ""), 10, "the future row told")
        later = dict(row, time=datetime.datetime.now().astimezone().replace(microsecond=0).isoformat())
        publish(broker, ROOT + "/1/minute", json.dumps(later), program_user)
        wait_until(lambda: len(js("return VortaPage.history(arguments[0], 1)", ROOT)["t"]) == len(day["t"]) + 1,
                   10, "the day kept and the next row added")

        # The state too large for the page: left out and told once, with its
        # topic; the other computer's small states are shown. The alarm list
        # one level down is shown, marked as no computer's own.
        wait_until(lambda: "too large" in (text("#notices") or ""), 15, "the large state told")
        assert f"vorta/{other}/2/state" in text("#notices")
        assert text(f"section[data-root='vorta/{other}'] article[data-vessel='2'] .card-name") != "y" * 100000
        fake = f"#alarm-list li[data-root='vorta/{other}/{program_user}']"
        wait_until(lambda: text(fake) is not None, 10, "the alarm list one level down")
        assert js("return document.querySelector(arguments[0]).classList.contains('unattributed')", fake)
        assert not js("return document.querySelector(arguments[0]).classList.contains('unack')", fake)
        assert js(f"return document.querySelectorAll(\"#alarm-list li.unack\").length") == 1, text("#alarm-list")
        # Alarm kinds in the page's language, the text said to be Russian.
        alarm_li = f"#alarm-list li.unack[data-root='{ROOT}'][data-vessel='1']"
        assert text(alarm_li + " .alarm-kind").startswith("Outside limits"), text(alarm_li)
        assert text(alarm_li + " .alarm-lang") == "(in Russian)"

        # The alarm, already active when the page opened, then cleared and raised again.
        alarm = "#alarm-list li.unack[data-root='" + ROOT + "'][data-vessel='1']"
        wait_until(lambda: text(alarm) and "tC" in text(alarm), 10, "vessel 1's alarm at the top")
        assert js("return document.querySelector(arguments[0]).classList.contains('alarm-unack')",
                  card.format(1))
        ctl(args, folder, env, "mode", "1", "uncontrolled")
        wait_until(lambda: text(alarm) is None, 15, "the cleared alarm to leave the page")
        assert not js("return document.querySelector(arguments[0]).classList.contains('alarm-unack')",
                      card.format(1))
        ctl(args, folder, env, "mode", "1", "batch")
        wait_until(lambda: text(alarm) is not None, 15, "the alarm raised again")
        # A plan on vessel 1 that only waits, for the plan row of the large view.
        plan_file = os.path.join(folder, "web-plan.yaml")
        with open(plan_file, "w", encoding="utf-8") as f:
            f.write("name: web check\nsteps:\n  - name: first wait\n    wait: 2 h\n"
                    "  - name: second wait\n    wait: 2 h\n")
        ctl(args, folder, env, "plan", "start", "1", plan_file)

        # Attention first: the computer by its name, the count of vessels in
        # alarm and in the title; with only those needing attention shown, a
        # click on the alarm brings its card into view.
        assert text(f"section[data-root='{ROOT}'] .computer-name") == "Лаборатория 4"
        wait_until(lambda: (text("#summary") or "").startswith("1 in alarm"), 10, "the summary line")
        assert js("return document.title").startswith("(1) "), js("return document.title")
        js("const s = document.getElementById('card-show'); s.value = 'attention';"
           "s.dispatchEvent(new Event('change'))")
        wait_until(lambda: js("return document.querySelector(arguments[0]).hidden", card.format(2)), 5,
                   "a well vessel hidden")
        assert not js("return document.querySelector(arguments[0]).hidden", card.format(1))
        shots = os.environ.get("VORTA_SCREENSHOT_DIR")
        if shots:
            os.makedirs(shots, exist_ok=True)
            browser.save_screenshot(os.path.join(shots, "web-wide.png"))
        js("document.querySelector(arguments[0]).click()", alarm)
        assert js("return document.activeElement === document.querySelector(arguments[0])", card.format(1))
        # The vessel's page: values with units, and the journal records of
        # the mode changes and of its alarm made while the page was open.
        js("document.querySelector(arguments[0]).click()", card.format(1))
        wait_until(lambda: "°C" in (text("#vessel-values") or ""), 5, "the vessel page's values")
        wait_until(lambda: "change" in (text("#vessel-journal") or ""), 10, "the mode changes in the journal")
        assert "alarm cleared" in text("#vessel-alarms"), text("#vessel-alarms")
        # The viewer, whom the info names as no operator, is offered nothing,
        # the running plan's controls included.
        wait_until(lambda: "web check" in (text(card.format(1) + " .plan") or ""), 10, "the plan on vessel 1's card")
        assert js("return document.getElementById('vessel-controls').hidden")
        assert js("return document.querySelectorAll('#vessel-controls *, #alarm-list .alarm-ack-button').length") == 0
        if shots:
            browser.save_screenshot(os.path.join(shots, "web-vessel.png"))
            browser.set_window_size(390, 844)
            time.sleep(1)
            browser.save_screenshot(os.path.join(shots, "web-phone-vessel.png"))
            js("document.getElementById('chart-close').click()")
            time.sleep(0.5)
            browser.save_screenshot(os.path.join(shots, "web-phone.png"))
            browser.set_window_size(1280, 900)
        js("document.getElementById('chart-close').click()")

        # Not JSON, and markup in names: ignored, or shown as text, and the page goes on.
        ignored = js("return VortaPage.stats().ignored")
        publish(broker, ROOT + "/2/state", "not json {", program_user)
        publish(broker, ROOT + "/alarms", "[1, 2", program_user)
        evil = '<img src=x onerror="document.title=1">'
        publish(broker, f"vorta/{other}/3/state", json.dumps({"name": evil, "channels": []}), other)
        wait_until(lambda: js("return VortaPage.stats().ignored") >= ignored + 2, 10,
                   "the two bad payloads counted as ignored")
        wait_until(lambda: text(f"section[data-root='vorta/{other}'] article[data-vessel='3'] .card-name") == evil,
                   10, "the name with markup shown as text")
        assert js("return document.querySelectorAll('main img, #alarms img').length") == 0
        assert text(card.format(2) + " .card-name") == states[2]["name"]
        assert text(alarm) is not None, "the alarm list survives a payload that is no list"
        before = js("return VortaPage.stats().messages")
        wait_until(lambda: js("return VortaPage.stats().messages") > before + 4, 10,
                   "states still arriving after the bad payloads")

        # The operator: the same page logged in as anna operates vessel 1.
        js("document.getElementById('user').value = arguments[0]", operator)
        log_in(broker.passwords[operator])
        wait_until(lambda: js("return document.body.dataset.link") == "connected", 15, "the operator connected")
        wait_until(lambda: text(card.format(1) + " .card-name") is not None, 10, "vessel 1's card again")
        js("document.querySelector(arguments[0]).click()", card.format(1))
        controls = "#vessel-controls"
        wait_until(lambda: not js("return document.querySelector(arguments[0]).hidden", controls), 10,
                   "the operator's controls")
        # Who may operate changes while the large view is open: the controls follow.
        info = retained(broker, ROOT + "/info", user=operator)[0]
        assert info["operators"] == [operator], info
        publish(broker, ROOT + "/info", json.dumps(dict(info, operators=[])), program_user, retain=True)
        wait_until(lambda: js("return document.querySelector(arguments[0]).hidden", controls), 10,
                   "the controls gone with the operator")
        publish(broker, ROOT + "/info", json.dumps(info), program_user, retain=True)
        wait_until(lambda: not js("return document.querySelector(arguments[0]).hidden", controls), 10,
                   "the controls back")

        def answer_of(selector, timeout=10):
            return wait_until(lambda: js("const e = document.querySelector(arguments[0]);"
                                         "return e && e.dataset.state !== 'pending' && e.dataset.state !== '' ?"
                                         " [e.dataset.state, e.textContent] : null", selector), timeout,
                              f"the answer in {selector}")

        def set_ph(value):
            js("document.querySelector(arguments[0]).value = arguments[1]",
               controls + " input.cmd-setpoint[data-channel='1']", value)
            js("document.querySelector(arguments[0]).click()", controls + " button.cmd-setpoint-set[data-channel='1']")

        # A setpoint with the decimal comma: done, the state shows it, the
        # journal names the page and the user.
        new_sp = f"{states[1]['channels'][0]['setpoint'] + 0.15:.2f}"
        set_ph(new_sp.replace(".", ","))
        sp_state = controls + " .cmd-state[data-control$='|sp1']"
        assert answer_of(sp_state)[0] == "done", text(sp_state)
        wait_until(lambda: text(card.format(1) + " .sp") == new_sp, 10, "the new setpoint in the state")
        journal_line = ("return Array.from(document.querySelectorAll('#vessel-journal li'))"
                        ".some(e => e.textContent.includes(arguments[0]) && e.textContent.includes('from: Web'))")
        wait_until(lambda: js(journal_line, operator), 10, "the change journalled from Web by the operator")
        # Acknowledged from the alarm list.
        alarm_any = f"#alarm-list li[data-root='{ROOT}'][data-vessel='1']"
        js("document.querySelector(arguments[0]).click()", alarm + " .alarm-ack-button")
        assert answer_of(alarm_any + " .cmd-state")[0] == "done", text(alarm_any)
        wait_until(lambda: text(alarm) is None and operator in (text(alarm_any + " .alarm-ack") or ""), 10,
                   "the alarm acknowledged by the operator")

        # The running plan's row: paused from the page (the next state shows
        # it, the journal names the page and the user), then stopped once
        # confirmed, and the row goes with the plan.
        plan_row = controls + " .cmd-plan"

        def plan_buttons():
            return js("return Array.from(document.querySelectorAll(arguments[0])).filter(b => !b.hidden)"
                      ".map(b => b.dataset.action)", plan_row + " button")

        wait_until(lambda: js("const e = document.querySelector(arguments[0]); return e && !e.hidden"
                              " && e.dataset.state === 'running'", plan_row), 10, "the running plan's row")
        assert "web check" in text(plan_row) and "first wait" in text(plan_row), text(plan_row)
        assert plan_buttons() == ["pause", "skip", "stop"], plan_buttons()
        js("document.querySelector(arguments[0]).click()", plan_row + " button[data-action='pause']")
        assert answer_of(plan_row + " .cmd-state")[0] == "done", text(plan_row)
        wait_until(lambda: js("return document.querySelector(arguments[0]).dataset.state", plan_row) == "paused",
                   10, "the paused plan in the row")
        assert plan_buttons() == ["resume", "skip", "stop"], plan_buttons()
        assert "(paused)" in text(plan_row), text(plan_row)
        wait_until(lambda: js("return Array.from(document.querySelectorAll('#vessel-journal li')).some(e =>"
                              " ['план приостановлен', arguments[0], 'from: Web']"
                              ".every(w => e.textContent.includes(w)))", operator), 10,
                   "the pause journalled from Web by the operator")
        js("window.asked = []; window.confirm = (m) => { window.asked.push(m); return true; }")
        js("document.querySelector(arguments[0]).click()", plan_row + " button[data-action='stop']")
        assert answer_of(plan_row + " .cmd-state")[0] == "done", text(plan_row)
        wait_until(lambda: js("return document.querySelector(arguments[0]).hidden", plan_row), 10,
                   "the plan row gone with the stopped plan")
        assert text(card.format(1) + " .plan") == "Plan web check: stopped", text(card.format(1) + " .plan")
        assert js("return window.asked") == ["Stop the plan? Its remaining steps will not run."], \
            js("return window.asked")
        assert [r for r in journal(folder) if "остановлен" in r[7] and r[1] == operator and r[8] == "Web"], \
            "the stop journalled"

        # Killed: the broker's will marks the computer offline within its
        # keep-alive, and the cards go stale.
        program.send_signal(signal.SIGKILL)
        program.wait()
        wait_until(lambda: text(f"section[data-root='{ROOT}'] .computer-state") == "offline", 20,
                   "the computer offline after the kill")
        wait_until(lambda: js("return document.querySelector(arguments[0]).classList.contains('stale')",
                              card.format(1)), 10, "vessel 1's card stale")
        assert text(card.format(1) + " .age").startswith("no data for ")
        # A command to the computer that is down: no answer, nothing assumed.
        set_ph(f"{states[1]['channels'][0]['setpoint']:.2f}")
        assert answer_of(sp_state, 12) == ["noAnswer", "no answer"], text(sp_state)
        assert text(card.format(1) + " .sp") == new_sp

        # The program again, with its panels (offscreen): a setpoint typed into
        # the panel's own dialog shows on the page, journalled from the panel.
        driver_lines = Lines(subprocess.Popen([args.panel_driver, folder], env=env, stdin=subprocess.PIPE,
                                              stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, text=True))
        driver = driver_lines.process
        assert driver_lines.next(15) == "ready"
        wait_until(lambda: text(f"section[data-root='{ROOT}'] .computer-state") == "online", 15,
                   "the computer online again")
        panel_sp = f"{states[1]['channels'][0]['setpoint'] - 0.15:.2f}"
        driver.stdin.write(f"setpoint 1 1 {panel_sp.replace('.', ',')}\n")
        driver.stdin.flush()
        assert driver_lines.next(10) == f"done {panel_sp}"
        wait_until(lambda: text(card.format(1) + " .sp") == panel_sp, 10, "the panel's setpoint on the page")
        wait_until(lambda: js(journal_line.replace("from: Web", "from: Panel"), panel_sp), 10,
                   "the panel's change in the page's journal")
        driver.stdin.close()
        assert driver.wait(20) == 0
        js("document.getElementById('chart-close').click()")

        # A broker from the address: for this load only, shown, and without
        # the credentials typed for this one; the plain address comes back.
        elsewhere = f"ws://127.0.0.1:{broker.tcp}"
        browser.get(f"https://127.0.0.1:{broker.ws}/?broker={elsewhere}&lang=en")
        wait_until(lambda: text("#address-broker") and elsewhere in text("#address-broker"), 10,
                   "the address's broker shown")
        assert js("return [document.getElementById('user').value, document.getElementById('password').value]") \
            == ["", ""]
        browser.get(f"https://127.0.0.1:{broker.ws}/?lang=en")
        wait_until(lambda: js("return document.body.dataset.link") == "connected", 15,
                   "the page's own broker again, with the tab's password")
        assert js("return document.getElementById('address-broker').hidden")

        if shots:
            browser.save_screenshot(os.path.join(shots, "web-test.png"))
        print("web: all checks passed")
    finally:
        if browser is not None:
            close(browser)
        for p in (program, driver):
            if p is not None and p.poll() is None:
                p.kill()
                p.wait()
        broker.stop()
        shutil.rmtree(folder, ignore_errors=True)


if __name__ == "__main__":
    main()
