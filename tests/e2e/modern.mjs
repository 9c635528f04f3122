// The modern gallery page as a visitor meets it on a phone and on a desktop:
// every thumbnail loads (the sharp one on a dense screen), nothing is wider
// than the screen, captions are readable, the grid has the chosen columns
// on a wide screen and at most two on a phone, the viewer opens, moves and
// closes by mouse and keys, the page asks for nothing outside its folder,
// it works without JavaScript, and axe-core finds no WCAG A/AA violation.
import { chromium } from 'playwright-core';
import { mkdtempSync, readFileSync, rmSync } from 'node:fs';
import { createRequire } from 'node:module';
import { tmpdir } from 'node:os';
import { basename, dirname, join } from 'node:path';

const axeSource = createRequire(import.meta.url).resolve('axe-core/axe.min.js');
const viewports = [
  { width: 390, height: 844, deviceScaleFactor: 3 },
  { width: 1440, height: 900, deviceScaleFactor: 1 },
];
// Everything a page may be but its per-picture lines.
const fixedPartLimit = 20 * 1024;

export async function withContext(options, use) {
  const profile = mkdtempSync(join(tmpdir(), 'tumbilder-chromium-'));
  const context = await chromium.launchPersistentContext(profile, {
    executablePath: '/usr/bin/chromium',
    headless: true,
    timeout: 60000,
    args: ['--headless', '--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run',
      '--disable-background-networking', '--disable-component-update', '--disable-sync'],
    ...options,
  });
  try {
    return await use(context);
  } finally {
    await context.close();
    rmSync(profile, { recursive: true, force: true });
  }
}

// Scrolls every thumbnail into view, so lazy ones load, and waits for it.
async function loadAll(page) {
  await page.evaluate(async () => {
    for (const img of document.querySelectorAll('.g img')) {
      img.scrollIntoView();
      await img.decode().catch(() => {});
    }
    window.scrollTo(0, 0);
  });
}

async function axeViolations(page) {
  await page.addScriptTag({ path: axeSource });
  return page.evaluate(async () => {
    const result = await window.axe.run(document, {
      runOnly: { type: 'tag', values: ['wcag2a', 'wcag2aa', 'wcag21a', 'wcag21aa', 'wcag22aa'] },
    });
    return result.violations.map((v) => `${v.id}: ${v.nodes.map((n) => n.target.join(' ')).join(', ')}`);
  });
}

function viewerState(page) {
  return page.evaluate(() => {
    const v = document.getElementById('v');
    const img = v.querySelector('img');
    return {
      open: !v.hidden && getComputedStyle(v).display !== 'none',
      caption: v.querySelector('figcaption')?.textContent ?? null,
      src: img ? img.getAttribute('src') : null,
      loaded: img ? img.complete && img.naturalWidth > 0 : false,
      link: v.querySelector('a')?.getAttribute('href') ?? null,
      focus: document.activeElement?.getAttribute('href') ?? document.activeElement?.className ?? null,
    };
  });
}

