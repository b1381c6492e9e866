// The page around the program: the canvas that is its screen, the input that waits until
// the program takes it, the list of its windows, and the page's own notes. The back end
// (web_backend.cpp) makes every decision but one (where the canvas lies, below); this
// gathers what happens on the page into records of eight numbers:
//   kind (1 pointer moved, 2 pressed, 3 released, 4 key down, 5 key up, 6 the pointer's
//   press cancelled, 7 the page lost the keyboard and the pointer, 8 an element of the
//   mirror activated: its id in the key code's place), x and y (pixels of the screen, in
//   16ths, as the canvas was placed when it happened), the button that changed (0 left,
//   1 middle, 2 right, others: side buttons, a pen's eraser), the key code, or for the
//   pointer the buttons held (1 left, 2 right, 4 middle, higher bits the others), the
//   modifier keys (1 Shift, 2 Ctrl, 4 Alt, 8 Meta, 16 a repeat), the time (ms, the page's
//   clock) and the pointer (0 mouse, 1 touch, 2 pen, +8 for a finger other than the first).
var Zant = {
  canvas: document.getElementById('screen'),
  events: [],
  wake: null,    // resumes the program when it waits for input
  windows: {},   // by id: the title and place of each window (what a desktop's list shows)
  files: {},     // files of the site on their way, by address
  // Where the canvas lies on the page, in CSS pixels, and the page it was made for (see
  // Zant.place).
  placement: {left: 0, top: 0, width: 1, height: 1, page: ''},
};
Zant.context = Zant.canvas.getContext('2d', {alpha: false});

Zant.push = function(record) {
  Zant.events.push(record);
  if (Zant.wake) {
    var wake = Zant.wake;
    Zant.wake = null;
    Promise.resolve().then(wake);
  }
};

// Shows one of the page's notes ('ended', 'failed') in place of the game; the keyboard
// (and a screen reader) goes to its button, which the note describes.
Zant.show = function(note) {
  var again = document.getElementById('again');
  Zant.over = true;
  document.getElementById('loading').hidden = true;
  document.getElementById(note).hidden = false;
  document.getElementById('notes').hidden = false;
  again.setAttribute('aria-describedby', note);
  again.focus();
};

// --- Placing the screen on the page ---------------------------------------------------------
// The one rule the page keeps itself: it must follow a resize, a rotation or a new device
// pixel ratio at once, also while the program is suspended in a pause (the die, a notice,
// the splash, the solver's turns to paint), when nothing can call into it; and each pointer
// position is mapped to the screen with the placement in force when it happened. Where the
// screen fits the page at its own size (a CSS pixel a pixel) or larger, it is scaled by the
// largest whole number of device pixels that fits, crisp; where it does not, by the
// fraction that fits, smoothly. Centred, on whole device pixels.
Zant.page = function() {
  return [window.innerWidth, window.innerHeight, window.devicePixelRatio || 1, Zant.canvas.width,
          Zant.canvas.height].join();
};
Zant.place = function() {
  var c = Zant.canvas, sw = c.width, sh = c.height;
  var cssW = Math.max(1, window.innerWidth), cssH = Math.max(1, window.innerHeight);
  var dpr = window.devicePixelRatio || 1;
  var fit = Math.min(cssW / sw, cssH / sh);
  var whole = Math.floor(Math.min(cssW * dpr / sw, cssH * dpr / sh) + 1e-6);
  var crisp = fit >= 1 && whole >= 1;
  var device = crisp ? whole : fit * dpr;  // device pixels a pixel of the screen
  var w = sw * device, h = sh * device;
  var left = Math.max(0, Math.floor((cssW * dpr - w) / 2));
  var top = Math.max(0, Math.floor((cssH * dpr - h) / 2));
  var p = Zant.placement =
      {left: left / dpr, top: top / dpr, width: w / dpr, height: h / dpr, page: Zant.page()};
  var style = c.style;
  style.left = p.left + 'px';
  style.top = p.top + 'px';
  style.width = p.width + 'px';
  style.height = p.height + 'px';
  style.imageRendering = crisp ? 'pixelated' : 'auto';
};

(function() {
  // A change of the device pixel ratio without a resize (the window taken to a screen of
  // another scale, the browser's zoom) is seen through a media query on the resolution in
  // force, armed again for the new one after each change. (The page holds on to the query:
  // one that nothing holds may be collected, and its listener with it.)
  function watchScale() {
    if (!window.matchMedia) return;
    var query = window.matchMedia('(resolution: ' + (window.devicePixelRatio || 1) + 'dppx)');
    var changed = function() {
      query.removeEventListener('change', changed);
      Zant.place();
      watchScale();
    };
    query.addEventListener('change', changed);
    Zant.scaleQuery = query;
  }
  window.addEventListener('resize', Zant.place);
  window.addEventListener('orientationchange', Zant.place);
  if (window.screen && screen.orientation) screen.orientation.addEventListener('change', Zant.place);
  watchScale();
})();

