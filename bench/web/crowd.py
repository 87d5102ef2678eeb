#!/usr/bin/env python3
"""The recorder under a crowd: ravelo-record at one reading per INTERVAL
seconds (default 0.1) against the simulator, with --http; after 5 s of
quiet, 1,000 idle connections and 100 slow-loris clients (a header byte each
every second) for SECONDS (default 30), then 5 s of quiet again. Prints, for
the quiet and the crowded stretch: readings recorded, the longest time
between two rows, gap lines; the answer time of /api/status during the
crowd; the recorder's threads, CPU and memory.
Usage: bench/web/crowd.py [BUILD_DIR] [SECONDS] [INTERVAL]"""
import datetime, csv, os, re, resource, socket, subprocess, sys, tempfile, time

build = sys.argv[1] if len(sys.argv) > 1 else "build"
seconds = float(sys.argv[2]) if len(sys.argv) > 2 else 30
interval = sys.argv[3] if len(sys.argv) > 3 else "0.1"
soft, hard = resource.getrlimit(resource.RLIMIT_NOFILE)
resource.setrlimit(resource.RLIMIT_NOFILE, (min(hard, 8192), hard))
work = tempfile.mkdtemp()

sim = subprocess.Popen([f"{build}/bin/ravelo-meter-sim", "--rate", "20"], stdout=subprocess.PIPE,
                       stderr=subprocess.DEVNULL, text=True)
port = sim.stdout.readline().strip()
csv_path = os.path.join(work, "r.csv")
rec = subprocess.Popen([f"{build}/bin/ravelo-record", port, "-i", interval, "-o", csv_path, "-q",
                        "--http", "127.0.0.1:0"], stderr=subprocess.PIPE, text=True)
http = None
while http is None:
    m = re.search(r"live page is at http://127\.0\.0\.1:(\d+)/", rec.stderr.readline())
    http = int(m.group(1)) if m else None


def proc_figures():
    with open(f"/proc/{rec.pid}/status") as f:
        status = dict(line.split(":", 1) for line in f if ":" in line)
    with open(f"/proc/{rec.pid}/stat") as f:
        fields = f.read().rsplit(")", 1)[1].split()
    cpu = (int(fields[11]) + int(fields[12])) / os.sysconf("SC_CLK_TCK")
    return int(status["Threads"]), cpu, status["VmRSS"].strip()


def status_ms():
    t = time.monotonic()
    s = socket.create_connection(("127.0.0.1", http))
    s.sendall(b"GET /api/status HTTP/1.1\r\nHost: x\r\nConnection: close\r\n\r\n")
    data = b""
    while chunk := s.recv(65536):
        data += chunk
    s.close()
    assert data.startswith(b"HTTP/1.1 200"), data[:80]
    return (time.monotonic() - t) * 1000


time.sleep(5)
threads0, cpu0, _ = proc_figures()
crowd_start = time.time()
idle = [socket.create_connection(("127.0.0.1", http)) for _ in range(1000)]
slow = [socket.create_connection(("127.0.0.1", http)) for _ in range(100)]
for s in slow:
    s.sendall(b"GET / HTTP/1.1\r\nHost: x\r\nX-Slow: ")
answers = []
end = time.time() + seconds
while time.time() < end:
    for s in slow:
        try:
            s.sendall(b"a")
        except OSError:
            pass
    answers.append(status_ms())
    time.sleep(1)
threads1, cpu1, rss = proc_figures()

def closed_by_server(sockets):
    count = 0
    for s in sockets:
        s.settimeout(0.01)
        try:
            count += s.recv(100) == b""
        except socket.timeout:
            pass
        except OSError:
            count += 1
    return count


idle_closed, slow_closed = closed_by_server(idle), closed_by_server(slow)
for s in idle + slow:
    s.close()
crowd_end = time.time()
time.sleep(5)
rec.terminate()
rec.wait()
sim.terminate()

rows, numbers, gaps = [], [], 0
with open(csv_path, newline="", encoding="utf-8") as f:
    for record in list(csv.reader(f))[1:]:
        if record[0].startswith("#"):
            gaps += 1
        else:
            rows.append(datetime.datetime.fromisoformat(record[5]).timestamp())
            numbers.append(int(record[0]))


def stretch(name, t0, t1):
    times = [t for t in rows if t0 <= t <= t1]
    longest = max((b - a for a, b in zip(times, times[1:])), default=0)
    print(f"  {name}: {len(times)} readings in {t1 - t0:.1f} s, longest between rows {longest * 1000:.0f} ms")


print(f"ravelo-record -i {interval} --http, {seconds:.0f} s of 1,000 idle connections and 100 slow-loris clients")
stretch("before the crowd", rows[0], crowd_start)
stretch("during the crowd", crowd_start, crowd_end)
stretch("after the crowd", crowd_end, rows[-1])
print(f"  gap lines: {gaps}; rows numbered 1 to {len(rows)} without a hole: {numbers == list(range(1, len(rows) + 1))}")
print(f"  closed by the server at the end (timeout {30} s without a request): "
      f"{idle_closed} of 1000 idle, {slow_closed} of 100 slow")
answers.sort()
print(f"  /api/status during the crowd: median {answers[len(answers) // 2]:.1f} ms, "
      f"longest {answers[-1]:.1f} ms ({len(answers)} asked)")
print(f"  recorder threads: {threads0} before, {threads1} during; CPU during the crowd "
      f"{(cpu1 - cpu0) * 1000:.0f} ms; resident {rss}")
