#!/usr/bin/env python3
"""The host's side of the guest: starts it on first use (one per project
folder, shared by every command of a build or test run), forwards commands to
its server and stops it.

    vm.py start | stop | status | accel-line
    vm.py exec [--] PROGRAM ARGS...   (what tools/vm/exec runs)

A forwarded command ends on the host as it ended in the guest: same output,
same exit code, the same signal. What goes wrong with the guest itself ends
with exit code 125 and a message that starts with "vm:"."""
import fcntl
import json
import os
import signal
import socket
import subprocess
import sys
import time

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.dirname(os.path.dirname(HERE))
sys.path.insert(0, HERE)
from protocol import ALIVE, ALIVE_SECONDS, END, GUEST_PORT, STDERR, STDOUT, FrameReader  # noqa: E402

RUN = os.path.join(ROOT, ".deps", "vm", "run")
LAUNCHER_FAILED = 125
# Environment of the host that means nothing in the guest.
HOST_ONLY = {"PATH", "HOME", "PWD", "OLDPWD", "SHLVL", "_", "DISPLAY", "XAUTHORITY", "SHELL", "TERM", "MAIL",
             "LD_PRELOAD", "LD_LIBRARY_PATH", "XDG_RUNTIME_DIR", "DBUS_SESSION_BUS_ADDRESS", "WAYLAND_DISPLAY",
             "SSH_AUTH_SOCK", "SSH_CONNECTION", "SSH_CLIENT", "SSH_TTY", "TMUX", "PYTHONPATH", "PYTHONHOME",
             "MAKEFLAGS", "MFLAGS", "CCACHE_DIR", "CCACHE_BASEDIR", "LS_COLORS", "KW_WINE_VM_ACCEL"}


class GuestError(Exception):
    pass


KVM_UNUSABLE = os.path.join(ROOT, ".deps", "vm", "kvm-unusable")


def accel():
    """KVM where /dev/kvm opens and has not failed to boot the guest before;
    KW_WINE_VM_ACCEL=tcg forces software emulation."""
    if os.environ.get("KW_WINE_VM_ACCEL") == "tcg" or os.path.exists(KVM_UNUSABLE):
        return "tcg"
    return "kvm" if os.access("/dev/kvm", os.R_OK | os.W_OK) else "tcg"


def boot_timeout():
    # A KVM guest is up in seconds; one that is not up soon never will be
    # (nested KVM can open /dev/kvm and still run nothing).
    return float(os.environ.get("KW_WINE_VM_BOOT_TIMEOUT", "45" if accel() == "kvm" else "300"))


def silence_timeout():
    """How long a running command's guest may say nothing before it counts as stuck."""
    return float(os.environ.get("KW_WINE_VM_SILENCE_TIMEOUT", "120"))


def image_dir():
    out = subprocess.run(["bash", "-c", f"source {HERE}/config.sh; echo $kw_vm_image"], capture_output=True,
                         text=True, check=True).stdout.strip()
    if not os.path.isfile(os.path.join(out, "ready")):
        raise GuestError(f"the guest image {out} is not built: run tools/setup.sh with KW_WINE_VM=1")
    return out


def read(name):
    try:
        with open(os.path.join(RUN, name)) as f:
            return f.read().strip()
    except OSError:
        return ""


def qemu_alive():
    pid = read("qemu.pid")
    if not pid:
        return False
    try:
        os.kill(int(pid), 0)
    except (ProcessLookupError, ValueError):
        return False
    try:
        with open(f"/proc/{pid}/cmdline", "rb") as f:
            return b"kw-guest" in f.read()
    except OSError:
        return False


def connect(port, timeout=5):
    sock = socket.create_connection(("127.0.0.1", port), timeout=timeout)
    sock.setsockopt(socket.IPPROTO_TCP, socket.TCP_NODELAY, 1)
    return sock


