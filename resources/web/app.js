'use strict';
// The pages of the remote view. Every action is a POST carrying the
// session's token against cross-site requests, which comes with the state.

let csrf = '';

function show(id, text, cls) {
  const el = document.getElementById(id);
  if (!el) return;
  el.textContent = text;
  if (cls !== undefined) el.className = cls;
}

function toLogin(response) {
  if (response.status === 401) location.href = '/login';
  return response;
}

async function loadState() {
  const response = toLogin(await fetch('/api/state', {cache: 'no-store'}));
  if (!response.ok) return;
  const s = await response.json();
  csrf = s.csrf;
  show('watching', s.watching ? 'включено' : 'выключено', s.watching ? 'on' : 'off');
  show('level', s.level + ' % (порог ' + s.threshold + ' %)');
  show('muted', s.mutedForever ? 'выключены до включения'
      : s.muted ? 'выключены до ' + s.mutedUntil : 'включены', s.muted ? 'off' : 'on');
  show('watchingSince', s.watchingSince || '—');
  show('eventsToday', String(s.eventsToday));
  show('lastEvent', s.lastEvent || '—');
  show('picturesWaiting', String(s.picturesWaiting));
  show('messagesWaiting', String(s.messagesWaiting));
  show('cameraHealth', s.cameraHealth || '—');
  show('viewers', String(s.viewers));
}

async function post(path, value) {
  const body = new URLSearchParams();
  if (value) body.set('value', value);
  return toLogin(await fetch(path, {
    method: 'POST',
    headers: {'X-CSRF-Token': csrf},
    body: body,
  }));
}

function startLive() {
  const img = document.getElementById('live');
  const busy = document.getElementById('busy');
  // A refused picture: either four others watch, or the session ended.
  img.onerror = async () => {
    if (toLogin(await fetch('/api/state', {cache: 'no-store'})).ok) busy.hidden = false;
  };
  img.onload = () => { busy.hidden = true; };
  img.src = '/live.mjpg?' + Date.now();
  document.getElementById('retry').onclick = () => {
    busy.hidden = true;
    img.src = '/live.mjpg?' + Date.now();
  };
}

function eventItem(e) {
  const li = document.createElement('li');
  li.dataset.number = e.number;
  const title = document.createElement('div');
  title.textContent = 'Событие ' + e.number + ': ' + e.start + ', ' +
      e.duration.toFixed(1) + ' с, изменение до ' + e.peak + ' %';
  li.append(title);
  if (e.picture) {
    const img = document.createElement('img');
    img.loading = 'lazy';
    img.alt = 'Первый снимок события ' + e.number;
    img.src = '/event/' + e.number + '/picture';
    img.onerror = () => img.remove(); // the file is gone (rotated away)
    li.append(img);
  }
  for (let i = 0; i < e.clips; ++i) {
    const button = document.createElement('button');
    button.type = 'button';
    button.className = 'play';
    button.textContent = e.clips > 1 ? 'Запись ' + (i + 1) : 'Смотреть запись';
    button.onclick = () => {
      const video = document.createElement('video');
      video.controls = true;
      video.playsInline = true;
      video.src = '/event/' + e.number + '/clip/' + i;
      video.onerror = () => {
        const note = document.createElement('p');
        note.className = 'error';
        note.textContent = 'Запись недоступна.';
        video.replaceWith(note);
      };
      button.replaceWith(video);
      video.play().catch(() => {});
    };
    li.append(button);
  }
  return li;
}

async function loadEvents(day) {
  const response = toLogin(await fetch('/api/events' + (day ? '?day=' + day : ''),
                                       {cache: 'no-store'}));
  if (!response.ok) return;
  const data = await response.json();
  const select = document.getElementById('day');
  select.replaceChildren(...data.days.map((d) => {
    const option = document.createElement('option');
    option.value = d;
    option.textContent = d.split('-').reverse().join('.');
    option.selected = d === data.day;
    return option;
  }));
  document.getElementById('events').replaceChildren(...data.events.map(eventItem));
  document.getElementById('none').hidden = data.events.length > 0;
}

document.addEventListener('DOMContentLoaded', () => {
  const page = document.body.dataset.page;
  for (const a of document.querySelectorAll('nav a')) {
    if (a.dataset.nav === page) a.className = 'current';
  }
  loadState();
  if (page !== 'events') setInterval(loadState, page === 'now' ? 1000 : 3000);
  if (page === 'now') startLive();
  if (page === 'events') {
    loadEvents('');
    document.getElementById('day').onchange = (e) => loadEvents(e.target.value);
  }
  for (const button of document.querySelectorAll('button[data-action]')) {
    button.onclick = async () => {
      const response = await post(button.dataset.action, button.dataset.value);
      show('done', response.ok ? 'Готово: ' + button.textContent : 'Не удалось');
      loadState();
    };
  }
  const logout = document.getElementById('logout');
  if (logout) {
    logout.onclick = async () => {
      await post('/logout');
      location.href = '/login';
    };
  }
});
