#!/usr/bin/python3
"""A second register for the transfer benchmark, written apart from the
module and its emulator: it plays an ECR 465 over TCP for the PLU table
only, answering a table request (DRQ) with generated PLU records and taking
the records of a table sent to it (DTX), with the check bytes of the link
protocol. It shares no code with the programs it measures, so a figure that
both registers give is the module's and not an artefact of one register.

Usage: plain_register.py --plu-count N  (prints "listening on 127.0.0.1:PORT")
Serves one connection after another until it is ended by a signal.
"""
import argparse
import signal
import socket
import statistics
import sys
import time

ENQ, DTX, DRQ = 0xE9, 0xD3, 0xD7
ACK, REPEAT = 0x06, 0x15
END_FRAME = bytes([0xFF, 0xFF, 0x00, 0x02])
MODEL_CODE = 18
KEY_R = 0x10
PLU_RECORD_LENGTH = 47
# One PLU record as the register keeps it, less its check bytes: number,
# EAN code in packed decimal, name, price and the flags; the code and the
# name are made anew for every record.
TEMPLATE = bytes.fromhex(
    "01" "0008590000000015" "526F686CA16B20312020202020202020" "2020"
    "0000705000000000010201000000000000" "00")


def check_bytes(data):
    xor = 0
    for byte in data:
        xor ^= byte
    total = (sum(data) + xor) & 0xFF
    return bytes([xor, (-total) & 0xFF])


def framed(data):
    return bytes(data) + check_bytes(data)


def verified(frame):
    return len(frame) >= 2 and check_bytes(frame[:-2]) == frame[-2:]


def ean13(number):
    digits = f"{number:012d}"
    weighted = sum(int(d) * (3 if i % 2 else 1) for i, d in enumerate(digits))
    return digits + str((10 - weighted % 10) % 10)


def packed(digits, size):
    digits = digits.rjust(size * 2, "0")
    return bytes(int(digits[i:i + 2], 16) for i in range(0, len(digits), 2))


def plu_record(index):
    record = bytearray(TEMPLATE)
    record[0] = index % 250 + 1
    record[1:9] = packed(ean13(859000000000 + index), 8)
    record[9:27] = f"PLU {index:<14d}".encode("ascii")
    return framed(record)


class Line:
    """The connection, with the time each side took: from this register's
    send to the next frame read in full (the module's pause and whatever
    it adds) and from that read to the next send (this register's answer)."""

    def __init__(self, connection):
        self.connection = connection
        self.pending = b""
        self.last_send = self.last_read = None
        self.module_side, self.register_side = [], []

    def read(self, count):
        while len(self.pending) < count:
            chunk = self.connection.recv(65536)
            if not chunk:
                raise ConnectionError("closed")
            self.pending += chunk
        data, self.pending = self.pending[:count], self.pending[count:]
        self.last_read = time.perf_counter_ns()
        if self.last_send is not None:
            self.module_side.append(self.last_read - self.last_send)
            self.last_send = None
        return data

    def send(self, data):
        self.connection.sendall(data)
        self.last_send = time.perf_counter_ns()
        if self.last_read is not None:
            self.register_side.append(self.last_send - self.last_read)
            self.last_read = None

    def report(self):
        """One line on standard error, in microseconds: the module's side as
        median, mean and 99th percentile (the mean and the percentile show the
        tail of slow frames that the median hides), and this register's side as
        median and mean."""
        if len(self.module_side) < 10:
            return
        above = [gap / 1000 - 1000 for gap in self.module_side]
        median, mean = statistics.median(above), statistics.fmean(above)
        tail = statistics.quantiles(above, n=100)[98]
        register = statistics.median(self.register_side) / 1000
        register_mean = statistics.fmean(self.register_side) / 1000
        print(f"plain register: {median:.1f} us median, {mean:.1f} us mean, {tail:.1f} us 99th percentile "
              f"from its answer to the next frame above 1 ms; {register:.1f} us median, {register_mean:.1f} us mean "
              f"from a frame to its answer",
              file=sys.stderr, flush=True)


def send_table(line, records):
    line.send(framed([DRQ, KEY_R]))
    for record in records:
        while True:
            line.send(record)
            answer = line.read(4)
            if answer == END_FRAME:
                return
            if answer[1] != REPEAT:
                break
    line.send(END_FRAME)


def take_table(line):
    line.send(framed([DTX, KEY_R]))
    while True:
        head = line.read(4)
        if head == END_FRAME:
            return
        record = head + line.read(PLU_RECORD_LENGTH - 4)
        line.send(framed([DTX, ACK if verified(record) else REPEAT]))


def serve(connection, records):
    line = Line(connection)
    try:
        serve_line(line, records)
    finally:
        line.report()


def serve_line(line, records):
    while True:
        command = line.read(5)
        if not verified(command):
            continue
        if command[0] == ENQ:
            line.send(framed([MODEL_CODE, KEY_R]))
        elif command[0] == DRQ:
            send_table(line, records)
        elif command[0] == DTX:
            take_table(line)


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--plu-count", type=int, default=5000)
    options = parser.parse_args()
    records = [plu_record(i) for i in range(options.plu_count)]
    signal.signal(signal.SIGTERM, lambda *_: sys.exit(0))
    listener = socket.create_server(("127.0.0.1", 0))
    print(f"listening on 127.0.0.1:{listener.getsockname()[1]}", flush=True)
    while True:
        connection, _ = listener.accept()
        connection.setsockopt(socket.IPPROTO_TCP, socket.TCP_NODELAY, 1)
        try:
            serve(connection, records)
        except ConnectionError:
            pass
        finally:
            connection.close()


if __name__ == "__main__":
    main()
