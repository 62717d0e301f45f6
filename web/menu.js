// The viewer's popup menu as a menu on the page, and its keys.
import { splitItem } from './texts.js';

// The menu's items for the current state: {text, command, checked, disabled} or {separator}
// or {text, items} for a submenu. app answers what the viewer's menu asks: mode, palette slot,
// available slots, conversions offered, window size.
export function menuItems(t, app) {
  const s = app.session();
  const has = s !== null;
  const mode = has ? s.mode : -1;
  const slot = has ? s.paletteSlot : -1;
  return [
    { text: t.modeMenu, items: t.modes.map((text, m) => (
      { text, command: ['mode', m], checked: mode === m, disabled: !has, separatorBefore: m === 6 })) },
    { text: t.paletteMenu, items: t.palettes.map((text, p) => (
      { text, command: ['palette', p], checked: slot === p, disabled: !has || (p > 0 && !s.slotAvailable(p)) })) },
    { text: t.small, command: ['small'], checked: !app.large },
    { text: t.large, command: ['large'], checked: app.large },
    { separator: true },
    { text: t.copy, command: ['copy'], disabled: !has },
    { text: t.saveAs, command: ['saveBsave'], disabled: !has },
    { text: t.saveBitmap, command: ['saveBmp'], disabled: !has },
    { text: t.savePng, command: ['savePng'], disabled: !has },
    { text: t.loadPalette, command: ['loadPalette'], disabled: !has },
    { text: t.convertMenu, items: t.converts.map((text, m) => (
      { text, command: ['convert', m], disabled: !has || s.conversion(m) === 0 })) },
    { text: t.hardware, command: ['colors'], checked: app.hardware, check: true },
    { text: t.importItem, command: ['import'] },
    { separator: true },
    { text: t.exit, command: ['exit'], disabled: !has },
    { separator: true },
    { text: t.about, command: ['about'] },
  ];
}

function itemElement(item, run, close) {
  if (item.separator) {
    const hr = document.createElement('li');
    hr.className = 'separator';
    hr.setAttribute('role', 'separator');
    return hr;
  }
  const li = document.createElement('li');
  const { label, key } = splitItem(item.text);
  li.innerHTML = '<span class="mark"></span><span class="label"></span><span class="key"></span>';
  li.querySelector('.label').textContent = label;
  li.querySelector('.key').textContent = key;
  if (item.checked) li.querySelector('.mark').textContent = item.check ? '✓' : '●';
  li.setAttribute('role', item.checked !== undefined ? (item.check ? 'menuitemcheckbox' : 'menuitemradio') : 'menuitem');
  if (item.checked !== undefined) li.setAttribute('aria-checked', item.checked ? 'true' : 'false');
  if (item.command) li.dataset.command = item.command.join(' ');
  if (item.disabled) {
    li.classList.add('disabled');
    li.setAttribute('aria-disabled', 'true');
  }
  if (item.items) {
    li.classList.add('submenu');
    li.setAttribute('aria-haspopup', 'true');
    li.querySelector('.key').textContent = '▶';
    const ul = document.createElement('ul');
    ul.setAttribute('role', 'menu');
    for (const child of item.items) {
      if (child.separatorBefore) ul.appendChild(itemElement({ separator: true }, run, close));
      ul.appendChild(itemElement(child, run, close));
    }
    li.appendChild(ul);
  } else {
    li.addEventListener('click', (event) => {
      event.stopPropagation();
      if (item.disabled) return;
      close();
      run(item.command);
    });
  }
  return li;
}

// Shows the menu at page point (x, y), fresh from the state; a click elsewhere or Escape
// closes it.
export function showMenu(element, t, app, x, y, run) {
  const close = () => { element.hidden = true; element.replaceChildren(); };
  element.replaceChildren();
  for (const item of menuItems(t, app)) element.appendChild(itemElement(item, run, close));
  element.hidden = false;
  const width = element.offsetWidth;
  const height = element.offsetHeight;
  element.style.left = `${Math.max(0, Math.min(x, window.innerWidth - width - 4))}px`;
  element.style.top = `${Math.max(0, Math.min(y, window.innerHeight - height - 4))}px`;
  return close;
}

// The viewer's keys as commands: a plain key fires only without Shift, Ctrl, Alt and Meta, a
// Ctrl key only with Ctrl alone. Digits by their key position (the main row and the keypad).
const plainFunctionKeys = { F5: ['mode', 0], F6: ['mode', 1], F7: ['mode', 2], F8: ['mode', 3],
  F10: ['mode', 4], F11: ['mode', 4], F12: ['mode', 5], ArrowDown: ['menu'] };
const ctrlFunctionKeys = { F5: ['convert', 0], F6: ['convert', 1], F7: ['convert', 2], F8: ['convert', 3],
  F10: ['convert', 4], F12: ['convert', 5] };
const ctrlLetters = { KeyA: ['about'], KeyB: ['saveBmp'], KeyC: ['copy'], KeyJ: ['small'], KeyK: ['large'],
  KeyL: ['loadPalette'], KeyQ: ['exit'], KeyS: ['saveBsave'], KeyH: ['colors'], KeyI: ['import'], KeyP: ['savePng'] };

export function keyCommand(event) {
  const ctrl = event.ctrlKey && !event.shiftKey && !event.altKey && !event.metaKey;
  const plain = !event.ctrlKey && !event.shiftKey && !event.altKey && !event.metaKey;
  if (plain) {
    const digit = /^(Digit|Numpad)([0-9])$/.exec(event.code);
    if (digit) {
      const n = Number(digit[2]);
      return ['palette', n === 8 ? 0 : n === 9 ? 1 : n + 2];
    }
    return plainFunctionKeys[event.key] || null;
  }
  if (ctrl) return ctrlFunctionKeys[event.key] || ctrlLetters[event.code] || null;
  return null;
}
