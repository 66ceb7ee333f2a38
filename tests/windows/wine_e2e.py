#!/usr/bin/env python3
"""End-to-end runs of the Windows programs under wine64.

    wine_e2e.py BIN_DIR CASE [CASE...]     (CASE: see CASES below, or "all")

BIN_DIR holds the Windows build's programs ("Velmora Updater.exe", "Velmora
Release.exe", "Tolvaric.exe", "Velmora Starter.exe"). Each case makes a fresh
installation below a temporary folder, publishes a release there with the
Windows release tool, serves it with nginx on loopback (HTTP, and HTTPS with a
test certificate authority) and runs the Windows updater on it, hidden, under
wine64 and a private Xvfb. The wine prefix is VELMORA_WINEPREFIX (ctest gives
one of the build's own); the script stops every program of that prefix at its
end, so it must not be shared with other tests.

Screenshots (the wizard case) go to VELMORA_SCREENSHOTS or the current folder.
"""

import hashlib
import os
import select
import shutil
import socket
import subprocess
import sys
import tempfile
import threading
import time

HERE = os.path.dirname(os.path.abspath(__file__))
WINE_RUN = os.path.join(HERE, "..", "..", "tools", "windows", "wine-run.sh")

APP_NAME = "E2E App"
OLD, NEW = "1.0.0.0", "2.0.0.0"
RUN_BOUND_S = 180  # wine's first start in a prefix is slow
EXIT_OK, EXIT_FAILED, EXIT_ROLLED_BACK = 0, 1, 2
WINDOWS_READY = "user interface: the windows are ready"


class Failure(Exception):
    pass


def check(condition, message):
    if not condition:
        raise Failure(message)


def win(path):
    """A Linux path as the Windows programs see it (wine's drive Z: is /)."""
    return "Z:" + path.replace("/", "\\")


def read_until(process, stream, wanted, bound_s, what):
    """Reads lines of a child's output until one holds wanted; the child is
    stopped when that takes longer than bound_s (its output then ends)."""
    timer = threading.Timer(bound_s, process.kill)
    timer.start()
    try:
        for line in iter(stream.readline, b""):
            if wanted in line:
                return line
    finally:
        timer.cancel()
    raise Failure(what + " ended without saying it is ready")


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def write(path, data):
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "wb") as f:
        f.write(data if isinstance(data, bytes) else data.encode("utf-8"))


def read(path):
    with open(path, "rb") as f:
        return f.read()


def tree(root):
    """relative path -> bytes (None for a folder) of everything below root."""
    entries = {}
    for folder, dirs, files in os.walk(root):
        for d in dirs:
            entries[os.path.relpath(os.path.join(folder, d), root)] = None
        for f in files:
            path = os.path.join(folder, f)
            entries[os.path.relpath(path, root)] = read(path)
    return entries


def tree_differences(before, after):
    lines = []
    for name in sorted(set(before) | set(after)):
        if name not in after:
            lines.append("gone: " + name)
        elif name not in before:
            lines.append("new: " + name)
        elif before[name] != after[name]:
            lines.append("changed: " + name)
    return "\n".join(lines)


