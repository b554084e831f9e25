// The page's parts without a browser: payloads read as untrusted text, a
// day's history joined from its parts, staleness, and how values read.
import assert from 'node:assert/strict';
import { test } from 'node:test';

// The page's scripts are classic ones (the broker serves them without a
// content type, which module scripts need); each leaves its parts on the
// global object.
import '../../web/texts.js';
import '../../web/trend.js';
import '../../web/payloads.js';
import '../../web/format.js';
import '../../web/storage.js';
import '../../web/commands.js';

const TEXTS = globalThis.VortaTexts;
const { TrendData, isPart, withGaps, seriesLabel } = globalThis.VortaTrend;
const { LIMITS, attributable, inDay, joinParts, parseJson, parseTopic, readAlarms, readIndex, readState, when, MAX_ALARMS } =
  globalThis.VortaPayloads;
const { startChoice } = globalThis.VortaStorage;
const { clock, duration, planText, staleness, statusText, two } = globalThis.VortaFormat;

const tr = (key) => TEXTS.en[key];
const bytes = (text) => new TextEncoder().encode(text);

test('payloads: wrong types and sizes are dropped, never passed on', () => {
  assert.equal(parseJson(bytes('{"a":1}'), 6), undefined);
  assert.equal(parseJson(bytes('{"a":'), 100), undefined);
  assert.equal(readState({ channels: 'x' }), null);
  const s = readState({
    time: 'not a time',
    name: 'x'.repeat(500),
    mode: 1.5,
    rpm: Infinity,
    on: ['Acid', 7, '', 'Feed'],
    channels: [{ value: '7', setpoint: 7, status: 2 }, null],
  });
  assert.equal(s.time, null);
  assert.equal(s.name.length, 200);
  assert.equal(s.mode, null);
  assert.equal(s.rpm, null);
  assert.deepEqual(s.on, ['Acid', 'Feed']);
  assert.deepEqual(s.channels[0], { value: null, setpoint: 7, status: 2 });
  assert.deepEqual(s.channels[3], { value: null, setpoint: null, status: null });
  const { alarms } = readAlarms({ alarms: [{ vessel: 2, text: 'Пена', acknowledgedBy: '' }, 'x'] });
  assert.equal(alarms.length, 1);
  assert.equal(alarms[0].acknowledged, false);
});

test('untrusted moments, lists and roots: junk is junk, more than shown is told, foreign roots marked', () => {
  // Date.parse reads these as some year; they are no moment.
  for (const junk of ['1', '2026', 'Jan 1', '2026-01-01', '2026-01-01T00:00:00']) assert.equal(when(junk), null, junk);
  assert.equal(when('2026-12-07T09:30:00+03:00'), Date.UTC(2026, 11, 7, 6, 30));
  const now = Date.UTC(2026, 11, 7, 12);
  assert.equal(inDay(Date.UTC(2100, 0, 1), now), false);
  assert.equal(inDay(now + 60000, now), true);
  assert.equal(inDay(now - 86400000, now), false);
  const many = readAlarms({ alarms: new Array(MAX_ALARMS + 3).fill({ vessel: 1, text: 'x', raised: 'junk' }) });
  assert.equal(many.alarms.length, MAX_ALARMS);
  assert.equal(many.more, 3);
  assert.equal(many.alarms[0].raisedJunk, true);
  assert.equal(many.alarms[0].textLang, 'ru');
  assert.equal(attributable('vorta/lab4-pc1', 'vorta/#'), true);
  assert.equal(attributable('vorta/lab4-pc2/lab4-pc1', 'vorta/#'), false);
  assert.equal(attributable('vorta', 'vorta/#'), false);
  assert.equal(attributable('vorta/lab4-pc1', 'vorta/lab4-pc1/#'), true);
  assert.equal(attributable('vorta/lab4-pc1', 'vorta/lab4-pc1/1/state'), false);
});

test('a broker from the address: for this load, without what was typed for another', () => {
  const own = 'ws://lab:9001';
  const kept = { broker: own, user: 'viewer' };
  const tab = { broker: own, password: 'secret' };
  const away = startChoice({ broker: 'ws://evil:1', user: '' }, kept, tab, own);
  assert.deepEqual(away, { broker: 'ws://evil:1', fromAddress: true, user: '', password: '' });
  assert.deepEqual(startChoice({ broker: '', user: '' }, kept, tab, own), { broker: own, fromAddress: false, user: 'viewer', password: 'secret' });
  // Kept for another broker than the page's own: not sent to the page's own.
  assert.equal(startChoice({ broker: own, user: '' }, { broker: 'ws://other:1', user: 'u' }, { broker: 'ws://other:1', password: 'p' }, own).password, '');
});

