#!/usr/bin/env python3
"""Writes ZIP archives for the tests, byte by byte, so that every field can be made right or wrong.

Reads one JSON object on standard input:
  out        path of the archive to write
  writer     "raw" (default: our own writer, every field under control) or "zipfile" (Python's module,
             as a second, independent producer); "zipfile-streamed" writes to a pipe-like object, so
             entries get data descriptors
  stub       text written before the archive (a self-extracting stub)
  comment    archive comment (text); comment_len N makes one of N bytes
  trailing   N bytes of garbage after the end record
  end_patch  {"field": value} overrides in the end record: disk, dir_disk, entries_here, entries,
             dir_size, dir_offset
  entries    list of objects:
    name (text) or name_hex (raw bytes); data (text) with repeat N, or random N with seed S
    method 0 or 8; descriptor "none", "signed" or "unsigned"; utf8 (flag bit 11); encrypted (bit 0)
    made_by (default 0x031e: Unix), external (default 0o644 << 16), date_time [y, m, d, h, mi, s]
    crc_xor (spoil the CRC), declared_size (uncompressed size written in the headers)
    descriptor_crc_xor (spoil only the data descriptor), bad_deflate (invalid first block)
    local_name_len_delta, local_method (spoil the local header), alias_of (central entry pointing at
    an earlier entry's data)
"""
import json
import random
import struct
import sys
import zlib
import zipfile
import io


def entry_data(e):
    if "random" in e:
        rnd = random.Random(e.get("seed", 1))
        return bytes(rnd.getrandbits(8) for _ in range(e["random"]))
    return e.get("data", "").encode("utf-8") * e.get("repeat", 1)


def entry_name(e):
    if "name_hex" in e:
        return bytes.fromhex(e["name_hex"])
    return e["name"].encode("utf-8" if e.get("utf8") else "cp437")


def dos_datetime(dt):
    y, m, d, h, mi, s = dt
    return (h << 11) | (mi << 5) | (s // 2), ((y - 1980) << 9) | (m << 5) | d


def write_raw(recipe):
    stub = recipe.get("stub", "").encode()
    out = bytearray()
    central = []
    placed = []
    for e in recipe["entries"]:
        name = entry_name(e)
        if "alias_of" in e:
            c = placed[e["alias_of"]]
            central.append(struct.pack("<IHHHHHHIIIHHHHHII", 0x02014B50, c["made_by"], 20, c["flags"], c["method"],
                                       c["time"], c["date"], c["crc"], c["csize"], c["usize"], len(name), 0, 0,
                                       0, 0, c["external"], c["offset"]) + name)
            continue
        data = entry_data(e)
        method = e.get("method", 8)
        if method == 8:
            co = zlib.compressobj(6, zlib.DEFLATED, -15)
            comp = co.compress(data) + co.flush()
        else:
            comp = data
        if e.get("bad_deflate"):
            comp = bytes([0x07]) + comp[1:]
        crc = zlib.crc32(data) ^ e.get("crc_xor", 0)
        usize = e.get("declared_size", len(data))
        csize = len(comp)
        desc = e.get("descriptor", "none")
        flags = (8 if desc != "none" else 0) | (0x800 if e.get("utf8") else 0) | (1 if e.get("encrypted") else 0)
        t, d = dos_datetime(e.get("date_time", [2025, 6, 1, 12, 1, 24]))
        offset = len(out)
        lcrc, lcs, lus = (0, 0, 0) if desc != "none" else (crc, csize, usize)
        out += struct.pack("<IHHHHHIIIHH", 0x04034B50, 20, flags, e.get("local_method", method), t, d, lcrc, lcs,
                           lus, len(name) + e.get("local_name_len_delta", 0), 0) + name + comp
        dcrc = crc ^ e.get("descriptor_crc_xor", 0)
        if desc == "signed":
            out += struct.pack("<IIII", 0x08074B50, dcrc, csize, usize)
        elif desc == "unsigned":
            out += struct.pack("<III", dcrc, csize, usize)
        made_by = e.get("made_by", 0x031E)
        external = e.get("external", 0o644 << 16)
        placed.append(dict(made_by=made_by, flags=flags, method=method, time=t, date=d, crc=crc, csize=csize,
                           usize=usize, external=external, offset=offset))
        central.append(struct.pack("<IHHHHHHIIIHHHHHII", 0x02014B50, made_by, 20, flags, method, t, d, crc, csize,
                                   usize, len(name), 0, 0, 0, 0, external, offset) + name)
    cd = b"".join(central)
    comment = comment_bytes(recipe)
    end = dict(disk=0, dir_disk=0, entries_here=len(central), entries=len(central), dir_size=len(cd),
               dir_offset=len(out))
    end.update(recipe.get("end_patch", {}))
    out += cd + struct.pack("<IHHHHIIH", 0x06054B50, end["disk"], end["dir_disk"], end["entries_here"],
                            end["entries"], end["dir_size"], end["dir_offset"], len(comment)) + comment
    return stub + bytes(out)


def comment_bytes(recipe):
    if "comment_len" in recipe:
        return (b"0123456789abcdef" * (recipe["comment_len"] // 16 + 1))[: recipe["comment_len"]]
    return recipe.get("comment", "").encode()


class _Pipe:
    """A write-only stream that cannot seek, as a pipe: zipfile then writes data descriptors."""

    def __init__(self):
        self.buf = io.BytesIO()

    def write(self, b):
        return self.buf.write(b)

    def flush(self):
        pass


def write_zipfile(recipe, streamed):
    target = _Pipe() if streamed else io.BytesIO()
    with zipfile.ZipFile(target, "w") as zf:
        for e in recipe["entries"]:
            zi = zipfile.ZipInfo(e["name"], date_time=tuple(e.get("date_time", [2025, 6, 1, 12, 1, 24])))
            zi.compress_type = zipfile.ZIP_DEFLATED if e.get("method", 8) == 8 else zipfile.ZIP_STORED
            zi.external_attr = e.get("external", 0o644 << 16)
            with zf.open(zi, "w") as dst:
                dst.write(entry_data(e))
        zf.comment = comment_bytes(recipe)
    raw = target.buf.getvalue() if streamed else target.getvalue()
    return recipe.get("stub", "").encode() + raw


def main():
    recipe = json.load(sys.stdin)
    writer = recipe.get("writer", "raw")
    if writer == "raw":
        data = write_raw(recipe)
    else:
        data = write_zipfile(recipe, writer == "zipfile-streamed")
    data += b"\0" * recipe.get("trailing", 0)
    with open(recipe["out"], "wb") as f:
        f.write(data)


if __name__ == "__main__":
    main()
