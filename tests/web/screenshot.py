#!/usr/bin/python3
"""A screenshot of the web page for the README: the samples opened, their thumbnails in the
strip, the SCREEN 7 card in the doubled pane and the popup menu open at its palette submenu,
in Japanese.

    screenshot.py PAGE-DIR SAMPLES-DIR OUT.png
"""
import os
import sys
import tempfile

from selenium.webdriver.common.keys import Keys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import page  # noqa: E402

page_dir, samples, out = sys.argv[1:4]
page.start(os.path.abspath(page_dir), tempfile.mkdtemp(prefix='vramoria-shot-'), language='ja', size='1000,760')
page.load_page()
names = ['testcard.sc5', 'testcard.sc6', 'testcard.sc8', 'testcard.sca', 'testcard.scc', 'testcard.pl5',
         'testcard.sr5', 'testcard.sc7']
page.open_files(*[os.path.join(samples, n) for n in names])
page.keys((Keys.CONTROL, 'k'))
page.menu_click('パレット', '標準', pick=False)
page.driver.save_screenshot(out)
page.stop()
print(f'screenshot: {out}')
