#!/usr/bin/env python3
"""Talks to the remote view as an attacker, as 20 viewers at once, or as a
user in headless Chromium. Exits 1 with the reason on the first failure.

    web_client.py attacker|viewers|browser PORT STRICT_PORT PASSWORD SAVES
"""
import concurrent.futures
import http.client
import os
import socket
import ssl
import sys
import tempfile
import time
import urllib.parse

phase, port, strict_port, password, saves = sys.argv[1], int(sys.argv[2]), int(sys.argv[3]), sys.argv[4], sys.argv[5]
TLS = ssl._create_unverified_context()


def check(ok, what):
    if not ok:
        print('FAIL:', what, flush=True)
        sys.exit(1)


def request(method, path, headers=None, body=None, source='127.0.0.1', to=port):
    conn = http.client.HTTPSConnection('127.0.0.1', to, context=TLS, timeout=60,
                                       source_address=(source, 0))
    conn.request(method, path, body=body, headers=headers or {})
    r = conn.getresponse()
    data = r.read()
    conn.close()
    return r, data


def login(pw=password, source='127.0.0.1'):
    body = urllib.parse.urlencode({'password': pw})
    return request('POST', '/login', {'Content-Type': 'application/x-www-form-urlencoded'},
                   body, source)


def session_cookie():
    r, _ = login()
    check(r.status == 303 and r.getheader('Location') == '/now', 'log-in with the password')
    return r.getheader('Set-Cookie').split(';')[0]


