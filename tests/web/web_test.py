#!/usr/bin/python3
"""The web page in headless Chromium, against vramoria-convert.

Opens the samples and the shared pictures through the page's file input, presses the viewer's
keys and uses its menu, and holds what the page shows and saves against the converter: the
pane's pixels against `--view small|large -o x.png`, state() against `--info --json`, each
download against `-o`, an import against `--import`. Prints "web: N passed, M failed" and the
figures (load, switch, sizes).

    web_test.py PAGE-DIR VRAMORIA-CONVERT SAMPLES-DIR [PICTURES-DIR]
"""
import io
import json
import os
import shutil
import struct
import subprocess
import sys
import tempfile
import time
import zlib

from PIL import Image
from selenium.webdriver.common.by import By
from selenium.webdriver.common.keys import Keys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from page import (start, stop, js, wait, load_page, open_files, keys, pane, state, close_message,  # noqa: E402
                  menu_click, test_image)
import page  # noqa: E402

page_dir, convert, samples = (os.path.abspath(a) for a in sys.argv[1:4])
pictures = sys.argv[4] if len(sys.argv) > 4 else ''
work = tempfile.mkdtemp(prefix='vramoria-web-')
downloads = os.path.join(work, 'downloads')
os.makedirs(downloads)
passed = 0
failed = 0
figures = {}


def check(name, ok, detail=''):
    global passed, failed
    if ok:
        passed += 1
    else:
        failed += 1
        print(f'FAIL {name}' + (f': {detail}' if detail else ''))
    return ok


# ---- the converter, run beside a copy of the file so that names (and companions) match

def converter(path, *steps, output=None):
    """Runs vramoria-convert on path with steps in path's folder; returns (status, stdout, stderr,
    the output file's bytes or None)."""
    folder, name = os.path.split(path)
    args = [convert, name, *steps]
    if output:
        target = os.path.join(work, 'converter-' + output)
        if os.path.exists(target):
            os.remove(target)
        args += ['-o', target]
    run = subprocess.run(args, cwd=folder, capture_output=True)
    data = None
    if output and run.returncode == 0:
        with open(target, 'rb') as f:
            data = f.read()
    return run.returncode, run.stdout.decode(), run.stderr.decode(), data


def converter_state(path, *steps):
    status, out, err, _ = converter(path, *steps, '--info', '--json')
    return json.loads(out.splitlines()[-1]) if status == 0 else None


def converter_pixels(path, view, *steps):
    status, _, err, data = converter(path, *steps, '--view', view, output='view.png')
    if status != 0:
        raise RuntimeError(err)
    image = Image.open(io.BytesIO(data)).convert('RGBA')
    return image.width, image.height, image.tobytes()


# ---- a plain sRGB PNG and a BMP to import, made here

def png_rgb(width, height, rgb, per_metre=None):
    """An 8-bit RGB PNG; per_metre (across, down) adds a pHYs chunk: the pixels' shape."""
    raw = b''.join(b'\0' + rgb[y * width * 3:(y + 1) * width * 3] for y in range(height))
    def chunk(kind, body):
        return struct.pack('>I', len(body)) + kind + body + struct.pack('>I', zlib.crc32(kind + body))
    phys = chunk(b'pHYs', struct.pack('>IIB', *per_metre, 1)) if per_metre else b''
    return (b'\x89PNG\r\n\x1a\n' + chunk(b'IHDR', struct.pack('>IIBBBBB', width, height, 8, 2, 0, 0, 0)) + phys +
            chunk(b'IDAT', zlib.compress(raw)) + chunk(b'IEND', b''))



# ---- what the page shows and saves, against the converter

def same_state(shown, expected):
    if shown is None or expected is None:
        return shown == expected
    return {k: v for k, v in shown.items() if k != 'file'} == {k: v for k, v in expected.items() if k != 'file'}


