#!/usr/bin/env python3
"""Through a real browser: headless Chromium loads the singer's page from a running party,
searches, queues a song under the name <b>x</b>, and the queue shows that name as text.
Usage: browser_test.py PARTYHOST   (exits 77, skipped, when Chromium or its driver is missing)"""
import os
import shutil
import subprocess
import sys
import tempfile

SKIP = 77


def skip(why):
    print("SKIPPED: " + why + " (tools/install-deps.sh installs chromium, chromium-driver and "
          "python3-selenium)")
    sys.exit(SKIP)


try:
    from selenium import webdriver
    from selenium.webdriver.chrome.service import Service
    from selenium.webdriver.common.by import By
    from selenium.webdriver.support import expected_conditions as EC
    from selenium.webdriver.support.ui import WebDriverWait
except ImportError:
    skip("python3-selenium is missing")

browser = shutil.which("chromium") or shutil.which("chromium-browser")
driver_path = shutil.which("chromedriver")
if not browser or not driver_path:
    skip("chromium or chromedriver is missing")

host = subprocess.Popen([sys.argv[1], "120"], stdin=subprocess.PIPE, stdout=subprocess.PIPE,
                        text=True)
try:
    line = host.stdout.readline().strip()
    assert line.startswith("Party: http://127.0.0.1:"), line
    url = line[len("Party: "):]

    profile = tempfile.mkdtemp(prefix="kivo-chromium-")
    options = webdriver.ChromeOptions()
    options.binary_location = browser
    for argument in ("--headless=new", "--no-sandbox", "--disable-gpu", "--no-first-run",
                     "--disable-dev-shm-usage", "--user-data-dir=" + profile,
                     "--window-size=360,740"):
        options.add_argument(argument)
    driver = webdriver.Chrome(service=Service(driver_path), options=options)
    try:
        wait = WebDriverWait(driver, 20)
        driver.get(url)
        driver.find_element(By.ID, "name").send_keys("<b>x</b>")
        driver.find_element(By.ID, "search").send_keys("Song 13")
        # "Song 13" and "Song 130".."Song 139", once the last keystroke's search is shown.
        wait.until(lambda d: len(d.find_elements(By.CSS_SELECTOR, "#results li")) == 11)
        first = driver.find_element(By.CSS_SELECTOR, "#results li")
        assert first.text.startswith("<i>Song 13</i>"), first.text
        first.click()
        driver.find_element(By.ID, "key").send_keys("+2")
        driver.find_element(By.ID, "join").click()
        wait.until(EC.text_to_be_present_in_element((By.ID, "queue"), "<b>x</b>"))
        queue = driver.find_element(By.ID, "queue")
        assert queue.find_elements(By.TAG_NAME, "b") == [], "the name was read as markup"
        assert queue.find_elements(By.TAG_NAME, "i") == [], "the title was read as markup"
        singer = queue.find_element(By.CSS_SELECTOR, "li.mine .singer").text
        assert singer == "<b>x</b>", singer
        assert "(key +2)" in queue.text, queue.text
        assert driver.find_element(By.ID, "place").text == "You're next!"
        # The party saw exactly one request.
        assert host.stdout.readline().strip() == "Queue: 1"
        # Withdrawing empties it again.
        queue.find_element(By.CSS_SELECTOR, "li.mine button").click()
        wait.until(EC.text_to_be_present_in_element((By.ID, "place"), "The queue is empty."))
        # The browser's own try for an icon is refused like every request without the key.
        errors = [entry for entry in driver.get_log("browser")
                  if entry["level"] == "SEVERE" and "favicon.ico" not in entry["message"]]
        assert not errors, errors
        print("PASS: queued and withdrew as <b>x</b>, shown as text")
    finally:
        driver.quit()
        shutil.rmtree(profile, ignore_errors=True)
finally:
    host.stdin.close()
    host.wait(timeout=10)
