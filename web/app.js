// The connection to the broker, the page's texts and language, and the
// start: the last of the page's scripts.
'use strict';

(function () {
  const app = globalThis.VortaApp;
  const { LIMITS, MAX_TEXT } = globalThis.VortaPayloads;
  const { load, save, startChoice, readTab } = globalThis.VortaStorage;
  const Attention = globalThis.VortaAttention;
  const { computers, dirtyVessels, dirtyComputers, chartQueue, knownAlarms, stats, params, RING, setText, tr } = app;

  // Told to the broker (MQTT 5): it sends this page nothing larger, so one
  // huge message cannot hold the connection for minutes.
  const MAX_PACKET = LIMITS.alarms + 8192;
  const main = document.getElementById('computers');
  const linkState = document.getElementById('link-state');

  // ---- the connection

  const form = document.getElementById('connection');
  const brokerInput = document.getElementById('broker');
  const filterInput = document.getElementById('filter');
  const userInput = document.getElementById('user');
  const passwordInput = document.getElementById('password');

  function showLink(key, detail) {
    // Whether the computers' states can be told changes with the link.
    if ((key === 'connected') !== (app.linkKey === 'connected')) {
      for (const c of computers.values()) dirtyComputers.add(c);
      app.alarmsDirty = true;
      app.controlsDirty = true;
      app.requestRender();
    }
    app.linkKey = key;
    app.linkDetail = detail || '';
    setText(linkState, tr(key) + (app.linkDetail ? ' (' + app.linkDetail + ')' : ''));
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
    app.forgetHistories();
    app.closeLarge();
    main.replaceChildren();
    app.alarmsDirty = true;
    stats.dropped.clear();
    app.noticesDirty = true;
    app.lastMessageAt = null;
    knownAlarms.clear();
    app.smallWidth = 0;
    stats.historyDrawn = 0;
    stats.lastHistoryDrawAt = null;
    app.requestRender();
  }

  function connect() {
    const url = brokerInput.value.trim();
    const filter = filterInput.value.trim() || 'vorta/#';
    if (app.client) {
      app.client.end(true);
      app.client = null;
    }
    app.filterInUse = filter;
    app.userInUse = userInput.value;
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
    app.client = c;
    c.on('connect', () => {
      if (app.client !== c) return;
      stats.connectedAt = performance.now();
      showLink('connected');
      // After a reconnection every vessel's day is taken again: rows may
      // have been missed meanwhile.
      for (const comp of computers.values()) {
        for (const v of comp.vessels.values()) v.historyAsked = v.historyGot = false;
      }
      app.forgetHistories();
      for (const comp of computers.values()) {
        comp.replyAsked = false;
        app.askReplies(comp);
      }
      c.subscribe(app.subscriptions(filter), { qos: 0 }, (err) => {
        if (err && app.client === c) showLink('closed', String(err.message || err).slice(0, MAX_TEXT));
      });
    });
    c.on('reconnect', () => app.client === c && showLink('connecting'));
    c.on('offline', () => app.client === c && showLink('offlineBroker'));
    c.on('close', () => app.client === c && app.linkKey === 'connected' && showLink('offlineBroker'));
    c.on('error', (e) => app.client === c && showLink('offlineBroker', String((e && e.message) || e).slice(0, MAX_TEXT)));
    c.on('message', (topic, payload, packet) => app.client === c && app.onMessage(topic, payload, packet));
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
    if (app.client) app.client.end(true);
    app.client = null;
    showLink('closed');
  }

  form.addEventListener('submit', (e) => {
    e.preventDefault();
    if (app.client && document.getElementById('connect').dataset.action === 'disconnect') disconnect();
    else connect();
    applyTexts();
  });

  // ---- texts

  function applyTexts() {
    document.documentElement.lang = app.lang;
    document.title = Attention.titleWith(app.unackCount, tr('title'));
    setText(document.getElementById('title'), tr('title'));
    for (const e of document.querySelectorAll('[data-text]')) setText(e, tr(e.dataset.text));
    const button = document.getElementById('connect');
    button.dataset.action = app.client ? 'disconnect' : 'connect';
    setText(button, app.client ? tr('disconnect') : tr('connect'));
    showAddressBroker(brokerInput.value.trim());
    app.renderNotices();
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
    if (app.largeFor) app.openLarge(app.largeFor);
    setText(document.getElementById('language'), tr('language'));
    showLink(app.linkKey, app.linkDetail);
    app.buildChoiceBoxes();
    for (const c of computers.values()) {
      dirtyComputers.add(c);
      for (const v of c.vessels.values()) {
        v.ageText = null;
        dirtyVessels.add(v);
      }
    }
    app.alarmsDirty = true;
    app.requestRender();
  }

  document.getElementById('language').addEventListener('click', () => {
    app.lang = app.lang === 'ru' ? 'en' : 'ru';
    save(localStorage, 'vorta.lang', app.lang);
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