def check_pane(name, path, view, *steps):
    expected = converter_pixels(path, view, *steps)
    got = pane()
    if got[:2] != expected[:2]:
        return check(name, False, f'pane {got[:2]}, converter {expected[:2]}')
    differing = sum(1 for i in range(0, len(got[2]), 4) if got[2][i:i + 4] != expected[2][i:i + 4])
    return check(name, differing == 0, f'{differing} pixels differ')


def take_download(name, seconds=10):
    path = os.path.join(downloads, name)
    wait(lambda: os.path.exists(path) and not os.path.exists(path + '.crdownload'), seconds)
    if not os.path.exists(path):
        return None
    with open(path, 'rb') as f:
        data = f.read()
    os.remove(path)
    # Chromium drops a download of a name it is still finishing the last one of: a pause.
    time.sleep(0.5)
    return data


# ---- the page

start(page_dir, work, downloads)

# ---- the tests

check('the page loads', load_page())
figures['ready'] = js('return window.vramoria.timings.ready')
check('no network beyond the page', all('favicon' not in e['message'] for e in page.driver.get_log('browser')))

names = ['testcard.sc5', 'testcard.sc6', 'testcard.sc7', 'testcard.sc8', 'testcard.sca', 'testcard.scc',
         'testcard.pl5', 'testcard.sr5']
open_files(*[os.path.join(samples, n) for n in names])
opened = [n for n in names if not n.endswith('.pl5')]
check('every sample opens, the palette file as a companion', js('return window.vramoria.count()') == len(opened),
      js('return window.vramoria.count()'))
check('the strip shows a thumbnail each', len(page.driver.find_elements(By.CSS_SELECTOR, '#strip .thumb')) == len(opened))

for index, name in enumerate(opened):
    path = os.path.join(samples, name)
    js('window.vramoria.select(arguments[0])', index)
    check(f'{name}: state() is --info --json', same_state(state(), converter_state(path)))
    check_pane(f'{name}: the 1:1 pane', path, 'small')

# Every mode by its key, on the SCREEN 7 card, 1:1 and doubled.
sc7 = os.path.join(samples, 'testcard.sc7')
js('window.vramoria.select(arguments[0])', opened.index('testcard.sc7'))
mode_keys = [(Keys.F5, '5'), (Keys.F6, '6'), (Keys.F7, '7'), (Keys.F8, '8'), (Keys.F10, '10'), (Keys.F11, '10'),
             (Keys.F12, '12')]
for key, mode in mode_keys:
    keys(key)
    check(f'mode key for SCREEN {mode}', same_state(state(), converter_state(sc7, '--mode', mode)))
    check_pane(f'SCREEN {mode}: the 1:1 pane', sc7, 'small', '--mode', mode)
keys((Keys.CONTROL, 'k'))
for key, mode in mode_keys[:4]:
    keys(key)
    check_pane(f'SCREEN {mode}: the doubled pane (Ctrl+K)', sc7, 'large', '--mode', mode)
keys((Keys.CONTROL, 'j'))
check('Ctrl+J: back to 1:1', pane()[:2] == (256, 212))
# The MSX1 modes, from the menu (they have no key).
for mode in ['1', '2', '3', '4']:
    check(f'menu: SCREEN {mode}', menu_click('Screen mode', f'SCREEN{mode} (MSX1)'))
    check_pane(f'SCREEN {mode}: the 1:1 pane', sc7, 'small', '--mode', mode)
keys(Keys.F7)

# Palettes: the compressed card with its palette file, every slot by its key and the keypad.
sr5 = os.path.join(samples, 'testcard.sr5')
js('window.vramoria.select(arguments[0])', opened.index('testcard.sr5'))
slots = converter_state(sr5)['availableSlots']
for key, slot, word in [('8', 0, 'standard'), ('9', 1, 'internal'), ('0', 2, '0'), ('1', 3, '1'), ('2', 4, '2'),
                        (Keys.NUMPAD3, 5, '3'), ('7', 9, '7')]:
    keys(key)
    if slot in slots:
        check(f'palette key for {word}', state()['paletteIndex'] == slot)
        check_pane(f'palette {word}: the pane', sr5, 'small', '--palette', word)
    else:
        check(f'palette key for {word}: unavailable, nothing changes', state()['paletteIndex'] != slot)
