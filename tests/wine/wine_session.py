#!/usr/bin/env python3
"""End-to-end runs of the shipped 32-bit Windows programs under Wine, on a virtual X display.

wine64 keeps a 64-bit prefix and hands each PE32 program (the package, the screen saver, the probe)
to Wine's 32-bit loader. Without that loader (Debian's wine32:i386) or without a kernel that starts
i386 programs, `start` fails and says which is missing: the suite never passes on 64-bit stand-ins.

One session (Xvfb, a fresh WINEPREFIX in the build tree, a persistent wineserver) serves every
test of a ctest run: `start` sets it up, `stop` takes it down, and each other command is one test:

  install-registered  Yes to both questions: files, system.ini, registry and the live setting
  install-declined    No to the install question: nothing written
  package-cut-short   a package without its second marker: the error box and exit code 1
  saver-runs          the installed screen saver, full screen, until a real key press or mouse move
  saver-modes         its settings box (/c), its preview (/p) in a frame of ours, and /p without window
  lz-interop          payloads of the packer, expanded by Wine's LZ32, give back the originals

Every message box is read through wine_probe (its text, buttons and icon), captured as a PNG and
answered from the keyboard with xdotool.
"""
import argparse
import json
import os
import random
import shutil
import signal
import subprocess
import sys
import tempfile
import time

CAPTION_FORMAT = "{} Bildschirmschoner"
MARKER = bytes(range(256))
MARKER_SEARCH_START = 40001
SZDD_MAGIC = b"SZDD\x88\xf0\x27\x33"
SCREEN = (1024, 768)


class Failure(Exception):
    pass


def check(condition, message):
    if not condition:
        raise Failure(message)


def log(message):
    print(message, flush=True)


# --- the session -------------------------------------------------------------------------------

class Session:
    """Xvfb, the prefix and the paths of the tools, as `start` recorded them."""

    def __init__(self, directory):
        self.directory = directory
        with open(os.path.join(directory, "session.json")) as state:
            self.state = json.load(state)
        self.prefix = self.state["prefix"]
        self.windows = os.path.join(self.prefix, "drive_c", "windows")

    def x_env(self):
        env = dict(os.environ)
        env["DISPLAY"] = self.state["display"]
        return env

    def wine_env(self):
        env = wine_environment(self.prefix, self.state["display"])
        return env

    def wine(self, *args, timeout=60, check_exit=True):
        """Runs a Windows program to its end and returns its standard output."""
        returncode, out, err = run_detached([self.state["wine"], *args], self.wine_env(), timeout)
        if check_exit and returncode != 0:
            raise Failure(f"wine {' '.join(args)} exited {returncode}: {err.decode(errors='replace')}")
        return out.decode("utf-8", errors="replace").replace("\r\n", "\n")

    def start_program(self, args, log_name):
        out = open(os.path.join(self.directory, log_name), "wb")
        return subprocess.Popen([self.state["wine"], *args], env=self.wine_env(), stdin=subprocess.DEVNULL,
                                stdout=out, stderr=subprocess.STDOUT)

    def probe(self, *args, timeout=30):
        return self.wine(self.state["probe"], *args, timeout=timeout).strip()

    def x(self, *args, timeout=15, check_exit=True):
        result = subprocess.run(list(args), env=self.x_env(), capture_output=True, text=True, timeout=timeout)
        if check_exit and result.returncode != 0:
            raise Failure(f"{' '.join(args)} exited {result.returncode}: {result.stderr}")
        return result.stdout

    def visible_windows(self, name):
        result = subprocess.run(["xdotool", "search", "--onlyvisible", "--name", f"^{name}$"], env=self.x_env(),
                                capture_output=True, text=True, timeout=15)
        return [int(line) for line in result.stdout.split()]

    def geometry(self, window):
        fields = dict(line.split("=", 1) for line in self.x("xdotool", "getwindowgeometry", "--shell",
                                                           str(window)).split())
        return int(fields["X"]), int(fields["Y"]), int(fields["WIDTH"]), int(fields["HEIGHT"])

    def capture(self, window, path):
        os.makedirs(os.path.dirname(path), exist_ok=True)
        self.x("import", "-window", hex(window) if window != "root" else "root", path, timeout=30)
        log(f"captured {path}")


