"""A person at the desktop under Xvfb: windows found by title, the mouse and
keys through xdotool, screenshots through ImageMagick, the clipboard through
xclip, and a Wine prefix made fresh for one run."""
import atexit
import os
import subprocess
import tempfile
import time

ROOT = os.path.abspath(os.path.join(os.path.dirname(__file__), "..", ".."))
WINE_TOOLS = os.path.join(ROOT, "tools", "wine")
QUIET = dict(stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
# Wine runs in the software-emulated guest (tools/vm) when the commands are
# forwarded there (KW_WINE_VM=1) or this script runs in the guest itself.
FORWARDED = os.environ.get("KW_WINE_VM") == "1"
# There it is 20 to 30 times slower: every wait for the program lasts this
# many times longer.
SLOWDOWN = 6 if FORWARDED or os.environ.get("KW_IN_GUEST") == "1" else 1


def patience(seconds):
    return seconds * SLOWDOWN


class Prefix:
    """A fresh Wine prefix under `root` (64-bit unless arch says win32)."""

    def __init__(self, root, arch="win64", dpi=96):
        # Wine wants an absolute prefix.
        self.env = dict(os.environ, KW_WINE_PREFIX_ROOT=os.path.abspath(root), KW_WINE_ARCH=arch)
        self.env.pop("WINEDEBUG", None)
        out = subprocess.run(["bash", "-c", f"source {WINE_TOOLS}/env.sh; env"], env=self.env,
                             capture_output=True, text=True, check=True).stdout
        for line in out.splitlines():
            if line.startswith(("WINEPREFIX=", "WINEDEBUG=", "WINEDLLOVERRIDES=")):
                key, value = line.split("=", 1)
                self.env[key] = value
        self.path = self.env["WINEPREFIX"]
        subprocess.run(["rm", "-rf", self.path, self.path + ".lock"], check=True)
        subprocess.run([os.path.join(WINE_TOOLS, "prefix")], env=self.env, check=True, stdin=subprocess.DEVNULL,
                       stdout=subprocess.DEVNULL)
        # The server and Wine's services (explorer, services, plugplay...) live
        # as long as the prefix and keep the output of whoever started them:
        # started here they hold nothing of the caller's (ctest would wait for
        # its pipe until they end).
        subprocess.run(["wineserver", "-p"], env=self.env, **QUIET)
        subprocess.run(["wine", "cmd", "/c", "exit"], env=self.env, timeout=120, **QUIET)
        if dpi != 96:
            self.wine("reg", "add", r"HKCU\Control Panel\Desktop", "/v", "LogPixels", "/t", "REG_DWORD",
                      "/d", str(dpi), "/f")

    def wine(self, *args, check=True, timeout=120):
        """Runs a Wine program to its end; its output goes through files, never
        through a pipe a child of it could keep open."""
        with tempfile.TemporaryFile() as out, tempfile.TemporaryFile() as err:
            done = subprocess.run(["wine", *args], env=self.env, stdin=subprocess.DEVNULL, stdout=out, stderr=err,
                                  timeout=timeout)
            out.seek(0)
            err.seek(0)
            done.stdout, done.stderr = out.read(), err.read()
        if check:
            done.check_returncode()
        return done

    def start(self, *args, env=None):
        return subprocess.Popen(["wine", *args], env=dict(self.env, **(env or {})), **QUIET)

    def c_drive(self, windows_path):
        assert windows_path[1:3] == ":\\"
        return os.path.join(self.path, "drive_c", *windows_path[3:].split("\\"))

    def stop(self):
        """Ends every process of the prefix and its server."""
        subprocess.run(["wineserver", "-k"], env=self.env, **QUIET)
        subprocess.run(["wineserver", "-w"], env=self.env, timeout=60, **QUIET)


def where_wine_runs(*args, **kwargs):
    """Runs a command on the machine Wine runs on. A volume for Wine has to be
    mounted there: the guest sees a volume mounted here as part of the shared
    folder, with the shared folder's size."""
    command = [os.path.join(ROOT, "tools", "vm", "exec"), *args] if FORWARDED else list(args)
    return subprocess.run(command, **kwargs)


def xdo(*args):
    return subprocess.run(["xdotool", *[str(a) for a in args]], capture_output=True, text=True).stdout


def find_window(title, timeout=30):
    end = time.time() + patience(timeout)
    while time.time() < end:
        ids = xdo("search", "--onlyvisible", "--name", title).split()
        if ids:
            return ids[0]
        time.sleep(0.1)
    return None


def window_gone(window):
    return window not in xdo("search", "--onlyvisible", "--name", ".").split()


def is_mapped(window):
    out = subprocess.run(["xwininfo", "-id", window], capture_output=True, text=True).stdout
    return "IsViewable" in out


def geometry(window):
    values = {}
    for line in xdo("getwindowgeometry", "--shell", window).splitlines():
        key, _, value = line.partition("=")
        values[key] = int(value)
    return values["X"], values["Y"], values["WIDTH"], values["HEIGHT"]


class Window:
    """A window at scale `scale`, clicked at unscaled client points."""

    def __init__(self, window, scale):
        self.id = window
        self.scale = scale

    def point(self, x, y):
        return round(x * self.scale), round(y * self.scale)

    def click(self, x, y):
        px, py = self.point(x, y)
        xdo("mousemove", "--window", self.id, px, py)
        time.sleep(0.1)
        xdo("click", 1)
        time.sleep(0.3)

    def keys(self, *keys):
        xdo("key", "--clearmodifiers", *keys)
        time.sleep(0.2)

    def type(self, text):
        xdo("type", "--delay", 30, text)
        time.sleep(0.3)

    def replace_text(self, x, y, text):
        """Clicks the field at (x, y), clears it and types text."""
        self.click(x, y)
        self.keys("ctrl+a")
        self.keys("BackSpace")
        self.type(text)


def wait_or_kill(process, timeout):
    """The exit code, or None (and the process killed) after timeout seconds."""
    try:
        return process.wait(timeout=patience(timeout))
    except subprocess.TimeoutExpired:
        process.kill()
        return None


def clipboard():
    """The clipboard's text up to its first NUL (Wine hands over the whole
    memory block of CF_UNICODETEXT, terminator and what follows included)."""
    text = subprocess.run(["xclip", "-o", "-selection", "clipboard"], capture_output=True, text=True).stdout
    return text.split("\0", 1)[0]


_clipboard_owners = []


def take_clipboard():
    """Takes the clipboard back from the program (a Wine program that still
    owns it when it ends does not end). xclip serves the selection until the
    script ends: in the foreground, so that it is ours to end, and with none of
    the script's output."""
    owner = subprocess.Popen(["xclip", "-quiet", "-selection", "clipboard"], stdin=subprocess.PIPE,
                             stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    owner.stdin.close()
    _clipboard_owners.append(owner)
    end = time.time() + 5
    while time.time() < end and clipboard() != "":
        time.sleep(0.1)


@atexit.register
def _end_clipboard_owners():
    for owner in _clipboard_owners:
        owner.terminate()
        owner.wait(timeout=5)


class Shot:
    """A screenshot of the whole screen as RGB rows."""

    def __init__(self, path=None):
        raw = subprocess.run(["import", "-window", "root", "-depth", "8", "rgb:-"], capture_output=True,
                             check=True).stdout
        self.width, self.height = 1280, 800
        assert len(raw) == self.width * self.height * 3, len(raw)
        self.raw = raw
        if path:
            subprocess.run(["convert", "-size", f"{self.width}x{self.height}", "-depth", "8", "rgb:-", path],
                           input=raw, check=True)

    def pixel(self, x, y):
        at = (y * self.width + x) * 3
        return tuple(self.raw[at:at + 3])

    def region(self, x, y, cx, cy):
        return [self.raw[((y + row) * self.width + x) * 3:((y + row) * self.width + x + cx) * 3] for row in range(cy)]


def differing_fraction(a, b):
    total = differ = 0
    for row_a, row_b in zip(a, b):
        for i in range(0, len(row_a), 3):
            total += 1
            if sum(abs(row_a[i + k] - row_b[i + k]) for k in range(3)) > 30:
                differ += 1
    return differ / max(total, 1)
