// The browser view: subscribes to the broker over WebSockets (never
// publishes), keeps the latest of every computer and vessel, and redraws
// what changed once per frame. Everything a payload holds is untrusted text:
// it reaches the page through textContent only.
'use strict';

(function () {
  const TEXTS = globalThis.VortaTexts;
  const Trend = globalThis.VortaTrend;
  const { LIMITS, MAX_TEXT, attributable, inDay, isObject, joinParts, num, parseJson, parseTopic, readAlarms, readIndex, readState, when } =
    globalThis.VortaPayloads;
  const { clock: clockIn, planText, staleness, statusText: statusIn, two } = globalThis.VortaFormat;
  const { load, save, startChoice, readTab } = globalThis.VortaStorage;
  const Attention = globalThis.VortaAttention;
  const Commands = globalThis.VortaCommands;

  const decoder = new TextDecoder('utf-8');
  const SMALL_REDRAW_MS = 10000; // a card's trend follows live values this often
  const LARGE_REDRAW_MS = 1000;
  const FRAME_BUDGET_MS = 8; // charts drawn per frame stop here
  // Told to the broker (MQTT 5): it sends this page nothing larger, so one
  // huge message cannot hold the connection for minutes.
  const MAX_PACKET = LIMITS.alarms + 8192;
  const OK_LINK = 'Net OK';
  // Vessels whose day is asked at a time: the broker queues at most about
  // a thousand messages for a client, and each day is up to 26 messages;
  // each round costs the broker a turn of its loop (up to 100 ms).
  const HISTORY_ASKS = 24;
  const HISTORY_RETRY_MS = 60000;
  // The broker sends a subscription's retained messages right after taking
  // it: a vessel that has brought none of its history by then has none.
  const HISTORY_NONE_MS = 3000;
  // Nothing at all for this long while connected (the programs send every
  // 2 s) is said where it cannot be missed.
  const SILENCE_MS = 10000;
  // Journal records kept per computer for its vessels' pages.
  const JOURNAL_KEPT = 500;
  const UNITS = ['', '°C', '%', 'mV'];
  const NEWS_AFTER_MS = 5000;

  // ---- language

  const params = new URLSearchParams(location.search);
  let lang = pickLanguage();

  function pickLanguage() {
    const asked = params.get('lang') || load(localStorage, 'vorta.lang');
    if (asked === 'ru' || asked === 'en') return asked;
    for (const l of navigator.languages || [navigator.language || '']) {
      const p = String(l).slice(0, 2).toLowerCase();
      if (p === 'ru' || p === 'en') return p;
    }
    return 'en';
  }
  function tr(key) {
    return TEXTS[lang][key];
  }
  function clock(ms) {
    return clockIn(ms, lang, tr);
  }
  function statusText(s, i) {
    return statusIn(s, i, tr);
  }

  // ---- figures for the benchmark and the tests (cheap, always on)

  const RING = 1 << 15;
  const stats = {
    handler: new Float32Array(RING),
    handlerCount: 0,
    frame: new Float32Array(RING),
    frameCount: 0,
    messages: 0,
    ignored: 0,
    connectedAt: null,
    historyDrawn: 0,
    lastHistoryDrawAt: null,
    dropped: new Map(), // why -> { count, topic }
  };
  // A message the page cannot use is left out, counted, and told once on a
  // line of its own (with the last topic), never by a prompt per message.
  function drop(why, topic) {
    stats.ignored++;
    const d = stats.dropped.get(why) || { count: 0, topic: '' };
    d.count++;
    d.topic = topic.slice(0, MAX_TEXT);
    stats.dropped.set(why, d);
    noticesDirty = true;
  }
  function note(ring, countKey, ms) {
    ring[stats[countKey] % RING] = ms;
    stats[countKey]++;
  }

  // ---- DOM helpers: text only

  function el(tag, cls, text) {
    const e = document.createElement(tag);
    if (cls) e.className = cls;
    if (text !== undefined) e.textContent = text;
    return e;
  }
  function setText(e, text) {
    if (e.textContent !== text) e.textContent = text;
  }
  function setClass(e, cls, on) {
    if (e.classList.contains(cls) !== on) e.classList.toggle(cls, on);
  }

  // ---- the model

  const computers = new Map(); // root -> computer
  const dirtyVessels = new Set();
  const dirtyComputers = new Set();
  const chartQueue = new Set();
  let alarmsDirty = true;
  let noticesDirty = false;
  let filterInUse = '';
  let userInUse = ''; // the broker user this connection logged in as
  let chartChoice = loadChoice();
  let attentionDirty = true;
  let vesselPageDirty = false;
  // Whether the large view's controls are to be built anew (who may operate
  // changed); not on every state, which would wipe a value being typed.
  let controlsDirty = false;
  let lastMessageAt = null;
  let unackCount = 0;
  const knownAlarms = new Set();
  let smallWidth = 0;
  let largeFor = null;
  let largeChart = null;
  let largeVersion = -1;
  let largeDrawnAt = 0;

  function loadChoice() {
    const fallback = { pH: true, tC: true, pO2: true, eH: false, rpm: false, setpoints: true };
    try {
      const o = JSON.parse(load(localStorage, 'vorta.channels') || 'null');
      if (isObject(o)) {
        for (const k of Object.keys(fallback)) if (typeof o[k] === 'boolean') fallback[k] = o[k];
      }
    } catch (e) {
      /* the defaults */
    }
    return fallback;
  }

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
      attributed: attributable(root, filterInUse),
      vessels: new Map(),
      dom: null,
    };
    computers.set(root, c);
    buildComputer(c);
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
    buildCard(v);
    dirtyVessels.add(v);
    // Its alarms may have come first.
    alarmsDirty = true;
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
      if (topic.includes('/reply/')) answered(packet, payload);
      else route(topic, payload, !!(packet && packet.retain));
    } catch (e) {
      drop('unreadable', topic);
    }
    requestRender();
    note(stats.handler, 'handlerCount', performance.now() - t0);
  }

  function route(topic, payload, retained) {
    const where = parseTopic(topic);
    if (!where || where.kind === 'alarm') return;
    const now = Date.now();
    lastMessageAt = now;
    if (payload.length > LIMITS[where.kind]) {
      drop('tooLarge', topic);
      // An alarm list that cannot be read is shown as such: the one before
      // may no longer hold.
      if (where.kind === 'alarms') {
        const c = computerFor(where.root);
        c.alarms = [];
        c.alarmsMore = 0;
        c.alarmsUnread = payload.length;
        alarmsDirty = true;
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
        alarmsDirty = true;
      }
      const ops = Commands.readOperators(o);
      if (ops.join('\n') !== c.operators.join('\n')) {
        c.operators = ops;
        alarmsDirty = true;
        if (largeFor && largeFor.computer === c) controlsDirty = true;
      }
      askReplies(c);
      return;
    }
    if (where.kind === 'journal') {
      const r = Attention.readJournal(o, when);
      if (!r) return drop('unreadable', topic);
      const c = computerFor(where.root);
      c.journal.push(r);
      if (c.journal.length > JOURNAL_KEPT) c.journal.splice(0, c.journal.length - JOURNAL_KEPT);
      if (largeFor && largeFor.computer === c && (r.vessel === largeFor.num || r.vessel === 0)) vesselPageDirty = true;
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
      alarmsDirty = true;
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
      askHistory(v);
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
    if (v.trend.outside) drop('outsideDay', historyTopic(v).slice(0, -2));
    historyDone(v);
    v.historyGot = true;
    chartQueue.add(v);
    if (largeFor === v) largeDrawnAt = 0;
  }

  // The day's rows of a vessel: its retained history (an index and a part an
  // hour), taken once per connection (a browser that stayed subscribed would
  // get the newest hour again with every row), a few vessels at a time.
  const historyQueue = new Set();
  const historyAsking = new Set();
  function historyTopic(v) {
    return v.computer.root + '/' + v.num + '/history/#';
  }
  function askHistory(v) {
    if (v.historyAsked || !client || !client.connected) return;
    v.historyAsked = true;
    historyQueue.add(v);
    askNextHistories();
  }
  function askNextHistories() {
    for (const v of historyQueue) {
      if (historyAsking.size >= HISTORY_ASKS) return;
      historyQueue.delete(v);
      historyAsking.add(v);
      v.historyAskedAt = Date.now();
      v.historyIndex = null;
      v.historyParts.clear();
      v.historyHeard = false;
      const ask = ++v.historyAsk;
      // QoS 1: a busy broker drops a slow page's QoS 0 messages first.
      client.subscribe(historyTopic(v), { qos: 1 }, (err) => {
        if (err) return;
        setTimeout(() => {
          // None of it came: the vessel has no day to give; its slot goes
          // to the next one at once rather than at the retry.
          if (v.historyAsk === ask && historyAsking.has(v) && !v.historyHeard) {
            historyDone(v);
            v.historyGot = true;
          }
        }, HISTORY_NONE_MS);
      });
    }
  }
  function historyDone(v) {
    if (client && historyAsking.has(v)) client.unsubscribe(historyTopic(v));
    historyAsking.delete(v);
    v.historyIndex = null;
    v.historyParts.clear();
    askNextHistories();
  }
  function forgetHistories() {
    historyQueue.clear();
    historyAsking.clear();
  }

  // The user's filter without the history topics: "vorta/#" becomes the
  // status, alarms, state and minute topics of roots one to four levels
  // below "vorta/" (and of "vorta" itself).
  function subscriptions(filter) {
    if (!filter.endsWith('#')) return [filter];
    const base = filter.slice(0, -1);
    if (base !== '' && !base.endsWith('/')) return [filter];
    const out = [];
    const kinds = ['status', 'alarms', 'info', 'journal', '+/state', '+/minute'];
    if (base !== '') out.push(...kinds.map((k) => base + k));
    for (let depth = 1; depth <= 4; depth++) {
      const root = base + '+/'.repeat(depth);
      out.push(...kinds.map((k) => root + k));
    }
    return out;
  }

  // ---- commands

  // Each control's last word: key -> {state, text}.
  const pending = new Commands.Pending();
  const controlState = new Map();
  const pageId = Math.random().toString(16).slice(2, 10);

  function canOperate(c) {
    return c.attributed && linkKey === 'connected' && Commands.operates(c.operators, userInUse);
  }
  // Our answers come on our own reply topic, asked for once per connection.
  function askReplies(c) {
    if (!client || c.replyAsked || !Commands.operates(c.operators, userInUse)) return;
    c.replyAsked = true;
    client.subscribe(Commands.replyTopic(c.root, userInUse, '#'), { qos: 1 });
  }
  function send(c, vessel, key, cmd, fields) {
    if (!client || !canOperate(c)) return;
    const id = pending.start(key, Date.now());
    controlState.set(key, { state: 'pending', text: '' });
    client.publish(Commands.commandTopic(c.root, userInUse, vessel), Commands.buildCommand(cmd, fields, Date.now()), {
      qos: 1,
      properties: { responseTopic: Commands.replyTopic(c.root, userInUse, pageId), correlationData: new TextEncoder().encode(id) },
    });
    controlsChanged();
  }
  function answered(packet, payload) {
    const cd = packet && packet.properties && packet.properties.correlationData;
    if (!cd) return;
    const r = pending.answer(decoder.decode(cd), Commands.readAnswer(payload), Date.now());
    if (!r) return;
    controlState.set(r.control, { state: r.state, text: r.text });
    controlsChanged();
  }
  function expireCommands() {
    const gone = pending.expire(Date.now());
    for (const r of gone) controlState.set(r.control, { state: r.state, text: '' });
    if (gone.length) controlsChanged();
  }
  function controlsChanged() {
    alarmsDirty = true;
    if (largeFor) renderControlStates();
    requestRender();
  }
  // A span that tells a control's last word.
  function stateSpan(key) {
    const s = controlState.get(key);
    const span = el('span', 'cmd-state');
    span.dataset.control = key;
    fillState(span, s);
    return span;
  }
  function fillState(span, s) {
    span.dataset.state = s ? s.state : '';
    const text = !s
      ? ''
      : s.state === 'pending'
        ? tr('waiting')
        : s.state === 'done'
          ? tr('cmdDone') + (s.text ? ': ' + s.text : '')
          : s.state === 'refused'
            ? tr('cmdRefused') + s.text
            : tr('noAnswer');
    setText(span, text);
  }
  function renderControlStates() {
    for (const span of controlsBox.querySelectorAll('.cmd-state')) fillState(span, controlState.get(span.dataset.control));
  }

  // The large view's controls: a mode switch and a setpoint per channel.
  const controlsBox = document.getElementById('vessel-controls');
  function buildControls(v) {
    const c = v.computer;
    controlsBox.hidden = !canOperate(c);
    controlsBox.replaceChildren();
    if (controlsBox.hidden) return;
    const base = c.root + '|' + v.num + '|';
    const mode = el('select', 'cmd-mode');
    tr('modes').forEach((name, i) => {
      const o = el('option', null, name);
      o.value = String(i);
      mode.append(o);
    });
    if (v.state && v.state.mode !== null) mode.value = String(v.state.mode);
    const modeRow = el('div', 'cmd-row');
    const modeGo = el('button', 'cmd-mode-set', tr('apply'));
    modeGo.type = 'button';
    modeGo.addEventListener('click', () => {
      const m = Number(mode.value);
      if (m === Commands.UNCONTROLLED && !window.confirm(tr('confirmUncontrolled'))) return;
      send(c, v.num, base + 'mode', 'mode', { mode: m });
    });
    modeRow.append(el('span', null, tr('mode')), mode, modeGo, stateSpan(base + 'mode'));
    controlsBox.append(modeRow);
    ['pH', 't°C', 'pO2', 'eH'].forEach((label, i) => {
      const row = el('div', 'cmd-row');
      const input = el('input', 'cmd-setpoint');
      input.type = 'text';
      input.inputMode = 'decimal';
      input.dataset.channel = String(i + 1);
      const sp = v.state && v.state.channels[i].setpoint;
      input.value = sp === null || sp === undefined ? '' : two(sp);
      const key = base + 'sp' + (i + 1);
      const go = el('button', 'cmd-setpoint-set', tr('apply'));
      go.type = 'button';
      go.dataset.channel = String(i + 1);
      go.addEventListener('click', () => {
        // The program checks the range and says why not; the page only
        // keeps what is no number from being sent.
        if (Commands.readDecimal(input.value) === null) {
          controlState.set(key, { state: 'refused', text: tr('notNumber') });
          return renderControlStates();
        }
        send(c, v.num, key, 'setpoint', { channel: i + 1, value: input.value.trim() });
      });
      row.append(el('span', null, label + ' ' + tr('setpoint')), input, go, stateSpan(key));
      controlsBox.append(row);
    });
  }

  // ---- building the page

  const main = document.getElementById('computers');
  const alarmList = document.getElementById('alarm-list');
  const linkState = document.getElementById('link-state');

  function insertSorted(parent, node, key, compare) {
    node.dataset.key = key;
    for (const child of parent.children) {
      if (child.dataset.key !== undefined && compare(key, child.dataset.key) < 0) {
        parent.insertBefore(node, child);
        return;
      }
    }
    parent.appendChild(node);
  }

  function buildComputer(c) {
    const section = el('section', 'computer');
    const head = el('h2', 'computer-head');
    const dot = el('span', 'dot');
    const name = el('span', 'computer-name', c.root);
    const state = el('span', 'computer-state');
    const heardEl = el('span', 'computer-heard');
    const origin = el('span', 'computer-origin');
    head.append(dot, name, state, heardEl, origin);
    const grid = el('div', 'cards');
    section.append(head, grid);
    section.dataset.root = c.root;
    insertSorted(main, section, c.root, (a, b) => a.localeCompare(b));
    c.dom = { section, dot, name, state, heard: heardEl, origin, grid };
  }

  function buildCard(v) {
    const card = el('article', 'card');
    card.tabIndex = 0;
    card.dataset.vessel = String(v.num);
    const head = el('header', 'card-head');
    const name = el('span', 'card-name');
    const number = el('span', 'card-num', '#' + v.num);
    head.append(name, number);
    const meta = el('div', 'card-meta');
    const mode = el('span', 'mode');
    const link = el('span', 'link');
    const rpm = el('span', 'rpm');
    meta.append(mode, link, rpm);
    const plan = el('div', 'plan');
    const table = el('table', 'channels');
    const rows = [];
    ['pH', 't°C', 'pO2', 'eH'].forEach((label, i) => {
      const tr_ = el('tr');
      const value = el('td', 'value');
      const sp = el('td', 'sp');
      const st = el('td', 'st');
      tr_.append(el('th', null, label), value, el('td', 'unit', UNITS[i]), sp, st);
      table.append(tr_);
      rows.push({ value, sp, st });
    });
    const outputs = el('div', 'outputs');
    const chart = el('div', 'trend');
    chart.dataset.points = '0';
    const age = el('div', 'age');
    card.append(head, meta, plan, table, outputs, chart, age);
    card.addEventListener('click', () => openLarge(v));
    card.addEventListener('keydown', (e) => {
      if (e.key === 'Enter' || e.key === ' ') {
        e.preventDefault();
        openLarge(v);
      }
    });
    insertSorted(v.computer.dom.grid, card, String(v.num), (a, b) => Number(a) - Number(b));
    v.dom = { card, name, mode, link, rpm, plan, rows, outputs, chart, age };
  }

  // ---- drawing

  function renderComputer(c) {
    const d = c.dom;
    // While the page itself hears nothing, it cannot say who is online.
    const live = linkKey === 'connected';
    const state = !live ? 'unknown' : c.status === 'online' ? 'online' : c.status === 'offline' ? 'offline' : 'unknown';
    d.section.dataset.status = state;
    setClass(d.section, 'unattributed', !c.attributed);
    setText(d.origin, c.attributed ? '' : tr('unattributed'));
    setText(d.state, state === 'unknown' ? tr('unknownStatus') : tr(state));
    setText(d.name, c.name || c.root);
    if (d.name.title !== c.root) d.name.title = c.root;
    c.shownStatus = state;
    attentionDirty = true;
    setText(d.heard, tr('lastHeard') + clock(c.heardAt));
  }

  function renderCard(v) {
    const d = v.dom;
    const s = v.state;
    if (s) {
      setText(d.name, s.name || tr('vessel') + v.num);
      const mode = s.mode !== null && s.mode >= 0 && s.mode < 4 ? tr('modes')[s.mode] : s.modeName;
      setText(d.mode, mode);
      setText(d.link, s.link);
      setClass(d.link, 'bad', s.link !== OK_LINK);
      setText(d.rpm, s.rpm === null ? '' : s.rpm + ' ' + tr('rpm'));
      setText(d.plan, planText(s.plan, tr));
      for (let i = 0; i < 4; i++) {
        const ch = s.channels[i];
        const r = d.rows[i];
        setText(r.value, two(ch.value));
        setClass(r.value, 'invalid', ch.value === null);
        setText(r.sp, two(ch.setpoint));
        const st = statusText(s, i);
        setText(r.st, st);
        if (r.st.title !== st) r.st.title = st;
      }
      const onText = s.on.join('\n');
      if (onText !== v.onText) {
        v.onText = onText;
        d.outputs.replaceChildren(...s.on.map((n) => el('span', 'on', n)));
      }
    } else {
      setText(d.name, tr('vessel') + v.num);
    }
    setClass(d.card, 'stale', v.stale === true);
    setText(d.age, v.stale ? tr('staleFor') + v.ageText : '');
    setClass(d.card, 'alarm-unack', v.alarm === 'unack');
    setClass(d.card, 'alarm-ack', v.alarm === 'ack');
    attentionDirty = true;
    if (largeFor === v) vesselPageDirty = true;
  }

  function renderAlarms() {
    const all = [];
    const levels = new Map();
    const told = [];
    for (const c of computers.values()) {
      for (const a of c.alarms) {
        all.push({ c, a });
        // What no broker user answers for does not turn a card red.
        const v = a.vessel && c.attributed ? c.vessels.get(a.vessel) : null;
        if (v) levels.set(v, levels.get(v) === 'unack' || !a.acknowledged ? 'unack' : 'ack');
      }
      if (c.alarmsUnread) told.push({ c, text: tr('alarmsUnread') + Math.ceil(c.alarmsUnread / 1024) + ' KiB' });
      if (c.alarmsMore) told.push({ c, text: tr('alarmsMore') + c.alarmsMore });
    }
    // Unacknowledged first, the newest first within each; what cannot be
    // attributed last.
    all.sort(
      (x, y) =>
        Number(!x.c.attributed) - Number(!y.c.attributed) ||
        Number(x.a.acknowledged) - Number(y.a.acknowledged) ||
        (y.a.raised || 0) - (x.a.raised || 0),
    );
    const items = told.map(({ c, text }) => {
      const li = el('li', 'alarm unack told');
      li.dataset.root = c.root;
      li.append(el('span', 'alarm-where', c.name || c.root), el('span', 'alarm-text', text));
      return li;
    });
    for (const { c, a } of all) {
      const li = el('li', !c.attributed ? 'alarm unattributed' : a.acknowledged ? 'alarm ack' : 'alarm unack');
      li.dataset.root = c.root;
      li.dataset.vessel = String(a.vessel);
      const who = a.vessel ? a.vesselName || tr('vessel') + a.vessel : tr('program');
      const english = lang === 'en' && a.textEn !== '';
      const text = el('span', 'alarm-text', english ? a.textEn : a.text);
      text.lang = english ? 'en' : a.textLang;
      const kind = el('span', 'alarm-kind', (a.kind ? tr('kinds')[a.kind] : '') + (a.source ? ' · ' + a.source : ''));
      li.append(
        el('span', 'alarm-time', a.raised === null ? (a.raisedJunk ? tr('badTime') : '?') : clock(a.raised)),
        el('span', 'alarm-where', (c.name || c.root) + ' · ' + who),
        kind,
        text,
      );
      if (text.lang !== lang) li.append(el('span', 'alarm-lang', tr('textIn')[a.textLang] || '(' + a.textLang + ')'));
      li.append(el('span', 'alarm-ack', a.acknowledged ? tr('acknowledgedBy') + a.ackBy : tr('notAcknowledged')));
      if (!c.attributed) li.append(el('span', 'alarm-origin', tr('unattributed')));
      if (!a.acknowledged && a.id !== null && canOperate(c)) {
        const key = c.root + '|alarm|' + a.id;
        const ack = el('button', 'alarm-ack-button', tr('acknowledge'));
        ack.type = 'button';
        ack.addEventListener('click', (e) => {
          e.stopPropagation();
          send(c, a.vessel || 'all', key, 'ack', { alarm: a.id });
        });
        li.append(ack);
      }
      const ackKey = c.root + '|alarm|' + a.id;
      if (controlState.has(ackKey)) li.append(stateSpan(ackKey));
      li.tabIndex = 0;
      li.addEventListener('click', () => goToCard(c, a.vessel));
      items.push(li);
    }
    if (!items.length) items.push(el('li', 'none', tr('noAlarms')));
    alarmList.replaceChildren(...items);
    document.getElementById('alarms').dataset.count = String(all.length);
    // A new alarm not acknowledged is told by the tab's title and, when
    // asked, a sound; the title counts those not acknowledged.
    const fresh = Attention.newAlarms(knownAlarms, all.filter(({ c }) => c.attributed).map(({ c, a }) => ({ root: c.root, a })));
    unackCount = all.filter(({ c, a }) => c.attributed && !a.acknowledged).length;
    document.title = Attention.titleWith(unackCount, tr('title'));
    // What is there when the page connects is no news.
    if (fresh > 0 && soundBox.checked && stats.connectedAt !== null && performance.now() - stats.connectedAt > NEWS_AFTER_MS) beep();
    if (largeFor) vesselPageDirty = true;
    for (const c of computers.values()) {
      for (const v of c.vessels.values()) {
        const level = levels.get(v) || '';
        if (v.alarm !== level) {
          v.alarm = level;
          dirtyVessels.add(v);
        }
      }
    }
  }

  function measureSmallWidth() {
    for (const c of computers.values()) {
      for (const v of c.vessels.values()) {
        const w = v.dom.chart.clientWidth;
        if (w > 0) return w;
      }
    }
    return 240;
  }

  function drawChart(v, now) {
    if (!v.chart) {
      if (!smallWidth) smallWidth = measureSmallWidth();
      v.chart = Trend.smallChart(v.dom.chart, smallWidth, chartChoice, lang, tr);
    }
    const data = v.trend.data(now / 1000);
    v.chart.setData(data);
    v.chartVersion = v.trend.version;
    v.chartDrawnAt = now;
    v.dom.chart.dataset.points = String(data[0].length);
    if (!v.historyDrawn && v.trend.histT.length) {
      v.historyDrawn = true;
      stats.historyDrawn++;
      stats.lastHistoryDrawAt = performance.now();
    }
  }

  const notices = document.getElementById('notices');
  function renderNotices() {
    const lines = [];
    for (const [why, d] of stats.dropped) lines.push(tr('dropped')[why] + d.count + ' (' + d.topic + ')');
    setText(notices, lines.join('; '));
    notices.hidden = lines.length === 0;
  }

  let frameAsked = false;
  let frameTimer = 0;
  function requestRender() {
    if (frameAsked) return;
    frameAsked = true;
    requestAnimationFrame(render);
    // A hidden tab gets no frames: its model is drawn all the same, slowly.
    frameTimer = setTimeout(render, 500);
  }

  function render() {
    if (!frameAsked) return;
    frameAsked = false;
    clearTimeout(frameTimer);
    const t0 = performance.now();
    const now = Date.now();
    for (const c of dirtyComputers) renderComputer(c);
    dirtyComputers.clear();
    if (alarmsDirty) {
      alarmsDirty = false;
      renderAlarms();
    }
    if (noticesDirty) {
      noticesDirty = false;
      renderNotices();
    }
    for (const v of dirtyVessels) renderCard(v);
    dirtyVessels.clear();
    if (attentionDirty) {
      attentionDirty = false;
      renderAttention();
    }
    if (vesselPageDirty && largeFor) renderVesselPage(largeFor);
    vesselPageDirty = false;
    if (controlsDirty && largeFor && canOperate(largeFor.computer) === controlsBox.hidden) buildControls(largeFor);
    controlsDirty = false;
    for (const v of chartQueue) {
      if (performance.now() - t0 > FRAME_BUDGET_MS) break;
      chartQueue.delete(v);
      drawChart(v, now);
    }
    if (largeFor && largeChart && largeFor.trend.version !== largeVersion && now - largeDrawnAt >= LARGE_REDRAW_MS) {
      largeChart.setData(largeFor.trend.data(now / 1000));
      largeVersion = largeFor.trend.version;
      largeDrawnAt = now;
    }
    if (chartQueue.size) requestRender();
    note(stats.frame, 'frameCount', performance.now() - t0);
  }

  // Once a second: ages, stale marks and the trends that follow live values.
  function tick() {
    expireCommands();
    const now = Date.now();
    for (const c of computers.values()) {
      for (const v of c.vessels.values()) {
        const { stale, ageText } = staleness(v.freshAt, now, tr);
        if (stale !== v.stale || ageText !== v.ageText) {
          v.stale = stale;
          v.ageText = ageText;
          dirtyVessels.add(v);
        }
        if (v.trend.version !== v.chartVersion && now - v.chartDrawnAt >= SMALL_REDRAW_MS) chartQueue.add(v);
        // Asked and not come (dropped by a busy broker, or none yet): ask again.
        if (historyAsking.has(v) && now - v.historyAskedAt > HISTORY_RETRY_MS && client) {
          historyDone(v);
          v.historyAsked = false;
          askHistory(v);
        }
      }
    }
    if (largeFor && largeFor.trend.version !== largeVersion) requestRender();
    if (dirtyVessels.size || chartQueue.size) requestRender();
    renderSilence(now);
  }
  setInterval(tick, 1000);

  let resizeTimer = 0;
  window.addEventListener('resize', () => {
    clearTimeout(resizeTimer);
    resizeTimer = setTimeout(() => {
      smallWidth = measureSmallWidth();
      for (const c of computers.values()) {
        for (const v of c.vessels.values()) if (v.chart) v.chart.setSize({ width: smallWidth, height: 60 });
      }
      if (largeChart) openLarge(largeFor);
    }, 200);
  });

  // ---- attention: the summary line, the cards' order, the silence banner

  const summaryLine = document.getElementById('summary');
  const showSelect = document.getElementById('card-show');
  const soundBox = document.getElementById('sound');
  const silence = document.getElementById('silence');
  showSelect.value = ['number', 'state', 'attention'].includes(load(localStorage, 'vorta.show')) ? load(localStorage, 'vorta.show') : 'number';
  soundBox.checked = load(localStorage, 'vorta.sound') === 'on';
  showSelect.addEventListener('change', () => {
    save(localStorage, 'vorta.show', showSelect.value);
    attentionDirty = true;
    requestRender();
  });
  soundBox.addEventListener('change', () => save(localStorage, 'vorta.sound', soundBox.checked ? 'on' : ''));

  function renderAttention() {
    const states = [];
    const byState = showSelect.value !== 'number';
    for (const c of computers.values()) {
      let shownHere = 0;
      for (const v of c.vessels.values()) {
        const state = Attention.vesselState({
          alarm: v.alarm,
          computer: c.shownStatus || 'unknown',
          stale: v.stale === true,
        });
        states.push(state);
        const card = v.dom.card;
        if (card.dataset.state !== state) card.dataset.state = state;
        const order = String(Attention.cardOrder(state, v.num, byState));
        if (card.style.order !== order) card.style.order = order;
        const shown = Attention.cardShown(state, showSelect.value);
        if (card.hidden === shown) card.hidden = !shown;
        if (shown) shownHere++;
      }
      const hide = c.vessels.size > 0 && shownHere === 0;
      if (c.dom.section.hidden !== hide) c.dom.section.hidden = hide;
    }
    setText(summaryLine, Attention.summary(states, tr));
  }

  // A click on an alarm: its vessel's card (or its computer), shown even
  // when the cards are filtered, and briefly marked.
  function goToCard(c, n) {
    const v = c.vessels.get(n);
    const target = v ? v.dom.card : c.dom.section;
    if (target.hidden) {
      showSelect.value = 'state';
      attentionDirty = true;
      renderAttention();
    }
    c.dom.section.hidden = false;
    target.hidden = false;
    target.scrollIntoView({ block: 'center' });
    target.focus({ preventScroll: true });
    target.classList.remove('flash');
    void target.offsetWidth;
    target.classList.add('flash');
  }

  let audio = null;
  function beep() {
    try {
      audio = audio || new AudioContext();
      const o = audio.createOscillator();
      const g = audio.createGain();
      o.frequency.value = 880;
      g.gain.value = 0.2;
      o.connect(g).connect(audio.destination);
      o.start();
      o.stop(audio.currentTime + 0.4);
    } catch (e) {
      /* no sound here */
    }
  }

  // While the page hears nothing its values may all be old: said above
  // everything, with how long.
  function renderSilence(now) {
    let text = '';
    if (client && linkKey !== 'connected') text = tr('silentLink');
    else if (client && lastMessageAt === null && stats.connectedAt !== null && performance.now() - stats.connectedAt > SILENCE_MS) text = tr('silentNone');
    else if (client && lastMessageAt !== null && now - lastMessageAt > SILENCE_MS) text = tr('silentFor') + Math.round((now - lastMessageAt) / 1000) + tr('seconds');
    setText(silence, text);
    if (silence.hidden !== (text === '')) silence.hidden = text === '';
  }

  // ---- the large chart

  const dialog = document.getElementById('chart-dialog');
  const channelBox = document.getElementById('chart-channels');
  const largeBox = document.getElementById('chart-large');

  function channelLabel(key) {
    return key === 'rpm' ? tr('stirrer') : key === 'setpoints' ? tr('setpoints') : key === 'tC' ? 't°C' : key;
  }

  function buildChoiceBoxes() {
    const legend = channelBox.querySelector('legend');
    channelBox.replaceChildren(legend);
    for (const key of Trend.CHANNELS.concat(['setpoints'])) {
      const label = el('label', 'choice');
      const box = el('input');
      box.type = 'checkbox';
      box.name = key;
      box.checked = !!chartChoice[key];
      box.addEventListener('change', () => {
        chartChoice[key] = box.checked;
        save(localStorage, 'vorta.channels', JSON.stringify(chartChoice));
        for (const c of computers.values()) {
          for (const v of c.vessels.values()) if (v.chart) Trend.applyChoice(v.chart, chartChoice);
        }
        if (largeFor) openLarge(largeFor);
      });
      label.append(box, el('span', null, channelLabel(key)));
      channelBox.append(label);
    }
  }

  // The vessel page's chart: the last span, or a stretch dragged across it.
  const rangeSelect = document.getElementById('chart-range');
  const largeView = { spanS: Number(rangeSelect.value), zoom: null };
  rangeSelect.addEventListener('change', () => {
    largeView.spanS = Number(rangeSelect.value);
    largeView.zoom = null;
    if (largeFor) openLarge(largeFor);
  });
  // What the chart shows now, in seconds.
  function shownRange() {
    const x = largeChart && largeChart.scales.x;
    if (x && x.min !== null && x.max !== null) return [x.min, x.max];
    const now = Date.now() / 1000;
    return [now - largeView.spanS, now];
  }
  function fileName(v, ext) {
    const stamp = new Date().toISOString().slice(0, 16).replace(/[:T]/g, '-');
    return (v.computer.name || v.computer.root).replace(/[^\p{L}\p{N}._-]+/gu, '_') + '-' + v.num + '-' + stamp + '.' + ext;
  }
  function download(blob, name) {
    const a = el('a');
    a.href = URL.createObjectURL(blob);
    a.download = name;
    document.body.append(a);
    a.click();
    a.remove();
    setTimeout(() => URL.revokeObjectURL(a.href), 10000);
  }
  document.getElementById('export-csv').addEventListener('click', () => {
    if (!largeFor) return;
    const [from, to] = shownRange();
    const labels = Trend.SERIES.map((x) => Trend.seriesLabel(x, tr));
    const csv = Attention.toCsv(largeFor.trend.data(Date.now() / 1000), labels, from, to);
    download(new Blob([csv], { type: 'text/csv' }), fileName(largeFor, 'csv'));
  });
  document.getElementById('export-png').addEventListener('click', () => {
    if (!largeFor || !largeChart) return;
    const v = largeFor;
    largeChart.ctx.canvas.toBlob((blob) => blob && download(blob, fileName(v, 'png')), 'image/png');
  });

  // The values with their units, the alarms and the journal records of the
  // vessel (those that came while this page was connected).
  const valuesTable = document.getElementById('vessel-values');
  const vesselAlarms = document.getElementById('vessel-alarms');
  const vesselJournal = document.getElementById('vessel-journal');
  function renderVesselPage(v) {
    const s = v.state;
    const rows = [];
    ['pH', 't°C', 'pO2', 'eH'].forEach((label, i) => {
      const ch = s ? s.channels[i] : { value: null, setpoint: null };
      const unit = UNITS[i] ? ' ' + UNITS[i] : '';
      const row = el('tr');
      row.append(
        el('th', null, label),
        el('td', 'value', two(ch.value) + unit),
        el('td', 'sp', tr('setpoint') + ' ' + two(ch.setpoint) + unit),
        el('td', 'st', s ? statusText(s, i) : ''),
      );
      rows.push(row);
    });
    const rpm = el('tr');
    rpm.append(el('th', null, tr('stirrer')), el('td', 'value', s && s.rpm !== null ? s.rpm + ' ' + tr('rpm') : '—'));
    rows.push(rpm);
    valuesTable.replaceChildren(...rows);

    const c = v.computer;
    const alarmItems = [];
    for (const a of c.alarms) {
      if (a.vessel !== v.num) continue;
      const text = lang === 'en' && a.textEn ? a.textEn : a.text;
      alarmItems.push(
        el('li', a.acknowledged ? 'ack' : 'unack', [clock(a.raised), text, a.acknowledged ? tr('acknowledgedBy') + a.ackBy : tr('notAcknowledged')].join(' · ')),
      );
    }
    const journalItems = [];
    for (let i = c.journal.length - 1; i >= 0; i--) {
      const r = c.journal[i];
      if (r.vessel !== v.num) continue;
      const what = r.subject + (r.old !== '' || r.now !== '' ? ': ' + r.old + ' → ' + r.now : '');
      const line = [clock(r.time), r.user || '—', tr('journalKinds')[r.kind] || r.kind, what, r.source ? tr('from') + r.source : ''].filter((x) => x).join(' · ');
      (r.kind === 'Change' || r.kind === 'Program' ? journalItems : alarmItems).push(el('li', 'record', line));
    }
    if (!alarmItems.length) alarmItems.push(el('li', 'none', tr('noAlarms')));
    if (!journalItems.length) journalItems.push(el('li', 'none', tr('noRecords')));
    vesselAlarms.replaceChildren(...alarmItems);
    vesselJournal.replaceChildren(...journalItems);
  }

  function openLarge(v) {
    if (largeFor !== v) largeView.zoom = null;
    largeFor = v;
    if (!dialog.open) dialog.showModal();
    const name = (v.state && v.state.name) || tr('vessel') + v.num;
    setText(document.getElementById('chart-title'), (v.computer.name || v.computer.root) + ' · ' + name);
    renderVesselPage(v);
    buildControls(v);
    if (largeChart) largeChart.destroy();
    largeBox.replaceChildren();
    const width = Math.max(200, largeBox.clientWidth || dialog.clientWidth - 32);
    const height = Math.max(180, Math.min(520, Math.round(window.innerHeight * 0.55)));
    largeChart = Trend.largeChart(largeBox, width, height, chartChoice, lang, tr, largeView);
    const now = Date.now();
    largeChart.setData(v.trend.data(now / 1000));
    largeVersion = v.trend.version;
    largeDrawnAt = now;
    largeBox.dataset.points = String(v.trend.points);
  }

  function closeLarge() {
    if (largeChart) largeChart.destroy();
    largeChart = null;
    largeFor = null;
    largeBox.replaceChildren();
    if (dialog.open) dialog.close();
  }
  document.getElementById('chart-close').addEventListener('click', closeLarge);
  dialog.addEventListener('close', closeLarge);
  dialog.addEventListener('click', (e) => {
    if (e.target === dialog) closeLarge();
  });

  // ---- the connection

  const form = document.getElementById('connection');
  const brokerInput = document.getElementById('broker');
  const filterInput = document.getElementById('filter');
  const userInput = document.getElementById('user');
  const passwordInput = document.getElementById('password');
  let client = null;
  let linkKey = 'closed';
  let linkDetail = '';

  function showLink(key, detail) {
    // Whether the computers' states can be told changes with the link.
    if ((key === 'connected') !== (linkKey === 'connected')) {
      for (const c of computers.values()) dirtyComputers.add(c);
      alarmsDirty = true;
      controlsDirty = true;
      requestRender();
    }
    linkKey = key;
    linkDetail = detail || '';
    setText(linkState, tr(key) + (linkDetail ? ' (' + linkDetail + ')' : ''));
    linkState.dataset.state = key;
    document.body.dataset.link = key;
  }

  function defaultBroker() {
    if (location.protocol === 'https:') return 'wss://' + location.host;
    if (location.protocol === 'http:') return 'ws://' + location.host;
    return '';
  }

  function resetModel() {
    computers.clear();
    dirtyVessels.clear();
    dirtyComputers.clear();
    chartQueue.clear();
    forgetHistories();
    closeLarge();
    main.replaceChildren();
    alarmsDirty = true;
    stats.dropped.clear();
    noticesDirty = true;
    lastMessageAt = null;
    knownAlarms.clear();
    smallWidth = 0;
    stats.historyDrawn = 0;
    stats.lastHistoryDrawAt = null;
    requestRender();
  }

  function connect() {
    const url = brokerInput.value.trim();
    const filter = filterInput.value.trim() || 'vorta/#';
    if (client) {
      client.end(true);
      client = null;
    }
    filterInUse = filter;
    userInUse = userInput.value;
    resetModel();
    if (!url) return showLink('noBroker');
    if (!/^wss?:\/\//i.test(url)) return showLink('badBroker');
    // A broker taken from the address is for this load only.
    if (url !== addressBroker) {
      save(localStorage, 'vorta.broker', url);
      save(localStorage, 'vorta.user', userInput.value);
    }
    save(localStorage, 'vorta.filter', filter);
    // The password stays with this tab, never in the browser's lasting
    // storage, and with the broker it was typed for.
    // A visit to another broker leaves it be.
    if (passwordInput.value) save(sessionStorage, 'vorta.password', JSON.stringify({ broker: url, password: passwordInput.value }));
    else if (readTab(load(sessionStorage, 'vorta.password')).broker === url) save(sessionStorage, 'vorta.password', '');
    showAddressBroker(url);
    const options = {
      clientId: 'vorta-web-' + Math.random().toString(16).slice(2, 10),
      clean: true,
      keepalive: 30,
      reconnectPeriod: 5000,
      connectTimeout: 10000,
      resubscribe: false,
      protocolVersion: 5,
      properties: { maximumPacketSize: MAX_PACKET },
    };
    if (userInput.value) options.username = userInput.value;
    if (passwordInput.value) options.password = passwordInput.value;
    showLink('connecting');
    let c;
    try {
      c = mqtt.connect(url, options);
    } catch (e) {
      return showLink('closed', String((e && e.message) || e).slice(0, MAX_TEXT));
    }
    client = c;
    c.on('connect', () => {
      if (client !== c) return;
      stats.connectedAt = performance.now();
      showLink('connected');
      // After a reconnection every vessel's day is taken again: rows may
      // have been missed meanwhile.
      for (const comp of computers.values()) {
        for (const v of comp.vessels.values()) v.historyAsked = v.historyGot = false;
      }
      forgetHistories();
      for (const comp of computers.values()) {
        comp.replyAsked = false;
        askReplies(comp);
      }
      c.subscribe(subscriptions(filter), { qos: 0 }, (err) => {
        if (err && client === c) showLink('closed', String(err.message || err).slice(0, MAX_TEXT));
      });
    });
    c.on('reconnect', () => client === c && showLink('connecting'));
    c.on('offline', () => client === c && showLink('offlineBroker'));
    c.on('close', () => client === c && linkKey === 'connected' && showLink('offlineBroker'));
    c.on('error', (e) => client === c && showLink('offlineBroker', String((e && e.message) || e).slice(0, MAX_TEXT)));
    c.on('message', (topic, payload, packet) => client === c && onMessage(topic, payload, packet));
  }

  // A broker other than the one the browser keeps, taken from the address:
  // said where it cannot be missed.
  const addressBanner = document.getElementById('address-broker');
  function showAddressBroker(url) {
    const shown = addressBroker !== null && url === addressBroker;
    addressBanner.hidden = !shown;
    setText(addressBanner, shown ? tr('addressBroker') + url : '');
  }

  function disconnect() {
    if (client) client.end(true);
    client = null;
    showLink('closed');
  }

  form.addEventListener('submit', (e) => {
    e.preventDefault();
    if (client && document.getElementById('connect').dataset.action === 'disconnect') disconnect();
    else connect();
    applyTexts();
  });

  // ---- texts

  function applyTexts() {
    document.documentElement.lang = lang;
    document.title = Attention.titleWith(unackCount, tr('title'));
    setText(document.getElementById('title'), tr('title'));
    for (const e of document.querySelectorAll('[data-text]')) setText(e, tr(e.dataset.text));
    const button = document.getElementById('connect');
    button.dataset.action = client ? 'disconnect' : 'connect';
    setText(button, client ? tr('disconnect') : tr('connect'));
    showAddressBroker(brokerInput.value.trim());
    renderNotices();
    // The charts' axes and legends are in the page's language.
    for (const c of computers.values()) {
      for (const v of c.vessels.values()) {
        if (v.chart) {
          v.chart.destroy();
          v.chart = null;
          v.chartVersion = -1;
          chartQueue.add(v);
        }
      }
    }
    if (largeFor) openLarge(largeFor);
    setText(document.getElementById('language'), tr('language'));
    showLink(linkKey, linkDetail);
    buildChoiceBoxes();
    for (const c of computers.values()) {
      dirtyComputers.add(c);
      for (const v of c.vessels.values()) {
        v.ageText = null;
        dirtyVessels.add(v);
      }
    }
    alarmsDirty = true;
    requestRender();
  }

  document.getElementById('language').addEventListener('click', () => {
    lang = lang === 'ru' ? 'en' : 'ru';
    save(localStorage, 'vorta.lang', lang);
    applyTexts();
  });

  // ---- start: the address, then what this browser kept, then the page's own broker

  const choice = startChoice(
    { broker: (params.get('broker') || '').trim(), user: params.get('user') || '' },
    { broker: load(localStorage, 'vorta.broker') || '', user: load(localStorage, 'vorta.user') || '' },
    readTab(load(sessionStorage, 'vorta.password')),
    defaultBroker(),
  );
  const addressBroker = choice.fromAddress ? choice.broker : null;
  brokerInput.value = choice.broker;
  filterInput.value = params.get('root') || load(localStorage, 'vorta.filter') || 'vorta/#';
  userInput.value = choice.user;
  passwordInput.value = choice.password;
  applyTexts();
  if (brokerInput.value) connect();
  else showLink('noBroker');
  applyTexts();

  window.VortaPage = {
    stats() {
      const take = (ring, n) => Array.from(ring.subarray(0, Math.min(n, RING)));
      return {
        handler: take(stats.handler, stats.handlerCount),
        handlerCount: stats.handlerCount,
        frame: take(stats.frame, stats.frameCount),
        frameCount: stats.frameCount,
        messages: stats.messages,
        ignored: stats.ignored,
        connectedAt: stats.connectedAt,
        historyDrawn: stats.historyDrawn,
        lastHistoryDrawAt: stats.lastHistoryDrawAt,
        vessels: Array.from(computers.values()).reduce((n, c) => n + c.vessels.size, 0),
      };
    },
    // A vessel's day as drawn: its rows' times (s) and pH values.
    history(root, n) {
      const c = computers.get(root);
      const v = c && c.vessels.get(n);
      return v ? { t: Array.from(v.trend.histT), pH: v.trend.histCols[0].slice() } : null;
    },
    resetTimes() {
      stats.handlerCount = 0;
      stats.frameCount = 0;
    },
  };
})();
