// What needs a person first: each vessel's state as one word, the line that
// counts them, the order and filter of the cards, a vessel's journal records
// and the shown part of its trend as CSV. No DOM here.
'use strict';

(function () {
  const MAX_TEXT = 200;
  // The states a card can be in, the ones needing attention first.
  const RANK = { alarm: 0, offline: 1, stale: 2, acked: 3, unknown: 4, ok: 5 };
  const ATTENTION = new Set(['alarm', 'offline', 'stale']);

  // A vessel's state: alarm (one not acknowledged), offline (its computer
  // said so), stale (no values of late), acked (its alarms all
  // acknowledged), unknown (the page hears nothing), ok.
  function vesselState({ alarm, computer, stale }) {
    if (alarm === 'unack') return 'alarm';
    if (computer === 'offline') return 'offline';
    if (computer === 'unknown') return 'unknown';
    if (stale) return 'stale';
    if (alarm === 'ack') return 'acked';
    return 'ok';
  }

  // "2 in alarm, 1 offline, 1 stale" from the vessels' states; only the
  // states there are; everything fine says so.
  function summary(states, tr) {
    const n = { alarm: 0, offline: 0, stale: 0, unknown: 0 };
    for (const s of states) if (s in n) n[s]++;
    const parts = [];
    for (const k of ['alarm', 'offline', 'stale', 'unknown']) if (n[k]) parts.push(n[k] + ' ' + tr('summary')[k]);
    if (!parts.length) return states.length ? tr('summary').allWell : '';
    return parts.join(', ');
  }

  // Where a card goes: by state first when asked, then by its number.
  function cardOrder(state, num, byState) {
    return (byState ? RANK[state] * 1000000 : 0) + num;
  }
  function cardShown(state, show) {
    return show !== 'attention' || ATTENTION.has(state);
  }

  // Alarms not acknowledged that were not there before: what the title and
  // the sound tell. known: keys seen so far (updated).
  function alarmKey(root, a) {
    return root + '\u0000' + a.vessel + '\u0000' + a.kind + '\u0000' + a.source + '\u0000' + (a.raised || '');
  }
  function newAlarms(known, list) {
    let fresh = 0;
    const now = new Set();
    for (const { root, a } of list) {
      const k = alarmKey(root, a);
      now.add(k);
      if (!a.acknowledged && !known.has(k)) fresh++;
    }
    known.clear();
    for (const k of now) known.add(k);
    return fresh;
  }

  function titleWith(unack, base) {
    return unack > 0 ? '(' + unack + ') ' + base : base;
  }

  // A journal record as the program publishes it; null when it is not one.
  function str(v) {
    return typeof v === 'string' ? v.slice(0, MAX_TEXT) : '';
  }
  const JOURNAL_KINDS = new Set(['Change', 'Alarm', 'AlarmCleared', 'Acknowledged', 'Program']);
  function readJournal(o, when) {
    if (o === null || typeof o !== 'object' || Array.isArray(o) || !JOURNAL_KINDS.has(o.Kind)) return null;
    return {
      time: when(o.Time),
      user: str(o.User),
      vessel: Number.isInteger(o.Vessel) ? o.Vessel : 0,
      kind: o.Kind,
      subject: str(o.Subject),
      old: str(o.Old),
      now: str(o.New),
      source: str(o.Source),
    };
  }

  // The rows of uPlot data inside [fromS, toS] as CSV: a header of labels,
  // times in ISO 8601 UTC, empty cells for none; the gap markers left out.
  function cell(v) {
    const s = String(v);
    return /[",\n\r]/.test(s) ? '"' + s.replace(/"/g, '""') + '"' : s;
  }
  function toCsv(data, labels, fromS, toS) {
    const lines = [['time'].concat(labels).map(cell).join(',')];
    const xs = data[0];
    for (let i = 0; i < xs.length; i++) {
      if (xs[i] < fromS || xs[i] > toS) continue;
      const row = [];
      let any = false;
      for (let k = 1; k < data.length; k++) {
        const v = data[k][i];
        if (v !== null && v !== undefined) any = true;
        row.push(v === null || v === undefined ? '' : String(v));
      }
      if (!any) continue;
      lines.push([new Date(xs[i] * 1000).toISOString()].concat(row).join(','));
    }
    return lines.join('\r\n') + '\r\n';
  }

  globalThis.VortaAttention = { RANK, vesselState, summary, cardOrder, cardShown, newAlarms, titleWith, readJournal, toCsv };
})();