test('topics: a root may hold slashes; other shapes are not ours', () => {
  assert.deepEqual(parseTopic('lab/pc1/3/state'), { root: 'lab/pc1', vessel: 3, kind: 'state' });
  assert.deepEqual(parseTopic('a/b/c/12/history/24'), { root: 'a/b/c', vessel: 12, kind: 'historyPart', slot: 24 });
  assert.deepEqual(parseTopic('lab/pc1/status'), { root: 'lab/pc1', kind: 'status' });
  assert.equal(parseTopic('lab/pc1/x/state'), null);
  assert.equal(parseTopic('lab/pc1/3/history/123'), null);
  assert.equal(parseTopic('state'), null);
});

test('history: joined once every part the index names is here, in its order', () => {
  assert.deepEqual(readIndex({ parts: [23, 24, 0] }), [23, 24, 0]);
  assert.equal(readIndex({ parts: [1, 25] }), null);
  assert.equal(readIndex({ parts: new Array(26).fill(0) }), null);
  const parts = new Map([[24, { t: [3600, 60] }]]);
  assert.equal(joinParts([23, 24], parts), null);
  parts.set(23, { t: [0, 60] });
  const joined = joinParts([23, 24], parts);
  assert.deepEqual(joined, [{ t: [0, 60] }, { t: [3600, 60] }]);
  assert.ok(joined.every(isPart));
  // An empty part (a slot the day left empty) adds nothing.
  parts.set(0, '');
  assert.equal(joinParts([0, 23, 24], parts).length, 2);

  const trend = new TrendData();
  // Steps from 0: rows at 0 s, 60 s, 120 s; pH in hundredths, [step, n] repeats.
  trend.setHistory([{ t: [0, [60, 2]], pH: [700, 1, null] }, { t: [100, 3600] }], 4000);
  assert.deepEqual(Array.from(trend.histT), [0, 60, 120, 3700]);
  assert.deepEqual(trend.histCols[0], [7, 7.01, null, null]);
  assert.equal(isPart({ t: [0, 'x'] }), false);
});

test('the day against rows from a wrong clock, and pauses drawn as gaps', () => {
  const now = 100000;
  const trend = new TrendData();
  // A row dated far ahead in the history is left out, the rest kept.
  trend.setHistory([{ t: [now - 120, 60, 4e9] }], now);
  assert.deepEqual(Array.from(trend.histT), [now - 120, now - 60]);
  assert.equal(trend.outside, 1);
  // Nor does a live row from the future cut the day or stop later rows.
  assert.equal(trend.addRow(4102444800, new Array(9).fill(1), now), false);
  assert.equal(trend.addRow(now, new Array(9).fill(1), now), true);
  assert.deepEqual(Array.from(trend.histT), [now - 120, now - 60, now]);
  // Rows a minute apart, then six hours without: a point of no values between.
  const xs = [0, 60, 120, 180, 180 + 6 * 3600, 240 + 6 * 3600];
  const gapped = withGaps([Float64Array.from(xs), xs.map(() => 7)]);
  assert.equal(gapped[0].length, xs.length + 1);
  assert.equal(gapped[1][4], null);
  assert.ok(gapped[0][4] > 180 && gapped[0][4] < 180 + 6 * 3600);
  assert.equal(withGaps([Float64Array.from([0, 60, 120, 180]), [1, 2, 3, 4]])[0].length, 4);
  // The chart's legend speaks the page's language.
  const ru = (k) => TEXTS.ru[k];
  assert.equal(seriesLabel({ channel: 'pH', label: 'pH', setpoint: true }, ru), 'pH ' + TEXTS.ru.setpoint);
  assert.equal(seriesLabel({ channel: 'rpm', label: 'rpm' }, ru), TEXTS.ru.stirrer);
});

test('staleness: after three state periods, with how long; never heard is stale without an age', () => {
  assert.deepEqual(staleness(10000, 16000, tr), { stale: false, ageText: '' });
  assert.deepEqual(staleness(10000, 16001, tr), { stale: true, ageText: '6' + tr('seconds') });
  assert.deepEqual(staleness(0, 3 * 3600 * 1000, tr), { stale: true, ageText: '3' + tr('hours') });
  assert.deepEqual(staleness(null, 16001, tr), { stale: true, ageText: '?' });
});

