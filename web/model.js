// The model of every computer and vessel the page hears of, and where each
// message goes: a topic's kind decides what it updates and what is redrawn.
'use strict';

(function () {
  const app = globalThis.VortaApp;
  const Trend = globalThis.VortaTrend;
  const { LIMITS, MAX_TEXT, attributable, inDay, isObject, joinParts, num, parseJson, parseTopic, readAlarms, readIndex, readState, when } =
    globalThis.VortaPayloads;
  const Attention = globalThis.VortaAttention;
  const Commands = globalThis.VortaCommands;
  const { computers, dirtyVessels, dirtyComputers, chartQueue, historyAsking, stats, drop, note } = app;

  const decoder = new TextDecoder('utf-8');
  // Journal records kept per computer for its vessels' pages.
  const JOURNAL_KEPT = 500;

  function computerFor(root) {
    let c = computers.get(root);
    if (c) return c;
    c = {
      root,
      status: null,
      heardAt: null,
      alarms: [],
      alarmsMore: 0, // alarms the list held beyond what the page shows
      alarmsUnread: 0, // bytes of a list too large to read (0: none)
      name: '', // what its program calls it; empty: its root
      journal: [], // its records since this page connected, oldest first
      operators: [], // the users its info names as operators
      replyAsked: false, // this connection subscribed to our answers
      attributed: attributable(root, app.filterInUse),
      vessels: new Map(),
      dom: null,
    };
    computers.set(root, c);
    app.buildComputer(c);
    dirtyComputers.add(c);
    return c;
  }

  function vesselFor(c, n) {
    let v = c.vessels.get(n);
    if (v) return v;
    v = {
      computer: c,
      num: n,
      state: null,
      freshAt: null,
      stale: null,
      ageText: null,
      alarm: '',
      trend: new Trend.TrendData(),
      chart: null,
      chartVersion: -1,
      chartDrawnAt: 0,
      historyDrawn: false,
      historyAsked: false,
      historyAskedAt: 0,
      historyGot: false,
      historyHeard: false,
      historyAsk: 0, // which ask the broker's answers belong to
      historyIndex: null, // the slots of the day, oldest first
      historyParts: new Map(), // slot -> parsed part (null: not one)
      onText: null,
      dom: null,
    };
    c.vessels.set(n, v);
    app.buildCard(v);
    dirtyVessels.add(v);
    // Its alarms may have come first.
    app.alarmsDirty = true;
    return v;
  }

  function heard(c, ms) {
    if (ms !== null && (c.heardAt === null || ms > c.heardAt)) {
      c.heardAt = ms;
      dirtyComputers.add(c);
    }
  }

  function onMessage(topic, payload, packet) {
    const t0 = performance.now();
    stats.messages++;
    try {
      if (topic.includes('/reply/')) app.answered(packet, payload);
      else route(topic, payload, !!(packet && packet.retain));
    } catch (e) {
      drop('unreadable', topic);
    }
    app.requestRender();
    note(stats.handler, 'handlerCount', performance.now() - t0);
  }

  function route(topic, payload, retained) {
    const where = parseTopic(topic);
    if (!where || where.kind === 'alarm') return;
    const now = Date.now();
    app.lastMessageAt = now;
    if (payload.length > LIMITS[where.kind]) {
      drop('tooLarge', topic);
      // An alarm list that cannot be read is shown as such: the one before
      // may no longer hold.
      if (where.kind === 'alarms') {
        const c = computerFor(where.root);
        c.alarms = [];
        c.alarmsMore = 0;
        c.alarmsUnread = payload.length;
        app.alarmsDirty = true;
      }
      return;
    }
    if (where.kind === 'status') {
      const text = payload.length <= 16 ? decoder.decode(payload).trim() : '';
      if (text !== 'online' && text !== 'offline') {
        drop('unreadable', topic);
        return;
      }
      const c = computerFor(where.root);
      c.status = text;
      if (!retained) heard(c, now);
      dirtyComputers.add(c);
      return;
    }
    const o = parseJson(payload, LIMITS[where.kind]);
    if (o === undefined) {
      drop('unreadable', topic);
      return;
    }
    if (where.kind === 'info') {
      if (!isObject(o)) return drop('unreadable', topic);
      const c = computerFor(where.root);
      const name = typeof o.name === 'string' ? o.name.trim().slice(0, MAX_TEXT) : '';
      if (name !== c.name) {
        c.name = name;
        dirtyComputers.add(c);
        app.alarmsDirty = true;
      }
      const ops = Commands.readOperators(o);
      if (ops.join('\n') !== c.operators.join('\n')) {
        c.operators = ops;
        app.alarmsDirty = true;
        if (app.largeFor && app.largeFor.computer === c) app.controlsDirty = true;
      }
      app.askReplies(c);
      return;
    }
    if (where.kind === 'journal') {
      const r = Attention.readJournal(o, when);
      if (!r) return drop('unreadable', topic);
      const c = computerFor(where.root);
      c.journal.push(r);
      if (c.journal.length > JOURNAL_KEPT) c.journal.splice(0, c.journal.length - JOURNAL_KEPT);
      if (app.largeFor && app.largeFor.computer === c && (r.vessel === app.largeFor.num || r.vessel === 0)) app.vesselPageDirty = true;
      return;
    }
    if (where.kind === 'alarms') {
      const list = readAlarms(o);
      if (!list) {
        drop('unreadable', topic);
        return;
      }
      const c = computerFor(where.root);
      c.alarms = list.alarms;
      c.alarmsMore = list.more;
      c.alarmsUnread = 0;
      if (!retained) heard(c, now);
      app.alarmsDirty = true;
      return;
    }
    if (where.kind === 'state') {
      const s = readState(o);
      if (!s) {
        drop('unreadable', topic);
        return;
      }
      const c = computerFor(where.root);
      const v = vesselFor(c, where.vessel);
      v.state = s;
      // A retained state is as old as it says; a live one is fresh now.
      const fresh = retained ? (s.time === null ? null : Math.min(now, s.time)) : now;
      if (fresh !== null && (v.freshAt === null || fresh >= v.freshAt)) v.freshAt = fresh;
      heard(c, fresh);
      const at = (s.time !== null && Math.abs(s.time - now) < 300000 ? s.time : now) / 1000;
      const ch = s.channels;
      v.trend.addLive(at, [
        ch[0].value, ch[1].value, ch[2].value, ch[3].value, s.rpm,
        ch[0].setpoint, ch[1].setpoint, ch[2].setpoint, ch[3].setpoint,
      ]);
      dirtyVessels.add(v);
      app.askHistory(v);
      return;
    }
    if (where.kind === 'history' || where.kind === 'historyPart') {
      const v = vesselFor(computerFor(where.root), where.vessel);
      // Asked once: the rows that follow come one by one on the minute topic.
      if (!historyAsking.has(v)) return;
      v.historyHeard = true;
      if (where.kind === 'history') {
        // One that is no index (an older program's history, say) is no day,
        // and asking again would bring the same.
        const slots = readIndex(o);
        if (!slots) drop('unreadable', topic);
        v.historyIndex = slots || [];
      } else {
        const ok = Trend.isPart(o);
        if (!ok) drop('unreadable', topic);
        // One that is not a part leaves its hour out, not the day.
        v.historyParts.set(where.slot, ok ? o : null);
      }
      joinHistory(v);
      return;
    }
    if (where.kind === 'minute') {
      const t = isObject(o) ? when(o.time) : null;
      if (t === null) {
        drop('unreadable', topic);
        return;
      }
      // A row dated far from now (a clock set wrong, a backlog from before
      // it was set back) would end or cut the day: left out and told.
      if (!inDay(t, now)) {
        drop('outsideDay', topic);
        return;
      }
      const v = vesselFor(computerFor(where.root), where.vessel);
      v.trend.addRow(t / 1000, Trend.SERIES.map((x) => num(o[x.key])), now / 1000);
    }
  }

  // The day once the index and every part it names are here.
  function joinHistory(v) {
    const parts = joinParts(v.historyIndex, v.historyParts);
    if (!parts) return;
    v.trend.setHistory(parts, Date.now() / 1000);
    if (v.trend.outside) drop('outsideDay', app.historyTopic(v).slice(0, -2));
    app.historyDone(v);
    v.historyGot = true;
    chartQueue.add(v);
    if (app.largeFor === v) app.largeDrawnAt = 0;
  }

  Object.assign(app, { onMessage });
})();