def attacker():
    # Every route without a session: pages send to the log-in, the rest 401.
    for path in ['/', '/now', '/status', '/events', '/actions']:
        r, _ = request('GET', path)
        check(r.status == 303 and r.getheader('Location') == '/login', f'GET {path} without session')
    for method, path in [('GET', '/api/state'), ('GET', '/api/events'), ('GET', '/live.mjpg'),
                         ('GET', '/event/1/picture'), ('GET', '/event/1/clip/0'),
                         ('GET', '/static/app.js'), ('POST', '/api/watch'), ('POST', '/api/mute'),
                         ('POST', '/api/snapshot'), ('POST', '/logout')]:
        r, _ = request(method, path, {'Cookie': 'vgx_session=' + '0' * 64}, 'value=off')
        check(r.status == 401, f'{method} {path} without session: {r.status}')
    r, page = request('GET', '/login')
    csp = r.getheader('Content-Security-Policy')
    check(r.status == 200 and "frame-ancestors 'none'" in csp and 'unsafe-inline' not in csp
          and "script-src 'self'" in csp and b'<script>' not in page, 'log-in page headers')

    # A WebSocket upgrade is never accepted, and the server goes on serving.
    try:
        r, _ = request('GET', '/now', {'Connection': 'Upgrade', 'Upgrade': 'websocket',
                                       'Sec-WebSocket-Version': '13',
                                       'Sec-WebSocket-Key': 'dGhlIHNhbXBsZSBub25jZQ=='})
        check(r.status != 101, 'websocket refused')
    except (http.client.HTTPException, OSError):
        pass

    # A non-local peer sees only the refusal.
    r, page = request('GET', '/login', to=strict_port)
    check(r.status == 403 and 'только локальная сеть' in page.decode(), 'non-local refused')

    # Wrong passwords from 127.0.0.2: the fifth locks it out, even for the
    # right password; 127.0.0.1 may still log in.
    for i in range(5):
        r, _ = login('неверный', '127.0.0.2')
        check(r.getheader('Location') == '/login?e=wrong', f'wrong password {i + 1}')
    r, _ = login(password, '127.0.0.2')
    check(r.getheader('Location').startswith('/login?e=wait&s=6'), 'locked out')

    r, _ = login()
    flags = [f.strip() for f in r.getheader('Set-Cookie').split(';')]
    check(len(flags[0]) == len('vgx_session=') + 64 and
          {'HttpOnly', 'Secure', 'SameSite=Strict', 'Path=/'} <= set(flags), f'cookie flags {flags}')
    cookie = {'Cookie': flags[0]}

    # Actions need the token against cross-site requests, and no other site.
    r, state = request('GET', '/api/state', cookie)
    check(r.status == 200 and r.getheader('Cache-Control') == 'no-store', 'state no-store')
    import json
    csrf = json.loads(state)['csrf']
    for headers in [{}, {'X-CSRF-Token': 'x' * 64},
                    {'X-CSRF-Token': csrf, 'Origin': 'https://evil.example'},
                    {'X-CSRF-Token': csrf, 'Sec-Fetch-Site': 'cross-site'}]:
        r, _ = request('POST', '/api/snapshot', {**cookie, **headers})
        check(r.status == 403, f'action with {headers}')

    # Only the files events.csv names, inside the save folder.
    r, data = request('GET', '/event/1/picture', cookie)
    check(r.status == 200 and r.getheader('Content-Type') == 'image/jpeg', 'event picture')
    for path in ['/event/1/../../secret.jpg', '/event/%2e%2e/picture', '/event/1%2Fpicture',
                 '/event/..%2F..%2Fsecret.jpg/picture', '/event//etc/passwd', '/event/1/picture/..',
                 '/event/2/picture', '/event/2/clip/0', '/event/3/picture', '/event/3/clip/0',
                 '/event/4/picture', '/event/4/clip/0', '/event/5/picture', '/event/1/clip/1',
                 '/event/%2Fetc%2Fpasswd/picture', '/' + saves + '/day/first.jpg']:
        r, data = request('GET', path, cookie)
        check(r.status == 404 and b'secret' not in data, f'{path} refused: {r.status}')

    # Clips in ranges, as a player asks for them.
    clip = open(os.path.join(saves, 'day', 'clip.mp4'), 'rb').read()
    size = len(clip)
    for rng, status, first, last in [('bytes=0-99', 206, 0, 99), ('bytes=100-', 206, 100, size - 1),
                                     ('bytes=-50', 206, size - 50, size - 1),
                                     (f'bytes={size}-', 416, 0, -1), ('items=0-1', 416, 0, -1)]:
        r, data = request('GET', '/event/1/clip/0', {**cookie, 'Range': rng})
        check(r.status == status and data == clip[first:last + 1] if status == 206 else r.status == status,
              f'range {rng}: {r.status}')
        if status == 206:
            check(r.getheader('Content-Range') == f'bytes {first}-{last}/{size}', f'content-range {rng}')
    # A body far beyond any form is cut off long before it is all taken.
    sent, raw = 0, TLS.wrap_socket(socket.create_connection(('127.0.0.1', port), timeout=60))
    try:
        raw.sendall(b'POST /login HTTP/1.1\r\nHost: 127.0.0.1\r\nContent-Length: 104857600\r\n\r\n')
        while sent < 104857600:
            sent += raw.send(b'a' * 65536)
    except TimeoutError:
        check(False, 'oversized body: the server stalled instead of closing')
    except OSError:
        pass
    raw.close()
    check(sent < 32 * 1024 * 1024, f'oversized body cut: {sent} bytes taken')
    check(request('GET', '/login')[0].status == 200, 'serving after an oversized body')
    print('attacker: all refused', flush=True)


def viewers():
    cookie = session_cookie()

    def open_live(_):
        conn = http.client.HTTPSConnection('127.0.0.1', port, context=TLS, timeout=120)
        conn.request('GET', '/live.mjpg', headers={'Cookie': cookie})
        r = conn.getresponse()
        if r.status == 200:
            check(r.getheader('Cache-Control') == 'no-store', 'live no-store')
            head = r.fp.readline()
            check(head.startswith(b'--vigiluxframe'), 'a picture')
        else:
            body = r.read().decode()
            check(r.status == 503 and 'Попробуйте позже' in body, f'polite refusal {r.status}')
        return conn, r, r.status  # the response holds the socket open

    with concurrent.futures.ThreadPoolExecutor(20) as pool:
        results = list(pool.map(open_live, range(20)))
    statuses = sorted(s for _, _, s in results)
    check(statuses == [200] * 4 + [503] * 16, f'4 viewers, 16 refused: {statuses}')
    for conn, r, _ in results:
        r.close()
        conn.close()
    print('viewers: 4 watched, 16 refused', flush=True)