def run_detached(command, env, timeout):
    """Runs a command with its output in files, not pipes: a Wine service that it may start lives
    on, and would hold a pipe (ours, or ctest's) open to the end of the session."""
    with tempfile.TemporaryFile() as out, tempfile.TemporaryFile() as err:
        returncode = subprocess.run(command, env=env, stdin=subprocess.DEVNULL, stdout=out, stderr=err,
                                    timeout=timeout).returncode
        out.seek(0)
        err.seek(0)
        return returncode, out.read(), err.read()


def wine_environment(prefix, display):
    env = dict(os.environ)
    env.update({
        "WINEPREFIX": prefix,
        "WINEARCH": "win64",
        "WINEDEBUG": "-all",
        "WINEDLLOVERRIDES": "mscoree,mshtml=",  # no Mono or Gecko install dialogs
        "DISPLAY": display,
        # German button texts ("Ja", "Nein"); Wine needs no system locale for them.
        "LANG": "de_DE.UTF-8",
        "LC_ALL": "de_DE.UTF-8",
    })
    return env


def start_xvfb(directory):
    read_end, write_end = os.pipe()
    with open(os.path.join(directory, "xvfb.log"), "wb") as out:
        xvfb = subprocess.Popen(["Xvfb", "-displayfd", str(write_end), "-screen", "0", f"{SCREEN[0]}x{SCREEN[1]}x24",
                                 "-nolisten", "tcp"], pass_fds=(write_end,), stdin=subprocess.DEVNULL, stdout=out,
                                stderr=subprocess.STDOUT, start_new_session=True)
    os.close(write_end)
    with os.fdopen(read_end) as numbers:
        number = numbers.readline().strip()
    check(number.isdigit(), "Xvfb did not report its display")
    return xvfb.pid, f":{number}"


def check_wine32_loader(loader):
    """Fails unless Wine's 32-bit loader starts here: the package, the screen saver and the probe are
    all i386 programs."""
    if not os.path.exists(loader):
        raise Failure(f"{loader} is missing: install Debian's wine32:i386 (scripts/setup.sh does), "
                      "the suite runs the 32-bit package")
    try:
        result = subprocess.run([loader, "--version"], stdin=subprocess.DEVNULL, capture_output=True, text=True,
                                timeout=60)
        reason = f"exited {result.returncode}: {result.stderr.strip() or result.stdout.strip()}"
        started = result.returncode == 0
    except OSError as error:
        reason, started = str(error), False
    if not started:
        raise Failure(f"{loader} --version {reason}: this machine cannot run Wine's 32-bit loader; it needs "
                      "Debian's wine32:i386 and a kernel that starts i386 programs (IA32 emulation)")
    return result.stdout.strip()


