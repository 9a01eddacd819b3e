#!/usr/bin/env python3
"""The guest's command server: runs what the host forwards (working folder,
argv, environment; stdin empty), streams stdout and stderr back and ends with
the exit code or the signal. One connection per command, any number at once.
It powers the guest off when asked to, or after an idle time with no command."""
import json
import os
import pwd
import selectors
import signal
import socket
import subprocess
import sys
import threading
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from protocol import ALIVE, ALIVE_SECONDS, END, GUEST_PORT, STDERR, STDOUT, end_frame, frame  # noqa: E402

USER = os.environ.get("KW_GUEST_USER", "root")
IDLE_SECONDS = int(os.environ.get("KW_GUEST_IDLE_SECONDS", "1800"))
GUEST_ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))

state = threading.Lock()
active = 0
last_activity = time.monotonic()
display = None
display_lock = threading.Lock()


def log(text):
    print(f"kw-server: {text}", file=sys.stderr, flush=True)


def guest_display():
    """The guest's one X server (started on first use), as ":N"."""
    global display
    with display_lock:
        if display is None:
            read, write = os.pipe()
            subprocess.Popen(["Xvfb", "-displayfd", str(write), "-screen", "0", "1280x800x24", "-nolisten", "tcp"],
                             pass_fds=(write,), stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                             stderr=open("/run/kw-xvfb.log", "ab"), start_new_session=True)
            os.close(write)
            number = b""
            while not number.endswith(b"\n"):
                chunk = os.read(read, 16)
                if not chunk:
                    break
                number += chunk
            os.close(read)
            if not number.strip():
                raise RuntimeError("Xvfb did not start: " + open("/run/kw-xvfb.log", errors="replace").read()[-500:])
            display = ":" + number.decode().strip()
            log(f"X display {display}")
        return display


def command_env(request):
    account = pwd.getpwnam(USER)
    env = dict(request.get("env", {}))
    for name in ("KW_WINE_VM", "KW_WINE_VM_ACCEL"):
        env.pop(name, None)
    for name, value in list(env.items()):
        # Only the C locales exist in the guest; UTF-8 stays UTF-8.
        if (name == "LANG" or name.startswith("LC_")) and value not in ("C", "POSIX"):
            env[name] = "C.UTF-8" if "utf" in value.lower() else "C"
    env.update(PATH="/usr/local/bin:/usr/bin:/bin:/usr/sbin:/sbin", HOME=account.pw_dir, USER=USER,
               LOGNAME=USER, KW_IN_GUEST="1")
    if request.get("display"):
        env["DISPLAY"] = guest_display()
    return env, account


def serve(connection):
    global active, last_activity
    with state:
        active += 1
    try:
        handle(connection)
    except Exception as error:  # the host is told, the server goes on
        try:
            connection.sendall(end_frame(error=f"guest server: {error!r}", code=125))
        except OSError:
            pass
    finally:
        connection.close()
        with state:
            active -= 1
            last_activity = time.monotonic()


def read_line(connection):
    data = b""
    while not data.endswith(b"\n"):
        chunk = connection.recv(65536)
        if not chunk:
            raise ConnectionError("the host closed the connection")
        data += chunk
    line, _, rest = data.partition(b"\n")
    return json.loads(line), rest


def handle(connection):
    request, rest = read_line(connection)
    op = request.get("op")
    if op == "ping":
        connection.sendall(end_frame(code=0, user=USER))
        return
    if op == "shutdown":
        connection.sendall(end_frame(code=0))
        os.kill(os.getpid(), signal.SIGTERM)
        return
    env, account = command_env(request)
    argv = request["argv"]
    cwd = request.get("cwd") or "/"
    if not os.path.isdir(cwd):
        connection.sendall(frame(STDERR, f"vm: the working folder {cwd} is not shared with the guest; running in /\n"
                                 .encode()))
        cwd = "/"

    def become_user():
        os.setsid()
        if account.pw_uid != os.getuid():
            os.setgroups([])
            os.setgid(account.pw_gid)
            os.setuid(account.pw_uid)

    try:
        child = subprocess.Popen(argv, cwd=cwd, env=env, stdin=subprocess.DEVNULL, stdout=subprocess.PIPE,
                                 stderr=subprocess.PIPE, preexec_fn=become_user, close_fds=True)
    except FileNotFoundError:
        connection.sendall(frame(STDERR, f"{argv[0]}: command not found\n".encode()) + end_frame(code=127))
        return
    except PermissionError as error:
        connection.sendall(frame(STDERR, f"{argv[0]}: {error.strerror}\n".encode()) + end_frame(code=126))
        return
    pump(connection, child, rest)


