#!/usr/bin/env python3
"""kalvex-nullmodem without Wine: two suites at once in one prefix, each with
a cable of its own; every byte value through the cable both ways, exact; the
line as the console's end set it; a device pulled out and plugged in again;
nothing left in the prefix afterwards.

    nullmodem_test.py KALVEX_NULLMODEM_PROGRAM
"""
import os
import select
import subprocess
import sys
import tempfile
import termios
import time
import tty


def taken_as_terminal(path):
    """Whether a session leader without a terminal, as Wine's server is, makes
    the tty at path its own by opening it."""
    opener = ("import fcntl, os, struct, sys\n"
              "fd = os.open(sys.argv[1], os.O_RDWR | os.O_NONBLOCK)\n"
              "try:\n"
              "    sid = struct.unpack('i', fcntl.ioctl(fd, 0x5429, bytes(4)))[0]  # TIOCGSID\n"
              "except OSError:\n"
              "    sid = -1\n"
              "print('taken' if sid == os.getsid(0) else 'left')\n")
    result = subprocess.run([sys.executable, "-c", opener, path], start_new_session=True,
                            capture_output=True, text=True, check=True)
    return result.stdout.strip() == "taken"


def fail(what):
    print(f"FAIL: {what}", file=sys.stderr)
    sys.exit(1)


def request(line):
    folder = os.environ["KALVEX_NULLMODEM"][2:].replace("\\", "/")
    with open(f"{folder}/request", "w") as file:
        file.write(line + "\n")
    deadline = time.monotonic() + 10
    while not os.path.exists(f"{folder}/reply"):
        if time.monotonic() > deadline:
            fail(f"no answer to {line!r}")
        time.sleep(0.001)
    with open(f"{folder}/reply") as file:
        answer = file.read().split()
    os.remove(f"{folder}/reply")
    if answer[:1] != ["ok"]:
        fail(f"{line!r} answered {answer}")
    return answer[1:]


def open_port(dosdevices, port):
    fd = os.open(f"{dosdevices}/{port.lower()}", os.O_RDWR | os.O_NOCTTY | os.O_NONBLOCK)
    tty.setraw(fd)
    return fd


def transfer(source, target, data):
    """Writes data into source and reads it at target; what arrived."""
    sent, got = 0, bytearray()
    while len(got) < len(data):
        readable, writable, _ = select.select([target], [source] if sent < len(data) else [], [], 5)
        if not readable and not writable:
            break
        if writable:
            sent += os.write(source, data[sent:sent + 4096])
        if readable:
            got += os.read(target, 65536)
    return bytes(got)


def client(dosdevices, barrier, name):
    console, device = request("cable")
    # Both suites hold their cables before either goes on.
    open(f"{barrier}/{name}", "w").write(f"{console} {device}")
    while len(os.listdir(barrier)) < 2:
        time.sleep(0.01)
    console_fd, device_fd = open_port(dosdevices, console), open_port(dosdevices, device)
    # Wine's session leader must not take the pty as its terminal.
    if taken_as_terminal(f"{dosdevices}/{console.lower()}"):
        fail("a session leader that opens the console's end takes it as its terminal")

    data = bytes(range(256)) * 4096
    if transfer(device_fd, console_fd, data) != data:
        fail("device to console: not exact")
    if transfer(console_fd, device_fd, data[::-1]) != data[::-1]:
        fail("console to device: not exact")

    attributes = termios.tcgetattr(console_fd)
    attributes[4] = attributes[5] = termios.B9600
    attributes[2] = (attributes[2] & ~(termios.CSIZE | termios.PARENB | termios.CSTOPB)) | termios.CS8
    termios.tcsetattr(console_fd, termios.TCSANOW, attributes)
    if request(f"line {console}") != ["9600", "9600", "8", "0", "1", "0", "0"]:
        fail(f"line {console}: {request(f'line {console}')}")

    # Pulled out: the console's end hangs up and its COM port leads nowhere;
    # neither what the old console sent nor what the device sends into the
    # cut cable reaches the next one.
    os.write(console_fd, b"LAST")
    time.sleep(0.1)
    request(f"pull {console}")
    try:
        if os.read(console_fd, 16) != b"":
            fail("the console's end did not hang up")
    except OSError:
        pass
    os.close(console_fd)
    if os.path.lexists(f"{dosdevices}/{console.lower()}"):
        fail(f"{console} still leads somewhere after the pull")
    os.write(device_fd, b"lost")
    time.sleep(0.1)
    request(f"plug {console}")
    console_fd = open_port(dosdevices, console)
    if transfer(device_fd, console_fd, b"NEW") != b"NEW":
        fail("the plugged-in end got other bytes than the device's new ones")
    if select.select([device_fd], [], [], 0.2)[0]:
        fail(f"the new device got the old console's bytes: {os.read(device_fd, 16)}")
    request(f"free {console}")


def main():
    if sys.argv[1] == "--client":
        client(*sys.argv[2:5])
        return
    program = sys.argv[1]
    with tempfile.TemporaryDirectory() as prefix:
        dosdevices = f"{prefix}/dosdevices"
        barrier = f"{prefix}/barrier"
        os.mkdir(dosdevices)
        os.mkdir(barrier)
        suites = [subprocess.Popen([program, dosdevices, "--", sys.executable, __file__,
                                    "--client", dosdevices, barrier, name]) for name in "ab"]
        if any(suite.wait(timeout=60) != 0 for suite in suites):
            fail("a suite failed")
        ports = [open(f"{barrier}/{name}").read().split() for name in "ab"]
        if set(ports[0]) & set(ports[1]):
            fail(f"two suites share COM ports: {ports}")
        if os.listdir(dosdevices):
            fail(f"left in the prefix: {os.listdir(dosdevices)}")
    print("PASS")


main()
