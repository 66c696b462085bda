// The page's script. It puts the bytes of each chosen D88 file into the
// page's in-memory file system, calls the core (compiled into this page) to
// cut it and to scan it, shows what they said, draws the disks from the
// scan's JSON, and offers the files cut. It decides nothing about disks,
// sectors or files itself.
'use strict';

var Module = (function () {
  // What the core's last calls wrote, by d88web_output's number: the cut's
  // lines, the scan's text report and the scan's JSON.
  var CUT = 0, SCAN = 1, SCAN_JSON = 2;
  var STDERR_TAG = 'e'.charCodeAt(0);
  // Fill classes for the files a disk's sectors feed, taken in turn.
  var PALETTE_SIZE = 10;

  var core = {};
  var shiftJis = new TextDecoder('shift_jis');
  var utf8 = new TextDecoder('utf-8');
  var page = {};
  var queue = Promise.resolve();
  var fileUrls = [];
  var zipUrl = null;

  function $(id) { return document.getElementById(id); }

  // ---- Words: one table per language, inlined by the build ----

  var STRINGS = {en: /* lang/en.json */};
  var lang = 'en';

  // The words of KEY with {name} filled in from PARAMS; a count n picks
  // KEY.one or KEY.other where the table has no KEY itself.
  function t(key, params) {
    params = params || {};
    var table = STRINGS[lang];
    var text = table[key];
    if (text === undefined && 'n' in params)
      text = table[key + (params.n === 1 ? '.one' : '.other')];
    if (text === undefined)
      throw new Error('no words for ' + key + ' in ' + lang);
    return text.replace(/\{(\w+)\}/g, function (m, name) {
      return typeof params[name] === 'number' ? number(params[name]) : String(params[name]);
    });
  }

  function number(count) {
    return String(count).replace(/\B(?=(\d{3})+$)/g, ',');
  }

  // An element with attributes and text, made without parsing markup, so
  // that no name a file or a disk carries can become an element.
  function el(tag, attributes, text) {
    var e = document.createElement(tag);
    Object.keys(attributes || {}).forEach(function (name) {
      e.setAttribute(name, String(attributes[name]));
    });
    if (text !== undefined)
      e.textContent = text;
    return e;
  }

  function escapeHtml(text) {
    return String(text).replace(/[&<>"']/g, function (c) {
      return '&#' + c.charCodeAt(0) + ';';
    });
  }

  function bytesText(count) {
    return String(count).replace(/\B(?=(\d{3})+$)/g, ',') + (count === 1 ? ' byte' : ' bytes');
  }

  function plural(count, word) {
    return count + ' ' + word + (count === 1 ? '' : 's');
  }

  function setState(state, words) {
    document.body.dataset.state = state;
    $('status').textContent = words;
  }

  function output(which) {
    var start = Module._d88web_output(which);
    return Module.HEAPU8.subarray(start, start + Module._d88web_output_size(which));
  }

  // The lines the core wrote: per line, 'o' or 'e' for the stream, the
  // line's bytes and '\n'. The disk messages are Shift-JIS.
  function outputLines(which, status) {
    var bytes = output(which);
    var lines = [];
    for (var at = 0; at < bytes.length;) {
      var end = bytes.indexOf(10, at);
      lines.push({
        stream: bytes[at] === STDERR_TAG ? 'stderr' : 'stdout',
        text: shiftJis.decode(bytes.subarray(at + 1, end))
      });
      at = end + 1;
    }
    return {status: status, lines: lines};
  }

  // The file goes into the page's file system once, where the core reads
  // it as the console programs read a file on disk; then one cut and one
  // scan. A file the page's memory cannot hold is said so, and not cut.
  function handleOne(name, bytes) {
    var path = Module.UTF8ToString(Module._d88web_input_folder()) + '/' + name;
    try {
      Module.FS.writeFile(path, bytes);
    } catch (error) {
      try { Module.FS.unlink(path); } catch (ignored) { /* nothing was made */ }
      return {name: name, failed: String(error && error.message || error)};
    }
    var cutStatus = Module.ccall('d88web_cut', 'number', ['string'], [name]);
    var cut = outputLines(CUT, cutStatus);
    var scanStatus = Module.ccall('d88web_scan', 'number', ['string'], [name]);
    var scan = outputLines(SCAN, scanStatus);
    var report = null;
    try {
      report = JSON.parse(utf8.decode(output(SCAN_JSON)));
    } catch (e) {
      report = null;
    }
    Module.ccall('d88web_forget', null, ['string'], [name]);
    return {name: name, cut: cut, scan: scan, report: report};
  }

  // The file's name and exit status, shown above its lines by the
  // stylesheet and read out as the group's name.
  function caption(name, status) {
    return ' data-file="' + escapeHtml(name) + '" data-exit="' + status + '" role="group"' +
           ' aria-label="' + escapeHtml(name + ', exit status ' + status) + '"';
  }

  function messagesHtml(result) {
    if (result.failed)
      return noteHtml(result.name, t('summary.memory', {error: result.failed}));
    var html = '<div class="run" tabindex="0"' + caption(result.name, result.cut.status) + '>';
    result.cut.lines.forEach(function (line) {
      html += '<div data-stream="' + line.stream + '">' + escapeHtml(line.text) + '</div>';
    });
    return html + '</div>';
  }

  function scanHtml(result) {
    if (result.failed)
      return '';
    var text = result.scan.lines.map(function (l) { return l.text; }).join('\n');
    return '<pre class="run" tabindex="0"' + caption(result.name, result.scan.status) + '>' +
           escapeHtml(text) + '</pre>';
  }

  // ---- The outcome of each file, from the scan's findings ----

  // The disks of the set by name, as the core spells them.
  var diskKinds = [];

  // What the findings of one file hold: the recognised disks in the order
  // d88cut announces them, its outputs by state, the images that are no
  // disk of the set, and what could not be read.
  function findingsOf(result) {
    var found = {disks: [], whole: 0, incomplete: [], absent: [], foreign: [], imageErrors: [],
                 fileErrors: [], noImages: false, over64: false};
    var files = (result.report && result.report.files) || [];
    files.forEach(function (file) {
      if (file.error)
        found.fileErrors.push(file.error);
      else if ((file.images || []).length === 0)
        found.noImages = true;
      if (file.imagesLeftUnread)
        found.over64 = true;
      (file.images || []).forEach(function (image) {
        if (image.error) {
          found.imageErrors.push(image);
          return;
        }
        if ((image.recognitions || []).length === 0)
          found.foreign.push(image);
        (image.recognitions || []).forEach(function (recognition) {
          found.disks.push(recognition.kind);
          (recognition.outputs || []).forEach(function (output) {
            if (output.state === 'whole')
              found.whole += 1;
            else
              found[output.state === 'incomplete' ? 'incomplete' : 'absent'].push(output);
          });
        });
      });
    });
    return found;
  }

  // whole: every file of every disk found was cut whole; nothing: no disk
  // of the set in it; problems: anything else, a file that could not be
  // read above all, even when no disk was found in it.
  function outcomeOf(result, found) {
    if (result.failed || !result.report || found.fileErrors.length)
      return 'problems';
    if (found.disks.length === 0)
      return 'nothing';
    if (found.incomplete.length || found.absent.length || found.foreign.length ||
        found.imageErrors.length || found.over64 || result.cut.status !== 0)
      return 'problems';
    return 'whole';
  }

  function imageWords(image) {
    return image.name ? t('summary.image', {index: image.index, disk: image.name})
                      : t('summary.imageNoName', {index: image.index});
  }

  // One file's outcome in words, its counts in data- attributes.
  function summaryOf(result, found, outcome) {
    var box = el('article', {
      'class': 'outcome', 'data-file': result.name, 'data-outcome': outcome,
      'data-whole': found.whole, 'data-incomplete': found.incomplete.length,
      'data-absent': found.absent.length, 'data-disks': found.disks.join(',')
    });
    box.appendChild(el('h3', {}, result.name));
    var list = el('ul');
    function say(kind, words) { list.appendChild(el('li', {'class': kind}, words)); }
    if (result.failed)
      say('error', t('summary.memory', {error: result.failed}));
    else if (!result.report)
      say('error', t('summary.noReport'));
    found.fileErrors.forEach(function (error) { say('error', t('summary.fileError', {error: error})); });
    if (found.disks.length) {
      var names = diskKinds.filter(function (kind) { return found.disks.indexOf(kind) >= 0; });
      say('disks', t('summary.disks', {found: names.length, all: diskKinds.length,
                                       names: names.join(t('list.join'))}));
      say('whole', t('summary.whole', {n: found.whole}));
    } else if (found.noImages) {
      say('warning', t('summary.notD88'));
    } else if (result.report && !found.fileErrors.length) {
      say('warning', t('summary.noDisk'));
    }
    found.incomplete.forEach(function (output) {
      say('warning output', t('summary.incomplete.' + (output.stop.reason === 'short' ? 'short' : 'missing'),
                       {name: output.name, got: output.bytes, planned: output.planned, track: output.stop.track}));
    });
    found.absent.forEach(function (output) {
      say('warning output', t('summary.absent', {name: output.name, track: output.stop.track}));
    });
    found.foreign.forEach(function (image) {
      var reasons = (image.reasons || []).map(function (reason) {
        return t('summary.reason.' + reason.finding, {track: reason.labelTrack});
      });
      say('warning', t('summary.foreign', {image: imageWords(image), reasons: reasons.join(t('summary.reason.join'))}));
    });
    found.imageErrors.forEach(function (image) {
      say('warning', t('summary.imageError', {index: image.index}));
    });
    if (found.over64)
      say('warning', t('summary.over64'));
    if (result.cut && result.cut.status !== 0)
      say('error', t('summary.cutStatus', {status: result.cut.status}));
    box.appendChild(list);
    return box;
  }

  // The outcome of a whole choice: nothing when no file held a disk of
  // the set, whole when every file was cut whole, else problems (a file
  // with no disk among files with disks is one).
  function overallOutcome(outcomes) {
    if (outcomes.every(function (o) { return o === 'nothing'; }))
      return 'nothing';
    return outcomes.every(function (o) { return o === 'whole'; }) ? 'whole' : 'problems';
  }

  // ---- The disk maps, drawn from d88scan --json ----

  var CELL_W = 14, CELL_H = 9, STEP_X = 16, STEP_Y = 11, LABEL_W = 74;

  // "80 track sides of 5 sectors of 1024 bytes", one part per shape of side.
  function geometry(image) {
    var shapes = {};
    var order = [];
    (image.trackSides || []).forEach(function (side) {
      var sectors = side.sectors || [];
      var sizes = sectors.map(function (s) { return s.size; });
      var same = sizes.every(function (s) { return s === sizes[0]; });
      var key = plural(sectors.length, 'sector') +
                (sectors.length === 0 ? '' : same ? ' of ' + bytesText(sizes[0]) : ' of mixed sizes');
      if (!(key in shapes)) {
        shapes[key] = 0;
        order.push(key);
      }
      shapes[key] += 1;
    });
    order.sort(function (a, b) { return shapes[b] - shapes[a]; });
    if (order.length === 0)
      return 'no track sides with sectors';
    return order.map(function (key) {
      return (shapes[key] === 1 ? '1 track side' : shapes[key] + ' track sides') + ' of ' + key;
    }).join(', ');
  }

  // A sector as the report names it: track index and ID without N.
  function place(track, s) { return track + '/' + s.c + '/' + s.h + '/' + s.r; }

  function stopsHere(names) {
    return names.join(', ') + (names.length === 1 ? ' stops' : ' stop') + ' here';
  }

  // Which outputs read each sector, and where runs stopped.
  function planIndex(image) {
    var outputs = [];
    var reads = {};
    var stops = {};
    (image.recognitions || []).forEach(function (recognition) {
      (recognition.outputs || []).forEach(function (output) {
        var colour = outputs.length % PALETTE_SIZE;
        outputs.push({output: output, colour: colour});
        (output.sectors || []).forEach(function (s) {
          var key = place(s.track, s);
          (reads[key] = reads[key] || []).push(outputs[outputs.length - 1]);
        });
        if (output.stop) {
          var key = place(output.stop.track, output.stop);
          (stops[key] = stops[key] || {stop: output.stop, names: []}).names.push(output.name);
        }
      });
    });
    return {outputs: outputs, reads: reads, stops: stops};
  }

  // One sector: a rect that takes the pointer and the focus and carries
  // the sector's words in its title.
  function sectorCell(x, y, title, classes, fills) {
    var html = '';
    if (fills.length > 1) {
      // A sector two files share is striped in both their colours, under
      // a clear rect of its own.
      var w = CELL_W / fills.length;
      fills.forEach(function (colour, i) {
        html += '<rect x="' + (x + i * w).toFixed(2) + '" y="' + y + '" width="' + w.toFixed(2) +
                '" height="' + CELL_H + '" class="o' + colour + '"/>';
      });
      classes += ' shared';
    } else {
      classes += fills.length ? ' o' + fills[0] : ' q';
    }
    return html + '<rect x="' + x + '" y="' + y + '" width="' + CELL_W + '" height="' + CELL_H +
           '" class="' + classes + '" tabindex="0"><title>' + escapeHtml(title) + '</title></rect>';
  }

  function sideLabel(side) {
    var first = (side.sectors || [])[0];
    return 'T' + side.track + (first ? ' C' + first.c + ' H' + first.h : '');
  }

  function diskSvg(image, index) {
    var sides = (image.trackSides || []).slice();
    // A side the run expected a sector on but that holds none still gets
    // a row, to show the missing sector.
    Object.keys(index.stops).forEach(function (key) {
      var stop = index.stops[key].stop;
      if (!sides.some(function (side) { return side.track === stop.track; }))
        sides.push({track: stop.track, sectors: []});
    });
    sides.sort(function (a, b) { return a.track - b.track; });

    var columns = 1;
    var body = '';
    sides.forEach(function (side, row) {
      var y = row * STEP_Y;
      body += '<text x="0" y="' + (y + CELL_H - 1) + '">' + escapeHtml(sideLabel(side)) + '</text>';
      var cells = [];
      var seen = {};
      (side.sectors || []).forEach(function (s) {
        var key = place(side.track, s);
        // The reader takes the first sector of an ID on a side; a second
        // of the same ID is read by no file.
        var reads = seen[key] ? [] : index.reads[key] || [];
        var stop = seen[key] ? null : index.stops[key];
        if (stop && stop.stop.reason === 'missing')
          stop = null;  // the one read has another N, drawn apart below
        seen[key] = true;
        var id = 'C ' + s.c + ', H ' + s.h + ', R ' + s.r + ', N ' + s.n;
        var what = reads.length ? reads.map(function (o) { return o.output.name; }).join(', ')
                                : 'not read by any file';
        var classes = 'sector';
        if (stop) {
          classes += ' short';
          what += '; short, ' + stopsHere(stop.names);
        }
        cells.push({r: s.r, html: function (x) {
          return sectorCell(x, y, 'Track ' + side.track + ', ' + id + ', ' + bytesText(s.size) + ': ' + what,
                            classes, reads.map(function (o) { return o.colour; }));
        }});
      });
      Object.keys(index.stops).forEach(function (key) {
        var entry = index.stops[key];
        if (entry.stop.track !== side.track || (seen[key] && entry.stop.reason !== 'missing'))
          return;
        var stop = entry.stop;
        var title = 'Track ' + stop.track + ', C ' + stop.c + ', H ' + stop.h + ', R ' + stop.r +
                    ': missing; ' + stopsHere(entry.names);
        // Drawn where the run looked for it: before the first sector of
        // a higher R on the side.
        var at = cells.findIndex(function (c) { return c.r > stop.r; });
        cells.splice(at < 0 ? cells.length : at, 0, {r: stop.r, html: function (x) {
          return sectorCell(x, y, title, 'sector missing', []);
        }});
      });
      cells.forEach(function (cell, column) {
        body += cell.html(LABEL_W + column * STEP_X);
      });
      columns = Math.max(columns, cells.length);
    });
    var width = LABEL_W + columns * STEP_X;
    var height = Math.max(sides.length * STEP_Y, STEP_Y);
    return {width: width, html: '<svg class="disk-map" viewBox="0 0 ' + width + ' ' + height +
            '" width="' + width + '" height="' + height + '" role="group" aria-label="Sectors by track side">' +
            body + '</svg>'};
  }

  function legendHtml(index) {
    if (index.outputs.length === 0)
      return '';
    var html = '<details><summary>' + plural(index.outputs.length, 'file') + ' on this disk</summary><ul class="legend">';
    index.outputs.forEach(function (o) {
      var state = o.output.state && o.output.state !== 'whole' ? ' (' + o.output.state + ')' : '';
      html += '<li><svg width="12" height="12" aria-hidden="true"><rect width="12" height="12" class="o' +
              o.colour + '"/></svg>' + escapeHtml(o.output.name + state) + '</li>';
    });
    return html + '</ul></details>';
  }

  function kindLine(image) {
    var recognitions = image.recognitions || [];
    if (recognitions.length === 0)
      return 'not a disk of the set';
    return recognitions.map(function (r) {
      var outputs = r.outputs || [];
      var whole = outputs.filter(function (o) { return o.state === 'whole'; }).length;
      return r.kind + (r.version === 'early' ? ' (early version)' : '') +
             (outputs.length ? ': ' + plural(outputs.length, 'file') + ', ' + whole + ' whole'
                             : ': no files to cut');
    }).join('; ');
  }

  // Why no disk was recognised: each label test's finding, in the
  // report's words.
  function reasonsHtml(image) {
    var reasons = image.reasons || [];
    if ((image.recognitions || []).length !== 0 || reasons.length === 0)
      return '';
    return '<ul class="reasons">' + reasons.map(function (r) {
      return '<li>' + escapeHtml(r.text || r.finding) + '</li>';
    }).join('') + '</ul>';
  }

  function noteHtml(name, words) {
    return '<p class="note" data-file="' + escapeHtml(name) + '">' + escapeHtml(name + ': ' + words) + '</p>';
  }

  function mapHtml(result) {
    if (result.failed)
      return '';
    var files = result.report && result.report.files;
    if (!files || !files.length)
      return noteHtml(result.name, 'no map; the report could not be read.');
    var html = '';
    files.forEach(function (file) {
      if (file.error)
        html += noteHtml(result.name, 'cannot be read: ' + file.error);
      else if ((file.images || []).length === 0)
        html += noteHtml(result.name, 'no disk images.');
      (file.images || []).forEach(function (image, i) {
        if (image.error) {
          html += noteHtml(result.name, 'image ' + image.index + ' at offset ' + image.offset + ': ' + image.error);
          return;
        }
        var index = planIndex(image);
        var known = (image.recognitions || []).length !== 0;
        var number = image.index !== undefined ? image.index : i;
        var map = diskSvg(image, index);
        // As wide as its map, which narrows with a narrow screen.
        html += '<figure class="disk' + (known ? '' : ' foreign') + '" style="width: ' + map.width +
                'px" data-file="' + escapeHtml(result.name) + '" data-image="' + number + '">' +
                '<figcaption><strong>' + escapeHtml(result.name) + ', image ' + number +
                (image.name ? ' "' + escapeHtml(image.name) + '"' : '') + '</strong>' +
                '<span class="kind">' + escapeHtml(kindLine(image)) + '</span>' + reasonsHtml(image) +
                '<span class="geometry">' + escapeHtml(geometry(image)) + '</span>' +
                '</figcaption>' + legendHtml(index) + map.html + '</figure>';
      });
      if (file.imagesLeftUnread)
        html += noteHtml(result.name, 'more images follow the 64th; d88cut does not read them.');
    });
    return html;
  }

  // ---- The folder's files and the zip ----

  // What the core found of each output it put into the folder, by name,
  // from the findings of every file handled since the page was opened or
  // started over: a later output of a name replaces the earlier one, and
  // an absent output leaves none.
  var folderStates = {};
  // The names of the files handled since then, for the zip's name.
  var handled = [];
  // The folder's files by name, for the zip and for saving into a folder.
  var entries = {};

  function noteOutputs(result) {
    handled.push(result.name);
    ((result.report && result.report.files) || []).forEach(function (file) {
      (file.images || []).forEach(function (image) {
        (image.recognitions || []).forEach(function (recognition) {
          (recognition.outputs || []).forEach(function (output) {
            if (output.state !== 'absent')
              folderStates[output.name] = output;
          });
        });
      });
    });
  }

  // The zip is named after the file chosen when the folder holds the
  // files of one chosen file alone.
  function zipName() {
    if (handled.length !== 1)
      return 'd88cut-files.zip';
    return handled[0].replace(/\.[^.]*$/, '') + '.zip';
  }

  function showFiles() {
    fileUrls.forEach(URL.revokeObjectURL);
    fileUrls = [];
    var count = Module._d88web_list();
    entries = {};
    var items = [];
    for (var i = 0; i < count; ++i) {
      var name = Module.UTF8ToString(Module._d88web_file_name(i));
      var at = Module._d88web_file_bytes(i);
      var bytes = Module.HEAPU8.slice(at, at + Module._d88web_file_size(i));
      entries[name] = bytes;
      var url = URL.createObjectURL(new Blob([bytes], {type: 'application/octet-stream'}));
      fileUrls.push(url);
      var found = folderStates[name];
      var item = el('li', {'data-state': found ? found.state : 'unknown'});
      var link = el('a', {download: name, href: url}, name);
      item.appendChild(link);
      item.appendChild(el('span', {'class': 'size'}, bytesText(bytes.length)));
      // Marked in words, not by colour alone.
      if (found && found.state === 'incomplete')
        item.appendChild(el('span', {'class': 'incomplete'},
                            t('files.incomplete', {got: found.bytes, planned: found.planned})));
      items.push(item);
    }
    page.files.replaceChildren.apply(page.files, items);

    if (zipUrl)
      URL.revokeObjectURL(zipUrl);
    zipUrl = null;
    var all = $('download-all');
    $('save-folder').disabled = count === 0;
    if (count === 0) {
      all.removeAttribute('href');
      all.download = 'd88cut-files.zip';
      all.textContent = 'Download all as zip (no files yet)';
      return;
    }
    // Stored, not deflated: deflating took ten times as long as the cut,
    // to save little on the samples.
    var zip = fflate.zipSync(entries, {level: 0});
    zipUrl = URL.createObjectURL(new Blob([zip], {type: 'application/zip'}));
    all.href = zipUrl;
    all.download = zipName();
    all.textContent = 'Download all as zip (' + plural(count, 'file') + ', ' + bytesText(zip.length) + ')';
  }

  // Writes every file of the folder into a folder the person picks,
  // replacing files of the same names there; where the browser has no
  // folder picker the button stays hidden.
  function saveIntoFolder() {
    window.showDirectoryPicker({mode: 'readwrite'}).then(function (folder) {
      var names = Object.keys(entries);
      return names.reduce(function (done, name) {
        return done.then(function () {
          return folder.getFileHandle(name, {create: true});
        }).then(function (handle) {
          return handle.createWritable();
        }).then(function (writable) {
          return writable.write(entries[name]).then(function () { return writable.close(); });
        });
      }, Promise.resolve()).then(function () {
        $('status').textContent = t('save.done', {n: names.length});
      });
    }).catch(function (error) {
      if (error && error.name === 'AbortError')
        return;  // the person closed the picker
      $('status').textContent = t('save.failed', {error: String(error && error.message || error)});
    });
  }

  // Empties the folder and everything shown, as if the page were opened
  // afresh.
  function startOver() {
    queue = queue.then(function () {
      Module._d88web_clear();
      folderStates = {};
      handled = [];
      [page.summary, page.messages, page.scan, page.map].forEach(function (e) { e.replaceChildren(); });
      $('messages-box').open = false;
      $('scan-box').open = false;
      showFiles();
      delete document.body.dataset.outcome;
      setState('ready', 'Ready: choose D88 files, or drop them on this page.');
    });
    return queue;
  }

  // ---- Choosing files ----

  function handleFiles(list) {
    var files = Array.prototype.slice.call(list);
    if (files.length === 0)
      return queue;
    queue = queue.then(function () {
      delete document.body.dataset.outcome;
      setState('busy', 'Reading ' + plural(files.length, 'file') + '…');
      return Promise.all(files.map(function (f) { return f.arrayBuffer(); }));
    }).then(function (buffers) {
      var messages = '', scans = '', maps = '';
      var summaries = [], outcomes = [];
      buffers.forEach(function (buffer, i) {
        var result = handleOne(files[i].name, new Uint8Array(buffer));
        var found = findingsOf(result);
        noteOutputs(result);
        // The messages and the report open by themselves when they hold
        // a warning or an error.
        if (result.failed || result.cut.lines.some(function (l) { return l.stream === 'stderr'; }))
          $('messages-box').open = true;
        if (result.failed || result.scan.status !== 0)
          $('scan-box').open = true;
        outcomes.push(outcomeOf(result, found));
        summaries.push(summaryOf(result, found, outcomes[i]));
        messages += messagesHtml(result);
        scans += scanHtml(result);
        maps += mapHtml(result);
      });
      page.messages.insertAdjacentHTML('beforeend', messages);
      page.scan.insertAdjacentHTML('beforeend', scans);
      page.map.insertAdjacentHTML('beforeend', maps);
      if (handled.length > files.length)
        summaries.push(el('p', {'class': 'earlier'}, t('summary.earlier')));
      page.summary.replaceChildren.apply(page.summary, summaries);
      showFiles();
      var outcome = overallOutcome(outcomes);
      document.body.dataset.outcome = outcome;
      setState('done', t('status.' + outcome));
    }).catch(function (error) {
      document.body.dataset.outcome = 'problems';
      setState('done', 'Something went wrong: ' + error);
    });
    return queue;
  }

  // Shows the ID, size and file of the sector under the pointer or the
  // keyboard's focus, in words, below the map.
  function showSector(event) {
    var cell = event.target.closest && event.target.closest('rect.sector');
    if (!cell)
      return;
    var figure = cell.closest('figure');
    var info = figure.querySelector('.sector-info');
    if (!info) {
      info = document.createElement('p');
      info.className = 'sector-info';
      figure.querySelector('figcaption').after(info);
    }
    info.textContent = cell.querySelector('title').textContent;
  }

  // The arrow keys move the focus from sector to sector on a map, across a
  // track side and from side to side, besides Tab.
  var ARROWS = {ArrowLeft: [-1, 0], ArrowRight: [1, 0], ArrowUp: [0, -1], ArrowDown: [0, 1]};

  function moveBetweenSectors(event) {
    var step = ARROWS[event.key];
    var cell = event.target.closest && event.target.closest('rect.sector');
    if (!step || !cell)
      return;
    var x = Number(cell.getAttribute('x')) + step[0] * STEP_X;
    var y = Number(cell.getAttribute('y')) + step[1] * STEP_Y;
    var next = cell.ownerSVGElement.querySelector('rect.sector[x="' + x + '"][y="' + y + '"]');
    if (next) {
      next.focus();
      event.preventDefault();
    }
  }

  function start() {
    page.status = $('status');
    page.summary = $('summary');
    diskKinds = Module.UTF8ToString(Module._d88web_disk_kinds()).split('\n').filter(Boolean);
    page.messages = $('messages');
    page.scan = $('scan');
    page.files = $('files');
    page.map = $('map');
    var input = $('d88-files');
    input.addEventListener('change', function () {
      handleFiles(input.files).then(function () { input.value = ''; });
    });
    // Files dropped anywhere on the page are handled as if chosen.
    document.addEventListener('dragover', function (event) {
      event.preventDefault();
      document.body.classList.add('dragging');
    });
    document.addEventListener('dragleave', function (event) {
      if (!event.relatedTarget)
        document.body.classList.remove('dragging');
    });
    document.addEventListener('drop', function (event) {
      event.preventDefault();
      document.body.classList.remove('dragging');
      handleFiles(event.dataTransfer.files);
    });
    page.map.addEventListener('mouseover', showSector);
    page.map.addEventListener('focusin', showSector);
    page.map.addEventListener('keydown', moveBetweenSectors);
    $('start-over').addEventListener('click', startOver);
    if (typeof window.showDirectoryPicker === 'function') {
      $('save-folder').hidden = false;
      $('save-folder').addEventListener('click', saveIntoFolder);
    }
    showFiles();
    input.disabled = false;
    setState('ready', 'Ready: choose D88 files, or drop them on this page.');
  }

  core.onRuntimeInitialized = start;
  core.onAbort = function (what) {
    setState('done', 'The cutter stopped: ' + what + '. Reload the page to start again.');
  };
  return core;
})();
