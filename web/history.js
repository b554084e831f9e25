// Asking the broker for vessels' days, a few at a time, and the topics the
// page subscribes to otherwise.
'use strict';

(function () {
  const app = globalThis.VortaApp;
  const { historyAsking } = app;

  // Vessels whose day is asked at a time: the broker queues at most about
  // a thousand messages for a client, and each day is up to 26 messages;
  // each round costs the broker a turn of its loop (up to 100 ms).
  const HISTORY_ASKS = 24;
  // The broker sends a subscription's retained messages right after taking
  // it: a vessel that has brought none of its history by then has none.
  const HISTORY_NONE_MS = 3000;

  // The day's rows of a vessel: its retained history (an index and a part an
  // hour), taken once per connection (a browser that stayed subscribed would
  // get the newest hour again with every row), a few vessels at a time.
  const historyQueue = new Set();
  function historyTopic(v) {
    return v.computer.root + '/' + v.num + '/history/#';
  }
  function askHistory(v) {
    if (v.historyAsked || !app.client || !app.client.connected) return;
    v.historyAsked = true;
    historyQueue.add(v);
    askNextHistories();
  }
  function askNextHistories() {
    for (const v of historyQueue) {
      if (historyAsking.size >= HISTORY_ASKS) return;
      historyQueue.delete(v);
      historyAsking.add(v);
      v.historyAskedAt = Date.now();
      v.historyIndex = null;
      v.historyParts.clear();
      v.historyHeard = false;
      const ask = ++v.historyAsk;
      // QoS 1: a busy broker drops a slow page's QoS 0 messages first.
      app.client.subscribe(historyTopic(v), { qos: 1 }, (err) => {
        if (err) return;
        setTimeout(() => {
          // None of it came: the vessel has no day to give; its slot goes
          // to the next one at once rather than at the retry.
          if (v.historyAsk === ask && historyAsking.has(v) && !v.historyHeard) {
            historyDone(v);
            v.historyGot = true;
          }
        }, HISTORY_NONE_MS);
      });
    }
  }
  function historyDone(v) {
    if (app.client && historyAsking.has(v)) app.client.unsubscribe(historyTopic(v));
    historyAsking.delete(v);
    v.historyIndex = null;
    v.historyParts.clear();
    askNextHistories();
  }
  function forgetHistories() {
    historyQueue.clear();
    historyAsking.clear();
  }

  // The user's filter without the history topics: "vorta/#" becomes the
  // status, alarms, state and minute topics of roots one to four levels
  // below "vorta/" (and of "vorta" itself).
  function subscriptions(filter) {
    if (!filter.endsWith('#')) return [filter];
    const base = filter.slice(0, -1);
    if (base !== '' && !base.endsWith('/')) return [filter];
    const out = [];
    const kinds = ['status', 'alarms', 'info', 'journal', '+/state', '+/minute'];
    if (base !== '') out.push(...kinds.map((k) => base + k));
    for (let depth = 1; depth <= 4; depth++) {
      const root = base + '+/'.repeat(depth);
      out.push(...kinds.map((k) => root + k));
    }
    return out;
  }

  Object.assign(app, { historyTopic, askHistory, historyDone, forgetHistories, subscriptions });
})();
