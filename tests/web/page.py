"""The web page served on 127.0.0.1 and driven in headless Chromium (selenium): what the page's
tests and its screenshot share."""
import atexit
import functools
import http.server
import os
import shutil
import threading
import time

from selenium import webdriver
from selenium.webdriver.chrome.service import Service
from selenium.webdriver.common.action_chains import ActionChains
from selenium.webdriver.common.by import By

driver = None
server = None
url = ''


class Quiet(http.server.SimpleHTTPRequestHandler):
    extensions_map = {**http.server.SimpleHTTPRequestHandler.extensions_map, '.wasm': 'application/wasm',
                      '.js': 'text/javascript'}

    def log_message(self, *args):
        pass


def start(page_dir, work, downloads=None, language='en-US', size='1200,900'):
    """Serves page_dir and starts Chromium with a fresh profile in work."""
    global driver, server, url
    server = http.server.ThreadingHTTPServer(('127.0.0.1', 0), functools.partial(Quiet, directory=page_dir))
    threading.Thread(target=server.serve_forever, daemon=True).start()
    url = f'http://127.0.0.1:{server.server_address[1]}/'
    options = webdriver.ChromeOptions()
    options.binary_location = shutil.which('chromium') or '/usr/bin/chromium'
    # The network is closed: without these, Chromium waits on connections it would make.
    for flag in ['--headless', '--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run',
                 '--disable-background-networking', '--disable-component-update', '--disable-sync',
                 f'--window-size={size}', f'--lang={language}',
                 f'--user-data-dir={os.path.join(work, "profile")}']:
        options.add_argument(flag)
    # Many downloads from one page: allowed without the browser's question.
    options.add_experimental_option('prefs', {'intl.accept_languages': language,
                                              'profile.default_content_setting_values.automatic_downloads': 1})
    driver = webdriver.Chrome(service=Service(shutil.which('chromedriver') or '/usr/bin/chromedriver'),
                              options=options)
    driver.set_script_timeout(60)
    # A test that stops on an exception still ends its browser and server.
    atexit.register(stop)
    if downloads:
        driver.execute_cdp_cmd('Browser.setDownloadBehavior', {'behavior': 'allow', 'downloadPath': downloads})
    return driver


def stop():
    global driver, server
    if driver is not None:
        driver.quit()
        driver = None
    if server is not None:
        server.shutdown()
        server = None


def js(script, *args):
    return driver.execute_script(script, *args)


def wait(condition, seconds=10):
    end = time.time() + seconds
    while time.time() < end:
        value = condition()
        if value:
            return value
        time.sleep(0.05)
    return condition()


def load_page():
    driver.get(url)
    return wait(lambda: js('return document.body.dataset.ready') == 'true')


def open_files(*paths):
    """Opens files through the page's file input, as a user picking them does."""
    count = js('return window.vramoria.count()')
    shown = js('return window.vramoria.message()')
    driver.find_element(By.ID, 'fileInput').send_keys('\n'.join(os.path.abspath(p) for p in paths))
    wait(lambda: js('return window.vramoria.count()') != count or js('return window.vramoria.message()') != shown
         or js('return document.getElementById("importDialog").open'), 5)


def keys(*sequence):
    """Presses keys; a (modifier, key) pair holds the modifier."""
    actions = ActionChains(driver)
    for key in sequence:
        if isinstance(key, tuple):
            modifier, key = key
            actions.key_down(modifier).send_keys(key).key_up(modifier)
        else:
            actions.send_keys(key)
    actions.perform()


def pane():
    p = js('const p = window.vramoria.pane(); return [p.width, p.height, p.data]')
    return p[0], p[1], bytes(p[2])


def state():
    return js('return window.vramoria.state()')


def close_message():
    if js('return document.getElementById("message").open'):
        driver.find_element(By.ID, 'messageOk').click()


def menu_click(*labels, pick=True):
    """Opens the popup menu with a click in the pane and goes to the item by its labels' start
    (through the submenus), clicking the last unless pick is false."""
    driver.find_element(By.ID, 'screen').click()
    element = driver.find_element(By.ID, 'menu')
    for label in labels:
        items = [li for li in element.find_elements(By.XPATH, './li[span[@class="label"]]')
                 if li.find_element(By.CLASS_NAME, 'label').get_attribute('textContent').startswith(label)]
        if not items:
            return False
        ActionChains(driver).move_to_element(items[0]).perform()
        if label != labels[-1]:
            element = items[0].find_element(By.TAG_NAME, 'ul')
        elif pick:
            items[0].click()
    return True


def test_image(width, height):
    """A picture to import: gradients across and down, and blue squares of 16 pixels (RGB)."""
    rgb = bytearray()
    for y in range(height):
        for x in range(width):
            rgb += bytes((x * 255 // (width - 1), y * 255 // (height - 1), 200 if (x // 16 + y // 16) % 2 == 0 else 40))
    return bytes(rgb)