export async function checkModern(m, { check, addresses, isFile, localPath }) {
  const html = readFileSync(m.page, 'utf8');
  const perPicture = html.split('\n').filter((l) => l.startsWith('<li>'));
  const fixedBytes = Buffer.byteLength(html) - perPicture.reduce((n, l) => n + Buffer.byteLength(l) + 1, 0);
  console.log(`modern page, ${m.files.length} pictures: ${Buffer.byteLength(html)} bytes, `
    + `${fixedBytes} of them outside the per-picture lines`);
  check(perPicture.length === m.files.length, `modern: ${perPicture.length} picture lines for ${m.files.length}`);
  check(fixedBytes < fixedPartLimit, `modern: ${fixedBytes} bytes besides the picture lines`);

  for (const viewport of viewports) {
    const { deviceScaleFactor, ...size } = viewport;
    await withContext({ viewport: size, deviceScaleFactor }, async (context) => {
      for (const { via, url } of addresses(m.page)) {
        const where = `modern ${size.width}x${size.height} (${via})`;
        const page = await context.newPage();
        const requests = [];
        page.on('request', (r) => requests.push(r.url()));
        await page.goto(url, { waitUntil: 'load' });
        await loadAll(page);
        const seen = await page.evaluate(async () => {
          // A candidate of srcset reports its size divided by its density:
          // the file's own pixels come from loading it alone.
          const pixels = async (src) => {
            const img = new Image();
            img.src = src;
            await img.decode().catch(() => {});
            return [img.naturalWidth, img.naturalHeight];
          };
          const items = [...document.querySelectorAll('.g li')];
          const firstTop = items.length ? items[0].getBoundingClientRect().top : 0;
          return {
            title: document.title,
            scroll: { width: document.documentElement.scrollWidth, client: document.documentElement.clientWidth },
            columns: items.filter((li) => Math.abs(li.getBoundingClientRect().top - firstTop) < 1).length,
            images: await Promise.all([...document.querySelectorAll('.g img')].map(async (i) => ({
              src: i.src, current: i.currentSrc, alt: i.alt, lazy: i.getAttribute('loading'),
              width: i.getAttribute('width'), height: i.getAttribute('height'),
              natural: await pixels(i.currentSrc), srcset: i.getAttribute('srcset'),
              loaded: i.complete && i.naturalWidth > 0,
            }))),
            links: [...document.querySelectorAll('.g a')].map((a) => ({ href: a.href, raw: a.getAttribute('href') })),
            captions: [...document.querySelectorAll('.g span')].map((s) => ({
              text: s.textContent, px: parseFloat(getComputedStyle(s).fontSize),
            })),
          };
        });
        if (process.env.GALLERY_SCREENSHOTS && via === 'disk') {
          await page.screenshot({ path: join(process.env.GALLERY_SCREENSHOTS, `modern-${size.width}.png`) });
        }

        check(seen.title === m.title, `${where}: title is ${JSON.stringify(seen.title)}`);
        check(seen.scroll.width <= seen.scroll.client,
          `${where}: scrolls sideways (${seen.scroll.width} > ${seen.scroll.client})`);
        const wide = size.width >= 1024;
        check(wide ? seen.columns === Math.min(m.columns, m.files.length) : seen.columns <= 2,
          `${where}: ${seen.columns} columns in the first row, chosen ${m.columns}`);
        check(seen.images.length === m.files.length, `${where}: ${seen.images.length} images`);
        seen.images.forEach((img, i) => {
          check(img.loaded, `${where}: thumbnail ${img.current || img.src} did not load`);
          check(img.alt === m.files[i], `${where}: alt ${JSON.stringify(img.alt)}, want ${JSON.stringify(m.files[i])}`);
          check(img.lazy === 'lazy', `${where}: ${img.alt} is not loaded lazily`);
          check(img.srcset !== null, `${where}: ${img.alt} has no twice-size thumbnail`);
          const file = localPath(img.src);
          check(file !== null && Number(img.width) > 0 && Number(img.height) > 0,
            `${where}: ${img.alt} has no width and height`);
          // The sharp thumbnail on a dense screen, its own pixels twice those it is shown at.
          if (deviceScaleFactor > 1 && img.srcset !== null) {
            check(img.current.includes('%402x.') || img.current.includes('@2x.'),
              `${where}: ${img.alt} shows ${img.current} on a ${deviceScaleFactor}x screen`);
            check(img.natural[0] === 2 * img.width && img.natural[1] === 2 * img.height,
              `${where}: ${img.alt} double is ${img.natural}, shown ${img.width}x${img.height}`);
          } else if (deviceScaleFactor === 1) {
            check(img.natural[0] === Number(img.width) && img.natural[1] === Number(img.height),
              `${where}: ${img.alt} is ${img.natural}, says ${img.width}x${img.height}`);
          }
        });
        seen.captions.forEach((c, i) => {
          check(c.text === m.files[i], `${where}: caption ${JSON.stringify(c.text)}, want ${JSON.stringify(m.files[i])}`);
          check(c.px >= 12, `${where}: caption ${c.text} is ${c.px} px`);
        });
        seen.links.forEach((link, i) => {
          const target = localPath(link.href);
          check(isFile(link.href) && target !== null && basename(target) === m.pictures[i]
            && dirname(target) === dirname(m.page), `${where}: link ${link.href} does not lead to ${m.pictures[i]}`);
        });

        // The viewer: a click opens it on that picture, the arrow keys move
        // through the pictures (round the ends), Escape closes it and the
        // focus is back on the thumbnail.
        const last = m.files.length - 1;
        await page.locator('.g a').nth(1).click();
        await page.waitForFunction(() => {
          const img = document.querySelector('#v img');
          return img && img.complete && img.naturalWidth > 0;
        });
        let v = await viewerState(page);
        check(v.open && v.caption === m.files[1] && v.loaded, `${where}: the viewer did not open on ${m.files[1]}`);
        check(v.link === links(seen)[1], `${where}: the viewer's link is ${v.link}, want ${links(seen)[1]}`);
        if (m.webSize > 0 && v.loaded) {
          const natural = await page.evaluate(() => {
            const img = document.querySelector('#v img');
            return Math.max(img.naturalWidth, img.naturalHeight);
          });
          check(natural <= m.webSize, `${where}: the viewer's picture is ${natural} px, web size ${m.webSize}`);
        }
        await page.keyboard.press('ArrowRight');
        v = await viewerState(page);
        check(v.caption === m.files[2], `${where}: → shows ${v.caption}, want ${m.files[2]}`);
        await page.keyboard.press('ArrowLeft');
        await page.keyboard.press('ArrowLeft');
        await page.keyboard.press('ArrowLeft');
        v = await viewerState(page);
        check(v.caption === m.files[last], `${where}: ← past the first shows ${v.caption}, want ${m.files[last]}`);
        const openViolations = await axeViolations(page);
        check(openViolations.length === 0, `${where}: axe with the viewer open: ${openViolations.join('; ')}`);
        await page.keyboard.press('Escape');
        v = await viewerState(page);
        check(!v.open, `${where}: Escape did not close the viewer`);
        check(v.focus === links(seen)[1], `${where}: the focus went to ${v.focus}, not back to the thumbnail`);

        const violations = await axeViolations(page);
        check(violations.length === 0, `${where}: axe: ${violations.join('; ')}`);
        const outside = requests.filter((r) => !(r.startsWith('file:') || (process.env.GALLERY_HTTP
          && r.startsWith(process.env.GALLERY_HTTP))));
        check(outside.length === 0, `${where}: requests outside the page folder: ${outside.join(', ')}`);
        await page.close();
      }
    });
  }

  // Without JavaScript a thumbnail is a plain link to its picture.
  await withContext({ javaScriptEnabled: false }, async (context) => {
    const page = await context.newPage();
    const { url } = addresses(m.page)[0];
    await page.goto(url, { waitUntil: 'load' });
    const href = await page.locator('.g a').first().evaluate((a) => a.href);
    await page.locator('.g a').first().click();
    await page.waitForURL(href);
    check(page.url() === href, `modern without JavaScript: the first thumbnail led to ${page.url()}`);
    await page.close();
  });

  // Down into an album by its card, its picture shown, and back up by the breadcrumb.
  await withContext({}, async (context) => {
    const page = await context.newPage();
    const top = addresses(m.albumPage)[0].url;
    await page.goto(top, { waitUntil: 'load' });
    // A film the browser cannot play: the viewer shows its poster and the link to the file.
    await page.locator('.g:not(.a) a[data-v]').click();
    await page.evaluate(() => document.querySelector('#v video').play().catch(() => {}));
    await page.waitForFunction(() => document.querySelector('#v img')?.naturalWidth > 0, null, { timeout: 5000 }).catch(() => {});
    const film = await page.evaluate(() => [document.querySelector('#v img')?.src, document.querySelector('#v a').href]);
    check(/film_s(@2x)?\.jpg$/.test(film[0]) && film[1].endsWith('/film.mp4'), `film: the viewer shows ${film}`);
    await page.keyboard.press('Escape');
    await page.locator('a[href$="/bilder.html"]').first().click();
    await page.waitForURL((u) => u.href !== top);
    await loadAll(page);
    const shown = await page.locator('.g img').evaluateAll((imgs) => imgs.map((i) => i.naturalWidth));
    check(page.url() !== top && shown.length === 1 && shown[0] > 0, `album: ${page.url()} shows ${shown}`);
    await page.locator('nav[aria-label="Album"] a').first().click();
    await page.waitForURL(top, { timeout: 5000 }).catch(() => {});
    check(page.url() === top, `album: the breadcrumb led to ${page.url()}, not ${top}`);
    await page.close();
  });
}

function links(seen) {
  return seen.links.map((l) => l.raw);
}