def command_start(args):
    directory = args.session
    version = check_wine32_loader(args.wine32_loader)
    if os.path.exists(os.path.join(directory, "session.json")):
        stop_session(directory)
    shutil.rmtree(directory, ignore_errors=True)
    os.makedirs(directory)
    began = time.monotonic()
    xvfb_pid, display = start_xvfb(directory)
    prefix = os.path.join(directory, "prefix")
    os.makedirs(prefix)
    state = {"display": display, "xvfb_pid": xvfb_pid, "prefix": prefix, "wine": args.wine,
             "wineserver": args.wineserver, "probe": args.probe}
    with open(os.path.join(directory, "session.json"), "w") as out:
        json.dump(state, out)
    env = wine_environment(prefix, display)
    # A persistent server keeps the session's live settings from one test to the next.
    with open(os.path.join(directory, "wineserver.log"), "wb") as out:
        subprocess.run([args.wineserver, "-p"], env=env, stdin=subprocess.DEVNULL, stdout=out,
                       stderr=subprocess.STDOUT, check=True, timeout=30)
    with open(os.path.join(directory, "wineboot.log"), "wb") as out:
        subprocess.run([args.wine, "wineboot", "-i"], env=env, stdin=subprocess.DEVNULL, stdout=out,
                       stderr=subprocess.STDOUT, check=True, timeout=400)
    session = Session(directory)
    # Wine draws the boxes' captions itself, since no window manager runs on the display.
    session.wine("reg", "add", r"HKCU\Software\Wine\X11 Driver", "/v", "Decorated", "/d", "N", "/f")
    # The caption's close button is a Marlett glyph; this Wine does not find the font by itself.
    bits = session.probe("bits")
    check(bits == "32-bit under WOW64", f"the probe runs as {bits!r}, expected a 32-bit program under WOW64")
    marlett = "/usr/share/wine/fonts/marlett.ttf"
    if os.path.exists(marlett):
        shutil.copy(marlett, os.path.join(session.windows, "Fonts", "marlett.ttf"))
    with open(os.path.join(session.windows, "system.ini"), "rb") as original:
        pristine = original.read()
    with open(os.path.join(directory, "system.ini.pristine"), "wb") as out:
        out.write(pristine)
    log(f"session on display {display}, prefix {prefix}, {version}, probe {bits}, "
        f"ready after {time.monotonic() - began:.1f} s")


def stop_session(directory):
    with open(os.path.join(directory, "session.json")) as state_file:
        state = json.load(state_file)
    run_detached([state["wineserver"], "-k"], wine_environment(state["prefix"], state["display"]), 60)
    pid = state["xvfb_pid"]
    try:
        with open(f"/proc/{pid}/cmdline", "rb") as cmdline:
            ours = cmdline.read().startswith(b"Xvfb")
    except OSError:
        ours = False
    if ours:
        os.kill(pid, signal.SIGTERM)
    os.remove(os.path.join(directory, "session.json"))


def command_stop(args):
    stop_session(args.session)
    log("session stopped")


# --- message boxes -----------------------------------------------------------------------------

class Box:
    """What one box must show, and the key that answers it."""

    def __init__(self, name, text, buttons, icon, key, whole_text=True):
        self.name, self.text, self.buttons, self.icon, self.key, self.whole_text = \
            name, text, buttons, icon, key, whole_text


def welcome_box(product):
    return Box("welcome", f"Herzlich Willkommen beim\\n{product} Bildschirmschoner!\\n", ["OK"], False, "Return",
               whole_text=False)


def install_box(product, key):
    return Box("install-question", f"Soll der {product} Bildschirmschoner installiert werden?", ["Ja", "Nein"], True,
               key)


def register_box(product, key):
    return Box("register-question", f"Den {product} Bildschirmschoner als aktiven Bildschirmschoner anmelden?",
               ["Ja", "Nein"], True, key)


def closing_box():
    return Box("closing", "Installation erfolgreich abgeschlossen!", ["OK"], True, "Return")


def damaged_box():
    return Box("package-damaged", "Das Installationspaket ist besch\u00e4digt.\\n", ["OK"], True, "Return",
               whole_text=False)


YES, NO = "Return", "n"  # Return presses the default button, Ja; n is the mnemonic of Nein


def describe_box(session, caption):
    """The probe's view of the open box: text, buttons without their '&', icon shown or not."""
    text, buttons, icon = None, [], None
    for line in session.probe("message-box", caption).splitlines():
        field, _, value = line.partition(": ")
        if field == "text":
            text = value
        elif field == "button":
            buttons.append(value.replace("&", ""))
        elif field == "icon":
            icon = value == "1"
    return text, buttons, icon


