// The browser view: subscribes to the broker over WebSockets (and publishes
// only an operator's commands), keeps the latest of every computer and
// vessel, and redraws what changed once per frame. Everything a payload holds is untrusted text:
// it reaches the page through textContent only.
//
// The page's scripts after this one share what they hold in common through
// one object, globalThis.VortaApp, made here: the model, what is to be
// redrawn, the connection, the vessel page shown, the language, and each
// script's functions that others call. A script takes the collections and
// the helpers below once; what is set anew (a flag, the client, the vessel
// shown) it reads and writes on the object itself.
'use strict';

(function () {
  const TEXTS = globalThis.VortaTexts;
  const { MAX_TEXT, isObject } = globalThis.VortaPayloads;
  const { clock: clockIn, statusText: statusIn } = globalThis.VortaFormat;
  const { load } = globalThis.VortaStorage;

  const UNITS = ['', '°C', '%', 'mV'];

  // ---- language

  const params = new URLSearchParams(location.search);

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
    return TEXTS[app.lang][key];
  }
  function clock(ms) {
    return clockIn(ms, app.lang, tr);
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
    app.noticesDirty = true;
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

  // ---- the shared state

  const app = {
    params,
    lang: pickLanguage(),

    // The model and what is to be redrawn.
    computers: new Map(), // root -> computer
    dirtyVessels: new Set(),
    dirtyComputers: new Set(),
    chartQueue: new Set(),
    alarmsDirty: true,
    noticesDirty: false,
    attentionDirty: true,
    vesselPageDirty: false,
    // Whether the large view's controls are to be built anew (who may operate
    // changed); not on every state, which would wipe a value being typed.
    controlsDirty: false,
    lastMessageAt: null,
    unackCount: 0,
    knownAlarms: new Set(),
    // Vessels whose day is being taken now (their history topics subscribed).
    historyAsking: new Set(),
    // Each control's last word: key -> {state, text}.
    controlState: new Map(),
    chartChoice: loadChoice(),
    smallWidth: 0,

    // The connection.
    client: null,
    linkKey: 'closed',
    linkDetail: '',
    filterInUse: '',
    userInUse: '', // the broker user this connection logged in as

    // The vessel page shown (null: none) and its chart.
    largeFor: null,
    largeChart: null,
    largeVersion: -1,
    largeDrawnAt: 0,

    UNITS,
    RING,
    stats,
    tr,
    clock,
    statusText,
    drop,
    note,
    el,
    setText,
    setClass,
  };
  globalThis.VortaApp = app;
})();
