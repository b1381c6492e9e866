// The page around the program: the canvas that is its screen, the input that waits until
// the program takes it, the list of its windows, and the page's own notes. The back end
// (web_backend.cpp) makes every decision; this gathers what happens on the page into
// records of eight numbers:
//   kind (1 pointer moved, 2 pressed, 3 released, 4 key down, 5 key up, 6 the page's
//   size changed), x and y (CSS pixels from the page's corner, in 16ths), the button
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

// Shows one of the page's notes ('ended', 'failed') in place of the game.
Zant.show = function(note) {
  document.getElementById('loading').hidden = true;
  document.getElementById(note).hidden = false;
  document.getElementById('notes').hidden = false;
};

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
