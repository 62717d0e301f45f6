#!/usr/bin/python3
"""The web page in headless Firefox, driven through Marionette (Firefox's own remote protocol,
which needs no separate driver): the page starts, shows the samples in every bitmap mode 1:1 and
doubled as vramoria-convert shows them, and imports a PNG through the browser's decoder as the
converter imports it. Prints "firefox: N passed, M failed".

    firefox_test.py PAGE-DIR VRAMORIA-CONVERT SAMPLES-DIR
"""
import functools
import http.server
import json
import os
import shutil
import socket
import subprocess
import sys
import tempfile
import threading
import time

from PIL import Image

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from page import Quiet, test_image  # noqa: E402

page_dir, convert, samples = (os.path.abspath(a) for a in sys.argv[1:4])
work = tempfile.mkdtemp(prefix='vramoria-firefox-')
passed = failed = 0


def check(name, ok, detail=''):
    global passed, failed
    passed, failed = (passed + 1, failed) if ok else (passed, failed + 1)
    if not ok:
        print(f'FAIL {name}' + (f': {detail}' if detail else ''))


def converter(path, *steps):
    folder, name = os.path.split(path)
    out = os.path.join(work, 'out.png')
    run = subprocess.run([convert, name, *steps, '-o', out], cwd=folder, capture_output=True)
    return Image.open(out).convert('RGBA') if run.returncode == 0 else None


def converter_state(path, *steps):
    folder, name = os.path.split(path)
    run = subprocess.run([convert, name, *steps, '--info', '--json'], cwd=folder, capture_output=True)
    state = json.loads(run.stdout.decode().splitlines()[-1])
    state.pop('file')
    return state


class Marionette:
    """The few commands of Marionette's protocol the test needs: length-prefixed JSON packets,
    [0, id, command, parameters] answered by [1, id, error, result]."""

    def __init__(self, port):
        for _ in range(200):
            try:
                self.sock = socket.create_connection(('127.0.0.1', port))
                break
            except OSError:
                time.sleep(0.1)
        self.buffer = b''
        self.id = 0
        self.receive()  # the server's hello

    def receive(self):
        while b':' not in self.buffer:
            self.buffer += self.sock.recv(65536)
        length, rest = self.buffer.split(b':', 1)
        while len(rest) < int(length):
            rest += self.sock.recv(65536)
        self.buffer = rest[int(length):]
        return json.loads(rest[:int(length)])

    def command(self, name, parameters=None):
        self.id += 1
        data = json.dumps([0, self.id, name, parameters or {}]).encode()
        self.sock.sendall(str(len(data)).encode() + b':' + data)
        while True:
            answer = self.receive()
            if answer[0] == 1 and answer[1] == self.id:
                if answer[2]:
                    raise RuntimeError(f'{name}: {answer[2]}')
                return answer[3]

    def script(self, source, *args):
        return self.command('WebDriver:ExecuteScript', {'script': source, 'args': list(args)})['value']


server = http.server.ThreadingHTTPServer(('127.0.0.1', 0), functools.partial(Quiet, directory=page_dir))
threading.Thread(target=server.serve_forever, daemon=True).start()
url = f'http://127.0.0.1:{server.server_address[1]}/'
with socket.socket() as s:
    s.bind(('127.0.0.1', 0))
    port = s.getsockname()[1]
profile = os.path.join(work, 'profile')
os.makedirs(profile)
# The network is closed: nothing that phones home, so that nothing waits on it.
prefs = {'marionette.port': port, 'app.update.disabledForTesting': True, 'browser.shell.checkDefaultBrowser': False,
         'datareporting.policy.dataSubmissionEnabled': False, 'toolkit.telemetry.enabled': False,
         'browser.safebrowsing.malware.enabled': False, 'browser.safebrowsing.phishing.enabled': False,
         'network.captive-portal-service.enabled': False, 'network.connectivity-service.enabled': False,
         'extensions.update.enabled': False, 'browser.startup.homepage_override.mstone': 'ignore',
         'browser.aboutwelcome.enabled': False, 'remote.prefs.recommended': True, 'intl.accept_languages': 'en-US'}
with open(os.path.join(profile, 'user.js'), 'w') as f:
    for key, value in prefs.items():
        f.write(f'user_pref({json.dumps(key)}, {json.dumps(value)});\n')
firefox = subprocess.Popen([shutil.which('firefox-esr') or shutil.which('firefox'), '--headless', '--marionette',
                            '--no-remote', '--profile', profile], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
try:
    m = Marionette(port)
    m.command('WebDriver:NewSession', {'capabilities': {}})
    m.command('WebDriver:Navigate', {'url': url})
    for _ in range(100):
        if m.script('return document.body.dataset.ready') == 'true':
            break
        time.sleep(0.1)
    check('the page starts', m.script('return document.body.dataset.ready') == 'true',
          m.script('return document.getElementById("status").textContent'))

    def pane():
        p = m.script('const p = window.vramoria.pane(); return [p.width, p.height, p.data]')
        return p[0], p[1], bytes(p[2])

    def same_pane(name, expected):
        got = pane()
        check(name, expected is not None and got[:2] == expected.size and got[2] == expected.tobytes(),
              f'pane {got[:2]}, converter {expected.size if expected else None}')

    def key(name, code, ctrl=False):
        m.script('document.dispatchEvent(new KeyboardEvent("keydown", {key: arguments[0], code: arguments[1], ctrlKey: arguments[2]}))',
                 name, code, ctrl)

    for sample in ['testcard.sc5', 'testcard.sc7', 'testcard.sca']:
        path = os.path.join(samples, sample)
        m.script('return window.vramoria.open(arguments[0], arguments[1])', sample, list(open(path, 'rb').read()))
        state = m.script('return window.vramoria.state()')
        state.pop('file')
        check(f'{sample}: state() is --info --json', state == converter_state(path))
        same_pane(f'{sample}: the 1:1 pane', converter(path, '--view', 'small'))
    sc7 = os.path.join(samples, 'testcard.sc7')
    m.script('window.vramoria.select(1)')
    for mode, keyname in [('5', 'F5'), ('6', 'F6'), ('8', 'F8'), ('12', 'F12'), ('7', 'F7')]:
        key(keyname, keyname)
        same_pane(f'{keyname}: SCREEN {mode}, 1:1', converter(sc7, '--mode', mode, '--view', 'small'))
    key('k', 'KeyK', True)
    same_pane('Ctrl+K: SCREEN 7 doubled', converter(sc7, '--view', 'large'))

    # A PNG through Firefox's own decoder, into SCREEN 5.
    photo = os.path.join(work, 'photo.png')
    Image.frombytes('RGB', (300, 200), test_image(300, 200)).save(photo)
    m.script('window.vramoria.open("photo.png", arguments[0]); return true', list(open(photo, 'rb').read()))
    for _ in range(100):
        if m.script('return document.getElementById("importDialog").dataset.ready') not in (None, '0'):
            break
        time.sleep(0.1)
    m.script('document.getElementById("importOk").click()')
    same_pane('a PNG imported into SCREEN 5, as --import 5', converter(photo, '--import', '5', '--view', 'large'))
    m.command('Marionette:Quit', {'flags': ['eForceQuit']})
except (RuntimeError, OSError) as error:
    check('Firefox answers', False, str(error))
finally:
    try:
        firefox.wait(timeout=10)
    except subprocess.TimeoutExpired:
        firefox.kill()
    server.shutdown()
    shutil.rmtree(work, ignore_errors=True)
print(f'firefox: {passed} passed, {failed} failed')
sys.exit(0 if failed == 0 else 1)
