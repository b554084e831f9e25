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

  globalThis.VortaStorage = { load, save };
})();
