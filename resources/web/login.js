'use strict';
// Says why the last try failed: the server sends the browser back here.
document.addEventListener('DOMContentLoaded', () => {
  const query = new URLSearchParams(location.search);
  const message = document.getElementById('message');
  if (query.get('e') === 'wrong') {
    message.textContent = 'Неверный пароль.';
  } else if (query.get('e') === 'wait') {
    message.textContent = 'Слишком много неверных паролей. Подождите ' +
        (query.get('s') || '60') + ' с и попробуйте снова.';
  } else {
    return;
  }
  message.hidden = false;
});