def request(port, message, timeout=10):
    """One short exchange (ping, shutdown): the end frame's fields."""
    with connect(port, timeout) as sock:
        sock.settimeout(timeout)
        sock.sendall(json.dumps(message).encode() + b"\n")
        reader = FrameReader()
        while True:
            data = sock.recv(65536)
            if not data:
                raise ConnectionError("closed")
            for kind, payload in reader.feed(data):
                if kind == END:
                    return json.loads(payload)


def ping(port):
    try:
        request(port, {"op": "ping"}, timeout=5)
        return True
    except (OSError, ValueError):
        return False


def console_tail(lines=15):
    try:
        with open(os.path.join(RUN, "console.log"), errors="replace") as f:
            return "".join(f.readlines()[-lines:])
    except OSError:
        return "(no console output)"


def free_port():
    with socket.socket() as sock:
        sock.bind(("127.0.0.1", 0))
        return sock.getsockname()[1]


def qemu_command(image, port):
    user = os.environ.get("USER") or subprocess.run(["id", "-un"], capture_output=True, text=True).stdout.strip()
    append = ["root=/dev/vda", "rw", "console=ttyS0", "panic=1", "quiet", "init=/sbin/kw-init",
              f"kw.init={HERE}/init", f"kw.share={ROOT}", "kw.tmp=1",
              f"kw.user={user}:{os.getuid()}:{os.getgid()}",
              f"kw.idle={int(os.environ.get('KW_WINE_VM_IDLE_SECONDS', '1800'))}"]
    memory = os.environ.get("KW_WINE_VM_MEMORY_MIB", "6144")
    # The same processor under both: "-cpu max" crashes Wine under TCG, and
    # "-cpu host" can fail on nested KVM (an MSR it cannot set).
    cpu = ["-cpu", "qemu64,+ssse3,+sse4.1,+sse4.2,+popcnt,+cx16"]
    if accel() == "kvm":
        machine = ["-accel", "kvm", "-smp", "2", *cpu]
    else:
        # Multi-threaded TCG crashed the guest's kernel (text patching).
        machine = ["-accel", "tcg,thread=single", "-smp", "1", *cpu]
    share = "local,security_model=none,multidevs=remap"
    return ["qemu-system-x86_64", "-name", "kw-guest", "-machine", "q35", *machine, "-m", memory,
            "-display", "none", "-monitor", "none", "-serial", f"file:{RUN}/console.log", "-no-reboot",
            "-kernel", f"{image}/vmlinuz", "-initrd", f"{image}/initrd.img", "-append", " ".join(append),
            "-drive", f"file={image}/root.img,if=virtio,format=raw,snapshot=on",
            "-virtfs", f"{share},path={ROOT},mount_tag=kwshare0",
            "-object", f"memory-backend-memfd,id=mem,size={memory}M,share=on", "-numa", "node,memdev=mem",
            *file_system_devices(),
            "-netdev", f"user,id=net0,restrict=on,hostfwd=tcp:127.0.0.1:{port}-:{GUEST_PORT}",
            "-device", "virtio-net-pci,netdev=net0"]


# The shares Wine runs from: virtio-fs, one daemon each (the 9p share above
# only carries the guest's init).
SHARES = (("kwfs0", ROOT), ("kwfs1", "/tmp"))


def virtiofsd():
    for path in ("/usr/lib/qemu/virtiofsd", "/usr/libexec/virtiofsd"):
        if os.access(path, os.X_OK):
            return path
    raise GuestError("virtiofsd is missing (Debian's qemu-system-common ships it): run tools/setup.sh")


def file_system_devices():
    devices = []
    for tag, _ in SHARES:
        devices += ["-chardev", f"socket,id={tag},path={RUN}/{tag}.sock",
                    "-device", f"vhost-user-fs-pci,chardev={tag},tag={tag},event_idx=off"]
    return devices


