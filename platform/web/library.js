// The page's side of the browser back end (web_backend.cpp): one small function for each
// thing the back end asks of the page. They move pixels, input and files; they decide
// nothing. The page's state is `Zant`, set up by the prelude (prelude.js).
mergeInto(LibraryManager.library, {
  // The canvas holds a picture of this many pixels.
  zant_js_screen: function(width, height) {
    Zant.canvas.width = width;
    Zant.canvas.height = height;
  },

  // One changed rectangle of the screen, as RGBA bytes in the program's memory.
  zant_js_blit: function(rgba, x, y, width, height) {
    var bytes = new Uint8ClampedArray(HEAPU8.buffer, rgba, width * height * 4);
    Zant.context.putImageData(new ImageData(bytes, width, height), x, y);
  },

  // Where the canvas lies on the page and how large it is shown, in CSS pixels; shown
  // smoothly or with crisp pixels.
  zant_js_place: function(left, top, width, height, smooth) {
    var style = Zant.canvas.style;
    style.left = left + 'px';
    style.top = top + 'px';
    style.width = width + 'px';
    style.height = height + 'px';
    style.imageRendering = smooth ? 'auto' : 'pixelated';
  },

  // The page's size in CSS pixels and its device pixels per CSS pixel (in 1024ths).
  zant_js_viewport: function(out) {
    HEAP32[out >> 2] = window.innerWidth;
    HEAP32[(out >> 2) + 1] = window.innerHeight;
    HEAP32[(out >> 2) + 2] = Math.round((window.devicePixelRatio || 1) * 1024);
  },

  // Takes the oldest input record (eight numbers, see prelude.js); 0 when there is none.
  zant_js_next_event: function(out) {
    var record = Zant.events.shift();
    if (!record) return 0;
    HEAP32.set(record, out >> 2);
    return 1;
  },

  // Waits until input comes, or for ms milliseconds (ms < 0: for as long as it takes).
  zant_js_wait: function(ms) {
    return Asyncify.handleSleep(function(wakeUp) {
      if (Zant.events.length) return wakeUp();
      var timer = ms < 0 ? null : setTimeout(function() {
        Zant.wake = null;
        wakeUp();
      }, ms);
      Zant.wake = function() {
        if (timer !== null) clearTimeout(timer);
        wakeUp();
      };
    });
  },

  // Lets the page paint what was drawn, and comes back soon after (also where the page
  // is hidden and paints nothing).
  zant_js_yield: function() {
    return Asyncify.handleSleep(function(wakeUp) {
      var done = false;
      function resume() {
        if (done) return;
        done = true;
        wakeUp();
      }
      requestAnimationFrame(function() {
        setTimeout(resume, 0);
      });
      setTimeout(resume, 50);
    });
  },

  // Starts fetching a file of the site, which zant_js_fetch then takes.
  zant_js_prefetch: function(url) {
    var name = UTF8ToString(url);
    if (Zant.files[name]) return;
    Zant.files[name] = fetch(name).then(function(response) {
      if (!response.ok) throw new Error(response.status);
      return response.arrayBuffer();
    });
    Zant.files[name].catch(function() {});  // a failure is zant_js_fetch's to tell
  },

  // Puts a file of the site into the program's file system; 1 when it came.
  zant_js_fetch__deps: ['$FS', 'zant_js_prefetch'],
  zant_js_fetch: function(url, path) {
    return Asyncify.handleSleep(function(wakeUp) {
      var where = UTF8ToString(path), name = UTF8ToString(url);
      _zant_js_prefetch(url);
      Zant.files[name].then(function(data) {
        delete Zant.files[name];
        FS.mkdirTree(where.substring(0, where.lastIndexOf('/')));
        FS.writeFile(where, new Uint8Array(data));
        wakeUp(1);
      }, function() {
        wakeUp(0);
      });
    });
  },

  // Decodes a picture of the site (WebP or PNG) and keeps its RGBA pixels for
  // zant_js_picture_take; writes its width and height to size. 1 when it came.
  zant_js_picture__deps: ['zant_js_prefetch'],
  zant_js_picture: function(url, size) {
    return Asyncify.handleSleep(function(wakeUp) {
      var name = UTF8ToString(url);
      _zant_js_prefetch(url);
      Zant.files[name].then(function(data) {
        delete Zant.files[name];
        return createImageBitmap(new Blob([data]), {premultiplyAlpha: 'none',
                                                    colorSpaceConversion: 'none'});
      }).then(function(bitmap) {
        var canvas = document.createElement('canvas');
        canvas.width = bitmap.width;
        canvas.height = bitmap.height;
        var context = canvas.getContext('2d', {willReadFrequently: true});
        context.drawImage(bitmap, 0, 0);
        Zant.picture = context.getImageData(0, 0, bitmap.width, bitmap.height).data;
        HEAP32[size >> 2] = bitmap.width;
        HEAP32[(size >> 2) + 1] = bitmap.height;
        wakeUp(1);
      }).catch(function() {
        wakeUp(0);
      });
    });
  },

  // Copies the picture zant_js_picture decoded into the program's memory (null: drops it).
  zant_js_picture_take: function(rgba) {
    if (rgba) HEAPU8.set(Zant.picture, rgba);
    Zant.picture = null;
  },

  // The pointer over the page: 0 arrow, 1 text beam, 2 hourglass, 3 cross, 4 none.
  zant_js_cursor: function(kind) {
    document.body.style.cursor = ['default', 'text', 'wait', 'crosshair', 'none'][kind];
  },

  zant_js_title: function(title) {
    document.title = UTF8ToString(title);
  },

  // The page's list of windows (screen pixels; shown 1 or 0, -1 when it is gone).
  zant_js_window: function(id, title, left, top, right, bottom, shown) {
    if (shown < 0) {
      delete Zant.windows[id];
      return;
    }
    Zant.windows[id] = {title: UTF8ToString(title), left: left, top: top, right: right,
                        bottom: bottom, shown: shown == 1};
  },

  // The program has ended.
  zant_js_ended: function() {
    Zant.show('ended');
  },

  // The program runs: the page's note that it is loading goes.
  zant_js_running: function() {
    document.getElementById('loading').hidden = true;
  },

  // --- The mirror for assistive technology (mirror.cpp decides what it holds) ---------
  // An element of the mirror, made the first time and kept in step after: in the element
  // `parent` (0: the mirror itself), with a role, a name or a text, its place in percent of
  // its parent's box, its states (1 disabled, 2 checkable, 4 checked, 8 modal, 16
  // focusable, 32 opens a menu) and the element that describes it.
  zant_js_node: function(id, parent, role, label, text, left, top, width, height, state,
                         describedBy) {
    var el = Zant.nodes[id];
    if (!el) {
      el = Zant.nodes[id] = document.createElement('div');
      el.id = 'zant-node-' + id;
      el.dataset.node = id;
      el.style.position = 'absolute';
      el.style.whiteSpace = 'pre-line';
    }
    var into = Zant.nodes[parent] || Zant.mirror;
    if (el.parentNode !== into) into.appendChild(el);
    text = UTF8ToString(text);
    if (text || el.zantText) {
      if (!el.zantText) el.zantText = el.insertBefore(document.createTextNode(''), el.firstChild);
      el.zantText.data = text;
    }
    role = UTF8ToString(role);
    label = UTF8ToString(label);
    Zant.attribute(el, 'role', role || null);
    Zant.attribute(el, 'aria-label', label || null);
    Zant.attribute(el, 'aria-disabled', state & 1 ? 'true' : null);
    Zant.attribute(el, 'aria-checked', state & 2 ? (state & 4 ? 'true' : 'false') : null);
    Zant.attribute(el, 'aria-modal', state & 8 ? 'true' : null);
    Zant.attribute(el, 'tabindex', state & 16 ? '-1' : null);
    Zant.attribute(el, 'aria-haspopup', state & 32 ? 'menu' : null);
    Zant.attribute(el, 'aria-describedby', describedBy ? 'zant-node-' + describedBy : null);
    el.style.left = left + '%';
    el.style.top = top + '%';
    el.style.width = width + '%';
    el.style.height = height + '%';
  },

  // An element of the mirror goes, with everything in it.
  zant_js_node_gone: function(id) {
    var el = Zant.nodes[id];
    if (!el) return;
    el.querySelectorAll('[data-node]').forEach(function(inner) {
      delete Zant.nodes[inner.dataset.node];
    });
    delete Zant.nodes[id];
    el.remove();
  },

  // The page's keyboard focus on an element of the mirror (0: on none of them).
  zant_js_node_focus: function(id) {
    if (Zant.nodes[id]) {
      Zant.nodes[id].focus({preventScroll: true});
    } else if (Zant.mirror.contains(document.activeElement)) {
      document.activeElement.blur();
    }
  },

  // Something to be said: a new line of the log a screen reader reads out as it comes.
  zant_js_announce: function(text) {
    var line = document.createElement('p');
    line.textContent = UTF8ToString(text);
    Zant.said.appendChild(line);
    while (Zant.said.childNodes.length > 50) Zant.said.firstChild.remove();
  },
});