class Wine:
    """Runs programs in the prefix; the environment is the run's own."""

    def __init__(self, prefix, display):
        self.env = dict(os.environ)
        for name in ("http_proxy", "https_proxy", "all_proxy", "HTTP_PROXY", "HTTPS_PROXY",
                     "ALL_PROXY", "VELMORA_CA_BUNDLE", "WAYLAND_DISPLAY"):
            self.env.pop(name, None)
        self.env.update({"VELMORA_WINEPREFIX": prefix, "WINEPREFIX": prefix, "DISPLAY": display,
                         "no_proxy": "127.0.0.1,localhost", "NO_PROXY": "127.0.0.1,localhost"})
        self.prefix = prefix

    def run(self, program, arguments, cwd, extra_env=None, bound=RUN_BOUND_S):
        env = dict(self.env)
        env.update(extra_env or {})
        done = subprocess.run([WINE_RUN, program] + arguments, cwd=cwd, env=env,
                              stdout=subprocess.PIPE, stderr=subprocess.STDOUT, timeout=bound)
        return done.returncode, done.stdout.decode("utf-8", "replace")

    def start(self, program, arguments, cwd, extra_env=None):
        env = dict(self.env)
        env.update(extra_env or {})
        return subprocess.Popen([WINE_RUN, program] + arguments, cwd=cwd, env=env,
                                stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)

    def wait_for(self, program_name, bound_s=RUN_BOUND_S):
        """Waits until the programs of this prefix named program_name have
        ended (wine runs each Windows program as a process of its own)."""
        processes = []
        for entry in os.listdir("/proc"):
            try:
                with open("/proc/%s/cmdline" % entry, "rb") as f:
                    command = f.read()
                with open("/proc/%s/environ" % entry, "rb") as f:
                    environment = f.read().split(b"\0")
                if (program_name.encode() in command and
                        ("WINEPREFIX=" + self.prefix).encode() in environment):
                    processes.append(os.pidfd_open(int(entry)))
            except (OSError, ValueError):
                continue  # not a process, or one that has just ended
        try:
            poller = select.poll()
            for pidfd in processes:
                poller.register(pidfd, select.POLLIN)
            deadline = time.monotonic() + bound_s
            while processes:
                remaining = deadline - time.monotonic()
                check(remaining > 0, program_name + " does not end")
                for pidfd, _ in poller.poll(remaining * 1000):
                    poller.unregister(pidfd)
                    processes.remove(pidfd)
                    os.close(pidfd)
        finally:
            for pidfd in processes:
                os.close(pidfd)

    def stop_all(self):
        subprocess.run(["wineserver", "-k"], env=self.env, timeout=60,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)

    def user_folder(self):
        users = os.path.join(self.prefix, "drive_c", "users")
        names = [n for n in os.listdir(users) if n not in ("Public", "public")]
        check(names, "no user folder in the wine prefix")
        return os.path.join(users, names[0])

    def registry_value(self, key, name):
        code, out = self.run("reg", ["query", key, "/v", name], cwd="/")
        if code != 0:
            return None
        for line in out.splitlines():
            fields = line.split()
            if len(fields) >= 3 and fields[0] == name:
                return fields[1], " ".join(fields[2:])
        return None

    def delete_registry_key(self, key):
        self.run("reg", ["delete", key, "/f"], cwd="/")


