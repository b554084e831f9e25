#!/usr/bin/env python3
"""The browser view under a lab's load: 8 computers x 8 vessels published by
a test publisher to a real mosquitto, the page in headless Chromium served by
that broker. Prints, against their targets: how long after connecting the 64
vessels' day histories are drawn, the script time of each update (each MQTT
message handled, each frame drawn) at the program's 2-s rate, and the heap
over an hour of updates, published faster than real time (the factor is
printed)."""

import argparse
import json
import math
import os
import random
import shutil
import statistics
import sys
import threading
import time

HERE = os.path.dirname(os.path.abspath(__file__))
REPO = os.path.normpath(os.path.join(HERE, "..", ".."))
sys.path.insert(0, os.path.join(REPO, "tests", "web"))
import paho.mqtt.client as mqtt  # noqa: E402

from web_harness import chromium, close, wait_until  # noqa: E402
from web_test import recipe_broker  # noqa: E402

COMPUTERS = 8
VESSELS = 8
ROWS = 1440  # a day at a 1-minute period
SLOTS = 25  # the clock hours a day touches
COLUMNS = ("pH", "SetpH", "tC", "SettC", "pO2", "SetpO", "eH", "SeteH", "MixRpm")


def mosquitto_path():
    for p in ("/usr/sbin/mosquitto", "/usr/bin/mosquitto"):
        if os.path.exists(p):
            return p
    return shutil.which("mosquitto") or "mosquitto"


def parse_args():
    p = argparse.ArgumentParser(description=__doc__)
    p.add_argument("--web", default=os.path.join(REPO, "web"))
    p.add_argument("--chromium", default=shutil.which("chromium") or "/usr/bin/chromium")
    p.add_argument("--chromedriver", default=shutil.which("chromedriver") or "/usr/bin/chromedriver")
    p.add_argument("--mosquitto", default=mosquitto_path())
    p.add_argument("--live", type=float, default=60, help="seconds at the program's 2-s rate")
    p.add_argument("--speedup", type=float, default=10, help="how much faster the hour is published")
    return p.parse_args()


def day(seed, now):
    rnd = random.Random(seed)
    t0 = int(now) - (ROWS - 1) * 60
    rows = []
    for i in range(ROWS):
        x = i / ROWS * 2 * math.pi
        rows.append((t0 + 60 * i, (
            round(7 + 0.1 * math.sin(x * 3 + seed) + rnd.uniform(-0.01, 0.01), 2), 7.0,
            round(37 + 0.3 * math.sin(x * 5) + rnd.uniform(-0.05, 0.05), 2), 37.0,
            round(30 + 20 * math.sin(x * 2 + seed) + rnd.uniform(-2, 2), 2), 30.0,
            round(-150 + 30 * math.cos(x) + rnd.uniform(-3, 3), 2), -150.0,
            int(500 + 200 * math.sin(x * 2 + seed)))))
    return rows


def steps(values):
    """A column as the program writes it: steps from the value before, runs
    of three or more equal steps as [step, n]."""
    out, last, i = [], 0, 0
    while i < len(values):
        step, j = values[i] - last, i + 1
        last = values[i]
        while j < len(values) and values[j] - last == step:
            last = values[j]
            j += 1
        out += [[step, j - i]] if j - i >= 3 else [step] * (j - i)
        i = j
    return out


