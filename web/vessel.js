// A vessel's page: its values, its chart over a chosen range (CSV and PNG to
// take away), its alarms and journal records.
'use strict';

(function () {
  const app = globalThis.VortaApp;
  const Trend = globalThis.VortaTrend;
  const { two } = globalThis.VortaFormat;
  const { save } = globalThis.VortaStorage;
  const Attention = globalThis.VortaAttention;
  const { computers, chartChoice, UNITS, el, setText, tr, clock, statusText } = app;

  // ---- the large chart

  const dialog = document.getElementById('chart-dialog');
  const channelBox = document.getElementById('chart-channels');
  const largeBox = document.getElementById('chart-large');

  function channelLabel(key) {
    return key === 'rpm' ? tr('stirrer') : key === 'setpoints' ? tr('setpoints') : key === 'tC' ? 't°C' : key;
  }

  function buildChoiceBoxes() {
    const legend = channelBox.querySelector('legend');
    channelBox.replaceChildren(legend);
    for (const key of Trend.CHANNELS.concat(['setpoints'])) {
      const label = el('label', 'choice');
      const box = el('input');
      box.type = 'checkbox';
      box.name = key;
      box.checked = !!chartChoice[key];
      box.addEventListener('change', () => {
        chartChoice[key] = box.checked;
        save(localStorage, 'vorta.channels', JSON.stringify(chartChoice));
        for (const c of computers.values()) {
          for (const v of c.vessels.values()) if (v.chart) Trend.applyChoice(v.chart, chartChoice);
        }
        if (app.largeFor) openLarge(app.largeFor);
      });
      label.append(box, el('span', null, channelLabel(key)));
      channelBox.append(label);
    }
  }

  // The vessel page's chart: the last span, or a stretch dragged across it.
  const rangeSelect = document.getElementById('chart-range');
  const largeView = { spanS: Number(rangeSelect.value), zoom: null };
  rangeSelect.addEventListener('change', () => {
    largeView.spanS = Number(rangeSelect.value);
    largeView.zoom = null;
    if (app.largeFor) openLarge(app.largeFor);
  });
  // What the chart shows now, in seconds.
  function shownRange() {
    const x = app.largeChart && app.largeChart.scales.x;
    if (x && x.min !== null && x.max !== null) return [x.min, x.max];
    const now = Date.now() / 1000;
    return [now - largeView.spanS, now];
  }
  function fileName(v, ext) {
    const stamp = new Date().toISOString().slice(0, 16).replace(/[:T]/g, '-');
    return (v.computer.name || v.computer.root).replace(/[^\p{L}\p{N}._-]+/gu, '_') + '-' + v.num + '-' + stamp + '.' + ext;
  }
  function download(blob, name) {
    const a = el('a');
    a.href = URL.createObjectURL(blob);
    a.download = name;
    document.body.append(a);
    a.click();
    a.remove();
    setTimeout(() => URL.revokeObjectURL(a.href), 10000);
  }
  document.getElementById('export-csv').addEventListener('click', () => {
    if (!app.largeFor) return;
    const [from, to] = shownRange();
    const labels = Trend.SERIES.map((x) => Trend.seriesLabel(x, tr));
    const csv = Attention.toCsv(app.largeFor.trend.data(Date.now() / 1000), labels, from, to);
    download(new Blob([csv], { type: 'text/csv' }), fileName(app.largeFor, 'csv'));
  });
  document.getElementById('export-png').addEventListener('click', () => {
    if (!app.largeFor || !app.largeChart) return;
    const v = app.largeFor;
    app.largeChart.ctx.canvas.toBlob((blob) => blob && download(blob, fileName(v, 'png')), 'image/png');
  });

  // The values with their units, the alarms and the journal records of the
  // vessel (those that came while this page was connected).
  const valuesTable = document.getElementById('vessel-values');
  const vesselAlarms = document.getElementById('vessel-alarms');
  const vesselJournal = document.getElementById('vessel-journal');
  function renderVesselPage(v) {
    const s = v.state;
    const rows = [];
    ['pH', 't°C', 'pO2', 'eH'].forEach((label, i) => {
      const ch = s ? s.channels[i] : { value: null, setpoint: null };
      const unit = UNITS[i] ? ' ' + UNITS[i] : '';
      const row = el('tr');
      row.append(
        el('th', null, label),
        el('td', 'value', two(ch.value) + unit),
        el('td', 'sp', tr('setpoint') + ' ' + two(ch.setpoint) + unit),
        el('td', 'st', s ? statusText(s, i) : ''),
      );
      rows.push(row);
    });
    const rpm = el('tr');
    rpm.append(el('th', null, tr('stirrer')), el('td', 'value', s && s.rpm !== null ? s.rpm + ' ' + tr('rpm') : '—'));
    rows.push(rpm);
    valuesTable.replaceChildren(...rows);

    const c = v.computer;
    const alarmItems = [];
    for (const a of c.alarms) {
      if (a.vessel !== v.num) continue;
      const text = app.lang === 'en' && a.textEn ? a.textEn : a.text;
      alarmItems.push(
        el('li', a.acknowledged ? 'ack' : 'unack', [clock(a.raised), text, a.acknowledged ? tr('acknowledgedBy') + a.ackBy : tr('notAcknowledged')].join(' · ')),
      );
    }
    const journalItems = [];
    for (let i = c.journal.length - 1; i >= 0; i--) {
      const r = c.journal[i];
      if (r.vessel !== v.num) continue;
      const what = r.subject + (r.old !== '' || r.now !== '' ? ': ' + r.old + ' → ' + r.now : '');
      const line = [clock(r.time), r.user || '—', tr('journalKinds')[r.kind] || r.kind, what, r.source ? tr('from') + r.source : ''].filter((x) => x).join(' · ');
      (r.kind === 'Change' || r.kind === 'Program' ? journalItems : alarmItems).push(el('li', 'record', line));
    }
    if (!alarmItems.length) alarmItems.push(el('li', 'none', tr('noAlarms')));
    if (!journalItems.length) journalItems.push(el('li', 'none', tr('noRecords')));
    vesselAlarms.replaceChildren(...alarmItems);
    vesselJournal.replaceChildren(...journalItems);
    app.renderPlanControls(v);
  }

  function openLarge(v) {
    if (app.largeFor !== v) largeView.zoom = null;
    app.largeFor = v;
    if (!dialog.open) dialog.showModal();
    const name = (v.state && v.state.name) || tr('vessel') + v.num;
    setText(document.getElementById('chart-title'), (v.computer.name || v.computer.root) + ' · ' + name);
    renderVesselPage(v);
    app.buildControls(v);
    if (app.largeChart) app.largeChart.destroy();
    largeBox.replaceChildren();
    const width = Math.max(200, largeBox.clientWidth || dialog.clientWidth - 32);
    const height = Math.max(180, Math.min(520, Math.round(window.innerHeight * 0.55)));
    app.largeChart = Trend.largeChart(largeBox, width, height, chartChoice, app.lang, tr, largeView);
    const now = Date.now();
    app.largeChart.setData(v.trend.data(now / 1000));
    app.largeVersion = v.trend.version;
    app.largeDrawnAt = now;
    largeBox.dataset.points = String(v.trend.points);
  }

  function closeLarge() {
    if (app.largeChart) app.largeChart.destroy();
    app.largeChart = null;
    app.largeFor = null;
    largeBox.replaceChildren();
    if (dialog.open) dialog.close();
  }
  document.getElementById('chart-close').addEventListener('click', closeLarge);
  dialog.addEventListener('close', closeLarge);
  dialog.addEventListener('click', (e) => {
    if (e.target === dialog) closeLarge();
  });

  Object.assign(app, { buildChoiceBoxes, renderVesselPage, openLarge, closeLarge });
})();
