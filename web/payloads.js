// Reading what the broker brings: every payload is untrusted text, so each
// field is taken only in the type and size the page expects, and anything
// else is dropped.
'use strict';

(function () {
  const MAX_TEXT = 200;
  const MAX_ALARMS = 500;
  const HISTORY_SLOTS = 25;

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
  function when(v) {
    if (typeof v !== 'string') return null;
    const ms = Date.parse(v);
    return Number.isFinite(ms) ? ms : null;
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
    };
  }

  function readAlarms(o) {
    if (!isObject(o) || !Array.isArray(o.alarms)) return null;
    return o.alarms.slice(0, MAX_ALARMS).filter(isObject).map((a) => ({
      vessel: int(a.vessel) || 0,
      vesselName: str(a.vesselName),
      text: str(a.text),
      raised: when(a.raised),
      ackBy: str(a.acknowledgedBy),
      acknowledged: typeof a.acknowledgedBy === 'string' && a.acknowledgedBy !== '',
    }));
  }

  // <root>/status, <root>/alarms, <root>/<n>/<kind>, <root>/<n>/history/<slot>;
  // the root may hold '/'.
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
    if ((last === 'status' || last === 'alarms') && parts.length >= 2) {
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

  globalThis.VortaPayloads = { MAX_TEXT, MAX_ALARMS, HISTORY_SLOTS, str, num, int, when, parseJson, isObject, readState, readAlarms, parseTopic, readIndex, joinParts };
})();
