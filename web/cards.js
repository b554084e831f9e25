// The computers' sections and the vessels' cards: built once, redrawn when
// they changed, once per frame; and the once-a-second round of ages, stale
// marks and trends.
'use strict';

(function () {
  const app = globalThis.VortaApp;
  const Trend = globalThis.VortaTrend;
  const { planText, staleness, two } = globalThis.VortaFormat;
  const { computers, dirtyVessels, dirtyComputers, chartQueue, chartChoice, historyAsking, stats, UNITS } = app;
  const { note, el, setText, setClass, tr, clock, statusText } = app;

  const SMALL_REDRAW_MS = 10000; // a card's trend follows live values this often
  const LARGE_REDRAW_MS = 1000;
  const FRAME_BUDGET_MS = 8; // charts drawn per frame stop here
  const OK_LINK = 'Net OK';
  // A vessel's day asked and not come in this long is asked again.
  const HISTORY_RETRY_MS = 60000;
  const controlsBox = document.getElementById('vessel-controls');

  // ---- building the page

  const main = document.getElementById('computers');

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
    card.addEventListener('click', () => app.openLarge(v));
    card.addEventListener('keydown', (e) => {
      if (e.key === 'Enter' || e.key === ' ') {
        e.preventDefault();
        app.openLarge(v);
      }
    });
    insertSorted(v.computer.dom.grid, card, String(v.num), (a, b) => Number(a) - Number(b));
    v.dom = { card, name, mode, link, rpm, plan, rows, outputs, chart, age };
  }

  // ---- drawing

  function renderComputer(c) {
    const d = c.dom;
    // While the page itself hears nothing, it cannot say who is online.
    const live = app.linkKey === 'connected';
    const state = !live ? 'unknown' : c.status === 'online' ? 'online' : c.status === 'offline' ? 'offline' : 'unknown';
    d.section.dataset.status = state;
    setClass(d.section, 'unattributed', !c.attributed);
    setText(d.origin, c.attributed ? '' : tr('unattributed'));
    setText(d.state, state === 'unknown' ? tr('unknownStatus') : tr(state));
    setText(d.name, c.name || c.root);
    if (d.name.title !== c.root) d.name.title = c.root;
    c.shownStatus = state;
    app.attentionDirty = true;
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
    app.attentionDirty = true;
    if (app.largeFor === v) app.vesselPageDirty = true;
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
      if (!app.smallWidth) app.smallWidth = measureSmallWidth();
      v.chart = Trend.smallChart(v.dom.chart, app.smallWidth, chartChoice, app.lang, tr);
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
    if (app.alarmsDirty) {
      app.alarmsDirty = false;
      app.renderAlarms();
    }
    if (app.noticesDirty) {
      app.noticesDirty = false;
      renderNotices();
    }
    for (const v of dirtyVessels) renderCard(v);
    dirtyVessels.clear();
    if (app.attentionDirty) {
      app.attentionDirty = false;
      app.renderAttention();
    }
    if (app.vesselPageDirty && app.largeFor) app.renderVesselPage(app.largeFor);
    app.vesselPageDirty = false;
    if (app.controlsDirty && app.largeFor && app.canOperate(app.largeFor.computer) === controlsBox.hidden) app.buildControls(app.largeFor);
    app.controlsDirty = false;
    for (const v of chartQueue) {
      if (performance.now() - t0 > FRAME_BUDGET_MS) break;
      chartQueue.delete(v);
      drawChart(v, now);
    }
    if (app.largeFor && app.largeChart && app.largeFor.trend.version !== app.largeVersion && now - app.largeDrawnAt >= LARGE_REDRAW_MS) {
      app.largeChart.setData(app.largeFor.trend.data(now / 1000));
      app.largeVersion = app.largeFor.trend.version;
      app.largeDrawnAt = now;
    }
    if (chartQueue.size) requestRender();
    note(stats.frame, 'frameCount', performance.now() - t0);
  }

  // Once a second: ages, stale marks and the trends that follow live values.
  function tick() {
    app.expireCommands();
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
        if (historyAsking.has(v) && now - v.historyAskedAt > HISTORY_RETRY_MS && app.client) {
          app.historyDone(v);
          v.historyAsked = false;
          app.askHistory(v);
        }
      }
    }
    if (app.largeFor && app.largeFor.trend.version !== app.largeVersion) requestRender();
    if (dirtyVessels.size || chartQueue.size) requestRender();
    app.renderSilence(now);
  }
  setInterval(tick, 1000);

  let resizeTimer = 0;
  window.addEventListener('resize', () => {
    clearTimeout(resizeTimer);
    resizeTimer = setTimeout(() => {
      app.smallWidth = measureSmallWidth();
      for (const c of computers.values()) {
        for (const v of c.vessels.values()) if (v.chart) v.chart.setSize({ width: app.smallWidth, height: 60 });
      }
      if (app.largeChart) app.openLarge(app.largeFor);
    }, 200);
  });

  Object.assign(app, { buildComputer, buildCard, renderNotices, requestRender });
})();
