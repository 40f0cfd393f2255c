"""The status page in a real browser: headless Chromium driven by Selenium
lists the lines, shows a command while it runs and then its outcome, and
the "check this line" button shows the diagnosis."""
import os
import shutil
import tempfile

import pytest

webdriver = pytest.importorskip("selenium.webdriver")
from selenium.webdriver.common.by import By  # noqa: E402
from selenium.common.exceptions import NoSuchElementException, StaleElementReferenceException  # noqa: E402
from selenium.webdriver.support.ui import WebDriverWait  # noqa: E402

CHROMIUM = shutil.which("chromium") or "/usr/bin/chromium"
DRIVER = shutil.which("chromedriver") or "/usr/bin/chromedriver"
WAIT = 20


@pytest.fixture
def browser():
    if not (os.path.exists(CHROMIUM) and os.path.exists(DRIVER)):
        pytest.skip("chromium and chromium-driver are not installed")
    profile = tempfile.mkdtemp(prefix="mervd-chromium-")
    options = webdriver.ChromeOptions()
    options.binary_location = CHROMIUM
    for argument in ("--headless", "--no-sandbox", "--disable-gpu", "--disable-background-networking",
                     "--disable-component-update", "--disable-sync", "--no-first-run", "--disable-dev-shm-usage",
                     f"--user-data-dir={profile}"):
        options.add_argument(argument)
    service = webdriver.chrome.service.Service(executable_path=DRIVER)
    driver = webdriver.Chrome(service=service, options=options)
    yield driver
    driver.quit()
    shutil.rmtree(profile, ignore_errors=True)


def section_text(driver, line):
    return driver.find_element(By.ID, f"line-{line}").text


def waiting(driver):
    """The page is drawn anew every second: an element found may be gone a moment later."""
    return WebDriverWait(driver, WAIT, ignored_exceptions=(NoSuchElementException, StaleElementReferenceException))


def test_the_page_shows_lines_a_running_command_its_outcome_and_the_diagnosis(registers, daemons, browser):
    fast = registers("fast")
    slow = registers("slow", extra=("--line-speed", "150"))
    daemon = daemons({"counter": fast.connection(), "bar": slow.connection()})
    browser.get(f"http://127.0.0.1:{daemon.port}/#token={daemon.token}")
    wait = waiting(browser)
    wait.until(lambda driver: len(driver.find_elements(By.CSS_SELECTOR, "section.line")) == 2)
    wait.until(lambda driver: "idle" in section_text(driver, "counter") and "idle" in section_text(driver, "bar"))
    assert "token" not in browser.current_url, "the token stays out of the address bar"

    status, _ = daemon.post_command("bar", request_id="page-1", wait=False)
    assert status == 202
    wait.until(lambda driver: "running STS" in section_text(driver, "bar"))
    wait.until(lambda driver: "idle" in section_text(driver, "bar") and "done" in section_text(driver, "bar"))
    wait.until(lambda driver: driver.find_element(By.CSS_SELECTOR, "#line-bar table tr:nth-child(2)").text
               .startswith("STS done 0"))

    wait.until(lambda driver: driver.find_element(By.CSS_SELECTOR, "#line-counter button.diagnose").click() or True)
    wait.until(lambda driver: "ENQ round trip" in section_text(driver, "counter"))
    wait.until(lambda driver: "TCP address" in section_text(driver, "counter") and
               "model" in section_text(driver, "counter"))
    wait.until(lambda driver: "ok ENQ round trip" in " ".join(section_text(driver, "counter").split()))


def test_the_page_without_a_token_asks_for_one(registers, daemons, browser):
    register = registers("tcp")
    daemon = daemons({"a": register.connection()})
    browser.get(f"http://127.0.0.1:{daemon.port}/")
    wait = waiting(browser)
    wait.until(lambda driver: driver.find_element(By.ID, "login").is_displayed())
    browser.find_element(By.ID, "token").send_keys("wrong-token-1234567890")
    browser.find_element(By.ID, "use-token").click()
    wait.until(lambda driver: "Cannot read the lines" in driver.find_element(By.ID, "problem").text)
    browser.get(f"http://127.0.0.1:{daemon.port}/#token={daemon.token}")
    wait.until(lambda driver: len(driver.find_elements(By.CSS_SELECTOR, "section.line")) == 1)
