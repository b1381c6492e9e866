// The page around the program: the canvas that is its screen, the input that waits until
// the program takes it, the list of its windows, and the page's own notes. The back end
// (web_backend.cpp) makes every decision; this gathers what happens on the page into
// records of eight numbers:
//   kind (1 pointer moved, 2 pressed, 3 released, 4 key down, 5 key up, 6 the page's
//   size changed, 8 an element of the mirror activated: its id in the key code's place),
//   x and y (CSS pixels from the page's corner, in 16ths), the button
//   (0 left, 1 middle, 2 right), the key code, the modifier keys (1 Shift, 2 Ctrl, 4 Alt,
//   8 Meta, 16 a repeat), the time (ms, the page's clock) and the pointer (0 mouse,
//   1 touch, 2 pen, +8 for a finger other than the first).
var Zant = {
  canvas: document.getElementById('screen'),
  events: [],
  wake: null,    // resumes the program when it waits for input
  windows: {},   // by id: the title and place of each window (what a desktop's list shows)
  files: {},     // files of the site on their way, by address
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

(function() {
  function modifiers(e) {
    return (e.shiftKey ? 1 : 0) | (e.ctrlKey ? 2 : 0) | (e.altKey ? 4 : 0) | (e.metaKey ? 8 : 0) |
           (e.repeat ? 16 : 0);
  }
  function pointer(kind, e) {
    var type = e.pointerType == 'touch' ? 1 : e.pointerType == 'pen' ? 2 : 0;
    Zant.push([kind, Math.round(e.clientX * 16), Math.round(e.clientY * 16), e.button, 0,
               modifiers(e), Math.round(e.timeStamp), type | (e.isPrimary ? 0 : 8)]);
  }
  function key(kind, e) {
    if (Zant.over) return;  // the page's own keys: Tab and Enter reach its button
    Zant.push([kind, 0, 0, 0, e.keyCode, modifiers(e), Math.round(e.timeStamp), 0]);
    // The page keeps its own keys: shortcuts with Ctrl, Alt or Meta, and F1 to F12.
    if (!e.ctrlKey && !e.altKey && !e.metaKey && !(e.keyCode >= 112 && e.keyCode <= 123)) {
      e.preventDefault();
    }
  }
  document.addEventListener('pointerdown', function(e) {
    if (e.target.setPointerCapture) e.target.setPointerCapture(e.pointerId);
    pointer(2, e);
    e.preventDefault();
  });
  document.addEventListener('pointermove', function(e) { pointer(1, e); });
  document.addEventListener('pointerup', function(e) { pointer(3, e); });
  document.addEventListener('pointercancel', function(e) { pointer(3, e); });
  document.addEventListener('contextmenu', function(e) { e.preventDefault(); });
  window.addEventListener('keydown', function(e) { key(4, e); });
  window.addEventListener('keyup', function(e) { key(5, e); });
  window.addEventListener('resize', function() { Zant.push([6, 0, 0, 0, 0, 0, 0, 0]); });

  document.getElementById('again').addEventListener('click', function() {
    location.reload();
  });
  // After the first visit every file of the site comes from the service worker's cache.
  if ('serviceWorker' in navigator) {
    navigator.serviceWorker.register('service-worker.js').catch(function() {});
  }
})();

Module['onAbort'] = function() { Zant.show('failed'); };