keys((Keys.SHIFT, '1'))
check('Shift+1 is no palette key', state()['paletteIndex'] != 3 or 3 not in slots)

# Conversions and saves: each as the converter writes it.
sc5 = os.path.join(samples, 'testcard.sc5')
for target, key in [('7', Keys.F7), ('8', Keys.F8), ('6', Keys.F6), ('10', Keys.F10)]:
    js('window.vramoria.open("testcard.sc5", arguments[0])', list(open(sc5, 'rb').read()))
    keys((Keys.CONTROL, key))
    check(f'Ctrl+{target}: SCREEN 5 converted to SCREEN {target}', same_state(state(), converter_state(sc5, '--convert', target)))
    check_pane(f'SCREEN 5 -> {target}: the pane', sc5, 'small', '--convert', target)
    extension = {'7': 'sc7', '8': 'sc8', '6': 'sc6', '10': 'sca'}[target]
    keys((Keys.CONTROL, 's'))
    check(f'SCREEN 5 -> {target}: Ctrl+S saves the converter\'s BSAVE bytes',
          take_download(f'testcard.{extension}') == converter(sc5, '--convert', target, output='x.' + extension)[3])
    keys((Keys.CONTROL, 'b'))
    got, expected = take_download('testcard.bmp'), converter(sc5, '--convert', target, output='x.bmp')[3]
    check(f'SCREEN 5 -> {target}: Ctrl+B saves the converter\'s BMP bytes', got == expected,
          f'{len(got) if got else None} bytes, converter {len(expected)}; {os.listdir(downloads)}; {js("return window.vramoria.downloads")}')
    keys((Keys.CONTROL, 'p'))
    check(f'SCREEN 5 -> {target}: Ctrl+P saves the converter\'s PNG bytes',
          take_download('testcard.png') == converter(sc5, '--convert', target, output='x.png')[3])
# SCREEN 8 offers no conversion: the menu greys them all and Ctrl+F5 does nothing.
js('window.vramoria.open("testcard.sc8", arguments[0])', list(open(os.path.join(samples, 'testcard.sc8'), 'rb').read()))
before = state()
keys((Keys.CONTROL, Keys.F5))
check('SCREEN 8: Ctrl+F5 converts nothing', state() == before)
page.driver.find_element(By.ID, 'screen').click()
greyed = js('return Array.from(document.querySelectorAll("#menu li[data-command^=convert]")).map(li => li.classList.contains("disabled"))')
check('SCREEN 8: the conversion items are greyed', greyed == [True] * 6, greyed)
keys(Keys.ESCAPE)

# The machine's colours (--colors hardware): SCREEN 6 and 8.
for name in ['testcard.sc6', 'testcard.sc8']:
    path = os.path.join(samples, name)
    js('window.vramoria.open(arguments[1], arguments[0])', list(open(path, 'rb').read()), name)
    keys((Keys.CONTROL, 'h'))
    check_pane(f'{name}: the machine\'s colours (Ctrl+H)', path, 'small', '--colors', 'hardware')
    keys((Keys.CONTROL, 'p'))
    check(f'{name}: PNG in the machine\'s colours',
          take_download(name.replace('.sc', '.').split('.')[0] + '.png') == converter(path, '--colors', 'hardware', output='x.png')[3])
    keys((Keys.CONTROL, 'h'))

# A palette file through Ctrl+L's file input; a short one is refused and changes nothing.
js('window.vramoria.open("testcard.sc5", arguments[0])', list(open(sc5, 'rb').read()))
before = state()
short = os.path.join(work, 'short.pl5')
with open(short, 'wb') as f:
    f.write(bytes(31))
