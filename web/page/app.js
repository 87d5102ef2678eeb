'use strict';
// The live reading, until the full page replaces this one.
const events = new EventSource('events');
events.addEventListener('reading', (e) => {
    const r = JSON.parse(e.data);
    document.getElementById('reading').textContent = r.text + ' ' + r.unit;
});
