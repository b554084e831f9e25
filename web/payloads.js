// Reading what the broker brings: every payload is untrusted text, so each
// field is taken only in the type and size the page expects, and anything
// else is dropped.
'use strict';

(function () {
  const MAX_TEXT = 200;
  const MAX_ALARMS = 500;
  const HISTORY_SLOTS = 25;
  // The largest payload the page takes on each kind of topic: a state, a
  // row, a history part are a few KiB; the alarm list is the largest the
  // programs send. Anything larger is dropped unread.
  const LIMITS = { status: 16, info: 1024, journal: 8192, alarm: 8192, state: 16384, minute: 16384, history: 8192, historyPart: 8192, alarms: 256 * 1024 };
  // Rows dated beyond now by more than this (a clock set wrong) are not
  // drawn: one would end the day there.
  const FUTURE_MS = 5 * 60 * 1000;
  const DAY_MS = 86400 * 1000;

  const decoder = new TextDecoder('utf-8');

  function str(v) {
    return typeof v === 'string' ? v.slice(0, MAX_TEXT) : '';
  }
  function num(v) {
    return typeof v === 'number' && Number.isFinite(v) ? v : null;
  }
  function int(v) {
    return Number.isInteger(v) ? v : null;
  }
  // ISO 8601 with a date, a time and its offset, as the programs write it;
  // anything else (which Date.parse might still read as some year) is none.
  const ISO = /^\d{4}-\d\d-\d\dT\d\d:\d\d(:\d\d(\.\d{1,9})?)?(Z|[+-]\d\d:?\d\d)$/;
  function when(v) {
    if (typeof v !== 'string' || !ISO.test(v)) return null;
    const ms = Date.parse(v);
    return Number.isFinite(ms) ? ms : null;
  }
  // Whether a row's moment can stand in the day shown at nowMs.
  function inDay(ms, nowMs) {
    return ms !== null && ms <= nowMs + FUTURE_MS && ms > nowMs - DAY_MS;
  }
  function parseJson(payload, limit) {
    if (payload.length > limit) return undefined;
    try {
      return JSON.parse(decoder.decode(payload));
    } catch (e) {
      return undefined;
    }
  }
  function isObject(o) {
    return o !== null && typeof o === 'object' && !Array.isArray(o);
  }

  function readState(o) {
    if (!isObject(o) || !Array.isArray(o.channels)) return null;
    const channels = [];
    for (let i = 0; i < 4; i++) {
      const c = isObject(o.channels[i]) ? o.channels[i] : {};
      channels.push({ value: num(c.value), setpoint: num(c.setpoint), status: int(c.status) });
    }
    const on = Array.isArray(o.on) ? o.on.slice(0, 16).map(str).filter((s) => s !== '') : [];
    return {
      time: when(o.time),
      name: str(o.name),
      mode: int(o.mode),
      modeName: str(o.modeName),
      link: str(o.link),
      rpm: num(o.rpm),
      on,
      channels,
      plan: readPlan(o.plan),
    };
  }

  // The run plan of a state, when one runs: its step and the next.
  function readPlan(p) {
    if (!isObject(p) || int(p.step) === null || int(p.steps) === null) return null;
    return {
      name: str(p.plan),
      state: str(p.state),
      step: int(p.step),
      steps: int(p.steps),
      stepName: str(p.name),
      next: str(p.next),
      remainingSeconds: num(p.remainingSeconds),
    };
  }

  // A computer's alarm list: the alarms, and how many more it held than the
  // page shows (told, never left out silently).
  const KINDS = new Set(['link', 'reading', 'limits', 'foam', 'write', 'dosing', 'stirrer']);
  function readAlarms(o) {
    if (!isObject(o) || !Array.isArray(o.alarms)) return null;
    const alarms = o.alarms
      .slice(0, MAX_ALARMS)
      .filter(isObject)
      .map((a) => ({
        id: int(a.id),
        vessel: int(a.vessel) || 0,
        vesselName: str(a.vesselName),
        kind: KINDS.has(a.kind) ? a.kind : '',
        source: str(a.source),
        text: str(a.text),
        // The programs write alarm texts in Russian unless they say otherwise.
        // Its English wording, when the operator's language gave one.
        textEn: str(a.textEn),
        textLang: typeof a.textLang === 'string' && /^[a-z]{2}$/.test(a.textLang) ? a.textLang : 'ru',
        raised: when(a.raised),
        raisedJunk: a.raised !== undefined && a.raised !== null && when(a.raised) === null,
        ackBy: str(a.acknowledgedBy),
        acknowledged: typeof a.acknowledgedBy === 'string' && a.acknowledgedBy !== '',
      }));
    return { alarms, more: Math.max(0, o.alarms.length - MAX_ALARMS) };
  }

  // The topic filter's fixed part: "vorta/#" -> "vorta/".
  function filterBase(filter) {
    return filter.endsWith('#') ? filter.slice(0, -1) : '';
  }
  // Whether a root is one the broker's rules tie to one user: a computer's
  // root is the filter's base and one level, its broker user's name, which
  // alone may write under it. Anything else could come from anyone.
  function attributable(root, filter) {
    const base = filterBase(filter);
    if (base === '') return false;
    // A filter of one computer ("vorta/lab4-pc1/#"); the top level itself
    // ("vorta") is no computer's.
    if (root + '/' === base) return root.includes('/');
    if (!root.startsWith(base)) return false;
    const rest = root.slice(base.length);
    return rest !== '' && !rest.includes('/');
  }

  // <root>/status, <root>/alarms, <root>/info, <root>/journal, <root>/<n>/<kind>, <root>/<n>/history/<slot>;
  // the root may hold '/'.
  const ROOT_KINDS = new Set(['status', 'alarms', 'info', 'journal']);
  const VESSEL_KINDS = new Set(['state', 'history', 'minute', 'alarm']);
  function parseTopic(topic) {
    const parts = topic.split('/');
    const last = parts[parts.length - 1];
    const n = parts.length;
    if (n >= 4 && parts[n - 2] === 'history' && /^[0-9]{1,2}$/.test(last) && /^[0-9]{1,6}$/.test(parts[n - 3])) {
      return {
        root: parts.slice(0, -3).join('/'),
        vessel: parseInt(parts[n - 3], 10),
        kind: 'historyPart',
        slot: parseInt(last, 10),
      };
    }
    if (ROOT_KINDS.has(last) && parts.length >= 2) {
      return { root: parts.slice(0, -1).join('/'), kind: last };
    }
    if (VESSEL_KINDS.has(last) && parts.length >= 3 && /^[0-9]{1,6}$/.test(parts[parts.length - 2])) {
      return {
        root: parts.slice(0, -2).join('/'),
        vessel: parseInt(parts[parts.length - 2], 10),
        kind: last,
      };
    }
    return null;
  }

  // A history's index: the slots of its parts, oldest first.
  function readIndex(o) {
    if (!isObject(o) || !Array.isArray(o.parts) || o.parts.length > HISTORY_SLOTS) return null;
    const slots = o.parts.filter((k) => Number.isInteger(k) && k >= 0 && k < HISTORY_SLOTS);
    return slots.length === o.parts.length ? slots : null;
  }

  // The parts an index names, in its order, once every one of them is here
  // (parts: slot -> part; a part may be empty); null until then.
  function joinParts(index, parts) {
    if (!index || !index.every((k) => parts.has(k))) return null;
    return index.map((k) => parts.get(k)).filter((p) => p);
  }

  globalThis.VortaPayloads = { MAX_TEXT, MAX_ALARMS, HISTORY_SLOTS, LIMITS, FUTURE_MS, DAY_MS, str, num, int, when, inDay, attributable, filterBase, parseJson, isObject, readState, readPlan, readAlarms, parseTopic, readIndex, joinParts };
})();
