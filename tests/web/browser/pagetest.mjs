// The recorder's live page in a real headless browser (Debian's chromium,
// driven over the DevTools protocol by puppeteer-core; no browser download).
//
//   node pagetest.mjs --record PATH --sim PATH --month-capture PATH --out DIR
//                     [--chromium PATH]
//
// Starts the meter simulator on a pseudo-terminal and `ravelo-record --http`
// on a free loopback port, then a replay of a month-long capture, and checks
// the page against both: the live value, the statistics and limits, the
// month's chart, wheel zoom, pan and the whole run again, no console error
// and no failed request. Saves screenshots at 390 x 844 and 1440 x 900, light
// and dark, in DIR/screenshots and prints the drawing and loading figures
// (measured, never asserted on).
import { spawn } from 'node:child_process';
import fs from 'node:fs';
import http from 'node:http';
import os from 'node:os';
import path from 'node:path';
import readline from 'node:readline';

// ---------- Arguments ----------

function argument(name, fallback) {
  const i = process.argv.indexOf(`--${name}`);
  if (i > 0 && i + 1 < process.argv.length) return process.argv[i + 1];
  if (fallback !== undefined) return fallback;
  console.error('usage: node pagetest.mjs --record PATH --sim PATH --month-capture PATH --out DIR [--chromium PATH]'
    + ` (missing --${name})`);
  process.exit(2);
}

const recordPath = argument('record');
const simPath = argument('sim');
const monthCapturePath = argument('month-capture');
const outDir = argument('out');
const chromiumPath = argument('chromium', '/usr/bin/chromium');
// puppeteer-core as the build installed it; where the build could not reach
// the npm registry it left the reason, and the test is skipped with it.
let puppeteer;
try {
  puppeteer = (await import('puppeteer-core')).default;
} catch (error) {
  const failed = path.join(outDir, 'npm-ci.failed');
  if (!fs.existsSync(failed)) throw error;
  console.log(`skipped: ${fs.readFileSync(failed, 'utf8').trim()}`);
  process.exit(0);
}
const shotsDir = path.join(outDir, 'screenshots');
fs.mkdirSync(shotsDir, { recursive: true });
const work = fs.mkdtempSync(path.join(os.tmpdir(), 'ravelo-page-'));
const MONTH_SECONDS = 31 * 24 * 3600;

// ---------- Results ----------

let failures = 0;
const figures = [];

function check(ok, what, detail = '') {
  if (ok) {
    console.log(`ok - ${what}`);
  } else {
    failures++;
    console.log(`not ok - ${what}${detail ? `: ${detail}` : ''}`);
  }
  return ok;
}

function figure(text) {
  figures.push(text);
  console.log(`# ${text}`);
}

const sleep = (ms) => new Promise((r) => setTimeout(r, ms));

// ---------- Programs ----------

const children = new Set();

function start(program, args, name) {
  const child = spawn(program, args, { stdio: ['ignore', 'pipe', 'pipe'] });
  child.name = name;
  child.stderrText = '';
  child.stderr.setEncoding('utf8');
  child.stderr.on('data', (d) => { child.stderrText += d; });
  child.exited = new Promise((resolve) => child.on('exit', (code, signal) => resolve({ code, signal })));
  children.add(child);
  child.on('exit', () => children.delete(child));
  return child;
}

async function stop(child, signal = 'SIGINT') {
  if (child.exitCode !== null || child.signalCode !== null) return child.exited;
  child.kill(signal);
  const timer = setTimeout(() => child.kill('SIGKILL'), 10000);
  const result = await child.exited;
  clearTimeout(timer);
  return result;
}

function firstLine(stream, pattern, what, timeoutMs = 15000) {
  return new Promise((resolve, reject) => {
    const lines = readline.createInterface({ input: stream });
    const timer = setTimeout(() => reject(new Error(`no ${what} within ${timeoutMs} ms`)), timeoutMs);
    lines.on('line', (line) => {
      const m = pattern.exec(line);
      if (m) {
        clearTimeout(timer);
        lines.removeAllListeners('line');
        resolve(m);
      }
    });
  });
}

async function startRecorder(args) {
  const child = start(recordPath, [...args, '--http', '127.0.0.1:0'], 'ravelo-record');
  const m = await firstLine(child.stderr, /the live page is at (http:\/\/127\.0\.0\.1:\d+\/)/, 'address on standard error');
  return { child, base: m[1] };
}

// ---------- HTTP from Node, beside the browser ----------