page.driver.find_element(By.ID, 'paletteInput').send_keys(short)
wait(lambda: js('return window.vramoria.message()'))
check('a short palette file: the viewer\'s message', 'Not a palette file.' in js('return window.vramoria.message()'),
      js('return window.vramoria.message()'))
check('a short palette file changes nothing', state() == before)
close_message()
page.driver.find_element(By.ID, 'paletteInput').send_keys(os.path.join(samples, 'testcard.pl5'))
wait(lambda: state()['filePaletteCount'] > 0)
check('a palette file (Ctrl+L)', same_state(state(), converter_state(sc5, '--palette-file', os.path.join(samples, 'testcard.pl5'))))

# A damaged file shows the converter's message and changes nothing.
bad = os.path.join(work, 'bad.sc5')
with open(bad, 'wb') as f:
    f.write(bytes([0xFE, 0x00, 0x00]))
before, count = state(), js('return window.vramoria.count()')
open_files(bad)
shown = js('return window.vramoria.message()')
words = converter(bad)[2].split('bad.sc5: ')[-1].strip()
check('a damaged file: the viewer\'s text and the converter\'s words', 'Not a BSAVE file.' in shown and words in shown,
      f'{shown!r} / {words!r}')
check('a damaged file changes nothing', state() == before and js('return window.vramoria.count()') == count,
      f'{state()} / {before}')
close_message()

# A raw VRAM dump (no header), read as the converter reads it, with its note.
dump = os.path.join(work, 'dump.sc5')
with open(dump, 'wb') as f:
    f.write(bytes((i * 7 + (i >> 7)) & 255 for i in range(0x6A00)))
open_files(dump)
check('a raw dump: state() is --info --json', same_state(state(), converter_state(dump)))
check_pane('a raw dump: the 1:1 pane', dump, 'small')
check('a raw dump: the converter\'s note', 'read as raw VRAM' in page.driver.find_element(By.ID, 'status').text)

# Import: a plain sRGB PNG and a BMP, through the dialog, against --import.
width, height = 300, 200
rgb = test_image(width, height)
photo = os.path.join(work, 'photo.png')
with open(photo, 'wb') as f:
    f.write(png_rgb(width, height, rgb))
Image.frombytes('RGB', (width, height), rgb).save(os.path.join(work, 'photo.bmp'))
wide = os.path.join(work, 'wide.png')  # pixels half as wide as high
with open(wide, 'wb') as f:
    f.write(png_rgb(width, height, rgb, (18000, 9000)))
for source in [photo, os.path.join(work, 'photo.bmp'), wide]:
    for mode, value, dither, dither_value in [('5', '0', 'diffusion', '2'), ('8', '3', 'none', '0'), ('12', '5', 'ordered', '1')]:
        open_files(source)
        check(f'{os.path.basename(source)}: the import dialog opens', wait(lambda: js('return document.getElementById("importDialog").open')))
        ready = js('return document.getElementById("importDialog").dataset.ready')
        page.driver.execute_script('const s = document.getElementById("importMode"); s.value = arguments[0]; s.dispatchEvent(new Event("change"));', value)
        wait(lambda: js('return document.getElementById("importDialog").dataset.ready') != ready)
        ready = js('return document.getElementById("importDialog").dataset.ready')
        page.driver.execute_script('const s = document.getElementById("importDither"); s.value = arguments[0]; s.dispatchEvent(new Event("change"));', dither_value)
        wait(lambda: js('return document.getElementById("importDialog").dataset.ready') != ready)
        page.driver.find_element(By.ID, 'importOk').click()
        steps = ('--import', mode, '--dither', dither)
        check(f'{os.path.basename(source)} into SCREEN {mode} ({dither}): state', same_state(state(), converter_state(source, *steps)))
        check_pane(f'{os.path.basename(source)} into SCREEN {mode}: the pane', source, 'small', *steps)
        keys((Keys.CONTROL, 's'))
        extension = {'5': 'sc5', '8': 'sc8', '12': 'scc'}[mode]
        stem = os.path.splitext(os.path.basename(source))[0]
        check(f'{os.path.basename(source)} into SCREEN {mode}: saved as the converter saves it',
              take_download(stem + '.' + extension) == converter(source, *steps, output='x.' + extension)[3])

