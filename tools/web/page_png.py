#!/usr/bin/python3
"""Takes doc/page.png, the README's picture of the page: d88cut.html in
headless Chromium after the sample set was chosen, the top 900 pixels of a
page 1000 pixels wide.

    /usr/bin/python3 tools/web/page_png.py PAGE SAMPLE_SET OUT_PNG

PAGE is a built d88cut.html, SAMPLE_SET a file made by
`build/make_sample_set`. Needs Debian's chromium, chromium-driver and
python3-selenium, as the page test does, and a Japanese font
(fonts-ipafont-gothic) for the messages to show. Nothing is downloaded.
"""
import base64
import os
import sys

from selenium import webdriver
from selenium.webdriver.chrome.service import Service
from selenium.webdriver.common.by import By
from selenium.webdriver.support.ui import WebDriverWait

WIDTH, HEIGHT = 1000, 900


def main(page, sample_set, out):
    options = webdriver.ChromeOptions()
    options.binary_location = "/usr/bin/chromium"
    for argument in ("--headless=new", "--no-sandbox", "--disable-gpu",
                     "--disable-background-networking", "--disable-component-update",
                     "--disable-sync", "--no-first-run", "--disable-dev-shm-usage",
                     "--hide-scrollbars", "--window-size=%d,%d" % (WIDTH, HEIGHT)):
        options.add_argument(argument)
    driver = webdriver.Chrome(service=Service("/usr/bin/chromedriver"), options=options)
    try:
        driver.execute_cdp_cmd("Emulation.setDeviceMetricsOverride",
                               {"width": WIDTH, "height": HEIGHT, "deviceScaleFactor": 1,
                                "mobile": False})
        driver.get("file://" + os.path.abspath(page))
        state = lambda d: d.execute_script("return document.body.dataset.state")
        WebDriverWait(driver, 30).until(lambda d: state(d) == "ready")
        driver.find_element(By.ID, "d88-files").send_keys(os.path.abspath(sample_set))
        WebDriverWait(driver, 60).until(lambda d: state(d) == "done")
        # The frame after "done", with every line drawn.
        driver.execute_async_script("requestAnimationFrame(() => requestAnimationFrame(arguments[0]))")
        shot = driver.execute_cdp_cmd("Page.captureScreenshot", {
            "format": "png",
            "clip": {"x": 0, "y": 0, "width": WIDTH, "height": HEIGHT, "scale": 1}})
    finally:
        driver.quit()
    with open(out, "wb") as f:
        f.write(base64.b64decode(shot["data"]))
    print("%s: %d bytes" % (out, os.path.getsize(out)))


if __name__ == "__main__":
    if len(sys.argv) != 4:
        sys.exit(__doc__)
    main(*sys.argv[1:])