function getJson(url) {
  return new Promise((resolve, reject) => {
    http.get(url, (res) => {
      let body = '';
      res.setEncoding('utf8');
      res.on('data', (d) => { body += d; });
      res.on('end', () => {
        try {
          resolve(JSON.parse(body));
        } catch (e) {
          reject(new Error(`${url}: ${res.statusCode} ${body.slice(0, 200)}`));
        }
      });
    }).on('error', reject);
  });
}

// The recorder's event stream, read as a browser would: readings with the
// moment each arrived here.
function eventStream(url) {
  const readings = [];
  const waiters = [];
  const req = http.get(url, { headers: { Accept: 'text/event-stream' } }, (res) => {
    res.setEncoding('utf8');
    let buffer = '';
    res.on('data', (d) => {
      buffer += d;
      let end;
      while ((end = buffer.indexOf('\n\n')) >= 0) {
        const block = buffer.slice(0, end);
        buffer = buffer.slice(end + 2);
        let name = 'message';
        let data = '';
        for (const line of block.split('\n')) {
          if (line.startsWith('event:')) name = line.slice(6).trim();
          else if (line.startsWith('data:')) data += line.slice(5).trim();
        }
        if (name !== 'reading' || !data) continue;
        const reading = JSON.parse(data);
        reading.arrived = performance.now();
        readings.push(reading);
        waiters.splice(0).forEach((w) => w());
      }
    });
  });
  req.on('error', () => {});
  return {
    readings,
    async next(timeoutMs = 10000) {
      const have = readings.length;
      const deadline = performance.now() + timeoutMs;
      while (readings.length === have) {
        if (performance.now() > deadline) throw new Error('no reading on the event stream');
        await new Promise((r) => { waiters.push(r); setTimeout(r, 200); });
      }
      return readings[readings.length - 1];
    },
    close() { req.destroy(); },
  };
}

// ---------- The browser ----------

const problems = [];

async function openPage(browser, base, { width, height, scale, scheme, touch = false, query = '' }) {
  const page = await browser.newPage();
  const where = `${width}x${height} ${scheme}`;
  page.on('console', (m) => {
    if (m.type() === 'error') problems.push(`console error (${where}): ${m.text()}`);
  });
  page.on('pageerror', (e) => problems.push(`page error (${where}): ${e.message}`));
  page.on('requestfailed', (r) => problems.push(`failed request (${where}): ${r.url()} ${r.failure()?.errorText}`));
  page.on('response', (r) => {
    if (r.status() >= 400) problems.push(`HTTP ${r.status()} (${where}): ${r.url()}`);
  });
  await page.setViewport({ width, height, deviceScaleFactor: scale, hasTouch: touch, isMobile: touch });
  await page.emulateMediaFeatures([{ name: 'prefers-color-scheme', value: scheme }]);
  await page.goto(base + query, { waitUntil: 'load' });
  return page;
}

// Closes a page with its event stream first, so a recorder stopping later is
// no failed request of the page's.
async function closePage(page) {
  await page.goto('about:blank');
  await page.close();
}

const VIEWS = [
  { name: 'phone', width: 390, height: 844, scale: 3 },
  { name: 'desktop', width: 1440, height: 900, scale: 1 },
];

