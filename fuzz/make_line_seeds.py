#!/usr/bin/env python3
"""Writes the seeds of the line fuzzer (fuzz/corpus_line/): an instrument that answers every text
the session writes, in the input layout that fuzz/line_fuzz.cpp describes. Each seed connects and
runs one download to its pages; `mixed` also reads the setup and runs the maintenance commands, and
cuts its replies inside lines with delays. Check a seed with
    LINE_FUZZ_TRACE=1 build/fuzz/fuzz/line_fuzz fuzz/corpus_line/<seed>
which lists every text written and how the download ended (0 = complete)."""
import os

HERE = os.path.dirname(os.path.abspath(__file__))


def piece(data: bytes, last: bool, delay: int = 0) -> bytes:
    flags = (0x10 if last else 0) | (delay << 5)
    if len(data) < 15:
        return bytes([len(data) | flags]) + data
    assert 0 < len(data) < 256
    return bytes([15 | flags, len(data)]) + data


def reply(text: str, cut: int = 255, delay: int = 0) -> bytes:
    data = text.encode("latin-1")
    parts = [data[i:i + cut] for i in range(0, len(data), cut)] or [b""]
    return b"".join(piece(p, i == len(parts) - 1, delay if i else 0) for i, p in enumerate(parts))


def lines(*texts: str) -> str:
    return "".join(t + "\r\n" for t in texts)


IDENTITY = [lines("TBR4470 Rain"), lines("SN:00012345"), lines("V1.02"), lines("FWDATE:2024/01/15")]


def connect(auto_detect: bool = False) -> bytes:
    # the probe, the battery query, then the identity commands
    return bytes([1 if auto_detect else 0]) + reply(lines("TBR4470 Rain")) + reply(lines("2")) + \
        b"".join(reply(r) for r in IDENTITY)


def download(option: int, clear: bool) -> int:
    return 5 | (option << 3) | (0x20 if clear else 0)  # option: 0 new temperature, 1 old data, 2 cancel


def pointers(wr, rr, hr, wt, rt, ht, flags="00", **kw) -> bytes:
    # GET_TIP_VALUE, GET_UNIT, then the write, read and history pointers, then GET_FLAGS
    return b"".join(reply(lines(v), **kw) for v in ["0.200", "0", wr, rr, hr, wt, rt, ht, flags])


def rain_page(first: int) -> str:
    stamps = ["%08X" % (first + 60 * i) for i in range(20)]
    return lines(*(stamps + ["Z0", "Z1"] + ["FFFFFFFF"] * 43))


def temp_page(first: int) -> str:
    return lines("NUM T MEAS: 3", "%08X" % first, " 21.5", " ERR", " 21.3")


def write(name: str, data: bytes) -> None:
    os.makedirs(os.path.join(HERE, "corpus_line"), exist_ok=True)
    with open(os.path.join(HERE, "corpus_line", name), "wb") as f:
        f.write(data)


# New rain (pages 11, 12) and new temperature (pages 1459, 1460); the memory is cleared afterwards.
write("seed_new", connect() + bytes([download(0, True)]) + pointers("12", "10", "3", "1460", "1458", "1455") +
      reply(rain_page(0x0B5C2E41)) + reply(rain_page(0x0B5C3E41)) + reply(temp_page(0x0B5C2E41)) +
      reply(temp_page(0x0B5C3E41)) + reply(lines("OK")) + reply(lines("OK")))

# Nothing new: the options dialog offers only the old data, both memories wrapping (rain pages
# 1452 and 0, temperature pages 2000 and 1453).
write("seed_old", connect(True) + bytes([download(1, False)]) + pointers("0", "0", "1451", "1453", "1453", "1999") +
      reply(rain_page(0x0B5C0000)) + reply(rain_page(0x0B5C1000)) + reply(temp_page(0x0B5C0000)) +
      reply(temp_page(0x0B5C1000)))

# No new rain: only the new temperature page 1459, the memory kept.
write("seed_temp", connect() + bytes([download(0, False)]) + pointers("5", "5", "3", "1459", "1458", "1455") +
      reply(temp_page(0x0B5D0000)))

# The setup read, clearing the partial counter, erasing the memory, setting the serial number, then
# a download whose replies come in pieces of 7 bytes, 30 ms apart, with a refused rain page first.
setup = ["11", "10", "3", "1459", "1458", "1455", "0", "0", "TBR4470 Rain", "SN:00012345", "V1.02",
         "FWDATE:2024/01/15", "2024/03/01 12:00:00", "0", "0.200"]
write("seed_mixed", connect(True) + bytes([0]) + b"".join(reply(lines(v)) for v in setup) +
      bytes([1]) + reply(lines("OK")) + bytes([3]) + reply(lines("OK")) + reply(lines("OK")) +
      bytes([4]) + reply(lines("OK")) + bytes([download(0, False)]) +
      pointers("11", "10", "3", "1459", "1458", "1455", cut=7, delay=2) + reply(lines("?")) +
      reply(rain_page(0x0B5C2E41), cut=7, delay=2) + reply(temp_page(0x0B5C2E41), cut=7, delay=2))