def wait_for_new_box(session, caption, program, seen, timeout):
    deadline = time.monotonic() + timeout
    while time.monotonic() < deadline:
        fresh = [window for window in session.visible_windows(caption) if window not in seen]
        if fresh:
            return fresh[0]
        if program.poll() is not None:
            raise Failure(f"the program ended (exit code {program.returncode}) while a box was awaited")
        time.sleep(0.2)
    raise Failure(f"no box appeared within {timeout} s")


def wait_until_gone(session, caption, window, timeout=20):
    deadline = time.monotonic() + timeout
    while window in session.visible_windows(caption):
        check(time.monotonic() < deadline, f"the box {window:#x} did not close after its answer")
        time.sleep(0.2)


def answer_box(session, caption, program, expected, seen, shot_path, timeout):
    window = wait_for_new_box(session, caption, program, seen, timeout)
    seen.add(window)
    time.sleep(0.5)  # let the box paint itself
    text, buttons, icon = describe_box(session, caption)
    check(text is not None, f"{expected.name}: the probe found no box")
    if expected.whole_text:
        check(text == expected.text, f"{expected.name}: the box says {text!r}, expected {expected.text!r}")
    else:
        check(text.startswith(expected.text), f"{expected.name}: the box says {text!r}, "
                                              f"expected it to begin with {expected.text!r}")
    check(buttons == expected.buttons, f"{expected.name}: buttons {buttons}, expected {expected.buttons}")
    check(icon == expected.icon, f"{expected.name}: icon {'shown' if icon else 'absent'}, "
                                 f"expected {'shown' if expected.icon else 'absent'}")
    # A click on the caption gives the box the keyboard; without a window manager nothing else does.
    left, top, width, _ = session.geometry(window)
    session.x("xdotool", "mousemove", str(left + width // 2), str(top + 6), "click", "1")
    time.sleep(0.8)
    session.capture(window, shot_path)
    session.x("xdotool", "key", expected.key)
    wait_until_gone(session, caption, window)
    log(f"{expected.name}: answered with {expected.key}")


def run_dialogue(session, program_args, caption, boxes, shots, log_name, first_box_timeout=90):
    """Starts the program, answers the boxes in order and returns its exit code. A box more, or
    one less, than expected is a failure."""
    program = session.start_program(program_args, log_name)
    seen = set()
    try:
        for number, expected in enumerate(boxes, 1):
            answer_box(session, caption, program, expected, seen, os.path.join(shots, f"{number}-{expected.name}.png"),
                       first_box_timeout if number == 1 else 30)
        deadline = time.monotonic() + 30
        while program.poll() is None:
            extra = [window for window in session.visible_windows(caption) if window not in seen]
            check(not extra, f"a box appeared after the last expected one ({boxes[-1].name})")
            check(time.monotonic() < deadline, "the program did not end after its last box")
            time.sleep(0.2)
        return program.returncode
    finally:
        if program.poll() is None:
            program.kill()
            program.wait()


# --- the Windows directory, system.ini and the settings -----------------------------------------

def parse_ini(data):
    """Sections in order, each a list of (key, value) pairs; key and section names as written."""
    sections, current = [], None
    for line in data.decode("latin-1").replace("\r\n", "\n").split("\n"):
        stripped = line.strip()
        if not stripped:
            continue
        if stripped.startswith("[") and stripped.endswith("]"):
            current = (stripped[1:-1], [])
            sections.append(current)
        elif current is not None:
            key, _, value = stripped.partition("=")
            current[1].append((key.strip(), value.strip()))
    return sections


def boot_section(sections):
    matches = [entries for name, entries in sections if name.lower() == "boot"]
    check(len(matches) == 1, f"system.ini has {len(matches)} [boot] sections")
    return matches[0]


BOOT_BEFORE = [("shell", "Explorer.exe"), ("SCRNSAVE.EXE", r"C:\WINDOWS\ALT.SCR"), ("mouse.drv", "mouse.drv")]


def prepare_windows_directory(session, product, stale_saver=None):
    """The state every dialogue test starts from: no screen-saver files of ours, and a system.ini
    that already has a [boot] section with other keys and another screen saver."""
    for name in (f"{product}.scr", f"{product}.SC_"):
        path = os.path.join(session.windows, name)
        if os.path.exists(path):
            os.remove(path)
    if stale_saver is not None:
        with open(os.path.join(session.windows, f"{product}.scr"), "wb") as out:
            out.write(stale_saver)
    with open(os.path.join(session.directory, "system.ini.pristine"), "rb") as pristine:
        original = pristine.read()
    boot = "[boot]\r\n" + "".join(f"{key}={value}\r\n" for key, value in BOOT_BEFORE)
    with open(os.path.join(session.windows, "system.ini"), "wb") as out:
        out.write(boot.encode("latin-1") + original)
    session.wine("reg", "add", r"HKCU\Control Panel\Desktop", "/v", "ScreenSaveTimeOut", "/t", "REG_SZ", "/d", "600",
                 "/f")
    session.probe("saver-active-off")
    check(session.probe("saver-active") == "0", "the probe could not switch the screen saver off")


def screen_saver_timeout(session):
    listing = session.wine("reg", "query", r"HKCU\Control Panel\Desktop", "/v", "ScreenSaveTimeOut")
    for line in listing.splitlines():
        fields = line.split()
        if len(fields) >= 3 and fields[0] == "ScreenSaveTimeOut":
            return fields[1], " ".join(fields[2:])
    raise Failure(f"no ScreenSaveTimeOut in HKCU\\Control Panel\\Desktop: {listing!r}")


def snapshot(session):
    """What a declined or failed run must leave as it was."""
    entries = {}
    for name in os.listdir(session.windows):
        path = os.path.join(session.windows, name)
        if os.path.isfile(path):
            with open(path, "rb") as content:
                entries[name] = content.read()
        else:
            entries[name] = "<directory>"
    return entries, screen_saver_timeout(session), session.probe("saver-active")


def check_unchanged(before, after):
    files_before, timeout_before, active_before = before
    files_after, timeout_after, active_after = after
    added = sorted(set(files_after) - set(files_before))
    removed = sorted(set(files_before) - set(files_after))
    changed = sorted(name for name in set(files_before) & set(files_after) if files_before[name] != files_after[name])
    check(not added and not removed and not changed,
          f"the Windows directory changed: added {added}, removed {removed}, changed {changed}")
    check(timeout_after == timeout_before, f"ScreenSaveTimeOut changed from {timeout_before} to {timeout_after}")
    check(active_after == active_before, f"the screen saver's live setting changed from {active_before} to {active_after}")


def copy_package(session, package_bytes, name):
    with open(os.path.join(session.prefix, "drive_c", name), "wb") as out:
        out.write(package_bytes)
    return "C:\\" + name


def read(path):
    with open(path, "rb") as content:
        return content.read()


# --- the tests -----------------------------------------------------------------------------------

def command_install_registered(args):
    session = Session(args.session)
    product = args.product
    saver = read(args.saver)
    # A longer, older screen saver of the same name: the installer must replace it whole.
    prepare_windows_directory(session, product, stale_saver=b"an older screen saver " * 40000)
    package = copy_package(session, read(args.package), os.path.basename(args.package))
    boxes = [welcome_box(product), install_box(product, YES), register_box(product, YES), closing_box()]
    exit_code = run_dialogue(session, [package], CAPTION_FORMAT.format(product), boxes, args.shots,
                             "install-registered.log")
    check(exit_code == 0, f"the installer exited {exit_code}")

    installed = os.path.join(session.windows, f"{product}.scr")
    check(os.path.exists(installed), f"no {product}.scr in the Windows directory")
    check(read(installed) == saver, f"{product}.scr differs from the screen saver that was packed")
    check(not os.path.exists(os.path.join(session.windows, f"{product}.SC_")), f"{product}.SC_ was left behind")

    short_path = session.probe("short-path", f"C:\\windows\\{product}.scr")
    boot = boot_section(parse_ini(read(os.path.join(session.windows, "system.ini"))))
    saver_entries = [value for key, value in boot if key.upper() == "SCRNSAVE.EXE"]
    check(saver_entries == [short_path], f"[boot] SCRNSAVE.EXE is {saver_entries}, expected [{short_path!r}]")
    others = [(key, value) for key, value in boot if key.upper() != "SCRNSAVE.EXE"]
    kept = [(key, value) for key, value in BOOT_BEFORE if key.upper() != "SCRNSAVE.EXE"]
    check(others == kept, f"the other keys of [boot] are now {others}, expected {kept}")
    pristine = parse_ini(read(os.path.join(session.directory, "system.ini.pristine")))
    rest = [section for section in parse_ini(read(os.path.join(session.windows, "system.ini")))
            if section[0].lower() != "boot"]
    check(rest == pristine, "sections of system.ini other than [boot] changed")

    kind, value = screen_saver_timeout(session)
    check((kind, value) == ("REG_SZ", "120"), f"ScreenSaveTimeOut is {kind} {value!r}, expected REG_SZ '120'")
    check(session.probe("saver-active") == "1", "the screen saver is not switched on in this session")
    log(f"installed {product}.scr ({len(saver)} bytes), SCRNSAVE.EXE={short_path}, timeout 120, active")


def command_install_declined(args):
    session = Session(args.session)
    product = args.product
    prepare_windows_directory(session, product)
    package = copy_package(session, read(args.package), os.path.basename(args.package))
    before = snapshot(session)
    boxes = [welcome_box(product), install_box(product, NO)]
    exit_code = run_dialogue(session, [package], CAPTION_FORMAT.format(product), boxes, args.shots,
                             "install-declined.log")
    check(exit_code == 0, f"the installer exited {exit_code}")
    check_unchanged(before, snapshot(session))
    log("declined: nothing written")


def cut_before_second_marker(package):
    first = package.find(MARKER, MARKER_SEARCH_START)
    second = package.find(MARKER, first + len(MARKER))
    check(first >= 0 and second > first, "the package has not two markers")
    payload_start = first + len(MARKER)
    return package[:payload_start + (second - payload_start) // 2]


def command_package_cut_short(args):
    session = Session(args.session)
    product = args.product
    prepare_windows_directory(session, product)
    package = copy_package(session, cut_before_second_marker(read(args.package)), "Abgeschnitten-Setup.exe")
    before = snapshot(session)
    boxes = [welcome_box(product), install_box(product, YES), damaged_box()]
    exit_code = run_dialogue(session, [package], CAPTION_FORMAT.format(product), boxes, args.shots,
                             "package-cut-short.log")
    check(exit_code == 1, f"the installer exited {exit_code}, expected 1")
    check_unchanged(before, snapshot(session))
    log("cut short: error box, exit code 1, nothing left behind")


def image_spread(session, path):
    return float(session.x("convert", path, "-format", "%[fx:standard_deviation]", "info:"))


def differing_pixels(session, first, second):
    result = subprocess.run(["compare", "-metric", "AE", first, second, "null:"], capture_output=True, text=True,
                            timeout=60)
    return int(float(result.stderr.split()[0]))


def wait_for_saver_window(session, caption, program):
    deadline = time.monotonic() + 60
    while time.monotonic() < deadline:
        for window in session.visible_windows(caption):
            if session.geometry(window)[2:] == SCREEN:
                return window
        check(program.poll() is None, f"the screen saver ended at once (exit code {program.returncode})")
        time.sleep(0.3)
    raise Failure("no full-screen window appeared")


def wait_for_end(program, seconds):
    try:
        return program.wait(timeout=seconds)
    except subprocess.TimeoutExpired:
        return None


def run_saver_until(session, saver, shots, run_name, end_action):
    """Starts the saver full screen, checks it animates and ignores jitter, then ends it."""
    program = session.start_program([saver, "/s"], f"{run_name}.log")
    try:
        wait_for_saver_window(session, "Quendolin Bildschirmschoner", program)
        time.sleep(2)
        first, second = os.path.join(shots, f"{run_name}-1.png"), os.path.join(shots, f"{run_name}-2.png")
        session.capture("root", first)
        time.sleep(1)
        session.capture("root", second)
        spread = image_spread(session, first)
        check(spread > 0.03, f"the screen is blank (standard deviation {spread:.4f})")
        moved = differing_pixels(session, first, second)
        check(moved > SCREEN[0] * SCREEN[1] // 100, f"the picture does not move ({moved} pixels changed in a second)")
        session.x("xdotool", "mousemove_relative", "--", "2", "1")
        check(wait_for_end(program, 2) is None, "a mouse jitter of 3 pixels ended the screen saver")
        end_action()
        exit_code = wait_for_end(program, 20)
        check(exit_code is not None, "the screen saver did not end")
        check(exit_code == 0, f"the screen saver exited {exit_code}")
        log(f"{run_name}: spread {spread:.3f}, {moved} pixels changed in a second, ended with exit code 0")
    finally:
        if program.poll() is None:
            program.kill()
            program.wait()


def command_saver_runs(args):
    session = Session(args.session)
    saver = f"C:\\windows\\{args.product}.scr"
    check(os.path.exists(os.path.join(session.windows, f"{args.product}.scr")), "no installed screen saver")
    run_saver_until(session, saver, args.shots, "saver-key", lambda: session.x("xdotool", "key", "space"))
    run_saver_until(session, saver, args.shots, "saver-mouse",
                    lambda: session.x("xdotool", "mousemove_relative", "--", "150", "90"))


def settings_box():
    return Box("saver-settings", "Quendolin\\n\\nNordlichter ziehen \u00fcber einen Sternenhimmel.\\n"
               "Dieser Bildschirmschoner hat keine Einstellungen.", ["OK"], True, "Return")


def command_saver_modes(args):
    session = Session(args.session)
    saver = f"C:\\windows\\{args.product}.scr"
    check(os.path.exists(os.path.join(session.windows, f"{args.product}.scr")), "no installed screen saver")
    exit_code = run_dialogue(session, [saver, "/c"], "Quendolin Bildschirmschoner", [settings_box()], args.shots,
                             "saver-settings.log")
    check(exit_code == 0, f"the settings box ended with exit code {exit_code}")

    report = dict(line.split(": ", 1) for line in session.probe("preview", saver, timeout=60).splitlines())
    check(report.get("child") == "1", "the screen saver put no window into the preview frame")
    check(report.get("ended") == "1", "the screen saver did not end when its preview frame was closed")
    check(report.get("exit") == "0", f"the preview ended with exit code {report.get('exit')}")

    # A handle that names no window: nothing to draw into.
    program = session.start_program([saver, "/p", "987654"], "saver-preview-nowhere.log")
    exit_code = wait_for_end(program, 15)
    if exit_code is None:
        program.kill()
        program.wait()
    check(exit_code == 0, f"/p with no such window did not return at once (exit code {exit_code})")
    log("settings box shown; preview drawn into the frame and ended with it; no window: returned at once")


def interop_cases(saver):
    rng = random.Random(1997)
    text = ("Der Bildschirmschoner zeigt Nordlichter \u00fcber einem Sternenhimmel. "
            "Kommerzielle Weiterverwertung bedarf der Zustimmung.\r\n").encode("cp1252")
    megabyte = bytearray()
    while len(megabyte) < 1 << 20:
        kind = rng.randrange(3)
        if kind == 0:  # noise
            megabyte += rng.randbytes(rng.randrange(1, 3000))
        elif kind == 1 and len(megabyte) > 4096:  # a copy from up to a window back
            start = len(megabyte) - rng.randrange(1, 4096)
            for _ in range(rng.randrange(3, 400)):
                megabyte.append(megabyte[start])
                start += 1
        else:  # a run
            megabyte += bytes([rng.randrange(256)]) * rng.randrange(1, 600)
    return [
        ("empty", b""),
        ("one-byte", b"Q"),
        ("runs", b"\x00" * 5000 + b"A" * 18 + b"B" * 19 + b"\xff" * 70000 + b"ab" * 3000),
        ("text", text * 300),
        ("screen-saver", saver),
        ("binary-1mb", bytes(megabyte[:1 << 20])),
    ]


def compress(args, source, target):
    """The payload that mkpackage would put into a package for this file."""
    subprocess.run([args.mkpackage, "compress", source, "-o", target], check=True, timeout=120)


def windows_path(path):
    return "Z:" + os.path.abspath(path).replace("/", "\\")


def command_lz_interop(args):
    session = Session(args.session)
    work = os.path.join(args.session, "lz-interop")
    shutil.rmtree(work, ignore_errors=True)
    os.makedirs(work)
    faults = []
    for name, content in interop_cases(read(args.saver)):
        original, packed, expanded = (os.path.join(work, name + suffix) for suffix in ("", ".SZ_", ".out"))
        with open(original, "wb") as out:
            out.write(content)
        compress(args, original, packed)
        # LZ32 copies a file without the SZDD magic as it is: that would prove nothing.
        check(read(packed)[:8] == SZDD_MAGIC, f"{name}: the packer's output is no SZDD file")
        reported = session.probe("lz-expand", windows_path(packed), windows_path(expanded), timeout=120)
        result = read(expanded) if os.path.exists(expanded) else None
        if result != content or reported != str(len(content)):
            faults.append(f"{name}: LZCopy reported {reported}, gave {len(result) if result is not None else 'no file'}"
                          f" bytes, {'equal' if result == content else 'different'}; original {len(content)} bytes")
        log(f"{name}: {len(content)} bytes, packed {os.path.getsize(packed)}, LZCopy gave them back"
            if result == content else f"{name}: MISMATCH")
    check(not faults, "; ".join(faults))


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--session", required=True, help="directory of the session (in the build tree)")
    commands = parser.add_subparsers(dest="command", required=True)
    start = commands.add_parser("start")
    start.add_argument("--wine", required=True, help="wine64, which keeps the prefix")
    start.add_argument("--wine32-loader", required=True, help="Wine's loader of 32-bit programs")
    start.add_argument("--wineserver", required=True)
    start.add_argument("--probe", required=True)
    commands.add_parser("stop")
    for name in ("install-registered", "install-declined", "package-cut-short"):
        command = commands.add_parser(name)
        command.add_argument("--package", required=True)
        command.add_argument("--product", required=True)
        command.add_argument("--shots", required=True)
        if name == "install-registered":
            command.add_argument("--saver", required=True, help="the screen saver that the package holds")
    saver = commands.add_parser("saver-runs")
    saver.add_argument("--product", required=True)
    saver.add_argument("--shots", required=True)
    modes = commands.add_parser("saver-modes")
    modes.add_argument("--product", required=True)
    modes.add_argument("--shots", required=True)
    lz = commands.add_parser("lz-interop")
    lz.add_argument("--mkpackage", required=True)
    lz.add_argument("--saver", required=True)
    args = parser.parse_args()
    handlers = {"start": command_start, "stop": command_stop, "install-registered": command_install_registered,
                "install-declined": command_install_declined, "package-cut-short": command_package_cut_short,
                "saver-runs": command_saver_runs, "saver-modes": command_saver_modes, "lz-interop": command_lz_interop}
    began = time.monotonic()
    try:
        handlers[args.command](args)
    except (Failure, subprocess.TimeoutExpired, subprocess.CalledProcessError) as failure:
        print(f"FAILED: {failure}", file=sys.stderr)
        return 1
    log(f"{args.command}: passed in {time.monotonic() - began:.1f} s")
    return 0


if __name__ == "__main__":
    sys.exit(main())
