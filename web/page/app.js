// The recorder's live page: the reading as the meter's panel shows it, the
// link's state, the run's statistics and limits, and a chart of the whole run
// that zooms and pans, its detail fetched from the recorder for the range in
// view. Live through the recorder's event stream; no build step, no framework.
'use strict';

(() => {
  const $ = (id) => document.getElementById(id);

  const MAX_COLUMNS = 10000;
  const MIN_SPAN_MS = 2000;        // the narrowest view: two seconds
  const FETCH_DELAY_MS = 150;      // after the last zoom or pan step
  const STATUS_EVERY_MS = 1000;    // the statistics at most once a second
  const KEEP_RECENT = 600;         // live events kept to replay over a fetched history
  const SERIES_COLOURS = 8;        // --series-0 to --series-7 in style.css

  // ---------- Formatting ----------

  const timeFormat = new Intl.DateTimeFormat(undefined, { hour: '2-digit', minute: '2-digit', second: '2-digit' });
  const dateTimeFormat = new Intl.DateTimeFormat(undefined, {
    day: 'numeric', month: 'short', hour: '2-digit', minute: '2-digit', second: '2-digit',
  });

  // A time of the run: the hour alone when it is today, with the date otherwise.
  function timeText(ms) {
    if (!Number.isFinite(ms)) return '';
    const d = new Date(ms);
    const today = new Date();
    const sameDay = d.getFullYear() === today.getFullYear() && d.getMonth() === today.getMonth()
      && d.getDate() === today.getDate();
    return sameDay ? timeFormat.format(d) : dateTimeFormat.format(d);
  }

  function isoMs(text) {
    if (typeof text !== 'string') return NaN;
    return Date.parse(text);
  }

  // Statistics to six significant digits, no trailing zeros.
  function numberText(x) {
    if (typeof x !== 'number' || !Number.isFinite(x)) return '–';
    if (x === 0) return '0';
    const abs = Math.abs(x);
    if (abs >= 1e-4 && abs < 1e9) return String(Number(x.toPrecision(6)));
    return x.toExponential(4).replace(/\.?0+e/, 'e');
  }

  function withUnit(x, unit) {
    const text = numberText(x);
    return text === '–' || !unit ? text : `${text} ${unit}`;
  }

  function cssVar(name) {
    return getComputedStyle(document.documentElement).getPropertyValue(name).trim();
  }

  // ---------- The panel, the link, the statistics, the limits ----------

  const page = {
    status: null,
    reading: null,
    streamDown: false,
  };

  function renderReading(r) {
    page.reading = r;
    if (!r) {
      $('function').textContent = '\u00a0';
      $('value').textContent = '----';
      $('unit').textContent = '';
      $('flags').replaceChildren();
      $('reading-time').textContent = 'No reading yet';
      return;
    }
    $('function').textContent = r.function || '\u00a0';
    $('value').textContent = r.text || (r.value == null ? '----' : String(r.value));
    $('unit').textContent = r.unit || '';
    const chips = (Array.isArray(r.flags) ? r.flags : []).map((f) => {
      const li = document.createElement('li');
      li.textContent = f;
      return li;
    });
    $('flags').replaceChildren(...chips);
    const t = isoMs(r.time);
    $('reading-time').textContent = `Reading ${r.seq ?? r.n} at ${timeText(t)}`;
    $('reading-time').dataset.seq = String(r.seq ?? r.n);
    const meter = page.status && page.status.meter;
    document.title = `${r.text || ''} ${r.unit || ''} · ${meter || 'Ravelo'}`.trim();
  }

  const LINK_WORDS = {
    recording: () => 'Recording',
    lost: (since) => `Link lost since ${since}`,
    waiting: () => 'Waiting for the port',
    stopped: () => 'Stopped',
  };

  function renderLink(link) {
    const el = $('link');
    if (!link) return;
    const state = LINK_WORDS[link.state] ? link.state : 'waiting';
    let text = LINK_WORDS[state](timeText(isoMs(link.since)));
    // "link lost (no data for 3 intervals)" says no more than the words
    // before it but what is in its brackets.
    const why = String(link.reason || '').replace(/^link lost\s*/i, '').replace(/^\((.*)\)$/, '$1').trim();
    if (why && state !== 'recording') text += ` (${why})`;
    el.dataset.state = state;
    el.textContent = text;
    // The last reading stays on the panel, greyed, while none come.
    document.querySelector('.panel').classList.toggle('stale', state !== 'recording');
  }

  function renderStream() {
    $('stream').hidden = !page.streamDown;
  }

  function renderStatistics(stats) {
    const unit = stats ? stats.unit : '';
    $('stats-function').textContent = stats && stats.function ? `· ${stats.function}` : '';
    $('stat-n').textContent = stats && Number.isFinite(stats.n) ? stats.n.toLocaleString('en') : '–';
    $('stat-min').textContent = stats ? withUnit(stats.min, unit) : '–';
    $('stat-max').textContent = stats ? withUnit(stats.max, unit) : '–';
    $('stat-mean').textContent = stats ? withUnit(stats.mean, unit) : '–';
    $('stat-sd').textContent = stats ? withUnit(stats.sd, unit) : '–';
  }

  function renderLimits(limits) {
    const box = $('limits');
    if (!limits || (limits.low == null && limits.high == null)) {
      box.hidden = true;
      return;
    }
    box.hidden = false;
    const state = limits.state === 'high' || limits.state === 'low' ? limits.state : 'ok';
    box.dataset.state = state;
    const since = Number.isFinite(isoMs(limits.since)) ? ` since ${timeText(isoMs(limits.since))}` : '';
    $('limits-state').textContent = state === 'high' ? `Above the high limit${since}`
      : state === 'low' ? `Below the low limit${since}` : 'Within the limits';
    const parts = [];
    if (limits.low != null) parts.push(`low ${withUnit(limits.low, limits.unit)}`);
    if (limits.high != null) parts.push(`high ${withUnit(limits.high, limits.unit)}`);
    $('limits-range').textContent = parts.join(' · ');
  }

  function renderStatus(s) {
    page.status = s;
    $('meter').textContent = [s.meter, s.port && s.port !== s.meter ? s.port : null].filter(Boolean).join(' · ');
    renderLink(s.link);
    renderStatistics(s.statistics);
    renderLimits(s.limits);
    const counts = [];
    if (Number.isFinite(s.readings)) counts.push(`${s.readings.toLocaleString('en')} readings`);
    if (Number.isFinite(s.gaps) && s.gaps > 0) counts.push(`${s.gaps.toLocaleString('en')} ${s.gaps === 1 ? 'gap' : 'gaps'}`);
    $('run-counts').textContent = counts.join(', ');
    const csv = $('csv');
    csv.hidden = !s.file;
    if (s.file) {
      csv.title = s.file;
      csv.setAttribute('download', s.file);
    }
    // The stream's reading is the newer one unless the panel has none yet.
    if (s.reading && (!page.reading || (s.reading.seq ?? 0) > (page.reading.seq ?? 0))) {
      renderReading(s.reading);
    }
    if (s.range) chart.extendRange(s.range.first, s.range.last);
  }

  // The status (statistics, counts, link) fetched at most once a second.
  const statusFetch = { running: false, again: false, last: 0, timer: 0 };

  function requestStatus() {
    if (statusFetch.running) {
      statusFetch.again = true;
      return;
    }
    if (statusFetch.timer) return;
    const wait = Math.max(0, statusFetch.last + STATUS_EVERY_MS - performance.now());
    statusFetch.timer = setTimeout(fetchStatus, wait);
  }

  async function fetchStatus() {
    statusFetch.timer = 0;
    statusFetch.running = true;
    statusFetch.last = performance.now();
    try {
      const res = await fetch('api/status', { cache: 'no-store' });
      if (res.ok) renderStatus(await res.json());
    } catch (e) {
      // The stream's state says the recorder is out of reach.
    } finally {
      statusFetch.running = false;
      if (statusFetch.again) {
        statusFetch.again = false;
        requestStatus();
      }
    }
  }

  // ---------- The chart ----------

  const chart = (() => {
    const figure = $('chart');
    let plot = null;
    let keys = '';           // the series the plot was made for
    let series = [];         // [{function, unit}]
    let data = [[]];         // uPlot's columns: times, then one array per series
    let lastIndex = [];      // per series, the index of its last point
    let breakOpen = [];      // per series, the line breaks before its next point
    let marks = [];          // [time, series] of readings without a number
    let lastSeries = -1;     // the series of the newest point
    let range = null;        // {first, last}: the whole run
    let view = null;         // {from, to}; null: the whole run
    let appended = 0;        // live points since the last fetch
    let fetchTimer = 0;
    let fetchToken = 0;
    let fetching = false;
    let pendingDraw = null;  // the performance mark a draw completes
    let firstDrawDone = false;
    const recent = [];       // live events, replayed over a fetched history

    function following() {
      return !view || !range || view.to >= range.last;
    }

    function shown() {
      if (!range) return null;
      let from = view ? view.from : range.first;
      let to = view ? view.to : range.last;
      if (following() && view) to = Math.max(to, range.last);
      if (to - from < MIN_SPAN_MS) {
        const mid = (from + to) / 2;
        from = mid - MIN_SPAN_MS / 2;
        to = mid + MIN_SPAN_MS / 2;
      }
      return { from, to };
    }

    function plotHeight() {
      return window.matchMedia('(min-width: 900px)').matches ? 320 : 240;
    }

    function columns() {
      // uPlot's box is in device pixels: CSS pixels times devicePixelRatio.
      const w = plot ? plot.bbox.width : figure.clientWidth * (window.devicePixelRatio || 1);
      return Math.max(1, Math.min(MAX_COLUMNS, Math.round(w)));
    }

    function drawMarks(u) {
      if (!marks.length) return;
      const ctx = u.ctx;
      const { left, top, width, height } = u.bbox;
      const px = window.devicePixelRatio || 1;
      const min = u.scales.x.min;
      const max = u.scales.x.max;
      ctx.save();
      ctx.strokeStyle = cssVar('--mark');
      ctx.lineWidth = Math.max(1, px);
      ctx.beginPath();
      let lastX = -1;
      for (const [t] of marks) {
        if (t < min || t > max) continue;
        const x = Math.round(u.valToPos(t, 'x', true));
        if (x === lastX) continue;
        lastX = x;
        ctx.moveTo(x + 0.5, top + height);
        ctx.lineTo(x + 0.5, top + height - 5 * px);
      }
      ctx.stroke();
      ctx.restore();
      void left; void width;
    }

    function afterDraw() {
      if (pendingDraw) {
        performance.mark('ravelo:history-drawn');
        try {
          performance.measure('ravelo:history-draw', pendingDraw, 'ravelo:history-drawn');
        } catch (e) { /* the start mark was cleared */ }
        pendingDraw = null;
        if (!firstDrawDone && data[0].length) {
          firstDrawDone = true;
          performance.mark('ravelo:first-chart');
        }
      }
    }

    function make() {
      const text = cssVar('--text');
      const grid = cssVar('--grid');
      const family = getComputedStyle(document.body).fontFamily;
      const font = `13px ${family}`;
      const labelFont = `600 14px ${family}`;
      const units = [];
      for (const s of series) if (!units.includes(s.unit)) units.push(s.unit);
      const scales = { x: { time: true, auto: false } };
      for (const u of units) scales[u] = { auto: true };
      // A y axis as wide as its longest value, so a phone keeps its width
      // for the plot.
      const measure = document.createElement('canvas').getContext('2d');
      measure.font = font;
      const axisSize = (u, values) => {
        let widest = 0;
        for (const v of values || []) widest = Math.max(widest, measure.measureText(String(v)).width);
        return Math.ceil(widest) + 14;
      };
      const axes = [{ stroke: text, font, grid: { stroke: grid, width: 1 }, ticks: { stroke: grid, width: 1 } }];
      // Every unit in view has its axis (left, right, left, ...), so no
      // line is read against another unit's scale.
      units.forEach((u, i) => {
        axes.push({
          scale: u,
          label: u,
          labelSize: 20,
          size: axisSize,
          gap: 4,
          font,
          labelFont,
          side: i % 2 === 0 ? 3 : 1,
          stroke: text,
          grid: { show: i === 0, stroke: grid, width: 1 },
          ticks: { stroke: grid, width: 1 },
        });
      });
      if (!units.length) axes.push({ stroke: text, font, grid: { stroke: grid, width: 1 }, ticks: { stroke: grid, width: 1 } });
      const opts = {
        width: Math.max(200, figure.clientWidth),
        height: plotHeight(),
        ms: 1,
        pxAlign: 0,
        scales,
        axes,
        series: [
          { label: 'Time', value: (u, v) => (v == null ? '–' : dateTimeFormat.format(new Date(v))) },
          ...series.map((s, i) => ({
            label: `${s.function} (${s.unit})`,
            scale: s.unit,
            stroke: cssVar(`--series-${i % SERIES_COLOURS}`),
            // Past the palette, the colours again, dashed.
            dash: i >= SERIES_COLOURS ? [6, 4] : undefined,
            width: 1.5,
            spanGaps: false,
            // uPlot's own rule: dots on the readings when they are few
            // enough in view, so a lone reading between gaps shows too.
            points: { size: 5 },
            value: (u, v) => (v == null ? '–' : `${numberText(v)} ${s.unit}`),
          })),
        ],
        cursor: {
          drag: { x: false, y: false, setScale: false },
          bind: { dblclick: () => null },
          points: { show: false },
        },
        legend: { show: series.length > 0 },
        hooks: { draw: [drawMarks, afterDraw] },
      };
      if (plot) plot.destroy();
      figure.replaceChildren();
      plot = new uPlot(opts, data, figure);
      keys = series.map((s) => `${s.function}\u0000${s.unit}`).join('\u0001');
      bindGestures(plot.over);
      if (!data[0].length) {
        const empty = document.createElement('p');
        empty.className = 'empty';
        empty.textContent = 'No readings yet';
        figure.append(empty);
      }
    }

    // Draws the current columns over the range in view.
    function redraw() {
      if (!plot) return;
      const empty = figure.querySelector('.empty');
      if (empty && data[0].length) empty.remove();
      plot.setData(data);
      const s = shown();
      if (s) plot.setScale('x', { min: s.from, max: s.to });
      renderRange();
    }

    function renderRange() {
      const s = shown();
      const el = $('chart-range');
      if (!s) {
        el.textContent = '\u00a0';
        return;
      }
      figure.dataset.from = String(Math.round(s.from));
      figure.dataset.to = String(Math.round(s.to));
      const words = `${dateTimeFormat.format(new Date(s.from))} – ${dateTimeFormat.format(new Date(s.to))}`;
      el.textContent = view ? (following() ? `${words}, following` : words) : `Whole run: ${words}`;
    }

    // The history's series as uPlot's aligned columns: every point's time in
    // order, each series holding its values at its own points, undefined at
    // the others' (the line runs on over them) and null across its breaks.
    function build(resSeries) {
      // Every series seen keeps its place (its colour, its axis) for the
      // page's life, also in a view without its readings: the plot does not
      // move under the pointer while zooming.
      const place = resSeries.map((s) => {
        let i = series.findIndex((k) => k.function === s.function && k.unit === s.unit);
        if (i < 0) i = series.push({ function: s.function, unit: s.unit, base: s.base_unit, factor: s.factor }) - 1;
        return i;
      });
      let total = 0;
      for (const s of resSeries) {
        for (const r of s.runs) total += r.t.length;
        total += Math.max(0, s.runs.length - 1);
      }
      const times = new Float64Array(total);
      const owner = new Int32Array(total);
      const values = new Float64Array(total);
      let k = 0;
      resSeries.forEach((s, si) => {
        s.runs.forEach((r, ri) => {
          if (ri > 0) {
            const prev = s.runs[ri - 1];
            times[k] = (prev.t[prev.t.length - 1] + r.t[0]) / 2;
            owner[k] = place[si];
            values[k] = NaN; // a break
            k++;
          }
          for (let i = 0; i < r.t.length; i++) {
            times[k] = r.t[i];
            owner[k] = place[si];
            values[k] = r.v[i] == null ? NaN : r.v[i];
            k++;
          }
        });
      });
      // Each series is in time order already: merged, not sorted.
      const order = new Uint32Array(total);
      const head = [];
      const end = [];
      let at = 0;
      resSeries.forEach((s) => {
        head.push(at);
        for (const r of s.runs) at += r.t.length;
        at += Math.max(0, s.runs.length - 1);
        end.push(at);
      });
      for (let j = 0; j < total; j++) {
        let best = -1;
        for (let si = 0; si < head.length; si++) {
          if (head[si] < end[si] && (best < 0 || times[head[si]] < times[head[best]])) best = si;
        }
        order[j] = head[best]++;
      }
      const x = new Array(total);
      const ys = series.map(() => new Array(total).fill(undefined));
      lastIndex = series.map(() => -1);
      breakOpen = series.map(() => false);
      for (let j = 0; j < total; j++) {
        const e = order[j];
        const si = owner[e];
        x[j] = times[e];
        const v = values[e];
        if (Number.isNaN(v)) {
          breakOpen[si] = true;
          continue;
        }
        if (breakOpen[si]) {
          const y = ys[si];
          for (let i = lastIndex[si] + 1; i < j; i++) y[i] = null;
          breakOpen[si] = false;
        }
        ys[si][j] = v;
        lastIndex[si] = j;
        lastSeries = si;
      }
      data = [x, ...ys];
      marks = [];
      resSeries.forEach((s, si) => {
        for (const t of s.marks || []) marks.push([t, place[si]]);
      });
      marks.sort((a, b) => a[0] - b[0]);
    }

    function scheduleFetch(delay = FETCH_DELAY_MS) {
      clearTimeout(fetchTimer);
      fetchTimer = setTimeout(fetchHistory, delay);
    }

    async function fetchHistory() {
      fetchTimer = 0;
      const token = ++fetchToken;
      const params = new URLSearchParams();
      if (view) {
        const s = shown();
        params.set('from', String(Math.floor(s.from)));
        if (!following()) params.set('to', String(Math.ceil(s.to)));
      }
      params.set('columns', String(columns()));
      const startMark = `ravelo:history-request-${token}`;
      performance.mark(startMark);
      let text;
      fetching = true;
      try {
        const res = await fetch(`api/history?${params}`, { cache: 'no-store' });
        if (!res.ok) return;
        text = await res.text();
      } catch (e) {
        return; // the recorder is out of reach: the stream's state says so
      } finally {
        if (token === fetchToken) fetching = false;
      }
      // A newer fetch for another view is on its way.
      if (token !== fetchToken) return;
      const received = `ravelo:history-received-${token}`;
      performance.mark(received);
      try {
        performance.measure('ravelo:history-fetch', startMark, received);
      } catch (e) { /* marks cleared */ }
      const res = JSON.parse(text);
      performance.mark(`ravelo:history-parsed-${token}`);
      apply(res, received, token);
    }

    function apply(res, startMark, token) {
      if (res.range) range = { first: res.range.first, last: res.range.last };
      build(Array.isArray(res.series) ? res.series : []);
      if (token !== undefined) {
        performance.mark(`ravelo:history-aligned-${token}`);
        try {
          performance.measure('ravelo:history-parse', startMark, `ravelo:history-parsed-${token}`);
          performance.measure('ravelo:history-align', `ravelo:history-parsed-${token}`, `ravelo:history-aligned-${token}`);
        } catch (e) { /* marks cleared */ }
      }
      appended = 0;
      // The live readings the history did not hold yet.
      const last = res.range ? res.range.last : -Infinity;
      for (const e of recent) {
        if (e.gap) {
          if (e.t > last) markBreak();
        } else if (e.t > last && !appendPoint(e.t, e.function, e.base, e.value, false)) {
          scheduleFetch(300); // a function the history did not have yet
        }
      }
      pendingDraw = startMark;
      const newKeys = series.map((s) => `${s.function}\u0000${s.unit}`).join('\u0001');
      if (!plot || newKeys !== keys) {
        make();
        // Axes come and go with the units: the plot's width, and so its
        // columns, may have changed; the same view again at its own detail.
        if (res.columns && columns() !== res.columns) scheduleFetch(0);
      }
      redraw();
    }

    // A live reading's series: the one of its function and unit without its
    // prefix (the recorder draws a function in the unit of its first reading:
    // 2.19 MΩ after 4.68 kΩ is 2190 kΩ).
    function seriesOf(fn, base) {
      return series.findIndex((s) => s.function === fn && s.base === base);
    }

    function markBreak() {
      if (lastSeries >= 0) breakOpen[lastSeries] = true;
    }

    // Adds one live reading; false when the chart needs the history again
    // (a function or a unit the newest series does not have). `baseValue`
    // is in the unit `base` without its prefix.
    function appendPoint(t, fn, base, baseValue, draw) {
      if (range) range.last = Math.max(range.last, t);
      else range = { first: t, last: t };
      const si = seriesOf(fn, base);
      if (si < 0 || (lastSeries >= 0 && si !== lastSeries)) return false;
      const value = baseValue == null ? null : baseValue / series[si].factor;
      if (value == null || !Number.isFinite(value)) {
        marks.push([t, si]);
        breakOpen[si] = true;
        lastSeries = si;
        if (draw) redraw();
        return true;
      }
      const x = data[0];
      if (breakOpen[si] && lastIndex[si] >= 0) {
        if (lastIndex[si] === x.length - 1) {
          x.push(t);
          for (let j = 1; j < data.length; j++) data[j].push(j - 1 === si ? null : undefined);
        } else {
          for (let i = lastIndex[si] + 1; i < x.length; i++) data[si + 1][i] = null;
        }
      }
      breakOpen[si] = false;
      x.push(t);
      for (let j = 1; j < data.length; j++) data[j].push(j - 1 === si ? value : undefined);
      lastIndex[si] = x.length - 1;
      lastSeries = si;
      appended++;
      if (draw) redraw();
      return true;
    }

    function remember(e) {
      recent.push(e);
      if (recent.length > KEEP_RECENT) recent.splice(0, recent.length - KEEP_RECENT);
    }

    function reading(r) {
      const t = isoMs(r.time);
      if (!Number.isFinite(t)) return;
      const value = typeof r.base_value === 'number' ? r.base_value : null;
      remember({ t, function: r.function, base: r.base_unit, value });
      if (!following()) {
        if (range) range.last = Math.max(range.last, t);
        renderRange();
        return;
      }
      const ok = appendPoint(t, r.function, r.base_unit, value, true);
      if (!ok || appended >= Math.max(100, columns() / 2)) scheduleFetch(ok ? 0 : 300);
    }

    function gap(time) {
      remember({ gap: true, t: isoMs(time) });
      markBreak();
    }

    function extendRange(first, last) {
      if (typeof first !== 'number' || typeof last !== 'number') return;
      const had = range;
      range = { first: had ? Math.min(had.first, first) : first, last: had ? Math.max(had.last, last) : last };
      if (!had && !fetching && !fetchTimer) scheduleFetch(0);
    }

    // ---------- Zoom and pan ----------

    function clampView(from, to) {
      if (!range) return null;
      let span = Math.max(MIN_SPAN_MS, to - from);
      const whole = range.last - range.first;
      if (span >= whole) return null; // the whole run
      if (from < range.first) from = range.first;
      if (from + span > range.last) from = range.last - span;
      return { from, to: from + span };
    }

    function setView(v, delay = FETCH_DELAY_MS) {
      view = v;
      if (plot) {
        const s = shown();
        if (s) plot.setScale('x', { min: s.from, max: s.to });
      }
      renderRange();
      scheduleFetch(delay);
    }

    function zoomAround(center, factor) {
      const s = shown();
      if (!s) return;
      const from = center - (center - s.from) * factor;
      const to = center + (s.to - center) * factor;
      setView(clampView(from, to));
    }

    function zoomCentre(factor) {
      const s = shown();
      if (s) zoomAround((s.from + s.to) / 2, factor);
    }

    function wholeRun() {
      setView(null, 0);
    }

    function plotWidthCss() {
      return plot ? plot.bbox.width / (window.devicePixelRatio || 1) : 1;
    }

    function bindGestures(over) {
      over.addEventListener('wheel', (e) => {
        e.preventDefault();
        const unit = e.deltaMode === 1 ? 33 : e.deltaMode === 2 ? 400 : 1;
        const factor = Math.min(2, Math.max(0.5, Math.pow(1.002, e.deltaY * unit)));
        const rect = over.getBoundingClientRect();
        zoomAround(plot.posToVal(e.clientX - rect.left, 'x'), factor);
      }, { passive: false });

      const pointers = new Map();
      let drag = null;
      let pinch = null;

      over.addEventListener('pointerdown', (e) => {
        if (e.pointerType === 'mouse' && e.button !== 0) return;
        over.setPointerCapture(e.pointerId);
        pointers.set(e.pointerId, e.clientX);
        const s = shown();
        if (!s) return;
        if (pointers.size === 1) {
          drag = { x0: e.clientX, from: s.from, to: s.to, moved: false };
        } else if (pointers.size === 2) {
          const [a, b] = [...pointers.values()];
          const rect = over.getBoundingClientRect();
          pinch = {
            dist: Math.max(10, Math.abs(a - b)),
            centre: plot.posToVal((a + b) / 2 - rect.left, 'x'),
            from: s.from,
            to: s.to,
          };
          drag = null;
        }
      });

      over.addEventListener('pointermove', (e) => {
        if (!pointers.has(e.pointerId)) return;
        pointers.set(e.pointerId, e.clientX);
        if (pinch && pointers.size >= 2) {
          const [a, b] = [...pointers.values()];
          const factor = pinch.dist / Math.max(10, Math.abs(a - b));
          setView(clampView(pinch.centre - (pinch.centre - pinch.from) * factor,
            pinch.centre + (pinch.to - pinch.centre) * factor));
        } else if (drag) {
          const dx = e.clientX - drag.x0;
          if (Math.abs(dx) < 3 && !drag.moved) return;
          drag.moved = true;
          figure.classList.add('panning');
          const perPx = (drag.to - drag.from) / plotWidthCss();
          const v = clampView(drag.from - dx * perPx, drag.to - dx * perPx);
          setView(v && range && drag.to - drag.from >= range.last - range.first ? null : v);
        }
      });

      const end = (e) => {
        pointers.delete(e.pointerId);
        if (pointers.size < 2) pinch = null;
        if (pointers.size === 0) {
          drag = null;
          figure.classList.remove('panning');
        }
      };
      over.addEventListener('pointerup', end);
      over.addEventListener('pointercancel', end);
      over.addEventListener('dblclick', (e) => {
        e.preventDefault();
        wholeRun();
      });
    }

    function resized() {
      if (!plot) return;
      const width = Math.max(200, figure.clientWidth);
      const height = plotHeight();
      if (width === plot.width && height === plot.height) return;
      const before = columns();
      plot.setSize({ width, height });
      if (Math.abs(columns() - before) > before * 0.1) scheduleFetch(300);
    }

    function rebuild() {
      make();
      redraw();
    }

    return {
      init() {
        make();
        new ResizeObserver(resized).observe(figure);
        window.matchMedia('(prefers-color-scheme: dark)').addEventListener('change', rebuild);
        $('zoom-in').addEventListener('click', () => zoomCentre(0.5));
        $('zoom-out').addEventListener('click', () => zoomCentre(2));
        $('whole-run').addEventListener('click', wholeRun);
      },
      fetch: () => scheduleFetch(0),
      reading,
      gap,
      extendRange,
    };
  })();

  // ---------- The event stream ----------

  let source = null;
  let reopenTimer = 0;

  function listen(reloadOnOpen) {
    source = new EventSource('events');
    let reload = reloadOnOpen;
    source.addEventListener('open', () => {
      page.streamDown = false;
      renderStream();
      requestStatus();
      if (reload) {
        reload = false;
        chart.fetch();
      }
    });
    source.addEventListener('error', () => {
      page.streamDown = true;
      renderStream();
      if (source.readyState === EventSource.CLOSED) {
        // The browser gave up (the recorder answered with an error): try
        // again later with a new stream and the history fetched afresh.
        clearTimeout(reopenTimer);
        reopenTimer = setTimeout(() => listen(true), 5000);
      }
    });
    const on = (name, handler) => source.addEventListener(name, (e) => {
      let d;
      try {
        d = JSON.parse(e.data);
      } catch (err) {
        return;
      }
      handler(d);
    });
    on('reading', (r) => {
      renderReading(r);
      chart.reading(r);
      requestStatus();
    });
    on('gap', (g) => {
      chart.gap(g.time);
      requestStatus();
    });
    on('limit', (l) => {
      const limits = page.status && page.status.limits;
      if (limits) {
        limits.state = l.state;
        limits.since = l.time;
        renderLimits(limits);
      }
      requestStatus();
    });
    on('link', (l) => {
      if (page.status) page.status.link = l;
      renderLink(l);
      requestStatus();
    });
    on('stop', (s) => {
      renderLink({ state: 'stopped', since: s.time, reason: s.reason });
      requestStatus();
    });
    on('missed', () => {
      chart.fetch();
      requestStatus();
    });
  }

  function start() {
    chart.init();
    fetchStatus();
    chart.fetch();
    listen(false);
  }

  if (document.readyState === 'loading') document.addEventListener('DOMContentLoaded', start);
  else start();
})();