// Nothing wider than the window, nothing overlapping among the page's cards
// and headings, no text cut by its box.
async function layoutProblems(page) {
  return page.evaluate(() => {
    const found = [];
    const vw = document.documentElement.clientWidth;
    if (document.documentElement.scrollWidth > vw + 1) found.push(`page ${document.documentElement.scrollWidth}px wide in ${vw}px`);
    const visible = (el) => el.offsetParent !== null && el.getClientRects().length > 0;
    const boxes = [...document.querySelectorAll('header.top, main > .card')].filter(visible)
      .map((el) => ({ el, r: el.getBoundingClientRect() }));
    for (let i = 0; i < boxes.length; i++) {
      const a = boxes[i].r;
      if (a.right > vw + 1 || a.left < -1) found.push(`${boxes[i].el.className} outside the window`);
      for (let j = i + 1; j < boxes.length; j++) {
        const b = boxes[j].r;
        const overlap = Math.min(a.right, b.right) - Math.max(a.left, b.left) > 1
          && Math.min(a.bottom, b.bottom) - Math.max(a.top, b.top) > 1;
        if (overlap) found.push(`${boxes[i].el.className} overlaps ${boxes[j].el.className}`);
      }
    }
    // Within each card, its parts one after the other (a legend grown by
    // many series pushes the hint down rather than under it).
    for (const card of document.querySelectorAll('main > .card')) {
      const parts = [...card.children].filter(visible).map((el) => ({ el, r: el.getBoundingClientRect() }));
      for (let i = 0; i < parts.length; i++) {
        for (let j = i + 1; j < parts.length; j++) {
          const a = parts[i].r;
          const b = parts[j].r;
          if (Math.min(a.right, b.right) - Math.max(a.left, b.left) > 1 && Math.min(a.bottom, b.bottom) - Math.max(a.top, b.top) > 1) {
            found.push(`${parts[i].el.id || parts[i].el.className} overlaps ${parts[j].el.id || parts[j].el.className}`);
          }
        }
      }
    }
    for (const el of document.querySelectorAll('h1, h2, p, dd, dt, li, a, button, .value, .unit')) {
      if (!visible(el) || el.closest('.visually-hidden')) continue;
      if (el.scrollWidth > el.clientWidth + 1 && getComputedStyle(el).overflow !== 'visible') {
        found.push(`text cut: ${el.id || el.className || el.tagName} "${el.textContent.trim().slice(0, 30)}"`);
      }
      const r = el.getBoundingClientRect();
      if (r.right > vw + 1) found.push(`beyond the window: ${el.id || el.className || el.tagName}`);
    }
    // Text against the background it is drawn on: 4.5:1 at least.
    const rgba = (c) => (c.match(/[\d.]+/g) || []).map(Number);
    const luminance = ([r, g, b]) => {
      const lin = (v) => ((v /= 255) <= 0.03928 ? v / 12.92 : ((v + 0.055) / 1.055) ** 2.4);
      return 0.2126 * lin(r) + 0.7152 * lin(g) + 0.0722 * lin(b);
    };
    const backgroundOf = (el) => {
      for (let e = el; e; e = e.parentElement) {
        const c = rgba(getComputedStyle(e).backgroundColor);
        if (c.length === 3 || (c.length === 4 && c[3] > 0.5)) return c.slice(0, 3);
      }
      return [255, 255, 255];
    };
    const walker = document.createTreeWalker(document.body, NodeFilter.SHOW_TEXT);
    const seen = new Set();
    for (let n = walker.nextNode(); n; n = walker.nextNode()) {
      const el = n.parentElement;
      if (!n.textContent.trim() || seen.has(el) || !visible(el) || el.closest('.visually-hidden')) continue;
      seen.add(el);
      const fg = luminance(rgba(getComputedStyle(el).color));
      const bg = luminance(backgroundOf(el));
      const ratio = (Math.max(fg, bg) + 0.05) / (Math.min(fg, bg) + 0.05);
      if (ratio < 4.5) found.push(`contrast ${ratio.toFixed(2)}:1 for "${n.textContent.trim().slice(0, 20)}"`);
    }
    return found;
  });
}

async function screenshots(browser, base, prefix, ready) {
  for (const view of VIEWS) {
    for (const scheme of ['light', 'dark']) {
      const page = await openPage(browser, base, { ...view, scheme });
      await ready(page);
      const file = path.join(shotsDir, `${prefix}-${view.name}-${scheme}.png`);
      const layout = await layoutProblems(page);
      check(layout.length === 0, `${prefix} page laid out at ${view.width} x ${view.height}, ${scheme}: nothing cut, `
        + 'overlapping or below 4.5:1 contrast', layout.join('; '));
      if (prefix === 'month') {
        const drawn = await page.evaluate(() => {
          const all = performance.getEntriesByName('ravelo:history-draw');
          return all[all.length - 1].duration;
        });
        figure(`month drawn at ${view.width} x ${view.height} (device pixel ratio ${view.scale}, ${scheme}) in ${drawn.toFixed(1)} ms`);
      }
      await page.screenshot({ path: file, fullPage: true });
      console.log(`# screenshot ${file}`);
      await closePage(page);
    }
  }
}

// The chart's canvas has lines drawn on it: pixels other than its background.
async function chartInk(page) {
  return page.evaluate(() => {
    const canvas = document.querySelector('#chart canvas');
    if (!canvas) return 0;
    const ctx = canvas.getContext('2d');
    const { data } = ctx.getImageData(0, 0, canvas.width, canvas.height);
    let ink = 0;
    for (let i = 3; i < data.length; i += 4) if (data[i] > 0) ink++;
    return ink / (canvas.width * canvas.height);
  });
}

function viewOf(page) {
  return page.$eval('#chart', (f) => ({ from: Number(f.dataset.from), to: Number(f.dataset.to) }));
}

// ---------- The checks ----------