def start_file_systems():
    """One virtiofsd per share; each ends by itself when QEMU lets go of it.
    cache=auto: "none" opens files for direct I/O, where Wine's shared writable
    mappings (resource updates) fail; "auto" still rereads what changed."""
    daemon = virtiofsd()
    sudo = [] if os.getuid() == 0 else ["sudo", "-n"]
    for tag, path in SHARES:
        socket_path = os.path.join(RUN, f"{tag}.sock")
        try:
            os.unlink(socket_path)
        except OSError:
            pass
        with open(os.path.join(RUN, f"{tag}.log"), "wb") as log:
            subprocess.Popen([*sudo, daemon, f"--socket-path={socket_path}", "-o", f"source={path}", "-o", "cache=auto",
                              "-o", "no_posix_lock", "--thread-pool-size=0"], stdin=subprocess.DEVNULL, stdout=log, stderr=subprocess.STDOUT,
                             start_new_session=True)
    deadline = time.monotonic() + 10
    for tag, _ in SHARES:
        socket_path = os.path.join(RUN, f"{tag}.sock")
        while not os.path.exists(socket_path):
            if time.monotonic() > deadline:
                raise GuestError(f"virtiofsd did not open {socket_path}:\n"
                                 f"{open(os.path.join(RUN, f'{tag}.log'), errors='replace').read()[-800:]}")
            time.sleep(0.05)


def running_port():
    port = read("port")
    if port and qemu_alive() and ping(int(port)):
        return int(port)
    return None


def start(quiet=False):
    """The port of a running guest, booting one if there is none."""
    os.makedirs(RUN, exist_ok=True)
    with open(os.path.join(RUN, "lock"), "w") as lock:
        fcntl.flock(lock, fcntl.LOCK_EX)
        port = running_port()
        if port:
            return port
        stop_qemu()
        try:
            return boot(quiet)
        except GuestError as error:
            if accel() != "kvm" or os.environ.get("KW_WINE_VM_ACCEL") == "kvm":
                raise
            with open(KVM_UNUSABLE, "w") as f:
                f.write(f"{error}\n")
            print(f"vm: KVM cannot run the guest here; using TCG from now on ({KVM_UNUSABLE})", file=sys.stderr)
            return boot(quiet)


def boot(quiet):
    image = image_dir()
    port = free_port()
    begun = time.monotonic()
    start_file_systems()
    with open(os.path.join(RUN, "qemu.log"), "wb") as log:
        qemu = subprocess.Popen(qemu_command(image, port), stdin=subprocess.DEVNULL, stdout=log,
                                stderr=subprocess.STDOUT, start_new_session=True)
    with open(os.path.join(RUN, "qemu.pid"), "w") as f:
        f.write(str(qemu.pid))
    with open(os.path.join(RUN, "port"), "w") as f:
        f.write(str(port))
    deadline = begun + boot_timeout()
    while True:
        if qemu.poll() is not None:
            raise GuestError(f"the guest ended while booting (exit code {qemu.returncode}):\n"
                             f"{open(os.path.join(RUN, 'qemu.log'), errors='replace').read()[-1500:]}"
                             f"{console_tail()}")
        if ping(port):
            break
        if time.monotonic() > deadline:
            stop_qemu()
            raise GuestError(f"the guest did not answer within {boot_timeout():.0f} s of booting "
                             f"(KW_WINE_VM_BOOT_TIMEOUT); its console ended with:\n{console_tail()}")
        time.sleep(0.3)
    seconds = time.monotonic() - begun
    with open(os.path.join(RUN, "boot-seconds"), "w") as f:
        f.write(f"{seconds:.1f}\n")
    if not quiet:
        print(f"vm: guest up in {seconds:.1f} s ({accel()})", file=sys.stderr)
    return port


def stop_qemu():
    pid = read("qemu.pid")
    if not pid or not qemu_alive():
        return
    try:
        os.kill(int(pid), signal.SIGTERM)
    except ProcessLookupError:
        return
    for _ in range(100):
        if not qemu_alive():
            return
        time.sleep(0.1)
    os.kill(int(pid), signal.SIGKILL)


