"""The command protocol between the host and the guest, over one TCP
connection per command (QEMU forwards a loopback port into the guest).

The host sends one JSON line: {"op": "run", "argv", "cwd", "env", "display"},
{"op": "ping"} or {"op": "shutdown"}; while a command runs it may send
control lines ({"signal": N}). The guest answers with frames of one type byte
and a 4-byte big-endian length: stdout, stderr, keep-alive and, last, the end
as JSON ({"code": N}, {"signal": N} or {"error": text, "code": N})."""
import json
import struct

STDOUT, STDERR, ALIVE, END = b"o", b"e", b"k", b"x"
GUEST_PORT = 7000
# The guest sends a keep-alive at least this often while a command runs.
ALIVE_SECONDS = 5


def frame(kind, payload=b""):
    return kind + struct.pack(">I", len(payload)) + payload


def end_frame(**fields):
    return frame(END, json.dumps(fields).encode())


class FrameReader:
    """Splits the byte stream into (kind, payload) frames."""

    def __init__(self):
        self.buffer = b""

    def feed(self, data):
        self.buffer += data
        frames = []
        while len(self.buffer) >= 5:
            size = struct.unpack(">I", self.buffer[1:5])[0]
            if len(self.buffer) < 5 + size:
                break
            frames.append((self.buffer[:1], self.buffer[5:5 + size]))
            self.buffer = self.buffer[5 + size:]
        return frames
