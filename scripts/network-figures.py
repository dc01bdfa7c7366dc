#!/usr/bin/env python3
"""Network ports against the pty itself: the 1,204-line examples/firmware.hex
downloaded and verified by bootline-cli on bootline-sim's pty, then through
ser2net in front of that pty, raw (socket://) and with COM port control
(rfc2217://), at both paces; each the median of RUNS jobs. One more way, raw
through ser2net's default settings, shows what its chardelay costs.

The board answers as on a 115200 baud wire (bootline-sim --wire-pacing);
--at-once makes it answer at once instead.

Usage: scripts/network-figures.py [BUILD_DIR] [--at-once] [--runs N] [--pace poll|reply]
Everything goes to a temporary folder; the user's own aliases and store are not touched.
"""
import argparse, os, shutil, socket, statistics, subprocess, sys, tempfile, time

HERE = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
FIRMWARE = os.path.join(HERE, 'examples', 'firmware.hex')
LINES = 1204

options = argparse.ArgumentParser(description=__doc__.split('\n\n')[0])
options.add_argument('build', nargs='?', default='build')
options.add_argument('--at-once', action='store_true', help='the board answers at once')
options.add_argument('--runs', type=int, default=3)
options.add_argument('--pace', choices=['poll', 'reply'], action='append',
                     help='only this pace (default: both)')
args = options.parse_args()
BIN = os.path.join(os.path.abspath(args.build), 'bin')
SER2NET = shutil.which('ser2net') or shutil.which('ser2net', path='/usr/sbin:/usr/local/sbin')
if not SER2NET:
    sys.exit('ser2net is not installed (Debian: apt install ser2net)')
work = tempfile.mkdtemp(prefix='bootline-network-')
env = dict(os.environ, XDG_CONFIG_HOME=work + '/config', XDG_DATA_HOME=work + '/data')


def free_port():
    with socket.socket() as probe:
        probe.bind(('127.0.0.1', 0))
        return probe.getsockname()[1]


def listening(port):
    """Asked of the kernel: ser2net would open the device for a test connection."""
    local = '0100007F:%04X' % port
    with open('/proc/net/tcp') as table:
        return any(f[1] == local and f[3] == '0A' for f in (l.split() for l in table) if len(f) > 3)


def wait_for(ready, what, seconds=5.0):
    deadline = time.monotonic() + seconds
    while not ready():
        if time.monotonic() > deadline:
            sys.exit('%s did not start' % what)
        time.sleep(0.05)


def start_board():
    alias = os.path.join(work, 'config', 'bootline', 'ports', 'COM71')
    board = subprocess.Popen([os.path.join(BIN, 'bootline-sim'), '--com', '71', '--quiet'] +
                             ([] if args.at_once else ['--wire-pacing']), env=env,
                             stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    wait_for(lambda: os.path.islink(alias), 'bootline-sim')
    return board, os.path.realpath(alias)


def start_server(device):
    """Raw and Telnet without chardelay, as the tests run it, and raw with ser2net's defaults."""
    ports = {'socket': free_port(), 'rfc2217': free_port(), 'socket, ser2net defaults': free_port()}
    connector = 'serialdev,%s,115200n81,local' % device
    config = ''
    for name, accepter, port, quick in (
            ('raw', 'tcp', ports['socket'], True),
            ('telnet', 'telnet(rfc2217),tcp', ports['rfc2217'], True),
            ('defaults', 'tcp', ports['socket, ser2net defaults'], False)):
        config += 'connection: &%s\n  accepter: %s,127.0.0.1,%d\n  connector: %s\n' % (
            name, accepter, port, connector)
        if quick:
            config += '  options:\n    chardelay: false\n'
    path = os.path.join(work, 'ser2net.yaml')
    with open(path, 'w') as file:
        file.write(config)
    server = subprocess.Popen([SER2NET, '-n', '-u', '-P', work + '/ser2net.pid', '-c', path],
                              stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    wait_for(lambda: all(listening(p) for p in ports.values()), 'ser2net')
    return server, ports


def job(port, pace):
    start = time.monotonic()
    run = subprocess.run([os.path.join(BIN, 'bootline-cli'), '-p', port, '-a', '1', '--pace', pace,
                          FIRMWARE], env=env, capture_output=True, text=True)
    took = time.monotonic() - start
    if run.returncode != 0 or 'done (%d lines sent' % (2 * LINES) not in run.stdout:
        sys.exit('%s at the %s pace failed (exit %d):\n%s%s' % (port, pace, run.returncode,
                                                                 run.stdout, run.stderr))
    return took


board, device = start_board()
server, ports = start_server(device)
ways = [('pty', 'COM71')] + [(name, '%s://127.0.0.1:%d' % (name.split(',')[0], port))
                             for name, port in ports.items()]
try:
    print('%d lines downloaded and verified, board %s, median of %d:' % (
        LINES, 'answering at once' if args.at_once else 'on a 115200 wire', args.runs))
    print('| pace | port | seconds | x the pty |')
    print('|---|---|---|---|')
    for pace in args.pace or ['reply', 'poll']:
        pty_time = None
        for name, port in ways:
            if name.endswith('defaults') and pace == 'poll':
                continue  # the poll's 20 ms beat hides a millisecond
            median = statistics.median(job(port, pace) for _ in range(args.runs))
            pty_time = pty_time or median
            print('| %s | %s | %.2f | %.2f |' % (pace, name, median, median / pty_time), flush=True)
finally:
    server.terminate()
    board.terminate()
    server.wait()
    board.wait()
    shutil.rmtree(work, ignore_errors=True)