def stop():
    port = read("port")
    if port and qemu_alive():
        try:
            request(int(port), {"op": "shutdown"}, timeout=10)
        except (OSError, ValueError):
            pass
        for _ in range(150):
            if not qemu_alive():
                break
            time.sleep(0.1)
    stop_qemu()
    for name in ("port", "qemu.pid"):
        try:
            os.unlink(os.path.join(RUN, name))
        except OSError:
            pass


def forward(argv):
    """Runs argv in the guest; the exit code (or the signal) it ended with."""
    port = running_port_fast()
    if port is None:
        port = start(quiet=True)
    env = {k: v for k, v in os.environ.items() if k not in HOST_ONLY}
    message = {"op": "run", "argv": argv, "cwd": os.getcwd(), "env": env, "display": "DISPLAY" in os.environ}
    try:
        sock = connect(port)
    except OSError:
        port = start(quiet=True)
        sock = connect(port)
    sock.settimeout(silence_timeout())
    sock.sendall(json.dumps(message).encode() + b"\n")

    def pass_on(number, _frame):
        try:
            sock.sendall(json.dumps({"signal": number}).encode() + b"\n")
        except OSError:
            pass

    for number in (signal.SIGTERM, signal.SIGINT, signal.SIGHUP):
        signal.signal(number, pass_on)
    reader = FrameReader()
    out, err = sys.stdout.buffer, sys.stderr.buffer
    while True:
        try:
            data = sock.recv(65536)
        except socket.timeout:
            raise GuestError(f"the guest said nothing for {silence_timeout():.0f} s while running {argv[0]} "
                             f"(KW_WINE_VM_SILENCE_TIMEOUT); it counts as stuck") from None
        except OSError as error:
            raise GuestError(f"the connection to the guest broke while running {argv[0]}: {error}") from None
        if not data:
            alive = "" if qemu_alive() else "; the guest is gone:\n" + console_tail()
            raise GuestError(f"the guest closed the connection while running {argv[0]}{alive}")
        for kind, payload in reader.feed(data):
            if kind == STDOUT:
                out.write(payload)
                out.flush()
            elif kind == STDERR:
                err.write(payload)
                err.flush()
            elif kind == END:
                result = json.loads(payload)
                if "error" in result:
                    raise GuestError(result["error"])
                if "signal" in result:
                    return -int(result["signal"])
                return int(result["code"])
            elif kind != ALIVE:
                raise GuestError(f"unknown frame {kind!r} from the guest")


def running_port_fast():
    """The port of the guest if its process lives; the connection tells the rest."""
    port = read("port")
    return int(port) if port and qemu_alive() else None


def main(args):
    try:
        if not args or args[0] in ("-h", "--help"):
            print(__doc__)
            return 0
        if args[0] == "start":
            start()
            return 0
        if args[0] == "stop":
            stop()
            return 0
        if args[0] == "accel-line":
            print("KVM, or TCG software emulation where KVM cannot boot it" if accel() == "kvm"
                  else "TCG software emulation: slow")
            return 0
        if args[0] == "status":
            port = running_port()
            print(f"running on port {port}" if port else "not running")
            return 0 if port else 1
        if args[0] == "exec":
            argv = args[1:]
            if argv and argv[0] == "--":
                argv = argv[1:]
            if not argv:
                raise GuestError("exec needs a program")
            code = forward(argv)
            if code < 0:
                sys.stdout.flush()
                signal.signal(-code, signal.SIG_DFL)
                os.kill(os.getpid(), -code)
                return 128 - code
            return code
        raise GuestError(f"unknown command {args[0]}")
    except GuestError as error:
        print(f"vm: {error}", file=sys.stderr)
        return LAUNCHER_FAILED


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
