// How values, times and ages read on the page; tr(key) gives a text of the
// page's language (texts.js).
'use strict';

(function () {
  const STATE_PERIOD_MS = 2000; // the program's state period
  const STALE_AFTER_MS = 3 * STATE_PERIOD_MS;

  function two(v) {
    return v === null ? '—' : v.toFixed(2);
  }

  // A moment as the page shows it: the time of day, with the date when it is
  // not today (nowMs), and the year when it is not this year's.
  function clock(ms, lang, tr, nowMs = Date.now()) {
    if (ms === null) return tr('never');
    const d = new Date(ms);
    const now = new Date(nowMs);
    const time = d.toLocaleTimeString(lang, { hour: '2-digit', minute: '2-digit', second: '2-digit', hourCycle: 'h23' });
    if (d.toDateString() === now.toDateString()) return time;
    const date = { day: 'numeric', month: 'short' };
    if (d.getFullYear() !== now.getFullYear()) date.year = 'numeric';
    return d.toLocaleDateString(lang, date) + ' ' + time;
  }

  function duration(ms, tr) {
    const s = Math.max(0, Math.round(ms / 1000));
    if (s < 120) return s + tr('seconds');
    if (s < 7200) return Math.floor(s / 60) + tr('minutes');
    if (s < 172800) return Math.floor(s / 3600) + tr('hours');
    return Math.floor(s / 86400) + tr('days');
  }

  // A channel's regulation state (s: a state as readState gives it).
  function statusText(s, i, tr) {
    if (s.mode === 0) return tr('uncontrolled');
    const code = s.channels[i].status;
    if (code === null) return '';
    return tr('status')[code] || tr('statusCode') + code;
  }

  // Whether a vessel's values are old, and for how long as shown: freshAt is
  // when its last state came (null: none yet).
  function staleness(freshAt, nowMs, tr) {
    const age = freshAt === null ? Infinity : nowMs - freshAt;
    const stale = age > STALE_AFTER_MS;
    const ageText = stale && freshAt !== null ? duration(age, tr) : stale ? '?' : '';
    return { stale, ageText };
  }

  // "Plan feed: step 4 of 9, ramp, 2 h left; next: harvest" (p: readPlan's).
  // A plan that ended stays in the state for the rest of the run: said so,
  // without a time left or a next step it will not take.
  function planText(p, tr) {
    if (p === null) return '';
    const ended = p.state === 'stopped' || p.state === 'finished';
    let text = tr('plan') + (p.name ? ' ' + p.name : '') + ': ';
    if (ended) return text + tr(p.state);
    text += tr('step') + ' ' + p.step + ' ' + tr('of') + ' ' + p.steps;
    if (p.stepName) text += ', ' + p.stepName;
    if (p.remainingSeconds !== null) text += ', ' + duration(p.remainingSeconds * 1000, tr) + ' ' + tr('left');
    if (p.state === 'paused' || p.state === 'held') text += ' (' + tr(p.state) + ')';
    if (p.next) text += '; ' + tr('next') + ': ' + p.next;
    return text;
  }

  globalThis.VortaFormat = { STATE_PERIOD_MS, STALE_AFTER_MS, two, clock, duration, statusText, staleness, planText };
})();
