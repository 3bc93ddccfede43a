#!/usr/bin/env python3
"""Replays known attacks of a hostile game server on garrison-rcon and on the relay stand-in.

Usage: tools/replay-client-attacks.py build/release/bin [--rcon PATH] [--relay PATH]

The folder holds garrison-rcon and pbucon.exe (--rcon and --relay name other copies). A
hostile "server" in this script answers on 127.0.0.1; each attack runs the real program,
bounded in count and time, and prints one line with its figure. The relay attack starts a
process named pbucon.exe: tests that end every such process must not run meanwhile (take the
lock /tmp/garrison-relay-tests.lock, as the test suite does).
"""

import argparse
import csv
import io
import os
import re
import signal
import socket
import subprocess
import sys
import tempfile
import threading
import time

HOST = "127.0.0.1"
STRANGER = "127.0.0.2"
PASSWORD = "secret"
REQUEST = b"\xff\xff\xff\xffrcon "
HEADER = b"\xff\xff\xff\xffprint\n"
# Where a real server cuts its output into datagrams: anywhere, lines included.
CHUNK = 1300
RUN_LIMIT_S = 30
ESCAPES = (b"\x1b]0;owned\x07"            # window title
           b"\x1b[2J\x1b[H"               # clear the screen
           b"\x1b]52;c;cGF5bG9hZA==\x07"  # write the clipboard
           b"\x1b[8mhidden\x1b[0m"        # concealed text
           b"\x9d0;c1 title\x07"          # a title again, through the C1 form of ESC ]
           b"\roverwritten")              # back to the start of the line


def report(number, title, figure):
    print("%2d. %-54s %s" % (number, title, figure), flush=True)