class Nginx:
    """nginx on two free loopback ports, serving root; a test CA and a
    certificate for localhost."""

    def __init__(self, folder, root):
        self.folder, self.root = folder, root
        self.http_port, self.https_port = free_port(), free_port()
        self.process = None
        tls = os.path.join(folder, "tls")
        os.makedirs(tls, exist_ok=True)
        self.ca = os.path.join(tls, "ca.pem")
        self.other_ca = os.path.join(tls, "other-ca.pem")
        config = os.path.join(tls, "openssl.cnf")
        write(config, "[req]\nprompt = no\ndistinguished_name = dn\nx509_extensions = ca\n"
              "[dn]\nCN = Velmora wine test CA\n"
              "[ca]\nbasicConstraints = critical, CA:TRUE\nkeyUsage = critical, keyCertSign, cRLSign\n"
              "subjectKeyIdentifier = hash\n"
              "[server]\nbasicConstraints = critical, CA:FALSE\nkeyUsage = critical, digitalSignature\n"
              "extendedKeyUsage = serverAuth\nsubjectAltName = DNS:localhost, IP:127.0.0.1\n"
              "subjectKeyIdentifier = hash\nauthorityKeyIdentifier = keyid\n")
        request_config = os.path.join(tls, "request.cnf")
        write(request_config, "[req]\nprompt = no\ndistinguished_name = dn\n[dn]\nCN = localhost\n")
        key = ["-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:prime256v1", "-nodes"]
        for ca in (self.ca, self.other_ca):
            subprocess.run(["openssl", "req", "-x509", "-config", config] + key +
                           ["-keyout", ca + ".key", "-out", ca, "-days", "2"], check=True,
                           capture_output=True)
        self.key = os.path.join(tls, "server.key")
        self.certificate = os.path.join(tls, "server.pem")
        subprocess.run(["openssl", "req", "-new", "-config", request_config] + key +
                       ["-keyout", self.key, "-out", self.key + ".csr"], check=True,
                       capture_output=True)
        subprocess.run(["openssl", "x509", "-req", "-in", self.key + ".csr", "-CA", self.ca, "-CAkey",
                        self.ca + ".key", "-set_serial", "2", "-days", "2", "-extfile", config,
                        "-extensions", "server", "-out", self.certificate], check=True,
                       capture_output=True)

    def start(self):
        for sub in ("logs", "temp"):
            os.makedirs(os.path.join(self.folder, sub), exist_ok=True)
        q = lambda p: '"' + p + '"'
        temps = "".join("  %s_temp_path %s;\n" % (k, q(os.path.join(self.folder, "temp", k)))
                        for k in ("client_body", "proxy", "fastcgi", "uwsgi", "scgi"))
        conf = ("master_process off;\nworker_processes 1;\npid %s;\nerror_log stderr notice;\n"
                "events { worker_connections 64; }\nhttp {\n"
                "  log_format e2e '$scheme $request_method $request_uri $status $body_bytes_sent';\n"
                "  access_log %s e2e;\n%s"
                "  types { application/xml xml; text/plain txt; }\n"
                "  default_type application/octet-stream;\n"
                "  server { listen 127.0.0.1:%d; root %s; }\n"
                "  server { listen 127.0.0.1:%d ssl; ssl_certificate %s; ssl_certificate_key %s;"
                " root %s; }\n}\n") % (
                    q(os.path.join(self.folder, "nginx.pid")),
                    q(os.path.join(self.folder, "logs", "access.log")), temps, self.http_port,
                    q(self.root), self.https_port, q(self.certificate), q(self.key), q(self.root))
        path = os.path.join(self.folder, "nginx.conf")
        write(path, conf)
        nginx = shutil.which("nginx") or "/usr/sbin/nginx"
        self.process = subprocess.Popen(
            [nginx, "-p", self.folder + "/", "-c", path, "-e", "stderr", "-g", "daemon off;"],
            stderr=subprocess.PIPE)
        # nginx tells the system's limits after it has opened its listening
        # sockets: from then on connections are taken.
        read_until(self.process, self.process.stderr, b"getrlimit", 20, "nginx")
        # The rest of its log goes to logs/error.log, so that it never waits
        # on a full pipe.
        threading.Thread(target=self._keep_log, daemon=True).start()

    def _keep_log(self):
        with open(os.path.join(self.folder, "logs", "error.log"), "ab") as log:
            for line in iter(self.process.stderr.readline, b""):
                log.write(line)

    def stop(self):
        if self.process and self.process.poll() is None:
            self.process.terminate()
            self.process.wait(timeout=20)

    def http(self, path=""):
        return "http://127.0.0.1:%d/%s" % (self.http_port, path)

    def https(self, path=""):
        return "https://localhost:%d/%s" % (self.https_port, path)

    def requests(self):
        path = os.path.join(self.folder, "logs", "access.log")
        return open(path, encoding="utf-8").read().splitlines() if os.path.exists(path) else []