test('formatting: values, ages, states and times', () => {
  assert.equal(two(null), '—');
  assert.equal(two(7.005), '7.00');
  assert.equal(two(-0.5), '-0.50');
  assert.equal(duration(119499, tr), '119' + tr('seconds'));
  assert.equal(duration(120000, tr), '2' + tr('minutes'));
  assert.equal(duration(172800000, tr), '2' + tr('days'));
  assert.equal(duration(-5000, tr), '0' + tr('seconds'));
  const state = { mode: 1, channels: [{ status: 0 }, { status: null }, { status: 99 }, { status: 1 }] };
  assert.equal(statusText(state, 0, tr), tr('status')[0]);
  assert.equal(statusText(state, 1, tr), '');
  assert.equal(statusText(state, 2, tr), tr('statusCode') + 99);
  assert.equal(statusText({ ...state, mode: 0 }, 0, tr), tr('uncontrolled'));
  assert.equal(clock(null, 'en', tr), tr('never'));
  const noon = Date.UTC(2026, 11, 7, 12, 0, 5);
  assert.match(clock(noon, 'en', tr, noon), /^\d\d:\d\d:05$/);
  assert.match(clock(noon - 3 * 86400000, 'en', tr, noon), /Dec/);
  assert.doesNotMatch(clock(noon - 3 * 86400000, 'en', tr, noon), /2026/);
  assert.match(clock(noon - 400 * 86400000, 'en', tr, noon), /2025/);
});

test('attention: states, the summary line, the cards order and filter, new alarms', async () => {
  await import('../../web/attention.js');
  const A = globalThis.VortaAttention;
  const states = [
    A.vesselState({ alarm: 'unack', computer: 'offline', stale: true }),
    A.vesselState({ alarm: 'ack', computer: 'online', stale: false }),
    A.vesselState({ alarm: '', computer: 'offline', stale: true }),
    A.vesselState({ alarm: 'ack', computer: 'online', stale: true }),
    A.vesselState({ alarm: 'unack', computer: 'online', stale: false }),
    A.vesselState({ alarm: '', computer: 'online', stale: false }),
  ];
  assert.deepEqual(states, ['alarm', 'acked', 'offline', 'stale', 'alarm', 'ok']);
  assert.equal(A.summary(states, tr), '2 in alarm, 1 offline, 1 stale');
  assert.equal(A.summary(['ok', 'acked'], tr), 'All vessels well');
  assert.equal(A.summary([], tr), '');
  // By state: an alarm on vessel 9 before a well vessel 1; by number not.
  assert.ok(A.cardOrder('alarm', 9, true) < A.cardOrder('ok', 1, true));
  assert.ok(A.cardOrder('alarm', 9, false) > A.cardOrder('ok', 1, false));
  assert.ok(A.cardOrder('stale', 1, true) < A.cardOrder('acked', 1, true));
  assert.deepEqual(['alarm', 'offline', 'stale', 'acked', 'ok'].map((s) => A.cardShown(s, 'attention')), [true, true, true, false, false]);

  const known = new Set();
  const a1 = { vessel: 1, kind: 'foam', source: 'x', raised: 1, acknowledged: false };
  assert.equal(A.newAlarms(known, [{ root: 'r', a: a1 }]), 1);
  assert.equal(A.newAlarms(known, [{ root: 'r', a: a1 }]), 0);
  // The same alarm of another computer is news; an acknowledged one is not.
  const a2 = { ...a1, acknowledged: true, kind: 'link' };
  assert.equal(A.newAlarms(known, [{ root: 'r', a: a1 }, { root: 'q', a: a1 }, { root: 'r', a: a2 }]), 1);
  assert.equal(A.titleWith(2, 'Vorta'), '(2) Vorta');
  assert.equal(A.titleWith(0, 'Vorta'), 'Vorta');
});