def browser():
    from selenium import webdriver
    from selenium.webdriver.common.by import By
    from selenium.webdriver.support.ui import WebDriverWait

    options = webdriver.ChromeOptions()
    profile = tempfile.mkdtemp()
    for arg in ['--headless', '--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run',
                '--disable-background-networking', '--disable-component-update', '--disable-sync',
                '--ignore-certificate-errors', '--disable-dev-shm-usage', '--autoplay-policy=no-user-gesture-required',
                '--window-size=390,844', '--user-data-dir=' + profile]:
        options.add_argument(arg)
    from selenium.webdriver.chrome.service import Service
    service = Service(executable_path='/usr/bin/chromedriver')
    driver = webdriver.Chrome(options=options, service=service)
    wait = WebDriverWait(driver, 30)
    wait.until = lambda f, w=wait.until: w(f, driver.current_url + ' ' + driver.page_source[:300])
    base = f'https://127.0.0.1:{port}'
    try:
        driver.get(base + '/now')
        wait.until(lambda d: d.current_url.endswith('/login'))
        driver.find_element(By.ID, 'password').send_keys(password)
        driver.find_element(By.ID, 'enter').click()
        wait.until(lambda d: d.current_url.endswith('/now'))

        # The live picture changes: two looks at it differ.
        look = '''const img = document.getElementById('live');
                  if (!img.complete || !img.naturalWidth) return '';
                  const c = document.createElement('canvas');
                  c.width = img.naturalWidth; c.height = img.naturalHeight;
                  c.getContext('2d').drawImage(img, 0, 0);
                  return c.toDataURL();'''
        wait.until(lambda d: d.execute_script(look))
        first = driver.execute_script(look)
        wait.until(lambda d: d.execute_script(look) not in ('', first))
        wait.until(lambda d: d.find_element(By.ID, 'watching').text == 'включено')

        # Today's event: its picture, then its clip plays.
        driver.get(base + '/events')
        item = wait.until(lambda d: d.find_element(By.CSS_SELECTOR, 'li[data-number="1"]'))
        wait.until(lambda d: d.execute_script(
            'const i = document.querySelector(\'li[data-number="1"] img\'); return i && i.naturalWidth > 0;'))
        item.find_element(By.CSS_SELECTOR, 'button.play').click()
        wait.until(lambda d: d.execute_script(
            'const v = document.querySelector("video"); return v && v.currentTime > 0.5;'))
        days = [o.get_attribute('value') for o in driver.find_elements(By.CSS_SELECTOR, '#day option')]
        check('2020-01-02' in days, f'earlier days listed: {days}')

        # Mute for an hour, then unmute; watching off; a snapshot.
        driver.get(base + '/actions')
        wait.until(lambda d: d.find_element(By.ID, 'muted').text == 'включены')
        driver.find_element(By.ID, 'mute-1h').click()
        wait.until(lambda d: d.find_element(By.ID, 'muted').text.startswith('выключены до '))
        driver.find_element(By.ID, 'unmute').click()
        wait.until(lambda d: d.find_element(By.ID, 'muted').text == 'включены')
        driver.find_element(By.ID, 'watch-off').click()
        wait.until(lambda d: d.find_element(By.ID, 'watching').text == 'выключено')
        driver.find_element(By.ID, 'snapshot').click()
        wait.until(lambda d: d.find_element(By.ID, 'done').text.startswith('Готово'))
        driver.find_element(By.ID, 'logout').click()
        wait.until(lambda d: d.current_url.endswith('/login'))
        driver.get(base + '/status')
        wait.until(lambda d: d.current_url.endswith('/login'))
        print('browser: logged in, watched, played a clip, muted, stopped watching', flush=True)
    finally:
        driver.quit()


{'attacker': attacker, 'viewers': viewers, 'browser': browser}[phase]()
