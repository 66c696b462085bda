// The page's script. It hands the bytes of each chosen D88 file, one file
// at a time, to the core (compiled into this page and run in a Worker) to
// cut it and to scan it, shows what they said, draws the disks from the
// scan's JSON, and offers the files cut. It decides nothing about disks,
// sectors or files itself.
'use strict';

(function () {
  // Fill classes for the files a disk's sectors feed, taken in turn.
  var PALETTE_SIZE = 10;
  // The core's file system lives in the Worker's memory, which 32-bit
  // WebAssembly cannot grow past 4 GiB and a typed array cannot fill past
  // 2 GiB: a larger file is refused before it is read.
  var LARGEST_FILE = 2 * 1024 * 1024 * 1024;

  var page = {};
  var queue = Promise.resolve();
  var fileUrls = [];
  var zipUrl = null;
  // The folder the zip was made of, and its size.
  var zipFor = null;
  var zipSize = 0;

  function $(id) { return document.getElementById(id); }

  // ---- Words: one table per language, inlined by the build ----

  var STRINGS = {en: /* lang/en.json */, ja: /* lang/ja.json */};
  var lang = 'en';

  // The first of the browser's languages that the page speaks; English
  // when it speaks none of them.
  function browserLanguage() {
    var wanted = navigator.languages && navigator.languages.length ? navigator.languages : [navigator.language];
    for (var i = 0; i < wanted.length; ++i) {
      var code = String(wanted[i] || '').toLowerCase().split('-')[0];
      if (STRINGS[code])
        return code;
    }
    return 'en';
  }

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
    return t('bytes', {n: count});
  }

  // The status line, kept as its key so that it can be said again in the
  // other language.
  var status = {key: 'status.loading', params: {}};

  function setState(state, key, params) {
    status = {key: key, params: params || {}};
    document.body.dataset.state = state;
    $('status').textContent = t(key, params);
  }

  // ---- The core, in a Worker of its own ----

  // What runs in the Worker, ahead of the core's script. It takes the
  // files the page sends, one at a time, puts each into the core's file
  // system once, cuts and scans it there as the console programs would,
  // and sends back what the core said and the files of the folder. It
  // becomes the Worker's script as text, so it uses nothing around it.
  function coreWorker() {
    // What the core's last calls wrote, by d88web_output's number.
    var CUT = 0, SCAN = 1, SCAN_JSON = 2, CUT_GLOSSES = 3;
    var STDERR_TAG = 'e'.charCodeAt(0);
    var shiftJis = new TextDecoder('shift_jis');
    var utf8 = new TextDecoder('utf-8');
    var waiting = [];
    var ready = false;

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

    // A file the core's memory cannot hold is said so, and not cut.
    function cutAndScan(name, bytes) {
      var path = Module.UTF8ToString(Module._d88web_input_folder()) + '/' + name;
      try {
        Module.FS.writeFile(path, bytes);
      } catch (error) {
        try { Module.FS.unlink(path); } catch (ignored) { /* nothing was made */ }
        return {name: name, failed: String(error && error.message || error)};
      }
      var cut = outputLines(CUT, Module.ccall('d88web_cut', 'number', ['string'], [name]));
      var glosses = utf8.decode(output(CUT_GLOSSES)).split('\n');
      cut.lines.forEach(function (line, i) { line.gloss = glosses[i] || ''; });
      var scan = outputLines(SCAN, Module.ccall('d88web_scan', 'number', ['string'], [name]));
      // As text: the page takes a string over far sooner than the objects
      // of a file of many images, and parses it in a task of its own.
      var reportText = utf8.decode(output(SCAN_JSON));
      Module.ccall('d88web_forget', null, ['string'], [name]);
      return {name: name, cut: cut, scan: scan, reportText: reportText};
    }

    // The folder's files in the order of their names, as copies.
    function folder() {
      var files = [];
      var count = Module._d88web_list();
      for (var i = 0; i < count; ++i) {
        var at = Module._d88web_file_bytes(i);
        files.push({name: Module.UTF8ToString(Module._d88web_file_name(i)),
                    bytes: Module.HEAPU8.slice(at, at + Module._d88web_file_size(i))});
      }
      return files;
    }

    function handle(message) {
      if (message.type === 'file') {
        // Read here, not on the page's thread, which a large file would
        // hold for as long as its bytes take to arrive.
        var result;
        try {
          result = cutAndScan(message.name, new Uint8Array(new FileReaderSync().readAsArrayBuffer(message.file)));
        } catch (error) {
          result = {name: message.name, failed: String(error && error.message || error)};
        }
        var files = folder();
        postMessage({type: 'result', result: result, files: files},
                    files.map(function (f) { return f.bytes.buffer; }));
      } else if (message.type === 'restore') {
        // A Worker started afresh after a cancel: the folder as it was
        // after the last file handled whole.
        message.files.forEach(function (f) { Module.FS.writeFile(Module.FS.cwd() + '/' + f.name, f.bytes); });
      } else if (message.type === 'clear') {
        Module._d88web_clear();
      } else if (message.type === 'sample') {
        var size = Module._d88web_sample();
        var at = Module._d88web_sample_bytes();
        var bytes = Module.HEAPU8.slice(at, at + size);
        postMessage({type: 'sample', bytes: bytes}, [bytes.buffer]);
      }
    }

    self.Module = {
      // After main, which makes the folders and goes into the outputs' one.
      postRun: function () {
        ready = true;
        postMessage({type: 'ready', kinds: Module.UTF8ToString(Module._d88web_disk_kinds())});
        waiting.splice(0).forEach(handle);
      },
      onAbort: function (what) { postMessage({type: 'aborted', what: String(what)}); },
      onImage: function (done, images) { postMessage({type: 'progress', image: done, images: images}); }
    };
    self.onmessage = function (event) {
      if (ready)
        handle(event.data);
      else
        waiting.push(event.data);
    };
  }

  var worker = null;
  var coreUrl = null;
  // The file the Worker is on: what to do with its result, or with its
  // end when it is cancelled or the core stops.
  var pending = null;
  var CANCELLED = {cancelled: true};

  // Starts the core in a Worker made from its own script, which lies
  // inert in the page; FILES, the folder to start with.
  function startCore(files) {
    // Made once: a Worker started again after a cancel takes the same URL.
    if (!coreUrl) {
      var source = '(' + coreWorker.toString() + ')();\n' + $('core').content.textContent;
      coreUrl = URL.createObjectURL(new Blob([source], {type: 'text/javascript'}));
    }
    worker = new Worker(coreUrl);
    worker.onmessage = function (event) {
      var message = event.data;
      if (message.type === 'ready') {
        diskKinds = message.kinds.split('\n').filter(Boolean);
        if (document.body.dataset.state === 'loading') {
          $('d88-files').disabled = false;
          $('sample').disabled = false;
          setState('ready', 'status.ready');
        }
      } else if (message.type === 'progress') {
        showProgress(message.image, message.images);
      } else if (message.type === 'sample') {
        trySample(message.bytes);
      } else if (message.type === 'result' && pending) {
        var call = pending;
        pending = null;
        call.resolve(message);
      } else if (message.type === 'aborted') {
        stopped(new Error(message.what));
      }
    };
    worker.onerror = function (event) {
      event.preventDefault();
      stopped(new Error(event.message));
    };
    if (files.length)
      worker.postMessage({type: 'restore', files: files});
  }

  // The core stopped: the file it was on is not handled, and the page
  // must be loaded again.
  function stopped(error) {
    if (pending) {
      var call = pending;
      pending = null;
      call.reject(error);
    } else {
      setState('done', 'status.aborted', {what: String(error.message || error)});
    }
  }

  // Reads, cuts and scans one file in the Worker.
  function coreCall(file) {
    return new Promise(function (resolve, reject) {
      pending = {resolve: resolve, reject: reject};
      worker.postMessage({type: 'file', name: file.name, file: file});
    });
  }

  // The file's name and exit status, shown above its lines by the
  // stylesheet and read out as the group's name. The lines are the core's
  // own, in English but for the disk messages.
  function caption(name, status) {
    return ' data-file="' + escapeHtml(name) + '" data-exit="' + status + '" role="group"' +
           ' data-caption="' + escapeHtml(t('run.caption', {file: name, status: status})) + '"' +
           ' aria-label="' + escapeHtml(t('run.label', {file: name, status: status})) + '"' +
           ' lang="en" translate="no"';
  }

  function messagesHtml(result) {
    if (result.refused)
      return '';  // never read: the summary says why
    if (result.failed)
      return noteHtml(result.name, t('summary.memory', {error: result.failed}));
    return '<div class="run" tabindex="0"' + caption(result.name, result.cut.status) + '>' +
           linesHtml(result.cut.lines) + '</div>';
  }

  function linesHtml(lines) {
    return lines.map(function (line) {
      // A disk message is Japanese, as the disks' system wrote it; in
      // English its meaning follows, as the manual page gives it.
      return '<div data-stream="' + line.stream + '"' + (line.gloss ? ' lang="ja"' : '') + '>' +
             escapeHtml(line.text) + '</div>' +
             (line.gloss && lang === 'en' ? '<div class="gloss">“' + escapeHtml(line.gloss) + '”</div>' : '');
    }).join('');
  }

  // The messages of one file as steps that each add a few hundred lines,
  // for a file of many images says some 1,500.
  function messageSteps(result) {
    var lines = result.cut ? result.cut.lines : [];
    if (result.refused || result.failed || lines.length <= 200)
      return [function () { page.messages.insertAdjacentHTML('beforeend', messagesHtml(result)); }];
    var run = null;
    var steps = [function () {
      page.messages.insertAdjacentHTML('beforeend', '<div class="run" tabindex="0"' +
                                       caption(result.name, result.cut.status) + '></div>');
      run = page.messages.lastElementChild;
    }];
    for (var at = 0; at < lines.length; at += 200) {
      steps.push(function (part) {
        return function () { run.insertAdjacentHTML('beforeend', linesHtml(part)); };
      }(lines.slice(at, at + 200)));
    }
    return steps;
  }

  function scanHtml(result) {
    if (result.failed || result.refused)
      return '';
    // A line a block, its line end kept inside it, so that the text is
    // the report's as it is and each line can wrap on its own.
    var lines = result.scan.lines.map(function (l, i, all) {
      return '<span class="line">' + escapeHtml(l.text + (i + 1 < all.length ? '\n' : '')) + '</span>';
    });
    return '<pre class="run" tabindex="0"' + caption(result.name, result.scan.status) + '>' + lines.join('') + '</pre>';
  }

  // ---- The outcome of each file, from the scan's findings ----

  // The outputs of every recognition of an image, in the order d88cut
  // writes them.
  function imageOutputs(image) {
    return (image.recognitions || []).reduce(function (all, recognition) {
      return all.concat(recognition.outputs || []);
    }, []);
  }

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
    if (result.failed || result.refused || !result.report || found.fileErrors.length)
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
    box.appendChild(el('h3', {translate: 'no'}, result.name));
    var list = el('ul');
    function say(kind, words) { list.appendChild(el('li', {'class': kind}, words)); }
    if (result.refused)
      say('error', t('summary.tooBig', {bytes: bytesText(result.refused)}));
    else if (result.failed)
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

  // A cell per sector, a row per track side, the side's label left of it
  // in 11-pixel type.
  var CELL_W = 16, CELL_H = 12, STEP_X = 18, STEP_Y = 14, LABEL_W = 96;

  // "80 track sides of 5 sectors of 1024 bytes", one part per shape of side.
  function geometry(image) {
    var shapes = {};
    var order = [];
    (image.trackSides || []).forEach(function (side) {
      var sectors = side.sectors || [];
      var sizes = sectors.map(function (s) { return s.size; });
      var same = sizes.every(function (s) { return s === sizes[0]; });
      var count = t('map.sectors', {n: sectors.length});
      var key = sectors.length === 0 ? count
              : same ? t('map.sectorsOf', {sectors: count, bytes: bytesText(sizes[0])})
              : t('map.sectorsMixed', {sectors: count});
      if (!(key in shapes)) {
        shapes[key] = 0;
        order.push(key);
      }
      shapes[key] += 1;
    });
    order.sort(function (a, b) { return shapes[b] - shapes[a]; });
    if (order.length === 0)
      return t('map.noSides');
    return order.map(function (key) {
      return t('map.sides', {n: shapes[key], shape: key});
    }).join(t('list.join'));
  }

  // A sector as the report names it: track index and ID without N.
  function place(track, s) { return track + '/' + s.c + '/' + s.h + '/' + s.r; }

  function stopsHere(names) {
    return t('map.stops', {n: names.length, names: names.join(', ')});
  }

  // Which outputs read each sector, and where runs stopped.
  function planIndex(image) {
    var outputs = [];
    var reads = {};
    var stops = {};
    imageOutputs(image).forEach(function (output) {
      var colour = outputs.length % PALETTE_SIZE;
      outputs.push({output: output, colour: colour, number: outputs.length});
      (output.sectors || []).forEach(function (s) {
        var key = place(s.track, s);
        (reads[key] = reads[key] || []).push(outputs[outputs.length - 1]);
      });
      if (output.stop) {
        var key = place(output.stop.track, output.stop);
        var entry = stops[key] = stops[key] || {stop: output.stop, names: [], numbers: []};
        entry.names.push(output.name);
        entry.numbers.push(outputs.length - 1);
      }
    });
    return {outputs: outputs, reads: reads, stops: stops};
  }

  // One sector: a rect that takes the pointer and the focus and carries
  // the sector's words in its title.
  // NUMBERS: the outputs of the disk that read it or stop at it, by their
  // place in the legend, for choosing a file there.
  function sectorCell(x, y, title, classes, fills, numbers) {
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
           '" class="' + classes + '" data-outputs="' + numbers.join(' ') + '" tabindex="-1"><title>' + escapeHtml(title) + '</title></rect>';
  }

  function sideLabel(side) {
    var first = (side.sectors || [])[0];
    return first ? t('map.side', {track: side.track, c: first.c, h: first.h}) : t('map.sideBare', {track: side.track});
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
    var rows = [];
    sides.forEach(function (side, row) {
      var y = row * STEP_Y;
      body += '<text x="0" y="' + (y + CELL_H - 2) + '">' + escapeHtml(sideLabel(side)) + '</text>';
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
        var what = reads.length ? reads.map(function (o) { return o.output.name; }).join(', ')
                                : t('map.unread');
        var classes = 'sector';
        if (stop) {
          classes += ' short';
          what = t('map.short', {what: what, stops: stopsHere(stop.names)});
        }
        var title = t('map.record', {track: side.track, c: s.c, h: s.h, r: s.r, n: s.n,
                                     bytes: bytesText(s.size), what: what});
        cells.push({r: s.r, html: function (x) {
          return sectorCell(x, y, title, classes, reads.map(function (o) { return o.colour; }),
                            reads.map(function (o) { return o.number; }).concat(stop ? stop.numbers : []));
        }});
      });
      Object.keys(index.stops).forEach(function (key) {
        var entry = index.stops[key];
        if (entry.stop.track !== side.track || (seen[key] && entry.stop.reason !== 'missing'))
          return;
        var stop = entry.stop;
        var title = t('map.missing', {track: stop.track, c: stop.c, h: stop.h, r: stop.r,
                                      stops: stopsHere(entry.names)});
        // Drawn where the run looked for it: before the first sector of
        // a higher R on the side.
        var at = cells.findIndex(function (c) { return c.r > stop.r; });
        cells.splice(at < 0 ? cells.length : at, 0, {r: stop.r, html: function (x) {
          return sectorCell(x, y, title, 'sector missing', [], entry.numbers);
        }});
      });
      rows.push(cells);
    });
    // Each sector in the column of its R, so that one missing where a run
    // looked for it shows in its place; on a disk whose sides repeat an R
    // or spread over many, in the order of the records instead.
    var all = [].concat.apply([], rows);
    var lowest = Math.min.apply(null, all.map(function (c) { return c.r; }).concat([1]));
    var byR = all.every(function (c) { return c.r - lowest < 40; }) && rows.every(function (cells) {
      return cells.every(function (c, i) { return cells.findIndex(function (d) { return d.r === c.r; }) === i; });
    });
    rows.forEach(function (cells) {
      cells.forEach(function (cell, i) {
        var column = byR ? cell.r - lowest : i;
        body += cell.html(LABEL_W + column * STEP_X);
        columns = Math.max(columns, column + 1);
      });
    });
    // One Tab stop a map, at its first sector; the arrow keys go on from
    // there.
    body = body.replace('tabindex="-1"', 'tabindex="0"');
    var width = LABEL_W + columns * STEP_X;
    var height = Math.max(sides.length * STEP_Y, STEP_Y);
    return {width: width, html: '<svg class="disk-map" viewBox="0 0 ' + width + ' ' + height +
            '" width="' + width + '" height="' + height + '" role="group" aria-label="' + escapeHtml(t('map.label')) + '">' +
            body + '</svg>'};
  }

  function legendHtml(index) {
    if (index.outputs.length === 0)
      return '';
    var html = '<details><summary>' + escapeHtml(t('map.legend', {n: index.outputs.length})) +
               '</summary><ul class="legend">';
    index.outputs.forEach(function (o) {
      var state = o.output.state === 'incomplete' || o.output.state === 'absent'
                ? ' ' + t('map.legendState', {state: t('state.' + o.output.state)}) : '';
      // A button, to show where the file lies: by pointer, keyboard or touch.
      html += '<li><svg width="12" height="12" aria-hidden="true"><rect width="12" height="12" class="o' +
              o.colour + '"/></svg><button type="button" class="legend-file" data-output="' + o.number + '"' +
              ' data-extent="' + escapeHtml(extentWords(o.output)) + '"><span translate="no">' +
              escapeHtml(o.output.name) + '</span>' + escapeHtml(state) + '</button></li>';
    });
    return html + '</ul></details>';
  }

  // Where a file lies, in words: "MA105: track 20 R 3 to track 22 R 2,
  // incomplete: 128 of 1,152 bytes".
  function extentWords(output) {
    var first = output.first;
    if (output.state === 'absent')
      return t('map.extent.absent', {name: output.name, track: first.track, r: first.r});
    var sectors = output.sectors || [];
    var last = output.stop || sectors[sectors.length - 1] || first;
    var params = {name: output.name, track: first.track, r: first.r, lastTrack: last.track, lastR: last.r,
                  got: output.bytes, planned: output.planned};
    return t('map.extent.' + (output.state === 'incomplete' ? 'incomplete' : 'whole'), params);
  }

  // Picks out on its map the sectors of the file chosen in the legend, and
  // says where it lies; choosing it again lets it go.
  function chooseOutput(event) {
    var button = event.target.closest && event.target.closest('button.legend-file');
    if (!button)
      return;
    var figure = button.closest('figure');
    var again = button.getAttribute('aria-pressed') === 'true';
    Array.prototype.forEach.call(figure.querySelectorAll('.chosen, .legend-file[aria-pressed]'), function (e) {
      e.classList.remove('chosen');
      e.removeAttribute('aria-pressed');
    });
    figure.classList.toggle('choosing', !again);
    if (again) {
      figure.querySelector('.sector-info').textContent = '';
      return;
    }
    button.setAttribute('aria-pressed', 'true');
    Array.prototype.forEach.call(figure.querySelectorAll('rect.sector[data-outputs~="' + button.dataset.output + '"]'),
                                 function (cell) { cell.classList.add('chosen'); });
    figure.querySelector('.sector-info').textContent = button.dataset.extent;
  }

  function kindLine(image) {
    var recognitions = image.recognitions || [];
    if (recognitions.length === 0)
      return t('map.foreign');
    return recognitions.map(function (r) {
      var outputs = r.outputs || [];
      var whole = outputs.filter(function (o) { return o.state === 'whole'; }).length;
      var disk = r.version === 'early' ? t('map.early', {disk: r.kind}) : r.kind;
      return outputs.length ? t('map.kindFiles', {disk: disk, n: outputs.length, whole: whole})
                            : t('map.kindNone', {disk: disk});
    }).join(t('map.kindJoin'));
  }

  // Why no disk was recognised: each label test's finding, in the
  // report's words.
  function reasonsHtml(image) {
    var reasons = image.reasons || [];
    if ((image.recognitions || []).length !== 0 || reasons.length === 0)
      return '';
    return '<ul class="reasons" lang="en" translate="no">' + reasons.map(function (r) {
      return '<li>' + escapeHtml(r.text || r.finding) + '</li>';
    }).join('') + '</ul>';
  }

  function noteHtml(name, words) {
    return '<p class="note" data-file="' + escapeHtml(name) + '">' + escapeHtml(t('note', {file: name, words: words})) + '</p>';
  }

  // A file's maps and notes, each as a function that draws it, so that a
  // file of many images can be drawn a few images at a time.
  function mapParts(result) {
    if (result.failed || result.refused)
      return [];
    var files = result.report && result.report.files;
    if (!files || !files.length)
      return [noteHtml.bind(null, result.name, t('map.noReport'))];
    var parts = [];
    function note(words) { parts.push(noteHtml.bind(null, result.name, words)); }
    files.forEach(function (file) {
      if (file.error)
        note(t('map.fileError', {error: file.error}));
      else if ((file.images || []).length === 0)
        note(t('map.noImages'));
      (file.images || []).forEach(function (image, i) {
        if (image.error) {
          note(t('map.imageError', {index: String(image.index), offset: String(image.offset), error: image.error}));
          return;
        }
        parts.push(function () { return figureHtml(result, image, i); });
      });
      if (file.imagesLeftUnread)
        note(t('map.over64'));
    });
    return parts;
  }

  function figureHtml(result, image, i) {
    var index = planIndex(image);
    var known = (image.recognitions || []).length !== 0;
    var imageNumber = image.index !== undefined ? image.index : i;
    var map = diskSvg(image, index);
    // As wide as its map, which narrows with a narrow screen.
    return '<figure class="disk' + (known ? '' : ' foreign') + '" style="width: ' + map.width +
           'px" data-file="' + escapeHtml(result.name) + '" data-image="' + imageNumber + '">' +
           '<figcaption><strong>' + escapeHtml(image.name ? t('map.caption', {file: result.name, index: imageNumber, disk: image.name})
                                                         : t('map.captionBare', {file: result.name, index: imageNumber})) + '</strong>' +
           '<span class="kind">' + escapeHtml(kindLine(image)) + '</span>' + reasonsHtml(image) +
           '<span class="geometry">' + escapeHtml(geometry(image)) + '</span>' +
           '</figcaption>' + legendHtml(index) +
           // Its room kept from the start, so that nothing moves when a
           // sector is pointed at.
           '<p class="sector-info"></p>' + map.html + '</figure>';
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
        imageOutputs(image).forEach(function (output) {
          if (output.state !== 'absent')
            folderStates[output.name] = output;
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

  // The folder as the Worker last gave it, after the last file handled
  // whole, in the order of the names.
  var folderFiles = [];

  // Each file's link takes a URL of its own, and each URL a call to the
  // browser that a set's 150 files make last over 100 ms: they are made a
  // few at a time, so that the page is never held that long.
  function showFiles() {
    fileUrls.forEach(URL.revokeObjectURL);
    fileUrls = [];
    var count = folderFiles.length;
    entries = {};
    var items = [];
    var i = 0;
    function some() {
      for (var started = performance.now(); i < count && performance.now() - started < 8; ++i)
        items.push(fileItem(folderFiles[i], URL.createObjectURL(new Blob([folderFiles[i].bytes],
                                                                          {type: 'application/octet-stream'}))));
      return i < count ? nextTask().then(some) : undefined;
    }
    return Promise.resolve(some()).then(function () { showZip(items); });
  }

  // The files' list again in the language shown, with the links' URLs
  // as they are.
  function relabelFiles() {
    var urls = fileUrls;
    fileUrls = [];
    entries = {};
    showZip(folderFiles.map(function (file, i) { return fileItem(file, urls[i]); }));
  }

  function fileItem(file, url) {
    var name = file.name;
    var bytes = file.bytes;
    entries[name] = bytes;
    fileUrls.push(url);
    var found = folderStates[name];
    var item = el('li', {'data-state': found ? found.state : 'unknown'});
    var link = el('a', {download: name, href: url, translate: 'no'}, name);
    item.appendChild(link);
    item.appendChild(el('span', {'class': 'size'}, bytesText(bytes.length)));
    // Marked in words, not by colour alone.
    if (found && found.state === 'incomplete')
      item.appendChild(el('span', {'class': 'incomplete'},
                          t('files.incomplete', {got: found.bytes, planned: found.planned})));
    return item;
  }

  function showZip(items) {
    var count = items.length;
    page.files.replaceChildren.apply(page.files, items);
    // The zip's bytes are made again only for a new folder.
    if (zipUrl && zipFor === folderFiles) {
      $('download-all').textContent = t('download.all', {n: count, bytes: bytesText(zipSize)});
      return;
    }

    if (zipUrl)
      URL.revokeObjectURL(zipUrl);
    zipUrl = null;
    var all = $('download-all');
    $('save-folder').disabled = count === 0;
    if (count === 0) {
      all.removeAttribute('href');
      all.download = 'd88cut-files.zip';
      all.textContent = t('download.none');
      return;
    }
    // Stored, not deflated: deflating took ten times as long as the cut,
    // to save little on the samples.
    var zip = fflate.zipSync(entries, {level: 0});
    zipUrl = URL.createObjectURL(new Blob([zip], {type: 'application/zip'}));
    zipFor = folderFiles;
    zipSize = zip.length;
    all.href = zipUrl;
    all.download = zipName();
    all.textContent = t('download.all', {n: count, bytes: bytesText(zip.length)});
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
      worker.postMessage({type: 'clear'});
      folderFiles = [];
      notCome = [];
      folderStates = {};
      handled = [];
      [page.summary, page.messages, page.scan, page.map].forEach(function (e) { e.replaceChildren(); });
      $('messages-box').open = false;
      $('scan-box').open = false;
      choices = [];
      return showFiles();
    }).then(function () {
      delete document.body.dataset.outcome;
      setState('ready', 'status.ready');
    });
    return queue;
  }

  // ---- Choosing files ----

  // Every choice since the page was opened or started over, as the
  // results of its files, so that all can be said again in the other
  // language.
  var choices = [];
  // The files of the last choice that a cancel left unhandled.
  var notCome = [];

  // The summary speaks of the last choice, and says when the folder holds
  // files of earlier ones too.
  function showSummary() {
    var last = choices[choices.length - 1] || [];
    var boxes = last.map(function (result) { return summaryOf(result, result.found, result.outcome); });
    if (notCome.length)
      boxes.push(el('p', {'class': 'cancelled'}, t('summary.cancelled', {names: notCome.join(t('list.join'))})));
    if (choices.length > 1)
      boxes.push(el('p', {'class': 'earlier'}, t('summary.earlier')));
    page.summary.replaceChildren.apply(page.summary, boxes);
  }

  // The next task, so that the page's thread is never held long: the
  // maps of a file of many images are drawn a few at a time.
  function nextTask() {
    return new Promise(function (resolve) { setTimeout(resolve, 0); });
  }

  // Shows what the core said of one file, and draws its maps, a part at a
  // time while the page's thread has been held less than 8 ms.
  function showResult(result) {
    showSummary();
    return nextTask().then(runSteps.bind(null, resultSteps(result)));
  }

  function resultSteps(result) {
    var steps = messageSteps(result);
    steps.push(function () { page.scan.insertAdjacentHTML('beforeend', scanHtml(result)); });
    mapParts(result).forEach(function (part) {
      steps.push(function () { page.map.insertAdjacentHTML('beforeend', part()); });
    });
    return steps;
  }

  // Runs STEPS, as many at a time as take 8 ms, the rest in later tasks.
  function runSteps(steps) {
    for (var started = performance.now(); steps.length && performance.now() - started < 8;)
      steps.shift()();
    return steps.length ? nextTask().then(runSteps.bind(null, steps)) : undefined;
  }

  // What the Worker is on, for the progress line.
  var progress = null;

  function showProgress(image, images) {
    if (!progress)
      return;
    var bar = $('progress-bar');
    bar.max = progress.files;
    bar.value = progress.file - 1 + (images ? image / images : 0);
    $('progress-text').textContent = images
      ? t('progress.image', {file: progress.file, files: progress.files, name: progress.name, image: image, images: images})
      : t('progress.file', {file: progress.file, files: progress.files, name: progress.name});
  }

  var cancelled = false;

  // Stops the core at once: the Worker goes, and a new one starts with the
  // folder as it was after the last file handled whole.
  function cancel() {
    if (progress === null || cancelled)
      return;
    cancelled = true;
    worker.terminate();
    startCore(folderFiles);
    if (pending) {
      var call = pending;
      pending = null;
      call.reject(CANCELLED);
    }
  }

  function handleOne(file, index, files) {
    if (cancelled)
      return Promise.reject(CANCELLED);  // between two files
    progress = {file: index + 1, files: files.length, name: file.name};
    showProgress(0, 0);
    if (file.size > LARGEST_FILE)
      return Promise.resolve({name: file.name, refused: file.size});
    return coreCall(file).then(function (message) {
      folderFiles = message.files;
      return nextTask().then(function () {
        var result = message.result;
        if (result.reportText !== undefined) {
          try {
            result.report = JSON.parse(result.reportText);
          } catch (e) {
            result.report = null;
          }
          delete result.reportText;
        }
        return result;
      });
    }, function (error) {
      if (error === CANCELLED)
        throw error;
      return {name: file.name, failed: String(error && error.message || error)};
    });
  }

  function handleFiles(list) {
    var files = Array.prototype.slice.call(list);
    if (files.length === 0)
      return queue;
    var results = [];
    queue = queue.then(function () {
      delete document.body.dataset.outcome;
      cancelled = false;
      notCome = [];
      choices.push(results);
      $('progress').hidden = false;
      setState('busy', 'status.busy');
      // One file at a time, read only when its turn comes.
      return files.reduce(function (done, file, i) {
        return done.then(function () {
          return handleOne(file, i, files).then(function (result) {
            result.found = findingsOf(result);
            result.outcome = outcomeOf(result, result.found);
            results.push(result);
            noteOutputs(result);
            // The messages and the report open by themselves when they
            // hold a warning or an error.
            if (result.failed || result.refused || result.cut.lines.some(function (l) { return l.stream === 'stderr'; }))
              $('messages-box').open = true;
            if (result.failed || result.refused || result.scan.status !== 0)
              $('scan-box').open = true;
            return showResult(result);
          });
        });
      }, Promise.resolve());
    }).then(function () {
      finish(results, []);
    }, function (error) {
      if (error === CANCELLED) {
        finish(results, files.slice(results.length).map(function (f) { return f.name; }));
        return;
      }
      progress = null;
      $('progress').hidden = true;
      document.body.dataset.outcome = 'problems';
      setState('done', 'status.failed', {error: String(error)});
    });
    return queue;
  }

  // The end of a choice, whole or cancelled: NOT_HANDLED names the files
  // the work did not come to.
  function finish(results, notHandled) {
    progress = null;
    $('progress').hidden = true;
    notCome = notHandled;
    showSummary();
    return showFiles().then(function () { say(results, notHandled); });
  }

  function say(results, notHandled) {
    var outcome = notHandled.length ? 'problems'
                : overallOutcome(results.map(function (result) { return result.outcome; }));
    document.body.dataset.outcome = outcome;
    if (notHandled.length)
      setState('done', 'status.cancelled', {n: notHandled.length});
    else
      setState('done', 'status.' + outcome);
    // What happened, first.
    $('status').scrollIntoView({block: 'nearest'});
  }

  // ---- First use ----

  var SAMPLE_NAME = 'sample-set.d88';
  var sampleUrl = null;

  // The core's made-up set, handled as a chosen file, and offered too, for
  // a person to try the console programs on.
  function trySample(bytes) {
    var file = new File([bytes], SAMPLE_NAME, {type: 'application/octet-stream'});
    if (sampleUrl)
      URL.revokeObjectURL(sampleUrl);
    sampleUrl = URL.createObjectURL(file);
    var link = $('sample-file');
    link.href = sampleUrl;
    link.download = SAMPLE_NAME;
    link.hidden = false;
    handleFiles([file]);
  }

  // ---- The language shown ----

  // Says the page's own words, and all it has shown, in the language CODE;
  // html[lang] follows once all is said again.
  function showLanguage(code) {
    lang = code;
    document.title = t('page.title');
    Array.prototype.forEach.call(document.querySelectorAll('[data-t]'), function (e) {
      e.textContent = t(e.dataset.t, {version: e.dataset.version});
    });
    Array.prototype.forEach.call(document.querySelectorAll('[data-t-label]'), function (e) {
      e.setAttribute('aria-label', t(e.dataset.tLabel));
    });
    Array.prototype.forEach.call(document.querySelectorAll('[data-lang]'), function (button) {
      button.setAttribute('aria-pressed', String(button.dataset.lang === code));
    });
    $('status').textContent = t(status.key, status.params);
    if (!page.files) {
      document.documentElement.lang = code;
      return;  // the core is not ready yet, and nothing is shown
    }
    var results = [].concat.apply([], choices);
    [page.messages, page.scan, page.map].forEach(function (e) { e.replaceChildren(); });
    showSummary();
    relabelFiles();
    return Promise.resolve(runSteps([].concat.apply([], results.map(resultSteps)))).then(function () {
      document.documentElement.lang = code;
    });
  }

  // Shows the ID, size and file of the sector under the pointer or the
  // keyboard's focus, in words, below the map.
  function showSector(event) {
    var cell = event.target.closest && event.target.closest('rect.sector');
    if (!cell)
      return;
    cell.closest('figure').querySelector('.sector-info').textContent = cell.querySelector('title').textContent;
  }

  // The arrow keys move the focus from sector to sector on a map, across a
  // track side and from side to side; the map keeps one Tab stop, at the
  // sector last moved to.
  var ARROWS = {ArrowLeft: [-1, 0], ArrowRight: [1, 0], ArrowUp: [0, -1], ArrowDown: [0, 1]};

  function moveBetweenSectors(event) {
    var step = ARROWS[event.key];
    var cell = event.target.closest && event.target.closest('rect.sector');
    if (!step || !cell)
      return;
    // On over a gap, where a side lacks a sector, to the next one there is.
    var map = cell.ownerSVGElement;
    var x = Number(cell.getAttribute('x')), y = Number(cell.getAttribute('y'));
    var next = null;
    for (var k = 1; !next && k <= 256; ++k) {
      next = map.querySelector('rect.sector[x="' + (x + k * step[0] * STEP_X) + '"][y="' +
                               (y + k * step[1] * STEP_Y) + '"]');
    }
    if (next) {
      cell.setAttribute('tabindex', '-1');
      next.setAttribute('tabindex', '0');
      next.focus();
      event.preventDefault();
    }
  }

  function start() {
    page.status = $('status');
    page.summary = $('summary');
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
    page.map.addEventListener('click', chooseOutput);
    $('start-over').addEventListener('click', startOver);
    if (typeof window.showDirectoryPicker === 'function') {
      $('save-folder').hidden = false;
      $('save-folder').addEventListener('click', saveIntoFolder);
    }
    $('cancel').addEventListener('click', cancel);
    $('sample').addEventListener('click', function () { worker.postMessage({type: 'sample'}); });
    // The whole panel opens the chooser, not its button alone.
    document.querySelector('.drop').addEventListener('click', function (event) {
      if (!event.target.closest('label, input, button, a') && !input.disabled)
        input.click();
    });
    showFiles();
  }

  Array.prototype.forEach.call(document.querySelectorAll('[data-lang]'), function (button) {
    button.addEventListener('click', function () {
      queue = queue.then(function () { return showLanguage(button.dataset.lang); });
    });
  });
  showLanguage(browserLanguage());
  start();
  startCore([]);
})();
