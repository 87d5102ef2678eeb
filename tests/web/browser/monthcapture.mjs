// Writes a month-long capture (the recorder's --raw format) from the frames of
// a short real one: one frame received and one poll tick a second for 31 days,
// with a few link losses, so that `ravelo-record --replay` rebuilds a month of
// readings with gaps in it.
import fs from 'node:fs';

export const MONTH_SECONDS = 31 * 24 * 3600;

// The distinct frames ("rx" payloads) of a capture, in the order first seen.
export function framesOf(capturePath) {
  const frames = [];
  for (const line of fs.readFileSync(capturePath, 'utf8').split('\n')) {
    const m = /^\d+ rx ((?:a5[0-9a-f]{38})+)$/.exec(line);
    if (!m) continue;
    for (let i = 0; i < m[1].length; i += 40) {
      const f = m[1].slice(i, i + 40);
      if (!frames.includes(f)) frames.push(f);
    }
  }
  return frames;
}

// Losses: [second it begins, seconds it lasts].
export const MONTH_GAPS = [[86400 * 3 + 3600, 600], [86400 * 12, 7200], [86400 * 25 + 42, 30]];

export function writeMonthCapture(path, frames, start = new Date(Date.now() - MONTH_SECONDS * 1000)) {
  if (!frames.length) throw new Error('no frames to build a month from');
  const fd = fs.openSync(path, 'wx');
  const port = '/dev/ttyMONTH';
  let out = `# ravelo capture 1\n# start ${start.toISOString().replace('Z', '+00:00')}\n`
    + `# interval-ms 1000\n# port ${port}\n0 open ${port}\n`;
  let gap = 0;
  const flushAt = 1 << 20;
  for (let s = 1; s <= MONTH_SECONDS; s++) {
    const ms = s * 1000;
    const g = MONTH_GAPS[gap];
    if (g && s === g[0]) {
      out += `${ms} lost link lost (no data for 3 intervals)\n${ms + 1} close Input/output error\n`;
      continue;
    }
    if (g && s > g[0] && s < g[0] + g[1]) continue;
    if (g && s === g[0] + g[1]) {
      out += `${ms - 500} open ${port}\n`;
      gap++;
    }
    // A slow wave through the frames, so the month's chart has a shape.
    const phase = (Math.sin(s / 40000) + 1) / 2;
    const f = frames[Math.min(frames.length - 1, Math.floor(phase * frames.length + (s % 3)) % frames.length)];
    out += `${ms - 300} rx ${f}\n${ms} tick\n`;
    if (out.length > flushAt) {
      fs.writeSync(fd, out);
      out = '';
    }
  }
  fs.writeSync(fd, out);
  fs.closeSync(fd);
}
