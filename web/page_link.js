// The web program's calls to its page (declared in page.h).  The page's side
// comes in the module settings: vornFrameHeld(frame), vornSoundWanted(),
// vornSound(values), vornNextFrame(go) and vornEnded(status).
mergeInto(LibraryManager.library, {
  page_frame_held: function(frame) {
    var held = Module['vornFrameHeld'];
    return held && held(frame) ? 1 : 0;
  },

  page_sound_wanted: function() {
    var wanted = Module['vornSoundWanted'];
    return wanted ? Math.max(0, Math.floor(wanted())) : 0;
  },

  page_sound: function(values, samples) {
    var sound = Module['vornSound'];
    var first = values >> 1;
    if (sound) sound(HEAP16.subarray(first, first + 2 * samples));
  },

  // Unwinds the program (asyncify: page_next_frame is among the link's
  // ASYNCIFY_IMPORTS) and rewinds it when the page calls go(), from its
  // animation frame callback, so the next frame is drawn and shown in that
  // animation frame.
  page_next_frame__deps: ['$Asyncify'],
  page_next_frame: function() {
    var next = Module['vornNextFrame'] || requestAnimationFrame;
    return Asyncify.handleSleep(function(wakeUp) {
      next(function() { wakeUp(); });
    });
  },

  page_prepare_sdl__deps: ['$SDL'],
  page_prepare_sdl: function() {
    // Every frame overwrites the whole screen with opaque pixels.
    SDL.defaults.copyOnLock = false;
    SDL.defaults.discardOnLock = true;
    SDL.defaults.opaqueFrontBuffer = false;

    // SDL 1.2 key symbols by DOM key code, where they are not the code
    // itself or one of the ranges below.
    var symbols = {
      8: 8, 9: 9, 12: 12, 13: 13, 19: 19, 20: 301, 27: 27, 32: 32,
      33: 280, 34: 281, 35: 279, 36: 278, 37: 276, 38: 273, 39: 275, 40: 274,
      44: 316, 45: 277, 46: 127, 93: 319,
      106: 268, 107: 270, 109: 269, 110: 266, 111: 267, 144: 300, 145: 302,
      59: 59, 61: 61, 173: 45, 186: 59, 187: 61, 188: 44, 189: 45, 190: 46,
      191: 47, 192: 96, 219: 91, 220: 92, 221: 93, 222: 39
    };
    // Modifiers: [left, right] symbols.
    var sides = {16: [304, 303], 17: [306, 305], 18: [308, 307], 91: [311, 312], 92: [312, 312]};
    var right = 2, keypad = 3;  // KeyboardEvent.location
    SDL.lookupKeyCodeForEvent = function(event) {
      var code = event.keyCode;
      if (code >= 65 && code <= 90) return code + 32;    // letters, lower case
      if (code >= 48 && code <= 57) return code;         // digits
      if (code >= 112 && code <= 126) return code + 170; // F1 .. F15
      if (code >= 96 && code <= 105) return code + 160;  // keypad 0 .. 9
      if (code === 13 && event.location === keypad) return 271;
      if (code in sides) return sides[code][event.location === right ? 1 : 0];
      return symbols[code] || 0;                         // 0: unknown key
    };
    // An X11 window under SDL 1.2 gets no key repeat unless asked for.
    var receive = SDL.receiveEvent;
    SDL.receiveEvent = function(event) {
      if (event.type === 'keydown' && event.repeat) {
        event.preventDefault();
        return;
      }
      receive(event);
    };
  },

  page_ended__deps: ['$SDL'],
  page_ended: function(status) {
    var keys = Module['keyboardListeningElement'] || document;
    ['keydown', 'keyup', 'keypress'].forEach(function(type) {
      keys.removeEventListener(type, SDL.receiveEvent);
    });
    ['focus', 'blur', 'unload'].forEach(function(type) {
      window.removeEventListener(type, SDL.receiveEvent);
    });
    document.removeEventListener('visibilitychange', SDL.receiveEvent);
    ['touchstart', 'touchend', 'touchmove', 'mousedown', 'mouseup', 'mousemove', 'DOMMouseScroll',
     'mousewheel', 'wheel', 'mouseout'].forEach(function(type) {
      Module['canvas'].removeEventListener(type, SDL.receiveEvent, true);
    });
    SDL.events = [];
    var ended = Module['vornEnded'];
    if (ended) ended(status);
  }
});
