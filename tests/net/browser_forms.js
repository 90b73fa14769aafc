// Drives headless Chromium through the settings pages of a running local server and prints what
// it saw as one line of JSON. Usage: node browser_forms.js BASE_URL SCENARIO
//   setting    start page -> "保守 1" page -> *002 set to 0 -> submit
//   phonebook  first system phone-book page -> rows 000 and 001 given one number -> submit
'use strict';
const { chromium } = require('playwright-core');

async function main() {
  const [base, scenario] = process.argv.slice(2);
  const browser = await chromium.launch({
    executablePath: '/usr/bin/chromium',
    args: ['--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run',
           '--disable-background-networking', '--disable-component-update', '--disable-sync'],
  });
  const page = await browser.newPage();
  const result = {};
  if (scenario === 'setting') {
    await page.goto(base + '/');
    result.start = await page.title();
    await Promise.all([page.waitForLoadState('load'), page.click('a[href="01hosyu_01m.html"]')]);
    result.page = await page.title();
    result.before = await page.isChecked('input[name="h002"][value="1"]');
    await page.check('input[name="h002"][value="0"]');
    await Promise.all([page.waitForNavigation(), page.click('input[type="submit"]')]);
    result.after = await page.isChecked('input[name="h002"][value="0"]');
  } else if (scenario === 'phonebook') {
    await page.goto(base + '/16tansyuku_01m.html');
    result.page = await page.title();
    await page.fill('input[name="s000n1"]', '0312345678');
    await page.fill('input[name="s001n1"]', '0312345678');
    await page.fill('input[name="s002n1"]', '0455551234');
    await Promise.all([page.waitForNavigation(), page.click('input[type="submit"]')]);
    result.row0 = await page.inputValue('input[name="s000n1"]');
    result.row1 = await page.inputValue('input[name="s001n1"]');
    result.row2 = await page.inputValue('input[name="s002n1"]');
  }
  await browser.close();
  process.stdout.write(JSON.stringify(result) + '\n');
}

main().catch((error) => {
  process.stderr.write(String(error && error.stack || error) + '\n');
  process.exit(1);
});
