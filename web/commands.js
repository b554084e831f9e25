// Commands from the page: who may see the controls, the payload a control
// sends, the answer read back, and each control's state while it waits.
// The program checks and journals every command; the page only asks.
'use strict';

(function () {
  // An answer later than this is none: the control says so and assumes
  // nothing (the program refuses commands older than five seconds anyway).
  const ANSWER_WAIT_MS = 6000;
  const MAX_ANSWER = 4096;
  const MAX_OPERATORS = 100;
  // The mode a vessel runs without control; switching to it is confirmed.
  const UNCONTROLLED = 0;

  // The users a computer's info names as its operators.
  function readOperators(info) {
    if (info === null || typeof info !== 'object' || !Array.isArray(info.operators)) return [];
    return info.operators.slice(0, MAX_OPERATORS).filter((u) => typeof u === 'string' && u !== '');
  }
  // Whether the page shows this user the controls of a computer.
  function operates(operators, user) {
    return typeof user === 'string' && user !== '' && operators.includes(user);
  }

  // A number as the panel takes it: a decimal point or comma, an optional
  // sign; nothing else (no exponent, no thousands). null: not a number.
  function readDecimal(text) {
    if (typeof text !== 'string') return null;
    const t = text.trim().replace(',', '.');
    if (!/^[+-]?(\d+\.?\d*|\.\d+)$/.test(t)) return null;
    const v = Number(t);
    return Number.isFinite(v) ? v : null;
  }

  // The topics of one command: where it goes, where its answer comes. The
  // broker lets a user publish only under their own name.
  function commandTopic(root, user, vessel) {
    return root + '/cmd/' + user + '/' + vessel;
  }
  function replyTopic(root, user, page) {
    return root + '/reply/' + user + '/' + page;
  }

  // The payload: the command's fields, its kind and when it was sent.
  function buildCommand(cmd, fields, nowMs) {
    return JSON.stringify(Object.assign({}, fields, { cmd, ts: nowMs }));
  }

  // The program's answer; null when it is none.
  const decoder = new TextDecoder('utf-8');
  function readAnswer(payload) {
    if (!payload || payload.length > MAX_ANSWER) return null;
    let o;
    try {
      o = JSON.parse(typeof payload === 'string' ? payload : decoder.decode(payload));
    } catch (e) {
      return null;
    }
    if (o === null || typeof o !== 'object' || typeof o.done !== 'boolean') return null;
    return {
      done: o.done,
      text: typeof o.text === 'string' ? o.text.slice(0, 400) : '',
      field: typeof o.field === 'string' ? o.field.slice(0, 100) : '',
    };
  }

  // Commands sent and not yet answered, by their correlation id. A control
  // is 'pending', then 'done', 'refused' or 'noAnswer'; an answer that comes
  // after its time (or for no command of ours) changes nothing.
  class Pending {
    constructor(waitMs = ANSWER_WAIT_MS) {
      this.waitMs = waitMs;
      this.sent = new Map();
      this.next = 1;
    }
    start(control, nowMs) {
      const id = 'c' + this.next++ + '-' + nowMs;
      this.sent.set(id, { control, until: nowMs + this.waitMs });
      return id;
    }
    // {control, state, text} for an answer to a waiting command, else null.
    answer(id, answer, nowMs) {
      const s = this.sent.get(id);
      if (!s || !answer) return null;
      this.sent.delete(id);
      if (nowMs > s.until) return null;
      return { control: s.control, state: answer.done ? 'done' : 'refused', text: answer.text, field: answer.field };
    }
    // The controls whose commands had no answer in time.
    expire(nowMs) {
      const out = [];
      for (const [id, s] of this.sent) {
        if (nowMs > s.until) {
          this.sent.delete(id);
          out.push({ control: s.control, state: 'noAnswer', text: '' });
        }
      }
      return out;
    }
    waiting(control) {
      for (const s of this.sent.values()) if (s.control === control) return true;
      return false;
    }
  }

  globalThis.VortaCommands = { ANSWER_WAIT_MS, UNCONTROLLED, readOperators, operates, readDecimal, commandTopic, replyTopic, buildCommand, readAnswer, Pending };
})();