test('vessel page: journal records read as untrusted, the shown range as CSV', async () => {
  await import('../../web/attention.js');
  const A = globalThis.VortaAttention;
  const r = A.readJournal(
    { Time: '2026-12-07T09:30:00+01:00', User: 'anna', Vessel: 2, Kind: 'Change', Subject: 'SetpH', Old: '7.00', New: '6.80', Source: 'x'.repeat(300) },
    when,
  );
  assert.equal(r.time, Date.parse('2026-12-07T08:30:00Z'));
  assert.deepEqual([r.user, r.vessel, r.subject, r.old, r.now, r.source.length], ['anna', 2, 'SetpH', '7.00', '6.80', 200]);
  assert.equal(A.readJournal({ Kind: 'Evil' }, when), null);
  assert.equal(A.readJournal([], when), null);
  assert.equal(A.readJournal({ Kind: 'Program', Vessel: '3' }, when).vessel, 0);
  // The computer's name and its journal come on topics of their own.
  assert.deepEqual(parseTopic('vorta/lab4-pc1/info'), { root: 'vorta/lab4-pc1', kind: 'info' });
  assert.deepEqual(parseTopic('vorta/lab4-pc1/journal'), { root: 'vorta/lab4-pc1', kind: 'journal' });
  assert.equal(readAlarms({ alarms: [{ text: 'Пена', textEn: 'Foam', textLang: 'ru' }] }).alarms[0].textEn, 'Foam');

  // Rows outside the range and the gap markers (no values) are left out;
  // a label with a comma is quoted.
  const data = [
    [100, 160, 190, 220, 280],
    [7, null, null, 7.1, 7.2],
    [37, 37.5, null, null, 38],
  ];
  const csv = A.toCsv(data, ['pH', 'a,"b"'], 150, 230);
  assert.equal(csv, 'time,pH,"a,""b"""\r\n1970-01-01T00:02:40.000Z,,37.5\r\n1970-01-01T00:03:40.000Z,7.1,\r\n');
});

test('commands: who sees controls, what is sent, what an answer is', () => {
  const { readOperators, operates, readDecimal, buildCommand, readAnswer } = globalThis.VortaCommands;
  const ops = readOperators({ name: 'pc', operators: ['anna', 7, ''] });
  assert.deepEqual(ops, ['anna']);
  assert.equal(operates(ops, 'anna'), true);
  assert.equal(operates(ops, 'viewer'), false);
  assert.equal(operates(readOperators({ name: 'pc' }), ''), false);
  assert.equal(readDecimal(' 6,55 '), 6.55);
  assert.equal(readDecimal('-.5'), -0.5);
  for (const bad of ['', '1e3', '6,5,5', '1 000', 'NaN', '0x10']) assert.equal(readDecimal(bad), null, bad);
  assert.deepEqual(JSON.parse(buildCommand('setpoint', { channel: 1, value: '6,5', ts: 1, cmd: 'x' }, 1700000000000)), {
    channel: 1,
    value: '6,5',
    cmd: 'setpoint',
    ts: 1700000000000,
  });
  assert.deepEqual(readAnswer(bytes('{"done":false,"text":"Вне диапазона","field":"value"}')), {
    done: false,
    text: 'Вне диапазона',
    field: 'value',
  });
  assert.equal(readAnswer(bytes('{"done":"yes"}')), null);
  assert.equal(readAnswer(bytes('{"done":')), null);
});

test('commands: an answer in time decides, a late or foreign one changes nothing', () => {
  const p = new globalThis.VortaCommands.Pending(1000);
  const a = p.start('sp1', 0);
  const b = p.start('ack', 0);
  assert.notEqual(a, b);
  assert.equal(p.answer('other', { done: true, text: '' }, 10), null);
  assert.deepEqual(p.answer(a, { done: false, text: 'нет', field: '' }, 500), { control: 'sp1', state: 'refused', text: 'нет', field: '' });
  assert.equal(p.answer(a, { done: true, text: '' }, 600), null);
  assert.equal(p.waiting('ack'), true);
  assert.deepEqual(p.expire(1000), []);
  assert.deepEqual(p.expire(1001), [{ control: 'ack', state: 'noAnswer', text: '' }]);
  assert.equal(p.answer(b, { done: true, text: '' }, 1002), null);
  assert.equal(p.waiting('ack'), false);
  // Late, before the page's clock has expired it: still no answer.
  const c = p.start('mode', 2000);
  assert.equal(p.answer(c, { done: true, text: '' }, 3001), null);
});

