#!/usr/bin/env python3
"""Writes a CSV file of licensees shaped like QRZ's: a header line, then one line per licensee with the
fifteen fields each followed by a comma. About one line in twenty quotes a field holding a comma, one
in fifty a name with doubled quotes, one in two hundred carries a Latin-1 character.

    qrz_csv_gen.py ROWS OUT [--seed N]
"""
import argparse
import random

LAST = ["SMITH", "JOHNSON", "WILLIAMS", "BROWN", "JONES", "GARCIA", "MILLER", "DAVIS", "RODRIGUEZ", "MARTINEZ",
        "HERNANDEZ", "LOPEZ", "GONZALEZ", "WILSON", "ANDERSON", "THOMAS", "TAYLOR", "MOORE", "JACKSON", "MARTIN"]
FIRST = ["JAMES", "MARY", "ROBERT", "PATRICIA", "JOHN", "JENNIFER", "MICHAEL", "LINDA", "DAVID", "ELIZABETH",
         "WILLIAM", "BARBARA", "RICHARD", "SUSAN", "JOSEPH", "JESSICA", "THOMAS", "SARAH", "CHARLES", "KAREN"]
STREETS = ["MAIN ST", "OAK AVE", "PINE RD", "MAPLE DR", "CEDAR LN", "ELM ST", "WASHINGTON BLVD", "LAKE RD"]
CITIES = ["SPRINGFIELD", "FRANKLIN", "GREENVILLE", "BRISTOL", "CLINTON", "FAIRVIEW", "SALEM", "MADISON"]
STATES = ["AL", "AZ", "CA", "CO", "CT", "FL", "GA", "IL", "IN", "MA", "MI", "NY", "OH", "PA", "TX", "WA"]
CLASSES = ["E", "A", "G", "T", "N", "P"]
LETTERS = "ABCDEFGHIJKLMNOPQRSTUVWXYZ"


def call(rng, i):
    prefix = rng.choice(["K", "W", "N", "A", "KA", "KB", "KC", "WA", "WB", "KD"])
    return "%s%d%s" % (prefix, i % 10, "".join(LETTERS[(i // 10 // 26 ** k) % 26] for k in range(3)))


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("rows", type=int)
    ap.add_argument("out")
    ap.add_argument("--seed", type=int, default=1)
    args = ap.parse_args()
    rng = random.Random(args.seed)
    with open(args.out, "w", encoding="latin-1", newline="") as f:
        f.write("CALL,LASTNAME,COUNTRY,FIRSTNAME,JPG,UNUSED,EFFECTIVE,EXPIRES,STREET,CITY,STATE,ZIP,CLASS,"
                "PREVCALL1,PREVCALL2,\n")
        batch = []
        for i in range(args.rows):
            last = rng.choice(LAST)
            first = rng.choice(FIRST)
            r = rng.random()
            if r < 0.05:
                last = '"%s, JR"' % last
            elif r < 0.07:
                first = '"%s ""%s"""' % (first, rng.choice(FIRST)[:3])
            elif r < 0.075:
                last = last[:-1] + "\xd6"
            year = rng.randint(1995, 2023)
            fields = [
                call(rng, i), last, str(rng.randint(1, 300)), first, "", "",
                "%d-%02d-%02d" % (year, rng.randint(1, 12), rng.randint(1, 28)),
                "%d-%02d-%02d" % (year + 10, rng.randint(1, 12), rng.randint(1, 28)),
                "%d %s" % (rng.randint(1, 9999), rng.choice(STREETS)), rng.choice(CITIES), rng.choice(STATES),
                "%05d" % rng.randint(501, 99950), rng.choice(CLASSES),
                call(rng, i + 7) if rng.random() < 0.3 else "", "",
            ]
            batch.append(",".join(fields) + ",\n")
            if len(batch) >= 10000:
                f.write("".join(batch))
                batch = []
        f.write("".join(batch))


if __name__ == "__main__":
    main()
