#!/usr/bin/env python3
"""How the history reports scale: stores of N records, made from one real job
that bootline-cli wrote for bootline-sim, copied in SQL; then each report of
bootline-cli --history timed as a whole process, with its peak memory, after
the database's own CSV export of the table for comparison.

The stores: SQLite; PostgreSQL when its initdb is installed (a throwaway
server of our own, as tests/record/postgresserver.cpp makes one); with
--before-upgrade also a copy of the SQLite store as the schema before had it,
without the filters' indexes.
PostgreSQL's peak memory is psql's or bootline-cli's, not the server's.

Usage: scripts/report-figures.py [BUILD_DIR] [--records 100000,1000000] [--no-postgres]
                                 [--no-sqlite]
                                 [--before-upgrade]
Everything goes to a temporary folder; the user's own store is not touched.
"""
import argparse, glob, os, pwd, shutil, socket, sqlite3, subprocess, sys, tempfile, time

HERE = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
FIRMWARE = os.path.join(HERE, 'examples', 'blink.hex')
YEAR = 365 * 86400

options = argparse.ArgumentParser(description=__doc__.split('\n\n')[0])
options.add_argument('build', nargs='?', default='build')
options.add_argument('--records', default='100000,1000000', help='store sizes, comma separated')
options.add_argument('--no-postgres', action='store_true')
options.add_argument('--no-sqlite', action='store_true',
                     help='the PostgreSQL store alone')
options.add_argument('--before-upgrade', action='store_true',
                     help="also the SQLite store without the filters' indexes")
args = options.parse_args()
SIZES = [int(n) for n in args.records.split(',')]
BIN = os.path.join(os.path.abspath(args.build), 'bin')
cli = os.path.join(BIN, 'bootline-cli')
work = tempfile.mkdtemp(prefix='bootline-reports-')
env = dict(os.environ, XDG_CONFIG_HOME=work + '/config', XDG_DATA_HOME=work + '/data')
REPORTS = [[], ['--csv'], ['--json'], ['--summary'], ['--summary', '--by', 'port']]


class Failed(Exception):
    pass


def run(command, **kwargs):
    done = subprocess.run(command, env=env, capture_output=True, text=True, **kwargs)
    if done.returncode != 0:
        raise Failed('%s failed (%d): %s' % (' '.join(command), done.returncode,
                                             (done.stderr or done.stdout).strip()))
    return done.stdout