test('a running plan reads as its step, the time left and the next; junk is no plan', () => {
  const state = (plan) => readState({ channels: [], plan });
  assert.equal(state(undefined).plan, null);
  assert.equal(state({ step: 'x', steps: 9 }).plan, null);
  const p = state({ plan: 'feed', state: 'paused', step: 4, steps: 9, name: 'ramp', next: 'harvest', remainingSeconds: 7800 }).plan;
  assert.equal(planText(p, tr), 'Plan feed: step 4 of 9, ramp, 2 h left (paused); next: harvest');
  assert.equal(planText(null, tr), '');
  assert.equal(planText(state({ plan: 'feed', state: 'stopped', step: 4, steps: 9, next: 'harvest', remainingSeconds: 60 }).plan, tr), 'Plan feed: stopped');
  const ru = (key) => TEXTS.ru[key];
  assert.equal(planText(state({ step: 1, steps: 2 }).plan, ru), 'План: шаг 1 из 2');
});

// The model and its history asks, against a stand-in for the drawing side.
const dropped = [];
const app = (globalThis.VortaApp = {
  computers: new Map(),
  dirtyVessels: new Set(),
  dirtyComputers: new Set(),
  chartQueue: new Set(),
  historyAsking: new Set(),
  stats: { messages: 0, handler: [], handlerCount: 0 },
  drop: (why) => dropped.push(why),
  note() {},
  requestRender() {},
  buildComputer() {},
  buildCard() {},
  askReplies() {},
  filterInUse: 'vorta/#',
  largeFor: null,
  client: null,
});
await import('../../web/attention.js');
await import('../../web/model.js');
await import('../../web/history.js');
const stateAt = (ms) => bytes(JSON.stringify({ time: new Date(ms).toISOString(), channels: [] }));

test('messages: a retained state is as old as it says, an unreadable alarm list empties the old, a row from a wrong clock is left out', () => {
  const hourAgo = Date.now() - 3600000;
  app.onMessage('vorta/pc/1/state', stateAt(hourAgo), { retain: true });
  const c = app.computers.get('vorta/pc');
  const v = c.vessels.get(1);
  assert.equal(v.freshAt, hourAgo);
  app.onMessage('vorta/pc/1/state', stateAt(hourAgo), { retain: false });
  assert.ok(v.freshAt > hourAgo + 3000000);
  app.onMessage('vorta/pc/alarms', bytes('{"alarms":[{"vessel":1,"text":"Пена"}]}'), {});
  assert.equal(c.alarms.length, 1);
  app.onMessage('vorta/pc/alarms', new Uint8Array(LIMITS.alarms + 1), {});
  assert.deepEqual([c.alarms.length, c.alarmsUnread, dropped.at(-1)], [0, LIMITS.alarms + 1, 'tooLarge']);
  const version = v.trend.version;
  app.onMessage('vorta/pc/1/minute', bytes('{"time":"2100-01-01T00:00:00Z","pH":7}'), {});
  assert.deepEqual([v.trend.version, dropped.at(-1)], [version, 'outsideDay']);
  // History not asked for (a page that stayed subscribed) changes nothing.
  app.onMessage('vorta/pc/1/history', bytes('{"parts":[0]}'), { retain: true });
  assert.equal(v.historyIndex, null);
});

test('history asks: a few vessels at a time, a day taken or given up frees its place for the next', () => {
  const asked = [];
  const left = [];
  app.client = { connected: true, subscribe: (t) => asked.push(t), unsubscribe: (t) => left.push(t) };
  for (let n = 1; n <= 26; n++) app.onMessage('vorta/pc2/' + n + '/state', stateAt(Date.now()), {});
  assert.equal(asked.length, 24);
  const s = Math.floor(Date.now() / 1000);
  app.onMessage('vorta/pc2/2/history', bytes('{"parts":[0]}'), { retain: true });
  app.onMessage('vorta/pc2/2/history/0', bytes(JSON.stringify({ t: [s - 120, 60], pH: [700, 0] })), { retain: true });
  const v = app.computers.get('vorta/pc2').vessels.get(2);
  assert.deepEqual(Array.from(v.trend.histT), [s - 120, s - 60]);
  app.historyDone(app.computers.get('vorta/pc2').vessels.get(1));
  assert.deepEqual(left, ['vorta/pc2/2/history/#', 'vorta/pc2/1/history/#']);
  assert.deepEqual(asked.slice(24), ['vorta/pc2/25/history/#', 'vorta/pc2/26/history/#']);
  // The page's own subscriptions never take the history topics.
  assert.ok(app.subscriptions('vorta/#').every((t) => !t.includes('#') && !t.includes('history')));
  assert.ok(app.subscriptions('vorta/#').includes('vorta/+/+/+/+/+/minute'));
  app.client = null;
});
