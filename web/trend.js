// A vessel's trend: the day of data log rows its history topics bring, then
// the 2-s values appended live until the next history comes; and the charts
// that draw it (a small one on the card, a large one on request).
'use strict';

(function () {
  const DAY_S = 86400;
  // One live point per this many seconds (the latest value within it): a day
  // without a history topic stays a few thousand points.
  const LIVE_STEP_S = 20;
  const MAX_POINTS = 20000;
  // A row later than now by more than this is not drawn (a clock set wrong
  // would end the day there); nor one older than the day.
  const FUTURE_S = 300;
  // A pause between rows longer than this many of their usual steps, and
  // than GAP_MIN_S, is drawn as a gap, not as a line across it.
  const GAP_STEPS = 5;
  const GAP_MIN_S = 300;

  // Columns of the history topic, in the order of the chart's series.
  // label: the channel as the page names it; a setpoint's label gets the
  // page's word for a setpoint, the stirrer's is a text of the page.
  const SERIES = [
    { key: 'pH', label: 'pH', scale: 'pH', stroke: '#1f5fbf', channel: 'pH' },
    { key: 'tC', label: 't°C', scale: 'tC', stroke: '#c62828', channel: 'tC' },
    { key: 'pO2', label: 'pO2', scale: 'pO2', stroke: '#2e7d32', channel: 'pO2' },
    { key: 'eH', label: 'eH', scale: 'eH', stroke: '#7b1fa2', channel: 'eH' },
    { key: 'MixRpm', label: 'rpm', scale: 'rpm', stroke: '#8d6e00', channel: 'rpm' },
    { key: 'SetpH', label: 'pH', scale: 'pH', stroke: '#1f5fbf', channel: 'pH', setpoint: true },
    { key: 'SettC', label: 't°C', scale: 'tC', stroke: '#c62828', channel: 'tC', setpoint: true },
    { key: 'SetpO', label: 'pO2', scale: 'pO2', stroke: '#2e7d32', channel: 'pO2', setpoint: true },
    { key: 'SeteH', label: 'eH', scale: 'eH', stroke: '#7b1fa2', channel: 'eH', setpoint: true },
  ];
  function seriesLabel(s, tr) {
    const name = s.channel === 'rpm' ? tr('stirrer') : s.label;
    return s.setpoint ? name + ' ' + tr('setpoint') : name;
  }
  const CHANNELS = ['pH', 'tC', 'pO2', 'eH', 'rpm'];

  // A column of a history part: each value a step from the one before (from
  // 0), null for none, [step, n] for n equal steps. null when it is not one.
  function unstep(a) {
    if (!Array.isArray(a)) return null;
    const out = [];
    let last = 0;
    for (const item of a) {
      let step = item;
      let n = 1;
      if (Array.isArray(item)) {
        step = item[0];
        n = item[1];
        if (!Number.isInteger(n) || n < 1) return null;
      }
      if (out.length + n > MAX_POINTS) return null;
      if (step === null) {
        for (let k = 0; k < n; k++) out.push(null);
      } else if (typeof step === 'number' && Number.isFinite(step)) {
        for (let k = 0; k < n; k++) out.push((last += step));
      } else {
        return null;
      }
    }
    return out;
  }

  // A part of a history topic: at least its times, all of them numbers.
  function isPart(o) {
    const t = o !== null && typeof o === 'object' ? unstep(o.t) : null;
    return t !== null && t.every((x) => x !== null);
  }

  class TrendData {
    constructor() {
      this.histT = new Float64Array(0);
      this.histCols = SERIES.map(() => []);
      this.liveT = [];
      this.liveCols = SERIES.map(() => []);
      this.liveBucket = -Infinity;
      this.version = 0;
    }

    // The parts of a history, already parsed and checked (isPart), oldest
    // first: their rows joined into the day; rows later than nowS (with
    // FUTURE_S to spare) are left out and counted in this.outside.
    setHistory(parts, nowS) {
      const times = [];
      const cols = SERIES.map(() => []);
      for (const o of parts) {
        const t = unstep(o.t);
        for (let s = 0; s < SERIES.length; s++) {
          const c = unstep(o[SERIES[s].key]);
          const col = cols[s];
          // A column missing or of another length: no values in that hour.
          for (let i = 0; i < t.length; i++) col.push(c && c.length === t.length && c[i] !== null ? c[i] / 100 : null);
        }
        for (const x of t) times.push(x);
      }
      // The newest rows when there are more than the cap; times must rise
      // for the chart: a row that goes back (a clock set back) is left out.
      const from = Math.max(0, times.length - MAX_POINTS);
      const t = new Float64Array(times.length - from);
      const kept = SERIES.map(() => []);
      let last = -Infinity;
      let n = 0;
      this.outside = 0;
      for (let i = from; i < times.length; i++) {
        if (times[i] > nowS + FUTURE_S) {
          this.outside++;
          continue;
        }
        if (!(times[i] > last)) continue;
        last = t[n++] = times[i];
        for (let s = 0; s < SERIES.length; s++) kept[s].push(cols[s][i]);
      }
      return this.replaceHistory(t.subarray(0, n), kept);
    }

    replaceHistory(t, cols) {
      this.histT = t;
      this.histCols = cols;
      const end = t.length ? t[t.length - 1] : -Infinity;
      // Live points the history now covers give way to its rows.
      let drop = 0;
      while (drop < this.liveT.length && this.liveT[drop] <= end) drop++;
      if (drop) {
        this.liveT.splice(0, drop);
        for (const c of this.liveCols) c.splice(0, drop);
      }
      this.version++;
      return true;
    }

    // A data log row that came after the history: appended to it, and the
    // rows older than a day leave. false for a row outside the day around
    // nowS, which is not taken: the day stays as it was.
    addRow(tS, values, nowS) {
      if (!(tS <= nowS + FUTURE_S && tS > nowS - DAY_S)) return false;
      const n = this.histT.length;
      if (n && tS <= this.histT[n - 1]) return true;
      let from = 0;
      while (from < n && this.histT[from] < tS - DAY_S) from++;
      const t = new Float64Array(n - from + 1);
      t.set(this.histT.subarray(from), 0);
      t[n - from] = tS;
      const cols = this.histCols.map((c, i) => {
        const col = from ? c.slice(from) : c;
        col.push(values[i]);
        return col;
      });
      this.replaceHistory(t, cols);
      return true;
    }

    // values: in the order of SERIES.
    addLive(tS, values) {
      const n = this.liveT.length;
      const histEnd = this.histT.length ? this.histT[this.histT.length - 1] : -Infinity;
      if (tS <= histEnd || (n && tS < this.liveT[n - 1])) return;
      if (n && tS - this.liveBucket < LIVE_STEP_S) {
        this.liveT[n - 1] = tS;
        for (let i = 0; i < SERIES.length; i++) this.liveCols[i][n - 1] = values[i];
      } else {
        this.liveBucket = tS;
        this.liveT.push(tS);
        for (let i = 0; i < SERIES.length; i++) this.liveCols[i].push(values[i]);
        // The day's window, and never more than the cap.
        let drop = 0;
        while (drop < this.liveT.length && (this.liveT[drop] < tS - DAY_S || this.liveT.length - drop > MAX_POINTS)) drop++;
        if (drop) {
          this.liveT.splice(0, drop);
          for (const c of this.liveCols) c.splice(0, drop);
        }
      }
      this.version++;
    }

    get empty() {
      return this.histT.length === 0 && this.liveT.length === 0;
    }

    get points() {
      return this.histT.length + this.liveT.length;
    }

    // uPlot's data: the rows of the day up to nowS.
    data(nowS) {
      const from = nowS - DAY_S;
      let lo = 0;
      let hi = this.histT.length;
      while (lo < hi) {
        const mid = (lo + hi) >> 1;
        if (this.histT[mid] < from) lo = mid + 1;
        else hi = mid;
      }
      const hn = this.histT.length - lo;
      const ln = this.liveT.length;
      const xs = new Float64Array(hn + ln);
      xs.set(this.histT.subarray(lo), 0);
      for (let i = 0; i < ln; i++) xs[hn + i] = this.liveT[i];
      const out = [xs];
      for (let s = 0; s < SERIES.length; s++) {
        const col = new Array(hn + ln);
        const h = this.histCols[s];
        for (let i = 0; i < hn; i++) col[i] = h[lo + i];
        const l = this.liveCols[s];
        for (let i = 0; i < ln; i++) col[hn + i] = l[i];
        out.push(col);
      }
      return withGaps(out);
    }
  }

  // The data with a point of no values inside each pause much longer than
  // the usual step (an outage, a program stopped), so that it shows as a gap.
  function withGaps(data) {
    const xs = data[0];
    if (xs.length < 3) return data;
    const steps = [];
    for (let i = 1; i < xs.length; i++) steps.push(xs[i] - xs[i - 1]);
    const sorted = steps.slice().sort((a, b) => a - b);
    const limit = Math.max(GAP_MIN_S, GAP_STEPS * sorted[sorted.length >> 1]);
    const at = [];
    for (let i = 0; i < steps.length; i++) if (steps[i] > limit) at.push(i + 1);
    if (!at.length) return data;
    const n = xs.length + at.length;
    const out = data.map((c, k) => (k === 0 ? new Float64Array(n) : new Array(n)));
    let j = 0;
    let g = 0;
    for (let i = 0; i < xs.length; i++) {
      if (g < at.length && at[g] === i) {
        out[0][j] = (xs[i - 1] + xs[i]) / 2;
        for (let k = 1; k < out.length; k++) out[k][j] = null;
        j++;
        g++;
      }
      for (let k = 0; k < out.length; k++) out[k][j] = data[k][i];
      j++;
    }
    return out;
  }

  function shown(s, choice) {
    return !!choice[s.channel] && (!s.setpoint || !!choice.setpoints);
  }

  // The time axis and the legend's moment in the page's language.
  function timeSeries(lang, tr) {
    return {
      label: tr('time'),
      value: (u, v) =>
        v === null || v === undefined
          ? '—'
          : new Date(v * 1000).toLocaleString(lang, { day: 'numeric', month: 'short', hour: '2-digit', minute: '2-digit', hourCycle: 'h23' }),
    };
  }
  function timeAxis(lang) {
    return (u, splits, axisIdx, space, incr) =>
      splits.map((v) => {
        const d = new Date(v * 1000);
        const daily = incr >= 86400 || (d.getHours() === 0 && d.getMinutes() === 0);
        return daily
          ? d.toLocaleDateString(lang, { day: 'numeric', month: 'short' })
          : d.toLocaleTimeString(lang, { hour: '2-digit', minute: '2-digit', hourCycle: 'h23' });
      });
  }

  function seriesOptions(choice, large, lang, tr) {
    return [timeSeries(lang, tr)].concat(
      SERIES.map((s) => ({
        label: seriesLabel(s, tr),
        scale: s.scale,
        stroke: s.stroke,
        width: s.setpoint ? 1 : large ? 1.5 : 1.2,
        dash: s.setpoint ? [4, 3] : undefined,
        show: shown(s, choice),
        spanGaps: false,
        points: { show: false },
      })),
    );
  }

  // view (the large chart's): { spanS, zoom } — the last spanS seconds, or
  // the stretch [from, to] chosen by dragging across the chart.
  function scales(view) {
    const range = () => {
      if (view && view.zoom) return view.zoom;
      const now = Date.now() / 1000;
      return [now - (view ? view.spanS : DAY_S), now];
    };
    const out = { x: { time: true, range } };
    for (const c of CHANNELS) out[c] = { auto: true };
    return out;
  }

  function smallChart(target, width, choice, lang, tr) {
    return new uPlot(
      {
        width,
        height: 60,
        legend: { show: false },
        cursor: { show: false },
        select: { show: false },
        padding: [3, 0, 3, 0],
        scales: scales(),
        axes: [{ show: false }, { show: false, scale: 'pH' }],
        series: seriesOptions(choice, false, lang, tr),
      },
      [new Float64Array(0)].concat(SERIES.map(() => [])),
      target,
    );
  }

  function largeChart(target, width, height, choice, lang, tr, view) {
    const axes = [{ stroke: '#444', grid: { stroke: '#0000001a' }, values: timeAxis(lang) }];
    let side = 3;
    for (const c of CHANNELS) {
      if (!choice[c]) continue;
      const s = SERIES.find((x) => x.channel === c && !x.setpoint);
      axes.push({
        scale: c,
        side,
        stroke: s.stroke,
        grid: { show: axes.length === 1, stroke: '#0000001a' },
        size: 56,
      });
      side = side === 3 ? 1 : 3;
    }
    return new uPlot(
      {
        width,
        height,
        scales: scales(view),
        axes,
        // A drag across the chart zooms into that stretch.
        cursor: { drag: { x: true, y: false, setScale: false } },
        hooks: {
          setSelect: [
            (u) => {
              if (u.select.width < 5) return;
              view.zoom = [u.posToVal(u.select.left, 'x'), u.posToVal(u.select.left + u.select.width, 'x')];
              u.setSelect({ left: 0, top: 0, width: 0, height: 0 }, false);
              u.setScale('x', { min: view.zoom[0], max: view.zoom[1] });
            },
          ],
        },
        series: seriesOptions(choice, true, lang, tr),
      },
      [new Float64Array(0)].concat(SERIES.map(() => [])),
      target,
    );
  }

  function applyChoice(chart, choice) {
    SERIES.forEach((s, i) => {
      const show = shown(s, choice);
      if (chart.series[i + 1].show !== show) chart.setSeries(i + 1, { show });
    });
  }

  globalThis.VortaTrend = { SERIES, CHANNELS, TrendData, isPart, withGaps, seriesLabel, timeAxis, smallChart, largeChart, applyChoice, DAY_S, FUTURE_S };
})();
