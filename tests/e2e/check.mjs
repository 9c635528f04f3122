// Opens generated gallery pages in headless Chromium and checks what a visitor
// gets: the title, every thumbnail loaded, every link leading to the full-size
// picture of its caption, and a grid of the chosen number of columns. The
// modern page gets the checks of modern.mjs.
//
// Each page is opened from disk and, when GALLERY_HTTP names a web server
// serving GALLERY_ROOT, from there too.
//
// usage: node check.mjs MANIFEST.json...   (GALLERY_SCREENSHOTS=DIR keeps pictures)
import { existsSync, readFileSync, statSync } from 'node:fs';
import { basename, dirname, join, relative, sep } from 'node:path';
import { fileURLToPath, pathToFileURL } from 'node:url';
import { checkModern, withContext } from './modern.mjs';

const all = process.argv.slice(2).map((p) => JSON.parse(readFileSync(p, 'utf8')));
const manifests = all.filter((m) => m.style !== 'modern');
if (all.length === 0) {
  console.error('usage: node check.mjs MANIFEST.json...');
  process.exit(2);
}

let failed = 0;
let passed = 0;
function check(ok, what) {
  if (ok) {
    passed++;
  } else {
    failed++;
    console.log(`FAIL: ${what}`);
  }
}

const httpBase = process.env.GALLERY_HTTP;
const httpRoot = process.env.GALLERY_ROOT;

// The file on disk a URL of the page leads to, or null.
function localPath(url) {
  if (url.startsWith('file:')) return fileURLToPath(url);
  if (httpBase && url.startsWith(httpBase)) {
    return join(httpRoot, ...url.slice(httpBase.length).split('/').map(decodeURIComponent));
  }
  return null;
}

function isFile(url) {
  const path = localPath(url);
  return path !== null && existsSync(path) && statSync(path).isFile();
}

function addresses(pagePath) {
  const list = [{ via: 'disk', url: pathToFileURL(pagePath).href }];
  if (httpBase) {
    const rel = relative(httpRoot, pagePath).split(sep).map(encodeURIComponent).join('/');
    list.push({ via: 'web server', url: httpBase + rel });
  }
  return list;
}

await withContext({}, async (context) => {
  for (const m of manifests) for (const { via, url } of addresses(m.page)) {
    const where = `${basename(dirname(dirname(m.page)))} (${via})`;
    const page = await context.newPage();
    await page.goto(url, { waitUntil: 'load' });
    const seen = await page.evaluate(() => {
      const images = [...document.images];
      const grid = images.length > 0 ? images[0].closest('table') : null;
      return {
        title: document.title,
        images: images.map((i) => ({ src: i.src, alt: i.alt, loaded: i.complete && i.naturalWidth > 0 })),
        links: [...document.links].map((a) => ({ href: a.href, caption: a.textContent })),
        // The page opens its grid with an empty row; rows without cells take no room.
        rows: grid ? [...grid.rows].map((r) => r.cells.length).filter((n) => n > 0) : [],
      };
    });
    if (process.env.GALLERY_SCREENSHOTS) {
      await page.screenshot({ path: join(process.env.GALLERY_SCREENSHOTS, `${where}.png`), fullPage: true });
    }
    await page.close();

    check(seen.title === m.title, `${where}: title is ${JSON.stringify(seen.title)}, want ${JSON.stringify(m.title)}`);
    check(seen.images.length === m.files.length, `${where}: ${seen.images.length} images for ${m.files.length} pictures`);
    check(seen.links.length === m.files.length, `${where}: ${seen.links.length} links for ${m.files.length} pictures`);
    seen.images.forEach((img, i) => {
      check(img.loaded, `${where}: thumbnail ${img.src} did not load`);
      check(img.alt === m.files[i], `${where}: ALT ${JSON.stringify(img.alt)}, want ${JSON.stringify(m.files[i])}`);
    });
    seen.links.forEach((link, i) => {
      const want = m.files[i];
      check(link.caption === want, `${where}: caption ${JSON.stringify(link.caption)}, want ${JSON.stringify(want)}`);
      check(isFile(link.href), `${where}: link ${link.href} leads to no file`);
      const target = localPath(link.href);
      if (target !== null) {
        check(basename(target) === want && dirname(target) === dirname(m.page),
          `${where}: link ${link.href} leads to ${target}, want ${want} beside the page`);
      }
    });
    const rows = seen.rows;
    const cells = rows.reduce((a, b) => a + b, 0);
    check(cells === m.files.length, `${where}: ${cells} cells in the grid for ${m.files.length} pictures`);
    check(rows.slice(0, -1).every((n) => n === m.columns) && rows.length > 0
      && rows[rows.length - 1] >= 1 && rows[rows.length - 1] <= m.columns,
      `${where}: rows of ${JSON.stringify(rows)} cells, want ${m.columns} per row`);
  }
});

for (const m of all.filter((m) => m.style === 'modern')) {
  await checkModern(m, { check, addresses, isFile, localPath });
}

console.log(`gallery pages: ${all.length}, checks passed: ${passed}, failed: ${failed}`);
process.exit(failed > 0 ? 1 : 0);