class Installation:
    """app/ (the updater, settings.ini, the pointer file and the application
    in App/), releases/<version>/, www/ (published)."""

    def __init__(self, folder, bin_dir, wine):
        self.folder, self.bin, self.wine = folder, bin_dir, wine
        self.app = os.path.join(folder, "app")
        self.application = os.path.join(self.app, "App")
        self.www = os.path.join(folder, "www")
        self.updater = os.path.join(self.app, "Velmora Updater.exe")

    def release(self, version):
        return os.path.join(self.folder, "releases", version)

    def write_releases(self):
        program = read(os.path.join(self.bin, "Tolvaric.exe"))
        files = {
            OLD: {"program.exe": program, "readme.txt": "Version 1.0\r\n",
                  "data/keep.txt": "the user's bookmarks\r\n", "data/legacy.dat": "dropped in 2.0\r\n",
                  "config.ini": "[General]\r\nChannel=stable\r\n"},
            NEW: {"program.exe": program + b"2.0", "readme.txt": "Version 2.0, with more words\r\n",
                  "data/keep.txt": "the user's bookmarks\r\n", "data/new.txt": "new in 2.0\r\n",
                  "plugins/extra/plugin.bin": b"\x7f" * 3000,
                  "config.ini": "[General]\r\nChannel=stable\r\n"},
        }
        for version, entries in files.items():
            for name, data in entries.items():
                write(os.path.join(self.release(version), name), data)

    def publish(self, base_url, extra_xml=""):
        shutil.rmtree(self.www, ignore_errors=True)
        code, out = self.wine.run(
            os.path.join(self.bin, "Velmora Release.exe"),
            ["--previous", win(self.release(OLD)), "--next", win(self.release(NEW)), "--version", NEW,
             "--base-url", base_url, "--output", win(self.www), "--application-name", APP_NAME],
            cwd=self.folder)
        check(code == 0, "the release tool ended with %d:\n%s" % (code, out))
        if extra_xml:
            path = os.path.join(self.www, "updatefile.xml")
            text = read(path).decode("utf-8")
            at = text.rfind("</UPDATEINFO>")
            check(at >= 0, "no end tag in the published update file")
            write(path, text[:at] + extra_xml + text[at:])

    def install(self, update_file_url, updater_lines=""):
        shutil.copytree(self.release(OLD), self.application, dirs_exist_ok=True)
        shutil.copy(os.path.join(self.bin, "Velmora Updater.exe"), self.updater)
        write(os.path.join(self.app, "settings.ini"),
              "[UPDATER]\r\nRUNMODE=hidden\r\n%s\r\n[UPDATEINFO]\r\nURL=%%updater%%updatefile.xml\r\n"
              "APIHOST=\r\n\r\n[APPLICATION]\r\nNAME=%s\r\nLOCATION=%%updater%%App\\program.exe\r\n"
              "VERSION=%s\r\n" % (updater_lines, APP_NAME, OLD))
        write(os.path.join(self.app, "updatefile.xml"),
              '<?xml version="1.0" encoding="UTF-8"?>\n<UPDATEINFO>\n  <SEQUENCE>\n'
              "    <MINIMUMVERSION>65535.65535.65535.65535</MINIMUMVERSION>\n"
              "    <LOCATION>%s</LOCATION>\n  </SEQUENCE>\n</UPDATEINFO>\n" % update_file_url)

    def settings_value(self, group, key):
        """A value of settings.ini; groups and keys in any case, as INI files have them."""
        group_now = None
        for line in read(os.path.join(self.app, "settings.ini")).decode("utf-8", "replace").splitlines():
            line = line.strip()
            if line.startswith("[") and line.endswith("]"):
                group_now = line[1:-1].lower()
            elif group_now == group.lower() and line.split("=", 1)[0].strip().lower() == key.lower():
                return line.split("=", 1)[1]
        return None

    def log(self):
        """The updater's log: in its private temporary folder below the user's."""
        name = "Updater log for %s.txt" % APP_NAME
        for folder, _, files in os.walk(self.wine.user_folder()):
            if name in files:
                data = read(os.path.join(folder, name))
                if data.startswith(b"\xff\xfe"):
                    return data[2:].decode("utf-16-le", "replace")
                return data.decode("utf-8", "replace")
        return "(no log)"

    def remove_log(self):
        name = "Updater log for %s.txt" % APP_NAME
        for folder, _, files in os.walk(self.wine.user_folder()):
            if name in files:
                os.remove(os.path.join(folder, name))

    def run_updater(self, extra_env=None, arguments=None):
        self.remove_log()
        code, out = self.wine.run(self.updater, arguments or [], cwd=self.app, extra_env=extra_env)
        return code, self.log() + "\n--- wine:\n" + out[-3000:]


# The INI, registry and shortcut parts of the release.
REGISTRY_KEY = "HKEY_CURRENT_USER\\Software\\VelmoraWineE2E"


def extras_xml(failing_ini=False):
    items = ("    <ITEM><LOCATION>%app%config.ini</LOCATION><GROUP>Features</GROUP><KEY>Tabs</KEY>"
             "<VALUE>on</VALUE></ITEM>\n"
             "    <ITEM><LOCATION>%app%settings\\new\\user.ini</LOCATION><GROUP>User</GROUP>"
             "<KEY>Theme</KEY><VALUE>dark</VALUE></ITEM>\n")
    if failing_ini:
        # Below a regular file: it can never be written.
        items += ("    <ITEM><LOCATION>%app%readme.txt\\below a file.ini</LOCATION><GROUP>G</GROUP>"
                  "<KEY>K</KEY><VALUE>V</VALUE></ITEM>\n")
    return ("  <INI>\n" + items + "  </INI>\n"
            "  <REGISTRY>\n"
            '    <ITEM type="DWORD"><KEY>' + REGISTRY_KEY + "\\Build</KEY><VALUE>251</VALUE></ITEM>\n"
            "    <ITEM><KEY>" + REGISTRY_KEY + "\\Path</KEY><VALUE>%app%</VALUE></ITEM>\n"
            "  </REGISTRY>\n"
            '  <SHORTCUTS askuser="False">\n    <SHORTCUT>\n'
            "      <TARGETFILE>%app%program.exe</TARGETFILE>\n"
            "      <WORKINGDIRECTORY>%app%</WORKINGDIRECTORY>\n"
            "      <DESCRIPTION>Start the E2E App</DESCRIPTION>\n"
            "      <LINKFILE>%app%E2E App.lnk</LINKFILE>\n"
            "    </SHORTCUT>\n  </SHORTCUTS>\n")


