#!/usr/bin/env python3
"""Replays known attacks on garrisond against a real daemon on 127.0.0.1.

Usage: daemon/replay-attacks.py build/release/bin/garrisond [--flood-seconds N]

Each attack starts from a fresh folder and daemon, is bounded in count and time, and prints
one line with its figure. Everything listens and connects on loopback addresses only.
"""

import argparse
import json
import multiprocessing
import os
import pwd
import resource
import signal
import shutil
import socket
import ssl
import statistics
import subprocess
import sys
import tempfile
import threading
import time

HOST = "127.0.0.1"


def free_port():
    with socket.socket() as probe:
        probe.bind((HOST, 0))
        return probe.getsockname()[1]


class Daemon:
    """One garrisond in its own folder, with accounts root (admin, poweradmin), bob (mp, admin)
    and alice (mp)."""

    def __init__(self, binary, extra="", iterations=100000, add_users=True, tls=False):
        self.binary = binary
        self.tls = tls
        self.dir = tempfile.mkdtemp(prefix="garrisond-attack-")
        self.config = os.path.join(self.dir, "garrisond.conf")
        self.audit = os.path.join(self.dir, "garrisond-audit.log")
        with open(os.path.join(self.dir, "games_mp.log"), "w") as log:
            for i in range(256 * 1024 // 64):
                log.write("%6d:00 say;0123456789;1;Player;some chat line to fill the log\n" % i)
        self.write_config("pbkdf2_iterations = %d\n" % iterations)
        if add_users:
            for name, password, levels in (("root", "r00t-Secret", "admin,poweradmin"),
                                           ("bob", "bobpw", "mp,admin"),
                                           ("alice", "alicepw", "mp")):
                self.run("--add-user", name, "--levels", levels, stdin=password + "\n")
        self.write_config(extra)
        self.port = free_port()
        self.process = None

    def write_config(self, extra):
        with open(self.config, "w") as config:
            # The attacks are on what the daemon does with what it reads, which is the same over
            # TLS (the daemon's test suite runs them that way): plain text on loopback keeps
            # this script's sockets simple.
            # The game servers here are stand-ins that answer no status query.
            config.write("rcon_password = s3cret\ngame_log = games_mp.log\n"
                         "health_interval = 0s\n" + ("" if self.tls else "allow_plaintext = true\n")
                         + extra)
        os.chmod(self.config, 0o600)

    def run(self, *arguments, stdin=""):
        return subprocess.run([self.binary, "--config", self.config, *arguments],
                              input=stdin, capture_output=True, text=True, timeout=60)

    def run_bytes(self, *arguments, stdin=b""):
        return subprocess.run([self.binary.encode(), b"--config", self.config.encode(),
                               *arguments], input=stdin, capture_output=True, timeout=60)

    def start(self, prefix=(), preexec=None, must_listen=True, timeout=10):
        """Starts the daemon (behind `prefix`, e.g. setpriv). With must_listen False, a daemon
        that refuses to start gives None instead of an error."""
        self.process = subprocess.Popen(
            [*prefix, self.binary, "--config", self.config, "--port", str(self.port)],
            stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, text=True, preexec_fn=preexec)
        deadline = time.monotonic() + timeout
        while time.monotonic() < deadline and self.process.poll() is None:
            try:
                socket.create_connection((HOST, self.port), timeout=1).close()
                return self
            except OSError:
                time.sleep(0.05)
        if must_listen:
            raise RuntimeError("garrisond did not start")
        return None

    def refusal(self):
        """The first line the daemon said on stderr, once it has ended."""
        lines = self.process.communicate(timeout=10)[1].splitlines()
        self.process = None
        return lines[0] if lines else ""

    def give_to(self, user):
        """Makes the folder and everything in it the user's, for a daemon run as that user."""
        entry = pwd.getpwnam(user)
        os.chmod(self.dir, 0o755)
        for name in [""] + os.listdir(self.dir):
            os.chown(os.path.join(self.dir, name), entry.pw_uid, entry.pw_gid)

    def alive(self):
        return self.process is not None and self.process.poll() is None

    def rss_kib(self):
        with open("/proc/%d/status" % self.process.pid) as status:
            for line in status:
                if line.startswith("VmRSS:"):
                    return int(line.split()[1])
        return 0

    def audit_bytes(self):
        return sum(os.path.getsize(os.path.join(self.dir, name))
                   for name in os.listdir(self.dir) if name.startswith("garrisond-audit.log"))

    def stop(self):
        if self.alive():
            self.process.terminate()
            try:
                self.process.wait(10)
            except subprocess.TimeoutExpired:
                self.process.kill()
                self.process.wait(5)
        shutil.rmtree(self.dir, ignore_errors=True)


def connect(port, source=None, timeout=10):
    sock = socket.socket()
    sock.settimeout(timeout)
    if source:
        sock.bind((source, 0))
    sock.connect((HOST, port))
    return sock


def exchange(sock, message):
    sock.sendall(message.encode("cp1252") if isinstance(message, str) else message)
    try:
        return sock.recv(1 << 20).decode("cp1252", "replace")
    except socket.timeout:
        return ""


def log_in(port, login, source=None):
    sock = connect(port, source)
    answer = exchange(sock, login)
    if answer in ("mp", "admin", "poweradmin"):
        exchange(sock, "getrconpass")
    return sock, answer


def report(number, title, figure):
    print("%2d. %-44s %s" % (number, title, figure), flush=True)


def attack_audit_flood(binary, seconds):
    daemon = Daemon(binary).start()
    try:
        locker = connect(daemon.port)
        for _ in range(5):
            exchange(locker, "root:wrong-admin")
        before = daemon.audit_bytes()
        payload = b"A" * (65500 - 5) + b":x-mp"
        counts = {"connections": 0}
        stop_at = time.monotonic() + seconds

        def flood(sources):
            i = 0
            while time.monotonic() < stop_at:
                try:
                    sock = connect(daemon.port, sources[i % len(sources)], timeout=5)
                    sock.sendall(payload)
                    sock.recv(256)
                    sock.close()
                    counts["connections"] += 1
                except OSError:
                    pass
                i += 1

        # The attacker from the locked address, and one rotating over 200 addresses.
        threads = [threading.Thread(target=flood, args=([HOST],)) for _ in range(3)]
        threads.append(threading.Thread(
            target=flood, args=(["127.0.2.%d" % n for n in range(1, 201)],)))
        for thread in threads:
            thread.start()
        for thread in threads:
            thread.join()
        time.sleep(6)  # the summary of the last minute is written within a few seconds
        written = daemon.audit_bytes() - before
        ten_minutes = written * 600 / seconds
        report(1, "audit log flood (locked + 200 addresses)",
               "%d connections in %d s wrote %d B; 10 min at this rate ~%.0f KB "
               "(cap 10 MB)" % (counts["connections"], seconds, written, ten_minutes / 1000))
    finally:
        daemon.stop()


def attack_lockout_bypass(binary):
    daemon = Daemon(binary).start()
    try:
        guesses = 0
        locked = False
        for _ in range(6):
            for _ in range(4):
                sock = connect(daemon.port)
                guesses += 1
                answer = exchange(sock, "root:guess%d-admin" % guesses)
                sock.close()
                if "Too many failed" in answer:
                    locked = True
                    break
            if locked:
                break
            sock, answer = log_in(daemon.port, "bob:bobpw-mp")
            sock.close()
        sock, answer = log_in(daemon.port, "root:r00t-Secret-admin")
        sock.close()
        report(2, "lock-out bypass by own login",
               "%s after %d guesses; root's right password then: %r"
               % ("locked" if locked else "NOT locked", guesses, answer))
    finally:
        daemon.stop()


def attack_getlog_flood(binary):
    daemon = Daemon(binary).start()
    try:
        time.sleep(0.5)
        baseline = daemon.rss_kib()
        sock = socket.socket()
        sock.setsockopt(socket.SOL_SOCKET, socket.SO_RCVBUF, 4096)
        sock.settimeout(10)
        sock.connect((HOST, daemon.port))
        exchange(sock, "bob:bobpw-mp")
        exchange(sock, "getrconpass")
        sock.setblocking(False)
        peak = baseline
        sent = 0
        stop_at = time.monotonic() + 30
        while sent < 2000 and time.monotonic() < stop_at:
            try:
                sock.send(b"getlog")
                sent += 1
            except BlockingIOError:
                pass  # the daemon stopped reading: the requests wait in the kernel
            time.sleep(0.001)
            if sent % 20 == 0:
                peak = max(peak, daemon.rss_kib())
        time.sleep(1)
        peak = max(peak, daemon.rss_kib())
        answered = open(daemon.audit).read().count("bob/mp getlog")
        sock.close()
        report(3, "2000 getlog never read",
               "%d sent, %d answered, RSS %.1f MB -> peak %.1f MB"
               % (sent, answered, baseline / 1024, peak / 1024))
    finally:
        daemon.stop()


def attack_levels(binary):
    daemon = Daemon(binary, "server_command = /bin/sleep 30\n").start()
    try:
        sock, answer = log_in(daemon.port, "alice:alicepw-mp")
        refusal = exchange(sock, "startserver")
        log = exchange(sock, "getlog")
        sock.close()
        started = "startserver started" in open(daemon.audit).read()
        report(4, "mp starts the server, fetches the log",
               "start: %r (server %s); getlog answered (%d bytes in the first read)"
               % (refusal, "started" if started else "not started", len(log)))
    finally:
        daemon.stop()


def attack_idle_connections(binary):
    daemon = Daemon(binary).start()
    try:
        idle = []
        refused = 0
        for _ in range(32):
            sock = connect(daemon.port, "127.0.4.1")
            sock.settimeout(0.2)
            try:
                if sock.recv(256).startswith(b"DENIED"):
                    refused += 1
            except socket.timeout:
                pass
            idle.append(sock)
        start = time.monotonic()
        sock, answer = log_in(daemon.port, "bob:bobpw-admin")
        login_ms = (time.monotonic() - start) * 1000
        sock.close()
        held = idle[0]
        held.settimeout(15)
        start = time.monotonic()
        try:
            held.recv(256)
        except OSError:
            pass
        held_s = time.monotonic() - start + 0.2
        for sock in idle:
            sock.close()
        report(5, "32 idle connections from one address",
               "%d refused, %d held ~%.0f s; other user's login %r in %.0f ms"
               % (refused, 32 - refused, held_s, answer, login_ms))
    finally:
        daemon.stop()


def guess_from(port, index, seconds, counter):
    stop_at = time.monotonic() + seconds
    n = 0
    while time.monotonic() < stop_at:
        source = "127.0.%d.%d" % (10 + index, 1 + n % 250)
        n += 1
        try:
            sock = connect(port, source, timeout=5)
            exchange(sock, "root:guess%d-admin" % n)
            sock.close()
            with counter.get_lock():
                counter.value += 1
        except OSError:
            pass


def attack_latency(binary, seconds=20):
    daemon = Daemon(binary).start()
    try:
        admin, answer = log_in(daemon.port, "root:r00t-Secret-admin")
        # Each attacker is a process of its own, so that the admin's timing does not include
        # waiting for Python's interpreter lock.
        counter = multiprocessing.Value("i", 0)
        attackers = [multiprocessing.Process(target=guess_from,
                                             args=(daemon.port, i, seconds, counter))
                     for i in range(8)]
        for attacker in attackers:
            attacker.start()
        time.sleep(1)
        stop_at = time.monotonic() + seconds - 1.5
        latencies = []
        while time.monotonic() < stop_at and len(latencies) < 2000:
            start = time.perf_counter()
            reply = exchange(admin, "getrconpass")
            latencies.append((time.perf_counter() - start) * 1000)
            if reply != "s3cret":
                break
            time.sleep(0.005)
        for attacker in attackers:
            attacker.join()
        admin.close()
        latencies.sort()
        p99 = latencies[min(len(latencies) - 1, int(len(latencies) * 0.99))]
        report(6, "admin getrconpass under 8 attackers",
               "median %.2f ms, p99 %.2f ms, max %.1f ms over %d requests; %d guesses answered"
               % (statistics.median(latencies), p99, latencies[-1], len(latencies),
                  counter.value))
    finally:
        daemon.stop()


def attack_name_timing(binary):
    # The accounts were hashed with 100000 iterations; the configuration now says 400000.
    daemon = Daemon(binary, "pbkdf2_iterations = 400000\n").start()
    try:
        times = {"known": [], "unknown": []}
        for i in range(24):
            kind = "known" if i % 2 == 0 else "unknown"
            name = "root" if kind == "known" else "nobody%d" % i
            sock = connect(daemon.port, "127.0.6.%d" % (i + 1))
            start = time.perf_counter()
            exchange(sock, "%s:wrong-admin" % name)
            times[kind].append((time.perf_counter() - start) * 1000)
            sock.close()
            time.sleep(0.25)  # stay under the failed-login rate, which would add its own wait
        report(7, "user names told apart by time",
               "known median %.0f ms, unknown median %.0f ms"
               % (statistics.median(times["known"]), statistics.median(times["unknown"])))
    finally:
        daemon.stop()


def attack_parallel_edits(binary):
    daemon = Daemon(binary, add_users=False)
    try:
        def adder(prefix):
            for i in range(15):
                daemon.run("--add-user", "%s%d" % (prefix, i), "--levels", "mp", stdin="pw\n")

        threads = [threading.Thread(target=adder, args=(p,)) for p in ("left", "right")]
        for thread in threads:
            thread.start()
        for thread in threads:
            thread.join()
        users = daemon.run("--list-users").stdout.split("\n")
        report(8, "2 x 15 parallel --add-user",
               "%d of 30 accounts kept" % len([u for u in users if u.strip()]))
    finally:
        daemon.stop()


def attack_file_modes(binary):
    daemon = Daemon(binary)
    try:
        example = os.path.join(os.path.dirname(os.path.abspath(__file__)),
                               "garrisond.conf.example")
        shutil.copy(example, daemon.config + ".new")  # as a plain cp leaves it
        with open(daemon.config + ".new", "a") as config:
            config.write("game_log = games_mp.log\n")
        os.replace(daemon.config + ".new", daemon.config)
        os.chmod(daemon.config, 0o644)
        with open(daemon.audit, "a"):
            pass
        os.chmod(daemon.audit, 0o644)
        daemon.start()
        time.sleep(0.5)
        modes = ", ".join("%s %o" % (os.path.basename(p), os.stat(p).st_mode & 0o777)
                          for p in (daemon.config, daemon.audit))
        daemon.process.terminate()
        warnings = [line for line in daemon.process.communicate(timeout=10)[1].splitlines()
                    if "mode" in line]
        daemon.process = None
        report(9, "files left 0644",
               "after start: %s; %d warnings" % (modes, len(warnings)))
    finally:
        daemon.stop()


def attack_descriptors(binary):
    daemon = Daemon(binary)
    listing = os.path.join(daemon.dir, "fds.txt")
    daemon.write_config('server_command = /bin/sh -c "ls -l /proc/self/fd/ > fds.txt"\n'
                        "server_directory = %s\n" % daemon.dir)
    daemon.start()
    try:
        sock, answer = log_in(daemon.port, "root:r00t-Secret-admin")
        sock.sendall(b"startserver")
        deadline = time.monotonic() + 10
        while time.monotonic() < deadline and not (
                os.path.exists(listing) and os.path.getsize(listing) > 0):
            time.sleep(0.05)
        sock.close()
        leaked = []
        for line in open(listing).read().splitlines():
            if " -> " in line:
                fd = line.split(" -> ")[0].split()[-1]
                if int(fd) > 2 and "/proc/" not in line:
                    leaked.append(line.split(" -> ")[1])
        report(10, "descriptors the game server inherits",
               "%d beyond 0-2 %s" % (len(leaked), leaked))
    finally:
        daemon.stop()


def attack_password_tail(binary):
    daemon = Daemon(binary).start()
    try:
        sock = connect(daemon.port)
        exchange(sock, "alice:hunter2-secretpart")
        sock.close()
        time.sleep(0.2)
        audit = open(daemon.audit).read()
        line = [l for l in audit.splitlines() if "login-refused" in l]
        report(11, "password tail as level",
               "'secretpart' in audit log %d times; line: %s"
               % (audit.count("secretpart"), line[0].split(" ", 3)[3] if line else "-"))
    finally:
        daemon.stop()


def mode_of(path):
    return "%04o" % (os.lstat(path).st_mode & 0o7777)


def victim_file(folder, owner="nobody"):
    """A file that garrisond must neither change nor write: another user's, or with owner None
    one of the daemon's own user that is not one of its files (such as /etc/hosts for root)."""
    victim = os.path.join(folder, "victim")
    with open(victim, "w") as out:
        out.write("someone else's file\n")
    os.chmod(victim, 0o644)
    if owner and os.geteuid() == 0:
        entry = pwd.getpwnam(owner)
        os.chown(victim, entry.pw_uid, entry.pw_gid)
    return victim


def victim_changed(victim):
    with open(victim) as content:
        return content.read() != "someone else's file\n"


def attack_startup_files(binary):
    found = []
    daemon = Daemon(binary)
    try:
        shared = os.path.join(daemon.dir, "shared")
        os.mkdir(shared)
        os.chmod(shared, 0o1777)
        daemon.write_config("accounts = shared\n")
        started = daemon.start(must_listen=False)
        found.append("accounts folder 1777 -> %s (%s)"
                     % (mode_of(shared), "served" if started else "refused"))
    finally:
        daemon.stop()
    daemon = Daemon(binary)
    try:
        victim = victim_file(daemon.dir, owner=None)
        os.symlink(victim, daemon.audit + ".2")
        started = daemon.start(must_listen=False)
        found.append("rotated-name link target 0644 -> %s (%s)"
                     % (mode_of(victim), "served" if started else "refused"))
    finally:
        daemon.stop()
    daemon = Daemon(binary)
    try:
        victim = victim_file(daemon.dir)
        os.symlink(victim, daemon.audit)
        started = daemon.start(must_listen=False)
        if started:
            log_in(daemon.port, "bob:bobpw-mp")[0].close()
            time.sleep(0.3)
        found.append("audit via link %s" % ("WROTE the target" if victim_changed(victim)
                                             else "left the target alone"))
    finally:
        daemon.stop()
    daemon = Daemon(binary)
    try:
        # The link's target reads as an (empty) accounts file, so that --add-user gets as far
        # as writing.
        accounts = os.path.join(daemon.dir, "garrisond-accounts.json")
        victim = victim_file(daemon.dir)
        with open(victim, "w") as out:
            out.write('{"accounts": []}\n')
        os.replace(accounts, accounts + ".real")
        os.symlink(victim, accounts)
        result = daemon.run("--add-user", "eve", "--levels", "poweradmin", stdin="pw\n")
        with open(victim) as content:
            written = "eve" in content.read()
        found.append("--add-user via link %s (exit %d)"
                     % ("WROTE the target" if written else "left the target alone",
                        result.returncode))
    finally:
        daemon.stop()
    report(12, "start-up: folder and links as daemon files", "; ".join(found))


GAME_SERVER_ATTACK = (
    'server_command = /bin/sh -c "echo $$ > game.pid; '
    "for f in %(d)s/garrisond.conf %(d)s/garrisond-accounts.json %(d)s/garrisond-audit.log; "
    "do echo x >> $f && echo wrote $(basename $f); done > report.txt 2>/dev/null; "
    "touch %(d)s/planted 2>/dev/null && echo planted >> report.txt; "
    "kill -HUP $PPID 2>/dev/null && echo signalled >> report.txt; "
    "ln -sf %(d)s/garrisond-accounts.json games_mp.log; "
    "echo uid $(id -u) >> report.txt; echo done >> report.txt; exec sleep 60\"\n"
    "server_directory = %(g)s\ngame_log = %(g)s/games_mp.log\n")


def attack_game_server(binary):
    """The packaged setting: garrisond under a system user of its own (nobody here), the game
    server as server_user (games), garrisond holding only the capability to switch to it."""
    daemon = Daemon(binary)
    game = tempfile.mkdtemp(prefix="garrisond-game-")
    game_pid = None
    try:
        os.chmod(game, 0o755)
        games = pwd.getpwnam("games")
        os.chown(game, games.pw_uid, games.pw_gid)
        setting = GAME_SERVER_ATTACK % {"d": daemon.dir, "g": game}
        daemon.write_config(setting + "server_user = games\n")
        daemon.give_to("nobody")
        prefix = ["setpriv", "--reuid=nobody", "--regid=nogroup", "--clear-groups",
                  "--inh-caps=+setuid,+setgid", "--ambient-caps=+setuid,+setgid", "--"]
        how = "server_user = games"
        if not daemon.start(prefix=prefix, must_listen=False):
            how = "no server_user (%s)" % daemon.refusal().split(": ")[-1][:40]
            daemon.write_config(setting)
            daemon.give_to("nobody")
            nobody = pwd.getpwnam("nobody")
            os.chown(game, nobody.pw_uid, nobody.pw_gid)
            daemon.start(prefix=prefix)
        sock, answer = log_in(daemon.port, "root:r00t-Secret-admin")
        sock.sendall(b"startserver")
        listing = os.path.join(game, "report.txt")
        deadline = time.monotonic() + 10
        while time.monotonic() < deadline and not (
                os.path.exists(listing) and "done" in open(listing).read()):
            time.sleep(0.05)
        time.sleep(0.2)
        done = open(listing).read().split() if os.path.exists(listing) else []
        log = exchange(sock, "getlog")
        sock.close()
        deeds = [w for w in ("wrote", "planted", "signalled") if w in done]
        alive = daemon.alive()
        game_pid = int(open(os.path.join(game, "game.pid")).read())
        daemon.stop()
        time.sleep(0.5)
        report(13, "game server against the daemon's files",
               "%s; game server uid %s; %s; getlog %s; daemon %s; after SIGTERM game server %s"
               % (how, done[done.index("uid") + 1] if "uid" in done else "?",
                  " ".join(done[:done.index("uid")]) if deeds else "wrote nothing",
                  "SERVED the accounts" if "pbkdf2" in log else "did not serve the accounts",
                  "alive" if alive else "DEAD",
                  "RUNNING" if game_pid_alive(game_pid) else "stopped"))
    finally:
        daemon.stop()
        if game_pid and game_pid_alive(game_pid):
            os.kill(game_pid, signal.SIGKILL)
        shutil.rmtree(game, ignore_errors=True)


def attack_full_disk(binary):
    daemon = Daemon(binary)
    try:
        limit = 16384
        daemon.start(preexec=lambda: resource.setrlimit(resource.RLIMIT_FSIZE, (limit, limit)))
        sock, answer = log_in(daemon.port, "root:r00t-Secret-admin")
        sent = 0
        # Sixteen kinds of command, ten lines each a minute: past what the audit keeps of one
        # account in full, so that the file does reach its limit.
        for i in range(200):
            try:
                sock.sendall(b"root - say%d " % (i % 16) + b"x" * 200)
            except OSError:
                break
            sent += 1
            time.sleep(0.005)
        time.sleep(0.5)
        alive = daemon.alive()
        password = exchange(sock, "getrconpass") if alive else ""
        sock.close()
        with open(daemon.audit, "rb") as audit:
            content = audit.read()
        daemon.process.terminate()
        said = daemon.process.communicate(timeout=10)[1]
        daemon.process = None
        complaints = [l for l in said.splitlines() if "audit log" in l and "lost" in l]
        ending = "at a line end" if content.endswith(b"\n") else "IN THE MIDDLE OF A LINE"
        report(14, "audit log on a full disk (RLIMIT_FSIZE)",
               "%d commands: daemon %s (getrconpass %r), log %d B ends %s, %d stderr lines "
               "about lost lines"
               % (sent, "alive" if alive else "KILLED", password, len(content), ending,
                  len(complaints)))
    finally:
        daemon.stop()


def attack_emptied_config(binary):
    daemon = Daemon(binary).start()
    try:
        sock, answer = log_in(daemon.port, "root:r00t-Secret-admin")
        open(daemon.config, "w").close()
        sock.settimeout(2)
        try:
            notice = sock.recv(4096).decode("cp1252", "replace")
        except socket.timeout:
            notice = ""
        password = exchange(sock, "getrconpass")
        sock.close()
        report(15, "emptied configuration reloaded",
               "notice %r; getrconpass then %r" % (notice[:40], password))
    finally:
        daemon.stop()


def game_pid_alive(pid):
    try:
        with open("/proc/%d/status" % pid) as status:
            return "State:\tZ" not in status.read()
    except OSError:
        return False


def attack_signals(binary):
    found = []
    for number in (signal.SIGHUP, signal.SIGUSR1, signal.SIGTERM):
        daemon = Daemon(binary)
        game_pid = None
        try:
            daemon.write_config(
                'server_command = /bin/sh -c "echo $$ > game.pid; exec sleep 60"\n'
                "server_directory = %s\n" % daemon.dir)
            daemon.start()
            sock, answer = log_in(daemon.port, "root:r00t-Secret-admin")
            sock.sendall(b"startserver")
            pid_file = os.path.join(daemon.dir, "game.pid")
            deadline = time.monotonic() + 10
            while time.monotonic() < deadline and not (
                    os.path.exists(pid_file) and os.path.getsize(pid_file) > 0):
                time.sleep(0.05)
            game_pid = int(open(pid_file).read())
            daemon.process.send_signal(number)
            time.sleep(1)
            alive = daemon.alive()
            answer = exchange(sock, "getrconpass") if alive else ""
            sock.close()
            found.append("%s: daemon %s, game server %s" % (
                signal.Signals(number).name,
                ("answers" if answer == "s3cret" else "silent") if alive else "ended",
                "running" if game_pid_alive(game_pid) else "stopped"))
        finally:
            daemon.stop()
            if game_pid and game_pid_alive(game_pid):
                os.kill(game_pid, signal.SIGKILL)
    report(16, "signals", "; ".join(found))


def attack_root_edits(binary):
    daemon = Daemon(binary)
    try:
        nobody = pwd.getpwnam("nobody")
        accounts = os.path.join(daemon.dir, "garrisond-accounts.json")
        for path in (accounts, daemon.config):
            os.chown(path, nobody.pw_uid, nobody.pw_gid)
        os.chmod(daemon.config, 0o640)
        added = daemon.run("--add-user", "carol", "--levels", "mp", stdin="pw\n").returncode
        changed = daemon.run("--set-rcon-password", stdin="n3w\n").returncode
        owners = ", ".join("%s %s %s" % (os.path.basename(path),
                                         pwd.getpwuid(os.stat(path).st_uid).pw_name,
                                         mode_of(path))
                           for path in (accounts, daemon.config))
        report(17, "root edits nobody's files",
               "exit %d and %d; now %s" % (added, changed, owners))
    finally:
        daemon.stop()


def attack_core_dumps(binary):
    daemon = Daemon(binary)
    try:
        daemon.give_to("nobody")
        daemon.start(prefix=["setpriv", "--reuid=nobody", "--regid=nogroup", "--clear-groups",
                             "--"])
        pid = daemon.process.pid
        core = [l for l in open("/proc/%d/limits" % pid) if l.startswith("Max core file size")]
        owner = pwd.getpwuid(os.stat("/proc/%d/status" % pid).st_uid).pw_name
        report(18, "core dumps of a daemon run as nobody",
               "core limit %s; /proc/PID/status owned by %s (%s)"
               % (" ".join(core[0].split()[4:6]) if core else "?", owner,
                  "not dumpable" if owner == "root" else "DUMPABLE"))
    finally:
        daemon.stop()


def attack_non_utf8(binary):
    daemon = Daemon(binary, add_users=False)
    try:
        accepted = [daemon.run_bytes(b"--add-user", name, b"--levels", b"mp",
                                     stdin=b"pw\n").returncode == 0
                    for name in (b"al\xffice", b"al\xfeice")]
        users = [u for u in daemon.run("--list-users").stdout.split("\n") if u.strip()]
        password = daemon.run_bytes(b"--add-user", b"dave", b"--levels", b"mp",
                                    stdin=b"p\xe4ss\n").returncode == 0
        report(19, "names and passwords not UTF-8",
               "names al\\xffice, al\\xfeice: %d accepted, %d accounts; password p\\xe4ss %s"
               % (sum(accepted), len(users), "ACCEPTED" if password else "refused"))
    finally:
        daemon.stop()


def admin_login(port):
    """root's login on a new connection: the answer and the milliseconds it took."""
    start = time.perf_counter()
    sock, answer = log_in(port, "root:r00t-Secret-admin")
    elapsed = (time.perf_counter() - start) * 1000
    sock.close()
    return answer, elapsed


def hold_sessions(port, login, count):
    """Logs in `count` times; the sessions that were granted, and the refusals by text."""
    held, refusals = [], {}
    for _ in range(count):
        sock, answer = log_in(port, login)
        if answer in ("mp", "admin", "poweradmin"):
            held.append(sock)
        else:
            refusals[answer] = refusals.get(answer, 0) + 1
            sock.close()
    return held, refusals


def attack_one_account_slots(binary):
    daemon = Daemon(binary).start()
    try:
        held, refusals = hold_sessions(daemon.port, "alice:alicepw-mp", 40)
        answer, ms = admin_login(daemon.port)
        for sock in held:
            sock.close()
        report(20, "one mp account takes 40 sessions",
               "%d held, refused %s; root's login %r in %.0f ms"
               % (len(held), refusals or "-", answer, ms))
    finally:
        daemon.stop()


def attack_many_accounts_slots(binary):
    daemon = Daemon(binary)
    try:
        for n in range(8):
            daemon.run("--add-user", "mp%d" % n, "--levels", "mp", stdin="pw\n")
        daemon.start()
        held, refusals = [], {}
        for n in range(8):
            more, refused = hold_sessions(daemon.port, "mp%d:pw-mp" % n, 8)
            held += more
            for text, count in refused.items():
                refusals[text] = refusals.get(text, 0) + count
        answer, ms = admin_login(daemon.port)
        closed = 0
        for sock in held:
            sock.settimeout(0.5)
            try:
                told = sock.recv(256)
                closed += told == b"" or told.startswith(b"DENIED")
            except socket.timeout:
                pass
            sock.close()
        report(21, "8 mp accounts take 64 sessions",
               "%d held, refused %s; root's login %r in %.0f ms, %d mp session(s) closed"
               % (len(held), refusals or "-", answer, ms, closed))
    finally:
        daemon.stop()


def attack_audit_erase(binary, seconds):
    daemon = Daemon(binary).start()
    try:
        admin, _ = log_in(daemon.port, "root:r00t-Secret-admin")
        admin.sendall(b"root - kick Victim")
        time.sleep(0.5)
        stop_at = time.monotonic() + seconds
        sent = [0]

        def flood():
            # A dropped flooder logs in again.
            sock, n = None, 0
            while time.monotonic() < stop_at:
                try:
                    if sock is None:
                        sock, _ = log_in(daemon.port, "alice:alicepw-mp")
                    sock.sendall(b"alice - say %d %s" % (n, b"x" * 400))
                    n += 1
                except OSError:
                    sock = None
                time.sleep(0.0005)
            sent[0] += n
            if sock:
                sock.close()

        threads = [threading.Thread(target=flood) for _ in range(4)]
        start = time.monotonic()
        for thread in threads:
            thread.start()
        time.sleep(min(5, seconds / 2))
        rate = daemon.audit_bytes() / (time.monotonic() - start)
        answer, ms = admin_login(daemon.port)
        for thread in threads:
            thread.join()
        admin.close()
        time.sleep(1)
        kept = any("root/admin command kick Victim" in open(os.path.join(daemon.dir, name),
                                                              errors="replace").read()
                   for name in os.listdir(daemon.dir) if name.startswith("garrisond-audit.log"))
        report(22, "mp echo flood against the audit log",
               "%d echoes in %d s, %.0f KB/min written: 50 MB of files last ~%.1f min; "
               "root's earlier line %s; root's login %r in %.0f ms"
               % (sent[0], seconds, rate * 60 / 1000, 50e6 / max(rate, 1) / 60,
                  "kept" if kept else "GONE", answer, ms))
    finally:
        daemon.stop()


def attack_split_login(binary):
    daemon = Daemon(binary).start()
    try:
        times = sorted(admin_login(daemon.port)[1] for _ in range(10))
        answers = []
        for _ in range(4):
            sock = connect(daemon.port)
            sock.setsockopt(socket.IPPROTO_TCP, socket.TCP_NODELAY, 1)
            for piece in (b"root:r00t-", b"Secret-", b"admin"):
                sock.sendall(piece)
                time.sleep(0.02)
            sock.settimeout(2)
            try:
                answers.append(sock.recv(256).decode("cp1252", "replace"))
            except socket.timeout:
                answers.append("")
            sock.close()
        report(23, "root's login in 3 pieces 20 ms apart, x4",
               "answers %s; a whole login before: median %.0f ms, max %.0f ms"
               % (answers, statistics.median(times), times[-1]))
    finally:
        daemon.stop()


def attack_many_accounts(binary):
    daemon = Daemon(binary)
    try:
        accounts_path = os.path.join(daemon.dir, "garrisond-accounts.json")
        with open(accounts_path) as accounts:
            document = json.load(accounts)
        template = document["accounts"][-1]
        document["accounts"] += [dict(template, name="player%05d" % n) for n in range(30000)]
        with open(accounts_path, "w") as accounts:
            json.dump(document, accounts)
        start = time.monotonic()
        daemon.start(timeout=300)
        started = time.monotonic() - start
        watcher, _ = log_in(daemon.port, "bob:bobpw-admin")
        admin, _ = log_in(daemon.port, "root:r00t-Secret-admin")
        document["accounts"].append(dict(template, name="newcomer"))
        with open(accounts_path + ".new", "w") as accounts:
            json.dump(document, accounts)
        os.replace(accounts_path + ".new", accounts_path)
        changed = time.monotonic()
        watcher.settimeout(0.01)
        slowest, told, login = 0.0, None, None
        while told is None and time.monotonic() - changed < 300:
            begin = time.perf_counter()
            exchange(admin, "getrconpass")
            slowest = max(slowest, (time.perf_counter() - begin) * 1000)
            if login is None and time.monotonic() - changed > 0.15:
                login = admin_login(daemon.port)
            try:
                if watcher.recv(256).startswith(b"ADDUSER"):
                    told = time.monotonic() - changed
            except socket.timeout:
                pass
        watcher.close()
        admin.close()
        report(24, "30,000 accounts: start, then a reload",
               "started in %.1f s; new account announced after %s; root's getrconpass "
               "meanwhile at most %.0f ms; root's login during it %r in %.0f ms"
               % (started, "%.1f s" % told if told is not None else "never", slowest,
                  login[0] if login else "-", login[1] if login else 0))
    finally:
        daemon.stop()


class DelayedPath:
    """A TCP relay on loopback that puts `one_way` seconds between the administrator and the
    daemon in each direction, as if the administrator were that far away: the connection
    reaches the daemon one round trip after it was opened, and every byte one way later."""

    def __init__(self, port, one_way=0.1, source="127.0.7.1"):
        self.port, self.one_way, self.source = port, one_way, source
        self.listener = socket.socket()
        self.listener.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
        self.listener.bind((HOST, 0))
        self.listener.listen(16)
        self.address = self.listener.getsockname()
        threading.Thread(target=self.accept, daemon=True).start()

    def accept(self):
        while True:
            try:
                client, _ = self.listener.accept()
            except OSError:
                return
            threading.Thread(target=self.relay, args=(client,), daemon=True).start()

    # The client's first bytes reach the daemon together with the connection, as they do
    # behind a real round trip.
    def relay(self, client):
        accepted = time.monotonic()
        time.sleep(2 * self.one_way)
        try:
            server = connect(self.port, self.source)
            server.setsockopt(socket.IPPROTO_TCP, socket.TCP_NODELAY, 1)
        except OSError:
            client.close()
            return
        for source, target, sent in ((client, server, accepted), (server, client, None)):
            threading.Thread(target=self.pump, args=(source, target, sent), daemon=True).start()

    def pump(self, source, target, sent):
        while True:
            try:
                data = source.recv(1 << 16)
            except OSError:
                data = b""
            due = (sent if sent is not None else time.monotonic()) + self.one_way
            sent = None
            threading.Timer(max(0, due - time.monotonic()), self.deliver,
                            args=(target, data)).start()
            if not data:
                return

    @staticmethod
    def deliver(target, data):
        try:
            if data:
                target.sendall(data)
            else:
                target.shutdown(socket.SHUT_WR)
        except OSError:
            pass

    def close(self):
        self.listener.close()


def far_login(path, timeout=10):
    """root's login over TLS and RCON password through the delayed path, as GARRISON does it:
    the milliseconds it took, or None when it failed."""
    start = time.perf_counter()
    context = ssl.SSLContext(ssl.PROTOCOL_TLS_CLIENT)
    context.check_hostname = False
    context.verify_mode = ssl.CERT_NONE
    try:
        sock = socket.create_connection(path.address, timeout=timeout)
        sock.setsockopt(socket.IPPROTO_TCP, socket.TCP_NODELAY, 1)
        sock = context.wrap_socket(sock)
        answer = exchange(sock, "root:r00t-Secret-admin")
        password = exchange(sock, "getrconpass") if answer == "admin" else ""
        sock.close()
    except OSError:
        return None
    return (time.perf_counter() - start) * 1000 if password == "s3cret" else None


def far_logins(port, tries, pause=0.5, during=None):
    """`tries` logins from 100 ms away: 'k of n in median/max ms'."""
    path = DelayedPath(port)
    try:
        times = []
        for _ in range(tries):
            if during and not during():
                break
            times.append(far_login(path))
            time.sleep(pause)
    finally:
        path.close()
    done = sorted(t for t in times if t is not None)
    if not done:
        return "%d of %d logins" % (0, len(times))
    return "%d of %d logins, median %.0f ms, max %.0f ms" % (
        len(done), len(times), statistics.median(done), done[-1])


def churn_from(port, index, seconds, rate, counter):
    resource.setrlimit(resource.RLIMIT_NOFILE, (4096, 4096))
    stop_at = time.monotonic() + seconds
    held = []
    n = 0
    while time.monotonic() < stop_at:
        second = time.monotonic()
        for _ in range(rate):
            source = "127.0.%d.%d" % (20 + index, 1 + n % 75)
            n += 1
            sock = socket.socket()
            sock.setblocking(False)
            try:
                sock.bind((source, 0))
                sock.connect_ex((HOST, port))
                held.append((time.monotonic(), sock))
            except OSError:
                sock.close()
        # Each connection is held for 2 s without a byte, then dropped.
        while held and time.monotonic() - held[0][0] > 2:
            held.pop(0)[1].close()
        with counter.get_lock():
            counter.value += rate
        time.sleep(max(0, 1 - (time.monotonic() - second)))
    for _, sock in held:
        sock.close()


def attack_connection_churn(binary, seconds=25):
    # Over TLS: the handshake's round trip is the time in which a waiting connection must not
    # be closed for room.
    daemon = Daemon(binary, tls=True).start()
    try:
        counter = multiprocessing.Value("i", 0)
        # Four processes, 75 addresses each: 300 addresses, 1,000 silent connections a second.
        attackers = [multiprocessing.Process(target=churn_from,
                                             args=(daemon.port, i, seconds, 250, counter))
                     for i in range(4)]
        for attacker in attackers:
            attacker.start()
        time.sleep(2)
        stop_at = time.monotonic() + seconds - 4
        figure = far_logins(daemon.port, 10, during=lambda: time.monotonic() < stop_at)
        for attacker in attackers:
            attacker.join()
        report(25, "churn: 300 addresses, 1000 silent conn/s",
               "admin 100 ms away: %s; %d connections" % (figure, counter.value))
    finally:
        daemon.stop()


class HookEndpoint:
    """A webhook on loopback. `mode`: "record" answers 204 and keeps the JSON posts, "flood"
    answers 200 with a 1 GiB body as fast as it is read, "trickle" sends one byte every 5 s."""

    def __init__(self, mode):
        self.mode = mode
        self.posts = []
        self.held = []  # seconds each connection was held by the daemon
        self.sent = 0
        self.listener = socket.socket()
        self.listener.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
        self.listener.bind((HOST, 0))
        self.listener.listen(16)
        self.url = "http://127.0.0.1:%d/hook/token" % self.listener.getsockname()[1]
        self.stopping = False
        threading.Thread(target=self.accept, daemon=True).start()

    def accept(self):
        while True:
            try:
                sock, _ = self.listener.accept()
            except OSError:
                return
            threading.Thread(target=self.serve, args=(sock,), daemon=True).start()

    def serve(self, sock):
        begun = time.monotonic()
        request = b""
        try:
            sock.settimeout(30)
            while b"\r\n\r\n" not in request:
                more = sock.recv(4096)
                if not more:
                    return
                request += more
            head, body = request.split(b"\r\n\r\n", 1)
            length = 0
            for line in head.split(b"\r\n"):
                if line.lower().startswith(b"content-length:"):
                    length = int(line[15:].strip())
            while len(body) < length:
                body += sock.recv(4096)
            if self.mode == "record":
                self.posts.append(json.loads(body))
                sock.sendall(b"HTTP/1.1 204 No Content\r\nConnection: close\r\n\r\n")
            elif self.mode == "flood":
                sock.sendall(b"HTTP/1.1 200 OK\r\nContent-Length: %d\r\n\r\n" % (1 << 30))
                chunk = b"x" * (1 << 16)
                while self.sent < (1 << 30) and not self.stopping:
                    sock.sendall(chunk)
                    self.sent += len(chunk)
            else:
                sock.sendall(b"HTTP/1.1 200 OK\r\nContent-Length: 1000\r\n\r\n")
                sock.settimeout(5)
                while not self.stopping:
                    sock.sendall(b"x")
                    try:
                        if not sock.recv(1):
                            break  # the daemon let go
                    except socket.timeout:
                        pass
        except OSError:
            pass
        finally:
            self.held.append(time.monotonic() - begun)
            sock.close()

    def close(self):
        self.stopping = True
        self.listener.close()


def attack_webhook_bodies(binary, seconds=20):
    found = []
    for mode in ("flood", "trickle"):
        hook = HookEndpoint(mode)
        daemon = Daemon(binary, "webhook_url = %s\nwebhook_format = json\n"
                                "notify_logins = all\n" % hook.url).start()
        try:
            time.sleep(0.5)
            baseline = daemon.rss_kib()
            peak = baseline
            admin_login(daemon.port)  # the notification that gets the long answer
            stop_at = time.monotonic() + seconds
            logins = []
            while time.monotonic() < stop_at:
                peak = max(peak, daemon.rss_kib())
                logins.append(admin_login(daemon.port)[1])
                time.sleep(0.5)
            peak = max(peak, daemon.rss_kib())
            if mode == "flood":
                found.append("1 GiB answer: RSS %.1f -> peak %.1f MB, %.0f MB sent to it"
                             % (baseline / 1024, peak / 1024, hook.sent / 1e6))
            else:
                held = max(hook.held) if hook.held else seconds
                found.append("1 byte/5 s: first post held %s"
                             % ("%.0f s" % held if hook.held else "> %d s" % seconds))
            found[-1] += ", logins max %.0f ms" % max(logins)
        finally:
            hook.close()
            daemon.stop()
    report(26, "webhook answers: 1 GiB body, trickle", "; ".join(found))


def append_log(daemon, lines):
    with open(os.path.join(daemon.dir, "games_mp.log"), "ab") as log:
        log.write("".join(lines).encode("cp1252"))


def attack_report_flood(binary):
    hook = HookEndpoint("record")
    daemon = Daemon(binary, "webhook_url = %s\nwebhook_format = json\n"
                            "notify_logins = all\n" % hook.url).start()
    try:
        append_log(daemon, ["  1:00 J;1111;3;Mallory\n", "  1:00 J;2222;4;Victim\n"])
        time.sleep(0.5)
        flood = ["  1:%02d say;1111;3;Mallory;\x15!report Victim aimbot %d\n" % (n % 60, n)
                 for n in range(130)]
        append_log(daemon, flood)
        time.sleep(0.3)
        start = time.monotonic()
        answer, ms = admin_login(daemon.port)
        for guess in range(5):
            sock = connect(daemon.port, "127.0.9.9")
            exchange(sock, "root:guess%d-admin" % guess)
            sock.close()
        append_log(daemon, flood)
        arrived = {}
        deadline = time.monotonic() + 40
        while time.monotonic() < deadline and len(arrived) < 2:
            for post in hook.posts:
                if post.get("event") in ("login", "refused") and post["event"] not in arrived:
                    arrived[post["event"]] = time.monotonic() - start
            time.sleep(0.1)
        reports = [p for p in hook.posts if p.get("event") == "report"]
        report(27, "260 !reports from one player, admin login",
               "login notice %s, lock-out notice %s; %d posts for 260 reports in 40 s; "
               "admin login %.0f ms"
               % ("after %.1f s" % arrived["login"] if "login" in arrived else "NEVER",
                  "after %.1f s" % arrived["refused"] if "refused" in arrived else "NEVER",
                  len(reports), ms))
    finally:
        hook.close()
        daemon.stop()


def daemon_cpu_seconds(daemon):
    with open("/proc/%d/stat" % daemon.process.pid) as stat:
        fields = stat.read().rsplit(")", 1)[1].split()
    return (int(fields[11]) + int(fields[12])) / os.sysconf("SC_CLK_TCK")


def attack_log_flood(binary):
    found = []
    line = "  2:00 say;0123456789;1;Player;some chat line to fill the log, a hundred bytes..\n"
    block = (line * ((1 << 20) // len(line) + 1)).encode()[:1 << 20]
    for shape in ("100 MB at once", "5 MB/s for 20 s"):
        daemon = Daemon(binary).start()
        try:
            listener, _ = log_in(daemon.port, "bob:bobpw-admin")
            listener.sendall(b"getevents")
            listener.setblocking(False)
            time.sleep(0.5)
            cpu = daemon_cpu_seconds(daemon)
            logins = []
            log = open(os.path.join(daemon.dir, "games_mp.log"), "ab")
            if shape == "100 MB at once":
                for _ in range(100):
                    log.write(block)
                log.flush()
                stop_at = time.monotonic() + 15
                while time.monotonic() < stop_at:
                    logins.append(admin_login(daemon.port)[1])
                    try:
                        while listener.recv(1 << 20):
                            pass
                    except OSError:
                        pass
            else:
                for _ in range(20):
                    second = time.monotonic()
                    for _ in range(5):
                        log.write(block)
                    log.flush()
                    logins.append(admin_login(daemon.port)[1])
                    try:
                        while listener.recv(1 << 20):
                            pass
                    except OSError:
                        pass
                    time.sleep(max(0, 1 - (time.monotonic() - second)))
            log.close()
            used = daemon_cpu_seconds(daemon) - cpu
            listener.close()
            skipped = [l for l in open(daemon.audit).read().splitlines() if "log-skipped" in l]
            found.append("%s: admin login median %.0f ms, max %.0f ms; daemon CPU %.1f s; "
                         "%d skip lines" % (shape, statistics.median(logins), max(logins), used,
                                            len(skipped)))
        finally:
            daemon.stop()
    report(28, "fast-growing game log, events listened to", "; ".join(found))


def attack_log_posing(binary):
    daemon = Daemon(binary).start()
    try:
        with open(os.path.join(daemon.dir, "games_mp.log"), "w") as log:
            log.write("SERVERSTATE\nstate=crashed\nnote=forged\n"
                      "EVENT alert\tword=cheat\tname=Forged\n  0:00 InitGame\n")
        sock, _ = log_in(daemon.port, "alice:alicepw-mp")
        answer = exchange(sock, "getlog")
        sock.close()
        if answer.startswith("SERVERSTATE"):
            taken = "taken as a STATE REPORT"
        elif answer.startswith("EVENT "):
            taken = "its first lines taken as EVENTS"
        else:
            taken = "taken as the log"
        report(29, "game log posing as state and events",
               "getlog answer begins %r: %s" % (answer[:16], taken))
    finally:
        daemon.stop()


def attack_linked_log(binary):
    daemon = Daemon(binary).start()
    try:
        log = os.path.join(daemon.dir, "games_mp.log")
        secret = os.path.join(daemon.dir, "garrisond-accounts.json")
        os.remove(log)
        os.link(secret, log)
        sock, _ = log_in(daemon.port, "alice:alicepw-mp")
        answer = exchange(sock, "getlog")
        sock.close()
        leaked = "pbkdf2" in answer or "password" in answer
        report(30, "game log hard-linked to the accounts file",
               "mp's getlog: %s (%r)" % ("ACCOUNTS FILE SENT" if leaked else "refused",
                                        answer[:60]))
    finally:
        daemon.stop()


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("garrisond")
    parser.add_argument("--flood-seconds", type=int, default=65,
                        help="length of the audit flood (default 65: one summary minute)")
    parser.add_argument("--erase-seconds", type=int, default=60,
                        help="length of the logged-in echo flood (default 60)")
    parser.add_argument("--only", default="",
                        help="comma-separated attack numbers to replay (default: all)")
    args = parser.parse_args()
    binary = os.path.abspath(args.garrisond)
    root = os.geteuid() == 0
    attacks = [
        (1, lambda: attack_audit_flood(binary, args.flood_seconds)),
        (2, lambda: attack_lockout_bypass(binary)),
        (3, lambda: attack_getlog_flood(binary)),
        (4, lambda: attack_levels(binary)),
        (5, lambda: attack_idle_connections(binary)),
        (6, lambda: attack_latency(binary)),
        (7, lambda: attack_name_timing(binary)),
        (8, lambda: attack_parallel_edits(binary)),
        (9, lambda: attack_file_modes(binary)),
        (10, lambda: attack_descriptors(binary)),
        (11, lambda: attack_password_tail(binary)),
        (12, lambda: attack_startup_files(binary)),
        (13, lambda: attack_game_server(binary) if root else
         report(13, "game server against the daemon's files", "skipped: needs root")),
        (14, lambda: attack_full_disk(binary)),
        (15, lambda: attack_emptied_config(binary)),
        (16, lambda: attack_signals(binary)),
        (17, lambda: attack_root_edits(binary) if root else
         report(17, "root edits nobody's files", "skipped: needs root")),
        (18, lambda: attack_core_dumps(binary) if root else
         report(18, "core dumps of a daemon run as nobody", "skipped: needs root")),
        (19, lambda: attack_non_utf8(binary)),
        (20, lambda: attack_one_account_slots(binary)),
        (21, lambda: attack_many_accounts_slots(binary)),
        (22, lambda: attack_audit_erase(binary, args.erase_seconds)),
        (23, lambda: attack_split_login(binary)),
        (24, lambda: attack_many_accounts(binary)),
        (25, lambda: attack_connection_churn(binary)),
        (26, lambda: attack_webhook_bodies(binary)),
        (27, lambda: attack_report_flood(binary)),
        (28, lambda: attack_log_flood(binary)),
        (29, lambda: attack_log_posing(binary)),
        (30, lambda: attack_linked_log(binary)),
    ]
    only = {int(n) for n in args.only.split(",") if n}
    for number, attack in attacks:
        if not only or number in only:
            attack()
    return 0


if __name__ == "__main__":
    sys.exit(main())