async function liveRun(browser) {
  const sim = start(simPath, ['--rate', '3'], 'ravelo-meter-sim');
  const pty = (await firstLine(sim.stdout, /^(\/\S+)$/, 'terminal from the simulator'))[1];
  const recordings = path.join(work, 'live');
  fs.mkdirSync(recordings);
  const { child: recorder, base } = await startRecorder([pty, '-q', '-o', recordings, '--high', '3.38']);
  const stream = eventStream(`${base}events`);
  try {
    await stream.next();
    const page = await openPage(browser, base, { ...VIEWS[0], scheme: 'light' });

    // The live value: each of three readings on the panel within 2 s of its
    // arrival on the stream.
    await page.waitForSelector('#reading-time[data-seq]', { timeout: 5000 });
    for (let i = 0; i < 3; i++) {
      const r = await stream.next();
      let shown = true;
      try {
        await page.waitForFunction(
          (seq) => Number(document.querySelector('#reading-time').dataset.seq) >= seq,
          { timeout: 2000, polling: 50 }, r.seq);
      } catch (e) {
        shown = false;
      }
      const late = shown ? performance.now() - r.arrived : NaN;
      const panel = await page.evaluate(() => ({
        seq: Number(document.querySelector('#reading-time').dataset.seq),
        value: document.querySelector('#value').textContent,
        unit: document.querySelector('#unit').textContent,
        fn: document.querySelector('#function').textContent,
      }));
      check(shown, `reading ${r.seq} on the panel within 2 s of the stream`);
      if (panel.seq === r.seq) {
        check(panel.value === r.text && panel.unit === r.unit && panel.fn === r.function,
          `reading ${r.seq} shown as the meter shows it`, JSON.stringify(panel));
      }
      if (shown) figure(`live reading ${r.seq} on the panel ${late.toFixed(0)} ms after the stream's copy arrived`);
    }

    // The run's state: recording, statistics, the limit, the journal's link.
    await page.waitForFunction(() => document.querySelector('#stat-n').textContent !== '–', { timeout: 5000 });
    const state = await page.evaluate(() => ({
      link: document.querySelector('#link').dataset.state,
      n: Number(document.querySelector('#stat-n').textContent.replace(/,/g, '')),
      mean: document.querySelector('#stat-mean').textContent,
      limits: !document.querySelector('#limits').hidden,
      limitText: document.querySelector('#limits-range').textContent,
      csv: !document.querySelector('#csv').hidden && document.querySelector('#csv').href,
    }));
    const status = await getJson(`${base}api/status`);
    check(state.link === 'recording', 'the link shown as recording', state.link);
    check(state.n > 0 && state.n <= status.statistics.n && / V$/.test(state.mean), 'the statistics shown with their unit', JSON.stringify(state));
    check(state.limits && state.limitText.includes('3.38'), 'the limit shown when --high is set', state.limitText);
    check(state.csv === `${base}recording.csv`, 'the journal offered for download', String(state.csv));
    const csv = await page.evaluate(async () => {
      const res = await fetch('/recording.csv');
      return { status: res.status, type: res.headers.get('content-type'), text: await res.text() };
    });
    check(csv.status === 200 && csv.type.startsWith('text/csv'), 'the download link gives the CSV', `${csv.status} ${csv.type}`);
    const lastSeq = Number(await page.$eval('#reading-time', (e) => e.dataset.seq));
    const csvHasIt = csv.text.split('\n').some((line) => line.startsWith(`${lastSeq},`) || line.startsWith(`${lastSeq};`));
    check(csvHasIt, `the panel's reading ${lastSeq} is a row of the CSV`);

    // The chart follows the run: the newest reading within its range.
    await sleep(1500);
    const live = await viewOf(page);
    const last = await stream.next();
    await sleep(300);
    const after = await viewOf(page);
    check(after.to >= Date.parse(last.time) - 1000 && after.to > live.to, 'the chart follows the live readings', JSON.stringify({ live, after, last: last.time }));
    check(await chartInk(page) > 0.001, 'the live chart draws its line');
    await closePage(page);

    await screenshots(browser, base, 'live', async (p) => {
      await p.waitForSelector('#reading-time[data-seq]', { timeout: 5000 });
      await p.waitForFunction(() => document.querySelector('#stat-n').textContent !== '–', { timeout: 5000 });
      await sleep(500);
    });

    // The recorder stops: the page says so, then that its stream is down.
    const ending = await openPage(browser, base, { ...VIEWS[1], scheme: 'light' });
    await ending.waitForSelector('#reading-time[data-seq]', { timeout: 5000 });
    const before = problems.length;
    await stop(recorder);
    const stopped = await ending.waitForFunction(() => document.querySelector('#link').dataset.state === 'stopped',
      { timeout: 5000 }).then(() => true, () => false);
    check(stopped, 'the link shown as stopped when the recorder stops');
    const down = await ending.waitForFunction(() => !document.querySelector('#stream').hidden,
      { timeout: 10000 }).then(() => true, () => false);
    check(down, 'the page says it is reconnecting when the stream drops');
    await closePage(ending);
    // Its attempts to reconnect to the stopped recorder are expected to fail.
    const unexpected = problems.splice(before).filter((p) => !/\/(events|api\/status|api\/history)\b/.test(p) && !/ERR_CONNECTION_REFUSED/.test(p));
    problems.push(...unexpected);
  } finally {
    stream.close();
    await stop(recorder);
    await stop(sim, 'SIGTERM');
  }
}