# Dropping files on the page: a palette file with its picture, in either order, in upper case.
folder = os.path.join(work, 'disk')
os.makedirs(folder)
shutil.copy(os.path.join(samples, 'testcard.sr5'), os.path.join(folder, 'CARD.SR5'))
shutil.copy(os.path.join(samples, 'testcard.pl5'), os.path.join(folder, 'card.pl5'))
expected = converter_state(os.path.join(folder, 'CARD.SR5'))
for order in [['CARD.SR5', 'card.pl5'], ['card.pl5', 'CARD.SR5']]:
    load_page()
    js("""const dt = new DataTransfer();
      for (const [name, bytes] of arguments[0]) dt.items.add(new File([new Uint8Array(bytes)], name));
      document.dispatchEvent(new DragEvent('drop', {dataTransfer: dt, bubbles: true}));""",
       [[n, list(open(os.path.join(folder, n), 'rb').read())] for n in order])
    wait(lambda: js('return window.vramoria.count()') == 1)
    check(f'a drop of {order}: the picture with its palette file', same_state(state(), expected),
          f'{state()} / {expected}')
# A folder through the folder picker: its files named by their path, the companion beside.
load_page()
page.driver.find_element(By.ID, 'folderInput').send_keys(folder)
wait(lambda: js('return window.vramoria.count()') == 1)
check('a folder: the picture with its palette file', same_state(state(), expected), state())
check('a folder: the name keeps its folder', (state() or {}).get('file') == 'disk/CARD.SR5', state())
# The palette file opened first is the next picture's companion (the test hook's way).
load_page()
js('window.vramoria.open("card.pl5", arguments[0])', list(open(os.path.join(folder, 'card.pl5'), 'rb').read()))
check('a palette file alone opens no picture', js('return window.vramoria.count()') == 0)
js('window.vramoria.open("CARD.SR5", arguments[0])', list(open(os.path.join(folder, 'CARD.SR5'), 'rb').read()))
check('the next picture takes it', same_state(state(), expected), state())

# Copy (Ctrl+C): the clipboard gets the PNG the converter writes.
page.driver.execute_cdp_cmd('Browser.grantPermissions', {'origin': page.url.rstrip('/'),
                                                    'permissions': ['clipboardReadWrite', 'clipboardSanitizedWrite']})
keys((Keys.CONTROL, 'c'))
wait(lambda: page.driver.find_element(By.ID, 'status').text.startswith('Copied') or js('return window.vramoria.message()'))
copied = page.driver.execute_async_script("""const done = arguments[0];
  navigator.clipboard.read().then(async (items) => {
    const blob = await items[0].getType('image/png');
    done(Array.from(new Uint8Array(await blob.arrayBuffer())));
  }).catch((e) => done(String(e)));""")
if isinstance(copied, list):
    image = Image.open(io.BytesIO(bytes(copied))).convert('RGBA')
    expected_png = Image.open(io.BytesIO(converter(os.path.join(folder, 'CARD.SR5'), output='x.png')[3])).convert('RGBA')
    check('Ctrl+C: the clipboard holds the picture as PNG', image.size == expected_png.size and
          image.tobytes() == expected_png.tobytes())
else:
    check('Ctrl+C: the clipboard holds the picture as PNG', False, copied)

# About (Ctrl+A) and the Japanese texts.
keys((Keys.CONTROL, 'a'))
check('Ctrl+A: the About box', js('return document.getElementById("about").open') and
      'Vramoria version ' in page.driver.find_element(By.ID, 'aboutVersion').text)
