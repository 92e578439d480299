#!/usr/bin/env python3
"""Writes a check-in log of realistic shape for the benchmarks: 200,000 check-ins over ten years.

Nets meet twice a week; a few thousand stations call in, the regulars far more often than the rest
(a Zipf-like spread), so a call sign has anything from one to hundreds of check-ins. The day given by
--busy-day gets exactly --busy-count check-ins. Deterministic for a seed.

    python3 bench/make_log.py --out LOG.db [--checkins 200000] [--seed 7]
"""
import argparse
import datetime
import os
import random
import sqlite3

SCHEMA = """
CREATE TABLE LogwardenTab (
    ID INTEGER PRIMARY KEY AUTOINCREMENT,
    CallSign TEXT COLLATE NOCASE, Name TEXT, Street TEXT, Location TEXT, Comment TEXT, "Date" TEXT,
    HasComments INTEGER NOT NULL DEFAULT 0, HasTraffic INTEGER NOT NULL DEFAULT 0,
    Acknowledged INTEGER NOT NULL DEFAULT 0, Class TEXT, YourGrid TEXT, eMailAddr TEXT);
CREATE INDEX LogwardenTab_Date ON LogwardenTab("Date");
CREATE INDEX LogwardenTab_CallSign ON LogwardenTab(CallSign);
PRAGMA user_version=1;
"""

PREFIXES = ["K", "W", "N", "A", "KA", "KB", "KC", "KD", "KE", "KF", "KG", "KI", "KJ", "KK", "WA", "WB", "WD", "N0"]
FIRST = ["John", "Mary", "Bob", "Linda", "Jim", "Susan", "Bill", "Karen", "Joe", "Nancy", "Tom", "Carol"]
LAST = ["Smith", "Jones", "Brown", "Davis", "Miller", "Wilson", "Moore", "Taylor", "Clark", "Lewis"]


def call_sign(rng):
    p = rng.choice(PREFIXES)
    return p + str(rng.randrange(10)) + "".join(rng.choice("ABCDEFGHIJKLMNOPQRSTUVWXYZ")
                                                for _ in range(rng.choice([2, 3, 3])))


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--out", required=True)
    ap.add_argument("--checkins", type=int, default=200000)
    ap.add_argument("--stations", type=int, default=6000)
    ap.add_argument("--seed", type=int, default=7)
    ap.add_argument("--busy-day", default="2024-03-07")
    ap.add_argument("--busy-count", type=int, default=300)
    args = ap.parse_args()

    rng = random.Random(args.seed)
    stations = []
    seen = set()
    while len(stations) < args.stations:
        c = call_sign(rng)
        if c in seen:
            continue
        seen.add(c)
        grid = "EM%d%d%s%s" % (rng.randrange(10), rng.randrange(10), rng.choice("ABCDEFGHIJKLMNOPQRSTUVWX").lower(),
                               rng.choice("ABCDEFGHIJKLMNOPQRSTUVWX").lower())
        stations.append((c, "%s %s" % (rng.choice(FIRST), rng.choice(LAST)), "%d Main St" % rng.randrange(1, 9999),
                         "Springfield, SC %05d" % rng.randrange(29000, 29999), rng.choice("TGEA"), grid.upper(),
                         c.lower() + "@example.org"))
    weights = [1.0 / (i + 1) ** 0.9 for i in range(len(stations))]

    busy = datetime.date.fromisoformat(args.busy_day)
    start = busy - datetime.timedelta(days=365 * 9)
    nets = [start + datetime.timedelta(days=d) for d in range(0, 3650) if d % 7 in (0, 3)]
    if busy not in nets:
        nets.append(busy)
        nets.sort()
    others = len(nets) - 1
    per_net, extra = divmod(max(0, args.checkins - args.busy_count), others)

    if os.path.exists(args.out):
        os.remove(args.out)
    db = sqlite3.connect(args.out)
    db.executescript(SCHEMA)
    rows = []
    index = 0
    for day in nets:
        if day == busy:
            count = args.busy_count
        else:
            count = per_net + (1 if index < extra else 0)
            index += 1
        if count <= 0:
            continue
        chosen = set()
        t = datetime.datetime.combine(day, datetime.time(19, 0))
        while len(chosen) < count:
            s = rng.choices(stations, weights)[0] if len(chosen) < len(stations) // 2 else rng.choice(stations)
            if s[0] in chosen:
                continue
            chosen.add(s[0])
            t += datetime.timedelta(seconds=rng.randrange(5, 20))
            rows.append((s[0], s[1], s[2], s[3], "", t.strftime("%Y-%m-%d %H:%M:%S"), 0, 0, rng.random() < 0.8,
                         s[4], s[5], s[6]))
    db.executemany('INSERT INTO LogwardenTab (CallSign, Name, Street, Location, Comment, "Date", HasComments, '
                   'HasTraffic, Acknowledged, Class, YourGrid, eMailAddr) VALUES (?,?,?,?,?,?,?,?,?,?,?,?)', rows)
    db.commit()
    db.execute("PRAGMA journal_mode=WAL")
    db.close()
    print("%s: %d check-ins on %d days, %d stations" % (args.out, len(rows), len(nets), len(stations)))


if __name__ == "__main__":
    main()