def status_text(names, map_name=b"mp_castle"):
    lines = [b"map: " + map_name,
             b"num score ping guid                             name            lastmsg "
             b"address               qport  rate",
             b"--- ----- ---- -------------------------------- --------------- ------- "
             b"--------------------- ------ -----"]
    for slot, name in enumerate(names):
        lines.append(b"%3d %5d %4d %032x %s^7%s %7d %-21s %6d %5d" % (
            slot, slot % 50, 40 + slot % 100, 0xabc0000 + slot, name,
            b" " * max(16 - len(name), 1), 0, b"10.%d.%d.%d:28960" % (
                slot // 65536, slot // 256 % 256, slot % 256), slot % 30000, 25000))
    return b"\n".join(lines) + b"\n\n"


def datagrams(text):
    return [HEADER + text[i:i + CHUNK] for i in range(0, len(text), CHUNK)] or [HEADER]


class HostileServer:
    """A UDP "game server" on 127.0.0.1 that answers each command with what answer(command)
    yields: datagrams sent back to back. Runs until stopped."""

    def __init__(self, answer, source=HOST):
        self.answer = answer
        self.socket = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
        self.socket.bind((source, 0))
        self.socket.settimeout(0.05)
        self.port = self.socket.getsockname()[1]
        self.sent = 0
        self.stopping = threading.Event()
        self.thread = threading.Thread(target=self.serve, daemon=True)
        self.thread.start()

    def serve(self):
        while not self.stopping.is_set():
            try:
                data, peer = self.socket.recvfrom(65536)
            except socket.timeout:
                continue
            if not data.startswith(REQUEST):
                continue
            command = data[len(REQUEST):].split(b" ", 1)[-1]
            for datagram in self.answer(command):
                if self.stopping.is_set():
                    break
                try:
                    self.socket.sendto(datagram, peer)
                    self.sent += len(datagram)
                except OSError:
                    pass

    def stop(self):
        self.stopping.set()
        self.thread.join(5)
        self.socket.close()


class Run:
    def __init__(self, code, seconds, peak_mib, out, err, killed):
        self.code, self.seconds, self.peak_mib = code, seconds, peak_mib
        self.out, self.err, self.killed = out, err, killed

    def outcome(self):
        if self.killed:
            return "still running at %d s, killed" % RUN_LIMIT_S
        return "exit %d after %.1f s" % (self.code, self.seconds)


def run_rcon(rcon, server, arguments, on_start=lambda process: None):
    """Runs garrison-rcon against the server; its peak memory comes from the kernel's
    accounting of the finished process."""
    environment = dict(os.environ, GARRISON_RCON_PASSWORD=PASSWORD)
    with tempfile.TemporaryFile() as out, tempfile.TemporaryFile() as err:
        started = time.monotonic()
        process = subprocess.Popen([rcon, "--host", HOST, "--port", str(server.port),
                                    *arguments], stdin=subprocess.DEVNULL, stdout=out,
                                   stderr=err, env=environment)
        on_start(process)
        killed = False
        while True:
            pid, status, usage = os.wait4(process.pid, os.WNOHANG)
            if pid:
                break
            if time.monotonic() - started > RUN_LIMIT_S:
                process.kill()
                killed = True
                pid, status, usage = os.wait4(process.pid, 0)
                break
            time.sleep(0.02)
        seconds = time.monotonic() - started
        process.returncode = os.waitstatus_to_exitcode(status)
        out.seek(0)
        err.seek(0)
        return Run(process.returncode, seconds, usage.ru_maxrss / 1024.0, out.read(),
                   err.read(), killed)


def control_bytes(output):
    """Bytes a terminal acts on: C0 controls but line feed and tab, DEL, and the C1 controls
    in their UTF-8 form."""
    count = sum(1 for byte in output if byte < 0x20 and byte not in (0x09, 0x0a) or byte == 0x7f)
    return count + len(re.findall(rb"\xc2[\x80-\x9f]", output))


def attack_escapes(rcon):
    host = b'"sv_hostname" is: "Evil' + ESCAPES + b'^7" default: "CoDWaWHost^7"\n'

    def answer(command):
        if command == b"status":
            return datagrams(status_text([b"Bob" + ESCAPES, b"Alice"], b"mp_" + ESCAPES))
        return datagrams(host)

    server = HostileServer(answer)
    try:
        figures = []
        for label, arguments in (("reply", ["--", "sv_hostname"]),
                                 ("raw reply", ["--raw", "--", "sv_hostname"]),
                                 ("table", ["status"]),
                                 ("csv", ["status", "--format", "csv"]),
                                 ("json", ["status", "--format", "json"])):
            run = run_rcon(rcon, server, arguments)
            figures.append("%s %d" % (label, control_bytes(run.out + run.err)))
        report(1, "escape sequences in replies",
               "control bytes reaching the terminal: " + ", ".join(figures))
    finally:
        server.stop()


def attack_formulas(rcon):
    names = [b'=HYPERLINK("http://x.invalid","y")', b"+1+cmd", b"-2+3", b"@SUM(A1)", b"Plain"]

    def answer(command):
        return datagrams(status_text(names) if command == b"status"
                         else b'"sv_hostname" is: "=1+1^7" default: "CoDWaWHost^7"\n')

    server = HostileServer(answer)
    try:
        run = run_rcon(rcon, server, ["status", "--format", "csv"])
        rows = list(csv.reader(io.StringIO(run.out.decode("utf-8", "replace"))))
        cells = [cell for row in rows[1:] for cell in (row[0], row[6]) if cell]
        formulas = [cell for cell in cells if cell[0] in "=+-@"]
        report(2, "formula names in CSV",
               "%d of %d name and host cells start a formula (%s)"
               % (len(formulas), len(cells), run.outcome()))
    finally:
        server.stop()


def attack_endless_reply(rcon, number, per_second):
    """A reply that never ends: as fast as the socket goes (past any size bound soon), or a
    trickle that stays small and only the timeout can end."""
    flood = HEADER + b"x" * CHUNK

    def answer(command):
        deadline = time.monotonic() + RUN_LIMIT_S + 5
        while time.monotonic() < deadline:
            if per_second:
                time.sleep(1.0 / per_second)
                yield flood
            else:
                for _ in range(256):
                    yield flood

    server = HostileServer(answer)
    try:
        run = run_rcon(rcon, server, ["--timeout", "2", "--", "sv_hostname"])
        first = run.err.decode("utf-8", "replace").strip().splitlines()[:1]
        how = "%d datagrams a second" % per_second if per_second else "flood"
        report(number, "endless reply (%s), --timeout 2" % how,
               "%s, peak memory %.0f MiB, %.2f MiB sent; %s"
               % (run.outcome(), run.peak_mib, server.sent / 1048576.0,
                  first[0] if first else "no message"))
    finally:
        server.stop()


def stopped(pid):
    with open("/proc/%d/stat" % pid) as stat:
        return stat.read().rsplit(")", 1)[1].split()[0] == "T"


def attack_lost_rows(rcon, number, rows, one_per_datagram):
    """The status table comes faster than garrison-rcon reads it: sent at once, or while the
    process is stopped (as on a busy machine), one row per datagram."""
    names = [b"Player%d" % slot for slot in range(rows)]
    text = status_text(names)
    if one_per_datagram:
        table = [HEADER + line + b"\n" for line in text.split(b"\n")]
    else:
        table = datagrams(text)
    runs = []

    def answer(command):
        if command != b"status":
            return datagrams(b'"sv_hostname" is: "Busy^7" default: "CoDWaWHost^7"\n')
        if not one_per_datagram:
            return table
        pid = runs[0].pid
        os.kill(pid, signal.SIGSTOP)
        deadline = time.monotonic() + 5
        while not stopped(pid) and time.monotonic() < deadline:
            time.sleep(0.005)

        def then_continue():
            yield from table
            os.kill(pid, signal.SIGCONT)
        return then_continue()

    server = HostileServer(answer)
    try:
        run = run_rcon(rcon, server, ["status", "--format", "csv"], on_start=runs.append)
        printed = max(run.out.count(b"\n") - 1, 0)
        first = run.err.decode("utf-8", "replace").strip().splitlines()[:1]
        how = "one a datagram, reader stopped" if one_per_datagram else "sent at once"
        report(number, "status of %d rows, %s" % (rows, how),
               "%d rows printed, %s; %s" % (printed, run.outcome(),
                                             first[0] if first else "no message"))
    finally:
        server.stop()


def attack_relay_spoof(relay):
    folder = tempfile.mkdtemp(prefix="garrison-relay-attack-")
    server = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
    server.bind((HOST, 0))
    server.settimeout(10)
    with socket.socket(socket.AF_INET, socket.SOCK_DGRAM) as probe:
        probe.bind((HOST, 0))
        relay_port = probe.getsockname()[1]
    with open(os.path.join(folder, "codwaw.ini"), "w", newline="") as ini:
        ini.write("server=%s:%d\r\nmyaddr=%s:%d\r\nlogin=GARRISON-%s\r\npassword=pw\r\n"
                  % (HOST, server.getsockname()[1], HOST, relay_port, HOST))
    process = subprocess.Popen([relay, "ini=codwaw.ini"], cwd=folder,
                               stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    log_path = os.path.join(folder, "pbucon.log")

    def log():
        try:
            with open(log_path, "rb") as file:
                return file.read()
        except OSError:
            return b""

    def wait_for(text):
        deadline = time.monotonic() + 10
        while text not in log() and time.monotonic() < deadline:
            time.sleep(0.02)
        return text in log()

    try:
        _, relay_address = server.recvfrom(65536)
        server.sendto(b"\xff\xff\xff\xffucon_welcome", relay_address)
        server.sendto(b"\xff\xff\xff\xffucon_line Server\xfafirst", relay_address)
        heard = wait_for(b"Server\xfafirst")
        spoofs = 0
        for source in (STRANGER, HOST):
            with socket.socket(socket.AF_INET, socket.SOCK_DGRAM) as stranger:
                stranger.bind((source, 0))
                for i in range(5):
                    stranger.sendto(b"\xff\xff\xff\xffucon_line PunkBuster Server\xfa"
                                    b"spoofed from %s" % source.encode(), relay_address)
                    spoofs += 1
        server.sendto(b"\xff\xff\xff\xffucon_line Server\xfalast", relay_address)
        heard = wait_for(b"Server\xfalast") and heard
        written = log().count(b"spoofed from")
        report(7, "spoofed relay lines (%s, %s)" % (STRANGER, HOST),
               "%d of %d spoofed lines in pbucon.log; the server's lines %s"
               % (written, spoofs, "logged" if heard else "MISSING"))
    finally:
        process.kill()
        process.wait(10)
        server.close()
        for name in os.listdir(folder):
            os.unlink(os.path.join(folder, name))
        os.rmdir(folder)


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("bin", help="the folder of garrison-rcon and pbucon.exe")
    parser.add_argument("--rcon", help="another garrison-rcon")
    parser.add_argument("--relay", help="another pbucon.exe")
    args = parser.parse_args()
    rcon = os.path.abspath(args.rcon or os.path.join(args.bin, "garrison-rcon"))
    relay = os.path.abspath(args.relay or os.path.join(args.bin, "pbucon.exe"))
    attack_escapes(rcon)
    attack_formulas(rcon)
    attack_endless_reply(rcon, 3, per_second=0)
    attack_endless_reply(rcon, 4, per_second=20)
    attack_lost_rows(rcon, 5, 10000, one_per_datagram=False)
    attack_lost_rows(rcon, 6, 20000, one_per_datagram=True)
    attack_relay_spoof(relay)
    return 0


if __name__ == "__main__":
    sys.exit(main())