class Run:
    """The folders, the server and the installation of one case."""

    def __init__(self, bin_dir, wine):
        self.folder = tempfile.mkdtemp(prefix="velmora-wine-e2e-")
        self.nginx = Nginx(os.path.join(self.folder, "server"), os.path.join(self.folder, "www"))
        self.installation = Installation(self.folder, bin_dir, wine)
        self.wine = wine
        self.installation.write_releases()
        self.nginx.start()

    def close(self):
        self.nginx.stop()
        shutil.rmtree(self.folder, ignore_errors=True)


def expect_new_release(run, log):
    inst = run.installation
    expected = tree(inst.release(NEW))
    actual = tree(inst.application)
    # What the INI and shortcut parts added is checked apart.
    for extra in ("settings", os.path.join("settings", "new"), os.path.join("settings", "new", "user.ini"),
                  "E2E App.lnk"):
        actual.pop(extra, None)
    config = actual.pop("config.ini", b"").decode("utf-8", "replace")
    expected.pop("config.ini")
    check(tree_differences(expected, actual) == "",
          "the application is not the new release:\n" + tree_differences(expected, actual) + "\n" + log)
    check("Tabs=on" in config and "Channel=stable" in config, "config.ini: " + config)
    user = read(os.path.join(inst.application, "settings", "new", "user.ini")).decode("utf-8", "replace")
    check("[User]" in user and "Theme=dark" in user, "user.ini: " + user)
    check(inst.settings_value("APPLICATION", "VERSION") == NEW, "the new version is not recorded\n" + log)


def case_http(bin_dir, wine):
    """A hidden update over HTTP: files replaced, added, removed; an INI value,
    registry values and a shortcut; the new version recorded."""
    run = Run(bin_dir, wine)
    try:
        inst = run.installation
        wine.delete_registry_key(REGISTRY_KEY)
        inst.publish(run.nginx.http(), extras_xml())
        inst.install(run.nginx.http("updatefile.xml"))
        code, log = inst.run_updater()
        check(code == EXIT_OK, "exit code %d\n%s" % (code, log))
        expect_new_release(run, log)
        build = wine.registry_value(REGISTRY_KEY, "Build")
        check(build is not None and build[0] == "REG_DWORD" and int(build[1], 16) == 251,
              "registry Build: %r\n%s" % (build, log))
        path = wine.registry_value(REGISTRY_KEY, "Path")
        check(path is not None and path[1] == win(inst.application) + "\\",
              "registry Path: %r\n%s" % (path, log))
        link = read(os.path.join(inst.application, "E2E App.lnk"))
        # A shell link: its header size and class, and the target's name inside.
        check(link[:4] == b"L\x00\x00\x00" and b"program.exe" in link.replace(b"\x00", b""),
              "not a shell link to program.exe: %r" % link[:80])
        check(any("GET /files/program.exe 200" in r for r in run.nginx.requests()),
              "program.exe was not fetched: %s" % run.nginx.requests())
    finally:
        wine.delete_registry_key(REGISTRY_KEY)
        run.close()


