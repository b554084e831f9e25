// Storage that may be missing (a file:// page, a locked-down browser).
'use strict';

(function () {
  function load(store, key) {
    try {
      return store.getItem(key);
    } catch (e) {
      return null;
    }
  }

  function save(store, key, value) {
    try {
      if (value === null || value === '') store.removeItem(key);
      else store.setItem(key, value);
    } catch (e) {
      /* nothing kept */
    }
  }

  // Where this load connects, and with what. A broker from the address is
  // for this load only (it is never kept) and is told; the user name and
  // password the browser holds belong to the broker they were typed for and
  // go to no other. kept: { broker, user } from lasting storage;
  // tab: { broker, password } of this tab; address: the page's parameters.
  function startChoice(address, kept, tab, fallback) {
    const asked = address.broker || '';
    const broker = asked || kept.broker || fallback;
    const fromAddress = asked !== '' && asked !== (kept.broker || fallback);
    const ownUser = kept.broker ? kept.broker === broker : broker === fallback;
    const user = address.user || (ownUser ? kept.user || '' : '');
    const password = tab.broker === broker ? tab.password || '' : '';
    return { broker, fromAddress, user, password };
  }

  function readTab(text) {
    try {
      const o = JSON.parse(text || 'null');
      if (o && typeof o.broker === 'string' && typeof o.password === 'string') return o;
    } catch (e) {
      /* none */
    }
    return { broker: '', password: '' };
  }

  globalThis.VortaStorage = { load, save, startChoice, readTab };
})();