// The meter walks through its functions: each new function or unit becomes a
// series of its own on the chart, live, as the recorder's history has them.
async function tourRun(browser) {
  const sim = start(simPath, ['--scenario', 'tour', '--tour-seconds', '1', '--rate', '4'], 'ravelo-meter-sim');
  const pty = (await firstLine(sim.stdout, /^(\/\S+)$/, 'terminal from the simulator'))[1];
  const { child: recorder, base } = await startRecorder([pty, '-q', '--interval', '0.5']);
  try {
    const page = await openPage(browser, base, { ...VIEWS[1], scheme: 'light' });
    const labels = () => page.$$eval('#chart .u-legend .u-series .u-label',
      (els) => els.map((e) => e.textContent.trim()).filter((t) => t !== 'Time'));
    const served = async () => (await getJson(`${base}api/history?columns=100`)).series.map((x) => `${x.function} (${x.unit})`);
    let shown = [];
    let expected = [];
    const deadline = performance.now() + 30000;
    while (performance.now() < deadline) {
      await sleep(500);
      expected = await served();
      shown = await labels();
      if (expected.length >= 5 && expected.every((e) => shown.includes(e)) && shown.every((e) => expected.includes(e))) break;
    }
    check(expected.length >= 5 && expected.join('|') === shown.join('|'),
      `the live chart has the recorder's series, one per function and unit (${shown.length})`,
      JSON.stringify({ shown, expected }));
    check(await chartInk(page) > 0.001, 'the live chart draws the tour');
    const markers = await page.$$eval('#chart .u-legend .u-series .u-marker',
      (els) => els.slice(1).map((e) => getComputedStyle(e).borderColor));
    check(new Set(markers).size === markers.length, 'each series a colour of its own', markers.join(' '));
    for (const view of VIEWS) {
      await page.setViewport({ width: view.width, height: view.height, deviceScaleFactor: view.scale });
      await sleep(700);
      const layout = await layoutProblems(page);
      check(layout.length === 0, `the tour's page laid out at ${view.width} x ${view.height}`, layout.join('; '));
      const file = path.join(shotsDir, `tour-${view.name}-light.png`);
      await page.screenshot({ path: file, fullPage: true });
      console.log(`# screenshot ${file}`);
    }
    await closePage(page);
  } finally {
    await stop(recorder);
    await stop(sim, 'SIGTERM');
  }
}

// The meter falls silent: the page says since when the link is lost, then
// that it records again. The recorder asks for a token: the page, opened
// once with it, works on the cookie it leaves.
async function lostRun(browser) {
  const sim = start(simPath, ['--pause-every', '4', '--pause-for', '6'], 'ravelo-meter-sim');
  const pty = (await firstLine(sim.stdout, /^(\/\S+)$/, 'terminal from the simulator'))[1];
  const token = 'page-test-3f9c2a7b1e';
  const tokenFile = path.join(work, 'token');
  fs.writeFileSync(tokenFile, `${token}\n`, { mode: 0o600 });
  const { child: recorder, base } = await startRecorder([pty, '-q', '--http-token-file', tokenFile]);
  try {
    const page = await openPage(browser, base, { ...VIEWS[0], scheme: 'dark', query: `?token=${token}` });
    check(page.url() === base, 'the token leaves the address bar', page.url());
    const state = (want) => page.waitForFunction((w) => document.querySelector('#link').dataset.state === w,
      { timeout: 15000, polling: 100 }, want).then(() => true, () => false);
    check(await state('recording'), 'the link shown as recording before the silence');
    const lost = await state('lost');
    const text = await page.$eval('#link', (e) => e.textContent);
    check(lost && /^Link lost since \S/.test(text), 'the lost link shown with its time', text);
    const file = path.join(shotsDir, 'lost-phone-dark.png');
    await page.screenshot({ path: file, fullPage: true });
    console.log(`# screenshot ${file}`);
    check(await state('recording'), 'recording shown again when the readings come back');
    await closePage(page);
  } finally {
    await stop(recorder);
    await stop(sim, 'SIGTERM');
  }
}