// Sets an attribute of an element, or removes it (null).
Zant.attribute = function(el, name, value) {
  if (value === null) {
    el.removeAttribute(name);
  } else if (el.getAttribute(name) !== value) {
    el.setAttribute(name, value);
  }
};

// The mirror of the program's windows for assistive technology (mirror.cpp): elements a
// screen reader reads, laid over the canvas where what they stand for is drawn, invisible
// and letting the pointer through to the canvas; and the log that says what changes.
Zant.nodes = {};
Zant.mirror = document.createElement('div');
Zant.said = document.createElement('div');
(function() {
  var mirror = Zant.mirror.style, said = Zant.said.style;
  mirror.position = 'fixed';
  mirror.opacity = '0';
  mirror.pointerEvents = 'none';
  mirror.overflow = 'hidden';
  Zant.said.setAttribute('role', 'log');
  Zant.said.setAttribute('aria-live', 'polite');
  Zant.said.setAttribute('aria-label', 'Zant Pig');
  said.position = 'fixed';
  said.left = '0';
  said.top = '0';
  said.width = '1px';
  said.height = '1px';
  said.overflow = 'hidden';
  said.clipPath = 'inset(50%)';
  document.body.appendChild(Zant.mirror);
  document.body.appendChild(Zant.said);
  // The mirror lies where the canvas does, wherever the page is told to place it.
  function follow() {
    var from = Zant.canvas.style;
    mirror.left = from.left;
    mirror.top = from.top;
    mirror.width = from.width;
    mirror.height = from.height;
  }
  new MutationObserver(follow).observe(Zant.canvas, {attributes: true, attributeFilter: ['style']});
  follow();
  // A screen reader's "activate" (or element.click()) on an element: the program decides.
  Zant.mirror.addEventListener('click', function(e) {
    var node = e.target.closest('[data-node]');
    if (node) Zant.push([8, 0, 0, 0, +node.dataset.node, 0, Math.round(e.timeStamp), 0]);
  });
})();

// --- Input ------------------------------------------------------------------------------
(function() {
  function modifiers(e) {
    return (e.shiftKey ? 1 : 0) | (e.ctrlKey ? 2 : 0) | (e.altKey ? 4 : 0) | (e.metaKey ? 8 : 0) |
           (e.repeat ? 16 : 0);
  }
  function pointer(kind, e) {
    // (A page that changed since its last frame has not yet told of it.)
    if (Zant.placement.page != Zant.page()) Zant.place();
    var p = Zant.placement, type = e.pointerType == 'touch' ? 1 : e.pointerType == 'pen' ? 2 : 0;
    var x = (e.clientX - p.left) * Zant.canvas.width / p.width;
    var y = (e.clientY - p.top) * Zant.canvas.height / p.height;
    Zant.push([kind, Math.round(x * 16), Math.round(y * 16), e.button, e.buttons, modifiers(e),
               Math.round(e.timeStamp), type | (e.isPrimary ? 0 : 8)]);
  }
  function key(kind, e) {
    if (Zant.over) return;  // the page's own keys: Tab and Enter reach its button
    Zant.push([kind, 0, 0, 0, e.keyCode, modifiers(e), Math.round(e.timeStamp), 0]);
    // The page keeps its own keys: shortcuts with Ctrl, Alt or Meta, and F1 to F12.
    if (!e.ctrlKey && !e.altKey && !e.metaKey && !(e.keyCode >= 112 && e.keyCode <= 123)) {
      e.preventDefault();
    }
  }
  // The keys and buttons held when the page loses them are the back end's to let go: their
  // key-up and button-up may never come to the page.
  function lost(e) {
    Zant.push([7, 0, 0, 0, 0, 0, Math.round(e.timeStamp), 0]);
  }
  document.addEventListener('pointerdown', function(e) {
    if (e.target.setPointerCapture) e.target.setPointerCapture(e.pointerId);
    pointer(2, e);
    e.preventDefault();
  });
  document.addEventListener('pointermove', function(e) { pointer(1, e); });
  document.addEventListener('pointerup', function(e) { pointer(3, e); });
  document.addEventListener('pointercancel', function(e) { pointer(6, e); });
  document.addEventListener('contextmenu', function(e) { e.preventDefault(); });
  window.addEventListener('keydown', function(e) { key(4, e); });
  window.addEventListener('keyup', function(e) { key(5, e); });
  window.addEventListener('blur', lost);
  window.addEventListener('pagehide', lost);
  document.addEventListener('visibilitychange', function(e) {
    if (document.visibilityState == 'hidden') lost(e);
  });

  document.getElementById('again').addEventListener('click', function() {
    location.reload();
  });
  // After the first visit every file of the site comes from the service worker's cache.
  if ('serviceWorker' in navigator) {
    navigator.serviceWorker.register('service-worker.js').catch(function() {});
  }
})();

Module['onAbort'] = function() { Zant.show('failed'); };