page.driver.find_element(By.ID, 'aboutOk').click()
page.driver.find_element(By.ID, 'languageButton').click()
page.driver.find_element(By.ID, 'screen').click()
labels = js('return Array.from(document.querySelectorAll("#menu > li > .label")).map(e => e.textContent)')
check('Japanese: the viewer\'s menu texts', labels[:4] == ['画面モード(M)', 'パレット(P)', '小さいウィンドウ(J)', '大きいウィンドウ(K)'], labels)
keys(Keys.ESCAPE)
keys(Keys.ARROW_DOWN)
check('the Down arrow opens the menu', js('return !document.getElementById("menu").hidden'))
keys(Keys.ESCAPE)
open_files(bad)
check('Japanese: the viewer\'s message', 'BSAVEファイルではありません。' in js('return window.vramoria.message()'))
close_message()

# The shared real pictures: whatever the converter reads, the page shows the same.
if pictures and os.path.isdir(pictures):
    for name in sorted(os.listdir(pictures)):
        path = os.path.join(pictures, name)
        if name.endswith('.md') or not os.path.isfile(path):
            continue
        expected = converter_state(path)
        count = js('return window.vramoria.count()')
        open_files(path)
        if name.lower().endswith('.pl5'):
            check(f'{name}: a palette file is kept, not opened', js('return window.vramoria.count()') == count)
            continue
        if expected is None:
            check(f'{name}: refused with a message', js('return window.vramoria.message()') != '')
            close_message()
            continue
        check(f'{name}: state() is --info --json', same_state(state(), expected))
        check_pane(f'{name}: the 1:1 pane', path, 'small')
else:
    print('web: the shared pictures are absent; their checks are skipped')

# Exit (Ctrl+Q, where the browser leaves it to the page): the pictures are closed.
keys((Keys.CONTROL, 'q'))
check('Ctrl+Q closes every picture', js('return window.vramoria.count()') == 0 and state() is None)

# Figures: opening to the first picture on screen, switching mode or palette, sizes.
load_page()
data = list(open(sc7, 'rb').read())
figures['open'] = js('''const t = performance.now();
  window.vramoria.open("testcard.sc7", arguments[0]);
  return performance.now() - t;''', data)
figures['first picture'] = js('return performance.now()')
switch = []
for key in ['F8', 'F7', 'F5', 'F12']:
    switch.append(js('''const t = performance.now();
      document.dispatchEvent(new KeyboardEvent("keydown", {key: arguments[0], code: arguments[0]}));
      return performance.now() - t;''', key))
for digit in ['8', '9']:
    switch.append(js('''const t = performance.now();
      document.dispatchEvent(new KeyboardEvent("keydown", {key: arguments[0], code: "Digit" + arguments[0]}));
      return performance.now() - t;''', digit))
figures['switch'] = max(switch)
files = [os.path.join(page_dir, f) for f in os.listdir(page_dir)]
figures['page bytes'] = sum(os.path.getsize(f) for f in files)
figures['wasm bytes'] = os.path.getsize(os.path.join(page_dir, 'vramoria.wasm'))
check('the .wasm is under 400 KB', figures['wasm bytes'] < 400 * 1024)
check('the page is under 600 KB', figures['page bytes'] < 600 * 1024)
stop()
shutil.rmtree(work, ignore_errors=True)
print(f"web: page ready {figures['ready']:.0f} ms after navigation (a fresh profile), a picture opened and painted "
      f"in {figures['open']:.1f} ms (on screen {figures['first picture']:.0f} ms after navigation, loaded again); "
      f"mode or palette switch at most {figures['switch']:.1f} ms; "
      f"page {figures['page bytes']} bytes, of which vramoria.wasm {figures['wasm bytes']}")
print(f'web: {passed} passed, {failed} failed')
sys.exit(0 if failed == 0 else 1)