async function monthRun(browser) {
  const capture = path.join(work, 'month.cap');
  const writer = start(monthCapturePath, [capture], 'ravelo-month-capture');
  check((await writer.exited).code === 0, 'a month-long capture written', writer.stderrText);
  const { child: recorder, base } = await startRecorder(['--replay', capture, '-q']);
  try {
    // The capture decoded: the recorder stopped reading, and keeps serving.
    let status = null;
    const deadline = performance.now() + 120000;
    while (performance.now() < deadline) {
      status = await getJson(`${base}api/status`).catch(() => null);
      if (status && status.link && status.link.state === 'stopped') break;
      await sleep(500);
    }
    check(status && status.link.state === 'stopped', 'the month replayed', JSON.stringify(status && status.link));
    const months = status.range ? (status.range.last - status.range.first) / 1000 : 0;
    check(months > MONTH_SECONDS * 0.99, `a month of readings in the recorder (${status.readings})`, String(months));

    // The whole month drawn, its columns as many as the plot's device pixels.
    const page = await openPage(browser, base, { ...VIEWS[1], scheme: 'light' });
    const history = [];
    const bodies = [];
    page.on('request', (r) => {
      if (r.url().includes('/api/history')) history.push(new URL(r.url()));
    });
    page.on('response', (r) => {
      if (r.url().includes('/api/history') && r.ok()) bodies.push(r.json());
    });
    await page.waitForFunction(() => performance.getEntriesByName('ravelo:history-draw').length > 0, { timeout: 20000 });
    // The plot may narrow once its axes are known, and then ask again.
    await page.waitForNetworkIdle({ idleTime: 500, timeout: 20000, concurrency: 1 }); // the event stream stays open
    const body = await bodies[bodies.length - 1];
    const points = body.series.reduce((a, s) => a + s.runs.reduce((b, r) => b + r.t.length, 0), 0);
    const runs = body.series.reduce((a, s) => a + s.runs.length, 0);
    const timing = await page.evaluate(() => {
      const nav = performance.getEntriesByType('navigation')[0];
      const draws = performance.getEntriesByName('ravelo:history-draw');
      const fetches = performance.getEntriesByName('ravelo:history-fetch');
      const draw = draws[draws.length - 1];
      const fetchM = fetches[fetches.length - 1];
      const first = performance.getEntriesByName('ravelo:first-chart')[0];
      const plot = document.querySelector('#chart .u-over').getBoundingClientRect().width;
      return {
        draw: draw.duration,
        fetch: fetchM ? fetchM.duration : NaN,
        domReady: nav.domContentLoadedEventEnd,
        load: nav.loadEventEnd,
        firstChart: first ? first.startTime : NaN,
        plotWidth: plot,
        ratio: devicePixelRatio,
      };
    });
    check(body.columns === Math.min(10000, Math.round(timing.plotWidth * timing.ratio)),
      'the history asked for one column per device pixel of the plot', `${body.columns} for ${timing.plotWidth} px`);
    check(points > 1000 && points <= body.columns * 4 + 16 * runs, `the month decimated to ${points} points in ${runs} runs`);
    check(runs >= 4, 'the month\'s gaps break the line', String(runs));
    check(await chartInk(page) > 0.005, 'the month\'s chart drawn');
    const whole = await viewOf(page);
    check(Math.abs(whole.from - status.range.first) < 60000 && Math.abs(whole.to - status.range.last) < 60000,
      'the chart shows the whole run', JSON.stringify(whole));
    figure(`month (${status.readings} readings): ${points} points in ${body.columns} columns drawn in ${timing.draw.toFixed(1)} ms `
      + `(parse, align and draw; fetch ${timing.fetch.toFixed(0)} ms)`);
    figure(`page load: DOM ready ${timing.domReady.toFixed(0)} ms, load ${timing.load.toFixed(0)} ms, `
      + `month's chart drawn ${timing.firstChart.toFixed(0)} ms after navigation`);

    // Wheel zoom around the pointer, then its detail from the recorder.
    const over = await page.$('#chart .u-over');
    const box = await over.boundingBox();
    await page.mouse.move(box.x + box.width * 0.5, box.y + box.height / 2);
    const fetched = history.length;
    for (let i = 0; i < 5; i++) {
      await page.mouse.wheel({ deltaY: -300 });
      await sleep(30);
    }
    await page.waitForResponse((r) => r.url().includes('/api/history'), { timeout: 5000 }).catch(() => null);
    await sleep(300);
    const zoomed = await viewOf(page);
    const zoomRequest = history[history.length - 1];
    const centre = (whole.from + whole.to) / 2;
    check(zoomed.to - zoomed.from < (whole.to - whole.from) * 0.5, 'the wheel zooms in', JSON.stringify(zoomed));
    check(zoomed.from < centre && zoomed.to > centre, 'the zoom keeps the time under the pointer in view');
    check(history.length > fetched && Number(zoomRequest.searchParams.get('from')) <= zoomed.from + 1
      && Number(zoomRequest.searchParams.get('to')) >= zoomed.to - 1,
      'the zoomed range fetched from the recorder', zoomRequest && zoomRequest.search);
    check(history.length - fetched <= 2, `the zoom's steps fetched once, not per step (${history.length - fetched})`);
    const zoomDraw = await page.evaluate(() => {
      const all = performance.getEntriesByName('ravelo:history-draw');
      return all[all.length - 1].duration;
    });
    figure(`zoomed view redrawn in ${zoomDraw.toFixed(1)} ms`);

    // Drag to pan: earlier times come into view.
    const beforePan = history.length;
    await page.mouse.move(box.x + box.width * 0.3, box.y + box.height / 2);
    await page.mouse.down();
    await page.mouse.move(box.x + box.width * 0.5, box.y + box.height / 2, { steps: 5 });
    await page.mouse.up();
    await page.waitForResponse((r) => r.url().includes('/api/history'), { timeout: 5000 }).catch(() => null);
    await sleep(200);
    const panned = await viewOf(page);
    const span = zoomed.to - zoomed.from;
    check(panned.from < zoomed.from - span * 0.1 && Math.abs((panned.to - panned.from) - span) < span * 0.01,
      'dragging pans to earlier times', JSON.stringify({ zoomed, panned }));
    check(history.length > beforePan, 'the panned range fetched from the recorder');

    // Double-click: the whole run again.
    await page.mouse.click(box.x + box.width / 2, box.y + box.height / 2, { clickCount: 2 });
    await sleep(500);
    const again = await viewOf(page);
    check(again.from === whole.from && again.to === whole.to, 'a double-click shows the whole run again', JSON.stringify(again));

    // The hour the link was lost: zoomed in around it, nothing drawn there.
    const spans = body.series.flatMap((s) => s.runs.map((r) => [r.t[0], r.t[r.t.length - 1]])).sort((a, b) => a[0] - b[0]);
    let hole = null;
    for (let i = 1; i < spans.length; i++) {
      if (spans[i][0] - spans[i - 1][1] > 30 * 60000) hole = [spans[i - 1][1], spans[i][0]];
    }
    if (check(hole !== null, 'the history has the hour without readings')) {
      const middle = (hole[0] + hole[1]) / 2;
      const whole2 = await (await page.$('#chart .u-over')).boundingBox();
      const x = whole2.x + whole2.width * (middle - again.from) / (again.to - again.from);
      await page.mouse.move(x, whole2.y + whole2.height / 2);
      // Seven steps of about 0.55: a month down to some eleven hours.
      for (let i = 0; i < 7; i++) {
        await page.mouse.wheel({ deltaY: -300 });
        await sleep(20);
      }
      await page.waitForNetworkIdle({ idleTime: 400, timeout: 10000, concurrency: 1 });
      const near = await viewOf(page);
      const ink = await page.evaluate((hole) => {
        const canvas = document.querySelector('#chart canvas');
        const u = { from: Number(document.querySelector('#chart').dataset.from), to: Number(document.querySelector('#chart').dataset.to) };
        const over = document.querySelector('#chart .u-over').getBoundingClientRect();
        const fig = canvas.getBoundingClientRect();
        const scale = canvas.width / fig.width;
        const px = (t) => Math.round((over.left - fig.left + over.width * (t - u.from) / (u.to - u.from)) * scale);
        const colour = getComputedStyle(document.documentElement).getPropertyValue('--series-0').trim();
        const want = [1, 3, 5].map((i) => parseInt(colour.slice(i, i + 2), 16));
        const ctx = canvas.getContext('2d');
        const count = (t0, t1) => {
          const x0 = px(t0);
          const x1 = px(t1);
          const { data } = ctx.getImageData(x0, 0, Math.max(1, x1 - x0), canvas.height);
          let n = 0;
          for (let i = 0; i < data.length; i += 4) {
            if (Math.abs(data[i] - want[0]) + Math.abs(data[i + 1] - want[1]) + Math.abs(data[i + 2] - want[2]) < 60) n++;
          }
          return n;
        };
        const quarter = (hole[1] - hole[0]) / 4;
        return { inside: count(hole[0] + quarter, hole[1] - quarter), before: count(hole[0] - 2 * quarter, hole[0]) };
      }, hole);
      check(near.from < hole[0] && near.to > hole[1] && near.to - near.from < (hole[1] - hole[0]) * 30,
        'zoomed in around the hour without readings', JSON.stringify({ near, hole }));
      check(ink.inside === 0 && ink.before > 0, 'the line breaks across the hour without readings', JSON.stringify(ink));
    }
    await closePage(page);

    // On a phone: two fingers spread apart zoom in, one finger sideways pans.
    const phone = await openPage(browser, base, { ...VIEWS[0], scheme: 'light', touch: true });
    await phone.waitForFunction(() => performance.getEntriesByName('ravelo:history-draw').length > 0, { timeout: 20000 });
    await phone.waitForNetworkIdle({ idleTime: 300, timeout: 20000, concurrency: 1 });
    const phoneWhole = await viewOf(phone);
    const plot = await (await phone.$('#chart .u-over')).boundingBox();
    const cx = plot.x + plot.width / 2;
    const cy = plot.y + plot.height / 2;
    const cdp = await phone.createCDPSession();
    const touches = (type, points) => cdp.send('Input.dispatchTouchEvent', {
      type, touchPoints: points.map(([x, y], id) => ({ x, y, id })),
    });
    await touches('touchStart', [[cx - 30, cy], [cx + 30, cy]]);
    for (let d = 40; d <= 90; d += 10) await touches('touchMove', [[cx - d, cy], [cx + d, cy]]);
    await touches('touchEnd', []);
    await sleep(300);
    const pinched = await viewOf(phone);
    const ratio = (pinched.to - pinched.from) / (phoneWhole.to - phoneWhole.from);
    check(ratio > 0.25 && ratio < 0.45, `a pinch zooms in (to ${ratio.toFixed(2)} of the span)`, JSON.stringify(pinched));
    await touches('touchStart', [[cx + 60, cy]]);
    for (let d = 1; d <= 6; d++) await touches('touchMove', [[cx + 60 - d * 20, cy]]);
    await touches('touchEnd', []);
    await sleep(300);
    const swiped = await viewOf(phone);
    check(swiped.from > pinched.from && Math.abs((swiped.to - swiped.from) - (pinched.to - pinched.from)) < 1000,
      'a finger moved sideways pans to later times', JSON.stringify({ pinched, swiped }));
    await closePage(phone);

    await screenshots(browser, base, 'month', async (p) => {
      await p.waitForFunction(() => performance.getEntriesByName('ravelo:history-draw').length > 0, { timeout: 20000 });
      await p.waitForFunction(() => document.querySelector('#stat-n').textContent !== '–', { timeout: 5000 });
    });

    // The most detail the recorder sends: 10,000 columns, here nine device
    // pixels to the CSS pixel.
    const wide = await openPage(browser, base, { width: 1440, height: 900, scale: 9, scheme: 'light' });
    await wide.waitForFunction(() => performance.getEntriesByName('ravelo:history-draw').length > 0, { timeout: 20000 });
    await wide.waitForNetworkIdle({ idleTime: 500, timeout: 20000, concurrency: 1 });
    const most = await wide.evaluate(async () => {
      const all = performance.getEntriesByName('ravelo:history-draw');
      const req = performance.getEntriesByType('resource').filter((e) => e.name.includes('/api/history')).pop();
      const canvas = document.querySelector('#chart canvas');
      return {
        draw: all[all.length - 1].duration,
        columns: new URL(req.name).searchParams.get('columns'),
        canvas: `${canvas.width} x ${canvas.height}`,
      };
    });
    check(most.columns === '10000', 'the columns capped at 10,000', most.columns);
    figure(`month at ${most.columns} columns drawn in ${most.draw.toFixed(1)} ms on a canvas of ${most.canvas} pixels`);
    await closePage(wide);
  } finally {
    await stop(recorder);
    fs.rmSync(capture, { force: true });
  }
}

async function main() {
  const browser = await puppeteer.launch({
    executablePath: chromiumPath,
    headless: true,
    // A container's root has no user namespaces for chromium's sandbox.
    args: process.getuid && process.getuid() === 0 ? ['--no-sandbox'] : [],
  });
  try {
    await liveRun(browser);
    await tourRun(browser);
    await lostRun(browser);
    await monthRun(browser);
  } finally {
    await browser.close();
  }
  check(problems.length === 0, 'no console error, page error or failed request', problems.join('\n  '));
}

let crashed = null;
try {
  await main();
} catch (e) {
  crashed = e;
  console.log(`not ok - the test ran to its end: ${e.stack || e}`);
  for (const child of children) console.log(`# ${child.name} said:\n${child.stderrText}`);
} finally {
  for (const child of [...children]) await stop(child, 'SIGKILL');
  fs.rmSync(work, { recursive: true, force: true });
}
if (figures.length) console.log(`# figures:\n#   ${figures.join('\n#   ')}`);
process.exit(crashed || failures ? 1 : 0);
