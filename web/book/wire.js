// The names the book page and the native side agree on (the native side
// keeps the same names in src/book/BookWire.h).
(function (root) {
  'use strict';
  const wire = Object.freeze({
    messageHandler: 'book',
    tokenKey: 'token',
    jumpPointKey: 'point',
    phaseKey: 'phase',
    backwardKey: 'canBackward',
    failureEvent: 'failure',
  });
  if (typeof module === 'object' && module.exports) module.exports = wire;
  else root.FolvanWire = wire;
})(this);
