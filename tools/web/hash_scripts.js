// Puts the hashes of the page's own inline scripts into its policy, in
// place of @SCRIPT_HASHES@, once emcc has written the page: the policy
// then runs those scripts and no other, so that a file or disk name that
// ever slipped into the page as markup could not run as script.
//   node tools/web/hash_scripts.js build-web/d88cut.html
'use strict';
const crypto = require('crypto');
const fs = require('fs');

const page = process.argv[2];
const html = fs.readFileSync(page, 'utf8');
const marker = '@SCRIPT_HASHES@';
if (html.split(marker).length !== 2) {
  console.error(page + ': no single ' + marker + ' in the policy');
  process.exit(1);
}
const hashes = [];
for (const match of html.matchAll(/<script>([\s\S]*?)<\/script>/g))
  hashes.push("'sha256-" + crypto.createHash('sha256').update(match[1], 'utf8').digest('base64') + "'");
if (hashes.length === 0 || /<script[^>]/.test(html.replace(/<script>/g, ''))) {
  console.error(page + ': every script must be a plain inline <script>');
  process.exit(1);
}
fs.writeFileSync(page, html.replace(marker, hashes.join(' ')));