def history(n, rows):
    """The index and the parts by slot, as the program publishes them."""
    hours = {}
    for t, values in rows:
        hours.setdefault(t // 3600, []).append((t, values))
    parts = {}
    for hour, hr in sorted(hours.items()):
        part = {"vessel": n, "part": hour % SLOTS, "t": steps([t for t, _ in hr])}
        for c, key in enumerate(COLUMNS):
            part[key] = steps([round(v[c] * 100) for _, v in hr])
        parts[hour % SLOTS] = json.dumps(part, separators=(",", ":"))
    index = json.dumps({"vessel": n, "parts": [h % SLOTS for h in sorted(hours)]})
    return index, parts


def state(n, k, now):
    x = k / 50
    iso = time.strftime("%Y-%m-%dT%H:%M:%S", time.localtime(now)) + "+00:00"
    return json.dumps({
        "time": iso, "vessel": n, "name": f"Ферментёр {n}", "mode": 1, "modeName": "Butch",
        "link": "Net OK", "rpm": 500 + k % 50, "outputs": 0, "on": ["Нагрев"],
        "channels": [
            {"name": "pH", "value": 7 + 0.05 * math.sin(x), "setpoint": 7, "status": 3},
            {"name": "t°C", "value": 37 + 0.1 * math.cos(x), "setpoint": 37, "status": 0},
            {"name": "pO2", "value": 30 + 5 * math.sin(x), "setpoint": 30, "status": 0},
            {"name": "eH", "value": None if k % 97 == 0 else -150 + math.cos(x), "setpoint": -150,
             "status": 1},
        ],
    })


def minute(n, t):
    iso = time.strftime("%Y-%m-%dT%H:%M:%S", time.gmtime(t)) + "+00:00"
    return json.dumps({"vessel": n, "time": iso, "pH": 7.01, "SetpH": 7, "tC": 37.02, "SettC": 37,
                       "pO2": 31.5, "SetpO": 30, "eH": -149.2, "SeteH": -150, "MixRpm": 512})


def roots():
    return [f"vorta/bench-pc{c}" for c in range(1, COMPUTERS + 1)]


def p(values, q):
    values = sorted(values)
    return values[min(len(values) - 1, int(math.ceil(q * len(values))) - 1)] if values else float("nan")


def verdict(ok):
    return "ok" if ok else "FAIL"


def main():
    args = parse_args()
    # The README's broker recipe, authenticated: each computer publishes as
    # its own user under its own root, the page reads as the viewer.
    names = [r.split("/", 1)[1] for r in roots()]
    broker = recipe_broker(args, names)
    pubs = {}
    for root, name in zip(roots(), names):
        pub = mqtt.Client(client_id="vorta-web-bench-" + name)
        pub.username_pw_set(name, broker.passwords[name])
        pub.max_queued_messages_set(0)
        pub.connect("127.0.0.1", broker.tcp)
        pub.loop_start()
        pubs[root] = pub
    browser = None
    try:
        now = time.time()
        for c, root in enumerate(roots()):
            pubs[root].publish(root + "/status", "online", qos=1, retain=True)
            alarms = [] if c else [
                {"vessel": 3, "vesselName": "Ферментёр 3", "kind": "link", "source": "Board3",
                 "text": "Нет связи: Board3", "raised": "2026-12-07T09:00:00+00:00",
                 "acknowledgedBy": None},
                {"vessel": 5, "vesselName": "Ферментёр 5", "kind": "foam", "source": "foam",
                 "text": "Пена", "raised": "2026-12-07T08:00:00+00:00", "acknowledgedBy": "anna"}]
            pubs[root].publish(root + "/alarms", json.dumps({"alarms": alarms}), qos=1, retain=True)
            for n in range(1, VESSELS + 1):
                index, parts = history(n, day(c * VESSELS + n - 1, now))
                for slot, part in parts.items():
                    pubs[root].publish(f"{root}/{n}/history/{slot}", part, qos=1, retain=True)
                pubs[root].publish(f"{root}/{n}/history", index, qos=1, retain=True)
                pubs[root].publish(f"{root}/{n}/state", state(n, 0, now), qos=1, retain=True)
        index, parts = history(1, day(0, now))
        size = len(index) + sum(len(x) for x in parts.values())
        largest = max(len(x) for x in parts.values())
        time.sleep(1)

        browser = chromium(args.chromium, args.chromedriver, 1920, 1080,
                           extra=("--enable-precise-memory-info", "--js-flags=--expose-gc"))
        browser.get(f"http://127.0.0.1:{broker.ws}/?root=vorta/%23&lang=en&user=viewer")
        js = browser.execute_script
        js("document.getElementById('password').value = arguments[0];"
           "if (document.getElementById('connect').dataset.action === 'disconnect')"
           "  document.getElementById('connect').click();"
           "document.getElementById('connect').click()", broker.passwords["viewer"])
        stats = lambda: js("return VortaPage.stats()")  # noqa: E731

        # The live 2-s states go on meanwhile, as on a lab's broker.
        stop = threading.Event()
        counter = [0]

        def live(period):
            k = 0
            while not stop.is_set():
                start = time.time()
                for root in roots():
                    for n in range(1, VESSELS + 1):
                        pubs[root].publish(f"{root}/{n}/state", state(n, k, time.time()), retain=True)
                        counter[0] += 1
                        # Spread over the period, as 64 programs' ticks are.
                        time.sleep(period / (COMPUTERS * VESSELS) * 0.9)
                k += 1
                stop.wait(max(0, period - (time.time() - start)))

        thread = threading.Thread(target=live, args=(2.0,), daemon=True)
        thread.start()
        s = wait_until(lambda: (lambda x: x if x["historyDrawn"] >= COMPUTERS * VESSELS else None)(stats()),
                       600, "64 histories drawn", step=0.2)
        drawn_s = (s["lastHistoryDrawAt"] - s["connectedAt"]) / 1000

        js("VortaPage.resetTimes()")
        time.sleep(args.live)
        s = stats()
        handler, frame = s["handler"], s["frame"]
        stop.set()
        thread.join()

        # An hour of updates, published faster: a state per vessel every
        # 2 s of the hour and a data log row per vessel every minute of it.
        def heap():
            js("window.gc && window.gc()")
            time.sleep(0.5)
            js("window.gc && window.gc()")
            return js("return [performance.memory.usedJSHeapSize, document.getElementsByTagName('*').length]")

        samples = [heap()[0]]
        base_heap = base_nodes = None
        period = 2.0 / args.speedup
        hour_start = time.time()
        row_t = int(now)
        for k in range(1800):
            t = time.time()
            for root in roots():
                for n in range(1, VESSELS + 1):
                    pubs[root].publish(f"{root}/{n}/state", state(n, k, t), retain=True)
            if k % 30 == 29:
                row_t += 60
                for root in roots():
                    for n in range(1, VESSELS + 1):
                        pubs[root].publish(f"{root}/{n}/minute", minute(n, row_t))
            if k % 300 == 299:
                h, nodes = heap()
                samples.append(h)
                # From the first ten minutes on: the page has taken its shape.
                if base_heap is None:
                    base_heap, base_nodes = h, nodes
            time.sleep(max(0, period - (time.time() - t)))
        hour_s = time.time() - hour_start
        # Until the page has handled what is still on its way.
        last = -1
        while stats()["messages"] != last:
            last = stats()["messages"]
            time.sleep(2)
        end_heap, end_nodes = heap()
        samples.append(end_heap)
        end = stats()

        mb = lambda b: b / 1e6  # noqa: E731
        growth = (end_heap - base_heap) / base_heap
        print(f"web bench: {COMPUTERS} computers x {VESSELS} vessels, histories of {ROWS} rows "
              f"({size / 1000:.0f} kB each in {len(parts)} parts of at most {largest} bytes and an index), "
              f"headless Chromium, mosquitto WebSockets")
        print(f"  64 day histories drawn after connecting: {drawn_s:8.2f} s      target < 2 s     "
              f"{verdict(drawn_s < 2)}")
        print(f"  script time per MQTT message ({len(handler)} at the 2-s rate for {args.live:.0f} s): "
              f"p50 {p(handler, 0.5):.2f} ms, p99 {p(handler, 0.99):.2f} ms, max {max(handler):.2f} ms"
              f"   target p99 < 16 ms   {verdict(p(handler, 0.99) < 16)}")
        print(f"  script time per frame drawn ({len(frame)}): p50 {p(frame, 0.5):.2f} ms, "
              f"p99 {p(frame, 0.99):.2f} ms, max {max(frame):.2f} ms"
              f"   target p99 < 16 ms   {verdict(p(frame, 0.99) < 16)}")
        print(f"  an hour of updates ({1800 * 64} states, {60 * 64} rows) published in {hour_s:.0f} s "
              f"({3600 / hour_s:.0f}x real time): JS heap after GC from minute 10 {mb(base_heap):.1f} MB -> "
              f"{mb(end_heap):.1f} MB ({growth * 100:+.1f} %; samples "
              + ", ".join(f"{mb(x):.1f}" for x in samples)
              + f" MB), DOM nodes {base_nodes} -> {end_nodes}   target flat (< +10 %)   "
              f"{verdict(growth < 0.10 and end_nodes <= base_nodes * 1.05)}")
        print(f"  messages handled {end['messages']}, ignored {end['ignored']}")
    finally:
        if browser is not None:
            close(browser)
        for pub in pubs.values():
            pub.loop_stop()
            pub.disconnect()
        broker.stop()


if __name__ == "__main__":
    main()
