// The operator's controls: commands sent, their answers, and the vessel
// page's mode, setpoint and plan controls.
'use strict';

(function () {
  const app = globalThis.VortaApp;
  const { planText, two } = globalThis.VortaFormat;
  const Commands = globalThis.VortaCommands;
  const { controlState, el, setText, tr } = app;

  const decoder = new TextDecoder('utf-8');

  // ---- commands

  const pending = new Commands.Pending();
  const pageId = Math.random().toString(16).slice(2, 10);

  function canOperate(c) {
    return c.attributed && app.linkKey === 'connected' && Commands.operates(c.operators, app.userInUse);
  }
  // Our answers come on our own reply topic, asked for once per connection.
  function askReplies(c) {
    if (!app.client || c.replyAsked || !Commands.operates(c.operators, app.userInUse)) return;
    c.replyAsked = true;
    app.client.subscribe(Commands.replyTopic(c.root, app.userInUse, '#'), { qos: 1 });
  }
  function send(c, vessel, key, cmd, fields) {
    if (!app.client || !canOperate(c)) return;
    const id = pending.start(key, Date.now());
    controlState.set(key, { state: 'pending', text: '' });
    app.client.publish(Commands.commandTopic(c.root, app.userInUse, vessel), Commands.buildCommand(cmd, fields, Date.now()), {
      qos: 1,
      properties: { responseTopic: Commands.replyTopic(c.root, app.userInUse, pageId), correlationData: new TextEncoder().encode(id) },
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
    app.alarmsDirty = true;
    if (app.largeFor) renderControlStates();
    app.requestRender();
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

  // The plan actions each state of a running plan allows.
  const PLAN_ACTIONS = { running: ['pause', 'skip', 'stop'], paused: ['resume', 'skip', 'stop'], held: ['resume', 'skip', 'stop'] };

  // The large view's controls: a mode switch, a setpoint per channel and the
  // running plan's row.
  const controlsBox = document.getElementById('vessel-controls');
  let planRow = null;
  function buildControls(v) {
    const c = v.computer;
    controlsBox.hidden = !canOperate(c);
    controlsBox.replaceChildren();
    planRow = null;
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
    controlsBox.append(buildPlanRow(v));
    renderPlanControls(v);
  }

  // Its buttons are made once and shown as the plan's state allows, so that
  // a new state never takes a button away between press and release.
  function buildPlanRow(v) {
    const c = v.computer;
    const key = c.root + '|' + v.num + '|plan';
    const row = el('div', 'cmd-row cmd-plan');
    row.hidden = true;
    const text = el('span', 'cmd-plan-text');
    const buttons = new Map();
    row.append(text);
    for (const action of ['pause', 'resume', 'skip', 'stop']) {
      const b = el('button', 'cmd-plan-action', tr('planActions')[action]);
      b.type = 'button';
      b.dataset.action = action;
      b.hidden = true;
      b.addEventListener('click', () => {
        if (action === 'stop' && !window.confirm(tr('confirmStopPlan'))) return;
        send(c, v.num, key, 'plan', { action });
      });
      buttons.set(action, b);
      row.append(b);
    }
    row.append(stateSpan(key));
    planRow = { vessel: v, row, text, buttons };
    return row;
  }
  // The plan row as the vessel's last state has it; hidden when no plan runs
  // (a stopped or finished one stays in the state for the rest of the run).
  function renderPlanControls(v) {
    if (!planRow || planRow.vessel !== v) return;
    const p = (v.state && v.state.plan) || null;
    const allowed = (p && Object.hasOwn(PLAN_ACTIONS, p.state) && PLAN_ACTIONS[p.state]) || [];
    planRow.row.hidden = allowed.length === 0;
    planRow.row.dataset.state = p ? p.state : '';
    setText(planRow.text, planText(p, tr));
    for (const [action, b] of planRow.buttons) b.hidden = !allowed.includes(action);
  }

  Object.assign(app, { canOperate, askReplies, send, answered, expireCommands, stateSpan, buildControls, renderPlanControls });
})();
