"""The sandbox's state in SQLite: the request log, the queued misbehaviours, and whatever
tables the method modules keep."""

import sqlite3
import threading
import time


class Store:
    def __init__(self, path):
        self._lock = threading.RLock()
        self.resets = 0  # how many times the state was forgotten; a held request checks it
        self.db = sqlite3.connect(path, check_same_thread=False, isolation_level=None)
        self.db.execute("PRAGMA journal_mode=WAL")
        # A commit waits for no disk flush (several per call would serialise every worker);
        # WAL keeps the file consistent, and a power cut may only lose the last requests.
        self.db.execute("PRAGMA synchronous=NORMAL")
        self.db.executescript("""
            CREATE TABLE IF NOT EXISTS requests (
                id INTEGER PRIMARY KEY, at REAL, peer TEXT, path TEXT,
                head BLOB, body BLOB, document BLOB, method TEXT);
            CREATE TABLE IF NOT EXISTS plans (id INTEGER PRIMARY KEY, line BLOB);
        """)

    def locked(self):
        """The lock that method modules hold around several statements."""
        return self._lock

    def execute(self, sql, args=()):
        with self._lock:
            return self.db.execute(sql, args).fetchall()

    # ---- request log ----

    def log_request(self, peer, path, head, body, document, method):
        with self._lock:
            self.db.execute(
                "INSERT INTO requests (at, peer, path, head, body, document, method) "
                "VALUES (?, ?, ?, ?, ?, ?, ?)",
                (time.time(), peer, path, head, body, document, method))

    def last_request(self):
        rows = self.execute("SELECT head, body, document FROM requests ORDER BY id DESC LIMIT 1")
        return rows[0] if rows else None

    def request_count(self):
        return self.execute("SELECT COUNT(*) FROM requests")[0][0]

    # ---- misbehaviour plans, oldest first ----

    def add_plan(self, line):
        self.execute("INSERT INTO plans (line) VALUES (?)", (line,))

    def peek_plan(self):
        rows = self.execute("SELECT id, line FROM plans ORDER BY id LIMIT 1")
        return rows[0] if rows else None

    def take_plan(self, kinds=None):
        """Removes and returns the oldest plan line; with kinds, only when its kind is one of them."""
        with self._lock:
            row = self.peek_plan()
            if row is None:
                return None
            line = row[1].decode("utf-8", "replace")
            if kinds is not None and line.split(" ", 1)[0] not in kinds:
                return None
            self.db.execute("DELETE FROM plans WHERE id = ?", (row[0],))
            return line

    def reset(self):
        with self._lock:
            self.resets += 1
            self.db.execute("DELETE FROM requests")
            self.db.execute("DELETE FROM plans")