def pump(connection, child, control):
    selector = selectors.DefaultSelector()
    exited = os.pidfd_open(child.pid)
    streams = {child.stdout.fileno(): STDOUT, child.stderr.fileno(): STDERR}
    for fd in streams:
        os.set_blocking(fd, False)
        selector.register(fd, selectors.EVENT_READ)
    selector.register(connection, selectors.EVENT_READ)
    selector.register(exited, selectors.EVENT_READ)
    host_gone = False
    last_sent = time.monotonic()

    def forward(fd):
        try:
            data = os.read(fd, 65536)
        except BlockingIOError:
            return True
        if not data:
            selector.unregister(fd)
            return False
        connection.sendall(frame(streams[fd], data))
        return True

    def control_lines(data):
        nonlocal control
        control += data
        while b"\n" in control:
            line, _, control = control.partition(b"\n")
            message = json.loads(line)
            if "signal" in message:
                try:
                    os.kill(child.pid, int(message["signal"]))
                except ProcessLookupError:
                    pass

    if control:
        control, pending = b"", control
        control_lines(pending)
    while True:
        events = selector.select(timeout=ALIVE_SECONDS)
        ended = False
        for key, _ in events:
            if key.fileobj is connection:
                data = connection.recv(4096)
                if not data:
                    # The host side was killed: so is the command.
                    host_gone = True
                    selector.unregister(connection)
                    try:
                        os.kill(child.pid, signal.SIGKILL)
                    except ProcessLookupError:
                        pass
                else:
                    control_lines(data)
            elif key.fileobj == exited:
                ended = True
            else:
                forward(key.fileobj)
        if ended:
            break
        if not host_gone and time.monotonic() - last_sent >= ALIVE_SECONDS:
            connection.sendall(frame(ALIVE))
            last_sent = time.monotonic()
    child.wait()
    # What the command wrote before it ended, without waiting for programs it
    # left running that hold the same pipes (Wine's services do).
    deadline = time.monotonic() + 0.5
    while time.monotonic() < deadline and any(fd in streams for fd in selector.get_map()):
        progress = False
        for key, _ in selector.select(timeout=0.05):
            if key.fileobj in streams:
                progress = forward(key.fileobj) or progress
        if not progress:
            break
    selector.close()
    os.close(exited)
    child.stdout.close()
    child.stderr.close()
    if host_gone:
        return
    code = child.returncode
    connection.sendall(end_frame(signal=-code) if code < 0 else end_frame(code=code))


def idle_watch():
    while True:
        time.sleep(30)
        with state:
            idle = active == 0 and time.monotonic() - last_activity > IDLE_SECONDS
        if idle:
            log(f"idle for {IDLE_SECONDS} s: powering off")
            os.kill(os.getpid(), signal.SIGTERM)


def main():
    signal.signal(signal.SIGTERM, lambda *_: os._exit(0))
    signal.signal(signal.SIGCHLD, signal.SIG_DFL)
    listener = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
    listener.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
    listener.bind(("0.0.0.0", GUEST_PORT))
    listener.listen(64)
    threading.Thread(target=idle_watch, daemon=True).start()
    log(f"ready on port {GUEST_PORT} as {USER}")
    while True:
        connection, _ = listener.accept()
        connection.setsockopt(socket.IPPROTO_TCP, socket.TCP_NODELAY, 1)
        threading.Thread(target=serve, args=(connection,), daemon=True).start()


if __name__ == "__main__":
    main()
