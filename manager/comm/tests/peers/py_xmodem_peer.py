#!/usr/bin/python3
"""python3-xmodem as an independent XMODEM-CRC peer on stdin/stdout.

usage: py_xmodem_peer.py send FILE | recv FILE
Exit status 0 when the library reports success.
"""
import logging
import os
import select
import sys
import time

from xmodem import XMODEM

logging.basicConfig(level=logging.CRITICAL)


def getc(size, timeout=30):
    data = b""
    end = time.monotonic() + timeout
    while len(data) < size:
        left = end - time.monotonic()
        if left <= 0:
            return None
        ready, _, _ = select.select([0], [], [], left)
        if not ready:
            return None
        chunk = os.read(0, size - len(data))
        if not chunk:
            return None
        data += chunk
    return data


def putc(data, timeout=30):
    view = memoryview(data)
    while view:
        n = os.write(1, view)
        view = view[n:]
    return len(data)


def main():
    mode, path = sys.argv[1], sys.argv[2]
    modem = XMODEM(getc, putc, pad=b"\x1a")
    if mode == "send":
        with open(path, "rb") as f:
            ok = modem.send(f, retry=16, timeout=10, quiet=True)
    else:
        with open(path, "wb") as f:
            ok = modem.recv(f, crc_mode=1, retry=16, timeout=10, delay=1, quiet=True)
        ok = ok is not None
    sys.exit(0 if ok else 1)


if __name__ == "__main__":
    main()
