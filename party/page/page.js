'use strict';
// The singer's page: every text from the server or the singer goes in with textContent only.
(function () {
  const key = new URLSearchParams(location.search).get('k') || '';
  const $ = (id) => document.getElementById(id);
  const store = window.localStorage;

  function phoneId() {
    let id = store.getItem('kivo.phone');
    if (!id || !/^[A-Za-z0-9_-]{8,64}$/.test(id)) {
      const bytes = new Uint8Array(16);
      crypto.getRandomValues(bytes);
      id = Array.from(bytes, (b) => b.toString(16).padStart(2, '0')).join('');
      store.setItem('kivo.phone', id);
    }
    return id;
  }
  const phone = phoneId();

  function api(path, params) {
    const query = new URLSearchParams(Object.assign({ k: key, c: phone }, params || {}));
    return '/api/' + path + '?' + query.toString();
  }
  async function getJson(path, params) {
    const response = await fetch(api(path, params), { cache: 'no-store' });
    if (!response.ok) throw new Error('HTTP ' + response.status);
    return response.json();
  }
  async function postJson(path, body) {
    const response = await fetch(api(path), {
      method: 'POST', headers: { 'Content-Type': 'application/json' },
      body: JSON.stringify(body)
    });
    const answer = await response.json().catch(() => ({}));
    if (!response.ok) throw new Error(answer.error || ('HTTP ' + response.status));
    return answer;
  }
  function element(tag, text, className) {
    const node = document.createElement(tag);
    if (text !== undefined) node.textContent = text;
    if (className) node.className = className;
    return node;
  }
  function say(text) { $('status').textContent = text; }
  function minutes(seconds) {
    return Math.floor(seconds / 60) + ':' + String(seconds % 60).padStart(2, '0');
  }

  // Name, kept on the phone.
  const name = $('name');
  name.value = store.getItem('kivo.name') || '';
  name.addEventListener('change', () => store.setItem('kivo.name', name.value.trim()));

  // Search as you type.
  let chosen = null;
  let searchTimer = 0;
  let searchSerial = 0;
  async function search() {
    const serial = ++searchSerial;
    try {
      const answer = await getJson('songs', { q: $('search').value });
      if (serial !== searchSerial) return;
      const list = $('results');
      list.replaceChildren();
      for (const song of answer.songs) {
        const item = element('li');
        item.appendChild(element('div', song.title));
        item.appendChild(element('div', song.artist + ' \u00b7 ' + minutes(song.seconds), 'artist'));
        item.addEventListener('click', () => choose(song));
        list.appendChild(item);
      }
    } catch (e) { say('Search failed: ' + e.message); }
  }
  $('search').addEventListener('input', () => {
    clearTimeout(searchTimer);
    searchTimer = setTimeout(search, 150);
  });

  for (let k = -6; k <= 6; ++k) {
    const option = element('option', k === 0 ? 'Original key' : (k > 0 ? '+' + k : String(k)));
    option.value = String(k);
    if (k === 0) option.selected = true;
    $('key').appendChild(option);
  }
  function choose(song) {
    chosen = song;
    $('chosen-song').textContent = song.title + ' \u2014 ' + song.artist;
    $('chosen').hidden = false;
    $('key').value = '0';
  }
  $('cancel').addEventListener('click', () => { chosen = null; $('chosen').hidden = true; });
  $('join').addEventListener('click', async () => {
    const singer = name.value.trim();
    if (!singer) { say('Enter your name first.'); name.focus(); return; }
    store.setItem('kivo.name', singer);
    try {
      await postJson('queue', { name: singer, song: chosen.id, key: Number($('key').value) });
      say('You are in the queue: ' + chosen.title);
      chosen = null;
      $('chosen').hidden = true;
      $('search').value = '';
      $('results').replaceChildren();
      await refresh();
      $('waiting').scrollIntoView();
    } catch (e) { say('Not queued: ' + e.message); }
  });

  // The queue, the singer's place, and withdrawing.
  function showQueue(entries) {
    const list = $('queue');
    list.replaceChildren();
    let first = 0;
    entries.forEach((entry, index) => {
      const item = element('li', null, entry.mine ? 'mine' : '');
      item.appendChild(element('span', entry.singer, 'singer'));
      item.appendChild(document.createTextNode(' \u2014 ' + entry.title +
        (entry.key ? ' (key ' + (entry.key > 0 ? '+' : '') + entry.key + ')' : '')));
      if (entry.mine) {
        if (!first) first = index + 1;
        const withdraw = element('button', 'Withdraw', 'plain');
        withdraw.addEventListener('click', async () => {
          try { await postJson('withdraw', { id: entry.id }); refresh(); } catch (e) { say(e.message); }
        });
        item.appendChild(withdraw);
      }
      list.appendChild(item);
    });
    $('place').textContent = first === 1 ? "You're next!" :
      (first ? 'Your place: ' + first : (entries.length ? '' : 'The queue is empty.'));
  }
  async function refresh() {
    try { showQueue((await getJson('queue')).queue); } catch (e) { say('Queue: ' + e.message); }
  }
  refresh();
  search();
  setInterval(refresh, 5000);
})();