def case_https(bin_dir, wine):
    """HTTPS through Schannel: with the test CA given the update installs; with
    another CA the certificate is refused and nothing changes."""
    for trusted in (False, True):
        run = Run(bin_dir, wine)
        try:
            inst = run.installation
            inst.publish(run.nginx.https())
            inst.install(run.nginx.https("updatefile.xml"))
            before = tree(inst.application)
            ca = run.nginx.ca if trusted else run.nginx.other_ca
            code, log = inst.run_updater({"VELMORA_CA_BUNDLE": win(ca)})
            if trusted:
                check(code == EXIT_OK, "trusted CA: exit code %d\n%s" % (code, log))
                check(tree_differences(tree(inst.release(NEW)), tree(inst.application)) == "",
                      "trusted CA: not the new release\n" + log)
                check(any(r.startswith("https GET /updatefile.xml 200") for r in run.nginx.requests()),
                      "no HTTPS request: %s" % run.nginx.requests())
            else:
                check(code == EXIT_FAILED, "other CA: exit code %d\n%s" % (code, log))
                check(tree_differences(before, tree(inst.application)) == "",
                      "other CA: the application changed\n" + log)
                check(inst.settings_value("APPLICATION", "VERSION") == OLD, "other CA: version changed")
                check(not any("/updatefile.xml 200" in r for r in run.nginx.requests()),
                      "other CA: the update file was served: %s" % run.nginx.requests())
        finally:
            run.close()


def case_rollback(bin_dir, wine):
    """An installation whose last INI item cannot be written is rolled back:
    the installation folder is byte for byte what it was."""
    run = Run(bin_dir, wine)
    try:
        inst = run.installation
        inst.publish(run.nginx.http(), extras_xml(failing_ini=True).split("  <REGISTRY>")[0])
        inst.install(run.nginx.http("updatefile.xml"))
        before = tree(inst.app)
        code, log = inst.run_updater()
        check(code == EXIT_ROLLED_BACK, "exit code %d\n%s" % (code, log))
        check("rollback: every change was undone" in log, "no complete rollback in the log\n" + log)
        check(tree_differences(before, tree(inst.app)) == "",
              "the installation changed:\n" + tree_differences(before, tree(inst.app)) + "\n" + log)
    finally:
        run.close()


def case_self_update(bin_dir, wine):
    """The release enables the self-update; the self-update description offers
    a newer build; after the run the copy program replaces the updater's
    program file with it."""
    run = Run(bin_dir, wine)
    try:
        inst = run.installation
        inst.publish(run.nginx.http())
        path = os.path.join(inst.www, "updatefile.xml")
        write(path, read(path).replace(b"<SELFUPDATE>false</SELFUPDATE>", b"<SELFUPDATE>true</SELFUPDATE>"))
        # The newer build: any other program will do; the starter is one.
        new_build = read(os.path.join(bin_dir, "Velmora Starter.exe"))
        write(os.path.join(inst.www, "updater", "Velmora Updater.exe"), new_build)
        write(os.path.join(inst.www, "selfupdate.xml"),
              '<?xml version="1.0" ?>\n<SELFUPDATE>\n  <VERSION>9.0.0.1</VERSION>\n'
              "  <LOCATION>%s</LOCATION>\n  <HASH>%s</HASH>\n</SELFUPDATE>\n" % (
                  run.nginx.http("updater/Velmora%20Updater.exe"), hashlib.md5(new_build).hexdigest()))
        inst.install(run.nginx.http("updatefile.xml"), "SELFUPDATE=" + run.nginx.http("selfupdate.xml"))
        code, log = inst.run_updater()
        check(code == EXIT_OK, "exit code %d\n%s" % (code, log))
        check("self-update: updater version 9.0.0.1" in log, "no self-update in the log\n" + log)
        # The copy program waits a few seconds, copies and ends.
        wine.wait_for("Tolvaric.exe")
        check(read(inst.updater) == new_build, "the updater's program was not replaced\n" + log)
        check(tree_differences(tree(inst.release(NEW)), tree(inst.application)) == "",
              "not the new release\n" + log)
    finally:
        run.close()


