#!/usr/bin/env python3
"""The production line's figures, on simulated boards:

1. a shift: bootline-cli --watch on four simulated ports, --ask serial
   answered on a pty as an operator with a barcode scanner would, the
   boards swapped (SIGUSR1 to the simulator) after each job; then the run's
   summary by port and its CSV, read back by Python's csv module;
2. the time to write the CSV of 100,000 records.

Usage: scripts/traceability-figures.py [BUILD_DIR] [BOARDS_PER_PORT]
Everything goes to a temporary folder; the user's own store is not touched.
"""
import csv, io, json, os, pty, re, select, shutil, signal, sqlite3, subprocess, sys, tempfile, time
import uuid

HERE = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
BIN = os.path.join(os.path.abspath(sys.argv[1] if len(sys.argv) > 1 else 'build'), 'bin')
PER_PORT = int(sys.argv[2]) if len(sys.argv) > 2 else 50
PORTS = ['COM%d' % n for n in (61, 62, 63, 64)]
FIRMWARE = os.path.join(HERE, 'examples', 'blink.hex')
work = tempfile.mkdtemp(prefix='bootline-figures-')
env = dict(os.environ, XDG_CONFIG_HOME=work + '/config', XDG_DATA_HOME=work + '/data')
cli = os.path.join(BIN, 'bootline-cli')


def shift():
    sims = {p: subprocess.Popen([os.path.join(BIN, 'bootline-sim'), '--port', p, '--quiet'],
                                env=env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
            for p in PORTS}
    time.sleep(1.0)
    master, slave = pty.openpty()
    start = time.time()
    station = subprocess.Popen([cli, '--watch', '--json', '-p', ','.join(PORTS), '-a', '1',
                                '--settle', '100', '--reply-timeout', '300', '--pace', 'reply',
                                '--ask', 'serial', '--tag', 'operator=ana', FIRMWARE],
                               stdin=slave, stdout=subprocess.PIPE, stderr=subprocess.PIPE, env=env)
    os.close(slave)
    prompt = re.compile(rb'(COM\d+) board (\S+): serial\? ')
    err, out, seen = b'', b'', 0
    done = {p: 0 for p in PORTS}
    away = set()
    answered, boards, runs, stopping = 0, [], set(), False
    while station.poll() is None:
        ready, _, _ = select.select([station.stdout, station.stderr, master], [], [], 1.0)
        if master in ready:
            try:
                os.read(master, 4096)  # the terminal's echo
            except OSError:  # the station has let go of its terminal
                pass
        if station.stderr in ready:
            err += os.read(station.stderr.fileno(), 65536)
            for match in prompt.finditer(err, seen):
                seen = match.end()
                answered += 1
                os.write(master, b'SN-%s-%04d\r' % (match.group(1), answered))  # a scanner
        if station.stdout in ready:
            out += os.read(station.stdout.fileno(), 65536)
            *lines, out = out.split(b'\n')
            for line in lines:
                event = json.loads(line)
                runs.add(event.get('run'))
                port = event.get('port')
                if event['event'] == 'board':
                    boards.append(event)
                    done[port] += 1
                    if done[port] < PER_PORT:  # the operator takes the board off
                        sims[port].send_signal(signal.SIGUSR1)
                        away.add(port)
                elif event.get('state') == 'awaiting board' and port in away:
                    sims[port].send_signal(signal.SIGUSR1)  # and puts the next one on
                    away.discard(port)
        if not stopping and all(count >= PER_PORT for count in done.values()):
            stopping = True
            station.send_signal(signal.SIGINT)
    station.communicate()
    took = time.time() - start
    for sim in sims.values():
        sim.terminate()
    serials = {b['tags'].get('serial') for b in boards}
    print('Shift: %d boards on %d ports in %.1f s, exit %d; %d questions answered, %d done, '
          '%d different serials, run ids %s' % (len(boards), len(PORTS), took, station.returncode,
                                                answered, sum(b['result'] == 'done' for b in boards),
                                                len(serials - {None}), sorted(runs - {None})))
    run = sorted(runs - {None})[0]
    history = subprocess.run([cli, '--history', '--run', run, '--json'], env=env,
                             capture_output=True, text=True).stdout.splitlines()
    print('Records of the run in the store: %d' % len(history))
    summary = subprocess.run([cli, '--history', '--run', run, '--summary', '--by', 'port'],
                             env=env, capture_output=True, text=True)
    print(summary.stdout, end='')
    table = subprocess.run([cli, '--history', '--run', run, '--csv'], env=env,
                           capture_output=True, text=True).stdout
    rows = list(csv.reader(io.StringIO(table, newline='')))
    print('CSV: %d rows under a header of %d columns' % (len(rows) - 1, len(rows[0])))
    return os.path.join(work, 'data', 'bootline', 'history.sqlite')


def csv_time(template_store):
    """100,000 end records, made from one the program wrote, then timed as CSV."""
    store = os.path.join(work, 'big.sqlite')
    shutil.copy(template_store, store)
    db = sqlite3.connect(store)
    columns = [c[1] for c in db.execute('PRAGMA table_info(bootline_jobs)')][1:]
    template = dict(zip(columns, db.execute('SELECT * FROM bootline_jobs').fetchone()[1:]))
    db.execute('DELETE FROM bootline_jobs')
    rows = []
    for i in range(100000):
        record = dict(template, board=str(i % 8 + 1), port='/dev/ttyUSB%d' % (i % 4),
                      run_id='run-%d' % (i // 400), job_id=str(uuid.uuid4()),
                      started='2026-11-%02dT08:00:00.%03dZ' % (i // 4000 + 1, i % 1000))
        record['record_id'] = record['job_id'] + '/ended'
        if i % 10 == 0:  # a failure with a text a spreadsheet would take for a formula
            record.update(result='failed', exit_code=6, error='no reply to line 12, "DATA"',
                          reply='=ERR,\r\n')
        rows.append([record[c] for c in columns])
    db.executemany('INSERT INTO bootline_jobs (%s) VALUES (%s)'
                   % (','.join(columns), ','.join('?' * len(columns))), rows)
    db.commit()
    db.close()
    times = []
    for _ in range(3):
        begun = time.time()
        subprocess.run([cli, '--history', '--csv', '--log', store], env=env, check=True,
                       stdout=subprocess.DEVNULL)
        times.append(time.time() - begun)
    print('CSV of 100,000 records: %s s (three runs)' % ', '.join('%.2f' % t for t in times))


try:
    csv_time(shift())
finally:
    shutil.rmtree(work, ignore_errors=True)
