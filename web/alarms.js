// The alarm list and what asks for attention: the summary line, the cards'
// order and filter, the sound of a new alarm, the silence banner.
'use strict';

(function () {
  const app = globalThis.VortaApp;
  const { load, save } = globalThis.VortaStorage;
  const Attention = globalThis.VortaAttention;
  const { computers, dirtyVessels, knownAlarms, controlState, stats, el, setText, tr, clock } = app;

  // Nothing at all for this long while connected (the programs send every
  // 2 s) is said where it cannot be missed.
  const SILENCE_MS = 10000;
  const NEWS_AFTER_MS = 5000;
  const alarmList = document.getElementById('alarm-list');

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
      const english = app.lang === 'en' && a.textEn !== '';
      const text = el('span', 'alarm-text', english ? a.textEn : a.text);
      text.lang = english ? 'en' : a.textLang;
      const kind = el('span', 'alarm-kind', (a.kind ? tr('kinds')[a.kind] : '') + (a.source ? ' · ' + a.source : ''));
      li.append(
        el('span', 'alarm-time', a.raised === null ? (a.raisedJunk ? tr('badTime') : '?') : clock(a.raised)),
        el('span', 'alarm-where', (c.name || c.root) + ' · ' + who),
        kind,
        text,
      );
      if (text.lang !== app.lang) li.append(el('span', 'alarm-lang', tr('textIn')[a.textLang] || '(' + a.textLang + ')'));
      li.append(el('span', 'alarm-ack', a.acknowledged ? tr('acknowledgedBy') + a.ackBy : tr('notAcknowledged')));
      if (!c.attributed) li.append(el('span', 'alarm-origin', tr('unattributed')));
      if (!a.acknowledged && a.id !== null && app.canOperate(c)) {
        const key = c.root + '|alarm|' + a.id;
        const ack = el('button', 'alarm-ack-button', tr('acknowledge'));
        ack.type = 'button';
        ack.addEventListener('click', (e) => {
          e.stopPropagation();
          app.send(c, a.vessel || 'all', key, 'ack', { alarm: a.id });
        });
        li.append(ack);
      }
      const ackKey = c.root + '|alarm|' + a.id;
      if (controlState.has(ackKey)) li.append(app.stateSpan(ackKey));
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
    app.unackCount = all.filter(({ c, a }) => c.attributed && !a.acknowledged).length;
    document.title = Attention.titleWith(app.unackCount, tr('title'));
    // What is there when the page connects is no news.
    if (fresh > 0 && soundBox.checked && stats.connectedAt !== null && performance.now() - stats.connectedAt > NEWS_AFTER_MS) beep();
    if (app.largeFor) app.vesselPageDirty = true;
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

  // ---- attention: the summary line, the cards' order, the silence banner

  const summaryLine = document.getElementById('summary');
  const showSelect = document.getElementById('card-show');
  const soundBox = document.getElementById('sound');
  const silence = document.getElementById('silence');
  showSelect.value = ['number', 'state', 'attention'].includes(load(localStorage, 'vorta.show')) ? load(localStorage, 'vorta.show') : 'number';
  soundBox.checked = load(localStorage, 'vorta.sound') === 'on';
  showSelect.addEventListener('change', () => {
    save(localStorage, 'vorta.show', showSelect.value);
    app.attentionDirty = true;
    app.requestRender();
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
      app.attentionDirty = true;
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
    if (app.client && app.linkKey !== 'connected') text = tr('silentLink');
    else if (app.client && app.lastMessageAt === null && stats.connectedAt !== null && performance.now() - stats.connectedAt > SILENCE_MS) text = tr('silentNone');
    else if (app.client && app.lastMessageAt !== null && now - app.lastMessageAt > SILENCE_MS) text = tr('silentFor') + Math.round((now - app.lastMessageAt) / 1000) + tr('seconds');
    setText(silence, text);
    if (silence.hidden !== (text === '')) silence.hidden = text === '';
  }

  Object.assign(app, { renderAlarms, renderAttention, renderSilence });
})();