def real_job():
    """The rows of one job, as the program stores them."""
    sim = subprocess.Popen([os.path.join(BIN, 'bootline-sim'), '--port', 'COM71', '--quiet'],
                           env=env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    time.sleep(1.0)  # for its alias
    store = os.path.join(work, 'job.sqlite')
    try:
        run([cli, '-p', 'COM71', '-a', '1', '--pace', 'reply', '--log', store, FIRMWARE])
    finally:
        sim.terminate()
        sim.wait()
    return store


def literal(value):
    if value is None:
        return 'NULL'
    return "'%s'" % value.replace("'", "''") if isinstance(value, str) else repr(value)


def fill_sql(columns, rows, copies, postgres):
    """One INSERT of `copies` jobs like the real one: its rows' values are t.*,
    the copy's number n.i. One job in ten fails, on its last row."""
    if postgres:
        head = ''
        real = ','.join('(%s)' % ','.join(map(literal, row)) for row in rows)
        source = 'generate_series(0, %d) AS n(i), (VALUES %s) AS t(%s)' % (
            copies - 1, real, ','.join(columns))
        pad = lambda n: f"lpad(({n})::text, 12, '0')"
        shift = lambda time, by: f"({time})::timestamptz + ({by}) * interval '1 second'"
    else:
        head = ('WITH RECURSIVE n(i) AS (SELECT 0 UNION ALL SELECT i + 1 FROM n WHERE i < %d) '
                % (copies - 1))
        source = 'n, bootline_jobs AS t WHERE t.id IN (%s)' % ','.join(str(r[0]) for r in rows)
        pad = lambda n: f"printf('%012d', {n})"
        # The program's text: ISO, UTC, milliseconds.
        shift = lambda time, by: (f"strftime('%Y-%m-%dT%H:%M:%fZ', {time}, "
                                  f"printf('%+.3f seconds', {by}))")
    # Every port has its failures: n.i % 10 alone would fail even ports only.
    fails = f't.id = {rows[-1][0]} AND (n.i + n.i / 8) % 10 = 9'
    seconds = 'round(CAST(t.seconds * (50 + n.i * 37 % 100) / 100.0 AS NUMERIC), 3)'
    offset = f'round(CAST(-({copies - 1} - n.i) * {YEAR / copies} AS NUMERIC), 3)'
    job = 'substr(t.job_id, 1, 24) || ' + pad('n.i')
    values = dict(
        job_id=job, record_id=f'replace(t.record_id, t.job_id, {job})',
        run_id='substr(t.run_id, 1, 24) || ' + pad('n.i / 100'),
        port="'COM' || (n.i % 8 + 1)", board='CAST(n.i / 8 % 16 + 1 AS TEXT)',
        seconds=seconds, started=shift('t.started', offset),
        ended=shift('t.ended', f'{offset} + {seconds} - t.seconds'),
        result=f"CASE WHEN {fails} THEN 'failed' ELSE t.result END",
        exit_code=f'CASE WHEN {fails} THEN 6 ELSE t.exit_code END',
        error=f"CASE WHEN {fails} THEN 'no reply to line 12' ELSE t.error END")
    names = columns[1:]  # not id
    return '%sINSERT INTO bootline_jobs (%s) SELECT %s FROM %s' % (
        head, ','.join(names), ','.join(values.get(c, 't.' + c) for c in names), source)


def job_rows(store):
    """The columns of the store's table, and its rows."""
    db = sqlite3.connect(store)
    columns = [c[1] for c in db.execute('PRAGMA table_info(bootline_jobs)')]
    rows = db.execute('SELECT * FROM bootline_jobs ORDER BY id').fetchall()
    db.close()
    return columns, rows


def sqlite_store(template, records):
    store = os.path.join(work, 'sqlite-%d.sqlite' % records)
    shutil.copy(template, store)
    columns, rows = job_rows(store)
    db = sqlite3.connect(store, isolation_level=None)
    db.execute('BEGIN')
    db.execute(fill_sql(columns, rows, records // len(rows), False))
    db.execute('DELETE FROM bootline_jobs WHERE id <= %d' % rows[-1][0])
    db.execute('COMMIT')
    db.close()
    return store


def before_upgrade(store):
    """A copy as the schema before this one had it: without the filters' indexes."""
    bare = store.replace('.sqlite', '-schema3.sqlite')
    shutil.copy(store, bare)
    db = sqlite3.connect(bare)
    for column in ('port', 'board', 'result', 'sha256', 'job_result'):
        db.execute('DROP INDEX IF EXISTS bootline_jobs_by_%s' % column)
    db.execute('PRAGMA user_version = 3')
    db.commit()
    db.close()
    return bare


def postgres_server():
    """A server of our own on a free port of 127.0.0.1, for the role bootline with
    no password; as root it runs as nobody, since PostgreSQL refuses root."""
    initdb = sorted(glob.glob('/usr/lib/postgresql/*/bin/initdb'),
                    key=lambda path: int(path.split('/')[4]))
    if not initdb:
        raise Failed('no initdb under /usr/lib/postgresql/*/bin (scripts/install-deps.sh)')
    folder = tempfile.mkdtemp(prefix='bootline-reports-pg-')
    cleanups.append(lambda: shutil.rmtree(folder, ignore_errors=True))
    user = []
    if os.geteuid() == 0:
        nobody = pwd.getpwnam('nobody')
        os.chown(folder, nobody.pw_uid, nobody.pw_gid)
        user = ['runuser', '-u', 'nobody', '--']
    pg = lambda program, *rest: run(user + [os.path.join(os.path.dirname(initdb[-1]), program)]
                                    + list(rest), cwd=folder)  # one the user nobody may enter
    with socket.socket() as probe:
        probe.bind(('127.0.0.1', 0))
        port = probe.getsockname()[1]
    data = os.path.join(folder, 'data')
    pg('initdb', '-D', data, '--auth=trust', '-U', 'bootline', '-E', 'UTF8', '--locale=C',
       '--no-sync')
    # Stopped at the end even when the start fails half way.
    cleanups.append(lambda: pg('pg_ctl', 'stop', '-D', data, '-m', 'immediate', '-w'))
    pg('pg_ctl', 'start', '-D', data, '-l', os.path.join(folder, 'server.log'), '-w', '-o',
       '-k %s -p %d -c listen_addresses=127.0.0.1' % (folder, port))
    pg('createdb', '-h', '127.0.0.1', '-p', str(port), '-U', 'bootline', 'figures')
    return 'postgresql://bootline@127.0.0.1:%d/figures' % port


def postgres_store(url, columns, rows, records):
    psql = ['psql', '-X', '-q', '-v', 'ON_ERROR_STOP=1', url]
    run(psql + ['-c', 'DROP TABLE IF EXISTS bootline_jobs, bootline_schema'])
    run([cli, '--create-store', '--log', url])
    run(psql + ['--single-transaction'], input=fill_sql(columns, rows, records // len(rows), True))
    # What autovacuum would do before long, done now rather than while timing.
    run(psql + ['-c', 'VACUUM ANALYZE bootline_jobs'])


def timed(command):
    """Seconds and peak MiB of one process, by GNU time: a child of Python's
    would count Python's own pages in its peak, as fork() shares them."""
    with tempfile.NamedTemporaryFile('r') as figures, tempfile.TemporaryFile() as errors:
        done = subprocess.run(['/usr/bin/time', '-f', '%e %M', '-o', figures.name] + command,
                              env=env, stdout=subprocess.DEVNULL, stderr=errors)
        if done.returncode != 0:
            errors.seek(0)
            raise Failed('%s failed (%d): %s' % (' '.join(command), done.returncode,
                                                 errors.read().decode().strip()))
        seconds, kib = figures.read().split()
    return float(seconds), int(kib) / 1024


def measure(records, kind, store, export):
    reports = [('export: ' + export[0], export)]
    for extra in REPORTS:
        reports.append((' '.join(['--history'] + extra),
                        [cli, '--history', '--log', store] + extra))
    for name, command in reports:
        seconds, mib = timed(command)
        print('| %d | %s | %s | %.2f | %.1f |' % (records, kind, name, seconds, mib), flush=True)


cleanups = [lambda: shutil.rmtree(work, ignore_errors=True)]
try:
    template = real_job()
    db = sqlite3.connect(template)
    kinds = [r[0].split('/')[-1] for r in db.execute('SELECT record_id FROM bootline_jobs ORDER BY id')]
    db.close()
    print('A job is %d records (%s): N records are N/%d jobs.'
          % (len(kinds), ', '.join(kinds), len(kinds)))
    server = None
    if not args.no_postgres:
        try:
            server = postgres_server()
        except Failed as why:
            print('PostgreSQL skipped, no server to be had: %s' % why)
    print('| records | store | report | seconds | peak MiB |\n|---|---|---|---|---|', flush=True)
    for records in SIZES:
        columns, rows = job_rows(template)
        if not args.no_sqlite:
            store = sqlite_store(template, records)
            export = lambda path: ['sqlite3', '-csv', path, 'SELECT * FROM bootline_jobs']
            measure(records, 'sqlite', store, export(store))
            if args.before_upgrade:
                bare = before_upgrade(store)
                measure(records, 'sqlite, schema 3', bare, export(bare))
                os.remove(bare)
            os.remove(store)
        if server:
            postgres_store(server, columns, rows, records)
            measure(records, 'postgresql', server, ['psql', '-X', server, '-c',
                    '\\copy (SELECT * FROM bootline_jobs) TO STDOUT CSV'])
except Failed as why:
    sys.exit(str(why))
finally:
    for cleanup in reversed(cleanups):
        try:
            cleanup()
        except Failed as why:
            print(why, file=sys.stderr)