def case_starter(bin_dir, wine):
    """The starter applies a pending installation left in InstallerTemp: its
    files replace those beside the starter, the marker goes, the folder is
    emptied; its log says so."""
    folder = tempfile.mkdtemp(prefix="velmora-wine-starter-")
    try:
        shutil.copy(os.path.join(bin_dir, "Velmora Starter.exe"), folder)
        write(os.path.join(folder, "readme.txt"), "Version 1.0\r\n")
        write(os.path.join(folder, "data", "keep.txt"), "kept\r\n")
        pending = os.path.join(folder, "InstallerTemp")
        write(os.path.join(pending, "settings.ini"), "[APPLICATION]\r\nVERSION=2.0.0.0\r\n")
        write(os.path.join(pending, "readme.txt"), "Version 2.0\r\n")
        write(os.path.join(pending, "data", "new.txt"), "new in 2.0\r\n")
        code, out = wine.run(os.path.join(folder, "Velmora Starter.exe"), ["--from-test"], cwd=folder)
        log = read(os.path.join(folder, "velmora_starter.log")).decode("utf-8", "replace") \
            if os.path.exists(os.path.join(folder, "velmora_starter.log")) else "(no log)\n" + out
        check(code == 0, "exit code %d\n%s" % (code, log))
        check(read(os.path.join(folder, "readme.txt")) == b"Version 2.0\r\n", "readme not applied\n" + log)
        check(read(os.path.join(folder, "data", "new.txt")) == b"new in 2.0\r\n", "new file not applied\n" + log)
        check(read(os.path.join(folder, "data", "keep.txt")) == b"kept\r\n", "kept file changed\n" + log)
        left = [n for n in os.listdir(pending) if not n.startswith(".")]
        check(left == [], "InstallerTemp not emptied: %s\n%s" % (left, log))
    finally:
        wine.stop_all()
        shutil.rmtree(folder, ignore_errors=True)


def case_wizard(bin_dir, wine):
    """The updater in full mode shows its wizard; a screenshot of the first
    page is kept."""
    run = Run(bin_dir, wine)
    process = None
    try:
        inst = run.installation
        inst.publish(run.nginx.http())
        inst.install(run.nginx.http("updatefile.xml"))
        process = inst.wine.start(inst.updater, ["-mode", "full"], cwd=inst.app)
        env = dict(wine.env)
        found = subprocess.run(["xdotool", "search", "--sync", "--onlyvisible", "--name", APP_NAME],
                               env=env, capture_output=True, timeout=RUN_BOUND_S)
        check(found.returncode == 0 and found.stdout.strip(),
              "no window of the wizard\n" + inst.log())
        window = found.stdout.split()[0].decode()
        # The toolkit said so before the window was made.
        check(WINDOWS_READY in inst.log(), "the window is not the updater's\n" + inst.log())
        shots = os.environ.get("VELMORA_SCREENSHOTS", os.getcwd())
        os.makedirs(shots, exist_ok=True)
        shot = os.path.join(shots, "wine-wizard-first-page.png")
        subprocess.run(["import", "-window", "root", shot], env=env, check=True, timeout=60)
        check(os.path.getsize(shot) > 1000, "empty screenshot")
        name = subprocess.run(["xdotool", "getwindowname", window], env=env, capture_output=True)
        print("wizard window: %s; screenshot %s" % (name.stdout.decode().strip(), shot))
    finally:
        wine.stop_all()
        if process:
            process.wait(timeout=60)
        run.close()


CASES = {
    "http": case_http,
    "https": case_https,
    "rollback": case_rollback,
    "self_update": case_self_update,
    "starter": case_starter,
    "wizard": case_wizard,
}


def main():
    if len(sys.argv) < 3:
        print(__doc__, file=sys.stderr)
        return 2
    bin_dir = os.path.abspath(sys.argv[1])
    names = list(CASES) if sys.argv[2:] == ["all"] else sys.argv[2:]
    prefix = os.environ.get("VELMORA_WINEPREFIX")
    if not prefix:
        print("wine_e2e: VELMORA_WINEPREFIX must name the wine prefix of these runs", file=sys.stderr)
        return 2
    # Xvfb picks a free display and writes its number once it takes clients.
    xvfb = subprocess.Popen(["Xvfb", "-displayfd", "1", "-screen", "0", "1024x768x24", "-nolisten",
                             "tcp"], stdout=subprocess.PIPE, stderr=subprocess.DEVNULL)
    display = ":" + read_until(xvfb, xvfb.stdout, b"\n", 30, "Xvfb").decode().strip()
    wine = Wine(prefix, display)
    failed = []
    try:
        for name in names:
            started = time.monotonic()
            try:
                CASES[name](bin_dir, wine)
                print("wine_e2e: %s passed (%.0f s)" % (name, time.monotonic() - started))
            except (Failure, subprocess.SubprocessError, OSError) as error:
                print("wine_e2e: %s FAILED: %s" % (name, error))
                failed.append(name)
    finally:
        wine.stop_all()
        xvfb.terminate()
        xvfb.wait(timeout=20)
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
